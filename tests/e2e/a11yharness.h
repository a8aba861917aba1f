// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the program's windows as a user sees them, from the accessibility bus (AT-SPI): titles,
// labels, message-box texts, menu captions with their check states, button places. A private session
// bus, the accessibility bus launcher and the registry run for the test; the program under test is
// started with that session bus and Qt's accessibility switched on. The reading itself is done by
// a11y.py (python3-gi + gir1.2-atspi-2.0) beside this file. Header-only, QtCore only.
#pragma once

#include "x11harness.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QStringList>

#include <signal.h>

namespace a11y {
// The Debian interpreter: python3-gi belongs to it, not to one found first in PATH.
inline QString python()
{
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                                 : QStringLiteral("python3");
}

inline const QString kLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");
inline const QString kRegistry = QStringLiteral("/usr/libexec/at-spi2-registryd");

// Path of a11y.py; set by the test before use.
inline QString g_script;

// One node of the tree, as a11y.py prints it.
struct Node
{
    int depth = -1;
    QString role;
    QString name;
    QStringList states;
    QRect extents; // screen coordinates
    QString description;
    QString keys;
    QString text;

    bool valid() const { return depth >= 0; }
    bool has(const char *state) const { return states.contains(QLatin1String(state)); }
    QPoint center() const { return extents.center(); }
};

inline QString unescape(const QString &field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != QLatin1Char('\\') || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const QChar c = field[++i];
        out += c == QLatin1Char('t')   ? QChar(u'\t')
               : c == QLatin1Char('r') ? QChar(u'\r')
               : c == QLatin1Char('n') ? QChar(u'\n')
                                       : c;
    }
    return out;
}

inline QList<Node> parse(const QByteArray &out)
{
    QList<Node> nodes;
    for (const QByteArray &line : out.split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (f.size() < 8)
            continue;
        Node n;
        n.depth = f[0].toInt();
        n.role = f[1];
        n.name = unescape(f[2]);
        n.states = f[3].split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (const QStringList r = f[4].split(QLatin1Char(',')); r.size() == 4)
            n.extents = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
        n.description = unescape(f[5]);
        n.keys = unescape(f[6]);
        n.text = unescape(f[7]);
        nodes << n;
    }
    return nodes;
}

// The first node with that role (and name, when given), or an invalid one.
inline Node find(const QList<Node> &nodes, const QString &role, const QString &name = {})
{
    for (const Node &n : nodes) {
        if (n.role == role && (name.isNull() || n.name == name))
            return n;
    }
    return {};
}

// The names of the nodes with that role, in tree order.
inline QStringList names(const QList<Node> &nodes, const QString &role)
{
    QStringList out;
    for (const Node &n : nodes) {
        if (n.role == role)
            out << n.name;
    }
    return out;
}

inline x11harness::Result runReader(const QStringList &args, int timeoutMs)
{
    return x11harness::run(python(), QStringList{g_script} + args, timeoutMs);
}

// Every window of the program with that process id.
inline QList<Node> dump(qint64 pid)
{
    return parse(runReader({QStringLiteral("dump"), QStringLiteral("--pid"), QString::number(pid)}, 20000).out);
}

// Waits until a node with that role (and name, and state) is in the program's tree; its subtree, or
// nothing after the timeout.
inline QList<Node> waitFor(qint64 pid, const QString &role, const QString &name = {}, const QString &state = {},
                           int timeoutMs = x11harness::kWaitMs)
{
    QStringList args{QStringLiteral("wait"),
                     QStringLiteral("--pid"),
                     QString::number(pid),
                     QStringLiteral("--role"),
                     role,
                     QStringLiteral("--timeout"),
                     QString::number(timeoutMs / 1000.0)};
    if (!name.isNull())
        args << QStringLiteral("--name") << name;
    if (!state.isEmpty())
        args << QStringLiteral("--state") << state;
    const x11harness::Result r = runReader(args, timeoutMs + 10000);
    return r.exitCode == 0 ? parse(r.out) : QList<Node>();
}

