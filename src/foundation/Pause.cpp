#include "Pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

void pauseSeconds(int seconds)
{
    if (seconds <= 0)
        return;
    if (!QCoreApplication::instance()) {
        QThread::sleep(seconds);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}
