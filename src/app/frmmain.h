// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/desktopintegration.h"
#include "history/historyfile.h"
#include "platform/clipboard.h"
#include "platform/platform.h"
#include "settings/modini.h"

#include <QWidget>

#include <functional>
#include <memory>

class CommandError;
class HistoryList;
class PreviewPane;
class QComboBox;
class QTimer;
class QToolBar;
class SecondaryWindows;
class StatusPanels;
class SyncService;
class TitleLine;
class ToolbarCommands;
class frmPopup;

// The main window: a compact bar with the launcher toolbar and the history list, living for the
// whole run. It lays out its parts and runs the start (Form_Load) and the shutdown (Form_Unload);
// the parts do the rest: the history list (HistoryList), the preview (PreviewPane), the status bar
// (StatusPanels), the tray, on-top and extended mode (DesktopIntegration), the title line (TitleLine),
// the secondary windows (SecondaryWindows), the toolbar commands (ToolbarCommands) and the history
// shared with the user's other machines (SyncService). It builds them,
// hands each the others it acts on, and connects what they report once, here.
class frmMain final : public QWidget
{
    Q_OBJECT

public:
    // `folder` is the data folder; `reset` deletes its files before the start (the reset switch).
    frmMain(const Platform &platform, const QString &folder, bool reset, QWidget *parent = nullptr);
    ~frmMain() override;

    // The start sequence. False when another copy is running: the caller ends the program.
    bool Form_Load();
    // Asked before Form_Load (vornkip --popup): popupRequested is emitted once the start is over and the
    // event loop runs; when another copy is running, that copy is asked to open its popup instead,
    // and no box says it runs.
    void openPopupAfterStart() { m_popupAfterStart = m_popupStart = true; }
    // Shows the window with the keyboard in the history list, as at start; a start for the popup shows
    // the popup alone.
    void showAtStart();

    // The shutdown sequence. `ask` is false when the desktop ends the program (a signal or the end
    // of the session): the history is then kept without a question.
    void Form_Unload(bool ask = true);
    bool isUnloaded() const { return m_state == Lifecycle::Unloaded; }

    // The desktop ends the program (a signal): open boxes and dialogs are closed as dismissed, and
    // the shutdown sequence runs without the question once no modal loop is left on the stack.
    void requestShutdown();
    // The desktop session is ending: a close from now on asks nothing.
    void sessionEnding();

    // Rebuilds the history list from the history file.
    void comboInitialize();

    // Opens the popup (the global shortcut, the tray menu, `vornkip --popup`), once no box is open.
    void openPopup();

signals:
    // The history popup is to open: asked at start (openPopupAfterStart) or by a later start.
    void popupRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Start and stop of clipboard watching.
    void hookWindow();
    void unhookWindow();
    // Handles one change of the clipboard. A box it has to show comes once it has returned: the copies
    // made while the box is open are recorded.
    void ChangeClipBoard();
    // The tray menu's commands that are the window's.
    void clipClear_Click();
    void quit_Click();
    // The popup, created when first opened.
    frmPopup *popupWindow();
    // Binds the popup's global shortcut and shows it in the tray menu.
    void bindPopupShortcut();
    // A text recorded on another machine: added to the history, the clipboard left alone. False when it
    // could not be written (told as a copy's failure is).
    bool addShared(const QString &text);

    void buildControls();
    void placeControls();
    void saveSettings();
    // Runs `step` from the program's top-level event loop: at once when no modal loop is running,
    // otherwise once the modal loops have returned.
    void atTopLoop(std::function<void()> step);
    int topLoopLevel() const;
    int px(double twipsValue) const;
    int toTwips(int pixels) const;
    QWidget *boxParent();
    void showError(const CommandError &error);
    // A copy that could not be recorded, or a lost clipboard: told once per kind in a session.
    void clipboardTrouble(ClipboardTrouble what);
    // Shows a box from the event loop, after the handler that asks for it has returned.
    void tellLater(std::function<void()> box);

    Platform m_platform;
    QString m_folder;
    bool m_reset;
    Settings m_settings;
    HistoryFile m_history;

    // Where the window is in its life; it only ever moves down this list.
    enum class Lifecycle
    {
        Loading,       // the start sequence runs, or stopped early (another copy runs)
        Running,       // the start sequence has finished
        SessionEnding, // the desktop session ends: a close from now on asks nothing
        ShuttingDown,  // the desktop asked the program to end: boxes are closed, the shutdown sequence waits
        Unloaded,      // the shutdown sequence has run
    };
    Lifecycle m_state = Lifecycle::Loading;
    bool m_sharingStarted = false; // the start has set up sharing: a new setting is applied at once
    // The program's event loop has handled an event: from then on a loop at level 1 is the top one. A
    // fact of the event loop, not of the window: the desktop can end the program before it runs.
    bool m_loopRunning = false;

    bool m_watch = true;
    bool m_busy = false;
    bool m_hooked = false;
    bool m_quitChosen = false;    // the close in progress is the user's quit
    bool m_appendFailing = false; // the last entry could not be recorded (told once)
    bool m_popupAfterStart = false;
    bool m_popupStart = false;  // started for the popup (vornkip --popup)
    unsigned m_troubleTold = 0; // the kinds of clipboard trouble told, one bit each

    HistoryList *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    PreviewPane *m_preview = nullptr;
    StatusPanels *m_status = nullptr;
    QToolBar *m_toolbar1 = nullptr;
    QToolBar *m_toolbar2 = nullptr;
    TitleLine *m_title = nullptr;
    ToolbarCommands *m_commands = nullptr;
    DesktopIntegration *m_desktop = nullptr;
    SyncService *m_sync = nullptr;

    std::unique_ptr<SecondaryWindows> m_windows;
    std::unique_ptr<frmPopup> m_popup;
};
