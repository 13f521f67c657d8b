#include "ReportParmsSheet.h"

#include "ReportTypes.h"
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

ReportParmsSheet::ReportParmsSheet(int type) : m_type(type)
{
    const ReportType description = ReportTypes::of(type);
    // the on hold and production summary reports take their file when an option is chosen
    if (type != ReportTypes::OnHold && type != ReportTypes::ProductionSummary)
        m_fileSelector = description.fileSelector;
}

void ReportParmsSheet::load(const QDate &currentDate, const QString &currentShiftText, const QDate &today)
{
    switch (m_type) {
    case 1:
    case 2:
    case 5:
        if (currentDate.isValid())
            startDate = currentDate;
        shiftText = currentShiftText;
        if (m_type == 5)
            option = 0;
        break;
    case 3:
    case 4:
    case 7:
        dateRange = true;
        break;
    case 8:
    case 9:
        if (today.dayOfWeek() == Qt::Monday) {
            dateRange = true;
            startDate = today.addDays(-3);
            endDate = today.addDays(-1);
        } else {
            dateRange = false;
            startDate = today.addDays(-1);
        }
        break;
    default:
        break;
    }
}

bool ReportParmsSheet::singleDateEnabled() const
{
    return m_type != 3 && m_type != 4 && m_type != 7;
}

bool ReportParmsSheet::showsAdditionalInfo() const
{
    return m_type >= 1 && m_type <= 5;
}

bool ReportParmsSheet::showsOptions() const
{
    return m_type >= 3 && m_type <= 5;
}

QStringList ReportParmsSheet::optionCaptions() const
{
    switch (m_type) {
    case 3:
        return {QStringLiteral("All"), QStringLiteral("Unresolved Only")};
    case 4:
        return {QStringLiteral("Detail Report"), QStringLiteral("Summary Report")};
    case 5:
        return {QStringLiteral("Include Update Report"), QStringLiteral("Rejects by Reason Only")};
    default:
        return {};
    }
}

bool ReportParmsSheet::showsJobNumbers() const
{
    return m_type == 4;
}

void ReportParmsSheet::chooseOption(int index)
{
    option = index;
    if (m_type == 3)
        m_fileSelector = index == 0 ? 2 : 3;
    else if (m_type == 4)
        m_fileSelector = index == 0 ? 4 : 5;
    else if (m_type == 5)
        markPrintedEnabled = index == 0;
}

QString ReportParmsSheet::missingFields() const
{
    QStringList missing;
    const bool datesChecked = m_type <= 5 || m_type == 7;
    if (datesChecked && m_type != 6 && !startDate.isValid())
        missing << QStringLiteral("Start Date");
    if ((m_type <= 5 && m_type != 0) && shiftText.isEmpty())
        missing << QStringLiteral("Shift");
    const bool endRequired =
        m_type == 3 || m_type == 4 || m_type == 7 || ((m_type <= 2 || m_type == 5) && dateRange);
    if (m_type >= 1 && endRequired && !endDate.isValid())
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
    switch (m_type) {
    case 1:
    case 2:
    case 5:
        return {{0, dateShiftText()}};
    case 3:
        return {{1, quoted("BegDate", longDate(startDate))},
                {2, quoted("EndDate", longDate(endDate))},
                {5, quoted("Shft", shiftText)},
                {3, quoted("HoldStatus",
                           option == 1 ? QStringLiteral("Unresolved Only") : QStringLiteral("All"))}};
    case 4:
        return {{0, quoted("BegDate", longDate(startDate))},
                {1, quoted("BegJob", beginJob)},
                {2, quoted("EndDate", longDate(endDate))},
                {3, quoted("EndJob", endJob)},
                {6, quoted("Shft", shiftText)}};
    case 7:
        return {{0, quoted("BegDate", longDate(startDate))}, {1, quoted("EndDate", longDate(endDate))}};
    default:
        return {};
    }
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
    const QString table = ReportTypes::of(m_type).table;
    switch (m_type) {
    case 1:
    case 2:
    case 5: {
        const QDate upper = dateRange ? endDate : startDate;
        return '{' + table + QStringLiteral(".Date}>=") + dateBound(startDate) + QStringLiteral(" And {") +
               table + QStringLiteral(".Date}<=") + dateBound(upper) + shiftPart(table);
    }
    case 3: {
        QString text = QStringLiteral("{On Hold Report Table.Hold Quantity}<>0");
        if (option == 1)
            text += QStringLiteral(" And {On Hold Report Table.Disposed of} = False");
        return text + shiftPart(table);
    }
    case 4: {
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
    const QDate end = endDate.isValid() ? endDate : startDate;
    QVariantMap params;
    if (m_type == 8 || m_type == 9) {
        params.insert(QStringLiteral("LoDate"), startDate.toString(Qt::ISODate));
        params.insert(QStringLiteral("HiDate"), end.toString(Qt::ISODate));
        return params;
    }
    params.insert(QStringLiteral("Start Date"), startDate.toString(Qt::ISODate));
    params.insert(QStringLiteral("End Date"), end.toString(Qt::ISODate));
    if (m_type == 4) {
        params.insert(QStringLiteral("Start Job"), beginJob);
        params.insert(QStringLiteral("End Job"), endJob);
    }
    return params;
}

int ReportParmsSheet::exportCode() const
{
    return ReportExport::codeFor(exportType);
}
