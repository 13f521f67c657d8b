#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

// A record selection formula over one report table, in the report engine's formula language:
//   {Table.Field}, Date(y,m,d), 'text' or "text", numbers, True, False,
//   =, <>, <, <=, >, >=, And, Or and parentheses; And binds closer than Or.
// The empty formula selects every row. A formula that cannot be read throws ReportError naming
// the position (counted from 1), so a malformed formula never prints an unfiltered report.
class SelectionFormula
{
public:
    SelectionFormula();
    ~SelectionFormula();
    SelectionFormula(SelectionFormula &&) noexcept;
    SelectionFormula &operator=(SelectionFormula &&) noexcept;

    static SelectionFormula parse(const QString &text);

    bool isEmpty() const { return !m_root; }
    const QString &text() const { return m_text; }

    // Ties each {Table.Field} to its position among `columns` of `table`; throws ReportError for a
    // field of another table or one the table lacks.
    void bind(const QString &table, const QStringList &columns);
    // The fields the formula names, as written.
    QStringList fields() const;

    // Whether a row (values in the order of the bound columns) is selected. Values are QDate for
    // dates, numbers, bool or QString; a null value satisfies no comparison. Throws ReportError
    // when a comparison mixes kinds that cannot be compared (a date with a text, say).
    bool matches(const QVector<QVariant> &row) const;

    struct Node;

private:
    QString m_text;
    std::unique_ptr<Node> m_root;
};
