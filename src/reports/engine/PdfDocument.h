#pragma once

#include "PdfWriter.h"

#include <QColor>
#include <QPageLayout>
#include <QPaintDevice>
#include <QRawFont>
#include <memory>

class PdfPaintEngine;

// A PDF file painted page by page, for reports: text, lines, filled shapes in solid colours. The
// text is set in the TrueType fonts it names, embedded with just the glyphs used, and can be
// searched and copied. A report of a year has millions of characters: runs of text go into the
// page as they are, where a general PDF engine places every glyph by itself, and each page is
// compressed and written to the file as soon as it is finished.
//
// Coordinates are device pixels of the page's printable area, as on any paged device.
class PdfDocument : public QPaintDevice
{
public:
    PdfDocument(const QString &path, const QPageLayout &layout, int resolution = 300);
    ~PdfDocument() override;

    // True when the font has TrueType outlines, which this document can embed.
    static bool canEmbed(const QFont &font);
    void setTitle(const QString &title) { m_title = title; }
    void setCreator(const QString &creator) { m_creator = creator; }
    void newPage();
    // Writes the fonts and the document's index and closes the file; false when something could
    // not be written (errorString() says what).
    bool finish();
    QString errorString() const { return m_writer.errorString(); }

    // A run of text in `font` (its pixel size is the device's) with its baseline starting at `origin`.
    void drawText(const QRawFont &font, const QPointF &origin, const QString &text, const QColor &color);

    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    PdfWriter m_writer;
    QPageLayout m_layout;
    int m_resolution;
    QString m_title, m_creator;
    std::unique_ptr<PdfPaintEngine> m_engine;
    bool m_pageOpen = false;
};

// A metric of the printable area of a page at `resolution` dots per inch, as PdfDocument has it.
int pageAreaMetric(QPaintDevice::PaintDeviceMetric metric, const QPageLayout &layout, int resolution);
