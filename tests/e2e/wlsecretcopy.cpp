// SPDX-License-Identifier: GPL-3.0-or-later
// Copies a text the way a password manager does on Wayland: through the data-control protocol, with
// the format "x-kde-passwordManagerHint" beside the text. Serves the content until another client
// takes the selection over, then ends. Its options make it the unlucky or hostile owners a clipboard
// reader meets.
//
//   wlsecretcopy [OPTION N]... HINT TEXT
//
// HINT is what the hint format holds ("secret" marks a password); "-" offers no hint. Options:
//   --stall-after N  writes the first N bytes of the text, then nothing more, keeping the pipe open;
//   --die-after N    writes the first N bytes of the text, then the process ends (exit code 3);
//   --trickle MS     writes the text one byte every MS milliseconds, and goes on after it lost the
//                    selection until the text is written;
//   --hint-after MS  answers the hint after MS milliseconds (never when MS < 0);
//   --flood N        sets the selection N times in a burst, to "TEXT 1" ... "TEXT N-1" and then TEXT;
//   --size N         the text is TEXT repeated up to N bytes;
//   --type MIME      TEXT is offered as that one format instead of as plain text.
//
// Exit codes: 0 replaced, 1 usage or connection error, 2 no data-control manager, 3 ended on purpose.
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

wl_seat *g_seat = nullptr;
zwlr_data_control_manager_v1 *g_manager = nullptr;
bool g_cancelled = false;
std::string g_hint;
long g_stallAfter = -1;
long g_dieAfter = -1;
long g_trickleMs = 0;
long g_hintAfterMs = 0;

// A pipe being written to a reader.
struct Pending
{
    int fd = -1;
    std::shared_ptr<const std::string> bytes;
    size_t done = 0;
    size_t stopAt = 0;      // then: close, or stall, or die
    bool stall = false;     // keep the pipe open, write nothing more
    bool die = false;       // the process ends
    long everyMs = 0;       // one byte each time (trickle)
    Clock::time_point next; // nothing before
    bool lasting = false;   // goes on after the selection is lost
};
std::list<Pending> g_pending;

// One content set, with its source.
struct Offered
{
    zwlr_data_control_source_v1 *source = nullptr;
    std::shared_ptr<const std::string> text;
    bool last = false;
};
std::list<Offered> g_offered;

void global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    if (!g_seat && std::strcmp(interface, wl_seat_interface.name) == 0)
        g_seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
        g_manager = static_cast<zwlr_data_control_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}

void globalRemove(void *, wl_registry *, uint32_t) {}

void send(void *data, zwlr_data_control_source_v1 *, const char *mime, int32_t fd)
{
    const Offered *offered = static_cast<Offered *>(data);
    Pending p;
    p.fd = fd;
    p.bytes = offered->text;
    p.stopAt = p.bytes->size();
    p.next = Clock::now();
    if (std::strcmp(mime, "x-kde-passwordManagerHint") == 0) {
        p.bytes = std::make_shared<const std::string>(g_hint);
        p.stopAt = g_hintAfterMs < 0 ? 0 : p.bytes->size();
        p.stall = g_hintAfterMs < 0;
        p.next += std::chrono::milliseconds(std::max(g_hintAfterMs, 0L));
    } else if (g_stallAfter >= 0) {
        p.stopAt = std::min(p.stopAt, size_t(g_stallAfter));
        p.stall = true;
    } else if (g_dieAfter >= 0) {
        p.stopAt = std::min(p.stopAt, size_t(g_dieAfter));
        p.die = true;
    } else if (g_trickleMs > 0) {
        p.everyMs = g_trickleMs;
        p.lasting = true;
    }
    g_pending.push_back(std::move(p));
}

void cancelled(void *data, zwlr_data_control_source_v1 *source)
{
    zwlr_data_control_source_v1_destroy(source);
    g_offered.remove_if([data](const Offered &o) {
        if (&o != data)
            return false;
        g_cancelled = g_cancelled || o.last;
        return true;
    });
}

