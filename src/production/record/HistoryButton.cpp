#include "HistoryButton.h"

#include "LineHistory.h"

#include "widgets/DataWindowParts.h"

#include <QPushButton>

QPushButton *makeHistoryButton(const QString &securityLevel, QWidget *parent)
{
    QPushButton *button =
        DataWindowParts::makeButton(QStringLiteral("cmdHistory"), QObject::tr("&History..."), parent, 100);
    button->setVisible(LineHistory::mayView(securityLevel));
    return button;
}
