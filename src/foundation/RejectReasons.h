#pragma once

#include <QString>
#include <QStringList>
#include <array>

class QSqlQuery;

// The ten reasons a reject is booked by. A job line keeps its rejects by reason in the fields
// RejectReason1 .. RejectReason10; a distribution row names its reason by number, 0 for none.
namespace RejectReasons {
constexpr int kCount = 10;
using Counts = std::array<qint64, kCount>;

// "RejectReason3": the field name, as a query's value() and a grid caption take it; reason 1..10.
QString field(int reason);
// "\"RejectReason3\"" (quoted): as a statement spells the column.
QString column(int reason);
// The ten columns in reason order, as a statement spells them; alias "p" gives p."RejectReason1".
QStringList columns(const QString &alias = {});
// The ten counts of a row whose statement selected the fields by name; a null reads as 0.
Counts read(const QSqlQuery &query);

// Reason 0 .. 10 as the disposition lists them: "None - Use when there are no rejects",
// "Startup", ... "Other".
QStringList names();
// The rejects window's columns, "Startup (F1)" ... "Other (F10)": the key of each is typed into
// its column with the function key.
QStringList columnCaptions();
// A statement's CASE that names the reason held in expression: "Startup" ... "Other", "None" for
// any other value.
QString nameSql(const QString &expression);
} // namespace RejectReasons
