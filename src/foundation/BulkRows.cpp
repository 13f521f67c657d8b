#include "BulkRows.h"

#include "Database.h"

#include <algorithm>

QString BulkRows::columnList(const QStringList &names)
{
    QStringList list;
    for (const QString &name : names)
        list << QLatin1Char('"') + name + QLatin1Char('"');
    return list.join(QStringLiteral(", "));
}

namespace {
// Both engines take 32,766 parameters in one statement (SQLite since 3.32).
constexpr int kParametersPerInsert = 30000;
constexpr int kRowsPerInsert = 500;

// One statement, one round trip to a server, per batch of rows; the values of row r, column c
// bound as :r<r>c<c>.
class Inserts : public BulkRows
{
public:
    Inserts(Database &db, const QString &table, const QStringList &columns)
        : m_db(db), m_table(table), m_columns(columns),
          m_batch(int(std::clamp<qsizetype>(kParametersPerInsert / columns.size(), 1, kRowsPerInsert))),
          m_fullInsert(insertOfRows(m_batch))
    {
        for (int r = 0; r < m_batch; ++r) {
            for (qsizetype c = 0; c < columns.size(); ++c)
                m_names << QStringLiteral("r%1c%2").arg(r).arg(c);
        }
    }

    void add(const QVariantList &row) override
    {
        for (qsizetype c = 0; c < m_columns.size(); ++c)
            m_values.insert(m_names.at(m_held * m_columns.size() + c), row.value(c));
        if (++m_held == m_batch)
            finish();
    }

    void finish() override
    {
        if (m_held > 0)
            m_db.exec(m_held == m_batch ? m_fullInsert : insertOfRows(m_held), m_values);
        m_values.clear();
        m_held = 0;
    }

private:
    QString insertOfRows(int rows) const
    {
        QStringList tuples;
        for (int r = 0; r < rows; ++r) {
            QStringList placeholders;
            for (qsizetype c = 0; c < m_columns.size(); ++c)
                placeholders << QStringLiteral(":r%1c%2").arg(r).arg(c);
            tuples << QStringLiteral("(") + placeholders.join(QStringLiteral(", ")) + QStringLiteral(")");
        }
        return QStringLiteral("INSERT INTO \"%1\" (%2) VALUES ")
                   .arg(m_table, BulkRows::columnList(m_columns)) +
               tuples.join(QStringLiteral(", "));
    }

    Database &m_db;
    QString m_table;
    QStringList m_columns;
    int m_batch;
    QString m_fullInsert;
    QStringList m_names; // :r<r>c<c> without the colon, by row and column of the batch
    QVariantMap m_values;
    int m_held = 0;
};
} // namespace

std::unique_ptr<BulkRows> BulkRows::inserts(Database &db, const QString &table, const QStringList &columns)
{
    return std::make_unique<Inserts>(db, table, columns);
}
