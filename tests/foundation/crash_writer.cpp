// A workstation writing to the production database until it is killed, for the crash test.
//   crash_writer DATABASE FIRST   from batch FIRST on, one transaction per batch: three lines
//                                 whose machine number is the batch, and the company name set to
//                                 it. Prints "ready" once the file is open, then each batch's
//                                 number once its commit has returned.
//   crash_writer copy FROM TO     --copy-database's work; prints "ready", then "copied" or why not.
//   crash_writer restore URI FILE a Restore of the database on the server from the archive FILE,
//                                 its steps as the Database menu runs them; prints "ready", then
//                                 "restored" or why not.
#include "foundation/Database.h"
#include "maintenance/ServerMaintenance.h"
#include "production/record/DatabaseCopy.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

namespace {
void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

int restore(const QString &uri, const QString &file)
{
    const ServerMaintenance server(uri);
    const QString work = server.workDatabase();
    QString error = server.restoreInto(file, work);
    if (error.isEmpty())
        error = server.carryOverAccess(work);
    if (error.isEmpty())
        error = server.swapIn(work, server.keptName(QDateTime::currentDateTime()));
    say(error.isEmpty() ? QStringLiteral("restored") : error);
    return error.isEmpty() ? 0 : 1;
}

void write(const QString &database, qint64 first)
{
    Database db = Database::open(database);
    say(QStringLiteral("ready"));
    for (qint64 batch = first;; ++batch) {
        Transaction transaction(db);
        for (int line = 0; line < 3; ++line) {
            db.exec(
                QStringLiteral("INSERT INTO \"Production Table\" (\"Date\", \"Shift\", \"Machine Number\", "
                               "\"Beginning Count\", \"Job Description\") VALUES ('2026-12-08', 1, :batch, "
                               ":line, :text)"),
                {{QStringLiteral("batch"), batch},
                 {QStringLiteral("line"), line},
                 {QStringLiteral("text"), QString(200, QChar(int('a' + batch % 26)))}});
        }
        db.exec(QStringLiteral("UPDATE \"CompanyInfo\" SET \"CompanyName\" = :batch"),
                {{QStringLiteral("batch"), QString::number(batch)}});
        transaction.commit();
        say(QString::number(batch));
    }
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 && args.size() != 4)
        return 2;
    if (args[1] == QLatin1String("copy") || args[1] == QLatin1String("restore")) {
        say(QStringLiteral("ready"));
        try {
            if (args[1] == QLatin1String("restore"))
                return restore(args[2], args[3]);
            const DatabaseCopy::Result result = DatabaseCopy::copy(args[2], args[3]);
            say(result.copied ? QStringLiteral("copied") : result.failure);
            return result.copied ? 0 : 1;
        } catch (const DatabaseError &error) {
            say(error.description());
            return 1;
        }
    }
    write(args[1], args[2].toLongLong());
}
