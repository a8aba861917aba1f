// SPDX-License-Identifier: GPL-3.0-or-later
// What the soak driver asks of the X server directly: the program's windows, whether the program still
// answers (the window manager's ping), and closing a window as a window manager's close box does.
#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <utility>

#include <X11/Xlib.h>

namespace xwindows {
struct Window
{
    ::Window id = 0;
    QRect geometry;     // on the screen
    QString title;      // _NET_WM_NAME, or WM_NAME
    bool popup = false; // override-redirect: a menu, a drop-down list, a tool tip
};

class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool open(const QByteArray &display);
    // Before the server goes: a connection that loses its server ends the process.
    void close();

    // The viewable top-level windows of a process (by _NET_WM_PID), bottom of the stack first.
    QList<Window> windowsOf(qint64 pid);

    // Every top-level window of a process, mapped or not, that takes the window manager's messages.
    QList<::Window> topLevelsOf(qint64 pid);

    // Sends _NET_WM_PING to the windows and waits for an answer, as a window manager does to find a
    // client that no longer answers. True when one came within `timeoutMs`.
    bool ping(const QList<::Window> &windows, int timeoutMs);

    bool exists(::Window window);

    // Asks the window to close (WM_DELETE_WINDOW), as a window manager's close box does.
    void closeWindow(::Window window);

private:
    QByteArray property(::Window window, Atom name, Atom type, int wantedFormat);
    QString title(::Window window);
    qint64 pidOf(::Window window);
    QList<std::pair<::Window, XWindowAttributes>> topLevels(qint64 pid);
    void sendProtocol(::Window window, Atom protocol, long time);

    Display *m_display = nullptr;
    Atom m_pid = 0, m_netName = 0, m_utf8 = 0, m_protocols = 0, m_ping = 0, m_delete = 0;
    long m_token = 1000;
};
} // namespace xwindows
