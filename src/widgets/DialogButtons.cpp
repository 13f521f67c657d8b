#include "DialogButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

DialogButtons::DialogButtons(QWidget *dialog)
    : ok(new QPushButton(QStringLiteral("&OK"), dialog)),
      cancel(new QPushButton(QStringLiteral("&Cancel"), dialog)), row(new QHBoxLayout)
{
    ok->setObjectName(QStringLiteral("cmdOKButton"));
    ok->setDefault(true);
    cancel->setObjectName(QStringLiteral("cmdCancelButton"));
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
}
