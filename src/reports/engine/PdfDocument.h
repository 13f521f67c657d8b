#pragma once

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QHash>
#include <QPageLayout>
#include <QPaintDevice>
#include <QRawFont>
#include <QVector>
#include <memory>
#include <vector>

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
    QString errorString() const { return m_error; }

    // A run of text in `font` (its pixel size is the device's) with its baseline starting at `origin`.
    void drawText(const QRawFont &font, const QPointF &origin, const QString &text, const QColor &color);

    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    friend class PdfPaintEngine;
    struct Font;

    // The page's drawing operators, in device pixels with y downwards.
    QByteArray &page() { return m_page; }
    void clipTo(const QRectF &rect); // a null rectangle: no clip
    void endText();
    void forgetState();
    void setFill(const QColor &color);
    void setStroke(const QColor &color, double width);
    int fontIndex(const QRawFont &font);
    int addFont(const QRawFont &font);
    void glyphsOf(Font &font, const QString &text, QVector<quint32> &glyphs);
    quint32 glyphOf(Font &font, char32_t code);
    QRawFont fallbackFor(const QRawFont &font, char32_t code);
    void drawWithFallback(const QRawFont &font, const QPointF &origin, const QString &text,
                          const QColor &color);
    void drawGlyphs(int index, double size, const QPointF &origin, const QVector<quint32> &glyphs,
                    const QColor &color);
    void writePage();
    void writeFont(Font &font, int index);
    int reserve();
    void beginObject(int number);
    void writeStream(int number, const QByteArray &dictionary, const QByteArray &data);
    void write(const QByteArray &bytes);

    QFile m_file;
    QPageLayout m_layout;
    int m_resolution;
    QString m_title, m_creator, m_error;
    std::unique_ptr<PdfPaintEngine> m_engine;
    QByteArray m_page;
    QVector<quint32> m_glyphs;
    bool m_pageOpen = false;
    bool m_clipped = false;
    bool m_inText = false, m_lineStarted = false;
    QPointF m_lineOrigin; // where the last text of the open text object started
    QColor m_fill, m_stroke;
    double m_strokeWidth = -1;
    int m_textFont = -1;
    double m_textSize = 0;
    std::vector<std::unique_ptr<Font>> m_fonts;
    QHash<QString, int> m_fontKeys;
    QVector<QPair<QRawFont, int>> m_recentFonts; // looked up by the font itself, which is quicker
    QHash<char32_t, QRawFont> m_fallbacks;       // the font drawing a character the text's font lacks
    QVector<qint64> m_offsets;                   // by object number; index 0 unused
    QVector<int> m_pages;
    qint64 m_written = 0;
    int m_pagesObject = 0, m_resourcesObject = 0;
};
