#pragma once

#include <QDate>
#include <QString>

class Database;

// Times a report run on the plant: staging the production counts of a period into a local report
// database, reading and laying it out, and writing it as PDF.
namespace ReportBench {
void run(Database &db, const QDate &last, const QString &folder);
// Brings the plant to `wanted` hold tickets (a busy plant has 150,000 in five years), spread over
// its lines, with now and then a number left out; the tickets added are not disposed of.
void addHoldTickets(Database &db, qint64 wanted);
// The print preview of a month and a year of production counts alone.
void preview(Database &db, const QDate &last, const QString &folder);
// The document and workbook of a month and a year of production counts alone, each opened in
// LibreOffice.
void exports(Database &db, const QDate &last, const QString &folder);
// Five years of production counts to PDF and a year of the on-hold report to a workbook and to
// text, each run by `program` (this benchmark) in a process of its own: time and peak memory.
void memory(const QString &program, const QString &plant);
// One of those runs, in the child process.
int memoryChild(Database &db, int row, const QDate &last, const QString &folder);
} // namespace ReportBench
