// SPDX-License-Identifier: GPL-3.0-or-later
// A private Wayland session for tests: sway on its headless back-end with XWayland, and helpers for
// the clients that run in it (wl-copy, wl-paste, the program). Header-only; needs Qt Core alone.
//
// sway refuses to run as root. When the tests run as root (as they do in CI) sway runs as the
// unprivileged system account kUser, created here when it is missing, with a runtime folder of its
// own (mode 0700). The clients stay root: root may open the compositor's socket, which they reach by
// its absolute path in WAYLAND_DISPLAY, and they keep a runtime folder of their own.
#pragma once

#include "testlocale.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <utility>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace swayharness {
constexpr int kWaitMs = 10000;
inline const QString kUser = QStringLiteral("vornkip-test");

inline bool haveSway()
{
    return !QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("wl-copy")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("wl-paste")).isEmpty();
}

// The account sway runs as when we are root, created when missing; false when there is none.
inline bool unprivilegedAccount(uid_t *uid, gid_t *gid)
{
    passwd *pw = getpwnam(qPrintable(kUser));
    if (!pw) {
        QProcess add;
        add.setProcessChannelMode(QProcess::ForwardedChannels);
        add.start(QStringLiteral("useradd"), {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                                              QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), kUser});
        add.waitForFinished(kWaitMs);
        pw = getpwnam(qPrintable(kUser));
    }
    if (!pw)
        return false;
    *uid = pw->pw_uid;
    *gid = pw->pw_gid;
    return true;
}

// The variables that would tie a client to the desktop the tests were started from.
inline const QStringList kSessionVariables{
    QStringLiteral("DISPLAY"),          QStringLiteral("WAYLAND_DISPLAY"),      QStringLiteral("XAUTHORITY"),
    QStringLiteral("SWAYSOCK"),         QStringLiteral("XDG_CURRENT_DESKTOP"),  QStringLiteral("XDG_SESSION_DESKTOP"),
    QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("DESKTOP_SESSION"),      QStringLiteral("KDE_FULL_SESSION"),
    QStringLiteral("QT_QPA_PLATFORM"),  QStringLiteral("QT_QPA_PLATFORMTHEME"), QStringLiteral("QT_STYLE_OVERRIDE"),
    QStringLiteral("QT_SCALE_FACTOR"),  QStringLiteral("VORNKIP_HOME"),         QStringLiteral("XDG_RUNTIME_DIR")};

class Session
{
public:
    Session() = default;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;
    ~Session() { stop(); }

    // Starts sway and waits for its Wayland socket and its X display. Empty on success, else why not.
    QString start()
    {
        if (!m_dir.isValid() || !m_clientRuntime.isValid())
            return QStringLiteral("no temporary folder");
        const QString dir = m_dir.path();
        QFile config(dir + QStringLiteral("/config"));
        QFile announce(dir + QStringLiteral("/announce.sh"));
        // sway passes its children the session's variables: the script reports them to us.
        if (!config.open(QIODevice::WriteOnly) || !announce.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write the configuration");
        config.write("xwayland enable\n"
                     "output HEADLESS-1 resolution 1280x800\n"
                     "exec sh " +
                     QFile::encodeName(announce.fileName()) + "\n");
        announce.write("printf '%s\\n%s\\n%s\\n' \"$WAYLAND_DISPLAY\" \"$DISPLAY\" \"$SWAYSOCK\" "
                       "> \"$XDG_RUNTIME_DIR/session.tmp\"\n"
                       "mv \"$XDG_RUNTIME_DIR/session.tmp\" \"$XDG_RUNTIME_DIR/session\"\n");
        config.close();
        announce.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : kSessionVariables)
            env.remove(name);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
        env.insert(QStringLiteral("HOME"), dir);
        env.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
        env.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
        env.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
        m_sway.setProcessEnvironment(env);
        m_sway.setStandardInputFile(QProcess::nullDevice());
        m_sway.setStandardOutputFile(dir + QStringLiteral("/sway.log"));
        m_sway.setStandardErrorFile(dir + QStringLiteral("/sway.log"));
        const QStringList swayArgs{QStringLiteral("sway"), QStringLiteral("-c"), config.fileName()};
        if (geteuid() == 0) {
            if (!unprivilegedAccount(&m_uid, &m_gid))
                return QStringLiteral("no account %1 to run sway as").arg(kUser);
            m_switchUser = true;
            for (const QString &path : {dir, config.fileName(), announce.fileName()}) {
                if (!giveToSessionUser(path))
                    return QStringLiteral("cannot give %1 to %2").arg(path, kUser);
            }
            ::chmod(QFile::encodeName(dir).constData(), 0700);
        }
        // setpriv executes sway itself, so the process we hold is sway's.
        const auto [program, args] = asSessionUser(swayArgs.first(), swayArgs.mid(1));
        m_sway.start(program, args);
        if (!m_sway.waitForStarted())
            return QStringLiteral("sway did not start");

        QFile session(dir + QStringLiteral("/session"));
        for (int waited = 0; waited < kWaitMs && !session.exists(); waited += 50) {
            if (m_sway.state() == QProcess::NotRunning)
                break;
            QTest::qWait(50);
        }
        if (!session.open(QIODevice::ReadOnly))
            return QStringLiteral("sway did not come up: %1").arg(QString::fromLocal8Bit(log()));
        const QList<QByteArray> lines = session.readAll().split('\n');
        if (lines.size() < 2 || lines[0].isEmpty())
            return QStringLiteral("sway did not announce its display");
        m_wayland = dir + QLatin1Char('/') + QString::fromLocal8Bit(lines[0]);
        m_x11 = QString::fromLocal8Bit(lines[1]);
        m_swaySocket = lines.size() > 2 ? QString::fromLocal8Bit(lines[2]) : QString();
        for (int waited = 0; waited < kWaitMs && !QFile::exists(m_wayland); waited += 50)
            QTest::qWait(50);
        return QFile::exists(m_wayland) ? QString() : QStringLiteral("no Wayland socket");
    }

