#include "OtherProcess.h"
#include "TestSupport.h"

#include "sharing/Presence.h"
#include "sharing/frmCurrentUsers.h"

#include <QApplication>
#include <QThread>

// Takes the screenshot of Current Users on a file plant with two workstations (not a test): the
// other one is a process of its own, with its own home and working folder.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    TestWorld world;
    const QString database = world.createDatabase();
    world.session->userFullName = QStringLiteral("Jane Doe");
    QTemporaryDir otherRoot;
    OtherProcess other(QString::fromLocal8Bit(argv[2]), {database, QStringLiteral("Sam Shiftlead")},
                       otherRoot.path());
    if (other.readLine() != QLatin1String("in"))
        return 1;
    Presence presence(*world.session);
    presence.enter();
    frmCurrentUsers window(*world.session, true);
    window.show();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    window.grab().save(out + QStringLiteral("/frmCurrentUsers.png"));
    presence.leave();
    return other.finish();
}
