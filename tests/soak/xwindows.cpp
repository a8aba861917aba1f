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

qint64 Connection::pidOf(::Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    qint64 pid = -1;
    if (XGetWindowProperty(m_display, window, m_pid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data && count == 1 && format == 32)
        pid = static_cast<qint64>(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pid;
}

QString Connection::title(::Window window)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    QString text;
    if (XGetWindowProperty(m_display, window, m_netName, 0, 1024, False, m_utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 8)
        text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(count));
    if (data)
        XFree(data);
    return text;
}

QList<Window> Connection::windowsOf(qint64 pid)
{
    QList<Window> found;
    ::Window root = 0, parent = 0;
    ::Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(m_display, children[i], &a) || a.map_state != IsViewable || a.c_class != InputOutput)
            continue;
        if (pidOf(children[i]) != pid)
            continue;
        found << Window{children[i], QRect(a.x, a.y, a.width, a.height), title(children[i]), a.override_redirect != 0};
    }
    if (children)
        XFree(children);
    return found;
}

QList<::Window> Connection::topLevelsOf(qint64 pid)
{
    QList<::Window> found;
    ::Window root = 0, parent = 0;
    ::Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(m_display, children[i], &a) || a.override_redirect || a.c_class != InputOutput ||
            pidOf(children[i]) != pid)
            continue;
        Atom *protocols = nullptr;
        int n = 0;
        if (XGetWMProtocols(m_display, children[i], &protocols, &n)) {
            if (std::find(protocols, protocols + n, m_ping) != protocols + n)
                found << children[i];
            XFree(protocols);
        }
    }
    if (children)
        XFree(children);
    return found;
}

bool Connection::ping(const QList<::Window> &windows, int timeoutMs)
{
    const long token = ++m_token;
    for (const ::Window window : windows) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = m_protocols;
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(m_ping);
        e.xclient.data.l[1] = token;
        e.xclient.data.l[2] = static_cast<long>(window);
        XSendEvent(m_display, window, False, NoEventMask, &e);
    }
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
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = m_protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(m_delete);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &e);
    XFlush(m_display);
}
} // namespace xwindows
