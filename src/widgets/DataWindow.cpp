#include "DataWindow.h"

#include "DataWindowParts.h"
#include "EntryModel.h"
#include "GridColumns.h"
#include "WaitCursor.h"

#include "foundation/CKelvaraOptions.h"
#include "foundation/ChangeWatch.h"
#include "foundation/Session.h"
#include "foundation/SharedDatabase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTimer>
#include <algorithm>

DataWindow::DataWindow(Session &session, const QString &objectName, const QString &title, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    DataWindowParts::startWindow(this, objectName, title);
}

DataWindow::~DataWindow()
{
    // The subclass is gone already: only what this class holds is let go here.
    release();
}

bool DataWindow::load()
{
    WaitCursor wait;
    for (;;) {
        if (!m_db) {
            m_db = openSharedDatabase(m_session, QStringLiteral("Database Access Error"), this);
            if (!m_db) {
                close();
                return false;
            }
        }
        m_damage.reset();
        bool loaded = false;
        try {
            loaded = loadData();
        } catch (const KelvaraError &error) {
            if (error.number() != DbErrors::Damaged)
                throw;
            m_damage = error;
        }
        if (m_damage) {
            // What was read is incomplete and must not be shown (an empty date-shift invites
            // typing it all again): the file is repaired and the load starts over.
            if (repairAfterDamage())
                continue;
            return false;
        }
        if (!loaded) {
            releaseData();
            release();
            close();
            return false;
        }
        break;
    }
    countIn();
    if (!m_loaded) {
        for (const auto &[grid, section] : m_grids)
            GridColumns::restore(m_session.options(), section, grid);
    }
    m_loaded = true;
    placeInFrame();
    return true;
}

bool DataWindow::repairAndReopen()
{
    m_watch.reset(); // it asks the connection
    m_db.reset();
    const bool repaired = m_session.repairDatabase(this);
    m_db = openSharedDatabase(m_session);
    return repaired && m_db;
}

bool DataWindow::repairAfterDamage()
{
    releaseData();
    m_watch.reset(); // it asks the connection
    m_db.reset();
    if (m_session.repairDatabase(this))
        return true;
    if (!m_session.programEnding())
        reportFailure(QStringLiteral("Form_Load Event"), *m_damage);
    release();
    close();
    return false;
}

bool DataWindow::reload()
{
    releaseData();
    return load();
}

void DataWindow::countIn()
{
    if (m_counted)
        return;
    m_session.dataFormOpened();
    m_counted = true;
}

void DataWindow::addGrid(QTableView *grid, const QString &widthsSection)
{
    m_grids.append({grid, widthsSection});
}

void DataWindow::onDeleteKey(QTableView *grid, const std::function<void()> &remove)
{
    m_deleteKeys.append({grid, remove});
    grid->installEventFilter(this);
}

