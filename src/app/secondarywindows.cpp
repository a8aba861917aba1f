// SPDX-License-Identifier: GPL-3.0-or-later
#include "secondarywindows.h"

#include "app/historylist.h"
#include "display/previewpane.h"
#include "picwin/frmpicture.h"
#include "platform/clipboard.h"
#include "platform/widgettwips.h"
#include "search/frmsearch.h"
#include "settings/modini.h"
#include "templates/frmpro.h"
#include "textwin/frmtext.h"
#include "textwin/textlayout.h"

#include <optional>

namespace {
void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

SecondaryWindows::SecondaryWindows(const Platform &platform, Settings &settings, PreviewPane *preview, QWidget *main,
                                   HistoryList &list)
    : m_platform(platform), m_settings(settings), m_list(list), m_preview(preview), m_main(main)
{}

SecondaryWindows::~SecondaryWindows()
{
    // They have no parent; the shutdown sequence closes them, and so does the end of a main window
    // that never ran it.
    delete m_frmSearch;
    delete m_frmPicture;
    delete m_frmPro;
    delete m_frmText;
}

frmPro *SecondaryWindows::proWindow()
{
    if (!m_frmPro)
        m_frmPro = new frmPro(m_platform, m_settings.writePage);
    return m_frmPro;
}

frmText *SecondaryWindows::textWindow()
{
    if (!m_frmText)
        m_frmText = new frmText(m_platform, m_settings.writePage);
    return m_frmText;
}

frmPicture *SecondaryWindows::pictureWindow()
{
    if (!m_frmPicture)
        m_frmPicture = new frmPicture(m_platform, m_preview);
    return m_frmPicture;
}

frmSearch *SecondaryWindows::searchWindow()
{
    if (!m_frmSearch) {
        m_frmSearch = new frmSearch(
            m_platform, [this] { return m_list.history().path(); }, m_settings.search);
        QObject::connect(m_frmSearch, &frmSearch::entryChosen, &m_list, &HistoryList::chooseEntry);
    }
    return m_frmSearch;
}

void SecondaryWindows::showSearchWindow()
{
    searchWindow()->open();
}

void SecondaryWindows::place()
{
    proWindow()->move(twips::px(m_main, m_settings.pro.left), twips::px(m_main, m_settings.pro.top));
    pictureWindow()->move(twips::px(m_main, m_settings.picture.left), twips::px(m_main, m_settings.picture.top));
    pictureWindow()->resize(twips::px(m_main, m_settings.picture.width - twips::sizableFrameWidth),
                            twips::px(m_main, m_settings.picture.height - twips::sizableFrameHeight));
    textWindow()->move(twips::px(m_main, m_settings.text.left), twips::px(m_main, m_settings.text.top));
    textWindow()->resize(twips::px(m_main, m_settings.text.width - textlayout::frameWidth),
                         twips::px(m_main, m_settings.text.height - textlayout::frameHeight));
}

void SecondaryWindows::readPlaces(Settings &settings)
{
    settings.pro.left = twips::fromPx(m_main, proWindow()->x());
    settings.pro.top = twips::fromPx(m_main, proWindow()->y());
    frmPicture *picture = pictureWindow();
    settings.picture = {twips::fromPx(m_main, picture->x()), twips::fromPx(m_main, picture->y()),
                        twips::fromPx(m_main, picture->width()) + twips::sizableFrameWidth,
                        twips::fromPx(m_main, picture->height()) + twips::sizableFrameHeight};
    frmText *text = textWindow();
    settings.text = {twips::fromPx(m_main, text->x()), twips::fromPx(m_main, text->y()),
                     twips::fromPx(m_main, text->width()) + textlayout::frameWidth,
                     twips::fromPx(m_main, text->height()) + textlayout::frameHeight};
}

void SecondaryWindows::showTextWindow()
{
    frmText *window = textWindow();
    const ClipboardContent content = m_platform.clipboard->read(false);
    if (content.hasText)
        window->setText(content.text);
    bringUp(window);
}

void SecondaryWindows::showPictureWindow(bool previewCurrent)
{
    if (!previewCurrent) {
        const ClipboardContent content = m_platform.clipboard->read(true);
        if (content.hasImage)
            m_preview->showPreview(content.image);
    }
    frmPicture *window = pictureWindow();
    // The display and the source both take the preview's picture, so copy and clip act on what is shown.
    const QImage &shown = m_preview->picture();
    window->setDisplayed(shown);
    window->setSource(shown.isNull() ? std::nullopt : std::optional<QImage>(shown));
    bringUp(window);
}

void SecondaryWindows::showTemplateEditor()
{
    bringUp(proWindow());
}

void SecondaryWindows::close()
{
    // Deleted once control is back in the event loop, never under a running handler.
    for (QWidget *window : {static_cast<QWidget *>(m_frmSearch), static_cast<QWidget *>(m_frmPicture),
                            static_cast<QWidget *>(m_frmPro), static_cast<QWidget *>(m_frmText)}) {
        if (window) {
            window->hide();
            window->deleteLater();
        }
    }
}
