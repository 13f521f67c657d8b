#pragma once

#include <QString>
#include <stdexcept>

// A report that cannot be produced: a layout file that is missing or malformed, a selection formula
// that cannot be read, an output file that cannot be written. The text is what the user is shown
// under "Reporting Error"; the number goes in front of it.
class ReportError : public std::runtime_error
{
public:
    enum Number {
        LayoutFile = 20507, // the report file is missing or cannot be read
        Formula = 20515,    // error in a formula
        Output = 20545,     // the output could not be written
        Data = 20599,       // the report table could not be read
    };

    ReportError(int number, const QString &text)
        : std::runtime_error(text.toStdString()), m_number(number), m_text(text)
    {
    }

    int number() const { return m_number; }
    const QString &text() const { return m_text; }
    // "<number> <text>", as the "Reporting Error" message shows it.
    QString message() const { return QString::number(m_number) + ' ' + m_text; }

private:
    int m_number;
    QString m_text;
};

// The user cancelled the output of a report (its progress dialog's Cancel): nothing was shown,
// printed or written, and the run stops there. A ReportError, so that callers that know only
// those still stop.
class ReportCancelled : public ReportError
{
public:
    explicit ReportCancelled(const QString &text = QStringLiteral("The report was cancelled."))
        : ReportError(Output, text)
    {
    }
};
