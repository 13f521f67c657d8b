#pragma once

#include "ColorFeederSheet.h"

#include "foundation/Database.h"

#include <QMap>
#include <QWidget>
#include <memory>
#include <optional>

class ChangeWatch;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class Session;

// "Color Feeder Calibration": the jobs, the feeder codes calibrated for the selected job, and the
// calibration sheet of the selected feeder with the feeder setting computed as the user types.
// Not a data window: the Database menu stays enabled, and closes it before a whole-file command.
class frmColorFeeder : public QWidget
{
    Q_OBJECT

public:
    explicit frmColorFeeder(Session &session, QWidget *parent = nullptr);
    ~frmColorFeeder() override;

    bool load();
    QString feederSettingText() const;
    QSize sizeHint() const override;
    // Notes what other workstations store in the Color Table (the tests ask the file now).
    ChangeWatch *changeWatch() const { return m_watch.get(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    QWidget *buildListColumn();
    QWidget *buildSheetColumn();
    QLineEdit *addBox(const QString &name, const QString &field);

    QString currentJob() const;
    std::optional<qint64> currentCode() const;
    void fillJobs();
    void jobSelected();
    void fillCodes(std::optional<qint64> select);
    void feederCodeSelected(bool jobChanging);
    // The sheets of the feeder code now current, or none where the job has no codes.
    void showCodeSelected(bool anyCodes);
    void showSheet(int index);
    void setSheetEnabled(bool enabled);
    void updateSetting();
    void updateNavigation();

    // Reads the lists and the sheets again after another workstation's change, keeping the job,
    // the feeder code and the sheet shown (by key) and what is typed in the sheet.
    void refresh();
    void changeNoted(const QString &table);
    // False when the job or the feeder code shown is gone and another was shown in its place.
    bool rereadLists();
    void rereadSheets();

    void newSheet();
    bool saveSheet(bool refresh);
    void deleteSheet();
    // True when nothing typed is pending, or the user let it go (or it was saved).
    bool leaveSheet();
    QMap<QString, QString> typedTexts() const;

    Session &m_session;
    std::optional<Database> m_db;
    std::unique_ptr<ColorFeederSheet> m_sheet;
    std::unique_ptr<ChangeWatch> m_watch;
    bool m_refreshPending = false;
    QList<ColorSheet> m_rows;
    int m_rowIndex = -1;
    int m_jobRow = -1;
    int m_codeRow = -1;
    bool m_dirty = false;

    QStandardItemModel *m_jobs = nullptr;
    QStandardItemModel *m_codes = nullptr;
    QTableView *m_lstJobList = nullptr;
    QTableView *m_lstColorFeederList = nullptr;
    QGroupBox *m_fraFeederList = nullptr;
    QLineEdit *m_txtJobNumber = nullptr;
    QLabel *m_lblJobDescription = nullptr;
    QMap<QString, QLineEdit *> m_boxes; // by field
    QList<QWidget *> m_sheetControls;
    QLabel *m_lblFeederSetting = nullptr;
    QWidget *m_datColorTable = nullptr;
    QPushButton *m_cmdPrevious = nullptr;
    QPushButton *m_cmdNext = nullptr;
    QLabel *m_lblPosition = nullptr;
    QPushButton *m_cmdNew = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdDelete = nullptr;
    QPushButton *m_cmdClose = nullptr;
};
