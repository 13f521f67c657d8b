#include "ReportParmsSheet.h"

#include "ReportCatalog.h"
#include "reports/engine/ReportExport.h"
#include "reports/engine/ShiftFormula.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {
// A text put between quotes in a formula: a quote inside it is doubled, so a job number with a
// quote in it cannot end the text early.
QString quotedText(const QString &text)
{
    return QString(text).replace('\'', QLatin1String("''"));
}
} // namespace

ReportParmsSheet::ReportParmsSheet(int type) : m_type(type), m_report(&ReportCatalog::of(type))
{
    // a report whose options choose the layout takes its file when an option is chosen
    if (m_report->layouts.size() == 1)
        m_fileSelector = m_report->firstFileSelector;
}

void ReportParmsSheet::load(const QDate &currentDate, const QString &currentShiftText, const QDate &today)
{
    switch (m_report->controls.dates) {
    case ReportDates::CurrentDateShift:
        if (currentDate.isValid())
            startDate = currentDate;
        shiftText = currentShiftText;
        break;
    case ReportDates::RangeOnly:
        dateRange = true;
        break;
    case ReportDates::PreviousDays:
        if (today.dayOfWeek() == Qt::Monday) {
            dateRange = true;
            startDate = today.addDays(-3);
            endDate = today.addDays(-1);
        } else {
            dateRange = false;
            startDate = today.addDays(-1);
        }
        break;
    case ReportDates::None:
        break;
    }
    if (m_report->controls.defaultOption >= 0)
        option = m_report->controls.defaultOption;
}

bool ReportParmsSheet::singleDateEnabled() const
{
    return m_report->controls.dates != ReportDates::RangeOnly;
}

bool ReportParmsSheet::showsAdditionalInfo() const
{
    return m_report->controls.shift;
}

bool ReportParmsSheet::showsOptions() const
{
    return !m_report->controls.options.isEmpty();
}

QStringList ReportParmsSheet::optionCaptions() const
{
    return m_report->controls.options;
}

bool ReportParmsSheet::showsJobNumbers() const
{
    return m_report->controls.jobNumbers;
}

bool ReportParmsSheet::showsMarkPrinted() const
{
    return m_report->controls.markPrinted;
}

bool ReportParmsSheet::showsMachineAndLogin() const
{
    return m_report->controls.machineAndLogin;
}

void ReportParmsSheet::chooseOption(int index)
{
    option = index;
    if (m_report->layouts.size() > 1)
        m_fileSelector = m_report->firstFileSelector + index;
    if (m_report->controls.markPrinted)
        markPrintedEnabled = index == 0;
}

QString ReportParmsSheet::missingFields() const
{
    QStringList missing;
    const ReportDates dates = m_report->controls.dates;
    const bool datesChecked = dates == ReportDates::CurrentDateShift || dates == ReportDates::RangeOnly;
    if (datesChecked && !startDate.isValid())
        missing << QStringLiteral("Start Date");
    if (showsAdditionalInfo() && shiftText.isEmpty())
        missing << QStringLiteral("Shift");
    const bool endRequired =
        dates == ReportDates::RangeOnly || (dates == ReportDates::CurrentDateShift && dateRange);
    if (endRequired && !endDate.isValid())
        missing << QStringLiteral("End Date");
    if (output == Export && exportFileName.isEmpty())
        missing << QStringLiteral("Excel Workbook Filename");
    return missing.join(QStringLiteral(", "));
}

QString ReportParmsSheet::insufficientDataText(const QString &missing)
{
    return QStringLiteral("Please fill in the ") + missing +
           QStringLiteral(" field(s).  These are required for the report to be processed.");
}

bool ReportParmsSheet::isShiftList(const QString &text)
{
    // One shift is 1, 2 or 3; a range runs upward ("3-1" would select nothing).
    static const QRegularExpression item(QStringLiteral("^\\s*([1-3])\\s*(?:-\\s*([1-3])\\s*)?$"));
    // A blank between two shifts separates them as a comma does ("1 3"), as the selection reads it.
    static const QRegularExpression blankBetween(QStringLiteral("(\\d)\\s+(?=\\d)"));
    const QStringList items = QString(text).replace(blankBetween, QStringLiteral("\\1,")).split(',');
    for (const QString &part : items) {
        const QRegularExpressionMatch match = item.match(part);
        if (!match.hasMatch())
            return false;
        if (match.hasCaptured(2) && match.captured(2) < match.captured(1))
            return false;
    }
    return true;
}

