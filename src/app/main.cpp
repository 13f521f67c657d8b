#include "shell/MessageBoxPrompter.h"
#include "shell/Session.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvara"));

    SystemClock clock;
    MessageBoxPrompter prompter;
    SystemIdentity identity;
    SystemPaths paths;
    FileOps fileOps;
    Session session({clock, prompter, identity, paths, fileOps}, std::make_unique<CKelvaraOptions>(paths));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quorvel Plastics Kelvara"));
    window.show();
    return app.exec();
}
