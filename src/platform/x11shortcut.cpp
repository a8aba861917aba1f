// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11shortcut.h"
#include "x11keymap.h"

#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

using namespace x11keys;

X11GlobalShortcut::X11GlobalShortcut(QObject *parent) : GlobalShortcut(parent)
{
    m_c = connectToRoot(&m_root);
    if (!m_root)
        return;
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_c), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11GlobalShortcut::readEvents);
}

X11GlobalShortcut::~X11GlobalShortcut()
{
    delete m_notifier;
    xcb_disconnect(m_c); // the server drops the grabs with the connection
}

bool X11GlobalShortcut::bind(const QKeySequence &keys)
{
    unbind();
    if (keys.isEmpty() || !m_root)
        return false;
    // Kept also when they cannot be grabbed now: another keyboard map may have their key.
    m_keys = keys;
    const Grab result = grab();
    tell(result);
    // Events read while waiting for the answers are not announced by the notifier.
    QMetaObject::invokeMethod(this, &X11GlobalShortcut::readEvents, Qt::QueuedConnection);
    return result == Grab::Done;
}

void X11GlobalShortcut::unbind()
{
    ungrab();
    m_keys = {};
}

QString X11GlobalShortcut::boundText() const
{
    return m_grabbed.empty() ? QString() : m_keys.toString(QKeySequence::NativeText);
}

X11GlobalShortcut::Grab X11GlobalShortcut::grab()
{
    Keymap map;
    Modifiers mods;
    if (!readKeymap(m_c, &map) || !readModifiers(m_c, map, &mods))
        return Grab::Failed;
    const QKeyCombination combination = m_keys[0];
    const uint32_t symbol = keysymOf(combination.key());
    // The grab is on the key code whatever group the keyboard is in: a 'v' only in the second group
    // (a Russian layout first) is the key the user presses for it.
    const std::vector<uint8_t> codes = symbol ? map.codesInAnyGroup(symbol) : std::vector<uint8_t>();
    if (codes.empty())
        return Grab::NoKey;
    const Qt::KeyboardModifiers qtMods = combination.keyboardModifiers();
    m_modifiers = 0;
    if (qtMods & Qt::ShiftModifier)
        m_modifiers |= XCB_MOD_MASK_SHIFT;
    if (qtMods & Qt::ControlModifier)
        m_modifiers |= XCB_MOD_MASK_CONTROL;
    if (qtMods & Qt::AltModifier)
        m_modifiers |= mods.alt;
    if (qtMods & Qt::MetaModifier)
        m_modifiers |= mods.super;
    m_lockBits = uint16_t((XCB_MOD_MASK_LOCK | mods.numLock | mods.scrollLock) & ~m_modifiers);

    // Every combination of the lock bits: a grab matches the modifier state exactly.
    std::vector<uint16_t> variants{0};
    for (int bit = 0; bit < 8; ++bit) {
        if (m_lockBits & (1u << bit)) {
            const size_t n = variants.size();
            for (size_t i = 0; i < n; ++i)
                variants.push_back(uint16_t(variants[i] | (1u << bit)));
        }
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (const uint8_t code : codes) {
        for (const uint16_t variant : variants)
            cookies.push_back(xcb_grab_key_checked(m_c, 1, m_root, uint16_t(m_modifiers | variant), code,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    m_grabbed = codes;
    Grab result = Grab::Done;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(m_c, cookie)) {
            result = error->error_code == XCB_ACCESS ? Grab::Taken : Grab::Failed;
            std::free(error);
        }
    }
    if (result != Grab::Done)
        ungrab();
    return result;
}

void X11GlobalShortcut::ungrab()
{
    if (m_grabbed.empty())
        return;
    for (const uint8_t code : m_grabbed)
        xcb_ungrab_key(m_c, code, m_root, XCB_MOD_MASK_ANY);
    xcb_flush(m_c);
    m_grabbed.clear();
}

void X11GlobalShortcut::tell(Grab result)
{
    if (result == Grab::Done) {
        m_toldFor = {}; // told again should they stop working
        return;
    }
    if (m_toldFor == m_keys || (result != Grab::Taken && result != Grab::NoKey))
        return;
    m_toldFor = m_keys;
    const QString keys = m_keys.toString(QKeySequence::NativeText);
    emit problem(result == Grab::Taken
                     ? tr("ショートカット %1 は他のプログラムが使用しているため、登録できませんでした。").arg(keys)
                     : tr("ショートカット %1 のキーが今のキーボード配列にないため、登録できませんでした。").arg(keys));
}

void X11GlobalShortcut::readEvents()
{
    bool remapped = true;
    while (remapped) {
        remapped = false;
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            switch (event->response_type & 0x7f) {
            case XCB_KEY_PRESS: {
                const auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
                const bool repeat = press->detail == m_lastRelease && press->time == m_lastReleaseTime;
                if (!repeat && (press->state & ~m_lockBits & 0xff) == m_modifiers &&
                    std::find(m_grabbed.begin(), m_grabbed.end(), press->detail) != m_grabbed.end())
                    emit activated();
                break;
            }
            case XCB_KEY_RELEASE: {
                const auto *release = reinterpret_cast<xcb_key_release_event_t *>(event);
                m_lastRelease = release->detail;
                m_lastReleaseTime = release->time;
                break;
            }
            case XCB_MAPPING_NOTIFY:
                remapped |= reinterpret_cast<xcb_mapping_notify_event_t *>(event)->request != XCB_MAPPING_POINTER;
                break;
            default:
                break;
            }
            std::free(event);
        }
        // Another layout may put the key on other key codes, or the lock modifiers on other bits.
        remapped = remapped && !m_keys.isEmpty();
        if (remapped) {
            const bool wasBound = !m_grabbed.empty();
            ungrab();
            tell(grab());
            if (wasBound != !m_grabbed.empty())
                emit keysChanged();
        }
    }
    if (xcb_connection_has_error(m_c) && m_notifier)
        m_notifier->setEnabled(false);
}
