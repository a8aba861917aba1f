// SPDX-License-Identifier: GPL-3.0-or-later
// Closes a window as a window manager's close button does: sends it WM_PROTOCOLS / WM_DELETE_WINDOW.
// Bare Xvfb has no window manager and xdotool cannot send that message.
//   wmclose WINDOW-ID     exit 0 when the message was sent
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: wmclose WINDOW-ID\n", stderr);
        return 2;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("wmclose: cannot open the display\n", stderr);
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
