// SPDX-License-Identifier: GPL-3.0-or-later
#include "xwindows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>

#include <poll.h>

namespace xwindows {
namespace {
// Windows come and go while we look at them: an error about one that has just gone is no fault.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}
} // namespace

Connection::~Connection()
{
    close();
}

void Connection::close()
{
    if (m_display)
        XCloseDisplay(m_display);
    m_display = nullptr;
}

bool Connection::open(const QByteArray &display)
{
    m_display = XOpenDisplay(display.constData());
    if (!m_display)
        return false;
    XSetErrorHandler(ignoreErrors);
    m_pid = XInternAtom(m_display, "_NET_WM_PID", False);
    m_netName = XInternAtom(m_display, "_NET_WM_NAME", False);
    m_utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    m_protocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
    m_ping = XInternAtom(m_display, "_NET_WM_PING", False);
    m_delete = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    // A client answers a ping by sending it to the root window for the window manager, for those who
    // watch the root's structure (Qt) or its children's (others).
    XSelectInput(m_display, DefaultRootWindow(m_display), StructureNotifyMask | SubstructureNotifyMask);
    return true;
}

// A property's data, as 8- or 32-bit items; empty when the window or the property is gone.
QByteArray Connection::property(::Window window, Atom name, Atom type, int wantedFormat)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QByteArray bytes;
    if (XGetWindowProperty(m_display, window, name, 0, 1024, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data && format == wantedFormat) {
        // Xlib hands 32-bit items over as longs.
        const size_t itemSize = format == 32 ? sizeof(long) : 1;
        bytes = QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(count * itemSize));
    }
    if (data)
        XFree(data);
    return bytes;
}

qint64 Connection::pidOf(::Window window)
{
    const QByteArray pid = property(window, m_pid, XA_CARDINAL, 32);
    return pid.size() == sizeof(long) ? static_cast<qint64>(*reinterpret_cast<const long *>(pid.constData())) : -1;
}

QString Connection::title(::Window window)
{
    return QString::fromUtf8(property(window, m_netName, m_utf8, 8));
}

// The top-level windows of a process with their attributes, bottom of the stack first.
QList<std::pair<::Window, XWindowAttributes>> Connection::topLevels(qint64 pid)
{
    QList<std::pair<::Window, XWindowAttributes>> found;
    ::Window root = 0, parent = 0;
    ::Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(m_display, children[i], &a) && a.c_class == InputOutput && pidOf(children[i]) == pid)
            found.append({children[i], a});
    }
    if (children)
        XFree(children);
    return found;
}

QList<Window> Connection::windowsOf(qint64 pid)
{
    QList<Window> found;
    for (const auto &[id, a] : topLevels(pid)) {
        if (a.map_state == IsViewable)
            found << Window{id, QRect(a.x, a.y, a.width, a.height), title(id), a.override_redirect != 0};
    }
    return found;
}

QList<::Window> Connection::topLevelsOf(qint64 pid)
{
    QList<::Window> found;
    for (const auto &[id, a] : topLevels(pid)) {
        Atom *protocols = nullptr;
        int n = 0;
        if (!a.override_redirect && XGetWMProtocols(m_display, id, &protocols, &n)) {
            if (std::find(protocols, protocols + n, m_ping) != protocols + n)
                found << id;
            XFree(protocols);
        }
    }
    return found;
}

void Connection::sendProtocol(::Window window, Atom protocol, long time)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = m_protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(protocol);
    e.xclient.data.l[1] = time;
    e.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(m_display, window, False, NoEventMask, &e);
}

bool Connection::ping(const QList<::Window> &windows, int timeoutMs)
{
    // The "time" of a ping comes back unchanged in the answer: it tells this ping's answers apart.
    const long token = ++m_token;
    for (const ::Window window : windows)
        sendProtocol(window, m_ping, token);
    XFlush(m_display);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(m_display)) {
            XEvent in;
            XNextEvent(m_display, &in);
            if (in.type == ClientMessage && in.xclient.message_type == m_protocols &&
                static_cast<Atom>(in.xclient.data.l[0]) == m_ping && in.xclient.data.l[1] == token)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
}

bool Connection::exists(::Window window)
{
    XWindowAttributes a;
    return XGetWindowAttributes(m_display, window, &a) != 0;
}

void Connection::closeWindow(::Window window)
{
    sendProtocol(window, m_delete, CurrentTime);
    XFlush(m_display);
}
} // namespace xwindows
