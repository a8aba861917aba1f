#include "app/frmmain.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "platform/capturechoice.h"
#include "platform/captureclipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/modal.h"
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
#include <cstdlib>

namespace {
bool displayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The windows run on X11 whenever there is an X display, XWayland included: they are placed, kept on top
// and put back where they were, which a native Wayland client may not do. Native Wayland only without
// one. A platform the user named is kept. The choice is for this process alone: it is taken back out of
// the environment once the application object exists, so the programs Vornkip starts choose their own.
class PlatformChoice
{
public:
    PlatformChoice()
    {
        if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            return;
        if (!qEnvironmentVariableIsEmpty("DISPLAY"))
            m_set = qputenv("QT_QPA_PLATFORM", "xcb");
        else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            m_set = qputenv("QT_QPA_PLATFORM", "wayland");
    }
    void release()
    {
        if (m_set)
            qunsetenv("QT_QPA_PLATFORM");
        m_set = false;
    }

private:
    bool m_set = false;
};

QtMessageHandler defaultMessages = nullptr;

// While the application object is made, Qt ends the process with abort() when the display cannot be
// reached (a DISPLAY naming a server that is gone): say so in one line and exit instead.
void startupMessages(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        defaultMessages(type, context, text);
        return;
    }
    std::fprintf(stderr, "vornkip: no window can be shown: %s\n", qPrintable(text.section(QLatin1Char('\n'), 0, 0)));
    std::fflush(stderr);
    std::_Exit(1);
}
} // namespace

int main(int argc, char *argv[])
{
    if (!displayAvailable()) {
        std::fputs("vornkip: no display available (DISPLAY and WAYLAND_DISPLAY are not set)\n", stderr);
        return 1;
    }
    PlatformChoice platformChoice;
    defaultMessages = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    platformChoice.release();
    qInstallMessageHandler(defaultMessages);
    QApplication::setApplicationName(QStringLiteral("vornkip"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Every text the user sees is Japanese, the standard dialogs' included.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // A request to end the program closes any box first; until the main window exists that is all.
    UnixSignals unixSignals;
    QObject::connect(&unixSignals, &UnixSignals::terminateRequested, &app, &modal::closeAll);

    // A start that cannot go on says why in the error box and ends with a failure status.
    QtMessageService messages;
    QString folder;
    try {
        folder = datafolder::prepare(QCoreApplication::applicationDirPath());
    } catch (const CommandError &e) {
        messages.showError(nullptr, e);
        return 1;
    }

    // Copies are watched from a thread of their own; said once when they cannot be seen at all.
    ClipboardContent initialClipboard;
    QString captureProblem;
    std::unique_ptr<CaptureBackend> capture = startCaptureBackend(&initialClipboard, &captureProblem);
    if (!captureProblem.isEmpty())
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(captureProblem));
    CaptureClipboard clipboard(std::move(capture), initialClipboard);
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
    try {
        if (!window.Form_Load())
            return 0;
    } catch (const CommandError &e) { // the lock could not be taken
        messages.showError(nullptr, e);
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, [&window] {
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
