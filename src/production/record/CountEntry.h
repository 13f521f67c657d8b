#pragma once

#include <QString>
#include <optional>

// How a typed count or quantity entry becomes a number. An entry holds digits and the operators
// "*" (or "@"), "+" and "-"; blanks, thousands commas and points may stand between them and are
// dropped. The operators apply from left to right with no precedence: "5+3*2" is 16, "1,250" is
// 1250, "12.5" is 125, an empty entry is 0. Anything else (a letter, "/", "5 3") is not a count
// and is refused rather than read as some number the user never meant.
//
// Two operators in a row: a "-" right after another operator makes the next number negative
// ("5+-3" is 2, "4*-2" is -8); any other repeated operator is ignored ("5++3" is 8).
//
// Every grid that takes a count or a quantity (counts, transfers, holds, disposition, rejects)
// goes through EvaluateCountEntry and shows its message when the entry is refused.
namespace CountEntry {
struct Result
{
    enum class Status { Number, NotACount, TooLarge };

    Status status = Status::Number;
    // The exact result when it is a Number: at most 2,147,483,647, any negative value kept as it
    // is (the caller has its own message for a negative count).
    qint64 value = 0;
    QString message; // why the entry was refused; empty for a Number

    bool isNumber() const { return status == Status::Number; }
};

Result EvaluateCountEntry(const QString &entry);

// The refusal texts, for the caller that wants to tell one apart.
QString notACountMessage(const QString &entry);
QString tooLargeMessage(const QString &entry);
} // namespace CountEntry
