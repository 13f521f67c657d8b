#pragma once

#include "OutputFile.h"

#include <QByteArray>
#include <QHash>
#include <QRawFont>
#include <QSizeF>
#include <QVector>
#include <future>
#include <memory>
#include <vector>

// The PDF file itself: its objects, one compressed content stream per page written as soon as the
// page is done, the fonts the pages use and, at the end, the document's index. The fonts are
// TrueType subsets of just the glyphs used, each with a map back to the characters, so that the
// text can be searched and copied; a character a font lacks is drawn in a fallback font.
class PdfWriter
{
public:
    // Pages of `pageSize` points.
    PdfWriter(const QString &path, const QSizeF &pageSize);
    ~PdfWriter();

    bool isOpen() const { return m_file.isOpen(); }
    // The first thing that could not be written or embedded.
    QString errorString() const { return m_error; }

    // The font's number on the pages (its resource is /F and the number plus one).
    int fontIndex(const QRawFont &font);
    void glyphsOf(int font, const QString &text, QVector<quint32> &glyphs);
    // Notes a glyph laid out by a shaper as standing for `characters` (more than one for a ligature).
    void noteGlyph(int font, quint32 glyph, const QString &characters);
    QRawFont fallbackFor(const QRawFont &font, char32_t code);

    void writePage(const QByteArray &content);
    // Writes the fonts and the document's index and puts the file in place of the one at the path;
    // false when something could not be written, and then the file at the path is left as it was.
    // Destroyed unfinished, the writer leaves no file and the old one unchanged.
    bool finish(const QString &title, const QString &creator);

private:
    struct Font;

    int addFont(const QRawFont &font);
    quint32 glyphOf(Font &font, char32_t code);
    void writeFont(Font &font, int index);
    int reserve();
    void beginObject(int number);
    void writeStream(int number, const QByteArray &dictionary, const QByteArray &data);
    void writePacked(int number, const QByteArray &dictionary, const QByteArray &packed);
    void write(const QByteArray &bytes);
    void writePendingPage();

    // The last page given: its objects' numbers and its content being compressed.
    struct PendingPage
    {
        int contents = 0, page = 0;
        std::future<QByteArray> packed;
    };

    OutputFile m_file;
    QSizeF m_pageSize;
    QString m_error;
    std::vector<std::unique_ptr<Font>> m_fonts;
    QHash<QString, int> m_fontKeys;
    QVector<QPair<QRawFont, int>> m_recentFonts; // looked up by the font itself, which is quicker
    QHash<char32_t, QRawFont> m_fallbacks;       // the font drawing a character the text's font lacks
    QVector<qint64> m_offsets;                   // by object number; index 0 unused
    QVector<int> m_pages;
    qint64 m_written = 0;
    int m_pagesObject = 0, m_resourcesObject = 0;
    PendingPage m_pending;
};
