#include "ReportFixture.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportJob.h"
#include "reports/ReportParmsSheet.h"

#include "reports/ReportCatalog.h"
#include "reports/ReportParmsSheet.h"
#include "reports/ReportRun.h"
#include "reports/SecurityProfileReport.h"
#include "reports/engine/TextReport.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

ReportDocument ReportFixture::countsReport(DatabaseWorld &world)
{
    fill(world.db);
    ReportParmsSheet sheet(ReportTypes::ProductionCounts);
    sheet.dateRange = true;
    sheet.startDate = QDate(1999, 8, 11);
    sheet.endDate = QDate(1999, 8, 12);
    sheet.shiftText = QStringLiteral("1-3");
    ReportJob job(world.db, world.file(QStringLiteral("REPORTS.MDB")));
    return job.run(
        ReportCatalog::of(ReportTypes::ProductionCounts), sheet.stagingParameters(),
        layoutPath(QStringLiteral("prodct.rpt")),
        {sheet.selection(), sheet.formulas(), QStringLiteral("Quorvel Plastics"), world.clock.now()});
}

bool ReportFixture::damageJobLines(Database &db, const QString &path)
{
    const int page = db.scalar(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND "
                                              "name = 'Production Table'"))
                         .toInt();
    const int pageSize = db.scalar(QStringLiteral("PRAGMA page_size")).toInt();
    db.close();
    return page > 1 && overwrite(path, qint64(page - 1) * pageSize, QByteArray(pageSize, '\xff'));
}

void ReportFixture::fill(const Database &db)
{
    Fixture::job(db, QStringLiteral("1040-22"), QStringLiteral("Bottle cap, white 28 mm"));
    Fixture::job(db, QStringLiteral("2210-05"), QStringLiteral("Housing, left, grey"));
    Fixture::job(db, QStringLiteral("3300-17"), QStringLiteral("Tray insert, clear"));
    const QDate first(1999, 8, 11), second(1999, 8, 12);
    // beginning and ending counts are the parts on hand at the machine; Mattec counts the shots
    const qint64 a = Fixture::line(db, first, 1, 3, QStringLiteral("1040-22"), 1200, 900, 4260);
    const qint64 b = Fixture::line(db, first, 1, 7, QStringLiteral("2210-05"), 300, 450, 1340);
    const qint64 c = Fixture::line(db, first, 2, 3, QStringLiteral("1040-22"), 900, 1100, 3655);
    const qint64 d = Fixture::line(db, second, 1, 3, QStringLiteral("1040-22"), 1100, 700, 3720);
    const qint64 e = Fixture::line(db, second, 1, 12, QStringLiteral("3300-17"), 0, 250, 1795);
    Fixture::line(db, second, 2, 12, QStringLiteral("3300-17"), 250, 250, 0);
    Fixture::transfer(db, a, 5501, 2000);
    Fixture::transfer(db, a, 5502, 2000);
    Fixture::transfer(db, b, 5503, 1150);
    Fixture::transfer(db, c, 5504, 3400);
    Fixture::transfer(db, d, 5510, 3600);
    Fixture::transfer(db, e, 5511, 1500);
    const qint64 h1 = Fixture::hold(db, a, 901, 80, 0, true);
    Fixture::distribution(db, h1, d, 60, 20, 3);
    Fixture::hold(db, b, 902, 25);
    const qint64 h3 = Fixture::hold(db, e, 904, 40, 10);
    Fixture::distribution(db, h3, QVariant(), 0, 30, 2);
}

void ReportFixture::chooseTheFixturesDays(ReportParmsSheet &sheet, const TestWorld &world, int option)
{
    sheet.load(QDate(), QString(), world.clock.today());
    if (option >= 0)
        sheet.chooseOption(option);
    sheet.dateRange = true;
    sheet.startDate = QDate(1999, 8, 11);
    sheet.endDate = QDate(1999, 8, 12);
    sheet.shiftText = QStringLiteral("1-3");
}

