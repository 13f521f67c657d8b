#include "TestSupport.h"

#include "production/ProductionWindows.h"
#include "production/record/SamplePlant.h"
#include "production/rejects/RejectsModel.h"
#include "security/SecurityWindows.h"
#include "sharing/frmCurrentUsers.h"
#include "shell/frmDateChk.h"
#include "shell/frmDateShift.h"
#include "shell/frmMain.h"
#include "tools/ToolWindows.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>

// Every window at its minimum size and at the size Window > Tile gives it beside three others:
// no control is cut by the edge of what holds it or squeezed below the size it needs, none
// overlaps another, and each grid shows at least a few rows.
class TestWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { FILE_DATABASE_ONLY("the windows are the same on a server"); }
    void childWindows_data();
    void childWindows();
    void aWindowOpenedOverAMaximizedOneFillsTheFrame();
    void dialogsAtTheirMinimumSize();
};

namespace {
constexpr int kRowsShown = 3;

bool isControl(const QWidget *widget)
{
    return qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QLabel *>(widget) ||
           qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QComboBox *>(widget) ||
           qobject_cast<const QAbstractSpinBox *>(widget) || qobject_cast<const QAbstractItemView *>(widget);
}

// Containers whose children are laid out by the window; the insides of a control are its own.
bool isContainer(const QWidget *widget)
{
    return !isControl(widget) && !qobject_cast<const QAbstractScrollArea *>(widget);
}

QString nameOf(const QWidget *widget)
{
    QString name = widget->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(widget->metaObject()->className());
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        name += QStringLiteral(" '%1'").arg(label->text().left(30));
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        name += QStringLiteral(" '%1'").arg(button->text());
    return name;
}

// The current column's heading is drawn bold: it fits in bold (a wrapping heading by its widest word).
void headingsFit(const QTableView *grid, QStringList &faults)
{
    const QHeaderView *header = grid->horizontalHeader();
    if (header->isHidden() || !header->highlightSections())
        return;
    QFont bold = header->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const bool wraps = header->defaultAlignment() & Qt::TextWordWrap;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        const QString heading = grid->model()->headerData(c, Qt::Horizontal).toString();
        int need = 0;
        for (const QString &part : heading.split(wraps ? QChar(' ') : QChar('\n')))
            need = std::max(need, metrics.horizontalAdvance(part));
        if (!grid->isColumnHidden(c) && grid->columnWidth(c) < need + 2)
            faults << QStringLiteral("%1's heading \"%2\" is cut in bold").arg(nameOf(grid), heading);
    }
}

void check(const QWidget *parent, QStringList &faults)
{
    QList<const QWidget *> shown;
    for (const QObject *object : parent->children()) {
        const auto *widget = qobject_cast<const QWidget *>(object);
        if (!widget || widget->isWindow() || !widget->isVisibleTo(parent) || widget->size().isEmpty())
            continue;
        if (const auto *stack = qobject_cast<const QStackedWidget *>(parent);
            stack && stack->currentWidget() != widget)
            continue;
        shown << widget;
        const QRect inside = parent->rect();
        if (!inside.contains(widget->geometry()))
            faults << QStringLiteral("%1 is cut by the edge of %2").arg(nameOf(widget), nameOf(parent));
        // A control given a fixed size (the arrows beside a box) has the size it was designed at.
        const bool fixed = widget->minimumSize() == widget->maximumSize();
        if (isControl(widget) && !fixed) {
            const QSize need = widget->minimumSizeHint();
            const bool wraps = widget->hasHeightForWidth();
            const int height = wraps ? widget->heightForWidth(widget->width()) : need.height();
            if (widget->height() < height || (!wraps && widget->width() < need.width()))
                faults << QStringLiteral("%1 is %2x%3, it needs %4x%5")
                              .arg(nameOf(widget))
                              .arg(widget->width())
                              .arg(widget->height())
                              .arg(need.width())
                              .arg(height);
        }
        if (const auto *grid = qobject_cast<const QTableView *>(widget)) {
            headingsFit(grid, faults);
            const int rows = grid->verticalHeader()->defaultSectionSize();
            if (grid->viewport()->height() < kRowsShown * rows)
                faults << QStringLiteral("%1 shows fewer than %2 rows").arg(nameOf(widget)).arg(kRowsShown);
        }
        if (isContainer(widget))
            check(widget, faults);
    }
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                faults << QStringLiteral("%1 overlaps %2").arg(nameOf(shown[i]), nameOf(shown[j]));
        }
    }
}

QStringList faultsOf(QWidget *window)
{
    QCoreApplication::processEvents();
    QStringList faults;
    check(window, faults);
    return faults;
}
} // namespace

