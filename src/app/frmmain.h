#pragma once

#include "app/historyfile.h"
#include "core/commanderror.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "settings/modini.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <new>

class HistoryModel;
class frmPro;
class frmText;
class frmPicture;
class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;
class QVariantAnimation;
class QToolBar;

// The main window: a compact bar with the launcher toolbar and the history list, living for the
// whole run. Form_Load is the start sequence, Form_Unload the shutdown sequence.
class frmMain final : public QWidget
{
    Q_OBJECT

public:
    // `folder` is the data folder; `reset` deletes its files before the start (the reset switch).
    frmMain(const Platform &platform, const QString &folder, bool reset, QWidget *parent = nullptr);
    ~frmMain() override;

    // The start sequence. False when another copy is running: the caller ends the program.
    bool Form_Load();

    // The shutdown sequence. `ask` is false when the desktop ends the program (a signal or the end
    // of the session): the history is then kept without a question.
    void Form_Unload(bool ask = true);

    // The desktop ends the program (a signal): open boxes and dialogs are closed as dismissed, and
    // the shutdown sequence runs without the question once no modal loop is left on the stack.
    void requestShutdown();
    // The desktop session is ending: a close from now on asks nothing.
    void sessionEnding();

    // Handles one change of the clipboard.
    void ChangeClipBoard();

    // Rebuilds the history list from the history file.
    void comboInitialize();

    // The user chose an item of the history list.
    void Combo1_Click(int index);

    // Enter or F11 in the list's edit field.
    void Combo1_KeyDown(int key);

    void clipWatch_Click();
    void clipNoWatch_Click();
    void clipClear_Click();
    void quit_Click();

    // Toolbar commands, dispatched on key strings compared without case.
    void Toolbar1_ButtonClick(const QString &key);
    void Toolbar1_ButtonMenuClick(const QString &key);
    void Toolbar2_ButtonClick(const QString &key, bool down = false);
    void Toolbar2_ButtonMenuClick(const QString &key);

    // Opens a history file in place of the current history.
    void rekiFileOpen();
    // Loads the template file into the template list.
    void fileOpen();
    // The user chose a template phrase.
    void Combo2_Click(int index);
    // Opens or closes the CD tray door.
    void cdMsg(bool open);

    // Computes the list's text with the operator `mark` and writes the result back.
    void calValue(QChar mark);

    // The secondary windows, created (hidden) when they do not exist.
    frmPro *proWindow();
    frmText *textWindow();
    frmPicture *pictureWindow();

    // The tray icon's mouse message: 513 (left button down) toggles the window, 516 (right button
    // down) opens the tray menu; anything else does nothing.
    void trayCallback(int message);
    // Always on top, on or off; the menu check mark and the `hide` caption follow.
    void winPos();
    // Extended mode on or off (the `menu` button).
    void extendedMode();
    // Shows or hides the extended-mode controls.
    void ctlVisible(bool flag);
    // Moves the lists out of sight and back (the `texthide` item).
    void textHide();
    // A title-mode menu item: its interval, its mode, the title.
    void titleMode_Click(int mode);
    // A click on a status bar panel (1-based).
    void StatusBar1_PanelClick(int panel);
    // The preview's mouse events, positions in twips within the preview.
    void Image1_DblClick();
    void Image1_MouseDown(float x, float y);
    void Image1_MouseUp(float x, float y);

    // Shows a picture in the preview (an empty picture clears it).
    void showPreview(const QImage &picture);

    // Renders the title line for the current title mode.
    void titleText();

    // Start and stop of clipboard watching.
    void hookWindow();
    void unhookWindow();

