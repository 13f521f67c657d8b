#pragma once

#include "ProtectionCalendar.h"

#include "widgets/DataWindow.h"

#include <array>
#include <functional>

class ProtectionCalendarModel;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

// "Date/Shift Protection": one month as a calendar in the colours of its shifts' protection.
// The check boxes protect one shift of the chosen day; a double-click toggles every shift of the
// day except those with unresolved holds.
class frmProtectDates2 : public DataWindow
{
    Q_OBJECT

public:
    explicit frmProtectDates2(Session &session, QWidget *parent = nullptr);

    const ProtectionCalendar &calendar() const { return m_calendar; }
    QSize sizeHint() const override;

    // The calendar cell's actions, as the mouse gives them.
    void toggleDay(int row, int column);
    void stepMonth(int delta);
    void stepYear(int delta);

protected:
    bool loadData() override;
    void refreshData() override;

private:
    void buildUi();
    QWidget *makeSpinner(const QString &name, const QString &down, const QString &up,
                         const std::function<void(int)> &step);
    void rebuild();
    void showUnresolved();
    void updateShiftBoxes();
    void shiftClicked(int shift, bool checked);
    // Runs one database step: a damaged file is repaired and the step tried again; any other
    // failure is shown as "Database Access Error" and the work goes on.
    bool attempt(const std::function<void()> &work);

    ProtectionCalendar m_calendar;
    ProtectionCalendarModel *m_model = nullptr;
    QStandardItemModel *m_unresolvedModel = nullptr;
    QLabel *m_lblMth = nullptr;
    QTableView *m_tblCalendar = nullptr;
    std::array<QCheckBox *, 3> m_chkShifts{};
    QLabel *m_lblNoShifts = nullptr;
    QTableView *m_tblUnresolved = nullptr;
};
