// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/autostart.h"
#include "app/commandline.h"
#include "app/desktopshortcut.h"
#include "app/frmmain.h"
#include "app/mainrules.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "history/historycommand.h"
#include "platform/capturechoice.h"
#include "platform/captureclipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/globalshortcut.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/pastesender.h"
#include "platform/portalshortcut.h"
#include "platform/singleinstance.h"
#include "platform/sysinfo.h"
#include "platform/tray.h"
#include "platform/unixsignals.h"
#include "platform/waylandcapture.h"
#include "platform/waylandpaste.h"
#include "platform/x11capture.h"
#include "platform/x11paste.h"
#include "platform/x11shortcut.h"
#include "settings/modini.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <new>

#include <malloc.h>
#include <signal.h>

namespace {
// QT_LOGGING_RULES=vornkip.popup.debug=true traces the requests for the popup.
Q_LOGGING_CATEGORY(popupLog, "vornkip.popup", QtWarningMsg)

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

// A write that reaches the file-size limit (ulimit -f) fails with EFBIG, which every write handles (an
// entry is cut back and the user told), rather than ending the program in the middle of a line. A
// handler that does nothing, not SIG_IGN: the programs started from here get the default back.
void fileSizeLimitReached(int) {}

void surviveFileSizeLimit()
{
    struct sigaction action
    {
    };
    action.sa_handler = fileSizeLimitReached;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGXFSZ, &action, nullptr);
}

// A copy of hundreds of megabytes arrives in pieces of about a megabyte, each given back as soon as it
// is decoded. glibc raises its threshold for serving a block from its own mapping to the size of the
// last such block freed, after which those pieces come from the heap, whose freed middle stays
// resident: the copy would then need its bytes and its text at once. A fixed threshold keeps every
// large block a mapping of its own, returned to the system when freed.
void returnLargeBlocks()
{
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

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
// The texts of the user's language, for as long as this lives: the program's own (English from the
// embedded catalogue; the sources are Japanese) and the toolkit's, in the same language (the standard
// dialogs, the command line's headings). Made right after the application object, before any text.
class UiTexts final
{
public:
    UiTexts()
    {
        const auto language = mainrules::uiLanguage(QLocale::system().uiLanguages());
        const bool english = language == mainrules::Language::English;
        if (english && m_own.load(QStringLiteral(":/i18n/vornkip_en.qm")))
            QCoreApplication::installTranslator(&m_own);
        if (m_toolkit.load(QLocale(english ? QLocale::English : QLocale::Japanese), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&m_toolkit);
    }
    Q_DISABLE_COPY_MOVE(UiTexts)

private:
    QTranslator m_own;
    QTranslator m_toolkit;
};

void setIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("vornkip"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORNKIP_VERSION));
}

