#pragma once

#include "ReportCatalog.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The rules of the report parameters window, without the window: which controls a report type
// uses, the defaults, the required-fields check, and what a run hands to staging and to the
// report engine (formula values, selection formula, staging parameters, output).
class ReportParmsSheet
{
public:
    enum Output { Preview = 0, Email = 1, Printer = 2, Export = 3 };

    struct FormulaSlot
    {
        int slot;
        QString text; // "Name='value'"
    };

    explicit ReportParmsSheet(int type);

    // Defaults at load: the current date-shift's date (null when none) and shift text, and today
    // for the daily reports' Monday rule.
    void load(const QDate &currentDate, const QString &currentShiftText, const QDate &today);

    int type() const { return m_type; }

    // Controls the type uses.
    bool singleDateEnabled() const;
    bool showsAdditionalInfo() const;
    bool showsOptions() const;
    QStringList optionCaptions() const;
    bool showsJobNumbers() const;
    bool showsMarkPrinted() const;
    bool showsMachineAndLogin() const;

    // The window's values.
    bool dateRange = false;
    QDate startDate; // null: the box shows the empty mask
    QDate endDate;
    QString shiftText;
    int option = -1; // additional option chosen, -1 none
    bool markPrinted = true;
    bool markPrintedEnabled = true;
    QString beginJob, endJob;
    QString machine, login; // empty: every machine, every login
    // The change history's newest row as the run began: the report lists none after it and
    // prints its hash (set by the run).
    struct ChainEnd
    {
        qint64 changeId = 0;
        QString hash;
    } chainEnd;
    Output output = Preview;
    QString exportType = QStringLiteral("Word (*.doc)");
    QString exportFileName;

    // Choosing an additional option sets the report file of a report whose options choose it, and
    // the "Mark Printed" state.
    void chooseOption(int index);
    // The ReportFilename selector of the report file in use; -1 while none is set.
    int fileSelector() const { return m_fileSelector; }

    // Names of the empty required fields joined by ", "; empty when all are filled.
    QString missingFields() const;
    static QString insufficientDataText(const QString &missing);
    // What the user typed that the report cannot run with, told in the user's words: a date range
    // that ends before it starts, a shift box that is not a list of shifts. Empty when all is well.
    // Checked after the required fields, by the window and the command line alike.
    QString invalidInput() const;
    static QString invalidInputTitle() { return QStringLiteral("Invalid Report Parameters"); }
    // True when `text` is a list of shifts 1 to 3: single shifts and ranges ("1", "1,3", "1-3",
    // "1-2,3"), blanks allowed around them.
    static bool isShiftList(const QString &text);

    // Where the export of part `part` of a run is written, whole: the typed name with the real
    // extension of export type `code`, a relative name taken inside `baseFolder`. The folder is
    // created when missing; `error` gets the reason when it cannot be.
    static QString exportPath(const QString &typed, int code, int part, const QString &baseFolder,
                              QString *error = nullptr);

    QList<FormulaSlot> formulaSlots() const;
    QStringList formulas() const;
    QString selection() const;
    QVariantMap stagingParameters() const;
    // Export file type code of the chosen export type (0 for an unknown text).
    int exportCode() const;

private:
    QString dateShiftText() const;
    QString keepingText() const;   // "machine 12, login jsmith"
    QString machineNumber() const; // the machine typed, as the history stores it; empty for every one
    QString shiftPart(const QString &table) const;
    static QString dateBound(const QDate &date);
    static QString longDate(const QDate &date);

    int m_type;
    const ReportDescriptor *m_report;
    int m_fileSelector = -1;
};
