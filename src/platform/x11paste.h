// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/pastesender.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <vector>

struct xcb_connection_t;

// Pastes into another program's window with XTest, through a connection of its own to the X display
// (DISPLAY). The keys are sent by their key symbols: a layout that types the symbol on some key gets
// that key, and one without it (a 'v' on a Cyrillic keyboard) gets a spare key code mapped to the
// symbol for a moment.
class X11PasteSender final : public PasteSender
{
    Q_OBJECT

public:
    explicit X11PasteSender(QObject *parent = nullptr);
    ~X11PasteSender() override;

    bool canPaste() const override { return m_xtest; }
    void rememberTarget() override;
    QString targetClass() const override { return m_class; }
    void paste(PasteKeys keys) override;
    void returnFocus() override;
    void activate(QWindow *window) override;

private:
    // Waits for the remembered window to have the focus, asking for it when it does not come back by
    // itself; then sends the keys when `sendKeys`.
    void start(bool sendKeys);
    void step();
    void finish(bool sent);
    bool modifierHeld();
    uint32_t focusNow();
    void askForFocus();
    bool send();
    void restoreSpare();
    uint32_t atom(const char *name);
    uint32_t serverTime();

    xcb_connection_t *m_c = nullptr;
    uint32_t m_root = 0;
    bool m_xtest = false;
    uint32_t m_activeAtom = 0;
    uint32_t m_clock = 0;  // a window of our own, never shown, for the server's time
    uint32_t m_focus = 0;  // the window that had the input focus
    uint32_t m_active = 0; // the top-level window the window manager called active, 0 without one
    QString m_class;

    PasteKeys m_keys = PasteKeys::CtrlV;
    bool m_sendKeys = false;         // false: the focus alone is given back
    std::vector<uint8_t> m_holdable; // the modifier keys that must be up before the keys are sent
    QTimer m_steps;
    QElapsedTimer m_since;
    qint64 m_askedAt = -1;
    QTimer m_restore; // puts the spare key code back to nothing once the target has read the keys
    uint8_t m_spare = 0;
};
