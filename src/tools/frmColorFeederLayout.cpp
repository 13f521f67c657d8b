#include "frmColorFeeder.h"

// The window's controls and where they stand: the job and feeder-code lists at the left, the
// sheet at the right. What they do is in frmColorFeeder.cpp.

#include "widgets/DataWindowParts.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *result = new QLabel(text, parent);
    result->setObjectName(name);
    return result;
}

} // namespace

void frmColorFeeder::buildUi()
{
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(buildListColumn(), 2);
    layout->addWidget(buildSheetColumn(), 3);
}

QWidget *frmColorFeeder::buildListColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *fraJobs = new QGroupBox(tr("Job Numbers"), column);
    fraJobs->setObjectName(QStringLiteral("fraJobNumbers"));
    m_jobs = new QStandardItemModel(0, 2, this);
    m_jobs->setHorizontalHeaderLabels({tr("Job Number"), tr("Job Description")});
    m_lstJobList = DataWindowParts::makePickList(QStringLiteral("lstJobList"), m_jobs, fraJobs);
    (new QVBoxLayout(fraJobs))->addWidget(m_lstJobList);
    layout->addWidget(fraJobs, 3);

    m_fraFeederList = new QGroupBox(tr("Calibrated Feeder Codes"), column);
    m_fraFeederList->setObjectName(QStringLiteral("fraFeederList"));
    m_codes = new QStandardItemModel(0, 1, this);
    m_codes->setHorizontalHeaderLabels({tr("Color Feeder Code")});
    m_lstColorFeederList =
        DataWindowParts::makePickList(QStringLiteral("lstColorFeederList"), m_codes, m_fraFeederList);
    (new QVBoxLayout(m_fraFeederList))->addWidget(m_lstColorFeederList);
    layout->addWidget(m_fraFeederList, 2);

    connect(m_lstJobList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmColorFeeder::jobSelected);
    connect(m_lstColorFeederList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { feederCodeSelected(false); });
    return column;
}

QLineEdit *frmColorFeeder::addBox(const QString &name, const QString &field)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(name);
    box->installEventFilter(this);
    m_boxes.insert(field, box);
    m_sheetControls << box;
    connect(box, &QLineEdit::textEdited, this, [this] {
        m_dirty = true;
        m_cmdSave->setEnabled(true);
    });
    if (ColorFeederSheet::isNumberField(field) && field != QLatin1String("Color Feeder Code"))
        connect(box, &QLineEdit::textChanged, this, &frmColorFeeder::updateSetting);
    return box;
}

