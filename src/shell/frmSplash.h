#pragma once

#include <QWidget>

class QLabel;

// The start-up window: the program's name and, once the user is logged in, the greeting in the
// panel pnlSplashMsg. It stays above the other windows while it is shown.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    explicit frmSplash(QWidget *parent = nullptr);

    void showGreeting(const QString &text);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QLabel *m_message = nullptr;
};
