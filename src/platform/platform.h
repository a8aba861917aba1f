#pragma once

class Clipboard;
class Desktop;
class FileDialogs;
class MessageService;
class SingleInstance;
class SystemInfo;
class TrayIcon;

// The desktop services a window reaches. The composition root hands in the real ones; tests hand
// in fakes. Nothing here is owned.
struct Platform
{
    MessageService *messages = nullptr;
    Clipboard *clipboard = nullptr;
    TrayIcon *tray = nullptr;
    SingleInstance *instance = nullptr;
    FileDialogs *dialogs = nullptr;
    Desktop *desktop = nullptr;
    SystemInfo *system = nullptr;
};
