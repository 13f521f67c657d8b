// Another workstation with the program's own windows: the main window of a session on the given
// database, in a process of its own (started through OtherProcess, with its own HOME, TMPDIR and
// XDG folders), its date-shift Monday 12/07/2026 shift 1.
//   desk DATABASE LOGIN
// prints "ready", then runs one step for each line on stdin and answers each with one line, once
// the events the step caused have run:
//   open MENUITEM              the menu item (by object name) is triggered: "ok WINDOW"
//   activate WINDOW            the window's frame becomes the active one
//   goto GRID ROW COLUMN       the cursor goes to the active window's cell, with the focus
//   type TEXT                  TEXT pressed key by key into the focused widget
//   key KEY                    one key into the focused widget: Tab, Return, Escape or F2
//   click BUTTON               a mouse click on the active window's button
//   close                      the active window is closed as its OK button does
//   poll                       every window asks the database now whether another workstation stored
//   rows WINDOW GRID           the grid's row count
//   cell WINDOW GRID ROW COLUMN  the cell's text
//   checked WINDOW BOX         "1" when the check box is ticked, else "0"
//   editor                     the text of the focused line editor, "none" without one
//   messages                   the messages the program showed, joined by "|"
// An answer that starts with "error" names a step it could not run. The program ends when stdin
// does, with exit code 1 if it ever showed a message.
#include "TestSupport.h"

#include "foundation/ChangeWatch.h"
#include "production/ProductionWindows.h"
#include "shell/frmMain.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSocketNotifier>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <unistd.h>

namespace {
class Desk
{
public:
    Desk(const QString &database, const QString &login) : m_main(nullptr)
    {
        m_world.identity.set(login);
        m_world.session->networkUserName = login;
        m_world.session->options().setDatabaseName(database);
        m_world.session->securityLevel = QStringLiteral("C");
        m_world.clock.set(QDate(2026, 12, 7), QTime(10, 0));
        registerProductionWindows(m_registry);
        m_main = std::make_unique<frmMain>(*m_world.session, m_registry);
        // In place of the main window's date-shift dialog.
        m_world.session->setDateShiftChooser([this] {
            m_world.session->setCurrentDateShift({QDate(2026, 12, 7), 1});
        });
        m_main->applyMenuRights(QStringLiteral("C"));
        m_main->resize(1600, 1200); // every window whole, so that a click lands where it is aimed
        m_main->show();
        m_main->activateWindow();
        m_ready = QTest::qWaitForWindowActive(m_main.get());
    }

