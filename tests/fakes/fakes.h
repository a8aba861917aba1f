#pragma once

// Scripted stand-ins for the desktop services, recording what the windows asked of them.

#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "platform/singleinstance.h"
#include "platform/tray.h"

#include <QList>
#include <QQueue>

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
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    }

    QList<Shown> shown;
    QQueue<MsgAnswer> answers;
};

// An in-memory clipboard; every change is announced like the desktop's.
class FakeClipboard final : public Clipboard
{
public:
    ClipboardContent read() const override
    {
        ++reads;
        return content;
    }
    void clear() override { put({}); }
    void setText(const QString &text) override { put({true, text, false, {}}); }
    void setImage(const QImage &image) override { put({false, {}, true, image}); }

    // Another program changes the clipboard.
    void put(const ClipboardContent &c)
    {
        content = c;
        emit changed();
    }

    ClipboardContent content;
    mutable int reads = 0;
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

    bool available = true;
    bool shown = false;
    QString tip;
};

class FakeInstance final : public SingleInstance
{
public:
    bool acquire() override { return !otherRunning; }
    void activateRunning() override { ++activations; }

    bool otherRunning = false;
    int activations = 0;
};

struct Fakes
{
    FakeMessages messages;
    FakeClipboard clipboard;
    FakeTray tray;
    FakeInstance instance;

    Platform platform() { return {&messages, &clipboard, &tray, &instance}; }
};
