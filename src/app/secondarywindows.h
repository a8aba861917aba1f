// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <QPointer>
#include <QString>

class HistoryList;
class PreviewPane;
class QWidget;
class frmPicture;
class frmPro;
class frmSearch;
class frmText;
struct Settings;

// The main window's three secondary windows: the template editor, the text window and the picture
// window. They exist, hidden, from the start at the places form.ini keeps; the toolbar shows them;
// their places are written back at exit. A window the user closed is created afresh when needed.
class SecondaryWindows final
{
public:
    // `settings` are the main window's, read at start; `main` gives the screen's resolution; the search
    // window searches the history file of `list` and chooses its entries there.
    SecondaryWindows(const Platform &platform, Settings &settings, PreviewPane *preview, QWidget *main,
                     HistoryList &list);
    ~SecondaryWindows();
    SecondaryWindows(const SecondaryWindows &) = delete;
    SecondaryWindows &operator=(const SecondaryWindows &) = delete;

    frmPro *proWindow();
    frmText *textWindow();
    frmPicture *pictureWindow();
    // The search window, created when first shown; its place is not kept.
    frmSearch *searchWindow();

    // Creates the windows at the places in the settings (sizes there are outer sizes).
    void place();
    // Their places now, into `settings`.
    void readPlaces(Settings &settings);

    // The text window with the clipboard's text.
    void showTextWindow();
    // The picture window with the preview's picture; `previewCurrent` is false when the preview is not
    // kept current (compact mode), and it takes the clipboard's picture first.
    void showPictureWindow(bool previewCurrent);
    void showTemplateEditor();
    void showSearchWindow();

    // Hides them and deletes them once control is back in the event loop.
    void close();

private:
    Platform m_platform;
    Settings &m_settings;
    HistoryList &m_list;
    PreviewPane *m_preview;
    QWidget *m_main;
    QPointer<frmPro> m_frmPro;
    QPointer<frmText> m_frmText;
    QPointer<frmPicture> m_frmPicture;
    QPointer<frmSearch> m_frmSearch;
};
