// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's parts as a test reaches them: by object name, as a user finds them on screen.
#pragma once

#include "app/desktopintegration.h"
#include "app/frmmain.h"
#include "app/historylist.h"
#include "app/toolbarcommands.h"
#include "display/previewpane.h"
#include "display/statuspanels.h"
#include "display/titleline.h"
#include "settings/modini.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolBar>

namespace mainparts {
template <typename T = QWidget>
T *part(const frmMain &w, const char *name)
{
    T *found = w.findChild<T *>(QLatin1String(name));
    Q_ASSERT_X(found, "mainparts::part", name);
    return found;
}

inline HistoryList *combo1(const frmMain &w)
{
    return part<HistoryList>(w, "Combo1");
}
inline QComboBox *combo2(const frmMain &w)
{
    return part<QComboBox>(w, "Combo2");
}
inline QString comboText(const frmMain &w)
{
    return combo1(w)->currentText();
}
inline void setComboText(const frmMain &w, const QString &text)
{
    combo1(w)->setEditText(text);
}
inline QToolBar *toolbar1(const frmMain &w)
{
    return part<QToolBar>(w, "Toolbar1");
}
inline QToolBar *toolbar2(const frmMain &w)
{
    return part<QToolBar>(w, "Toolbar2");
}
inline QAction *menuAction(const frmMain &w, const QString &name)
{
    return w.findChild<QAction *>(name);
}
inline QMenu *iconMenu(const frmMain &w)
{
    return part<QMenu>(w, "iconMenu");
}
inline PreviewPane *preview(const frmMain &w)
{
    return part<PreviewPane>(w, "Picture1");
}
inline QLabel *image1(const frmMain &w)
{
    return part<QLabel>(w, "Image1");
}
inline StatusPanels *statusBar1(const frmMain &w)
{
    return part<StatusPanels>(w, "StatusBar1");
}
inline DesktopIntegration *desktop(const frmMain &w)
{
    return w.findChild<DesktopIntegration *>();
}
inline ToolbarCommands *commands(const frmMain &w)
{
    return w.findChild<ToolbarCommands *>();
}
inline TitleLine *titleLine(const frmMain &w)
{
    return w.findChild<TitleLine *>();
}
inline QTimer *titleTimer(const frmMain &w)
{
    return part<QTimer>(w, "Timer1");
}
// A command of a menu or toolbar, chosen as a user chooses it.
inline void trigger(const frmMain &w, const char *name)
{
    part<QAction>(w, name)->trigger();
}
inline bool extended(const frmMain &w)
{
    return desktop(w)->extended();
}
inline bool topmost(const frmMain &w)
{
    return w.windowFlags() & Qt::WindowStaysOnTopHint;
}
inline bool watching(const frmMain &w)
{
    return menuAction(w, QStringLiteral("clipWatch"))->isChecked();
}
// The top-level window with this object name (the secondary windows have no parent), or null when
// there is none or more than one.
inline QWidget *topLevel(const QString &name)
{
    QWidget *found = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name) {
            if (found)
                return nullptr; // more than one: the caller's check fails
            found = w;
        }
    }
    return found;
}

// The settings as the window leaves them in form.ini: it is unloaded to write them.
inline Settings savedSettings(frmMain &w, const QString &folder)
{
    w.Form_Unload(false);
    return iniRead(folder);
}
} // namespace mainparts
