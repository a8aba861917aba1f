// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11paste.h"
#include "x11keymap.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include <poll.h>

using namespace x11keys;

namespace {
// How often the state is looked at while waiting, and how long the wait lasts at most.
constexpr int kStepMs = 10;
constexpr int kGiveUpMs = 1000;
// How long between two requests for the focus. The first goes at once: a window manager left to
// itself may give the focus to another window of ours (KWin gives it to the main window).
constexpr int kFocusAgainMs = 250;
// How long a spare key code keeps the symbol it was given: the target reads the new map when its
// events reach it, after the key itself.
constexpr int kSpareKeepMs = 300;
// How long the server's time is waited for at most; it answers at once.
constexpr int kTimeWaitMs = 200;

struct FreeReply
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

// Asks the window manager to activate `window` as a pager does, for the user: it does not second-guess
// the request as it does an application's own.
void askToActivate(xcb_connection_t *c, uint32_t root, uint32_t activeAtom, uint32_t window, uint32_t time)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = activeAtom;
    message.data.data32[0] = 2; // from a pager
    message.data.data32[1] = time;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
}
} // namespace

X11PasteSender::X11PasteSender(QObject *parent) : PasteSender(parent)
{
    m_steps.setInterval(kStepMs);
    connect(&m_steps, &QTimer::timeout, this, &X11PasteSender::step);
    m_restore.setSingleShot(true);
    m_restore.setInterval(kSpareKeepMs);
    connect(&m_restore, &QTimer::timeout, this, &X11PasteSender::restoreSpare);

    m_c = connectToRoot(&m_root);
    if (!m_root)
        return;
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_c, &xcb_test_id);
    m_xtest = xtest && xtest->present;
    m_activeAtom = atom("_NET_ACTIVE_WINDOW");
    m_clock = xcb_generate_id(m_c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_clock, m_root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
}

X11PasteSender::~X11PasteSender()
{
    restoreSpare();
    xcb_disconnect(m_c);
}

uint32_t X11PasteSender::atom(const char *name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

// The server's time now, read from a change of a property of a window of our own: a window manager
// weighs a request by its time, and mutter calls a client that sends none buggy. Without an answer in
// a moment (no window of ours, a server that stalls) the request goes without a time.
uint32_t X11PasteSender::serverTime()
{
    xcb_change_property(m_c, XCB_PROP_MODE_APPEND, m_clock, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(m_c);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            uint32_t time = XCB_CURRENT_TIME;
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
                const auto *change = reinterpret_cast<xcb_property_notify_event_t *>(event);
                time = change->window == m_clock ? change->time : XCB_CURRENT_TIME;
            }
            std::free(event); // nothing else is waited for here (see finish)
            if (time != XCB_CURRENT_TIME)
                return time;
        }
        const qint64 left = kTimeWaitMs - waited.elapsed();
        if (left <= 0 || xcb_connection_has_error(m_c))
            return XCB_CURRENT_TIME;
        pollfd readable{xcb_get_file_descriptor(m_c), POLLIN, 0};
        poll(&readable, 1, int(left));
    }
}

uint32_t X11PasteSender::focusNow()
{
    Reply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    return reply ? reply->focus : XCB_NONE;
}

