#pragma once

#include "app/historyfile.h"
#include "platform/platform.h"
#include "settings/modini.h"

#include <QWidget>

class HistoryModel;
class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;

// The main window: a compact bar with the launcher toolbar and the history list, living for the
// whole run. Form_Load is the start sequence, Form_Unload the shutdown sequence.
class frmMain final : public QWidget
{
    Q_OBJECT

public:
    // `folder` is the data folder; `arguments` the command line after the program name.
    frmMain(const Platform &platform, const QString &folder, const QStringList &arguments, QWidget *parent = nullptr);
    ~frmMain() override;

    // The start sequence. False when another copy is running: the caller ends the program.
    bool Form_Load();

    // The shutdown sequence. `ask` is false when the desktop ends the program (a signal or the end
    // of the session): the history is then kept without a question.
    void Form_Unload(bool ask = true);

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

    // Renders the title line for the current title mode.
    void titleText();

    // Start and stop of clipboard watching.
    void hookWindow();
    void unhookWindow();

    // State other parts and tests look at.
    QComboBox *combo1() const { return m_combo1; }
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

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildIconMenu();
    void placeControls();
    int px(double twipsValue) const;
    int toTwips(int pixels) const;
    bool combo1Drag(QEvent *event);
    void showError(const struct CommandError &error);

    Platform m_platform;
    QString m_folder;
    QStringList m_arguments;
    Settings m_settings;
    HistoryFile m_history;
    HistoryModel *m_model = nullptr;

    bool m_watch = true;
    bool m_busy = false;
    bool m_hooked = false;
    bool m_loaded = false;
    bool m_unloaded = false;
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

    QMenu *m_iconMenu = nullptr;
    QAction *m_clipWatch = nullptr;
    QAction *m_clipNoWatch = nullptr;
    QAction *m_clipClear = nullptr;
    QAction *m_quit = nullptr;
};
