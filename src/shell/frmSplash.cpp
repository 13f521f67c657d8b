#include "frmSplash.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QLabel *panel(QWidget *parent, const QString &text, const QString &name)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(2);
    label->setAlignment(Qt::AlignCenter);
    label->setMargin(10);
    return label;
}
} // namespace

frmSplash::frmSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("Kelvara"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(3);

    QLabel *title = panel(frame, QStringLiteral("Kelvara"), QStringLiteral("pnlSplashTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 2.4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel *subtitle =
        panel(frame, QStringLiteral("Shop-floor production record"), QStringLiteral("pnlSplashSub"));

    m_message = panel(frame, QString(), QStringLiteral("pnlSplashMsg"));
    m_message->setWordWrap(true);
    m_message->setMinimumHeight(120);
    QFont messageFont = m_message->font();
    messageFont.setPointSizeF(messageFont.pointSizeF() * 1.15);
    m_message->setFont(messageFont);

    auto *inner = new QVBoxLayout(frame);
    inner->addWidget(title);
    inner->addWidget(subtitle);
    inner->addWidget(m_message, 1);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    resize(460, 320);
}

void frmSplash::showGreeting(const QString &text)
{
    m_message->setText(text);
    if (const QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    QApplication::processEvents();
}

void frmSplash::mousePressEvent(QMouseEvent *)
{
    close();
}
