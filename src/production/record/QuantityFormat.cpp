#include "QuantityFormat.h"

#include <QLocale>

QString QuantityFormat::grouped(qint64 value, bool zeroAsEmpty)
{
    if (value == 0 && zeroAsEmpty)
        return {};
    // The C locale leaves the separators out unless asked; the plant reads them in every locale.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value);
}
