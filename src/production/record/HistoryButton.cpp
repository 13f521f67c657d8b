#include "HistoryButton.h"

#include "LineHistory.h"

#include <QPushButton>

QPushButton *makeHistoryButton(const QString &securityLevel, QWidget *parent)
{
    auto *button = new QPushButton(QObject::tr("&History..."), parent);
    button->setObjectName(QStringLiteral("cmdHistory"));
    button->setAutoDefault(false);
    button->setMinimumWidth(100);
    button->setVisible(LineHistory::mayView(securityLevel));
    return button;
}