QString ReportParmsSheet::invalidInput() const
{
    // The end date counts only while a range is asked for; a single date leaves it unused.
    if (dateRange && startDate.isValid() && endDate.isValid() && endDate < startDate) {
        const QString format = QStringLiteral("MM/dd/yyyy");
        return QStringLiteral("The End Date (%1) is before the Start Date (%2).  Please choose an end "
                              "date on or after the start date.")
            .arg(endDate.toString(format), startDate.toString(format));
    }
    if (showsMachineAndLogin() && !machine.trimmed().isEmpty() && machineNumber().isEmpty())
        return QStringLiteral("The Machine box holds \"%1\", which is not a machine number.  Enter one "
                              "machine's number, or leave the box empty for every machine.")
            .arg(machine.trimmed());
    if (showsAdditionalInfo() && !shiftText.trimmed().isEmpty() && !isShiftList(shiftText))
        return QStringLiteral("The Shift(s) box holds \"%1\", which is not a list of shifts.  Enter shifts "
                              "1 to 3, one at a time or as a range, separated by commas: for example "
                              "\"2\", \"1,3\" or \"1-3\".")
            .arg(shiftText.trimmed());
    return {};
}

QString ReportParmsSheet::exportPath(const QString &typed, int code, int part, const QString &baseFolder,
                                     QString *error)
{
    const QString name = ReportExport::fileName(ReportExport::partFileName(typed, part), code);
    const QString path = QDir::cleanPath(QDir(baseFolder).absoluteFilePath(name));
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder) && error)
        *error = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
    return path;
}

QString ReportParmsSheet::longDate(const QDate &date)
{
    return QLocale().toString(date, QLocale::LongFormat);
}

QString ReportParmsSheet::dateBound(const QDate &date)
{
    return QStringLiteral("Date(%1,%2,%3)").arg(date.year()).arg(date.month()).arg(date.day());
}

QString ReportParmsSheet::dateShiftText() const
{
    if (!dateRange)
        return QStringLiteral("DateShift='Report Date :  ") + longDate(startDate) +
               QStringLiteral(" Shift : ") + shiftText + '\'';
    return QStringLiteral("DateShift='Report Dates :  ") +
           QLocale().toString(startDate, QLocale::ShortFormat) + QStringLiteral(" - ") +
           QLocale().toString(endDate, QLocale::ShortFormat) + QStringLiteral(" Shift : ") + shiftText + '\'';
}

QList<ReportParmsSheet::FormulaSlot> ReportParmsSheet::formulaSlots() const
{
    const auto quoted = [](const char *name, const QString &value) {
        return QString::fromLatin1(name) + QStringLiteral("='") + value + '\'';
    };
    switch (m_report->formulas) {
    case ReportFormulas::DateShift:
        return {{0, dateShiftText()}};
    case ReportFormulas::HoldStatus:
        return {{1, quoted("BegDate", longDate(startDate))},
                {2, quoted("EndDate", longDate(endDate))},
                {5, quoted("Shft", shiftText)},
                {3, quoted("HoldStatus",
                           option == 1 ? QStringLiteral("Unresolved Only") : QStringLiteral("All"))}};
    case ReportFormulas::DatesAndJobs:
        return {{0, quoted("BegDate", longDate(startDate))},
                {1, quoted("BegJob", beginJob)},
                {2, quoted("EndDate", longDate(endDate))},
                {3, quoted("EndJob", endJob)},
                {6, quoted("Shft", shiftText)}};
    case ReportFormulas::DateRange:
        return {{0, quoted("BegDate", longDate(startDate))}, {1, quoted("EndDate", longDate(endDate))}};
    case ReportFormulas::ChangeHistory:
        return {{0, quoted("BegDate", longDate(startDate))},
                {1, quoted("EndDate", longDate(endDate))},
                {2, quoted("Keeping", keepingText())},
                {3, quoted("LatestChange", QString::number(chainEnd.changeId))},
                {4, quoted("LatestHash", chainEnd.hash.isEmpty() ? QStringLiteral("none") : chainEnd.hash)}};
    case ReportFormulas::None:
        break;
    }
    return {};
}