QString ReportFixture::layoutPath(const QString &fileName)
{
    return QStringLiteral(KELVARA_LAYOUT_DIR "/") + fileName;
}

ReportData ReportFixture::sampleData(const ReportLayout &layout, int rows, const QList<double> &figures,
                                     const QStringList &texts)
{
    QStringList fields;
    QStringList formats;
    const auto add = [&](const QString &field, const QString &format) {
        if (!fields.contains(field)) {
            fields << field;
            formats << format;
        }
    };
    for (const ReportColumn &column : layout.columns)
        add(column.field, column.format);
    for (const ReportGroup &group : layout.groups)
        add(group.field,
            group.field == QLatin1String("Date") ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("0"));
    for (const QString &field : layout.sort)
        add(field, QStringLiteral("0"));
    QVector<QVector<QVariant>> data;
    for (int r = 0; r < rows; ++r) {
        QVector<QVariant> row;
        for (int f = 0; f < fields.size(); ++f) {
            const QString &format = formats[f];
            if (format.contains('y') || format.contains('d'))
                row << QVariant(QDate(1999, 1, 4).addDays(r / 2));
            else if (format.isEmpty() && fields[f].endsWith(QLatin1String("Number")))
                row << QVariant(QStringLiteral("10-%1").arg(1040 + r % 3));
            else if (format.isEmpty())
                row << QVariant(texts[r % texts.size()]);
            else if (format == QLatin1String("Yes/No"))
                row << QVariant(qlonglong(r % 2));
            else if (format == QLatin1String("0"))
                row << QVariant(qlonglong(r % 3 + 1));
            else
                row << QVariant(figures[(r + f) % figures.size()]);
        }
        data << row;
    }
    return {fields, data};
}

void GoldenReports::fillEveryReport(Database &db)
{
    ReportFixture::fill(db);
    db.exec(QStringLiteral("INSERT INTO \"Customer Report Parts\" VALUES ('Corvix', '1040-22'),"
                           " ('Velmar', '2210-05'), ('Velmar', '3300-17')"));
    // rejects split by reason on two lines, for the chart
    db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason1\" = 12, \"RejectReason3\" = 40,"
                           " \"RejectReason7\" = 5 WHERE \"Job ID\" = 1"));
    db.exec(QStringLiteral("UPDATE \"Production Table\" SET \"RejectReason3\" = 15, "
                           "\"RejectReason10\" = 30 WHERE \"Job ID\" = 4"));
    // The history of the two days, in place of what the rows above recorded: changes, an insert
    // and a delete (no old, no new value), a row of no job line, a long value, the first and last
    // moment of the range and a row either side of it.
    const auto row = [](const char *at, const char *who, qint64 jobId, const char *field,
                        const QVariant &before, const QVariant &after) {
        Fixture::HistoryChange change;
        change.at = QString::fromLatin1(at);
        change.login = QString::fromLatin1(who);
        change.jobId = jobId;
        change.machine = jobId == 0 ? 0 : int(jobId % 20);
        change.field = QString::fromLatin1(field);
        change.oldValue = before;
        change.newValue = after;
        change.hash = QStringLiteral("%1").arg(jobId * 7 + before.toInt(), 64, 16, QLatin1Char('0'));
        return change;
    };
    Fixture::HistoryChange inserted =
        row("1999-08-11T00:00:00.000+01:00", "mbrown", 41, "Ending Count", {}, 120);
    inserted.action = QStringLiteral("insert");
    Fixture::HistoryChange removed =
        row("1999-08-12T14:30:00.000-05:00", "jsmith", 43, "Job Description",
            QStringLiteral("Lens, indicator, clear polycarbonate PC, for the long run"), {});
    removed.action = QStringLiteral("delete");
    Fixture::HistoryChange user = row("1999-08-12T23:59:59.999+01:00", "admin", 0, "Security Level",
                                      QStringLiteral("D"), QStringLiteral("B"));
    user.table = QStringLiteral("Security Table");
    user.jobNumber.clear();
    Fixture::historyChanges(
        db, {row("1999-08-10T23:59:59.999+01:00", "jsmith", 41, "Ending Count", 1, 2), inserted,
             row("1999-08-11T07:15:00.000+01:00", "jsmith", 42, "Ending Count", 100, 1100), removed, user,
             row("1999-08-13T00:00:00.000+01:00", "jsmith", 42, "Matec Count", 3, 4)});
}

