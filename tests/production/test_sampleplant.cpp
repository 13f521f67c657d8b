#include "TestSupport.h"

#include "production/record/SamplePlant.h"
#include "reports/ReportCatalog.h"

#include <QSqlQuery>
#include <QTest>

// The sample plant is what a newcomer first sees: it must be complete and follow the plant's own
// rules, or every window shows nonsense. (An empty new database is tested with the command line
// that makes one.)
class TestSamplePlant : public QObject
{
    Q_OBJECT

    QDate m_last{2026, 12, 8};

    QVariant value(const Database &db, const QString &sql) { return db.scalar(sql); }

private slots:
    void samplePlantFollowsThePlantRules()
    {
        TestWorld world;
        const QString path = world.file(QStringLiteral("sample.mdb"));
        SamplePlant::createDatabase(path, QStringLiteral("jdoe"), true, m_last,
                                    ReportCatalog::savedQueries());
        Database db = Database::open(path);

        QCOMPARE(value(db, "SELECT MAX(\"Date\") FROM \"Production Table\"").toString(),
                 QStringLiteral("2026-12-08"));
        QCOMPARE(value(db, "SELECT MIN(\"Date\") FROM \"Production Table\"").toString(),
                 QStringLiteral("2026-11-25"));
        QCOMPARE(value(db, "SELECT COUNT(DISTINCT \"Date\" || \"Shift\") FROM \"Production Table\"").toInt(),
                 42);
        QVERIFY(value(db, "SELECT COUNT(DISTINCT \"Machine Number\") FROM \"Production Table\"").toInt() >=
                18);
        QCOMPARE(value(db, "SELECT COUNT(*) FROM \"Job Lookup Table\"").toInt(), 30);
        QVERIFY(value(db, "SELECT COUNT(*) FROM \"Transfer Table\"").toInt() > 100);
        QVERIFY(value(db, "SELECT COUNT(*) FROM \"Hold Table\"").toInt() > 20);
        QVERIFY(value(db, "SELECT COUNT(*) FROM \"Hold Distribution\"").toInt() > 5);
        QVERIFY(value(db, "SELECT COUNT(*) FROM \"Color Table\"").toInt() > 5);
        QCOMPARE(value(db, "SELECT \"CompanyName\" FROM \"CompanyInfo\"").toString(),
                 QStringLiteral("Quorvel Plastics"));

        // Counter readings carry over: every finished line's ending count is at least its beginning.
        QCOMPARE(
            value(db,
                  "SELECT COUNT(*) FROM \"Production Table\" WHERE \"Ending Count\" < \"Beginning Count\" "
                  "AND NOT (\"Date\" = '2026-12-08' AND \"Shift\" = 3)")
                .toInt(),
            0);
        // The lines of one machine follow each other: beginning = previous ending.
        QCOMPARE(
            value(db,
                  "SELECT COUNT(*) FROM \"Production Table\" p WHERE \"Beginning Count\" <> "
                  "(SELECT q.\"Ending Count\" FROM \"Production Table\" q WHERE q.\"Machine Number\" = "
                  "p.\"Machine Number\" AND q.\"Job ID\" < p.\"Job ID\" ORDER BY q.\"Job ID\" DESC LIMIT 1)")
                .toInt(),
            0);
        // Reject reasons add up to the line's rejects.
        QCOMPARE(value(db,
                       "SELECT COUNT(*) FROM \"Production Table\" WHERE \"Rejects\" <> \"RejectReason1\" + "
                       "\"RejectReason2\" + \"RejectReason3\" + \"RejectReason4\" + \"RejectReason5\" + "
                       "\"RejectReason6\" + \"RejectReason7\" + \"RejectReason8\" + \"RejectReason9\" + "
                       "\"RejectReason10\"")
                     .toInt(),
                 0);
        // The stored rejects are the rejects the counts window computes on every counted line.
        QCOMPARE(
            value(
                db,
                "SELECT COUNT(*) FROM \"Production Table\" p WHERE \"Ending Count\" <> 0 AND \"Rejects\" <> "
                "(\"Matec Count\" + \"From Rework\" - COALESCE((SELECT SUM(\"Hold Quantity\") FROM "
                "\"Hold Table\" h WHERE h.\"Job ID\" = p.\"Job ID\"), 0)) - (\"Ending Count\" + "
                "COALESCE((SELECT SUM(\"Transfer Quantity\") FROM \"Transfer Table\" t WHERE t.\"Job ID\" "
                "= p.\"Job ID\"), 0) - \"Beginning Count\")")
                .toInt(),
            0);
        QVERIFY(value(db, "SELECT COUNT(*) FROM \"Production Table\" WHERE \"From Rework\" > 0").toInt() > 0);
        // A hold ticket's remaining quantity is its quantity less what was disposed of.
        QCOMPARE(
            value(db,
                  "SELECT COUNT(*) FROM \"Hold Table\" h WHERE \"Hold Remaining\" <> \"Hold Quantity\" - "
                  "COALESCE((SELECT SUM(\"Reworked Quantity\" + \"Rejects\") FROM \"Hold Distribution\" d "
                  "WHERE d.\"Hold Ticket ID\" = h.\"Hold Ticket ID\"), 0)")
                .toInt(),
            0);
        QCOMPARE(
            value(db, "SELECT COUNT(*) FROM \"Hold Table\" WHERE (\"Hold Remaining\" = 0) <> \"Disposed of\"")
                .toInt(),
            0);
        // Rework goes to a later line of the same job.
        QCOMPARE(value(db, "SELECT COUNT(*) FROM \"Hold Distribution\" d JOIN \"Hold Table\" h USING (\"Hold "
                           "Ticket ID\") "
                           "JOIN \"Production Table\" src ON src.\"Job ID\" = h.\"Job ID\" "
                           "JOIN \"Production Table\" dst ON dst.\"Job ID\" = d.\"To Job ID\" "
                           "WHERE dst.\"Job Number\" <> src.\"Job Number\" OR dst.\"Date\" <= src.\"Date\"")
                     .toInt(),
                 0);
        // Some date-shifts are closed, the latest ones are open.
        QCOMPARE(value(db, "SELECT COUNT(DISTINCT \"Date\" || \"Shift\") FROM \"Production Table\" "
                           "WHERE \"Protected Record\" <> 0")
                     .toInt(),
                 15);
        QCOMPARE(
            value(db,
                  "SELECT MAX(\"Protected Record\") FROM \"Production Table\" WHERE \"Date\" = '2026-12-08'")
                .toInt(),
            0);
        QVERIFY(!db.exec("PRAGMA foreign_key_check").next());
    }

    void sameSeedSamePlant()
    {
        TestWorld world;
        auto build = [&](const QString &name) {
            const QString path = world.file(name);
            SamplePlant::createDatabase(path, QStringLiteral("jdoe"), true, m_last,
                                        ReportCatalog::savedQueries());
            Database db = Database::open(path);
            return db
                .scalar("SELECT SUM(\"Ending Count\") || '/' || (SELECT SUM(\"Hold Quantity\") FROM \"Hold "
                        "Table\") "
                        "FROM \"Production Table\"")
                .toString();
        };
        QCOMPARE(build(QStringLiteral("a.mdb")), build(QStringLiteral("b.mdb")));
    }
};

QTEST_GUILESS_MAIN(TestSamplePlant)
#include "test_sampleplant.moc"
