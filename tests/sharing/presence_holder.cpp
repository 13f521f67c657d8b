// A second copy of the program as far as the presence lock goes, for the two-process tests.
//   presence_holder DATABASE hold   takes the shared lock, prints "held", keeps it until a line
//                                   arrives on stdin (or stdin closes)
//   presence_holder DATABASE try    prints "free" or "busy" for the exclusive try
#include "sharing/PresenceLock.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    PresenceLock lock;
    if (args[2] == QLatin1String("try")) {
        std::printf(lock.tryExclusive(args[1]) ? "free\n" : "busy\n");
        return 0;
    }
    if (!lock.holdShared(args[1]))
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    char line[16];
    std::fgets(line, sizeof line, stdin);
    return 0;
}