QString ReportParmsSheet::keepingText() const
{
    QStringList parts;
    if (!machineNumber().isEmpty())
        parts << QStringLiteral("machine ") + machineNumber();
    if (!login.trimmed().isEmpty())
        parts << QStringLiteral("login ") + login.trimmed();
    return parts.isEmpty() ? QStringLiteral("every machine and login") : parts.join(QStringLiteral(", "));
}

QString ReportParmsSheet::machineNumber() const
{
    // "012" and " 12" are machine 12, as the history stores it
    bool isNumber = false;
    const int number = machine.trimmed().toInt(&isNumber);
    return isNumber ? QString::number(number) : QString();
}

QStringList ReportParmsSheet::formulas() const
{
    QStringList texts;
    for (const FormulaSlot &slot : formulaSlots())
        texts << slot.text;
    return texts;
}

QString ReportParmsSheet::shiftPart(const QString &table) const
{
    if (shiftText.isEmpty())
        return {};
    return QStringLiteral(" And (") + ShiftFormula::build(shiftText, table) + ')';
}

QString ReportParmsSheet::selection() const
{
    const QString &table = m_report->table;
    switch (m_report->formulas) {
    case ReportFormulas::DateShift: {
        const QDate upper = dateRange ? endDate : startDate;
        return '{' + table + QStringLiteral(".Date}>=") + dateBound(startDate) + QStringLiteral(" And {") +
               table + QStringLiteral(".Date}<=") + dateBound(upper) + shiftPart(table);
    }
    case ReportFormulas::HoldStatus: {
        QString text = '{' + table + QStringLiteral(".Hold Quantity}<>0");
        if (option == 1)
            text += QStringLiteral(" And {") + table + QStringLiteral(".Disposed of} = False");
        return text + shiftPart(table);
    }
    case ReportFormulas::DatesAndJobs: {
        QString text = '{' + table + QStringLiteral(".Date}>=") + dateBound(startDate) +
                       QStringLiteral(" And {") + table + QStringLiteral(".Date}<=") + dateBound(endDate);
        if (!beginJob.isEmpty())
            text += QStringLiteral(" And {") + table + QStringLiteral(".Job Number}>='") +
                    quotedText(beginJob) + '\'';
        if (!endJob.isEmpty())
            text += QStringLiteral(" And {") + table + QStringLiteral(".Job Number}<='") +
                    quotedText(endJob) + '\'';
        return text + shiftPart(table);
    }
    default:
        return {};
    }
}

QVariantMap ReportParmsSheet::stagingParameters() const
{
    // the window's values under every name a staging query takes them by
    const QString start = startDate.toString(Qt::ISODate);
    const QString end = (endDate.isValid() ? endDate : startDate).toString(Qt::ISODate);
    const QString dayAfter = (endDate.isValid() ? endDate : startDate).addDays(1).toString(Qt::ISODate);
    const QVariantMap values = {{QStringLiteral("Start Date"), start},
                                {QStringLiteral("LoDate"), start},
                                {QStringLiteral("End Date"), end},
                                {QStringLiteral("HiDate"), end},
                                {QStringLiteral("Day After End Date"), dayAfter},
                                {QStringLiteral("Start Job"), beginJob},
                                {QStringLiteral("End Job"), endJob},
                                {QStringLiteral("Through"), chainEnd.changeId},
                                {QStringLiteral("Machine"), machineNumber()},
                                {QStringLiteral("Login"), login.trimmed()}};
    QVariantMap params;
    for (const QString &name : m_report->staging.parameters)
        params.insert(name, values.value(name));
    return params;
}

int ReportParmsSheet::exportCode() const
{
    return ReportExport::codeFor(exportType);
}
