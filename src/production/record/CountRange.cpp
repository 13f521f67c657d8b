#include "CountRange.h"

#include <QLocale>

bool CountRange::holds(qint64 total)
{
    return total >= -kLimit && total <= kLimit;
}

void CountRange::check(qint64 total, const QString &what)
{
    if (holds(total))
        return;
    const QLocale figures(QLocale::English, QLocale::UnitedStates);
    throw CountRangeError(kErrorNumber,
                          QStringLiteral("This entry would make %1 %2, beyond the largest count of %3. "
                                         "Nothing was saved; please check the quantities.")
                              .arg(what, figures.toString(total), figures.toString(kLimit)));
}
