#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class SqlDialect;

// The production database's tables and indexes. Each table is described once, as its columns;
// its CREATE TABLE and every list of its columns are made from that description.
namespace SchemaTables {
struct Column
{
    QString name;
    QString definition;    // what follows the name in CREATE TABLE: type, constraints
    bool sameLine = false; // written on the line of the column before it
};

struct Table
{
    QString name;
    QList<Column> columns;
    QStringList constraints; // table constraints written after the columns
};

Table productionTable();
Table transferTable();
Table holdTable();
Table holdDistribution();
Table colorTable();
Table securityTable();
Table customerReportParts();
Table machineConnections();
Table machineReadings();
Table changeHistory();
// Every table, in the order they are created.
QList<Table> tables();

QStringList columnNames(const Table &table);
// In the engine's column types.
QString createStatement(const Table &table, const SqlDialect &dialect);
// The same, for a table a database made by an older version may lack.
QString createIfMissingStatement(const Table &table, const SqlDialect &dialect);
QStringList indexStatements();
// What makes every table and index in a new, empty database.
QStringList createAll(const SqlDialect &dialect);
// The index of the readings, for a database made before it.
QString machineReadingsIndex();
// The history's indexes, for a database made before it.
QStringList changeHistoryIndexes();
// The tables a database made by an older version may lack.
QStringList addedTables();
} // namespace SchemaTables
