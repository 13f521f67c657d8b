#pragma once

class QHBoxLayout;
class QPushButton;
class QWidget;

// The foot of a dialog: OK ("cmdOKButton", the default button) and Cancel ("cmdCancelButton"),
// at the right of their row. The caller connects them and adds the row to its layout.
struct DialogButtons
{
    explicit DialogButtons(QWidget *dialog);

    QPushButton *ok;
    QPushButton *cancel;
    QHBoxLayout *row;
};