namespace {
QString slug(const QString &caption)
{
    return caption.toLower().replace(' ', '-');
}

QString baseName(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName();
}

// True when each option of the report prints a layout file of its own.
bool optionsChooseTheirFiles(const ReportDescriptor &report)
{
    if (report.layouts.size() != report.controls.options.size())
        return false;
    for (qsizetype i = 1; i < report.layouts.size(); ++i) {
        if (report.layouts[i].fileName == report.layouts[0].fileName)
            return false;
    }
    return true;
}
} // namespace

QList<GoldenReports::Part> GoldenReports::render(DatabaseWorld &world, int type, int option,
                                                 const std::function<QString(const QString &)> &locate)
{
    const ReportDescriptor report = ReportCatalog::of(type);
    const QString reports = world.file(QStringLiteral("REPORTS.MDB"));
    QFile::remove(reports);
    Database::createFile(reports).close();
    const ReportRequest heading{{}, {}, QStringLiteral("Quorvel Plastics"), world.clock.now()};
    if (type == ReportTypes::SecurityProfile) // printed from the security window, not run
        return {{baseName(report.layouts.first().fileName),
                 TextReport::render(SecurityProfileReport::build(
                                        world.db, reports, locate(report.layouts.first().fileName), heading),
                                    66)}};
    ReportParmsSheet sheet(type);
    ReportFixture::chooseTheFixturesDays(sheet, world, option);
    sheet.markPrinted = false;
    // the layout the run asks for last is the one of the document it sends next
    QString asked;
    const QList<ReportFile> files = ReportCatalog::reportFiles();
    ReportRun run({world.db, reports, world.prompter, world.clock,
                   [&](int selector) {
                       asked = files.value(selector).fileName;
                       return locate(asked);
                   },
                   heading.company, QDate(1999, 8, 12)});
    const QString suffix = !report.controls.options.isEmpty() && !optionsChooseTheirFiles(report)
                               ? QLatin1Char('-') + slug(report.controls.options.value(std::max(option, 0)))
                               : QString();
    QList<Part> parts;
    const ReportRun::Outcome outcome =
        run.run(sheet, [&](const ReportDocument &document, const QString &, int) {
            parts.append({baseName(asked) + suffix, TextReport::render(document, 66)});
        });
    if (outcome != ReportRun::Outcome::Done)
        parts.clear();
    return parts;
}

QString GoldenReports::compare(const QString &folder, const QString &name, const QString &actual, bool *made)
{
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".txt");
    *made = !QFileInfo::exists(path);
    if (*made || qEnvironmentVariableIsSet("KELVARA_UPDATE_GOLDEN")) {
        QDir().mkpath(folder);
        if (!writeFile(path, actual.toUtf8()))
            return QStringLiteral("%1 could not be written").arg(path);
        return QString();
    }
    const QStringList expected = QString::fromUtf8(readFile(path)).split('\n');
    const QStringList lines = actual.split('\n');
    for (int i = 0; i < std::min(expected.size(), lines.size()); ++i) {
        if (lines[i] != expected[i])
            return QStringLiteral("%1 line %2:\n  got      \"%3\"\n  expected \"%4\"")
                .arg(name)
                .arg(i + 1)
                .arg(lines[i], expected[i]);
    }
    if (lines.size() != expected.size())
        return QStringLiteral("%1: %2 lines, %3 expected").arg(name).arg(lines.size()).arg(expected.size());
    return QString();
}