void X11PasteSender::rememberTarget()
{
    m_focus = m_active = 0;
    m_class.clear();
    if (!m_xtest)
        return;
    const uint32_t focus = focusNow();
    if (focus == XCB_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus == m_root)
        return;
    m_focus = focus;
    Reply<xcb_get_property_reply_t> active(
        xcb_get_property_reply(m_c, xcb_get_property(m_c, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (active && xcb_get_property_value_length(active.get()) == 4)
        m_active = *static_cast<const uint32_t *>(xcb_get_property_value(active.get()));

    // WM_CLASS is on the client's top-level window; the focus may be on one inside it.
    for (uint32_t window = m_active ? m_active : focus; window && window != m_root;) {
        Reply<xcb_get_property_reply_t> wmClass(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
        if (wmClass && xcb_get_property_value_length(wmClass.get()) > 0) {
            // "instance\0class\0"
            const QByteArray value(static_cast<const char *>(xcb_get_property_value(wmClass.get())),
                                   xcb_get_property_value_length(wmClass.get()));
            const QList<QByteArray> parts = value.split('\0');
            m_class = QString::fromLocal8Bit(parts.value(1));
            return;
        }
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr));
        window = tree ? tree->parent : 0;
    }
}

void X11PasteSender::paste(PasteKeys keys)
{
    if (m_steps.isActive())
        finish(false); // the earlier paste is overtaken
    m_keys = keys;
    Keymap map;
    Modifiers mods;
    m_holdable.clear();
    if (m_xtest && readKeymap(m_c, &map) && readModifiers(m_c, map, &mods))
        m_holdable = mods.holdable;
    start(true);
}

void X11PasteSender::returnFocus()
{
    if (m_steps.isActive() && m_sendKeys)
        return; // the paste gives it back
    start(false);
}

void X11PasteSender::start(bool sendKeys)
{
    m_sendKeys = sendKeys;
    m_since.start();
    m_askedAt = -1;
    m_steps.start();
    step();
}

void X11PasteSender::step()
{
    if (!m_xtest || !m_focus || xcb_connection_has_error(m_c) || m_since.elapsed() > kGiveUpMs) {
        finish(false);
        return;
    }
    // The shortcut's keys still held would make Ctrl+V something else (Ctrl+Alt+V).
    if (m_sendKeys && modifierHeld())
        return;
    if (focusNow() != m_focus) {
        const qint64 now = m_since.elapsed();
        if (m_askedAt < 0 || now - m_askedAt >= kFocusAgainMs) {
            askForFocus();
            m_askedAt = now;
        }
        if (focusNow() != m_focus)
            return;
    }
    finish(m_sendKeys && send());
}

void X11PasteSender::finish(bool sent)
{
    m_steps.stop();
    // Nothing here waits for events; drop what the server sent anyway (map changes, a focus refused).
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_c))
        std::free(event);
    if (m_sendKeys)
        emit pasted(sent);
}

bool X11PasteSender::modifierHeld()
{
    Reply<xcb_query_keymap_reply_t> keys(xcb_query_keymap_reply(m_c, xcb_query_keymap(m_c), nullptr));
    if (!keys)
        return true;
    for (const uint8_t code : m_holdable) {
        if (keys->keys[code / 8] & (1u << (code % 8)))
            return true;
    }
    return false;
}

void X11PasteSender::activate(QWindow *window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !window || !m_activeAtom)
        return;
    // On Qt's connection, after the window's map request: the window manager knows the window when it
    // reads this. Without a window manager nobody reads it, and Qt gives the window the focus itself.
    askToActivate(x11->connection(), m_root, m_activeAtom, uint32_t(window->winId()), serverTime());
    xcb_flush(x11->connection());
}

// Asks the window manager to activate the window again, or, without one, gives it the focus.
void X11PasteSender::askForFocus()
{
    if (m_active) {
        askToActivate(m_c, m_root, m_activeAtom, m_active, serverTime());
    } else {
        xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_PARENT, m_focus, XCB_CURRENT_TIME);
    }
    xcb_flush(m_c);
}

bool X11PasteSender::send()
{
    Keymap map;
    if (!readKeymap(m_c, &map))
        return false;
    const bool ctrlV = m_keys == PasteKeys::CtrlV;
    const std::vector<uint8_t> modifierCodes = map.codesOf(ctrlV ? kControlL : kShiftL, false);
    if (modifierCodes.empty())
        return false;
    const uint32_t symbol = ctrlV ? uint32_t('v') : kInsert;
    std::vector<uint8_t> codes = map.codesOf(symbol, false);
    if (codes.empty() && (m_spare || (m_spare = map.spareCode()))) {
        std::vector<uint32_t> symbols(size_t(map.perCode), kNoSymbol);
        symbols[0] = symbol;
        if (ctrlV && map.perCode > 1)
            symbols[1] = uint32_t('V');
        xcb_change_keyboard_mapping(m_c, 1, m_spare, uint8_t(map.perCode), symbols.data());
        codes = {m_spare};
    }
    if (codes.empty())
        return false;
    if (m_spare)
        m_restore.start();
    const uint8_t modifier = modifierCodes.front(), key = codes.front();
    xcb_test_fake_input(m_c, XCB_KEY_PRESS, modifier, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(m_c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(m_c, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(m_c, XCB_KEY_RELEASE, modifier, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    // A round trip: the server has handled the keys before `pasted` says so.
    focusNow();
    return !xcb_connection_has_error(m_c);
}

void X11PasteSender::restoreSpare()
{
    if (!m_spare || xcb_connection_has_error(m_c))
        return;
    Keymap map;
    if (readKeymap(m_c, &map)) {
        const std::vector<uint32_t> nothing(size_t(map.perCode), kNoSymbol);
        xcb_change_keyboard_mapping(m_c, 1, m_spare, uint8_t(map.perCode), nothing.data());
        xcb_flush(m_c);
    }
    m_spare = 0;
    m_restore.stop();
}