    // State other parts and tests look at.
    QComboBox *combo1() const { return m_combo1; }
    QComboBox *combo2() const { return m_combo2; }
    QToolBar *toolbar1() const { return m_toolbar1; }
    QToolBar *toolbar2() const { return m_toolbar2; }
    const Settings &settings() const { return m_settings; }
    QString comboText() const;
    void setComboText(const QString &text);
    QString combo1Tag() const { return m_combo1Tag; }
    bool watching() const { return m_watch; }
    bool isUnloaded() const { return m_unloaded; }
    const QString &folder() const { return m_folder; }
    HistoryFile &history() { return m_history; }
    QLabel *image1() const { return m_image1; }
    QMenu *iconMenu() const { return m_iconMenu; }
    QTimer *timer1() const { return m_timer1; }
    bool extended() const { return m_extended == QStringLiteral("True"); }
    bool topmost() const;
    bool previewFitted() const { return m_fit; }
    QWidget *statusBar1() const;
    QFrame *picture1() const { return m_picture1; }
    QAction *menuAction(const QString &name) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    QToolBar *makeToolbar(int which);
    // Runs a command; a CommandError it raises is shown in the error box unless its number is one
    // the command expects. Nothing escapes to the event loop.
    template <typename Fn>
    void guard(Fn &&command, std::initializer_list<int> ignored = {});
    void saveHistory();
    void deleteHistory();
    void templateMode(bool down);
    void openTemplates();
    void launch(const QString &key);
    void screenSaverCountdown();
    void countdownStep();
    // Runs `step` from the program's top-level event loop: at once when no modal loop is running,
    // otherwise once the modal loops have returned.
    void atTopLoop(std::function<void()> step);
    int topLoopLevel() const;
    // Filled by the windows and display functions that own them.
    void showTextWindow();
    void showPictureWindow();
    void showTemplateEditor();
    void convertText(const QString &key);
    void placePreview();
    void updateStatusPanels();
    void buildIconMenu();
    void placeControls();
    int px(double twipsValue) const;
    int toTwips(int pixels) const;
    bool combo1Drag(QEvent *event);
    void showError(const CommandError &error);

    Platform m_platform;
    QString m_folder;
    bool m_reset;
    Settings m_settings;
    HistoryFile m_history;
    HistoryModel *m_model = nullptr;

    bool m_watch = true;
    bool m_busy = false;
    bool m_hooked = false;
    bool m_loaded = false;
    bool m_unloaded = false;
    bool m_running = false;           // the program's event loop runs
    bool m_quitChosen = false;        // the close in progress is the user's quit
    bool m_sessionEnding = false;     // the desktop session ends
    bool m_shutdownRequested = false; // the desktop asked the program to end
    bool m_appendFailing = false;     // the last entry could not be recorded (told once)
    int m_countdown = -1;             // the screen-saver countdown's next caption, -1 when idle
    bool m_countdownResumesTitle = false;
    QString m_combo1Tag = QStringLiteral("000000");
    QString m_extended = QStringLiteral("False");

    QToolBar *m_toolbar1 = nullptr;
    QToolBar *m_toolbar2 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QFrame *m_picture1 = nullptr;
    QLabel *m_image1 = nullptr;
    QStatusBar *m_statusBar1 = nullptr;
    QTimer *m_timer1 = nullptr;
    QVariantAnimation *m_grow = nullptr;
    QTimer *m_statusTimer = nullptr;
    QLabel *m_panels[3] = {};
    QImage m_previewPicture;
    bool m_fit = true;
    float m_dragX = 0, m_dragY = 0;
    float m_previewLeft = 0, m_previewTop = 0;

    QMenu *m_iconMenu = nullptr;
    QAction *m_clipWatch = nullptr;
    QAction *m_clipNoWatch = nullptr;
    QAction *m_clipClear = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_topmost = nullptr;

    QPointer<frmPro> m_frmPro;
    QPointer<frmText> m_frmText;
    QPointer<frmPicture> m_frmPicture;
};

template <typename Fn>
void frmMain::guard(Fn &&command, std::initializer_list<int> ignored)
{
    try {
        command();
    } catch (const CommandError &e) {
        if (std::find(ignored.begin(), ignored.end(), e.number) == ignored.end())
            showError(e);
    } catch (const std::bad_alloc &) {
        showError(commandError(ErrorNumber::OutOfMemory));
    }
}
