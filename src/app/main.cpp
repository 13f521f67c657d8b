#include "shell/KelvaraApp.h"
#include "shell/MessageBoxPrompter.h"
#include "shell/Session.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    const auto app = KelvaraApp::createApplication(argc, argv);

    SystemClock clock;
    MessageBoxPrompter prompter;
    SystemIdentity identity;
    SystemPaths paths;
    FileOps fileOps;
    Session session({clock, prompter, identity, paths, fileOps}, std::make_unique<CKelvaraOptions>(paths));

    return KelvaraApp(session).run(QCoreApplication::arguments().mid(1));
}
