#pragma once

#include "foundation/Database.h"
#include "foundation/DateShift.h"
#include "foundation/KelvaraError.h"

#include <QList>
#include <QPair>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class ChangeWatch;
class EntryModel;
class QAbstractButton;
class QTableView;
class Session;

// The base of every window over the shared production database. It runs the sequence all of
// them share: its own connection at load (a damaged file is repaired and opened again), counting
// in and out of the open data windows, the grids' column widths restored at the first load and
// saved at unload, the place in the main frame, the question before a half-typed entry is
// discarded, and a load step's failure reported with the step's name.
//
// A subclass reads its data in loadData(), drops what holds the connection in releaseData(), and
// runs its clean-up statements in beforeUnload().
//
// Every command of a window (its buttons, whether clicked or reached by their shortcut, the Delete
// key, closing, a timer, another selected line) first stores the cell being typed, exactly as
// leaving the cell does, and goes on only when that entry was accepted: a shortcut moves no focus,
// so without this the typed value would be thrown away by what the command reads again.
class DataWindow : public QWidget
{
    Q_OBJECT

public:
    enum class Placement { TopLeft, Maximized };

    DataWindow(Session &session, const QString &objectName, const QString &title, QWidget *parent = nullptr);
    ~DataWindow() override;

    // Opens the connection and loads the data; false when the window closed itself.
    bool load();
    Session &session() const { return m_session; }
    bool isLoaded() const { return m_loaded; }

protected:
    // Reads what the window shows, on the open connection. False closes the window (after
    // telling the user why); true counts it in among the open data windows.
    virtual bool loadData() = 0;
    // Drops everything that uses the connection; runs before a reload and at unload.
    virtual void releaseData() {}
    // The clean-up of a loaded window as it closes, while the connection is still open.
    virtual void beforeUnload() {}
    // Something typed and not stored yet, and how to throw it away.
    virtual bool hasUnsavedEntry() const { return false; }
    virtual void discardUnsavedEntry() {}
    // Puts the window at its place in the main frame; outside a frame the caller shows it.
    virtual void placeInFrame();

    Database &db() { return *m_db; }
    bool hasDatabase() const { return m_db.has_value(); }
    // A statement found the file damaged (3049): runs the repair with this window's connection
    // closed and opens the file again. False when the window has no connection afterwards, or
    // no repair ran.
    bool repairAndReopen();
    void setPlacement(Placement placement) { m_placement = placement; }
    // The grid's column widths live under this section of the settings.
    void addGrid(QTableView *grid, const QString &widthsSection);
    // The Delete key pressed on the grid (not in a cell being typed) runs `remove`, as the
    // window's delete button does.
    void onDeleteKey(QTableView *grid, const std::function<void()> &remove);
    // Stores what is typed in the open cell editor of the window's grids through the grid's own
    // commit, as leaving the cell does, and closes the editor. False when the entry was refused
    // or its save failed: the editor stays open with the text, and the caller stops.
    bool commitOpenEditor();
    // Runs a command after commitOpenEditor(); a refused entry stops it.
    void runCommand(const std::function<void()> &command);
    // The button's click (mouse, keyboard or shortcut) runs `command` through runCommand().
    void connectCommand(QAbstractButton *button, const std::function<void()> &command);
    // Reports a model's save failures as "<window>, <grid> <number> <text>".
    void watchModel(EntryModel *model, const QString &gridName);
    // Runs one load step; a failure is reported as "<window>, Form_Load Event <label> <error>" and
    // gives false, and the load carries on with what it has. A damaged file (3049) is not
    // reported here: the later steps are skipped, and the load offers the repair and starts over.
    bool runStep(const QString &label, const std::function<void()> &work);
    // Reports a failure outside the load: "<window>, <where> <error>".
    void reportFailure(const QString &where, const KelvaraError &error);
    // True when nothing is half-typed, or the user agreed to throw it away.
    bool confirmDiscard();
    // Asks whether to throw away what is typed; true (and thrown away) on Yes.
    bool askDiscard();
    // Loads the data again, for another date-shift for example; the window stays counted in.
    bool reload();
    // A write was refused because the date-shift was protected on another workstation: what is
    // half-typed is dropped and the date-shift read again, so the window shows it read-only.
    void rereadAfterProtection();

    // What other workstations store is shown: after a change to one of the tables (on this
    // date-shift, where the change names one: see ChangeWatch) refreshData runs, at once while
    // the window is visible, else when it is shown again. Called from loadData; the watch ends
    // with the connection.
    void watchChanges(const QStringList &tables, const DateShift &dateShift = {});
    // Reads again what others may have changed, keeping what the user is doing: the open
    // editor and its text, the current cell, the selection and the scroll position.
    virtual void refreshData() {}
    // The key of the row a cell editor of the grid is open on (the grid's model an EntryModel):
    // the row a refresh holds back. 0 when no editor is open, or its row is not stored yet.
    static qint64 editedKey(const QTableView *grid);
    // The next change noted is shown at once (the tests and the benchmark ask the file now).
    ChangeWatch *changeWatch() const { return m_watch.get(); }
    void showEvent(QShowEvent *event) override;

    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void changeNoted(const QString &table, const QString &dateShift);
    void countIn();
    void release();
    // After a load met a damaged file: true when it was repaired and the load is to run again;
    // otherwise the damage is reported and the window closed.
    bool repairAfterDamage();

    Session &m_session;
    std::optional<Database> m_db;
    QList<QPair<QTableView *, QString>> m_grids;
    QList<QPair<QTableView *, std::function<void()>>> m_deleteKeys;
    Placement m_placement = Placement::TopLeft;
    bool m_counted = false;
    bool m_loaded = false;
    std::optional<KelvaraError> m_damage; // a damaged file met during this load
    std::unique_ptr<ChangeWatch> m_watch;
    QStringList m_watchedTables;
    QString m_watchedDateShift; // as a change names it; empty for every date-shift
    bool m_refreshPending = false;
};
