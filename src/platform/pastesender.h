// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QWindow;

// The keys that paste in the target window: Ctrl+V, or Shift+Insert for terminals.
enum class PasteKeys
{
    CtrlV,
    ShiftInsert,
};

// Types the paste keys into another program's window, as if the user had: XTest on X11, the
// virtual-keyboard protocol on wlroots compositors.
class PasteSender : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Whether keys can be sent into other programs' windows in this session at all.
    virtual bool canPaste() const = 0;
    // Notes the window that has the focus now, before one of ours takes it.
    virtual void rememberTarget() = 0;
    // The remembered window's class (WM_CLASS on X11); empty when it cannot be known.
    virtual QString targetClass() const = 0;
    // Once the keys of the shortcut are released and the remembered window has the focus back, sends
    // `keys` as key symbols, so every keyboard layout types the same. Reports with `pasted`.
    virtual void paste(PasteKeys keys) = 0;
    // Gives the remembered window the focus back when ours closed without pasting (Escape): a window
    // manager may hand it to another window of ours, and without one nobody gets it. Nothing where the
    // desktop always gives it back itself.
    virtual void returnFocus() {}
    // Gives `window`, ours and just shown because the user asked for it, the focus also where the
    // window manager keeps a new window from taking it (KWin's higher focus stealing prevention).
    virtual void activate(QWindow *window) { Q_UNUSED(window) }

signals:
    void pasted(bool sent);
};

// A session where no keys can be sent: the user presses Ctrl+V.
class NoPaste final : public PasteSender
{
    Q_OBJECT

public:
    using PasteSender::PasteSender;

    bool canPaste() const override { return false; }
    void rememberTarget() override {}
    QString targetClass() const override { return {}; }
    void paste(PasteKeys) override { emit pasted(false); }
};
