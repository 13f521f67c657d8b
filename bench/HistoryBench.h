#pragma once

#include <QDate>
#include <QString>

// Times what users see of the change history on a plant whose history holds one change per job
// line (about 330,000 rows on five years): the History window of one line, from the command to
// its grid painted, and a year's Change History report staged, laid out and written as PDF.
namespace HistoryBench {
void run(const QString &plant, const QDate &last, const QString &folder);
} // namespace HistoryBench
