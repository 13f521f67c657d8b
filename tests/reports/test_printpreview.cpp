// The print preview: the report's pages as its PDF has them, paged through from the tool bar, no
// file left behind, and a cancelled print that leaves nothing.

#include "ReportFixture.h"
#include "TestSupport.h"
#include "reports/ReportOutput.h"
#include "reports/ReportPageView.h"
#include "reports/engine/ReportError.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ReportPainter.h"
#include "reports/frmPrintPreview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QLocale>
#include <QPrinter>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {
// The production counts of the fixture plant, its lines repeated until the report runs to
// several pages.
ReportDocument countsReport(DatabaseWorld &world, int repeat)
{
    ReportDocument document = ReportFixture::countsReport(world);
    const QVector<ReportLine> lines = document.lines;
    for (int i = 1; i < repeat; ++i)
        document.lines += lines;
    return document;
}

// Writes the report's PDF as the preview does; returns its number of pages.
int writePdf(const ReportDocument &document, const QString &path)
{
    int pages = 0;
    ReportExport::write(document, ReportExport::Pdf, path, [&](int, int count) {
        pages = count;
        return true;
    });
    return pages;
}

// Pixels as dark as text: the view's background and an empty page are lighter.
int darkPixels(const QImage &image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 80 ? 1 : 0;
    }
    return dark;
}

QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}
} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Steps from the tool bar or a typed page number; the box shows "n / N" and the view is there.
    void paging_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("shown"); // 1-based; 0 stands for the last page
        QTest::newRow("opens on the first") << QStringList{} << 1;
        QTest::newRow("next") << QStringList{"actNextPage"} << 2;
        QTest::newRow("previous at the first stays") << QStringList{"actPreviousPage"} << 1;
        QTest::newRow("last") << QStringList{"actLastPage"} << 0;
        QTest::newRow("next at the last stays") << QStringList{"actLastPage", "actNextPage"} << 0;
        QTest::newRow("first after last") << QStringList{"actLastPage", "actFirstPage"} << 1;
        QTest::newRow("typed 3") << QStringList{"3"} << 3;
        QTest::newRow("typed the last") << QStringList{"last"} << 0;
        QTest::newRow("typed one past the last") << QStringList{"past"} << 0;
        QTest::newRow("typed 0") << QStringList{"actNextPage", "0"} << 1;
        QTest::newRow("typed text keeps the page") << QStringList{"actNextPage", "abc"} << 2;
    }

    void paging()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, shown);
        DatabaseWorld world;
        const ReportDocument document = countsReport(world, 60);
        const int pages = writePdf(document, world.file(QStringLiteral("report.pdf")));
        QVERIFY(pages >= 5);
        frmPrintPreview window(document, QStringLiteral("Print Preview - Production Counts Report"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pageCount(), pages);
        auto *box = window.findChild<QLineEdit *>(QStringLiteral("txtPage"));
        for (QString step : steps) {
            if (step.startsWith(QLatin1String("act"))) {
                window.findChild<QAction *>(step)->trigger();
                continue;
            }
            step.replace(QLatin1String("last"), QString::number(pages));
            step.replace(QLatin1String("past"), QString::number(pages + 1));
            box->setText(step);
            QTest::keyClick(box, Qt::Key_Return);
        }
        const int page = shown == 0 ? pages : shown;
        QCOMPARE(box->text(), QStringLiteral("%1 / %2").arg(page).arg(pages));
        QCOMPARE(window.currentPage() + 1, page);
        // and the page scrolled to is painted
        auto *view = window.findChild<ReportPageView *>(QStringLiteral("pdfView"));
        QTRY_VERIFY(darkPixels(view->viewport()->grab().toImage()) > 200);
    }

    // Every page count shows its page: a report of one page as well as one of two, at every
    // window height, also where a single page is about as tall as the view (the scroll bar that
    // it would need, once shown, narrows the page until it is not needed).
    void pageIsDrawn_data()
    {
        QTest::addColumn<int>("repeat");
        QTest::addColumn<int>("pages");
        QTest::newRow("one page") << 1 << 1;
        QTest::newRow("two pages") << 2 << 2;
    }

    void pageIsDrawn()
    {
        QFETCH(int, repeat);
        QFETCH(int, pages);
        DatabaseWorld world;
        const ReportDocument document = countsReport(world, repeat);
        QCOMPARE(writePdf(document, world.file(QStringLiteral("report.pdf"))), pages);
        frmPrintPreview window(document, QStringLiteral("Print Preview - Production Counts Report"));
        window.resize(900, 2000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *view = window.findChild<ReportPageView *>(QStringLiteral("pdfView"));
        // the height at which a page fitted to the width is as tall as the view
        const QSizeF page = view->pages()->pageSize();
        const int pageHeight = qRound((view->viewport()->width() - 12) * page.height() / page.width());
        const int around = pageHeight + window.height() - view->viewport()->height();
        for (int height = around - 24; height <= around + 24; height += 4) {
            window.resize(900, height);
            const QString at = QStringLiteral("window height %1").arg(height);
            QTRY_VERIFY2_WITH_TIMEOUT(darkPixels(view->viewport()->grab().toImage()) > 200, qPrintable(at),
                                      3000);
            // and it stays: the view has settled on its layout
            const QSize settled = view->viewport()->size();
            for (int round = 0; round < 10; ++round) {
                QTest::qWait(5);
                QVERIFY2(view->viewport()->size() == settled, qPrintable(at));
            }
            QVERIFY2(darkPixels(view->viewport()->grab().toImage()) > 200, qPrintable(at));
        }
    }

    // With a chart page first and descriptions wrapped over two lines, the preview has the PDF's
    // pages: as many, the chart's bars on the first and text on the last.
    void pagesAsThePdfHasThem()
    {
        DatabaseWorld world;
        ReportDocument document = countsReport(world, 20);
        document.layout.chart = {QStringLiteral("Rejects by Reason"),
                                 {{QStringLiteral("Net"), QStringLiteral("Flash")}}};
        document.chart = {{QStringLiteral("Flash"), 40, 80}, {QStringLiteral("Short shot"), 10, 100}};
        for (ReportLine &line : document.lines) {
            if (line.kind == ReportLine::Detail)
                line.cells[2] = QStringLiteral("Bottle cap, white 28 mm, ribbed ").repeated(3);
        }
        const int pages = writePdf(document, world.file(QStringLiteral("report.pdf")));
        const ReportPages preview(document, ReportPainter(document).pageLayout(QPageSize(QPageSize::Letter)));
        QCOMPARE(preview.count(), pages);
        const QImage chart = preview.image(0, 1.0);
        int bars = 0;
        for (int y = 0; y < chart.height(); ++y) {
            for (int x = 0; x < chart.width(); ++x)
                bars += chart.pixel(x, y) == QColor(70, 110, 165).rgb() ? 1 : 0;
        }
        QVERIFY(bars > 1000);
        QVERIFY(darkPixels(preview.image(pages - 1, 1.0)) > 200);
    }

    // The preview shows the pages of the engine's PDF in a window on the whole screen, and writes
    // no file for it, neither while it shows nor after.
    void previewShowsThePdfPagesAndLeavesNoFile()
    {
        DatabaseWorld world;
        const ReportDocument document = countsReport(world, 3);
        const QString temp = world.file(QStringLiteral("tmp"));
        QDir().mkpath(temp);
        const QByteArray oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", temp.toLocal8Bit());
        QString title;
        QRect placed;
        int pages = 0;
        QStringList filesWhileShown;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *window = qobject_cast<frmPrintPreview *>(top);
                if (!window || !window->isVisible())
                    continue;
                title = window->windowTitle();
                placed = QRect(window->frameGeometry().topLeft(), window->size());
                pages = window->pageCount();
                filesWhileShown = filesUnder(temp);
                window->close();
            }
        });
        closer.start(10);
        QPrinter printer;
        ReportOutput::preview(document, QStringLiteral("Print Preview - Production Counts Report"), printer,
                              *world.session, nullptr);
        qputenv("TMPDIR", oldTemp);
        QCOMPARE(title, QStringLiteral("Print Preview - Production Counts Report"));
        QCOMPARE(placed, QRect(QPoint(0, 0), QApplication::primaryScreen()->geometry().size()));
        QCOMPARE(pages, writePdf(document, world.file(QStringLiteral("same.pdf"))));
        QCOMPARE(filesWhileShown, QStringList());
        QCOMPARE(filesUnder(temp), QStringList());
    }

    // Cancel in the progress of printing: nothing printed (here, to a file, whose old copy stays
    // as it was), and the caller told, so that no "Mark as Printed?" can follow.
    void cancelledPrint_data()
    {
        QTest::addColumn<int>("cancelAt"); // page whose progress answers Cancel; 0 none
        QTest::newRow("first page") << 1;
        QTest::newRow("last page") << -1;
        QTest::newRow("not cancelled") << 0;
    }

    void cancelledPrint()
    {
        QFETCH(int, cancelAt);
        DatabaseWorld world;
        const ReportDocument document = countsReport(world, 20);
        const QString folder = world.file(QStringLiteral("printed"));
        QDir().mkpath(folder);
        const QString out = QDir(folder).filePath(QStringLiteral("printed.pdf"));
        QVERIFY(writeFile(out, "last week's report"));
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out);
        bool cancelled = false;
        try {
            ReportOutput::print(document, printer, [&](int page, int pages) {
                return page != (cancelAt < 0 ? pages : cancelAt);
            });
        } catch (const ReportCancelled &) {
            cancelled = true;
        }
        QCOMPARE(cancelled, cancelAt != 0);
        QCOMPARE(readFile(out).startsWith("%PDF"), cancelAt == 0);
        if (cancelAt != 0)
            QCOMPARE(readFile(out), QByteArray("last week's report"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("printed.pdf")});
        QCOMPARE(printer.outputFileName(), out);
    }
};

QTEST_MAIN(TestPrintPreview)
#include "test_printpreview.moc"
