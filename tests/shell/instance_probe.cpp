// Starts the single-instance guard under the given server name, as a copy of the program would:
// exits 3 when it found a running copy (and asked it to come up), 0 when it is the first copy.
#include "shell/SingleInstance.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2)
        return 2;
    SingleInstance guard(app.arguments().at(1));
    return guard.start() == SingleInstance::Role::Second ? 3 : 0;
}
