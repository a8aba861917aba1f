// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/pastesender.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <optional>

class QSocketNotifier;
struct wl_callback;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// Pastes on wlroots compositors (sway, Hyprland, labwc) through the virtual-keyboard protocol: a
// keyboard of our own in the seat, with a key map of our own, so Ctrl+V and Shift+Insert are the same
// keys whatever layout the user types with. It has its own connection to the compositor, read on the
// UI thread as the socket has something to read; nothing waits for the compositor but for its globals
// at start, for half a second at most (canPaste() is right at once). A connection lost
// is made again at the next paste. No window's class can be known on Wayland.
class WaylandPasteSender final : public PasteSender
{
    Q_OBJECT

public:
    explicit WaylandPasteSender(QObject *parent = nullptr);
    ~WaylandPasteSender() override;

    // True when the compositor offers virtual keyboards (false until it has told, or one connection
    // finds none).
    bool canPaste() const override { return m_offered; }
    void rememberTarget() override {}
    QString targetClass() const override { return {}; }
    // Sends the keys after a short settle, in which the compositor gives the focus back to the window
    // our popup took it from; pasted(true) once the compositor has taken them. One paste at a time:
    // another asked for meanwhile is answered pasted(false).
    void paste(PasteKeys keys) override;

    // The registry's and the callbacks' listeners.
    void onGlobal(uint32_t name, const char *interface, uint32_t version);
    void onSynced(wl_callback *callback);

private:
    enum class State
    {
        Disconnected,
        Connecting, // the globals asked for, not yet all known
        Ready,
    };

    void connectToCompositor();
    void awaitGlobals();
    void disconnect();
    void readEvents();
    void flush();
    void lost();
    void globalsKnown();
    void sendWhenReady();
    void sendKeys(PasteKeys keys);
    void finish(bool sent);

    QByteArray m_displayName;
    State m_state = State::Disconnected;
    bool m_offered = false;
    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *m_manager = nullptr;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    uint32_t m_seatName = 0;
    uint32_t m_managerName = 0;
    int m_keymap = -1; // our key map's text, in memory
    wl_callback *m_globalsSync = nullptr;
    wl_callback *m_keysSync = nullptr;
    bool m_globalsArrived = false; // told by the events just dispatched
    bool m_keysTaken = false;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;

    std::optional<PasteKeys> m_pending;
    bool m_settled = false;
    QTimer m_settle;
    QTimer m_deadline;
    QElapsedTimer m_clock;
};
