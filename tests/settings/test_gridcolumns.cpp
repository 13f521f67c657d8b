#include "TestSupport.h"

#include "settings/GridColumns.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

// Remembered column widths on real grids: widen, close, open again.
class TestGridColumns : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void widenedColumnComesBack();
    void firstOpeningKeepsDesignWidths();
    void hiddenColumnIsLeftAlone();
    void gridsOfOneWindowKeepSeparateWidths();

private:
    // A grid as a window builds it: captions, design widths, optionally a hidden column.
    std::unique_ptr<QTableView> makeGrid(int hiddenColumn = -1);

    std::unique_ptr<TestWorld> m_world;
    QList<std::shared_ptr<QStandardItemModel>> m_models;
};

namespace {
const QStringList kCaptions{QStringLiteral("Job ID"), QStringLiteral("Transfer Number"),
                            QStringLiteral("Transfer Quantity"), QStringLiteral("Job Number")};
const QList<int> kDesignWidths{60, 110, 120, 90};
} // namespace

void TestGridColumns::init()
{
    m_world = std::make_unique<TestWorld>();
}

void TestGridColumns::cleanup()
{
    m_models.clear();
    m_world.reset();
}

std::unique_ptr<QTableView> TestGridColumns::makeGrid(int hiddenColumn)
{
    auto model = std::make_shared<QStandardItemModel>(3, int(kCaptions.size()));
    model->setHorizontalHeaderLabels(kCaptions);
    m_models.append(model);
    auto grid = std::make_unique<QTableView>();
    grid->setModel(model.get());
    for (int c = 0; c < kDesignWidths.size(); ++c)
        grid->setColumnWidth(c, kDesignWidths[c]);
    if (hiddenColumn >= 0)
        grid->setColumnHidden(hiddenColumn, true);
    grid->resize(600, 200);
    grid->show();
    return grid;
}

void TestGridColumns::widenedColumnComesBack()
{
    {
        auto grid = makeGrid();
        GridColumns::restore(m_world->session->options(), QStringLiteral("TRANSFERS"), grid.get());
        grid->horizontalHeader()->resizeSection(2, 245);
        GridColumns::save(m_world->session->options(), QStringLiteral("TRANSFERS"), grid.get());
    }
    auto reopened = makeGrid();
    GridColumns::restore(m_world->session->options(), QStringLiteral("TRANSFERS"), reopened.get());
    QCOMPARE(reopened->columnWidth(2), 245);
    QCOMPARE(reopened->columnWidth(0), kDesignWidths[0]);
    QCOMPARE(reopened->columnWidth(3), kDesignWidths[3]);
}

void TestGridColumns::firstOpeningKeepsDesignWidths()
{
    auto grid = makeGrid();
    GridColumns::restore(m_world->session->options(), QStringLiteral("TRANSFERS"), grid.get());
    for (int c = 0; c < kDesignWidths.size(); ++c)
        QCOMPARE(grid->columnWidth(c), kDesignWidths[c]);
}

void TestGridColumns::hiddenColumnIsLeftAlone()
{
    QSettings &store = m_world->session->options().store();
    store.setValue(QStringLiteral("ColWidths/ONHOLDS-Transfer Number"), QStringLiteral("300"));
    store.setValue(QStringLiteral("ColWidths/ONHOLDS-Job ID"), QStringLiteral("81"));

    auto grid = makeGrid(1);
    GridColumns::restore(m_world->session->options(), QStringLiteral("ONHOLDS"), grid.get());
    QVERIFY(grid->isColumnHidden(1));
    QCOMPARE(grid->columnWidth(0), 81);
    grid->horizontalHeader()->resizeSection(0, 66);
    GridColumns::save(m_world->session->options(), QStringLiteral("ONHOLDS"), grid.get());
    QCOMPARE(store.value(QStringLiteral("ColWidths/ONHOLDS-Transfer Number")).toString(), QStringLiteral("300"));
    QCOMPARE(store.value(QStringLiteral("ColWidths/ONHOLDS-Job ID")).toString(), QStringLiteral("66"));

    // Shown again in a grid where it is visible, the column gets its own stored width.
    auto visible = makeGrid();
    GridColumns::restore(m_world->session->options(), QStringLiteral("ONHOLDS"), visible.get());
    QCOMPARE(visible->columnWidth(1), 300);
}

void TestGridColumns::gridsOfOneWindowKeepSeparateWidths()
{
    auto tickets = makeGrid();
    auto shiftData = makeGrid();
    tickets->horizontalHeader()->resizeSection(0, 150);
    shiftData->horizontalHeader()->resizeSection(0, 45);
    GridColumns::save(m_world->session->options(), QStringLiteral("TRANSFERS"), tickets.get());
    GridColumns::save(m_world->session->options(), QStringLiteral("XFERSHIFTDATA"), shiftData.get());

    auto ticketsAgain = makeGrid();
    auto shiftDataAgain = makeGrid();
    GridColumns::restore(m_world->session->options(), QStringLiteral("TRANSFERS"), ticketsAgain.get());
    GridColumns::restore(m_world->session->options(), QStringLiteral("XFERSHIFTDATA"), shiftDataAgain.get());
    QCOMPARE(ticketsAgain->columnWidth(0), 150);
    QCOMPARE(shiftDataAgain->columnWidth(0), 45);
}

QTEST_MAIN(TestGridColumns)
#include "test_gridcolumns.moc"
