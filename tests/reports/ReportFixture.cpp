#include "ReportFixture.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportJob.h"
#include "reports/ReportParmsSheet.h"

#include <QDate>

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