    QString run(const QStringList &step)
    {
        const QString verb = step.value(0);
        if (verb == QLatin1String("open")) {
            QAction *item = m_main->menuItem(step.value(1));
            if (!item)
                return QStringLiteral("error no menu item");
            item->trigger();
            settle();
            QWidget *opened = active();
            return opened ? QStringLiteral("ok ") + opened->objectName()
                          : QStringLiteral("error nothing opened");
        }
        if (verb == QLatin1String("activate")) {
            QWidget *shown = window(step.value(1));
            if (!shown)
                return QStringLiteral("error no window");
            m_main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(shown->parentWidget()));
            return settled();
        }
        if (verb == QLatin1String("goto")) {
            auto *grid = active() ? active()->findChild<QTableView *>(step.value(1)) : nullptr;
            if (!grid)
                return QStringLiteral("error no grid");
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(step.value(2).toInt(), step.value(3).toInt()));
            return settled();
        }
        if (verb == QLatin1String("type")) {
            // Each key goes where the focus is then: the first one may open a cell's editor.
            for (const QChar key : step.mid(1).join(QLatin1Char(' ')))
                QTest::keyClick(QApplication::focusWidget(), key.toLatin1());
            return settled();
        }
        if (verb == QLatin1String("key")) {
            static const QHash<QString, Qt::Key> keys{{QStringLiteral("Tab"), Qt::Key_Tab},
                                                      {QStringLiteral("Return"), Qt::Key_Return},
                                                      {QStringLiteral("Escape"), Qt::Key_Escape},
                                                      {QStringLiteral("F2"), Qt::Key_F2}};
            if (!keys.contains(step.value(1)))
                return QStringLiteral("error no such key");
            QTest::keyClick(QApplication::focusWidget(), keys.value(step.value(1)));
            return settled();
        }
        if (verb == QLatin1String("click")) {
            auto *button = active() ? active()->findChild<QAbstractButton *>(step.value(1)) : nullptr;
            if (!button)
                return QStringLiteral("error no button");
            // A check box takes a click on its box or its text only, not on the space beside them.
            const QPoint at = qobject_cast<QCheckBox *>(button)
                                  ? QPoint(button->height() / 2, button->height() / 2)
                                  : button->rect().center();
            QTest::mouseClick(button, Qt::LeftButton, {}, at);
            return settled();
        }
        if (verb == QLatin1String("close")) {
            if (!active())
                return QStringLiteral("error no window");
            active()->close();
            return settled();
        }
        if (verb == QLatin1String("poll")) {
            for (ChangeWatch *watch : m_main->findChildren<ChangeWatch *>())
                watch->poll();
            return settled();
        }
        if (verb == QLatin1String("rows") || verb == QLatin1String("cell")) {
            QWidget *shown = window(step.value(1));
            auto *grid = shown ? shown->findChild<QTableView *>(step.value(2)) : nullptr;
            if (!grid)
                return QStringLiteral("error no grid");
            if (verb == QLatin1String("rows"))
                return QString::number(grid->model()->rowCount());
            return grid->model()->index(step.value(3).toInt(), step.value(4).toInt()).data().toString();
        }
        if (verb == QLatin1String("checked")) {
            QWidget *shown = window(step.value(1));
            auto *box = shown ? shown->findChild<QCheckBox *>(step.value(2)) : nullptr;
            if (!box)
                return QStringLiteral("error no check box");
            return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        }
        if (verb == QLatin1String("editor")) {
            auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
            return edit ? edit->text() : QStringLiteral("none");
        }
        if (verb == QLatin1String("messages")) {
            QStringList texts;
            for (const PromptMessage &message : m_world.prompter.messages())
                texts << message.text;
            return texts.join(QLatin1Char('|'));
        }
        return QStringLiteral("error unknown step");
    }

    // The main window is shown and active: the keys typed reach its windows.
    bool ready() const { return m_ready; }
    bool showedMessages() const { return !m_world.prompter.messages().isEmpty(); }
    void closeAll() { m_main->mdiArea()->closeAllSubWindows(); }

private:
    QWidget *active() const
    {
        QMdiSubWindow *frame = m_main->mdiArea()->currentSubWindow();
        return frame ? frame->widget() : nullptr;
    }
    QWidget *window(const QString &name) const
    {
        for (QMdiSubWindow *frame : m_main->mdiArea()->subWindowList()) {
            if (frame->widget() && frame->widget()->objectName() == name)
                return frame->widget();
        }
        return nullptr;
    }
    // The events a step caused (queued re-reads, editors opened later) run before it is answered.
    static void settle() { QTest::qWait(30); }
    static QString settled()
    {
        settle();
        return QStringLiteral("ok");
    }

    TestWorld m_world;
    WindowRegistry m_registry;
    std::unique_ptr<frmMain> m_main;
    bool m_ready = false;
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    Desk desk(args[1], args[2]);
    std::printf(desk.ready() ? "ready\n" : "error the main window is not active\n");
    std::fflush(stdout);
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        // A step runs the event loop: the next lines wait until it is answered.
        input.setEnabled(false);
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            desk.closeAll();
            app.exit(desk.showedMessages() ? 1 : 0);
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            const QString answer = desk.run(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
            std::printf("%s\n", qPrintable(answer));
            std::fflush(stdout);
        }
        input.setEnabled(true);
    });
    return app.exec();
}
