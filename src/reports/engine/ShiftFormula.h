#pragma once

#include <QString>

// The shift part of a selection formula, built from the shift list a user typed ("2", "1,3",
// "1-3", "1-2,3") for the report table `table`:
//   "1-2,3" -> {T.Shift}>=1 And {T.Shift}<=2 Or {T.Shift}=3
// Blanks around "," and "-" are ignored; a blank between two digits separates two shifts like ",".
// Any other character is ignored. The caller puts the result inside " And (" ... ")".
namespace ShiftFormula {
QString build(const QString &shiftText, const QString &table);
}