QWidget *frmColorFeeder::buildSheetColumn()
{
    auto *column = new QWidget(this);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *head = new QGridLayout;
    m_txtJobNumber = new QLineEdit(column);
    m_txtJobNumber->setObjectName(QStringLiteral("txtJobNumber"));
    m_txtJobNumber->setReadOnly(true);
    m_lblJobDescription = label(QStringLiteral("lblJobDescription"), {}, column);
    auto *lblCode = label(QStringLiteral("lblColorFeederCode"), tr("Color Feeder Code"), column);
    m_txtJobNumber->setMaximumWidth(160);
    head->setColumnStretch(2, 1);
    head->addWidget(label(QStringLiteral("lblJobNumber"), tr("Job #"), column), 0, 0);
    head->addWidget(m_txtJobNumber, 0, 1);
    head->addWidget(label(QStringLiteral("lblJobName"), tr("Job Name"), column), 1, 0);
    head->addWidget(m_lblJobDescription, 1, 1, 1, 3);
    head->addWidget(lblCode, 2, 0);
    head->addWidget(addBox(QStringLiteral("txtColorFeederCode"), QStringLiteral("Color Feeder Code")), 2, 1);
    m_boxes.value(QStringLiteral("Color Feeder Code"))->setMaximumWidth(160);
    m_sheetControls << lblCode;
    layout->addLayout(head);

    auto *fraColor = new QGroupBox(tr("Color Information"), column);
    fraColor->setObjectName(QStringLiteral("fraColorInformation"));
    auto *colorForm = new QFormLayout(fraColor);
    colorForm->addRow(label(QStringLiteral("lblColor"), tr("Name"), fraColor),
                      addBox(QStringLiteral("txtColor"), QStringLiteral("Color Name")));
    colorForm->addRow(label(QStringLiteral("lblVendor"), tr("Vendor"), fraColor),
                      addBox(QStringLiteral("txtVendor"), QStringLiteral("Color Vendor")));
    colorForm->addRow(label(QStringLiteral("lblColorNum"), tr("Color #"), fraColor),
                      addBox(QStringLiteral("txtColorNum"), QStringLiteral("Color Number")));
    m_sheetControls << fraColor;
    layout->addWidget(fraColor);

    auto *amounts = new QGridLayout;
    auto *lblShotWt = label(QStringLiteral("lblShotWt"), tr("Shot Weight"), column);
    auto *lblGrams = label(QStringLiteral("lblGrams"), tr("gms"), column);
    auto *lblUsage = label(QStringLiteral("lblUsage"), tr("Usage Rate"), column);
    auto *lblUsageLast =
        label(QStringLiteral("lblUsageLast"), tr("lbs Of Color / 100 lbs Of Material"), column);
    amounts->addWidget(lblShotWt, 0, 0);
    amounts->addWidget(addBox(QStringLiteral("txtShotWt"), QStringLiteral("Shot Weight")), 0, 1);
    amounts->addWidget(lblGrams, 0, 2);
    amounts->addWidget(lblUsage, 1, 0);
    amounts->addWidget(addBox(QStringLiteral("txtUsage"), QStringLiteral("Usage Rate")), 1, 1);
    amounts->addWidget(lblUsageLast, 1, 2);
    amounts->setColumnStretch(2, 1);
    m_sheetControls << lblShotWt << lblGrams << lblUsage << lblUsageLast;
    layout->addLayout(amounts);

    auto *bottom = new QHBoxLayout;
    auto *fraGrams = new QGroupBox(tr("Material Dispensed"), column);
    fraGrams->setObjectName(QStringLiteral("fraMaterialGrams"));
    auto *grams = new QGridLayout(fraGrams);
    for (int i = 0; i < 5; ++i) {
        const QString n = QString::number(i + 1);
        grams->addWidget(label(QStringLiteral("lblCalibrate") + n, n, fraGrams), i, 0);
        grams->addWidget(addBox(QStringLiteral("txtCalibrate") + n, ColorFeederSheet::readingFields().at(i)),
                         i, 1);
        grams->addWidget(label(QStringLiteral("lblGrams"), tr("gms"), fraGrams), i, 2);
    }
    grams->addWidget(label(QStringLiteral("lblInCalibrateMode"), tr("in Calibrate Mode"), fraGrams), 5, 0, 1,
                     3);
    m_sheetControls << fraGrams;
    bottom->addWidget(fraGrams, 3);

    auto *fraSetting = new QGroupBox(tr("Feeder Setting"), column);
    fraSetting->setObjectName(QStringLiteral("fraFeederSetting"));
    m_lblFeederSetting = label(QStringLiteral("lblFeederSetting"), {}, fraSetting);
    m_lblFeederSetting->setAlignment(Qt::AlignCenter);
    QFont big = m_lblFeederSetting->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_lblFeederSetting->setFont(big);
    (new QVBoxLayout(fraSetting))->addWidget(m_lblFeederSetting);
    bottom->addWidget(fraSetting, 2);
    layout->addLayout(bottom);

    // The sheet source's navigation: several sheets of one job and code are stepped through.
    m_datColorTable = new QWidget(column);
    m_datColorTable->setObjectName(QStringLiteral("datColorTable"));
    auto *nav = new QHBoxLayout(m_datColorTable);
    nav->setContentsMargins(0, 0, 0, 0);
    m_cmdPrevious =
        DataWindowParts::makeButton(QStringLiteral("cmdPrevious"), QStringLiteral("<"), m_datColorTable);
    m_cmdNext = DataWindowParts::makeButton(QStringLiteral("cmdNext"), QStringLiteral(">"), m_datColorTable);
    m_lblPosition = label(QStringLiteral("lblPosition"), {}, m_datColorTable);
    nav->addWidget(m_cmdPrevious);
    nav->addWidget(m_lblPosition, 1, Qt::AlignCenter);
    nav->addWidget(m_cmdNext);
    layout->addWidget(m_datColorTable);
    connect(m_cmdPrevious, &QPushButton::clicked, this, [this] {
        if (leaveSheet())
            showSheet(m_rowIndex - 1);
    });
    connect(m_cmdNext, &QPushButton::clicked, this, [this] {
        if (leaveSheet())
            showSheet(m_rowIndex + 1);
    });

    auto *buttons = new QHBoxLayout;
    m_cmdNew = DataWindowParts::makeButton(QStringLiteral("cmdNew"), tr("&New"), column);
    m_cmdSave = DataWindowParts::makeButton(QStringLiteral("cmdSave"), tr("&Save"), column);
    m_cmdDelete = DataWindowParts::makeButton(QStringLiteral("cmdDelete"), tr("&Delete"), column);
    m_cmdClose = DataWindowParts::makeButton(QStringLiteral("cmdClose"), tr("&Close"), column);
    for (QPushButton *b : {m_cmdNew, m_cmdSave, m_cmdDelete, m_cmdClose})
        buttons->addWidget(b);
    layout->addStretch();
    layout->addLayout(buttons);
    m_cmdSave->setEnabled(false);
    connect(m_cmdNew, &QPushButton::clicked, this, &frmColorFeeder::newSheet);
    connect(m_cmdSave, &QPushButton::clicked, this, [this] { saveSheet(true); });
    connect(m_cmdDelete, &QPushButton::clicked, this, &frmColorFeeder::deleteSheet);
    connect(m_cmdClose, &QPushButton::clicked, this, &QWidget::close);
    return column;
}
