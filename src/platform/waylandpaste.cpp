// SPDX-License-Identifier: GPL-3.0-or-later
#include "waylandpaste.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <QSocketNotifier>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include <errno.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
using namespace std::chrono_literals;

// From the popup's closing to the keys: the compositor gives the focus back to the previous window.
constexpr auto kSettle = 60ms;
// A paste the compositor has not taken by then is given up.
constexpr auto kDeadline = 2s;
// How long the compositor's globals are waited for at start.
constexpr qint64 kStartWaitMs = 500;

// The keys of our key map, as the protocol names them (the key map's codes less 8).
constexpr uint32_t kControl = 29;
constexpr uint32_t kShift = 42;
constexpr uint32_t kV = 47;
constexpr uint32_t kInsert = 110;
// The real modifiers' bits, the same in every key map.
constexpr uint32_t kShiftMask = 1u << 0;
constexpr uint32_t kControlMask = 1u << 2;

// Just the four keys, with nothing taken from the system's keyboard descriptions.
constexpr char kKeymap[] = R"(xkb_keymap {
xkb_keycodes "vornkip" {
    minimum = 8;
    maximum = 255;
    <LCTL> = 37;
    <LFSH> = 50;
    <AB04> = 55;
    <INS> = 118;
};
xkb_types "vornkip" {
    type "ONE_LEVEL" {
        modifiers = none;
        level_name[Level1] = "Any";
    };
    type "ALPHABETIC" {
        modifiers = Shift + Lock;
        map[Shift] = Level2;
        map[Lock] = Level2;
        level_name[Level1] = "Base";
        level_name[Level2] = "Caps";
    };
};
xkb_compatibility "vornkip" {
    interpret Control_L { action = SetMods(modifiers = Control); };
    interpret Shift_L { action = SetMods(modifiers = Shift); };
};
xkb_symbols "vornkip" {
    key <LCTL> { type = "ONE_LEVEL", [ Control_L ] };
    key <LFSH> { type = "ONE_LEVEL", [ Shift_L ] };
    key <AB04> { type = "ALPHABETIC", [ v, V ] };
    key <INS> { type = "ONE_LEVEL", [ Insert ] };
    modifier_map Control { <LCTL> };
    modifier_map Shift { <LFSH> };
};
};
)";

void log(const char *what)
{
    std::fprintf(stderr, "vornkip: %s\n", what);
}

const wl_registry_listener kRegistryListener{
    [](void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version) {
        static_cast<WaylandPasteSender *>(data)->onGlobal(name, interface, version);
    },
    [](void *, wl_registry *, uint32_t) {}};

const wl_callback_listener kSyncListener{
    [](void *data, wl_callback *callback, uint32_t) { static_cast<WaylandPasteSender *>(data)->onSynced(callback); }};
} // namespace

WaylandPasteSender::WaylandPasteSender(QObject *parent) : PasteSender(parent)
{
    m_clock.start();
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettle);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        m_settled = true;
        sendWhenReady();
    });
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kDeadline);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        log("the compositor did not take the paste keys in time");
        finish(false);
    });
    // Kept, so that connecting again finds the same compositor whatever the environment holds then.
    m_displayName = qgetenv("WAYLAND_DISPLAY");
    m_keymap = memfd_create("vornkip-keymap", MFD_CLOEXEC);
    if (m_keymap >= 0 && write(m_keymap, kKeymap, sizeof kKeymap) != ssize_t(sizeof kKeymap)) {
        close(m_keymap);
        m_keymap = -1;
    }
    connectToCompositor();
    awaitGlobals();
}

WaylandPasteSender::~WaylandPasteSender()
{
    disconnect();
    if (m_keymap >= 0)
        close(m_keymap);
}

void WaylandPasteSender::paste(PasteKeys keys)
{
    if (m_pending) {
        QMetaObject::invokeMethod(
            this, [this] { emit pasted(false); }, Qt::QueuedConnection);
        return;
    }
    m_pending = keys;
    m_settled = false;
    m_settle.start();
    m_deadline.start();
    if (m_state == State::Disconnected)
        connectToCompositor();
    if (m_state == State::Disconnected)
        finish(false);
}

// Asks for the globals; they are read as they come (globalsKnown()).
void WaylandPasteSender::connectToCompositor()
{
    if (m_displayName.isEmpty())
        return;
    m_display = wl_display_connect(m_displayName.constData());
    if (!m_display)
        return;
    m_state = State::Connecting;
    m_seatName = m_managerName = 0;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    m_globalsSync = wl_display_sync(m_display);
    wl_callback_add_listener(m_globalsSync, &kSyncListener, this);
    const int fd = wl_display_get_fd(m_display);
    m_readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &WaylandPasteSender::readEvents);
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &WaylandPasteSender::flush);
    flush();
}

// Reads the globals at start, for a moment at most: whether we can paste is asked at once by a popup
// opened with the program (vornkip --popup with none running). What comes later is read as it comes.
void WaylandPasteSender::awaitGlobals()
{
    QElapsedTimer waited;
    waited.start();
    while (m_state == State::Connecting && !m_globalsArrived && waited.elapsed() < kStartWaitMs) {
        if (wl_display_prepare_read(m_display) != 0) {
            if (wl_display_dispatch_pending(m_display) < 0)
                return lost();
            continue;
        }
        wl_display_flush(m_display);
        pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
        if (poll(&readable, 1, int(kStartWaitMs - waited.elapsed())) > 0) {
            if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
                return lost();
        } else {
            wl_display_cancel_read(m_display);
        }
    }
    if (std::exchange(m_globalsArrived, false))
        globalsKnown();
}

