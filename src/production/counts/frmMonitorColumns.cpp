#include "frmMonitorColumns.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
struct ColumnText
{
    const char *objectName;
    const char *caption;
    bool needed; // the machine and the count; the others may be left out
};

constexpr ColumnText kColumns[MonitorCounts::ColumnCount] = {
    {"cboMachine", QT_TRANSLATE_NOOP("frmMonitorColumns", "&Machine:"), true},
    {"cboJobNumber", QT_TRANSLATE_NOOP("frmMonitorColumns", "&Job Number:"), false},
    {"cboDate", QT_TRANSLATE_NOOP("frmMonitorColumns", "&Date:"), false},
    {"cboShift", QT_TRANSLATE_NOOP("frmMonitorColumns", "&Shift:"), false},
    {"cboCount", QT_TRANSLATE_NOOP("frmMonitorColumns", "&Count:"), true},
};
} // namespace

frmMonitorColumns::frmMonitorColumns(const QStringList &header, const MonitorCounts::Mapping &guess,
                                     QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMonitorColumns"));
    setWindowTitle(tr("Monitor Count Columns"));
    auto *form = new QFormLayout;
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    const auto neededChosen = [this, ok] {
        ok->setEnabled(m_columns[MonitorCounts::Machine]->currentIndex() > 0 &&
                       m_columns[MonitorCounts::Count]->currentIndex() > 0);
    };
    for (int column = 0; column < MonitorCounts::ColumnCount; ++column) {
        auto *box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(kColumns[column].objectName));
        // An empty first entry: not in the file (or, for the machine and count, not chosen yet).
        box->addItem(kColumns[column].needed ? tr("(choose a column)") : tr("(not in the file)"));
        box->addItems(header);
        box->setCurrentIndex(std::max(0, int(header.indexOf(guess.names[column])) + 1));
        connect(box, &QComboBox::currentIndexChanged, this, neededChosen);
        form->addRow(tr(kColumns[column].caption), box);
        m_columns[column] = box;
    }
    neededChosen();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(tr("The file's header does not name the columns Kelvara needs. Choose "
                               "which column holds what; the choice is kept for the next file."),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

MonitorCounts::Mapping frmMonitorColumns::mapping() const
{
    MonitorCounts::Mapping chosen;
    for (int column = 0; column < MonitorCounts::ColumnCount; ++column) {
        if (m_columns[column]->currentIndex() > 0)
            chosen.names[column] = m_columns[column]->currentText();
    }
    return chosen;
}
