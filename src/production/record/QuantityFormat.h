#pragma once

#include <QString>

// Quantities are shown as whole numbers grouped by thousands ("###,###,###"). In that format a
// 0 shows as empty text; "###,###,##0" keeps it as "0".
namespace QuantityFormat {
QString grouped(qint64 value, bool zeroAsEmpty);
}
