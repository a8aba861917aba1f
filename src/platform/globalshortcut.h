// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

// A key combination that reaches the program whatever window has the focus: a key grab on X11, the
// desktop's global-shortcuts portal where it offers one.
class GlobalShortcut : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Binds `keys`, replacing what was bound; an empty sequence binds nothing. False when it cannot be
    // bound here: `problem` has then been emitted with a line for the user when there is something to
    // tell (a key another program holds), and nothing when the session simply offers no way.
    virtual bool bind(const QKeySequence &keys) = 0;
    virtual void unbind() = 0;
    // The keys as the desktop has them bound (a portal lets the user choose others); empty when unbound.
    virtual QString boundText() const = 0;

signals:
    void activated();
    void problem(const QString &text);
    // The keys bound changed after bind() answered (a desktop that answers later, or whose user chose
    // others): boundText() tells them now.
    void keysChanged();
};

// A session where no global shortcut can be bound.
class NoGlobalShortcut final : public GlobalShortcut
{
    Q_OBJECT

public:
    using GlobalShortcut::GlobalShortcut;

    bool bind(const QKeySequence &) override { return false; }
    void unbind() override {}
    QString boundText() const override { return {}; }
};
