// Copies a text the way a password manager does on Wayland: through the data-control protocol, with
// the format "x-kde-passwordManagerHint" beside the text. Serves the content until another client
// takes the selection over, then ends.
//
//   wlsecretcopy [--stall-after N] [--type MIME] HINT TEXT
//
// HINT is what the hint format holds ("secret" marks a password); "-" offers no hint. With
// --stall-after, an owner that hangs: it writes the first N bytes of the text and then nothing more,
// keeping the pipe open. With --type, TEXT is offered as that one format instead of as plain text.
//
// Exit codes: 0 replaced, 1 usage or connection error, 2 no data-control manager.
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {
wl_seat *g_seat = nullptr;
zwlr_data_control_manager_v1 *g_manager = nullptr;
bool g_cancelled = false;
std::string g_hint;
std::string g_text;
long g_stallAfter = -1;

void global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    if (!g_seat && std::strcmp(interface, wl_seat_interface.name) == 0)
        g_seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
        g_manager = static_cast<zwlr_data_control_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}

void globalRemove(void *, wl_registry *, uint32_t) {}

void writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
}

void send(void *, zwlr_data_control_source_v1 *, const char *mime, int32_t fd)
{
    if (std::strcmp(mime, "x-kde-passwordManagerHint") == 0) {
        writeAll(fd, g_hint);
    } else if (g_stallAfter >= 0) {
        writeAll(fd, g_text.substr(0, size_t(g_stallAfter)));
        return; // the descriptor stays open: the reader waits for more
    } else {
        writeAll(fd, g_text);
    }
    close(fd);
}

void cancelled(void *, zwlr_data_control_source_v1 *)
{
    g_cancelled = true;
}
} // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    const char *type = nullptr;
    for (; arg + 1 < argc && std::strncmp(argv[arg], "--", 2) == 0; arg += 2) {
        if (std::strcmp(argv[arg], "--stall-after") == 0)
            g_stallAfter = std::atol(argv[arg + 1]);
        else if (std::strcmp(argv[arg], "--type") == 0)
            type = argv[arg + 1];
        else
            break;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: wlsecretcopy [--stall-after N] [--type MIME] HINT TEXT\n");
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    g_hint = argv[arg];
    g_text = argv[arg + 1];
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
    zwlr_data_control_source_v1 *source = zwlr_data_control_manager_v1_create_data_source(g_manager);
    static const zwlr_data_control_source_v1_listener sourceListener{send, cancelled};
    zwlr_data_control_source_v1_add_listener(source, &sourceListener, nullptr);
    if (type) {
        zwlr_data_control_source_v1_offer(source, type);
    } else {
        for (const char *mime : {"text/plain;charset=utf-8", "text/plain"})
            zwlr_data_control_source_v1_offer(source, mime);
    }
    if (hint)
        zwlr_data_control_source_v1_offer(source, "x-kde-passwordManagerHint");
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);

    while (!g_cancelled && wl_display_dispatch(display) >= 0) {
    }
    zwlr_data_control_source_v1_destroy(source);
    zwlr_data_control_device_v1_destroy(device);
    zwlr_data_control_manager_v1_destroy(g_manager);
    wl_seat_destroy(g_seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return g_cancelled ? 0 : 1;
}