// Writes what is due.
void serve(Pending &p)
{
    while (p.done < p.stopAt) {
        const size_t n = p.everyMs > 0 ? 1 : p.stopAt - p.done;
        const ssize_t w = write(p.fd, p.bytes->data() + p.done, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno == EAGAIN)
            return;
        if (w <= 0) {
            p.done = p.stopAt = p.bytes->size(); // the reader went away
            p.stall = p.die = false;
            break;
        }
        p.done += size_t(w);
        if (p.everyMs > 0 && p.done < p.stopAt) {
            p.next = Clock::now() + std::chrono::milliseconds(p.everyMs);
            return;
        }
    }
    if (p.die)
        _exit(3);
}
} // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    const char *type = nullptr;
    long flood = 1;
    long size = -1;
    for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        const char *option = argv[arg];
        const long value = std::atol(argv[arg + 1]);
        if (std::strcmp(option, "--stall-after") == 0)
            g_stallAfter = value;
        else if (std::strcmp(option, "--die-after") == 0)
            g_dieAfter = value;
        else if (std::strcmp(option, "--trickle") == 0)
            g_trickleMs = value;
        else if (std::strcmp(option, "--hint-after") == 0)
            g_hintAfterMs = value;
        else if (std::strcmp(option, "--flood") == 0)
            flood = std::max(value, 1L);
        else if (std::strcmp(option, "--size") == 0)
            size = value;
        else if (std::strcmp(option, "--type") == 0)
            type = argv[arg + 1];
        else
            break;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: wlsecretcopy [OPTION N]... HINT TEXT\n");
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    g_hint = argv[arg];
    std::string text = argv[arg + 1];
    if (size > 0 && !text.empty()) {
        const std::string unit = text;
        text.reserve(size_t(size) + unit.size());
        while (text.size() < size_t(size))
            text += unit;
        text.resize(size_t(size));
    }
    const auto shared = std::make_shared<const std::string>(std::move(text));
    const bool hint = g_hint != "-";
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return 1;
    wl_registry *registry = wl_display_get_registry(display);
    static const wl_registry_listener registryListener{global, globalRemove};
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!g_seat || !g_manager)
        return 2;

    zwlr_data_control_device_v1 *device = zwlr_data_control_manager_v1_get_data_device(g_manager, g_seat);
    static const zwlr_data_control_source_v1_listener sourceListener{send, cancelled};
    for (long i = 1; i <= flood; ++i) {
        Offered &offered = g_offered.emplace_back();
        offered.last = i == flood;
        offered.text =
            offered.last ? shared : std::make_shared<const std::string>(argv[arg + 1] + (" " + std::to_string(i)));
        offered.source = zwlr_data_control_manager_v1_create_data_source(g_manager);
        zwlr_data_control_source_v1_add_listener(offered.source, &sourceListener, &offered);
        if (type) {
            zwlr_data_control_source_v1_offer(offered.source, type);
        } else {
            for (const char *mime : {"text/plain;charset=utf-8", "text/plain"})
                zwlr_data_control_source_v1_offer(offered.source, mime);
        }
        if (hint)
            zwlr_data_control_source_v1_offer(offered.source, "x-kde-passwordManagerHint");
        zwlr_data_control_device_v1_set_selection(device, offered.source);
        if (i % 64 == 0) // what the compositor has not read yet stays within our buffer
            wl_display_roundtrip(display);
    }
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<pollfd> fds;
    for (;;) {
        if (wl_display_dispatch_pending(display) < 0 || wl_display_flush(display) < 0)
            break;
        const bool lasting =
            std::any_of(g_pending.begin(), g_pending.end(), [](const Pending &p) { return p.lasting; });
        if (g_cancelled && !lasting)
            break;
        fds.assign(1, {wl_display_get_fd(display), POLLIN, 0});
        int timeout = -1;
        const auto now = Clock::now();
        for (const Pending &p : g_pending) {
            const bool waiting = p.done < p.stopAt;
            if (waiting && p.next > now) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(p.next - now).count();
                timeout = timeout < 0 ? int(left) : std::min(timeout, int(left));
            }
            fds.push_back({p.fd, short(waiting && p.next <= now ? POLLOUT : 0), 0});
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        if ((fds[0].revents & POLLIN) && wl_display_dispatch(display) < 0)
            break;
        size_t i = 1;
        for (auto p = g_pending.begin(); p != g_pending.end(); ++i) {
            const short revents = i < fds.size() ? fds[i].revents : 0;
            if (revents & POLLOUT)
                serve(*p);
            if ((p->done >= p->stopAt && !p->stall) || (revents & (POLLERR | POLLHUP))) { // or the reader left
                close(p->fd);
                p = g_pending.erase(p);
            } else {
                ++p;
            }
        }
    }
    for (Offered &o : g_offered)
        zwlr_data_control_source_v1_destroy(o.source);
    zwlr_data_control_device_v1_destroy(device);
    zwlr_data_control_manager_v1_destroy(g_manager);
    wl_seat_destroy(g_seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return g_cancelled ? 0 : 1;
}
