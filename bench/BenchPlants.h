#pragma once

#include "foundation/Clock.h"
#include "foundation/Database.h"
#include "foundation/Prompter.h"
#include "production/counts/CountsSheet.h"
#include "production/joblist/JobListSheet.h"
#include "production/record/JobLines.h"
#include "production/record/ProductionSummaries.h"

#include <QString>

class QCommandLineParser;
#include <optional>

// The program's classes on one open plant database, as the windows hold them.
struct Plant
{
    Plant(const QString &plantName, Prompter &prompter, Clock &clock)
        : name(plantName), db(Database::open(plantName)), store(db), summaries(ids), jobList(prompter, clock),
          counts(summaries)
    {
        jobList.setStore(&store);
    }

    QString name;
    Database db;
    JobLines store;
    ClassIdGenerator ids;
    ProductionSummaries summaries;
    JobListSheet jobList;
    CountsSheet counts;
};

// The plant file copied by the program's own copy into a database of its own on a PostgreSQL
// server, made next to the maintenance database the URI names, and dropped again at the end.
class ServerPlant
{
public:
    ServerPlant(const QString &file, const QString &maintenanceUri, Prompter &prompter, Clock &clock);
    ~ServerPlant();
    ServerPlant(const ServerPlant &) = delete;
    ServerPlant &operator=(const ServerPlant &) = delete;

    Plant &plant() { return *m_plant; }
    // The copy's address.
    const QString &uri() const { return m_target; }

private:
    void drop();
    void dropQuietly();

    QString m_maintenance, m_target;
    std::optional<Plant> m_plant;
};

// The benchmark's command-line options (see main.cpp's usage).
void addBenchOptions(QCommandLineParser &parser);
