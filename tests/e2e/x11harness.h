// SPDX-License-Identifier: GPL-3.0-or-later
// The harness of the end-to-end tests and the start-up benchmark: the real program and the tools that
// drive it (xdotool, xclip, ImageMagick) run as child processes against a private Xvfb. Header-only;
// needs Qt Core alone (QTest::qWait is QtCore's).
#pragma once

#include "testlocale.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <memory>
#include <vector>

#include <signal.h>

namespace x11harness {
// How long the program gets for anything a user waits for: a window to appear, a copy to be recorded.
constexpr int kWaitMs = 10000;
constexpr int kStartMs = 20000;

// Every child process runs with this environment: our display, the tests' locale (testlocale.h) and
// no desktop session, so Qt uses its generic theme.
inline QProcessEnvironment g_env;

// The variables that would tie a child to the desktop session, its theme, its display or a data folder.
inline const QStringList kSessionVariables{QStringLiteral("WAYLAND_DISPLAY"),
                                           QStringLiteral("XAUTHORITY"),
                                           QStringLiteral("XDG_CURRENT_DESKTOP"),
                                           QStringLiteral("XDG_SESSION_DESKTOP"),
                                           QStringLiteral("DESKTOP_SESSION"),
                                           QStringLiteral("KDE_FULL_SESSION"),
                                           QStringLiteral("GNOME_DESKTOP_SESSION_ID"),
                                           QStringLiteral("QT_QPA_PLATFORMTHEME"),
                                           QStringLiteral("QT_STYLE_OVERRIDE"),
                                           QStringLiteral("QT_SCALE_FACTOR"),
                                           QStringLiteral("VORNKIP_HOME")};

// Sets g_env to our own environment without the `unset` variables, on Qt's xcb platform, in the tests'
// locale and `runtimeDir` as XDG_RUNTIME_DIR. startXvfb() adds DISPLAY.
inline void setUpChildEnvironment(const QString &runtimeDir, const QStringList &unset = kSessionVariables)
{
    g_env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : unset)
        g_env.remove(name);
    g_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    testlocale::pin(g_env);
    g_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
}

inline bool haveTool(const QString &name)
{
    return !QStandardPaths::findExecutable(name).isEmpty();
}

struct Result
{
    int exitCode = -1; // -1: did not start, timed out or crashed
    QByteArray out;
};

// Runs a tool to completion; its stdin and stderr are /dev/null.
inline Result run(const QString &program, const QStringList &args, int timeoutMs = kWaitMs)
{
    QProcess p;
    p.setProcessEnvironment(g_env);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput()};
}

inline Result xdotool(const QStringList &args)
{
    return run(QStringLiteral("xdotool"), args);
}

// Starts Xvfb on the first free display from :first to :last (:90 to :120) and waits until it takes
// clients; puts the display in g_env. Returns the display name, or an empty string.
inline QString startXvfb(QProcess &server, int first = 90, int last = 120)
{
    for (int n = first; n <= last; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
            continue;
        const QString display = QStringLiteral(":%1").arg(n);
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(QProcess::nullDevice());
        server.start(QStringLiteral("Xvfb"),
                     {display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!server.waitForStarted())
            return {};
        g_env.insert(QStringLiteral("DISPLAY"), display);
        // A server that lost the display number to another one exits at once.
        for (int i = 0; i < 200 && !server.waitForFinished(50); ++i) {
            if (xdotool({QStringLiteral("getdisplaygeometry")}).exitCode == 0)
                return display;
        }
        server.kill();
        server.waitForFinished();
    }
    return {};
}

// Ends the server of startXvfb(): asks it to, and kills it when it has not ended within 5 s.
inline void stopXvfb(QProcess &server)
{
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished();
        }
    }
}

// main() of a test whose classes and own windows use a private server: the server is started before
// `run` makes the application and runs the test; its result, or 1 when the server did not start.
template <typename Run>
int onPrivateXvfb(Run run)
{
    QTemporaryDir runtime;
    setUpChildEnvironment(runtime.path());
    QProcess server;
    const QString display = startXvfb(server);
    if (display.isEmpty()) {
        qWarning("Xvfb did not start");
        return 1;
    }
    qputenv("DISPLAY", display.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    const int result = run();
    stopXvfb(server);
    return result;
}

// Sends a signal and waits for the end; the exit code, or -1 for a crash or no end.
inline int stop(QProcess *p, int signal)
{
    ::kill(static_cast<pid_t>(p->processId()), signal);
    if (!p->waitForFinished(kWaitMs))
        return -1;
    return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
}

// Kills the processes that are still running and forgets them all.
inline void killAll(std::vector<std::unique_ptr<QProcess>> &processes)
{
    for (const auto &p : processes) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished();
        }
    }
    processes.clear();
}

