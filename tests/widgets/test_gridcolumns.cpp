#include "TestSupport.h"

#include "widgets/GridColumns.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

// Remembered column widths on a real grid with a hidden column. Widening, closing and opening
// again is covered by the windows' own tests; sections and stored values by the options tests.
class TestGridColumns : public QObject
{
    Q_OBJECT

private slots:
    void hiddenColumnIsLeftAlone();
    void widthsOfAWindowAreWrittenOnce();
};

namespace {
const QStringList kCaptions{QStringLiteral("Job ID"), QStringLiteral("Transfer Number"),
                            QStringLiteral("Transfer Quantity"), QStringLiteral("Job Number")};

// A grid as a window builds it: captions, design widths, optionally a hidden column.
std::unique_ptr<QTableView> makeGrid(QStandardItemModel &model, int hiddenColumn = -1)
{
    auto grid = std::make_unique<QTableView>();
    grid->setModel(&model);
    for (int c = 0; c < kCaptions.size(); ++c)
        grid->setColumnWidth(c, 60 + 10 * c);
    if (hiddenColumn >= 0)
        grid->setColumnHidden(hiddenColumn, true);
    grid->show();
    return grid;
}
} // namespace

void TestGridColumns::hiddenColumnIsLeftAlone()
{
    TestWorld world;
    CKelvaraOptions &options = world.session->options();
    options.store().setValue(QStringLiteral("ColWidths/ONHOLDS-Transfer Number"), QStringLiteral("300"));
    options.store().setValue(QStringLiteral("ColWidths/ONHOLDS-Job ID"), QStringLiteral("81"));
    QStandardItemModel model(3, int(kCaptions.size()));
    model.setHorizontalHeaderLabels(kCaptions);

    auto grid = makeGrid(model, 1);
    GridColumns::restore(options, QStringLiteral("ONHOLDS"), grid.get());
    QVERIFY(grid->isColumnHidden(1));
    QCOMPARE(grid->columnWidth(0), 81);
    QCOMPARE(grid->columnWidth(3), 90); // nothing stored: the design width stays
    grid->horizontalHeader()->resizeSection(0, 66);
    GridColumns::save(options, QStringLiteral("ONHOLDS"), grid.get());
    QCOMPARE(options.store().value(QStringLiteral("ColWidths/ONHOLDS-Transfer Number")).toString(),
             QStringLiteral("300"));
    QCOMPARE(options.store().value(QStringLiteral("ColWidths/ONHOLDS-Job ID")).toString(),
             QStringLiteral("66"));

    // Shown again in a grid where it is visible, the column gets its own stored width.
    auto visible = makeGrid(model);
    GridColumns::restore(options, QStringLiteral("ONHOLDS"), visible.get());
    QCOMPARE(visible->columnWidth(1), 300);
}

void TestGridColumns::widthsOfAWindowAreWrittenOnce()
{
    TestWorld world;
    CKelvaraOptions &options = world.session->options();
    QStandardItemModel model(3, int(kCaptions.size()));
    model.setHorizontalHeaderLabels(kCaptions);
    auto first = makeGrid(model);
    auto second = makeGrid(model);
    // What another process reads from the settings file (this process shares its unwritten
    // values between QSettings objects).
    auto onDisk = [&](const QString &key) {
        const QByteArray text = readFile(world.file(QStringLiteral("settings.ini")));
        for (const QByteArray &line : text.split('\n')) {
            if (line.startsWith(key.toUtf8() + '='))
                return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
        }
        return QString();
    };
    {
        CKelvaraOptions::Batch closing(options);
        GridColumns::save(options, QStringLiteral("FIRST"), first.get());
        GridColumns::save(options, QStringLiteral("SECOND"), second.get());
        QCOMPARE(onDisk(QStringLiteral("FIRST-Job%20ID")), QString());
    }
    QCOMPARE(onDisk(QStringLiteral("FIRST-Job%20ID")), QStringLiteral("60"));
    QCOMPARE(onDisk(QStringLiteral("SECOND-Job%20Number")), QStringLiteral("90"));
    // A grid saved on its own is written at once.
    GridColumns::save(options, QStringLiteral("THIRD"), first.get());
    QCOMPARE(onDisk(QStringLiteral("THIRD-Transfer%20Number")), QStringLiteral("70"));
}

QTEST_MAIN(TestGridColumns)
#include "test_gridcolumns.moc"
