// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/globalshortcut.h"

#include <QKeySequence>

#include <cstdint>
#include <vector>

class QSocketNotifier;
struct xcb_connection_t;

// The shortcut as a passive grab of its key on the root window of the X display (DISPLAY), through a
// connection of its own read by a socket notifier, whatever platform Qt runs on. The key is grabbed
// with and without NumLock, CapsLock and ScrollLock, so those never keep it from working, and again
// whenever the keyboard map changes (another layout, another keyboard): keys refused under one map are
// grabbed when another has them, and boundText() tells only keys grabbed now.
class X11GlobalShortcut final : public GlobalShortcut
{
    Q_OBJECT

public:
    explicit X11GlobalShortcut(QObject *parent = nullptr);
    ~X11GlobalShortcut() override;

    bool bind(const QKeySequence &keys) override;
    void unbind() override;
    QString boundText() const override;

private:
    enum class Grab
    {
        Done,
        NoKey, // the key is not on the keyboard as it is mapped now
        Taken, // another program holds it
        Failed,
    };
    Grab grab();
    void ungrab();
    void tell(Grab result);
    void readEvents();

    xcb_connection_t *m_c = nullptr;
    uint32_t m_root = 0;
    QSocketNotifier *m_notifier = nullptr;
    QKeySequence m_keys;            // the keys asked for, whether grabbed now or not
    uint16_t m_modifiers = 0;       // the shortcut's own modifier bits
    uint16_t m_lockBits = 0;        // NumLock, CapsLock and ScrollLock: whatever their state, the key works
    std::vector<uint8_t> m_grabbed; // the key codes grabbed now
    uint8_t m_lastRelease = 0;      // key auto-repeat sends a release and a press with the same time
    uint32_t m_lastReleaseTime = 0;
    QKeySequence m_toldFor; // the keys the user has been told do not work, until they work again
};
