#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

class Database;

// A ready plant for trying the program: jobs, machines, two weeks of three shifts with counts,
// transfer and hold tickets, some dispositions, protected date-shifts and color sheets.
namespace SamplePlant {
// Creates a new production database file: schema, saved queries, the CompanyInfo row, and the
// login name and "SUPERVISOR" authorized at level "C". With sample set it is filled with two
// weeks of production ending on lastDate. An existing file at path is an error. `moreQueries` as
// for Schema::create.
void createDatabase(const QString &path, const QString &loginName, bool sample, const QDate &lastDate,
                    const QList<QPair<QString, QString>> &moreQueries);
// Fills an empty production database with the sample plant; the same seed gives the same plant.
void fill(Database &db, const QDate &lastDate, quint32 seed = 20261208);
} // namespace SamplePlant
