#include "SavedQuerySpelling.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <optional>

namespace {
// A piece of the text: quoted text, a name in brackets or double quotes, a comment, or the SQL
// between them.
struct Piece
{
    enum Kind { Plain, Text, Bracketed, Quoted, Comment } kind;
    QString text; // as written, with its quotes or comment marks
};

qsizetype endOf(const QString &sql, qsizetype from, const QString &close)
{
    const qsizetype end = sql.indexOf(close, from);
    return end < 0 ? sql.size() : end + close.size();
}

QList<Piece> pieces(const QString &sql)
{
    QList<Piece> result;
    qsizetype plainStart = 0;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        qsizetype end = -1;
        Piece::Kind kind = Piece::Plain;
        if (c == '\'') {
            // '' inside quoted text closes and opens it again: two pieces that read the same.
            end = endOf(sql, i + 1, QStringLiteral("'"));
            kind = Piece::Text;
        } else if (c == '"') {
            end = endOf(sql, i + 1, QStringLiteral("\""));
            kind = Piece::Quoted;
        } else if (c == '[') {
            end = endOf(sql, i + 1, QStringLiteral("]"));
            kind = Piece::Bracketed;
        } else if (sql.mid(i, 2) == QLatin1String("--")) {
            end = endOf(sql, i, QStringLiteral("\n"));
            kind = Piece::Comment;
        } else if (sql.mid(i, 2) == QLatin1String("/*")) {
            end = endOf(sql, i + 2, QStringLiteral("*/"));
            kind = Piece::Comment;
        }
        if (end < 0) {
            ++i;
            continue;
        }
        if (i > plainStart)
            result.append({Piece::Plain, sql.mid(plainStart, i - plainStart)});
        result.append({kind, sql.mid(i, end - i)});
        i = plainStart = end;
    }
    if (plainStart < sql.size())
        result.append({Piece::Plain, sql.mid(plainStart)});
    return result;
}

bool has(const QList<Piece> &parts, Piece::Kind kind)
{
    return std::any_of(parts.cbegin(), parts.cend(),
                       [kind](const Piece &piece) { return piece.kind == kind; });
}

// The server's words already in the SQL between names: such a text is not in the older spelling.
bool hasServerWords(const QList<Piece> &parts)
{
    static const QRegularExpression serverWords(
        QStringLiteral("\\bDISTINCT\\s+FROM\\b|\\bEXTRACT\\s*\\(\\s*DOW\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return std::any_of(parts.cbegin(), parts.cend(), [](const Piece &piece) {
        return piece.kind == Piece::Plain && piece.text.contains(serverWords);
    });
}

// The words added keep the case the text writes IS or NOT in, so that the way back restores it.
QString inCaseOf(const QString &word, const QString &words)
{
    return word == word.toLower() ? words.toLower() : words;
}

// SQLite's "a IS NOT b" and "a IS b" (not IS NULL, IS TRUE, IS FALSE) as the server writes them.
// Every match of pattern in text written as with gives it; a match it gives nothing for stays.
QString rewriteMatches(const QString &text, const QRegularExpression &pattern,
                       const std::function<std::optional<QString>(const QRegularExpressionMatch &)> &with)
{
    QString result;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const std::optional<QString> written = with(m);
        if (!written)
            continue;
        result += text.mid(from, m.capturedStart() - from) + *written;
        from = m.capturedEnd();
    }
    return result + text.mid(from);
}

QString serverComparisons(QString plain)
{
    static const QRegularExpression isNot(
        QStringLiteral("\\b(IS)(\\s+)(NOT)(\\s+)(?!NULL\\b|TRUE\\b|FALSE\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression is(QStringLiteral("\\b(IS)(\\s+)(?!NOT\\b|NULL\\b|TRUE\\b|FALSE\\b)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QString distinct = rewriteMatches(plain, isNot, [](const QRegularExpressionMatch &m) {
        return std::optional(m.captured(1) + m.captured(2) +
                             inCaseOf(m.captured(3), QStringLiteral("DISTINCT FROM")) + m.captured(4));
    });
    return rewriteMatches(
        distinct, is, [&distinct](const QRegularExpressionMatch &m) -> std::optional<QString> {
            // "IS DISTINCT FROM" just written is not a comparison to rewrite again.
            if (distinct.mid(m.capturedEnd(), 8).compare(QLatin1String("DISTINCT"), Qt::CaseInsensitive) == 0)
                return std::nullopt;
            return m.captured(1) + inCaseOf(m.captured(1), QStringLiteral(" NOT DISTINCT FROM")) +
                   m.captured(2);
        });
}

QString fileComparisons(QString plain)
{
    static const QRegularExpression isNotDistinct(QStringLiteral("\\b(IS) (NOT DISTINCT FROM)(\\s+)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression isDistinct(QStringLiteral("\\b(IS)(\\s+)(DISTINCT FROM)(\\s+)"),
                                               QRegularExpression::CaseInsensitiveOption);
    plain.replace(isNotDistinct, QStringLiteral("\\1\\3"));
    return rewriteMatches(plain, isDistinct, [](const QRegularExpressionMatch &m) {
        return std::optional(m.captured(1) + m.captured(2) + inCaseOf(m.captured(3), QStringLiteral("NOT")) +
                             m.captured(4));
    });
}

// The day of the week of an ISO date, Sunday 0: SQLite's strftime('%w', x) and the server's
// EXTRACT(DOW FROM CAST(x AS date)), x a name (of a table's alias too).
QString serverWeekday(const QString &sql)
{
    static const QRegularExpression weekday(
        QStringLiteral("strftime\\('%w',\\s*((?:\\w+\\.)?\\[[^\\]]+\\])\\)"));
    return QString(sql).replace(weekday, QStringLiteral("EXTRACT(DOW FROM CAST(\\1 AS date))"));
}

QString fileWeekday(const QString &sql)
{
    static const QRegularExpression weekday(
        QStringLiteral("EXTRACT\\(DOW FROM CAST\\(((?:\\w+\\.)?\"[^\"]+\") AS date\\)\\)"));
    return QString(sql).replace(weekday, QStringLiteral("strftime('%w', \\1)"));
}

QString joined(const QList<Piece> &parts, QString (*plain)(QString), QChar open, QChar close)
{
    QString result;
    for (const Piece &piece : parts) {
        if (piece.kind == Piece::Plain)
            result += plain(piece.text);
        else if (piece.kind == Piece::Bracketed || piece.kind == Piece::Quoted)
            result += open + piece.text.mid(1, piece.text.size() - 2) + close;
        else
            result += piece.text;
    }
    return result;
}

QString toServerUnchecked(const QString &fileText)
{
    return joined(pieces(serverWeekday(fileText)), serverComparisons, '"', '"');
}
} // namespace

QString SavedQuerySpelling::toServer(const QString &fileText)
{
    const QList<Piece> parts = pieces(fileText);
    if (!has(parts, Piece::Bracketed) || has(parts, Piece::Quoted) || hasServerWords(parts))
        return fileText;
    return toServerUnchecked(fileText);
}

QString SavedQuerySpelling::toFile(const QString &serverText)
{
    const QList<Piece> parts = pieces(serverText);
    if (!has(parts, Piece::Quoted) || has(parts, Piece::Bracketed))
        return serverText;
    const QString fileText = joined(pieces(fileWeekday(serverText)), fileComparisons, '[', ']');
    // Only a text the way there could have made goes back: any other is the site's own.
    return toServerUnchecked(fileText) == serverText ? fileText : serverText;
}