// Pop-up menus (context menus, a tool button's drop-down) are not children of their application:
// they are caught when they are shown. start() before the action that opens the menu, then menu().
class PopupWatch final
{
public:
    bool start(int timeoutMs = x11harness::kWaitMs)
    {
        m_reader.setProcessEnvironment(x11harness::g_env);
        m_reader.setStandardInputFile(QProcess::nullDevice());
        m_reader.setStandardErrorFile(QProcess::nullDevice());
        m_reader.start(python(), {g_script, QStringLiteral("popup"), QStringLiteral("--timeout"),
                                  QString::number(timeoutMs / 1000.0)});
        const QDeadlineTimer deadline(x11harness::kWaitMs);
        while (!m_reader.canReadLine() && m_reader.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        }
        return m_reader.canReadLine() && m_reader.readLine().trimmed() == "ready";
    }

    // The menu that was shown (its first node is the popup menu), or nothing.
    QList<Node> menu()
    {
        if (!m_reader.waitForFinished(x11harness::kWaitMs + 10000)) {
            m_reader.kill();
            m_reader.waitForFinished();
            return {};
        }
        return parse(m_reader.readAllStandardOutput());
    }

    ~PopupWatch()
    {
        if (m_reader.state() != QProcess::NotRunning) {
            m_reader.kill();
            m_reader.waitForFinished();
        }
    }

private:
    QProcess m_reader;
};

// The accessibility bus of one test run: a private session bus, the AT-SPI bus launcher and the
// registry. start() puts the session bus in x11harness::g_env (after startXvfb, so the launcher
// knows the display); the program under test also needs programEnvironment().
class Bus final
{
public:
    // An empty string when all runs, otherwise what did not start.
    QString start()
    {
        using namespace x11harness;
        g_env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
        g_env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_session.setProcessEnvironment(g_env);
        m_session.setStandardInputFile(QProcess::nullDevice());
        m_session.setStandardErrorFile(QProcess::nullDevice());
        m_session.start(QStringLiteral("dbus-daemon"),
                        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        const QDeadlineTimer deadline(kWaitMs);
        while (!m_session.canReadLine() && m_session.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
        }
        const QString address = QString::fromUtf8(m_session.readLine().trimmed());
        if (address.isEmpty())
            return QStringLiteral("dbus-daemon --session");
        g_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);

        startService(m_launcher, kLauncher);
        // The launcher is ready when it answers for the accessibility bus.
        const QStringList getAddress{QStringLiteral("--session"), QStringLiteral("--print-reply"),
                                     QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                     QStringLiteral("org.a11y.Bus.GetAddress")};
        while (run(QStringLiteral("dbus-send"), getAddress).exitCode != 0) {
            if (deadline.hasExpired() || m_launcher.state() == QProcess::NotRunning)
                return kLauncher;
            QTest::qWait(50);
        }
        startService(m_registry, kRegistry);
        return m_registry.state() == QProcess::Running ? QString() : kRegistry;
    }

    // Ends what start() started, each by its own process, the session bus last.
    void stop()
    {
        for (QProcess *p : {&m_registry, &m_launcher, &m_session}) {
            if (p->state() == QProcess::NotRunning)
                continue;
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished();
            }
        }
    }

    ~Bus() { stop(); }

    // The program under test reaches the accessibility bus through the session bus; with
    // AT_SPI_BUS_ADDRESS set Qt 6.4 connects but never publishes its tree.
    static QProcessEnvironment programEnvironment()
    {
        QProcessEnvironment env = x11harness::g_env;
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
        return env;
    }

private:
    static void startService(QProcess &p, const QString &program)
    {
        p.setProcessEnvironment(x11harness::g_env);
        p.setStandardInputFile(QProcess::nullDevice());
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(program, {});
        p.waitForStarted();
    }

    QProcess m_session;
    QProcess m_launcher;
    QProcess m_registry;
};
} // namespace a11y
