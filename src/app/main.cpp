#include "app/frmmain.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/singleinstance.h"
#include "platform/sysinfo.h"
#include "platform/tray.h"
#include "platform/unixsignals.h"

#include <QApplication>
#include <QComboBox>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
    QApplication::setApplicationName(QStringLiteral("vornkip"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Every text the user sees is Japanese, the standard dialogs' included.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    QString folder;
    try {
        folder = datafolder::prepare(QCoreApplication::applicationDirPath());
    } catch (const CommandError &e) {
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(e.description));
        return 1;
    }

    UnixSignals unixSignals;
    QtMessageService messages;
    QtClipboard clipboard;
    QtTrayIcon tray;
    LockFileInstance instance(folder);
    QtFileDialogs dialogs;
    LinuxDesktop desktop;
    LinuxSystemInfo system;
    const Platform platform{&messages, &clipboard, &tray, &instance, &dialogs, &desktop, &system};

    frmMain window(platform, folder, QCoreApplication::arguments().mid(1));
    // Connected before the start sequence: a signal that arrives while one of its boxes is open closes
    // the box, and the program ends once started.
    QObject::connect(&unixSignals, &UnixSignals::terminateRequested, &window, &frmMain::requestShutdown);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &frmMain::sessionEnding);
    if (!window.Form_Load())
        return 0;
    QObject::connect(&unixSignals, &UnixSignals::activateRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });
    // The end of the desktop session quits the application: keep the history, ask nothing.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.Form_Unload(false); });
    window.show();
    window.activateWindow();
    window.combo1()->setFocus();
    return app.exec();
}
