// A workstation writing to the production database until it is killed, for the crash test.
//   crash_writer DATABASE FIRST   from batch FIRST on, one transaction per batch: three lines
//                                 whose machine number is the batch, and the company name set to
//                                 it. Prints "ready" once the file is open, then each batch's
//                                 number once its commit has returned.
#include "foundation/Database.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    Database db = Database::open(args[1]);
    std::printf("ready\n");
    std::fflush(stdout);
    for (qint64 batch = args[2].toLongLong();; ++batch) {
        Transaction transaction(db);
        for (int line = 0; line < 3; ++line) {
            db.exec(QStringLiteral("INSERT INTO [Production Table] ([Date], [Shift], [Machine Number], "
                                   "[Beginning Count], [Job Description]) VALUES ('2026-12-08', 1, :batch, "
                                   ":line, :text)"),
                    {{QStringLiteral("batch"), batch},
                     {QStringLiteral("line"), line},
                     {QStringLiteral("text"), QString(200, QChar(int('a' + batch % 26)))}});
        }
        db.exec(QStringLiteral("UPDATE [CompanyInfo] SET [CompanyName] = :batch"),
                {{QStringLiteral("batch"), QString::number(batch)}});
        transaction.commit();
        std::printf("%lld\n", batch);
        std::fflush(stdout);
    }
}
