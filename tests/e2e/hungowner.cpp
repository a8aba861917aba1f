// SPDX-License-Identifier: GPL-3.0-or-later
// A clipboard owner that misbehaves, as a hung, slow, dying or hostile program does. It takes the
// desktop's clipboard, says "owner" on standard output and then, by its arguments:
//
//   (none)                 leaves every request unanswered until it is killed
//   --trickle              sends the text through INCR one byte every 300 ms, without end, and goes on
//                          after another program took the clipboard over
//   --die-mid FILE         sends the first piece of FILE through INCR, then exits
//   --incr FILE            sends FILE through INCR in pieces of 64 KiB, as xclip does: one transfer at a
//                          time (other requests meanwhile are ignored), the next piece whenever any
//                          property of the requestor's window is deleted; and it tells the requestor
//                          about the transfer only 100 ms after it began
//   --property FILE        puts FILE whole into one property
//   --wrong-type           answers the text request with atoms (type ATOM, format 32)
//   --slow MS              answers each request MS ms after the one before (the text is "slow")
//   --late-hint MS         answers the password hint only after MS ms (the text is "late hint")
//   --flood N              first takes the clipboard over N times as fast as it can, then never answers
//
// With --slow and --late-hint it offers "x-kde-passwordManagerHint" = "secret", as password managers
// do. Every X error (a window that went away meanwhile) is ignored.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/select.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

Display *display;
Window window;
Atom clipboard, targets, utf8, incr, hint;

std::string mode;
std::string text;
std::chrono::milliseconds delay{0};

struct Pending
{
    Clock::time_point due;
    XSelectionRequestEvent request;
};
std::deque<Pending> pending;
std::deque<Pending> notices; // answers given, not told yet

struct Transfer
{
    Window requestor = None;
    Atom property = None;
    size_t sent = 0;
    bool deleted = false; // the requestor took the last piece
    Clock::time_point next;
};
std::vector<Transfer> transfers;

int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

void notify(const XSelectionRequestEvent &r, Atom property)
{
    XSelectionEvent ev{};
    ev.type = SelectionNotify;
    ev.display = display;
    ev.requestor = r.requestor;
    ev.selection = r.selection;
    ev.target = r.target;
    ev.property = property;
    ev.time = r.time;
    XSendEvent(display, r.requestor, False, 0, reinterpret_cast<XEvent *>(&ev));
}

void answer(const XSelectionRequestEvent &r)
{
    const Atom property = r.property == None ? r.target : r.property;
    if (r.target == targets) {
        std::vector<Atom> offered{targets, utf8};
        if (mode == "--slow" || mode == "--late-hint")
            offered.push_back(hint);
        XChangeProperty(display, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(offered.data()), static_cast<int>(offered.size()));
    } else if (r.target == hint && (mode == "--slow" || mode == "--late-hint")) {
        XChangeProperty(display, r.requestor, property, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>("secret"), 6);
    } else if (r.target == utf8 && mode == "--wrong-type") {
        Atom atoms[4] = {targets, utf8, targets, utf8};
        XChangeProperty(display, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(atoms), 4);
    } else if (r.target == utf8 && mode == "--property") {
        XChangeProperty(display, r.requestor, property, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
    } else if (r.target == utf8 && (mode == "--trickle" || mode == "--die-mid" || mode == "--incr")) {
        XSelectInput(display, r.requestor, PropertyChangeMask);
        const long size = mode == "--trickle" ? 1000000 : static_cast<long>(text.size());
        XChangeProperty(display, r.requestor, property, incr, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&size), 1);
        transfers.push_back({r.requestor, property, 0, false, Clock::now()});
        if (mode == "--incr") {
            XSelectionRequestEvent told = r;
            told.property = property;
            notices.push_back({Clock::now() + std::chrono::milliseconds(100), told});
            return;
        }
    } else if (r.target == utf8) {
        XChangeProperty(display, r.requestor, property, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(text.data()), static_cast<int>(text.size()));
    } else {
        notify(r, None);
        return;
    }
    notify(r, property);
}