void TestWindowLayout::childWindows_data()
{
    QTest::addColumn<QString>("command");
    for (const char *command :
         {"&JOB LIST...", "&PRODUCTION COUNTS...", "&TRANSFERS...", "PRODUCTION ON &HOLD...",
          "&DISPOSITION OF HOLD...", "P&ROTECT DATA...", "&SECURITY SETTINGS...",
          "&COLOR FEEDER CALIBRATION...", "&VIEW/EDIT QA CHECK SHEETS..."})
        QTest::newRow(command) << QString::fromLatin1(command);
}

void TestWindowLayout::childWindows()
{
    QFETCH(QString, command);
    DatabaseWorld world;
    SamplePlant::fill(world.db, QDate(2026, 12, 7));
    WindowRegistry registry;
    registerProductionWindows(registry);
    registerToolWindows(registry);
    registerSecurityWindows(registry);
    frmMain main(*world.session, std::move(registry));
    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 7), 1}); });
    main.resize(1280, 800);
    main.show();
    QVERIFY(world.session->openWindow(command));
    QMdiSubWindow *frame = main.mdiArea()->activeSubWindow();
    QVERIFY(frame);
    frame->showNormal();

    QVERIFY2(frame->minimumSize().width() > 100, "the window has no minimum size");
    frame->resize(1, 1);
    const QStringList atMinimum = faultsOf(frame->widget());
    QVERIFY2(atMinimum.isEmpty(), qPrintable(QStringLiteral("at its minimum size: ") + atMinimum.join("; ")));

    // Tiled with three others, each gets a quarter of the frame's height, or its minimum.
    for (int i = 0; i < 3; ++i)
        QVERIFY(world.session->openWindow(QStringLiteral("&VIEW/EDIT QA CHECK SHEETS...")));
    main.menuItem(QStringLiteral("mnuWindowSub2"))->trigger();
    const QStringList tiled = faultsOf(frame->widget());
    QVERIFY2(tiled.isEmpty(), qPrintable(QStringLiteral("tiled: ") + tiled.join("; ")));
    frame->close();
}

void TestWindowLayout::aWindowOpenedOverAMaximizedOneFillsTheFrame()
{
    DatabaseWorld world;
    SamplePlant::fill(world.db, QDate(2026, 12, 7));
    WindowRegistry registry;
    registerProductionWindows(registry);
    frmMain main(*world.session, std::move(registry));
    world.session->setDateShiftChooser([&] { world.session->setCurrentDateShift({QDate(2026, 12, 7), 1}); });
    main.resize(1280, 800);
    main.show();
    QVERIFY(world.session->openWindow(QStringLiteral("&PRODUCTION COUNTS...")));
    QTRY_VERIFY(main.mdiArea()->activeSubWindow()->isMaximized());
    const QSize area = main.mdiArea()->viewport()->size();
    // One that opens maximized itself, and one that opens at its own size.
    for (const char *command : {"&DISPOSITION OF HOLD...", "&TRANSFERS..."}) {
        QVERIFY(world.session->openWindow(QString::fromLatin1(command)));
        QMdiSubWindow *frame = main.mdiArea()->activeSubWindow();
        QCoreApplication::processEvents();
        QVERIFY2(frame->isMaximized(), command);
        QCOMPARE(frame->size(), area);
        frame->showNormal();
        QVERIFY2(frame->width() < area.width() || frame->height() < area.height(), command);
        QVERIFY(frame->size().expandedTo(frame->minimumSize()) == frame->size());
        frame->showMaximized();
    }
    // The job description is cut in the rejects' narrow design width: it takes the room the
    // grid leaves at its right (on a screen wider than the design's 1280 pixels).
    main.resize(1600, 800);
    QVERIFY(world.session->openWindow(QStringLiteral("REJECTS BY REASON")));
    auto *grid =
        main.mdiArea()->activeSubWindow()->widget()->findChild<QTableView *>(QStringLiteral("Table1"));
    QVERIFY(grid);
    const int column = RejectsModel::DescriptionColumn;
    const int need = static_cast<QAbstractItemView *>(grid)->sizeHintForColumn(column);
    QTRY_VERIFY2(grid->columnWidth(column) >= need ||
                     grid->horizontalHeader()->length() >= grid->viewport()->width(),
                 qPrintable(QStringLiteral("%1 of %2 px").arg(grid->columnWidth(column)).arg(need)));
}

void TestWindowLayout::dialogsAtTheirMinimumSize()
{
    DatabaseWorld world;
    frmDateShift dateShift(*world.session);
    frmDateChk dateCheck(*world.session);
    frmCurrentUsers users(*world.session, true);
    for (QWidget *dialog : std::initializer_list<QWidget *>{&dateShift, &dateCheck, &users}) {
        dialog->show();
        dialog->resize(1, 1);
        const QStringList faults = faultsOf(dialog);
        QVERIFY2(faults.isEmpty(),
                 qPrintable(dialog->objectName() + QStringLiteral(": ") + faults.join("; ")));
        dialog->hide();
    }
}

QTEST_MAIN(TestWindowLayout)
#include "test_windowlayout.moc"
