#pragma once

#include <QMap>
#include <QString>

// What Production Counts hands to Rejects by Reason. The counts window's Rejects button figures
// each line's rejects from the counts it shows (CountsSheet::fillRejectsByLine) and leaves them
// here, by the line's Job ID as text; the rejects window it opens reads them as the totals that
// its ten reasons divide. ProductionWindows gives both windows the same one.
struct RejectsHandOver
{
    QMap<QString, qint32> rejectsByLine;
};