void WaylandPasteSender::disconnect()
{
    // Perhaps called from the notifier's own signal: it goes once that has returned.
    for (QSocketNotifier *notifier : {m_readable, m_writable}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readable = m_writable = nullptr;
    for (wl_callback **callback : {&m_globalsSync, &m_keysSync}) {
        if (*callback)
            wl_callback_destroy(*callback);
        *callback = nullptr;
    }
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    m_keyboard = nullptr;
    m_manager = nullptr;
    m_seat = nullptr;
    m_registry = nullptr;
    if (m_display) {
        wl_display_flush(m_display); // the keyboard leaves the seat at once
        wl_display_disconnect(m_display);
    }
    m_display = nullptr;
    m_globalsArrived = m_keysTaken = false;
    m_state = State::Disconnected;
}

void WaylandPasteSender::readEvents()
{
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return lost();
    }
    // The socket is readable, so this takes what is there without waiting.
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0)
        return lost();
    // What the events tell is acted on here, never while they are dispatched: acting may end the
    // connection.
    if (std::exchange(m_globalsArrived, false))
        globalsKnown();
    if (std::exchange(m_keysTaken, false))
        finish(true);
    flush();
}

// Sends what is queued; what the socket cannot take now is sent when it can.
void WaylandPasteSender::flush()
{
    if (!m_display)
        return;
    if (wl_display_flush(m_display) >= 0) {
        m_writable->setEnabled(false);
    } else if (errno == EAGAIN) {
        m_writable->setEnabled(true);
    } else {
        lost();
    }
}

void WaylandPasteSender::lost()
{
    if (wl_display_get_error(m_display) == EPROTO) {
        // It refused our keyboard (a compositor may allow virtual keyboards to some programs only).
        log("the Wayland compositor refused our virtual keyboard");
        m_offered = false;
    } else {
        log("the connection to the Wayland compositor for pasting was lost");
    }
    disconnect();
    finish(false);
}

void WaylandPasteSender::onGlobal(uint32_t name, const char *interface, uint32_t)
{
    if (!m_seatName && std::strcmp(interface, wl_seat_interface.name) == 0)
        m_seatName = name;
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        m_managerName = name;
}

void WaylandPasteSender::onSynced(wl_callback *callback)
{
    if (callback == m_globalsSync) {
        m_globalsSync = nullptr;
        m_globalsArrived = true;
    } else if (callback == m_keysSync) {
        m_keysSync = nullptr;
        m_keysTaken = true;
    }
    wl_callback_destroy(callback);
}

// Makes our keyboard, where the compositor offers virtual keyboards.
void WaylandPasteSender::globalsKnown()
{
    m_offered = m_seatName && m_managerName;
    if (!m_offered) {
        disconnect();
        return finish(false);
    }
    m_seat = static_cast<wl_seat *>(wl_registry_bind(m_registry, m_seatName, &wl_seat_interface, 1));
    m_manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
        wl_registry_bind(m_registry, m_managerName, &zwp_virtual_keyboard_manager_v1_interface, 1));
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);
    m_state = State::Ready;
    flush();
    sendWhenReady();
}

void WaylandPasteSender::sendWhenReady()
{
    if (m_pending && m_settled && m_state == State::Ready && !m_keysSync)
        sendKeys(*m_pending);
}

// Our key map, then the modifier pressed, the key pressed and released, the modifier released; a round
// trip tells when the compositor has taken them all. The key map goes with every paste: the compositor
// may have put the user's layout on our keyboard meanwhile (sway does whenever its keyboard settings
// are applied). Our keyboard's modifiers are its own: the keys of the shortcut still held on the
// user's keyboard are not among them.
void WaylandPasteSender::sendKeys(PasteKeys keys)
{
    if (m_keymap < 0) {
        log("cannot write the key map for pasting");
        return finish(false);
    }
    // The text with its terminating zero, as the compositor reads it; the request sends a copy of the
    // descriptor.
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, m_keymap, sizeof kKeymap);
    const bool ctrlV = keys == PasteKeys::CtrlV;
    const uint32_t modifier = ctrlV ? kControl : kShift;
    const uint32_t mask = ctrlV ? kControlMask : kShiftMask;
    const uint32_t key = ctrlV ? kV : kInsert;
    const auto time = uint32_t(m_clock.elapsed());
    zwp_virtual_keyboard_v1_key(m_keyboard, time, modifier, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, mask, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(m_keyboard, time, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(m_keyboard, time, key, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_key(m_keyboard, time, modifier, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    m_keysSync = wl_display_sync(m_display);
    wl_callback_add_listener(m_keysSync, &kSyncListener, this);
    flush();
}

void WaylandPasteSender::finish(bool sent)
{
    if (!m_pending)
        return;
    m_pending.reset();
    m_settle.stop();
    m_deadline.stop();
    if (m_keysSync) { // given up: a late answer is not this paste's
        wl_callback_destroy(m_keysSync);
        m_keysSync = nullptr;
    }
    QMetaObject::invokeMethod(
        this, [this, sent] { emit pasted(sent); }, Qt::QueuedConnection);
}
