#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariant>
#include <QVector>

// One line of a report's body, with its cells already written in the columns' formats.
struct ReportLine
{
    enum Kind { GroupHeader, Detail, GroupFooter, GrandTotal, Message };

    Kind kind = Detail;
    int level = 0;            // group level of a heading or totals line, outermost 0
    QString text;             // heading, totals caption or message
    QStringList cells;        // detail and totals lines: one text per column
    QVector<QVariant> values; // the same values unformatted, for spreadsheets
    QVector<QVariant> keys;   // the group values of the line (outermost first), for spreadsheets

    // A totals line's caption in characters with its indent (two per level); 0 for other lines.
    int captionLength() const
    {
        return kind == GroupFooter || kind == GrandTotal ? int(2 * level + text.size()) : 0;
    }
};

// The lines of a long report in a temporary file, written once as the report is laid out and then
// read as often as its outputs walk it: a year's lines held in memory are hundreds of megabytes of
// small strings. Each line is one record with its length in front, so that a reader can come back
// to any line by its record's offset. The file has no name once it is open: it goes when the spool
// does, and with the process when that is killed, and no other process can open it.
class ReportLineSpool
{
public:
    // Throws ReportError when the temporary file cannot be made.
    ReportLineSpool();

    // Throws ReportError when the temporary file cannot be written (a full disk).
    void append(const ReportLine &line);
    // Writes what is still buffered; call once, after the last line.
    void finish();

    qint64 count() const { return m_count; }
    // The open file's descriptor, which readers read at their own offsets.
    int handle() const { return m_file.handle(); }
    // The widest cell of each column, in characters, over every line.
    const QVector<int> &widestCells() const { return m_widest; }
    // The widest caption of a totals line in characters, its indent included.
    int widestCaption() const { return m_widestCaption; }

private:
    void flush();

    QTemporaryFile m_file;
    QByteArray m_buffer;
    qint64 m_count = 0;
    QVector<int> m_widest;
    int m_widestCaption = 0;
};

// Reads the lines of a report in their order, from memory or from its spool. position() is where
// the next line is; seek() comes back to such a position (the first line of a page).
class ReportLineReader
{
public:
    // Without values, the lines come without their values and keys (for the printed outputs,
    // which show the cells only): a spooled line is then read in half the time.
    ReportLineReader(const QVector<ReportLine> *lines, const ReportLineSpool *spool, bool withValues = true);

    // The next line into `line` (whose strings are reused); false after the last.
    bool next(ReportLine &line);
    qint64 position() const;
    void seek(qint64 position);

private:
    bool fill(qint64 wanted);

    const QVector<ReportLine> *m_lines;
    bool m_withValues;
    qint64 m_index = 0;    // in memory: the next line's index
    int m_handle = -1;     // the spool's file; -1 for lines in memory
    QByteArray m_buffer;   // bytes of the file from m_bufferAt on
    qint64 m_bufferAt = 0; // file offset of the buffer's first byte
    qint64 m_offset = 0;   // of the next record, in the buffer
};
