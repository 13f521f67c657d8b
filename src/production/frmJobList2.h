#pragma once

#include "Database.h"
#include "DateShift.h"
#include "JobLines.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class JobListModel;
class KelvaraError;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class Session;

// "Job List for Shift": sets up and keeps the job lines of one date-shift. A date-shift without
// lines receives the lines of the previous shift that has lines, each ending count carried over
// as the new beginning count.
class frmJobList2 : public QWidget
{
    Q_OBJECT

public:
    explicit frmJobList2(Session &session, QWidget *parent = nullptr);
    ~frmJobList2() override;

    // Loads the current date-shift; false when the window closed itself (no database).
    bool load();

    const DateShift &dateShift() const { return m_dateShift; }
    JobListModel *model() const { return m_model; }
    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    bool openDatabase();
    QList<JobLine> bringForward();
    bool runStep(const QString &label, const std::function<void()> &work);
    void reportLoadError(const QString &label, const KelvaraError &error);
    void placeWindow();
    void showProtection();

    void nextShift();
    void previousShift();
    void newDate();
    void reloadFor(const DateShift &dateShift);
    void deleteCurrentLine();
    bool isGridKey() const;
    bool confirmDiscard();
    void release();

    Session &m_session;
    std::optional<Database> m_db;
    std::unique_ptr<JobLines> m_store;
    DateShift m_dateShift;
    QString m_stepLabel;
    bool m_counted = false;
    bool m_loaded = false;

    QLabel *m_lblDate = nullptr;
    QLabel *m_lblProtected = nullptr;
    QTableView *m_table = nullptr;
    JobListModel *m_model = nullptr;
    QGroupBox *m_frame = nullptr;
    QPushButton *m_cmdNewDate = nullptr;
    QPushButton *m_cmdNextShift = nullptr;
    QPushButton *m_cmdPrevShift = nullptr;
    QPushButton *m_cmdOK = nullptr;
};