// Writes or removes the login entry; says what it did, or why it could not.
int switchAutostart(bool on)
{
    const QString path = autostart::entryPath(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
    try {
        if (on) {
            autostart::enable(path, QCoreApplication::applicationFilePath());
            std::printf("%s\n",
                        qPrintable(QCoreApplication::translate("Main", "ログイン時に起動します: %1").arg(path)));
        } else if (autostart::disable(path)) {
            std::printf(
                "%s\n",
                qPrintable(
                    QCoreApplication::translate("Main", "ログイン時の起動をやめました: %1 を削除しました").arg(path)));
        } else {
            std::printf("%s\n", qPrintable(QCoreApplication::translate(
                                               "Main", "ログイン時の起動は設定されていません: %1 はありません")
                                               .arg(path)));
        }
    } catch (const CommandError &e) {
        std::fprintf(stderr, "vornkip: %s\n",
                     qPrintable(QCoreApplication::translate("Main", "ログイン時の起動を設定できません: %1: %2")
                                    .arg(path, e.description)));
        return 1;
    }
    return 0;
}

// The data folder this start would use, without creating it.
QString existingDataFolder()
{
    return datafolder::resolve(qEnvironmentVariable("VORNKIP_HOME"), QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

// --shortcut install|remove: the desktop's own binding that runs `vornkip --popup`, with the keys of
// [Popup] Shortcut. Written through gsettings on GNOME; on sway and Hyprland the line to add is printed.
int switchShortcut(bool install)
{
    using namespace desktopshortcut;
    const QString folder = existingDataFolder();
    Settings settings = Settings::defaults(folder);
    if (fileio::exists(datafolder::settingsFile(folder))) {
        try {
            fileio::setDataFolder(folder);
            settings = iniRead(folder);
        } catch (const CommandError &e) {
            std::fprintf(stderr, "vornkip: %s\n", qPrintable(e.description));
            return 1;
        }
    }
    const QString keys = settings.popup.shortcut;
    if (install && keys.isEmpty()) {
        std::fprintf(stderr, "vornkip: %s\n",
                     qPrintable(QCoreApplication::translate(
                         "Main", "form.ini の [Popup] Shortcut が空なので、登録するキーがありません")));
        return 1;
    }
    const QString command = popupCommand(QCoreApplication::applicationFilePath());
    Kind kind = desktopKind(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), qEnvironmentVariableIsSet("SWAYSOCK"),
                            qEnvironmentVariableIsSet("HYPRLAND_INSTANCE_SIGNATURE"));
    // In a GNOME session on X11 the running bar grabs the key itself: a binding of the desktop's own on the
    // same key would take it from the bar, which would then say at every start that the key is taken.
    if (install && kind == Kind::Gnome && qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("x11"))
        kind = Kind::Other;
    const auto cannotWrite = [&keys](const char *desktop) {
        std::fprintf(stderr, "vornkip: %s\n",
                     qPrintable(QCoreApplication::translate("Main", "このキーは %1 で使えません: %2")
                                    .arg(QLatin1String(desktop), keys)));
        return 1;
    };
    switch (kind) {
    case Kind::Gnome: {
        const Gsettings gsettings = [](const QStringList &arguments, QString *error) {
            return runToEnd(QStringLiteral("gsettings"), arguments, error);
        };
        QString error;
        if (install) {
            const QString gnome = gnomeKeys(keys);
            if (gnome.isEmpty())
                return cannotWrite("GNOME");
            if (!installGnome(gsettings, command, gnome, &error)) {
                std::fprintf(stderr, "vornkip: %s\n",
                             qPrintable(QCoreApplication::translate(
                                            "Main", "GNOME のキーボードショートカットを登録できません: %1")
                                            .arg(error)));
                return 1;
            }
            std::printf("%s\n",
                        qPrintable(QCoreApplication::translate(
                                       "Main", "GNOME のキーボードショートカットに登録しました: %1 で %2 を実行します")
                                       .arg(keys, command)));
            return 0;
        }
        bool wasThere = false;
        if (!removeGnome(gsettings, &wasThere, &error)) {
            std::fprintf(
                stderr, "vornkip: %s\n",
                qPrintable(QCoreApplication::translate("Main", "GNOME のキーボードショートカットを削除できません: %1")
                               .arg(error)));
            return 1;
        }
        std::printf("%s\n",
                    qPrintable(wasThere ? QCoreApplication::translate(
                                              "Main", "GNOME のキーボードショートカットから削除しました")
                                        : QCoreApplication::translate(
                                              "Main", "GNOME のキーボードショートカットには登録されていません")));
        return 0;
    }
    case Kind::Sway: {
        const QString sway = swayKeys(keys);
        if (sway.isEmpty())
            return cannotWrite("sway");
        std::printf(
            "%s\n",
            qPrintable(
                install
                    ? QCoreApplication::translate(
                          "Main",
                          "sway の設定ファイル (~/.config/sway/config) に次の行を加えて、swaymsg reload で読み直して"
                          "ください:")
                    : QCoreApplication::translate(
                          "Main",
                          "sway の設定ファイル (~/.config/sway/config) から次の行を削除して、swaymsg reload で読み"
                          "直してください:")));
        std::printf("bindsym %s exec %s\n", qPrintable(sway), qPrintable(command));
        return 0;
    }
    case Kind::Hyprland: {
        const QString hyprland = hyprlandKeys(keys);
        if (hyprland.isEmpty())
            return cannotWrite("Hyprland");
        std::printf(
            "%s\n",
            qPrintable(
                install
                    ? QCoreApplication::translate(
                          "Main", "Hyprland の設定ファイル (~/.config/hypr/hyprland.conf) に次の行を加えてください:")
                    : QCoreApplication::translate(
                          "Main",
                          "Hyprland の設定ファイル (~/.config/hypr/hyprland.conf) から次の行を削除してください:")));
        std::printf("bind = %s, exec, %s\n", qPrintable(hyprland), qPrintable(command));
        return 0;
    }
    case Kind::Other:
        break;
    }
    // The whole sentence for each way: a translation may need to word the two differently.
    const QString named = keys.isEmpty() ? QCoreApplication::translate("Main", "ショートカット") : keys;
    std::printf(
        "%s\n%s\n",
        qPrintable(
            (install ? QCoreApplication::translate(
                           "Main",
                           "このデスクトップには登録できません。X11 と KDE Plasma では、起動中の Vornkip が %1 を自分で"
                           "使います。ほかのデスクトップでは、キーボードの設定で次のコマンドを実行するショートカットを"
                           "追加してください:")
                     : QCoreApplication::translate(
                           "Main",
                           "このデスクトップには登録できません。X11 と KDE Plasma では、起動中の Vornkip が %1 を自分で"
                           "使います。ほかのデスクトップでは、キーボードの設定で次のコマンドを実行するショートカットを"
                           "削除してください:"))
                .arg(named)),
        qPrintable(command));
    return 0;
}

// --sync-folder PATH|off: form.ini's [Sync] Folder, in the data folder this start would use (made when
// missing). A copy that is running reads it again at once; the socket is asked rather than the file
// watched, since the running copy writes form.ini itself and an atomic replace would need the watch
// set again each time.
int switchSyncFolder(const QString &sharedFolder)
{
    QString folder;
    try {
        folder = datafolder::prepare(QCoreApplication::applicationDirPath());
        iniWriteSyncFolder(folder, sharedFolder);
    } catch (const CommandError &e) {
        std::fprintf(
            stderr, "vornkip: %s\n",
            qPrintable(QCoreApplication::translate("Main", "履歴の共有を設定できません: %1").arg(e.description)));
        return 1;
    }
    std::printf("%s\n",
                qPrintable(sharedFolder.isEmpty()
                               ? QCoreApplication::translate("Main", "履歴の共有をやめました")
                               : QCoreApplication::translate("Main", "履歴を %1 で共有します").arg(sharedFolder)));
    if (LockFileInstance(folder).syncChangedRunning())
        std::printf("%s\n", qPrintable(QCoreApplication::translate("Main", "起動中の Vornkip に伝えました")));
    return 0;
}

// --list, --print, --search: the history file of the data folder this start would use, read as it is (the
// folder is not created, the file not locked: the bar may be running). Bytes go to stdout as they are
// found, UTF-8 whatever the locale; the status is grep's.
int showHistory(const CommandLine &commandLine)
{
    const QString folder = existingDataFolder();
    // As for the bar, the history is never read through a symbolic link planted in the folder.
    fileio::setDataFolder(folder);
    const QString path = datafolder::historyFile(folder);
    const historycommand::Output out = [](QByteArrayView bytes) {
        return bytes.isEmpty() || std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout) ==
                                      static_cast<size_t>(bytes.size());
    };
    QString error;
    historycommand::Status status = historycommand::NotFound;
    switch (commandLine.action()) {
    case CommandLine::Action::List:
        status = historycommand::list(path, commandLine.listCount(), out, &error);
        break;
    case CommandLine::Action::Print:
        status = historycommand::print(path, commandLine.printNumber(), out, &error);
        break;
    case CommandLine::Action::Search:
        status = historycommand::search(path, commandLine.searchText(), commandLine.searchOptions(), out, &error);
        break;
    default:
        break;
    }
    if (std::fflush(stdout) != 0 && status != historycommand::Failed) {
        status = historycommand::Failed;
        error = QCoreApplication::translate("Main", "出力に書き込めません");
    }
    if (status == historycommand::Failed)
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(error));
    return status;
}