// Puts text on the clipboard from another program. xclip leaves a child owning the selection; it
// must not inherit our pipes, so its output goes to /dev/null.
inline bool copyText(const QByteArray &text)
{
    QProcess p;
    p.setProcessEnvironment(g_env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    if (!p.waitForStarted())
        return false;
    p.write(text);
    p.closeWriteChannel();
    return p.waitForFinished(kWaitMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline QString clipboardText()
{
    const Result r =
        run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
                                      QStringLiteral("-t"), QStringLiteral("UTF8_STRING")});
    return r.exitCode == 0 ? QString::fromUtf8(r.out) : QStringLiteral("<no text on the clipboard>");
}

// How deep below the root window the top-level windows are: 2 under a window manager, which puts each
// in a frame of its own.
inline int g_topLevelDepth = 1;

// Visible top-level windows matching all the given xdotool search criteria, bottom of the stack first.
inline QList<qulonglong> findWindows(const QStringList &criteria)
{
    QList<qulonglong> ids;
    const Result r =
        xdotool(QStringList{QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--maxdepth"), QString::number(g_topLevelDepth)} +
                criteria);
    for (const QByteArray &line : r.out.split('\n')) {
        if (const qulonglong id = line.trimmed().toULongLong())
            ids << id;
    }
    return ids;
}

inline qulonglong waitForWindow(const QStringList &criteria, int timeoutMs = kStartMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (const QList<qulonglong> ids = findWindows(criteria); !ids.isEmpty())
            return ids.first();
        QTest::qWait(50);
    }
    return 0;
}

inline QStringList ofProcess(const QProcess &p, const QStringList &more)
{
    return QStringList{QStringLiteral("--pid"), QString::number(p.processId())} + more;
}

inline QStringList mainWindowOf(const QProcess &p)
{
    return ofProcess(p, {QStringLiteral("--class"), QStringLiteral("^vornkip$")});
}

inline QRect windowGeometry(qulonglong window)
{
    QRect g;
    const Result r = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    for (const QByteArray &line : r.out.split('\n')) {
        const QList<QByteArray> kv = line.trimmed().split('=');
        if (kv.size() != 2)
            continue;
        if (kv[0] == "X")
            g.moveLeft(kv[1].toInt());
        else if (kv[0] == "Y")
            g.moveTop(kv[1].toInt());
        else if (kv[0] == "WIDTH")
            g.setWidth(kv[1].toInt());
        else if (kv[0] == "HEIGHT")
            g.setHeight(kv[1].toInt());
    }
    return g;
}

// Clicks at a point of the window's client area. With no window manager the window is not framed,
// so window and client coordinates are the same. The click also activates the window.
inline void click(qulonglong window, QPoint at)
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window), QString::number(at.x()),
             QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// Gives the window the keyboard focus and presses keys (xdotool key names, e.g. "Down", "ctrl+q").
inline void key(qulonglong window, const QString &keys)
{
    xdotool({QStringLiteral("windowfocus"), QString::number(window)});
    xdotool({QStringLiteral("key"), keys});
}

// Like key(), but waits until the window has the focus before pressing: without a window manager a
// window that has just been shown, or that lost the focus to a closed box, may not have it yet.
inline void keySync(qulonglong window, const QString &keys)
{
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)});
    xdotool({QStringLiteral("key"), keys});
}

// Clicks at a point of the screen with a mouse button (1 left, 3 right).
inline void clickScreen(QPoint at, int button = 1)
{
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
             QString::number(button)});
}

// The window's _NET_WM_STATE atoms (e.g. "_NET_WM_STATE_ABOVE"), as the window manager reads them.
inline QStringList netWmState(qulonglong window)
{
    const Result r =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_STATE")});
    const qsizetype eq = r.out.indexOf('=');
    if (eq < 0)
        return {};
    QStringList atoms;
    for (const QByteArray &atom : r.out.mid(eq + 1).split(','))
        atoms << QString::fromLatin1(atom.trimmed());
    return atoms;
}

// Starts another program's window for the paste tests (pasteclient, the program given) with that
// WM_CLASS class and gives it the focus; `window` gets its id. Null when it did not show.
inline std::unique_ptr<QProcess> startPasteClient(const QString &program, const QString &windowClass,
                                                  qulonglong *window)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(g_env);
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, {windowClass});
    while (!p->canReadLine() && p->waitForReadyRead(kWaitMs)) {
    }
    const QByteArray ready = p->readLine().trimmed();
    if (!ready.startsWith("ready "))
        return nullptr;
    *window = ready.mid(6).toULongLong();
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(*window)});
    return p;
}

// The text in the field of a startPasteClient() program; `keys` gets the keys it saw ("key Ctrl+V" lines).
inline QString pasteClientText(QProcess *client, QByteArray *keys)
{
    client->write("text\n");
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kWaitMs) {
        while (client->canReadLine()) {
            const QByteArray line = client->readLine();
            if (line.startsWith("text "))
                return QString::fromUtf8(QByteArray::fromBase64(line.mid(5).trimmed()));
            *keys += line;
        }
        client->waitForReadyRead(100);
    }
    return QStringLiteral("<no answer>");
}

// Saves a picture of the whole screen as <temp>/<prefix>-<name>.png and says where it is.
inline void saveScreen(const QString &prefix, const QString &name)
{
    const QString shot = QDir::tempPath() + QStringLiteral("/%1-%2.png").arg(prefix, name);
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), shot});
    qInfo("screen at the failure: %s", qPrintable(shot));
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace x11harness
