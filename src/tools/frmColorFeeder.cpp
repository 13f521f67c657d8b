#include "frmColorFeeder.h"

#include "foundation/ChangeWatch.h"
#include "foundation/Session.h"
#include "foundation/SharedDatabase.h"
#include "widgets/DataWindowParts.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

namespace {
// Shows the rows in the list when they differ from what it holds, the row whose first text is key
// current (the one at the same place when it is gone) and the list scrolled where it was. True
// when the list changed.
bool showRows(QTableView *view, QStandardItemModel *model, const QList<QStringList> &rows, const QString &key)
{
    bool same = model->rowCount() == rows.size();
    for (int r = 0; same && r < rows.size(); ++r) {
        for (int c = 0; same && c < rows[r].size(); ++c)
            same = model->item(r, c)->text() == rows[r][c];
    }
    if (same)
        return false;
    const int oldRow = view->currentIndex().row();
    const int scroll = view->verticalScrollBar()->value();
    const QSignalBlocker blocker(view->selectionModel());
    model->removeRows(0, model->rowCount());
    int select = -1;
    for (int r = 0; r < rows.size(); ++r) {
        QList<QStandardItem *> items;
        for (const QString &text : rows[r])
            items.append(new QStandardItem(text));
        model->appendRow(items);
        if (rows[r].value(0) == key)
            select = r;
    }
    if (select < 0 && !rows.isEmpty())
        select = qBound(0, oldRow, int(rows.size()) - 1);
    if (select >= 0)
        view->setCurrentIndex(model->index(select, 0));
    view->verticalScrollBar()->setValue(scroll);
    return true;
}
} // namespace

frmColorFeeder::frmColorFeeder(Session &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    DataWindowParts::startWindow(this, QStringLiteral("frmColorFeeder"), tr("Color Feeder Calibration"));
    buildUi();
}

frmColorFeeder::~frmColorFeeder()
{
    m_watch.reset(); // it asks the connection
    m_sheet.reset();
    m_db.reset();
}

QSize frmColorFeeder::sizeHint() const
{
    return {860, 560};
}

bool frmColorFeeder::load()
{
    m_db = openSharedDatabase(m_session);
    if (!m_db)
        return false;
    m_sheet = std::make_unique<ColorFeederSheet>(*m_db);
    try {
        fillJobs();
    } catch (const DatabaseError &) {
        // The lists stay empty, as the window's load passes over a failed refresh.
    }
    m_watch = std::make_unique<ChangeWatch>(*m_db);
    connect(m_watch.get(), &ChangeWatch::changed, this, [this](const QString &table) { changeNoted(table); });
    return true;
}

void frmColorFeeder::changeNoted(const QString &table)
{
    // On a file the change names no table; on a server only the sheets' table is announced.
    if (!table.isEmpty() && table != QLatin1String("Color Table"))
        return;
    if (!isVisible()) {
        m_refreshPending = true; // read when shown again, not at every change meanwhile
        return;
    }
    refresh();
}

void frmColorFeeder::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_refreshPending) {
        m_refreshPending = false;
        refresh();
    }
}

void frmColorFeeder::refresh()
{
    if (!m_sheet)
        return;
    try {
        // While a sheet is being typed the lists stay as they are: moving the job or code under
        // the user would take the sheet away. They are read again at the next change.
        if (m_dirty || rereadLists())
            rereadSheets();
    } catch (const DatabaseError &) {
        // The file busy a moment: the next change noted reads again.
    }
}

bool frmColorFeeder::rereadLists()
{
    const QString job = currentJob();
    const std::optional<qint64> code = currentCode();
    QList<QStringList> jobRows;
    for (const JobEntry &entry : m_sheet->jobs())
        jobRows.append({entry.number, entry.description});
    if (showRows(m_lstJobList, m_jobs, jobRows, job))
        m_jobRow = m_lstJobList->currentIndex().row();
    if (currentJob() != job) {
        m_lblJobDescription->setText(m_jobRow < 0 ? QString() : m_jobs->item(m_jobRow, 1)->text());
        fillCodes(std::nullopt);
        return false;
    }
    QList<QStringList> codeRows;
    for (qint64 each : m_sheet->feederCodes(job))
        codeRows.append({QString::number(each)});
    showRows(m_lstColorFeederList, m_codes, codeRows, code ? QString::number(*code) : QString());
    m_fraFeederList->setEnabled(!codeRows.isEmpty());
    if (currentCode() == code)
        return true;
    showCodeSelected(!codeRows.isEmpty());
    return false;
}

void frmColorFeeder::rereadSheets()
{
    const int shownIndex = m_rowIndex;
    const std::optional<ColorSheet> shown =
        shownIndex >= 0 ? std::optional<ColorSheet>(m_rows[shownIndex]) : std::nullopt;
    QList<ColorSheet> rows = m_sheet->sheets(currentJob(), currentCode());
    int index = -1;
    for (int i = 0; shown && i < rows.size(); ++i) {
        if (rows[i].id == shown->id)
            index = i;
    }
    if (m_dirty && shown) {
        // The sheet being typed stays as it was read, so that its save finds what changed or
        // went elsewhere meanwhile and says so.
        if (index >= 0) {
            rows[index] = *shown;
        } else {
            index = qMin(shownIndex, int(rows.size()));
            rows.insert(index, *shown);
        }
        m_rows = rows;
        m_rowIndex = index;
        updateNavigation();
        return;
    }
    m_rows = rows;
    if (index < 0 && !rows.isEmpty())
        index = qBound(0, shownIndex, int(rows.size()) - 1); // the neighbour of one deleted elsewhere
    showSheet(index);
}