// What the command line asks for instead of the bar; needs no display.
int runCommand(int argc, char *argv[], const CommandLine &commandLine)
{
    QCoreApplication app(argc, argv);
    setIdentity();
    const UiTexts texts;
    if (commandLine.action() == CommandLine::Action::Usage) {
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(commandLine.error()));
        return 2;
    }
    switch (commandLine.action()) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("%s\n", qPrintable(CommandLine::versionText()));
        return 0;
    case CommandLine::Action::Autostart:
        return switchAutostart(commandLine.autostartOn());
    case CommandLine::Action::Shortcut:
        return switchShortcut(commandLine.shortcutInstall());
    case CommandLine::Action::SyncFolder:
        return switchSyncFolder(commandLine.syncFolder());
    case CommandLine::Action::List:
    case CommandLine::Action::Print:
    case CommandLine::Action::Search:
        return showHistory(commandLine);
    case CommandLine::Action::Start:
    case CommandLine::Action::Popup:
    case CommandLine::Action::Usage:
        break;
    }
    return 0;
}

// `--popup` is what a desktop's key binding runs: a copy already running is asked before the windowing
// system is set up here at all, which would cost the user tens of milliseconds. False when none answers;
// the start then goes on as usual and asks again once it holds the lock or knows who does.
bool askRunningCopyForPopup(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    setIdentity();
    // Only looked up: a folder that is not there has no copy running, and is the start's to make.
    const QString folder = existingDataFolder();
    return QFileInfo(folder).isDir() && LockFileInstance(folder).popupRunning();
}
} // namespace

