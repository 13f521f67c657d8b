#include "SchemaTables.h"

#include "foundation/RejectReasons.h"
#include "foundation/SqlDialect.h"

using SchemaTables::Column;
using SchemaTables::Table;

namespace {
Column column(const char *name, const char *definition)
{
    return {QString::fromUtf8(name), QString::fromUtf8(definition)};
}

Column onSameLine(const char *name, const char *definition)
{
    return {QString::fromUtf8(name), QString::fromUtf8(definition), true};
}

Table jobLookupTable()
{
    return {QStringLiteral("Job Lookup Table"),
            {
                column("Job Number", "TEXT PRIMARY KEY NOT NULL"),
                column("Job Description", "TEXT"),
                column("Active", "INTEGER NOT NULL DEFAULT 1"),
                column("Check Sheet", "BLOB"),
            },
            {}};
}
} // namespace

Table SchemaTables::colorTable()
{
    return {QStringLiteral("Color Table"),
            {
                column("Color ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
                column("Job Number",
                       "TEXT NOT NULL REFERENCES \"Job Lookup Table\"(\"Job Number\") ON UPDATE CASCADE"),
                column("Color Feeder Code", "INTEGER NOT NULL"),
                column("Color Name", "TEXT"),
                column("Color Vendor", "TEXT"),
                column("Color Number", "TEXT"),
                column("Shot Weight", "REAL"),
                column("Usage Rate", "REAL"),
                column("Cal1", "REAL"),
                onSameLine("Cal2", "REAL"),
                onSameLine("Cal3", "REAL"),
                onSameLine("Cal4", "REAL"),
                onSameLine("Cal5", "REAL"),
            },
            {}};
}

// Login names compare without regard to case, as the plant's network does.
Table SchemaTables::securityTable()
{
    return {QStringLiteral("Security Table"),
            {
                column("UserName", "TEXT PRIMARY KEY NOT NULL COLLATE NOCASE"),
                column("User Name", "TEXT"),
                column("User ID", "INTEGER"),
                column("Security Level",
                       "TEXT NOT NULL DEFAULT 'D'\n    CHECK (\"Security Level\" IN ('A', 'B', 'C', 'D'))"),
            },
            {}};
}

namespace {
Table companyInfoTable()
{
    return {QStringLiteral("CompanyInfo"), {column("CompanyName", "TEXT")}, {}};
}

Table savedQueriesTable()
{
    return {QStringLiteral("Saved Queries"),
            {
                column("Query Name", "TEXT PRIMARY KEY NOT NULL"),
                column("SQL Text", "TEXT NOT NULL"),
            },
            {}};
}

// The column definitions, one line each (or several on one line), and the table constraints
// after them; a table of one line is written on the line of its name.
QString definitionText(const Table &table)
{
    QStringList lines;
    for (const Column &column : table.columns) {
        const QString text = QStringLiteral("\"%1\" %2").arg(column.name, column.definition);
        if (column.sameLine && !lines.isEmpty())
            lines.last() += QStringLiteral(", ") + text;
        else
            lines << text;
    }
    lines << table.constraints;
    if (lines.size() == 1)
        return lines.first();
    return QStringLiteral("\n  ") + lines.join(QStringLiteral(",\n  "));
}

QString createText(const QString &command, Table table, const SqlDialect &dialect)
{
    for (Column &column : table.columns)
        column.definition = dialect.columnDefinition(column.definition);
    return QStringLiteral("%1 \"%2\" (%3)").arg(command, table.name, definitionText(table));
}
} // namespace

Table SchemaTables::productionTable()
{
    const char *count = "INTEGER NOT NULL DEFAULT 0";
    Table table{
        QStringLiteral("Production Table"),
        {
            column("Job ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
            column("Date", "TEXT NOT NULL"),
            column("Shift", "INTEGER NOT NULL CHECK (\"Shift\" BETWEEN 1 AND 3)"),
            column("Machine Number", "INTEGER"),
            column("Job Number", "TEXT REFERENCES \"Job Lookup Table\"(\"Job Number\") ON UPDATE CASCADE"),
            column("Job Description", "TEXT"),
            column("Beginning Count", count),
            column("Ending Count", count),
            column("Matec Count", count),
            column("From Rework", count),
            column("Transfer Quantity", count),
            column("Rejects", count),
        },
        {}};
    for (int reason = 1; reason <= RejectReasons::kCount; ++reason)
        table.columns << Column{RejectReasons::field(reason), QString::fromUtf8(count)};
    table.columns << column("Protected Record", count);
    return table;
}

// The ticket and distribution tables carry a counter key of their own so that a grid can
// address one row; the program's fields are as the plant knows them.
Table SchemaTables::transferTable()
{
    return {QStringLiteral("Transfer Table"),
            {
                column("Transfer ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
                column("Job ID", "INTEGER NOT NULL REFERENCES \"Production Table\"(\"Job ID\")"),
                column("Transfer Number", "INTEGER"),
                column("Transfer Quantity", "INTEGER"),
            },
            {}};
}

Table SchemaTables::holdTable()
{
    return {QStringLiteral("Hold Table"),
            {
                column("Hold Ticket ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
                column("Job ID", "INTEGER NOT NULL REFERENCES \"Production Table\"(\"Job ID\")"),
                column("Hold Ticket Number", "INTEGER"),
                column("Hold Quantity", "INTEGER NOT NULL DEFAULT 0"),
                column("Hold Remaining", "INTEGER NOT NULL DEFAULT 0"),
                column("Disposed of", "INTEGER NOT NULL DEFAULT 0"),
            },
            {}};
}

// [To Job ID] is NULL when the row reworks nothing.
Table SchemaTables::holdDistribution()
{
    return {
        QStringLiteral("Hold Distribution"),
        {
            column("Distribution ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
            column("Hold Ticket ID", "INTEGER NOT NULL REFERENCES \"Hold Table\"(\"Hold Ticket ID\")"),
            column("Job ID", "INTEGER REFERENCES \"Production Table\"(\"Job ID\")"),
            column("To Job ID", "INTEGER REFERENCES \"Production Table\"(\"Job ID\")"),
            column("Hold Ticket Number", "INTEGER"),
            column("Reworked Quantity", "INTEGER NOT NULL DEFAULT 0"),
            column("Rejects", "INTEGER NOT NULL DEFAULT 0"),
            column("Reject Reason", "INTEGER NOT NULL DEFAULT 0 CHECK (\"Reject Reason\" BETWEEN 0 AND 10)"),
            column("Printed", "INTEGER NOT NULL DEFAULT 0"),
            column("When Added", "TEXT"),
        },
        {}};
}

// The parts (job numbers) printed on each customer's daily report ("Corvix", "Velmar").
Table SchemaTables::customerReportParts()
{
    return {QStringLiteral("Customer Report Parts"),
            {
                column("Customer", "TEXT NOT NULL"),
                column("Job Number",
                       "TEXT NOT NULL REFERENCES \"Job Lookup Table\"(\"Job Number\") ON UPDATE CASCADE"),
            },
            {QStringLiteral("PRIMARY KEY (\"Customer\", \"Job Number\")")}};
}

// Each machine's EUROMAP 63 session folder and the counter that is its Ending Count.
Table SchemaTables::machineConnections()
{
    return {QStringLiteral("Machine Connections"),
            {
                column("Machine Number", "INTEGER PRIMARY KEY NOT NULL"),
                column("Session Folder", "TEXT NOT NULL"),
                column("Counter", "TEXT NOT NULL DEFAULT 'ActCntPrt'"),
                column("Cavities", "INTEGER NOT NULL DEFAULT 1 CHECK (\"Cavities\" >= 1)"),
                column("Enabled", "INTEGER NOT NULL DEFAULT 1"),
            },
            {}};
}

// Every value read from a machine, kept whether or not it became a count: the machine's own date
// and time (as it gave them, yyyymmdd hh:mm:ss), when and by whom it was read, and the session
// request it answered.
Table SchemaTables::machineReadings()
{
    return {QStringLiteral("Machine Readings"),
            {
                column("Reading ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
                column("Machine Number", "INTEGER NOT NULL"),
                column("Date", "TEXT NOT NULL"),
                column("Shift", "INTEGER NOT NULL CHECK (\"Shift\" BETWEEN 1 AND 3)"),
                column("Parameter", "TEXT NOT NULL"),
                column("Value", "TEXT"),
                column("Machine Time", "TEXT"),
                column("Read At", "TEXT NOT NULL"),
                column("Read By", "TEXT"),
                column("Workstation", "TEXT"),
                column("Session File", "TEXT"),
            },
            {}};
}

// One row per changed field of an audited row, written by the database's triggers only and never
// changed afterwards. [Row Hash] chains each row to the one before it ([Change ID] order), so
// that a row altered or removed later shows.
Table SchemaTables::changeHistory()
{
    return {QStringLiteral("Change History"),
            {
                column("Change ID", "INTEGER PRIMARY KEY AUTOINCREMENT"),
                column("Changed At", "TEXT NOT NULL"),
                column("Login", "TEXT NOT NULL"),
                column("Workstation", "TEXT NOT NULL DEFAULT ''"),
                column("Program", "TEXT NOT NULL"),
                column("Table Name", "TEXT NOT NULL"),
                column("Row Key", "TEXT NOT NULL"),
                column("Action", "TEXT NOT NULL CHECK (\"Action\" IN ('insert', 'change', 'delete'))"),
                column("Job ID", "INTEGER"),
                column("Date", "TEXT"),
                column("Shift", "INTEGER"),
                column("Machine Number", "INTEGER"),
                column("Job Number", "TEXT"),
                column("Field", "TEXT NOT NULL"),
                column("Old Value", "TEXT"),
                column("New Value", "TEXT"),
                column("Row Hash", "TEXT NOT NULL"),
            },
            {}};
}

QList<Table> SchemaTables::tables()
{
    return {
        jobLookupTable(),      productionTable(),   transferTable(),      holdTable(),
        holdDistribution(),    colorTable(),        securityTable(),      companyInfoTable(),
        customerReportParts(), savedQueriesTable(), machineConnections(), machineReadings(),
        changeHistory(),
    };
}

QStringList SchemaTables::addedTables()
{
    return {customerReportParts().name, machineConnections().name, machineReadings().name};
}

QStringList SchemaTables::columnNames(const Table &table)
{
    QStringList names;
    for (const Column &column : table.columns)
        names << column.name;
    return names;
}

QString SchemaTables::createStatement(const Table &table, const SqlDialect &dialect)
{
    return createText(QStringLiteral("CREATE TABLE"), table, dialect);
}

QString SchemaTables::createIfMissingStatement(const Table &table, const SqlDialect &dialect)
{
    return createText(QStringLiteral("CREATE TABLE IF NOT EXISTS"), table, dialect);
}

QStringList SchemaTables::createAll(const SqlDialect &dialect)
{
    QStringList statements = dialect.schemaPreamble();
    for (const Table &table : tables())
        statements << createStatement(table, dialect);
    return statements << indexStatements();
}

QString SchemaTables::machineReadingsIndex()
{
    return QStringLiteral("CREATE INDEX \"Machine Readings Shift\" ON \"Machine Readings\"(\"Date\", "
                          "\"Shift\", \"Machine Number\")");
}

// A line's history, and the history of a stretch of days.
QStringList SchemaTables::changeHistoryIndexes()
{
    return {
        QStringLiteral(R"(CREATE INDEX "Change History Job" ON "Change History"("Job ID", "Change ID"))"),
        QStringLiteral(R"(CREATE INDEX "Change History When" ON "Change History"("Changed At"))"),
    };
}

QStringList SchemaTables::indexStatements()
{
    return QStringList{
               QStringLiteral(
                   "CREATE INDEX \"Production Date Shift\" ON \"Production Table\"(\"Date\", \"Shift\", "
                   "\"Machine Number\")"),
               QStringLiteral(
                   "CREATE INDEX \"Production Job Number\" ON \"Production Table\"(\"Job Number\")"),
               QStringLiteral("CREATE INDEX \"Transfer Job ID\" ON \"Transfer Table\"(\"Job ID\")"),
               QStringLiteral("CREATE INDEX \"Hold Job ID\" ON \"Hold Table\"(\"Job ID\")"),
               QStringLiteral(
                   "CREATE INDEX \"Hold Ticket Number\" ON \"Hold Table\"(\"Hold Ticket Number\")"),
               QStringLiteral(
                   "CREATE INDEX \"Hold Undisposed\" ON \"Hold Table\"(\"Disposed of\", \"Job ID\")"),
               QStringLiteral(
                   "CREATE INDEX \"Distribution Ticket\" ON \"Hold Distribution\"(\"Hold Ticket ID\")"),
               QStringLiteral("CREATE INDEX \"Distribution Job ID\" ON \"Hold Distribution\"(\"Job ID\")"),
               QStringLiteral(
                   "CREATE INDEX \"Distribution To Job ID\" ON \"Hold Distribution\"(\"To Job ID\")"),
               QStringLiteral("CREATE INDEX \"Color Job Feeder\" ON \"Color Table\"(\"Job Number\", \"Color "
                              "Feeder Code\")"),
               machineReadingsIndex(),
           } +
           changeHistoryIndexes();
}
