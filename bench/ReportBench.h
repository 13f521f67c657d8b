#pragma once

#include <QDate>
#include <QString>

class Database;

// Times a report run on the plant: staging the production counts of a period into a local report
// database, reading and laying it out, and writing it as PDF.
namespace ReportBench {
void run(Database &db, const QDate &last, const QString &folder);
// The print preview of a month and a year of production counts alone.
void preview(Database &db, const QDate &last, const QString &folder);
} // namespace ReportBench
