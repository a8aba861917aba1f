// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scripted stand-ins for the desktop services, recording what the windows asked of them.

#include "core/commanderror.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/globalshortcut.h"
#include "platform/messages.h"
#include "platform/pastesender.h"
#include "platform/platform.h"
#include "platform/singleinstance.h"
#include "platform/sysinfo.h"
#include "platform/tray.h"

#include <QList>
#include <QQueue>

#include <functional>
#include <type_traits>

class FakeMessages final : public MessageService
{
public:
    struct Shown
    {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
    };

    MsgAnswer show(QWidget *, const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons) override
    {
        shown.append({text, title, icon, buttons});
        if (whileOpen)
            whileOpen();
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    }

    std::optional<QString> input(QWidget *, const QString &prompt, const QString &title,
                                 const QString &defaultAnswer) override
    {
        inputs.append({prompt, title, defaultAnswer});
        return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
    }

    struct Asked
    {
        QString prompt;
        QString title;
        QString defaultAnswer;
    };

    QList<Shown> shown;
    QQueue<MsgAnswer> answers;
    std::function<void()> whileOpen; // what happens while a box is open, before it is answered
    QList<Asked> inputs;
    QQueue<std::optional<QString>> inputAnswers;
};

// An in-memory clipboard; every change is announced like the desktop's.
class FakeClipboard final : public Clipboard
{
public:
    using Clipboard::read;
    ClipboardContent read(bool withPicture) const override
    {
        ++reads;
        if (withPicture)
            ++pictureReads;
        ClipboardContent c = content;
        if (!withPicture)
            c.image = QImage();
        return c;
    }
    void clear() override { put({}); }
    void setText(const QString &text) override { put({true, text, false, {}}); }
    void setImage(const QImage &image) override { put({false, {}, true, image}); }
    void setSelection(const QString &text) override { selection = text; }

    // Another program changes the clipboard.
    void put(const ClipboardContent &c)
    {
        content = c;
        emit changed();
    }

    ClipboardContent content;
    QString selection;
    mutable int reads = 0;
    mutable int pictureReads = 0;
};

class FakeTray final : public TrayIcon
{
public:
    bool isAvailable() const override { return available; }
    void add(const QIcon &, const QString &t) override
    {
        shown = true;
        tip = t;
    }
    void remove() override { shown = false; }
    void appear()
    {
        available = true;
        emit becameAvailable();
    }

    bool available = true;
    bool shown = false;
    QString tip;
};

class FakeInstance final : public SingleInstance
{
public:
    bool acquire() override { return !otherRunning; }
    void activateRunning() override { ++activations; }
    bool popupRunning() override
    {
        ++popups;
        return true;
    }
    bool syncChangedRunning() override { return false; }

    bool otherRunning = false;
    int activations = 0;
    int popups = 0;
};

// Answers dialogs from a queue: a path (and filter index), or nothing for a cancel.
class FakeDialogs final : public FileDialogs
{
public:
    struct Asked
    {
        bool save;
        FileDialogSpec request;
    };

    std::optional<FileDialogResult> open(QWidget *, const FileDialogSpec &request) override
    {
        return next(false, request);
    }
    std::optional<FileDialogResult> save(QWidget *, const FileDialogSpec &request) override
    {
        return next(true, request);
    }
    std::optional<QFont> font(QWidget *, const QFont &initial) override
    {
        fontsAsked << initial;
        return fontAnswers.isEmpty() ? std::nullopt : fontAnswers.dequeue();
    }

    QList<QFont> fontsAsked;
    QQueue<std::optional<QFont>> fontAnswers;

    QList<Asked> asked;
    QQueue<std::optional<FileDialogResult>> answers;

private:
    std::optional<FileDialogResult> next(bool save, const FileDialogSpec &request)
    {
        asked.append({save, request});
        return answers.isEmpty() ? std::nullopt : answers.dequeue();
    }
};

// Records what would have been launched; programs "exist" when listed in `installed`.
class FakeDesktop final : public Desktop
{
public:
    void shellOpen(const QString &target) override { opened << target; }
    QString findProgram(const QString &name) const override
    {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }
    void startProgram(const QString &program, const QStringList &arguments) override
    {
        if (!installed.contains(program))
            throw fileError(2, program);
        started << (QStringList{program} + arguments).join(QLatin1Char(' '));
    }
    void startScreenSaver() override { ++screenSavers; }
    void cdDoor(bool open) override { doors << open; }

    QStringList installed;
    QStringList opened;
    QStringList started;
    QList<bool> doors;
    int screenSavers = 0;
};

class FakeSystem final : public SystemInfo
{
public:
    QDateTime now() const override { return clock; }
    qint64 uptimeMs() const override { return uptime; }
    Memory memory() const override { return mem; }
    bool capsLock() const override { return caps; }

    QDateTime clock{QDate(2001, 5, 27), QTime(18, 16, 7)};
    qint64 uptime = 3723400;
    Memory mem{128ull << 20, 32ull << 20};
    bool caps = false;
};

// A shortcut bound as asked; the test emits `activated` for the key press.
class FakeShortcut final : public GlobalShortcut
{
public:
    bool bind(const QKeySequence &keys) override
    {
        bound = keys;
        return bindable && !keys.isEmpty();
    }
    void unbind() override { bound = {}; }
    QString boundText() const override { return bound.toString(); }

    QKeySequence bound;
    bool bindable = true;
};

// Records the pastes asked for; each is sent (or not) as `sends` says.
class FakePaste final : public PasteSender
{
public:
    bool canPaste() const override { return sends; }
    void rememberTarget() override { ++remembered; }
    QString targetClass() const override { return windowClass; }
    void paste(PasteKeys keys) override
    {
        pastes << keys;
        if (!later)
            emit pasted(sends);
        else if (std::exchange(pending, true))
            emit pasted(false); // the earlier paste is overtaken, reported at once as on X11
    }
    // With `later`, the paste under way is reported here.
    void report(bool sent)
    {
        pending = false;
        emit pasted(sent);
    }
    void returnFocus() override { ++focusReturned; }

    bool sends = true;
    bool later = false;
    bool pending = false;
    int remembered = 0;
    int focusReturned = 0;
    QString windowClass;
    QList<PasteKeys> pastes;
};

struct Fakes
{
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeTray tray;
    FakeInstance instance;
    FakeDialogs dialogs;
    FakeDesktop desktop;
    FakeSystem system;
    FakeShortcut shortcut;
    FakePaste paste;

    Platform platform() { return {messages, clipboard, tray, instance, dialogs, desktop, system, shortcut, paste}; }
};

// A window never meets a missing service: a platform cannot be made without every one, nor from a pointer.
static_assert(!std::is_default_constructible_v<Platform>);
static_assert(!std::is_constructible_v<Service<Clipboard>, Clipboard *>);