// The next piece of each transfer whose last piece was taken (and, trickling, whose time has come).
void sendPieces()
{
    const Clock::time_point now = Clock::now();
    for (auto it = transfers.begin(); it != transfers.end();) {
        if (!it->deleted || now < it->next) {
            ++it;
            continue;
        }
        if (mode == "--die-mid" && it->sent > 0)
            std::exit(0);
        std::string piece;
        if (mode == "--trickle") {
            piece = std::string(1, static_cast<char>('a' + it->sent % 26));
            it->next = now + std::chrono::milliseconds(300);
        } else {
            piece = text.substr(std::min(it->sent, text.size()), 65536);
        }
        XChangeProperty(display, it->requestor, it->property, utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(piece.data()), static_cast<int>(piece.size()));
        it->sent += piece.size();
        it->deleted = false;
        if (piece.empty())
            it = transfers.erase(it);
        else
            ++it;
    }
}

bool readFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in) || in.eof();
}
} // namespace

int main(int argc, char **argv)
{
    mode = argc > 1 ? argv[1] : "";
    const char *value = argc > 2 ? argv[2] : "0";
    if (mode == "--die-mid" || mode == "--incr" || mode == "--property") {
        if (!readFile(value))
            return 1;
    } else if (mode == "--slow") {
        text = "slow";
    } else if (mode == "--late-hint") {
        text = "late hint";
    }
    delay = std::chrono::milliseconds(std::atoi(value));

    display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XSetErrorHandler(ignoreErrors);
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    clipboard = XInternAtom(display, "CLIPBOARD", False);
    targets = XInternAtom(display, "TARGETS", False);
    utf8 = XInternAtom(display, "UTF8_STRING", False);
    incr = XInternAtom(display, "INCR", False);
    hint = XInternAtom(display, "x-kde-passwordManagerHint", False);
    const int takes = mode == "--flood" ? std::max(1, std::atoi(value)) : 1;
    for (int i = 0; i < takes; ++i) {
        XSetSelectionOwner(display, clipboard, window, CurrentTime);
        if (takes > 1)
            XSync(display, False); // one change after the other, not all in one go
    }
    if (XGetSelectionOwner(display, clipboard) != window)
        return 1;
    std::puts("owner");
    std::fflush(stdout);

    const bool hung = mode.empty() || mode == "--flood";
    for (;;) {
        sendPieces();
        XFlush(display);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest && !hung) {
                Clock::time_point due = Clock::now();
                if (mode == "--slow")
                    due = std::max(due, pending.empty() ? due : pending.back().due) + delay;
                else if (mode == "--late-hint" && event.xselectionrequest.target == hint)
                    due += delay;
                if (mode != "--incr" || transfers.empty())
                    pending.push_back({due, event.xselectionrequest});
            } else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete) {
                for (Transfer &t : transfers) {
                    if (t.requestor == event.xproperty.window &&
                        (t.property == event.xproperty.atom || mode == "--incr"))
                        t.deleted = true;
                }
            }
        }
        const Clock::time_point now = Clock::now();
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->due <= now) {
                answer(it->request);
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
        while (!notices.empty() && notices.front().due <= now) {
            notify(notices.front().request, notices.front().request.property);
            notices.pop_front();
        }
        sendPieces();
        XFlush(display);
        // Until the next event, or the next answer or piece that is due.
        auto wait = std::chrono::milliseconds(1000);
        for (const Pending &p : notices)
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(p.due - now));
        for (const Pending &p : pending)
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(p.due - now));
        for (const Transfer &t : transfers) {
            if (t.deleted)
                wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(t.next - now));
        }
        if (XPending(display) > 0)
            continue;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(ConnectionNumber(display), &fds);
        const long ms = std::max<long>(0, static_cast<long>(wait.count()));
        timeval tv{ms / 1000, static_cast<suseconds_t>(ms % 1000 * 1000)};
        select(ConnectionNumber(display) + 1, &fds, nullptr, nullptr, &tv);
    }
}
