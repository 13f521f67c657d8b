#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The "zz Stage ... Query" saved queries: action queries that copy the rows of a report into a
// table of the local report database, attached to the production connection under the schema
// name "Reports". Parameters :StartDate and :EndDate (ISO dates), :StartJob and :EndJob (texts,
// empty for no bound).
namespace StagingQueries {
QList<QPair<QString, QString>> all();
}
