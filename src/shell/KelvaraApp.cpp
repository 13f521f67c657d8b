#include "KelvaraApp.h"

#include "CommandLine.h"
#include "DatabaseSetup.h"
#include "MachineCommands.h"
#include "SingleInstance.h"
#include "foundation/Session.h"
#include "frmFirstStart.h"
#include "frmMain.h"
#include "machines/SampleMachines.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

namespace {
QtMessageHandler g_qtHandler = nullptr;

// Notices of Qt that say nothing to whoever reads what a run without a window prints (the journal,
// cron's mail): that there is no runtime folder, which such a run never uses, and that a font
// lacks the tables of a script (the text is drawn with another font).
bool unmeant(const QString &message)
{
    return message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")) ||
           message.trimmed().startsWith(QLatin1String("OpenType support missing"));
}

void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && unmeant(message))
        return;
    g_qtHandler(type, context, message);
}
} // namespace

std::unique_ptr<QCoreApplication> KelvaraApp::createApplication(int &argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    std::unique_ptr<QCoreApplication> app;
    const CommandLine::Mode mode = CommandLine(arguments).mode();
    if (mode != CommandLine::Mode::Run && mode != CommandLine::Mode::RunSample)
        g_qtHandler = qInstallMessageHandler(quietHandler);
    if (mode == CommandLine::Mode::Run || mode == CommandLine::Mode::RunSample) {
        app = std::make_unique<QApplication>(argc, argv);
        setProgramIcon();
    } else if (mode == CommandLine::Mode::Report) {
        // reports need fonts and a paint engine, not a screen
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("Kelvara"));
    return app;
}

void KelvaraApp::setProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kelvara-%1.png").arg(size), QSize(size, size));
    QGuiApplication::setWindowIcon(icon);
    // The desktop finds the program's entry (and with it the icon of its panel button) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("kelvara"));
}

int KelvaraApp::run(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const CommandLine commandLine(arguments);
    if (commandLine.mode() != CommandLine::Mode::Help) {
        if (const std::optional<int> exit = MachineCommands::run(m_session, arguments, out, err))
            return *exit;
    }
    switch (commandLine.mode()) {
    case CommandLine::Mode::Invalid:
        err << commandLine.error() << '\n' << CommandLine::usage();
        return 2;
    case CommandLine::Mode::CreateDatabase:
        return commandLine.createDatabase(m_session, out, err);
    case CommandLine::Mode::CopyDatabase:
        return commandLine.copyDatabase(out, err);
    case CommandLine::Mode::SetupServer:
        return commandLine.setupServer(m_session, out, err);
    case CommandLine::Mode::VerifyHistory:
        return commandLine.verifyHistory(m_session, out, err);
    case CommandLine::Mode::Help:
        out << CommandLine::usage() << MachineCommands::usage();
        return 0;
    case CommandLine::Mode::Version:
        out << CommandLine::versionText(m_session, commandLine.verbose());
        return 0;
    case CommandLine::Mode::Report:
        return commandLine.report().run(m_session, out, err);
    case CommandLine::Mode::Run:
    case CommandLine::Mode::RunSample:
        break;
    }

    SingleInstance guard(SingleInstance::serverNameFor(m_session.identity().userName()));
    if (guard.start() == SingleInstance::Role::Second)
        return 0;
    if (!prepareDatabase(commandLine.mode() == CommandLine::Mode::RunSample))
        return 1;
    const std::unique_ptr<SimulatedPlant> sampleMachines =
        commandLine.mode() == CommandLine::Mode::RunSample ? startSampleMachines() : nullptr;

    frmMain window(m_session, m_registry);
    QObject::connect(&guard, &SingleInstance::activateRequested, &window, &frmMain::activate);
    // Ending at once, or the desktop session closing the program, still records that the user
    // has left (leaving twice stamps nothing more).
    m_session.setEndProgramHandler([&window](int code) {
        window.presence().leave();
        std::exit(code);
    });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &window, [&window] { window.presence().leave(); });
    if (!window.load())
        return window.exitCode();
    window.showMaximized();
    return QCoreApplication::exec();
}

// The sample plant's machines are simulated beside it, so that Read Counters has something to read.
std::unique_ptr<SimulatedPlant> KelvaraApp::startSampleMachines()
{
    const QString path = DatabaseSetup::samplePath(m_session.paths());
    try {
        Database db = Database::open(path);
        return SampleMachines::start(db, QFileInfo(path).dir().filePath(QStringLiteral("machines")));
    } catch (const KelvaraError &) {
        return nullptr; // the plant runs without them; Read Counters says no machine is connected
    }
}

bool KelvaraApp::prepareDatabase(bool sample)
{
    const DatabaseSetup::Start start = DatabaseSetup::prepareStart(m_session, sample);
    switch (start.need) {
    case DatabaseSetup::Start::Need::Ready:
        return true;
    case DatabaseSetup::Start::Need::Failed:
        m_session.prompter().tell(start.failure, programTitle(), MsgIcon::Critical);
        return false;
    case DatabaseSetup::Start::Need::FirstStart:
        break;
    }
    frmFirstStart firstStart(m_session, start.missingPath);
    return firstStart.exec() == QDialog::Accepted;
}
