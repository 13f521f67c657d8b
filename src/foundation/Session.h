#pragma once

#include "Clock.h"
#include "FileOps.h"
#include "Identity.h"
#include "KelvaraError.h"
#include "Paths.h"
#include "Prompter.h"

#include "CKelvaraOptions.h"
#include "DateShift.h"
#include "MachineCount.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

// The seams a session runs on. Tests hand in doubles; the program the real ones.
class Database;

struct Seams
{
    Clock &clock;
    Prompter &prompter;
    Identity &identity;
    Paths &paths;
    FileOps &fileOps;
};

// The process-wide state of one run of the program, and the seams. Created in main and handed to
// every window.
class Session : public QObject
{
    Q_OBJECT

public:
    Session(const Seams &seams, std::unique_ptr<CKelvaraOptions> options);
    ~Session() override;

    Clock &clock() const { return m_seams.clock; }
    Prompter &prompter() const { return m_seams.prompter; }
    Identity &identity() const { return m_seams.identity; }
    Paths &paths() const { return m_seams.paths; }
    FileOps &fileOps() const { return m_seams.fileOps; }
    CKelvaraOptions &options() const { return *m_options; }
    ClassIdGenerator &classIds() { return m_classIds; }

    // Who is logged in.
    QString networkUserName;
    QString userFullName;
    QString securityLevel;
    QDate latestProductionDate;

    // The current date-shift: the date is null while none is chosen.
    QDate currentDate;
    int currentShift = 0;
    DateShift currentDateShift() const { return {currentDate, currentShift}; }
    void setCurrentDateShift(const DateShift &dateShift);
    void clearCurrentDateShift();

    // Data windows count themselves in at load and out at unload; while any is open the current
    // date-shift is fixed and the Database menu is disabled.
    int openDataForms() const { return m_openDataForms; }
    void dataFormOpened();
    void dataFormClosed();
    void resetDataForms();

    int selectedReportType = 0;
    bool currentUsersCancelled = false;

    // The error log line and the "Serious Error" dialog; Cancel ends the program. `logDetail`
    // (the statement that failed, say) goes to the log after the message, never to the dialog.
    // False when the line could not be written.
    bool writeErrorLog(const QString &message) const;
    // Where the error log lines go.
    QString errorLogPath() const;
    void showSeriousError(const QString &message, const QString &logDetail = {});

    // Ends the program at once. The program's handler quits; tests record the request instead.
    void endProgram(int exitCode = 0);
    void setEndProgramHandler(std::function<void(int)> handler) { m_endProgram = std::move(handler); }
    // True once the end was asked for. A handler that returns (as in tests) leaves the callers to
    // stop what they were doing instead of retrying.
    bool programEnding() const { return m_programEnding; }

    // The corrupt-database repair, installed by the shell. It asks the user first; No ends the
    // program. Returns false when no repair is installed, so the damage is reported instead.
    // Before anything replaces the file, every window of this program that has it open is closed
    // (requester, the window asking, has let its connection go already): when the user keeps
    // one open, no repair runs and false is returned.
    bool repairDatabase(QObject *requester = nullptr);
    void setRepairHandler(std::function<void()> handler) { m_repair = std::move(handler); }
    // Closes the program's windows on the database but the one given; false when one stays open.
    void setWindowCloser(std::function<bool(QObject *except)> closer) { m_closeWindows = std::move(closer); }

    // The exclusive access check of whole-file operations, installed by the shell: returns true
    // once no other copy of the program has the database open, false when the user cancelled the
    // current users window (cancel is offered only when asked for). Without a check installed
    // there is nobody to wait for.
    bool checkExclusiveAccess(bool offerCancel);
    void setExclusiveAccessCheck(std::function<bool(bool)> check) { m_exclusiveAccess = std::move(check); }
    // The exclusive access the check gave lasts until it is ended (on a server the check keeps the
    // database's exclusive lock until then). meanwhile, when given, runs once this copy has let go
    // of its own connections for presence and exclusive access and before it counts itself present
    // again: for a step that needs the database free of connections. Without an end installed,
    // meanwhile just runs.
    void endExclusiveAccess(const std::function<void()> &meanwhile = {});
    void setExclusiveAccessEnd(std::function<void(const std::function<void()> &)> end)
    {
        m_endExclusiveAccess = std::move(end);
    }

    // Shows the date and shift chooser modally (installed by the main window). Afterwards the
    // current date-shift holds the choice; Cancel leaves it as it was.
    void chooseDateShift();
    void setDateShiftChooser(std::function<void()> chooser) { m_chooseDateShift = std::move(chooser); }

    // Opens the window registered under a command in the main window (installed by it); false
    // when it did not open or nothing is installed. For windows opened from another window
    // rather than from a menu.
    bool openWindow(const QString &command) { return m_openWindow && m_openWindow(command); }
    void setWindowOpener(std::function<bool(const QString &)> opener) { m_openWindow = std::move(opener); }

    // Shows a report by its name ("Security Profile") in the print preview; installed by reports/.
    std::function<void(const QString &name)> printReport;
    // Reads the counters of those machines that have an enabled connection and keeps every
    // reading in the production database, while a progress dialog offers Cancel; installed by
    // machines/. Machines without a connection are left out of the result.
    std::function<QList<MachineCount>(Database &db, const DateShift &dateShift, const QList<int> &machines)>
        readCounters;

signals:
    void openDataFormsChanged(int count);

private:
    Seams m_seams;
    std::unique_ptr<CKelvaraOptions> m_options;
    ClassIdGenerator m_classIds;
    int m_openDataForms = 0;
    std::function<void(int)> m_endProgram;
    std::function<void()> m_repair;
    std::function<bool(QObject *)> m_closeWindows;
    std::function<void()> m_chooseDateShift;
    std::function<bool(bool)> m_exclusiveAccess;
    std::function<void(const std::function<void()> &)> m_endExclusiveAccess;
    std::function<bool(const QString &)> m_openWindow;
    bool m_programEnding = false;
};
