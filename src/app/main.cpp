#include "app/mainwindow.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "settings/modini.h"

#include <QApplication>

#include <cstdio>

namespace {
bool displayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fputs("vornkip: no display available (DISPLAY and WAYLAND_DISPLAY are not set)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QString folder;
    try {
        folder = datafolder::prepare(QCoreApplication::applicationDirPath());
        iniRead(folder);
    } catch (const CommandError &e) {
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(e.description));
        return 1;
    }
    MainWindow window;
    window.show();
    return app.exec();
}
