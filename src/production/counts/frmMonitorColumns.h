#pragma once

#include "production/record/MonitorCounts.h"

#include <QDialog>

class QComboBox;

// Which columns of a monitoring system's export hold the machine, job number, date, shift and
// count, chosen once where the header names none of them as the program knows them; the choice
// is kept in the options for the next file of the same system.
class frmMonitorColumns : public QDialog
{
    Q_OBJECT

public:
    // header: the file's header row; guess: the columns recognised by their names.
    frmMonitorColumns(const QStringList &header, const MonitorCounts::Mapping &guess, QWidget *parent);

    MonitorCounts::Mapping mapping() const;

private:
    QComboBox *m_columns[MonitorCounts::ColumnCount] = {};
};
