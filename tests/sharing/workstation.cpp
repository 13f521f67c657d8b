// Another workstation of a file plant, as far as seeing the others goes: a process of its own,
// with the working folder, HOME and program folder it was started with (SystemPaths).
//   workstation DATABASE "FULL NAME"
// counts itself present and prints "in"; then answers each line on stdin:
//   users   the current users it sees, joined by "|"
//   lock    writes db.lok as a whole-file operation does and prints "locked"
// and leaves (its exit recorded) when stdin ends.
#include "TestSupport.h"

#include "sharing/LockFile.h"
#include "sharing/Presence.h"
#include "sharing/SharedFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    TestClock clock;
    ScriptedPrompter prompter;
    FixedIdentity identity(QStringLiteral("other"));
    SystemPaths paths;
    FileOps fileOps;
    auto options = std::make_unique<CKelvaraOptions>(
        paths, QList<ReportFile>{},
        std::make_unique<QSettings>(QDir::home().filePath(QStringLiteral("kelvara.ini")),
                                    QSettings::IniFormat));
    Session session({clock, prompter, identity, paths, fileOps}, std::move(options));
    session.options().setDatabaseName(args[1]);
    session.userFullName = args[2];
    Presence presence(session);
    presence.enter();
    std::printf("in\n");
    std::fflush(stdout);
    const SharedFiles shared(paths, args[1]);
    LockFile lock(shared.lockPath());
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "users") {
            std::printf("%s\n", qPrintable(shared.currentUsers().join(QLatin1Char('|'))));
        } else if (line == "lock") {
            lock.write(clock.now(), args[2], QStringLiteral("Backup"));
            std::printf("locked\n");
        }
        std::fflush(stdout);
    }
    presence.leave();
    return prompter.messages().isEmpty() ? 0 : 1;
}
