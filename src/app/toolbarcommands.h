// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <QObject>

class DesktopIntegration;
class HistoryFile;
class HistoryList;
class QComboBox;
class QTimer;
class QToolBar;
class QWidget;
class SecondaryWindows;
class TitleLine;
struct Settings;

// The commands of the main window's two toolbars and their drop-down menus, dispatched on key strings
// compared without regard to case, and the commands themselves that belong to no window: launching,
// the screen-saver countdown, the history and template files and template mode (`Combo2`). A history
// file opened or deleted is reported (historyReplaced): the main window rebuilds the list.
class ToolbarCommands final : public QObject
{
    Q_OBJECT

public:
    // Where a key comes from: each has its own commands and the errors it expects and ignores.
    enum class Source
    {
        Toolbar1,     // no error is expected
        Toolbar1Menu, // a conversion of a text that is no number (13) or too large a one (6)
        Toolbar2,     // a cancelled file dialog (32755)
        Toolbar2Menu, // a cancelled file dialog (32755)
    };

    // The parts of the main window the commands act on.
    struct Parts
    {
        QWidget *window;
        HistoryList *combo1;
        QComboBox *combo2;
        DesktopIntegration &desktop;
        SecondaryWindows &windows;
        TitleLine &title;
    };

    ToolbarCommands(const Platform &platform, Settings &settings, const Parts &parts);

    // Toolbar1 or Toolbar2 (1 or 2) with its buttons and menus, wired to run().
    QToolBar *makeToolbar(int which);

    // Runs the command of `key`; `down` is a check button's new state. A failure ends the command
    // with the error box, unless the source expects it.
    void run(Source source, const QString &key, bool down = false);
    void Toolbar1_ButtonClick(const QString &key) { run(Source::Toolbar1, key); }
    void Toolbar1_ButtonMenuClick(const QString &key) { run(Source::Toolbar1Menu, key); }
    void Toolbar2_ButtonClick(const QString &key, bool down = false) { run(Source::Toolbar2, key, down); }
    void Toolbar2_ButtonMenuClick(const QString &key) { run(Source::Toolbar2Menu, key); }

    // Ends a running screen-saver countdown without its last step (the program ends).
    void stopCountdown();

    // Opens a history file in place of the current history.
    void rekiFileOpen();
    // Loads the template file into the template list.
    void fileOpen();
    // The user chose a template phrase.
    void Combo2_Click(int index);
    // Opens or closes the CD tray door.
    void cdMsg(bool open);

signals:
    // The history file was replaced or deleted.
    void historyReplaced();

private:
    using Command = void (ToolbarCommands::*)(const QString &key, bool down);
    struct Entry
    {
        Source source;
        const char *key;
        Command command;
    };
    static const Entry commands[];

    // Toolbar1
    void copy(const QString &, bool);
    void deleteClipboard(const QString &, bool);
    void textWindow(const QString &, bool);
    void pictureWindow(const QString &, bool);
    void shell(const QString &, bool);
    void hideWindow(const QString &, bool);
    void extendedMode(const QString &, bool);
    void onTop(const QString &, bool);
    void textHide(const QString &, bool);
    void convert(const QString &key, bool);
    // Toolbar2
    void launch(const QString &key, bool = false);
    void screenSaverCountdown(const QString &, bool);
    void countdownStep();
    void cd(const QString &, bool down);
    void saveHistory(const QString &, bool);
    void openHistory(const QString &, bool);
    void templateMode(const QString &, bool down);
    void deleteHistory(const QString &, bool);
    void templateEditor(const QString &, bool);
    void openTemplates(const QString &, bool);

    QWidget *boxParent() const;

    HistoryFile &history() const;

    QWidget *m_window;
    Platform m_platform;
    HistoryList *m_combo1;
    QComboBox *m_combo2;
    Settings &m_settings;
    DesktopIntegration &m_desktop;
    SecondaryWindows &m_windows;
    TitleLine &m_title;
    QTimer *m_countdownStep; // `countdownStep`, a second between the captions
    int m_countdown = -1;    // the screen-saver countdown's next caption, -1 when idle
    bool m_countdownResumesTitle = false;
};