int main(int argc, char *argv[])
{
    surviveFileSizeLimit();
    returnLargeBlocks();
    CommandLine commandLine;
    {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        commandLine.parse(arguments);
    }
    if (commandLine.action() != CommandLine::Action::Start && commandLine.action() != CommandLine::Action::Popup)
        return runCommand(argc, argv, commandLine);

    if (commandLine.action() == CommandLine::Action::Popup && askRunningCopyForPopup(argc, argv))
        return 0;
    if (!displayAvailable()) {
        std::fputs("vornkip: no display available (DISPLAY and WAYLAND_DISPLAY are not set)\n", stderr);
        return 1;
    }
    PlatformChoice platformChoice;
    defaultMessages = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    platformChoice.release();
    qInstallMessageHandler(defaultMessages);
    setIdentity();
    // The desktop matches the windows to the installed entry (its name and icon in task lists).
    QGuiApplication::setDesktopFileName(QLatin1String(applicationId));
    QApplication::setQuitOnLastWindowClosed(false);
    const UiTexts texts;

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

    // --popup with a copy running only asks that copy, before anything else is set up: it is what a
    // desktop's key binding runs. When the lock is ours, the start goes on holding it.
    LockFileInstance instance(folder);
    if (commandLine.action() == CommandLine::Action::Popup) {
        try {
            if (!instance.acquire()) {
                if (instance.popupRunning())
                    return 0;
                std::fprintf(stderr, "vornkip: %s\n",
                             qPrintable(QCoreApplication::translate("Main", "起動中の Vornkip に届きません")));
                return 1;
            }
        } catch (const CommandError &e) {
            messages.showError(nullptr, e);
            return 1;
        }
    }

    // Copies are watched from a thread of their own; said once when they cannot be seen at all.
    ClipboardContent initialClipboard;
    QString captureProblem;
    const CaptureSession session = CaptureSession::current();
    std::unique_ptr<CaptureBackend> capture =
        startCaptureBackend(session, makeWaylandCapture, makeX11Capture, &initialClipboard, &captureProblem);
    if (!captureProblem.isEmpty())
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(captureProblem));
    CaptureClipboard clipboard(std::move(capture), initialClipboard);
    messages.setClipboard(clipboard);
    QtTrayIcon tray;
    QtFileDialogs dialogs(clipboard);
    LinuxDesktop desktop;
    LinuxSystemInfo system;
    // The popup's shortcut and paste: the desktop portal's shortcut on Wayland where it offers one, else
    // a key grab wherever there is an X display (on a Wayland desktop it acts while an X11 window has the
    // focus); keys typed by a virtual keyboard on Wayland (wlroots compositors offer one), through XTest
    // on X11. Where neither can, the popup asks the user to paste. A portal that binds nothing leaves
    // the keys to the grab when there is an X display.
    std::unique_ptr<GlobalShortcut> shortcut;
    if (session.wayland && PortalGlobalShortcut::available()) {
        auto portal = std::make_unique<PortalGlobalShortcut>();
        if (session.x11)
            portal->setFallback(std::make_unique<X11GlobalShortcut>());
        shortcut = std::move(portal);
    } else if (session.x11)
        shortcut = std::make_unique<X11GlobalShortcut>();
    else
        shortcut = std::make_unique<NoGlobalShortcut>();
    std::unique_ptr<PasteSender> paste;
    if (session.wayland)
        paste = std::make_unique<WaylandPasteSender>();
    else if (session.x11)
        paste = std::make_unique<X11PasteSender>();
    else
        paste = std::make_unique<NoPaste>();
    const Platform platform{messages, clipboard, tray, instance, dialogs, desktop, system, *shortcut, *paste};

    // Out of memory while the program starts (a history too large for the memory there is) ends the
    // start in the error box; the history file has not been written to.
    std::unique_ptr<frmMain> window;
    try {
        window = std::make_unique<frmMain>(platform, folder, commandLine.reset());
        if (commandLine.action() == CommandLine::Action::Popup)
            window->openPopupAfterStart();
        // Connected before the start sequence: a signal that arrives while one of its boxes is open
        // closes the box, and the program ends once started.
        QObject::connect(&unixSignals, &UnixSignals::terminateRequested, window.get(), &frmMain::requestShutdown);
        QObject::connect(&app, &QGuiApplication::commitDataRequest, window.get(), &frmMain::sessionEnding);
        if (!window->Form_Load())
            return 0;
    } catch (const CommandError &e) { // the lock could not be taken
        messages.showError(nullptr, e);
        return 1;
    } catch (const std::bad_alloc &) {
        window.reset();
        messages.showError(nullptr, commandError(ErrorNumber::OutOfMemory));
        return 1;
    }
    frmMain *mainWindow = window.get();
    QObject::connect(&instance, &SingleInstance::activationRequested, mainWindow, [mainWindow] {
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    });
    QObject::connect(mainWindow, &frmMain::popupRequested, mainWindow,
                     [] { qCDebug(popupLog, "vornkip: the popup is asked for"); });
    // The end of the desktop session quits the application: keep the history, ask nothing.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, mainWindow,
                     [mainWindow] { mainWindow->Form_Unload(false); });
    mainWindow->showAtStart();
    return app.exec();
}
