#pragma once

#include <QString>
#include <stdexcept>

// A failure with a number the callers test (database engine numbers such as 3049 or 3261, or the
// program-defined class error number) and the text the user is shown.
class KelvaraError : public std::runtime_error
{
public:
    KelvaraError(qint32 number, QString description, QString source = {})
        : std::runtime_error(description.toStdString()), m_number(number),
          m_description(std::move(description)), m_source(std::move(source))
    {
    }

    qint32 number() const { return m_number; }
    // What the user is shown, in the words of the plant.
    const QString &description() const { return m_description; }
    const QString &source() const { return m_source; }
    // What the error log keeps beside the description: the statement that failed and the
    // engine's own text. Never shown in a message box.
    const QString &detail() const { return m_detail; }
    void setDetail(QString detail) { m_detail = std::move(detail); }
    // The description, and the detail when there is one, for a line of the error log.
    QString logText() const
    {
        return m_detail.isEmpty() ? numberAndText() : numberAndText() + QStringLiteral(" [") + m_detail + ']';
    }
    // "<number>-<description>", as the serious-error dialog and the error log show a failure.
    QString numberAndText() const { return QString::number(m_number) + '-' + m_description; }

private:
    qint32 m_number;
    QString m_description;
    QString m_source;
    QString m_detail;
};

namespace ClassErrors {
// The platform's base for object-defined errors; the data classes add 9999 to it.
constexpr qint32 ObjectErrorBase = qint32(0x80040000u);
constexpr qint32 DataClassError = 9999;

// The text of the program's string resource for a class error number. The program ships no such
// resources, so every number gives the same text.
QString errorText(qint32 classErrorNumber);

// Raises the program-defined error: number = base + class error number, with the source text
// naming the class and property ("ProductionSummary:Transfers Property Let").
[[noreturn]] void raise(qint32 classErrorNumber, const QString &source);
} // namespace ClassErrors

// The process-wide serial number given to data class instances for debugging.
class ClassIdGenerator
{
public:
    // A run starts with no identifier given; a test may start further on.
    explicit ClassIdGenerator(qint32 last = 0) : m_last(last) {}

    // The first identifier of a run is 1; adding 1 past the largest 32-bit value is an overflow.
    qint32 next();

private:
    qint32 m_last;
};