    // Ends sway (and with it the XWayland it started), by its process id.
    void stop()
    {
        if (m_sway.state() != QProcess::NotRunning) {
            m_sway.terminate();
            if (!m_sway.waitForFinished(5000)) {
                m_sway.kill();
                m_sway.waitForFinished();
            }
        }
    }

    QByteArray log() const
    {
        QFile f(m_dir.path() + QStringLiteral("/sway.log"));
        return f.open(QIODevice::ReadOnly) ? f.readAll().right(4000) : QByteArray();
    }

    // The compositor's socket, by its absolute path (what WAYLAND_DISPLAY holds for the clients).
    QString waylandDisplay() const { return m_wayland; }
    // XWayland's display (":1"); empty when sway was built without it.
    QString x11Display() const { return m_x11; }

    // sway's IPC socket (for swaymsg, as SWAYSOCK).
    QString swaySocket() const { return m_swaySocket; }

    // An environment for a client of the session: its displays, the tests' locale and a runtime folder
    // of the clients' own; nothing of the desktop the tests run in.
    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : kSessionVariables)
            env.remove(name);
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_wayland);
        if (!m_x11.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), m_x11);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_clientRuntime.path());
        testlocale::pin(env);
        return env;
    }

    // X clients must run as the session's user: XWayland admits no other. The program and arguments
    // that start `program` so (unchanged when we are not root).
    std::pair<QString, QStringList> asSessionUser(const QString &program, const QStringList &args) const
    {
        if (!m_switchUser)
            return {program, args};
        return {QStringLiteral("setpriv"),
                QStringList{QStringLiteral("--reuid=%1").arg(m_uid), QStringLiteral("--regid=%1").arg(m_gid),
                            QStringLiteral("--clear-groups"), program} +
                    args};
    }

    // Makes a file or folder the session user's, for a program started with asSessionUser().
    bool giveToSessionUser(const QString &path) const
    {
        return !m_switchUser || ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
    }

    // The environment of a client run as the session's user: like clientEnvironment(), with the
    // session's runtime folder.
    QProcessEnvironment sessionUserEnvironment() const
    {
        QProcessEnvironment env = clientEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QFileInfo(m_wayland).fileName()); // as sessions set it
        env.insert(QStringLiteral("HOME"), m_dir.path());
        return env;
    }

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/vornkip-sway-XXXXXX")};
    QTemporaryDir m_clientRuntime{QDir::tempPath() + QStringLiteral("/vornkip-client-XXXXXX")};
    QProcess m_sway;
    QString m_wayland;
    QString m_x11;
    QString m_swaySocket;
    bool m_switchUser = false;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};

struct Result
{
    int exitCode = -1; // -1: did not start, timed out or crashed
    QByteArray out;
};

// Runs a client to completion with `input` on its stdin. Its stderr goes to /dev/null. wl-copy leaves
// a child serving the selection: `detached` sends the output to /dev/null too, so that the child
// holds no pipe of ours.
inline Result run(const QProcessEnvironment &env, const QString &program, const QStringList &args,
                  const QByteArray &input = {}, bool detached = false, int timeoutMs = kWaitMs)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardErrorFile(QProcess::nullDevice());
    if (detached)
        p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            detached ? QByteArray() : p.readAllStandardOutput()};
}

// Copies bytes with wl-copy, as a text or as `type`.
inline bool wlCopy(const QProcessEnvironment &env, const QByteArray &bytes, const QString &type = {})
{
    QStringList args;
    if (!type.isEmpty())
        args << QStringLiteral("--type") << type;
    return run(env, QStringLiteral("wl-copy"), args, bytes, true).exitCode == 0;
}

// What wl-paste reads of the selection as text; exit code != 0 when there is none.
inline Result wlPaste(const QProcessEnvironment &env)
{
    return run(env, QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")});
}
// The next line a client prints that starts with `prefix`, without it; null when none came.
inline QByteArray nextLine(QProcess &client, const QByteArray &prefix)
{
    QElapsedTimer timer;
    for (timer.start(); timer.elapsed() < kWaitMs;) {
        while (client.canReadLine()) {
            const QByteArray line = client.readLine().chopped(1);
            if (line.startsWith(prefix))
                return line.mid(prefix.size());
        }
        if (client.state() == QProcess::NotRunning)
            break;
        QTest::qWait(20);
    }
    return {};
}
} // namespace swayharness
