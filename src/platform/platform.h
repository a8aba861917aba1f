// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Clipboard;
class Desktop;
class FileDialogs;
class GlobalShortcut;
class MessageService;
class PasteSender;
class SingleInstance;
class SystemInfo;
class TrayIcon;

// One desktop service as a window holds it: bound to an object when made and never null, so no
// caller checks it. A session without the service gets its null object (NoTray, SoleInstance,
// NoClipboard). Used like a pointer; not owned.
template <typename T>
class Service
{
public:
    // Implicit, so that a Platform is written as the list of its services.
    Service(T &service) : m_service(&service) {}

    T *operator->() const { return m_service; }
    T &operator*() const { return *m_service; }
    operator T *() const { return m_service; }

private:
    T *m_service;
};

// The desktop services a window reaches. The composition root hands in the real ones; tests hand
// in fakes. Every one must be given.
struct Platform
{
    Service<MessageService> messages;
    Service<Clipboard> clipboard;
    Service<TrayIcon> tray;
    Service<SingleInstance> instance;
    Service<FileDialogs> dialogs;
    Service<Desktop> desktop;
    Service<SystemInfo> system;
    Service<GlobalShortcut> shortcut;
    Service<PasteSender> paste;
};
