#include "StartupBench.h"

#include "Program.h"
#include "shell/MenuLayout.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {
// Notes the first paint of a widget of the window named frmMain, says so, and ends the run.
class ShownExit : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window()->objectName() == QLatin1String("frmMain")) {
            m_seen = true;
            std::printf("shown\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

void watchForTheMainWindow()
{
    qApp->installEventFilter(new ShownExit);
}

int bareWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    watchForTheMainWindow();
    QMainWindow window;
    window.setObjectName(QStringLiteral("frmMain"));
    window.setCentralWidget(new QMdiArea(&window));
    for (const Menu &layout : MenuLayout::menus()) {
        QMenu *menu = window.menuBar()->addMenu(layout.caption);
        for (const MenuItem &item : layout.items) {
            if (item.caption.isEmpty()) {
                menu->addSeparator();
                continue;
            }
            QAction *action = menu->addAction(item.caption);
            action->setShortcut(QKeySequence(item.shortcut));
        }
    }
    window.showMaximized();
    return QApplication::exec();
}

QProcessEnvironment childEnvironment(const QString &folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"home", "tmp", "config", "data", "runtime"})
        QDir().mkpath(folder + QLatin1Char('/') + QLatin1String(name));
    QFile::setPermissions(folder + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("HOME"), folder + QStringLiteral("/home"));
    env.insert(QStringLiteral("TMPDIR"), folder + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), folder + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder + QStringLiteral("/runtime"));
    return env;
}

// Milliseconds from the process started to its main window painted; negative when it did not show.
double startOnce(const QString &benchProgram, const QStringList &arguments, const QProcessEnvironment &env,
                 int timeoutMsecs)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(benchProgram, arguments);
    double shown = -1;
    while (shown < 0 && timer.elapsed() < timeoutMsecs && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(10);
        if (process.canReadLine() && process.readLine().trimmed() == "shown")
            shown = timer.nsecsElapsed() / 1e6;
    }
    if (!process.waitForFinished(10000)) {
        process.kill(); // our own child only
        process.waitForFinished(2000);
    }
    return shown;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values[values.size() / 2];
}
} // namespace

int StartupBench::child(int argc, char *argv[], const char *which)
{
    // The child's own arguments follow the mode: the program sees only those.
    std::vector<char *> rest{argv[0]};
    for (int i = 3; i < argc; ++i)
        rest.push_back(argv[i]);
    int count = int(rest.size());
    rest.push_back(nullptr);
    if (qstrcmp(which, "bare") == 0)
        return bareWindow(count, rest.data());
    qAddPreRoutine(watchForTheMainWindow);
    return runProgram(count, rest.data());
}

void StartupBench::run(const QString &benchProgram, const QString &folder)
{
    const QProcessEnvironment env = childEnvironment(folder);
    // The first start makes the sample plant and names it in the settings; later starts open it.
    if (startOnce(benchProgram,
                  {QStringLiteral("--startup-child"), QStringLiteral("program"), QStringLiteral("--sample")},
                  env, 120000) < 0) {
        std::printf("the program did not show its main window\n");
        return;
    }
    QList<double> program, bare;
    for (int round = 0; round < 7; ++round) {
        program << startOnce(benchProgram, {QStringLiteral("--startup-child"), QStringLiteral("program")},
                             env, 30000);
        bare << startOnce(benchProgram, {QStringLiteral("--startup-child"), QStringLiteral("bare")}, env,
                          30000);
    }
    const double p = median(program), b = median(bare);
    std::printf("start-up to the main window painted (median of 7, ms): Kelvara %.1f, bare MDI window with "
                "the same menus %.1f, ratio %.2f (target <= 1.3)\n",
                p, b, b > 0 ? p / b : 0.0);
}
