#include "secondarywindows.h"

#include "app/historylist.h"
#include "core/twips.h"
#include "display/previewpane.h"
#include "history/historyfile.h"
#include "picwin/frmpicture.h"
#include "platform/clipboard.h"
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

int SecondaryWindows::px(double twipsValue) const
{
    return twips::toPixels(twipsValue, m_main->logicalDpiY());
}

int SecondaryWindows::toTwips(int pixels) const
{
    return twips::fromPixels(pixels, m_main->logicalDpiX());
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
    proWindow()->move(px(m_settings.pro.left), px(m_settings.pro.top));
    pictureWindow()->move(px(m_settings.picture.left), px(m_settings.picture.top));
    pictureWindow()->resize(px(m_settings.picture.width - twips::sizableFrameWidth),
                            px(m_settings.picture.height - twips::sizableFrameHeight));
    textWindow()->move(px(m_settings.text.left), px(m_settings.text.top));
    textWindow()->resize(px(m_settings.text.width - textlayout::frameWidth),
                         px(m_settings.text.height - textlayout::frameHeight));
}

void SecondaryWindows::readPlaces(Settings &settings)
{
    settings.pro.left = toTwips(proWindow()->x());
    settings.pro.top = toTwips(proWindow()->y());
    frmPicture *picture = pictureWindow();
    settings.picture = {toTwips(picture->x()), toTwips(picture->y()),
                        toTwips(picture->width()) + twips::sizableFrameWidth,
                        toTwips(picture->height()) + twips::sizableFrameHeight};
    frmText *text = textWindow();
    settings.text = {toTwips(text->x()), toTwips(text->y()), toTwips(text->width()) + textlayout::frameWidth,
                     toTwips(text->height()) + textlayout::frameHeight};
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