void frmColorFeeder::fillJobs()
{
    const QSignalBlocker blocker(m_lstJobList->selectionModel());
    m_jobs->removeRows(0, m_jobs->rowCount());
    for (const JobEntry &job : m_sheet->jobs())
        m_jobs->appendRow({new QStandardItem(job.number), new QStandardItem(job.description)});
    m_lstJobList->resizeColumnToContents(0);
    if (m_jobs->rowCount() > 0)
        m_lstJobList->setCurrentIndex(m_jobs->index(0, 0));
    jobSelected();
}

QString frmColorFeeder::currentJob() const
{
    return m_jobRow < 0 ? QString() : m_jobs->item(m_jobRow, 0)->text();
}

std::optional<qint64> frmColorFeeder::currentCode() const
{
    const int row = m_lstColorFeederList->currentIndex().row();
    if (row < 0 || row >= m_codes->rowCount())
        return std::nullopt;
    return m_codes->item(row, 0)->text().toLongLong();
}

void frmColorFeeder::jobSelected()
{
    const int row = m_lstJobList->currentIndex().row();
    if (row != m_jobRow && !leaveSheet()) {
        const QSignalBlocker blocker(m_lstJobList->selectionModel());
        m_lstJobList->setCurrentIndex(m_jobs->index(m_jobRow, 0));
        return;
    }
    m_jobRow = row;
    m_lblJobDescription->setText(row < 0 ? QString() : m_jobs->item(row, 1)->text());
    fillCodes(std::nullopt);
}

void frmColorFeeder::fillCodes(std::optional<qint64> select)
{
    QList<qint64> codes;
    try {
        codes = m_sheet->feederCodes(currentJob());
    } catch (const DatabaseError &) {
    }
    {
        const QSignalBlocker blocker(m_lstColorFeederList->selectionModel());
        m_codes->removeRows(0, m_codes->rowCount());
        int selectRow = 0;
        for (int i = 0; i < codes.size(); ++i) {
            m_codes->appendRow(new QStandardItem(QString::number(codes[i])));
            if (select && codes[i] == *select)
                selectRow = i;
        }
        if (!codes.isEmpty())
            m_lstColorFeederList->setCurrentIndex(m_codes->index(selectRow, 0));
    }
    m_fraFeederList->setEnabled(!codes.isEmpty());
    showCodeSelected(!codes.isEmpty());
}

void frmColorFeeder::showCodeSelected(bool anyCodes)
{
    if (anyCodes) {
        feederCodeSelected(true);
        return;
    }
    m_codeRow = -1;
    m_rows.clear();
    showSheet(-1);
}

void frmColorFeeder::feederCodeSelected(bool jobChanging)
{
    const int row = m_lstColorFeederList->currentIndex().row();
    if (!jobChanging && row != m_codeRow && !leaveSheet()) {
        const QSignalBlocker blocker(m_lstColorFeederList->selectionModel());
        m_lstColorFeederList->setCurrentIndex(m_codes->index(m_codeRow, 0));
        return;
    }
    m_codeRow = row;
    try {
        m_rows = m_sheet->sheets(currentJob(), currentCode());
    } catch (const DatabaseError &) {
        m_rows.clear();
    }
    showSheet(m_rows.isEmpty() ? -1 : 0);
    if (m_rows.isEmpty() && !jobChanging)
        m_session.prompter().tell(tr("No records were found for this job and color feeder."), programTitle());
}

void frmColorFeeder::showSheet(int index)
{
    m_rowIndex = index;
    const bool shown = index >= 0 && index < m_rows.size();
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it) {
        const QString text =
            shown ? ColorFeederSheet::displayText(m_rows[index].values.value(it.key())) : QString();
        // A box left as it was keeps its cursor and selection through a refresh.
        if (it.value()->text() == text)
            continue;
        const QSignalBlocker blocker(it.value());
        it.value()->setText(text);
    }
    m_txtJobNumber->setText(shown ? m_rows[index].jobNumber : QString());
    setSheetEnabled(shown);
    m_dirty = false;
    m_cmdSave->setEnabled(false);
    m_cmdNew->setEnabled(m_jobRow >= 0);
    updateSetting();
    updateNavigation();
}

void frmColorFeeder::setSheetEnabled(bool enabled)
{
    for (QWidget *control : std::as_const(m_sheetControls))
        control->setEnabled(enabled);
    m_cmdDelete->setEnabled(enabled);
}

