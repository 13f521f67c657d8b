#pragma once

#include <QDate>
#include <QString>
#include <QVector>

class Database;
class Prompter;

// The missing hold tickets report's table: the numbers absent from the entered hold tickets of a
// date range, written to "Holes Report" of the local report database. Hold tickets are
// pre-numbered forms, so each gap is a ticket lost or never entered.
class MissingHoldTickets
{
public:
    // More missing numbers than this are written only after the user agrees: a mistyped ticket
    // number can open a gap of millions.
    static constexpr qint64 kAskAbove = 10000;

    struct Ticket
    {
        qint64 number = 0;
        QDate date;
        int shift = 0;
    };

    MissingHoldTickets(Database &production, QString reportDatabasePath, Prompter &prompter);

    // Unattended runs ask nothing: the ticket range is taken as it is and a range with more than
    // kAskAbove missing numbers is refused.
    void setUnattended(bool unattended) { m_unattended = unattended; }

    // Fills "Holes Report" with the missing numbers of the tickets dated start..end. False when the
    // range has no numbered ticket or the user declined; the table is then left as it was.
    // Throws DatabaseError.
    bool run(const QDate &start, const QDate &end);

    // How many numbers lie strictly between the lowest and the highest of the ascending numbers
    // without a ticket; a number entered twice counts once.
    static qint64 missingCount(const QVector<qint64> &ascending);
    // The missing numbers themselves, in ascending order.
    static QVector<qint64> missingNumbers(const QVector<qint64> &ascending);

    static QString rangeQuestion(const Ticket &first, const Ticket &last);

private:
    QVector<qint64> readTickets(const QDate &start, const QDate &end, Ticket &first, Ticket &last) const;
    bool confirmLargeRange(qint64 missing, qint64 low, qint64 high);
    void writeHoles(const QVector<qint64> &ascending);

    Database &m_db;
    QString m_reportDatabasePath;
    Prompter &m_prompter;
    bool m_unattended = false;
};
