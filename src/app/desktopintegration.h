// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>

class HistoryList;
class PreviewPane;
class QAction;
class QComboBox;
class QMenu;
class QVariantAnimation;
class StatusPanels;
class TrayIcon;
class Clipboard;
class QWidget;

// How the main window sits on the desktop: the tray icon and its menu `iconMenu`, always on top,
// hiding and showing, extended mode (the launcher row, the preview and the status bar below the list)
// and moving the lists out of sight. The tray menu's commands that are not its own are reported with
// signals.
class DesktopIntegration final : public QObject
{
    Q_OBJECT

public:
    // The controls of the main window it shows, hides and moves (and `Toolbar2`, found by its name).
    struct Controls
    {
        HistoryList *combo1 = nullptr;
        QComboBox *combo2 = nullptr;
        PreviewPane *preview = nullptr;
        StatusPanels *status = nullptr;
    };
    enum class TrayClick
    {
        LeftButtonDown,  // hides or shows the window
        RightButtonDown, // opens the tray menu
    };

    DesktopIntegration(QWidget *window, TrayIcon *tray, Clipboard *clipboard, const Controls &controls);

    QMenu *iconMenu() const { return m_iconMenu; }

    // Adds the icon to the notification area; while there is none, the tray menu is the window's
    // right-click menu.
    void addTrayIcon();
    void removeTrayIcon();
    void trayCallback(TrayClick click);

    // The tray menu's commands: the popup, watching on and off, emptying the clipboard, quit.
    void popup_Click();
    void clipWatch_Click();
    void clipNoWatch_Click();
    void clipClear_Click();
    void quit_Click();

    // The popup's global shortcut as the desktop has it bound, shown beside its item; empty for none.
    void showPopupKeys(const QString &keys);
    // Whether the history is shared with the user's other machines, and when the last entry from one of
    // them arrived (invalid: none yet), in the menu's `sync` item; it only shows, it is never chosen.
    void showSharing(bool on, const QDateTime &lastArrival);

    bool onTop() const { return m_onTop; }
    // Always on top, on or off; the menu's check mark and the `hide` item's caption follow.
    void winPos();

    bool extended() const { return m_extended; }
    // Extended mode on or off (the `menu` button).
    void extendedMode();
    // Shows or hides the extended-mode controls.
    void ctlVisible(bool flag);
    // Compact mode at its size, as at start.
    void compact();

    // Moves the lists out of sight and back (the `texthide` item).
    void textHide();

signals:
    // The popup chosen.
    void popupRequested();
    // Watching the clipboard chosen on or off (the check marks follow already).
    void watchChanged(bool watching);
    // A title mode chosen.
    void titleModeChosen(int mode);
    // Emptying the clipboard chosen (it is asked first).
    void clearRequested();
    // Quit chosen.
    void quitRequested();

private:
    // The check marks of watching on and off.
    void showWatching(bool watching);
    void buildIconMenu();
    void placeWindow(int height);
    int px(double twipsValue) const;
    QAction *toolbarAction(const char *name) const;

    QWidget *m_window;
    TrayIcon *m_tray;
    Clipboard *m_clipboard;
    Controls m_controls;
    QMenu *m_iconMenu = nullptr;
    QAction *m_clipWatch = nullptr;
    QAction *m_clipNoWatch = nullptr;
    QAction *m_topmost = nullptr;
    QAction *m_popup = nullptr;
    QAction *m_sync = nullptr;
    QVariantAnimation *m_grow;
    bool m_onTop = true;
    bool m_extended = false;
    bool m_textHidden = false;
};
