#pragma once

#include <QDialog>

class QDateEdit;
class QLineEdit;
class Session;

// "Date/Shift Entry": the date and shift chooser. Created once by the main window and only hidden
// after use, so it shows the last entries the next time.
class frmDateShift : public QDialog
{
    Q_OBJECT

public:
    explicit frmDateShift(Session &session, QWidget *parent = nullptr);

    // Shows the chooser modally. On OK the session's current date-shift holds the choice; Cancel
    // leaves it as it was.
    void choose();

    // The check dialog shown while OK decides; tests answer it from here.
    QDialog *dateCheck() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void okClicked();
    // Runs the check dialog; false when the user chose to type again.
    bool confirmDate(const QDate &entered, int shift);
    QWidget *makeSpinner();

    Session &m_session;
    QDateEdit *m_date = nullptr;
    QLineEdit *m_shift = nullptr;
    QDialog *m_check = nullptr;
    bool m_dateSet = false;
};