void frmColorFeeder::updateNavigation()
{
    const int count = int(m_rows.size());
    m_datColorTable->setEnabled(count > 1);
    m_cmdPrevious->setEnabled(m_rowIndex > 0);
    m_cmdNext->setEnabled(m_rowIndex >= 0 && m_rowIndex + 1 < count);
    m_lblPosition->setText(count > 0 && m_rowIndex >= 0 ? tr("Sheet %1 of %2").arg(m_rowIndex + 1).arg(count)
                                                        : QString());
}

void frmColorFeeder::updateSetting()
{
    if (m_rowIndex < 0) {
        m_lblFeederSetting->clear();
        return;
    }
    QStringList readings;
    for (const QString &field : ColorFeederSheet::readingFields())
        readings << m_boxes.value(field)->text();
    m_lblFeederSetting->setText(
        ColorFeederSheet::feederSetting(m_boxes.value(QStringLiteral("Shot Weight"))->text(),
                                        m_boxes.value(QStringLiteral("Usage Rate"))->text(), readings));
}

QString frmColorFeeder::feederSettingText() const
{
    return m_lblFeederSetting->text();
}

QMap<QString, QString> frmColorFeeder::typedTexts() const
{
    QMap<QString, QString> texts;
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        texts.insert(it.key(), it.value()->text());
    return texts;
}

void frmColorFeeder::newSheet()
{
    if (m_jobRow < 0 || !leaveSheet())
        return;
    try {
        const qint64 id = m_sheet->addPlaceholder(currentJob(), currentCode());
        const std::optional<ColorSheet> added = m_sheet->sheet(id);
        fillCodes(added ? added->values.value(QStringLiteral("Color Feeder Code")).toLongLong() : 0);
        for (int i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].id == id)
                showSheet(i);
        }
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), programTitle(), MsgIcon::Exclamation);
        return;
    }
    m_cmdNew->setEnabled(false);
    m_cmdSave->setEnabled(true);
    m_boxes.value(QStringLiteral("Color Feeder Code"))->setFocus();
}

bool frmColorFeeder::saveSheet(bool refresh)
{
    if (m_rowIndex < 0)
        return true;
    const ColorSheet original = m_rows[m_rowIndex];
    QString badField;
    ColorFeederSheet::SaveResult result;
    try {
        result = m_sheet->save(original, typedTexts(), badField);
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), programTitle(), MsgIcon::Exclamation);
        return false;
    }
    if (result == ColorFeederSheet::SaveResult::NotANumber) {
        m_session.prompter().tell(tr("%1 must be a number. The sheet was not saved.").arg(badField),
                                  programTitle(), MsgIcon::Exclamation);
        return false;
    }
    if (result == ColorFeederSheet::SaveResult::ChangedElsewhere ||
        result == ColorFeederSheet::SaveResult::Gone)
        m_session.prompter().tell(
            tr("This sheet was changed or deleted at another workstation since it was read. "
               "It has been read again; please make your changes once more."),
            programTitle(), MsgIcon::Exclamation);
    const std::optional<ColorSheet> saved = m_sheet->sheet(original.id);
    m_dirty = false;
    if (!refresh) {
        // The window moves on to other sheets at once; this one is read again when shown.
        if (saved)
            m_rows[m_rowIndex] = *saved;
        return result == ColorFeederSheet::SaveResult::Saved;
    }
    fillCodes(saved ? saved->values.value(QStringLiteral("Color Feeder Code")).toLongLong() : currentCode());
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == original.id)
            showSheet(i);
    }
    return result == ColorFeederSheet::SaveResult::Saved;
}

void frmColorFeeder::deleteSheet()
{
    if (m_rowIndex < 0)
        return;
    // A sheet lost to a stray click would be typed again from paper: ask first.
    const ColorSheet &row = m_rows[m_rowIndex];
    const MsgAnswer answer = m_session.prompter().ask(
        {tr("Delete the calibration sheet of color feeder %1 for job %2?")
             .arg(ColorFeederSheet::displayText(row.values.value(QStringLiteral("Color Feeder Code"))),
                  row.jobNumber),
         programTitle(), MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return;
    const std::optional<qint64> code = currentCode();
    try {
        m_sheet->remove(row.id);
    } catch (const DatabaseError &error) {
        m_session.prompter().tell(error.description(), programTitle(), MsgIcon::Exclamation);
        return;
    }
    m_dirty = false;
    fillCodes(code);
}

bool frmColorFeeder::leaveSheet()
{
    if (!m_dirty)
        return true;
    const MsgAnswer answer =
        m_session.prompter().ask({tr("Save the changes to this calibration sheet?"), programTitle(),
                                  MsgIcon::Question, MsgButtons::YesNoCancel});
    if (answer == MsgAnswer::Cancel)
        return false;
    if (answer == MsgAnswer::Yes)
        return saveSheet(false);
    m_dirty = false;
    return true;
}

void frmColorFeeder::closeEvent(QCloseEvent *event)
{
    if (!leaveSheet()) {
        event->ignore();
        return;
    }
    event->accept();
}

bool frmColorFeeder::eventFilter(QObject *watched, QEvent *event)
{
    // Entering a box selects its whole text, so that typing replaces it.
    if (event->type() == QEvent::FocusIn) {
        if (auto *box = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}
