#pragma once

#include <QDate>
#include <QDialog>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class Session;

// "Date Check": offers the latest production date, today, and the date that was typed, when the
// typed date does not fit the clock; or "None of the above" to go back and type again.
class frmDateChk : public QDialog
{
    Q_OBJECT

public:
    explicit frmDateChk(Session &session, QWidget *parent = nullptr);

    // Options 0 to 2 get the long dates of the latest production date, today and the typed date.
    void setDates(const QDate &latestProductionDate, const QDate &today, const QDate &entered);
    void preselect(int option);
    // 0 to 3, or -1 while nothing is selected.
    int selectedOption() const;

protected:
    void showEvent(QShowEvent *event) override;

signals:
    // The date the chooser's date box is to show now.
    void dateSelected(const QDate &date);

private:
    void optionToggled(int option, bool checked);
    void okClicked();

    Session &m_session;
    QLabel *m_label = nullptr;
    QButtonGroup *m_group = nullptr;
    QRadioButton *m_options[4] = {};
    QDate m_dates[3];
    QPushButton *m_ok = nullptr;
};
