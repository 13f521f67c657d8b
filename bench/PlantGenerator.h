#pragma once

#include <QDate>

class Database;

// A synthetic plant of many years for measuring: machines running three shifts a day, each line
// with transfer tickets and now and then a hold ticket with its disposition.
struct PlantSize
{
    int years = 5;
    int machines = 60;
    int jobs = 200;
};

namespace PlantGenerator {
// Fills an empty production database (schema already created) with lines ending on lastDate.
// Returns the number of job lines written.
qint64 fill(Database &db, const PlantSize &size, const QDate &lastDate);
} // namespace PlantGenerator