bool DataWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        for (const auto &[grid, remove] : m_deleteKeys) {
            // A key typed into a cell's editor belongs to the editor.
            const QWidget *focus = QApplication::focusWidget();
            if (watched == grid && (!focus || focus == grid)) {
                runCommand(remove);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool DataWindow::commitOpenEditor()
{
    for (const auto &[grid, section] : std::as_const(m_grids)) {
        const QModelIndex cell = grid->currentIndex();
        QWidget *editor = grid->indexWidget(cell);
        QAbstractItemDelegate *delegate = grid->itemDelegateForIndex(cell);
        if (!editor || !delegate)
            continue;
        auto *model = qobject_cast<EntryModel *>(grid->model());
        const int refusals = model ? model->refusals() : 0;
        // The delegate's own signals: the same path as the editor losing the focus when the cell
        // is left.
        emit delegate->commitData(editor);
        if (model && model->refusals() != refusals)
            return false;
        // The save may have rebuilt the grid and its editor with it.
        if (grid->indexWidget(grid->currentIndex()) == editor)
            emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    return true;
}

void DataWindow::runCommand(const std::function<void()> &command)
{
    if (commitOpenEditor())
        command();
}

void DataWindow::connectCommand(QAbstractButton *button, const std::function<void()> &command)
{
    connect(button, &QAbstractButton::clicked, this, [this, command] { runCommand(command); });
}

void DataWindow::watchModel(EntryModel *model, const QString &gridName)
{
    model->setFailureHandler([this, gridName](const QString &text, const QString &logDetail) {
        const QString where = QStringLiteral("%1, %2 ").arg(objectName(), gridName);
        // Without a text the user was already told in the model's own message: only the log.
        if (text.isEmpty())
            m_session.writeErrorLog(where + logDetail);
        else
            m_session.showSeriousError(where + text, logDetail);
    });
    // After the refusal was told: read the date-shift again, once the model is out of its save.
    connect(model, &EntryModel::protectionMet, this, &DataWindow::rereadAfterProtection,
            Qt::QueuedConnection);
}

void DataWindow::rereadAfterProtection()
{
    if (!isLoaded())
        return;
    discardUnsavedEntry();
    reload();
}

bool DataWindow::runStep(const QString &label, const std::function<void()> &work)
{
    // After damage was met nothing more is read or written: the load is started over once the
    // file is repaired.
    if (m_damage)
        return false;
    try {
        work();
        return true;
    } catch (const KelvaraError &error) {
        if (error.number() == DbErrors::Damaged) {
            m_damage = error;
            return false;
        }
        reportFailure(label.isEmpty() ? QStringLiteral("Form_Load Event")
                                      : QStringLiteral("Form_Load Event ") + label,
                      error);
    }
    return false;
}

void DataWindow::reportFailure(const QString &where, const KelvaraError &error)
{
    // A write the database refused because its date-shift is protected is no program failure.
    if (error.number() == DbErrors::Protected) {
        m_session.prompter().tell(error.description(), programTitle(), MsgIcon::Exclamation);
        QTimer::singleShot(0, this, &DataWindow::rereadAfterProtection); // once out of the handler
        return;
    }
    m_session.showSeriousError(QStringLiteral("%1, %2 %3").arg(objectName(), where, error.numberAndText()),
                               error.detail());
}

bool DataWindow::confirmDiscard()
{
    return !hasUnsavedEntry() || askDiscard();
}

bool DataWindow::askDiscard()
{
    const MsgAnswer answer =
        m_session.prompter().ask({tr("Are you sure you want to discard your changes?"),
                                  tr("Confirm Cancellation"), MsgIcon::Question, MsgButtons::YesNo});
    if (answer != MsgAnswer::Yes)
        return false;
    discardUnsavedEntry();
    return true;
}

void DataWindow::placeInFrame()
{
    auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (!frame)
        return;
    if (m_placement == Placement::Maximized) {
        frame->showMaximized();
    } else {
        frame->move(0, 0);
        frame->show();
    }
}

bool DataWindow::event(QEvent *event)
{
    // The main window puts the window into its frame after the load: it takes its place then.
    if (event->type() == QEvent::ParentChange && m_loaded)
        QTimer::singleShot(0, this, [this] { placeInFrame(); });
    return QWidget::event(event);
}

void DataWindow::closeEvent(QCloseEvent *event)
{
    if (m_loaded) {
        // What is typed is stored first; an entry that was refused is thrown away only when the
        // user agrees.
        const bool committed = commitOpenEditor();
        if (!(committed ? confirmDiscard() : askDiscard())) {
            event->ignore();
            return;
        }
        beforeUnload();
        releaseData();
    }
    release();
    event->accept();
}

void DataWindow::release()
{
    if (m_loaded) {
        CKelvaraOptions::Batch batch(m_session.options());
        for (const auto &[grid, section] : m_grids)
            GridColumns::save(m_session.options(), section, grid);
    }
    m_loaded = false;
    if (m_counted) {
        m_counted = false;
        m_session.dataFormClosed();
    }
    m_watch.reset(); // it asks the connection
    m_db.reset();
}

void DataWindow::watchChanges(const QStringList &tables, const DateShift &dateShift)
{
    m_watchedTables = tables;
    m_watchedDateShift = dateShift.isValid()
                             ? dateShift.sqlDate() + QLatin1Char('|') + QString::number(dateShift.shift)
                             : QString();
    m_watch.reset(); // a reload's: it would end the listening of the new one
    // A child of the window, so that a test driving the window from outside finds it to ask now.
    m_watch = std::make_unique<ChangeWatch>(db(), this);
    connect(m_watch.get(), &ChangeWatch::changed, this, &DataWindow::changeNoted);
}

qint64 DataWindow::editedKey(const QTableView *grid)
{
    const QModelIndex cell = grid->currentIndex();
    const auto *model = qobject_cast<const EntryModel *>(grid->model());
    if (!model || !cell.isValid() || !grid->indexWidget(cell))
        return 0;
    return std::max<qint64>(model->keyAt(cell.row()), 0);
}

void DataWindow::changeNoted(const QString &table, const QString &dateShift)
{
    if (!table.isEmpty() && !m_watchedTables.contains(table))
        return;
    if (!dateShift.isEmpty() && !m_watchedDateShift.isEmpty() && dateShift != m_watchedDateShift)
        return;
    // A hidden window (minimized, or behind a modal step) reads once, when it is shown again.
    if (!isVisible()) {
        m_refreshPending = true;
        return;
    }
    m_refreshPending = false;
    refreshData();
}

void DataWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_refreshPending && m_loaded) {
        m_refreshPending = false;
        refreshData();
    }
}
