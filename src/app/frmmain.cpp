#include "frmmain.h"

#include "app/historylist.h"
#include "app/identity.h"
#include "app/mainlayout.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "core/twips.h"
#include "display/previewpane.h"
#include "display/statuspanels.h"
#include "display/titles.h"
#include "launcher/toolbarcommands.h"
#include "picwin/frmpicture.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/singleinstance.h"
#include "platform/sysinfo.h"
#include "templates/frmpro.h"
#include "textwin/frmtext.h"
#include "textwin/textlayout.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>

#include <cstdio>
#include <new>

namespace {
const QString textRunning = QStringLiteral("アプリケーションは起動中です。");
const QString titleRunning = QStringLiteral("重複起動");
const QString textKeepHistory = QStringLiteral("次回に履歴を残しておきますか？");
const QString titleKeepHistory = QStringLiteral("ID:Q0001");
const QString textClearClipboard = QStringLiteral("クリップボードの中身をクリアしてよろしいですか？");
const QString titleClearClipboard = QStringLiteral("削除確認");
const QString textTemplateMode = QStringLiteral("☆定型文モード");
} // namespace

frmMain::frmMain(const Platform &platform, const QString &folder, bool reset, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_folder(folder), m_reset(reset), m_settings(Settings::defaults(folder)),
      m_history(datafolder::historyFile(folder))
{
    setObjectName(QStringLiteral("frmMain"));
    // The icon the desktop has installed for us; ours inside the program when there is none.
    setWindowIcon(QIcon::fromTheme(QLatin1String(applicationId), QIcon(QStringLiteral(":/icons/app.svg"))));
    // Always on top from the start.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    buildControls();
    placeControls();
}

frmMain::~frmMain()
{
    // The secondary windows have no parent; the shutdown sequence closes them, and so does the end
    // of a main window that never ran it.
    delete m_frmPicture;
    delete m_frmPro;
    delete m_frmText;
}

int frmMain::px(double twipsValue) const
{
    return twips::toPixels(twipsValue, logicalDpiY());
}

int frmMain::toTwips(int pixels) const
{
    return twips::fromPixels(pixels, logicalDpiX());
}

void frmMain::buildControls()
{
    m_combo1 = new HistoryList(m_platform, m_history, this);

    m_combo2 = new QComboBox(this);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setEditable(true);
    m_combo2->setInsertPolicy(QComboBox::NoInsert);
    m_combo2->setCompleter(nullptr);
    m_combo2->setDuplicatesEnabled(true);
    m_combo2->lineEdit()->setReadOnly(true); // typing is discarded
    m_combo2->setEditText(textTemplateMode);
    m_combo2->hide();

    m_commands = new ToolbarCommands(this, m_platform, m_history, m_combo1, m_combo2, m_settings);
    m_toolbar1 = m_commands->makeToolbar(1);
    m_toolbar2 = m_commands->makeToolbar(2);
    m_preview = new PreviewPane(this);
    m_status = new StatusPanels(m_platform.system, this);
    connect(m_status, &StatusPanels::textChosen, m_combo1, &HistoryList::setText);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &QTimer::timeout, this, &frmMain::titleText);

    m_desktop = new DesktopIntegration(this, m_platform.tray, m_platform.clipboard,
                                       {m_toolbar1, m_toolbar2, m_combo1, m_combo2, m_preview, m_status});
}

void frmMain::placeControls()
{
    using namespace mainlayout;
    const auto place = [this](QWidget *w, const Rect &r) {
        w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    };
    place(m_toolbar1, mainlayout::toolbar1);
    place(m_combo1, combo);
    place(m_combo2, combo);
    place(m_preview, mainlayout::picture1);
    place(m_toolbar2, mainlayout::toolbar2);
    m_desktop->compact();
    m_status->setGeometry(0, px(extendedHeight - nonClientHeight - statusBarHeight), px(clientWidth),
                          px(statusBarHeight));
}

// The secondary windows exist, hidden, at their saved places. Sizes in the settings are outer sizes,
// borders and caption included.
void frmMain::placeSecondaryWindows()
{
    proWindow()->move(px(m_settings.pro.left), px(m_settings.pro.top));
    pictureWindow()->move(px(m_settings.picture.left), px(m_settings.picture.top));
    pictureWindow()->resize(px(m_settings.picture.width - twips::sizableFrameWidth),
                            px(m_settings.picture.height - twips::sizableFrameHeight));
    textWindow()->move(px(m_settings.text.left), px(m_settings.text.top));
    textWindow()->resize(px(m_settings.text.width - textlayout::frameWidth),
                         px(m_settings.text.height - textlayout::frameHeight));
}

bool frmMain::Form_Load()
{
    // 1. One running copy per data folder.
    if (m_platform.instance && !m_platform.instance->acquire()) {
        m_platform.instance->activateRunning();
        m_platform.messages->show(nullptr, textRunning, titleRunning, MsgIcon::Information, MsgButtons::Ok);
        return false;
    }
    // 2. The reset switch.
    if (m_reset) {
        for (const QString &file : {datafolder::settingsFile(m_folder), datafolder::historyFile(m_folder),
                                    datafolder::templateFile(m_folder)}) {
            try {
                fileio::removeFile(file);
            } catch (const CommandError &e) {
                showError(e);
            }
        }
    }
    // 3. The settings.
    try {
        m_settings = iniRead(m_folder);
    } catch (const CommandError &e) {
        showError(e);
    }
    m_history.setWritePage(m_settings.writePage);
    move(px(m_settings.main.left), px(m_settings.main.top));
    placeSecondaryWindows();
    // 4.-8.
    m_timer1->start(100);
    titleText();
    m_watch = true;
    m_desktop->compact();
    // 9. The history list.
    comboInitialize();
    // 10. The tray icon.
    m_desktop->addTrayIcon();
    // 11. Watch the clipboard.
    hookWindow();
    // 12. Compact mode.
    ctlVisible(false);
    m_status->start();
    // 13. What the clipboard holds now.
    ChangeClipBoard();
    m_loaded = true;
    // The first event the program's loop handles: from then on a loop at level 1 is the top one.
    QTimer::singleShot(0, this, [this] { m_running = true; });
    return true;
}

void frmMain::showAtStart()
{
    show();
    activateWindow();
    m_combo1->setFocus();
}

void frmMain::Form_Unload(bool ask)
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // 1. The tray icon.
    m_desktop->removeTrayIcon();
    // 2. Stop watching.
    unhookWindow();
    m_timer1->stop();
    // 3. Keep the history?
    if (m_loaded && ask &&
        m_platform.messages->show(this, textKeepHistory, titleKeepHistory, MsgIcon::Question, MsgButtons::YesNo) ==
            MsgAnswer::No) {
        try {
            fileio::removeFile(m_history.path());
        } catch (const CommandError &e) {
            showError(e);
        }
    }
    // 4. The settings.
    if (m_loaded)
        saveSettings();
    // 5. The windows. Deleted once control is back in the event loop, never under a running handler.
    for (QWidget *window :
         {static_cast<QWidget *>(m_frmPicture), static_cast<QWidget *>(m_frmPro), static_cast<QWidget *>(m_frmText)}) {
        if (window) {
            window->hide();
            window->deleteLater();
        }
    }
    hide();
    QCoreApplication::quit();
}

// A secondary window closed during the run is created afresh to read its place.
void frmMain::saveSettings()
{
    m_settings.main.left = toTwips(x());
    m_settings.main.top = toTwips(y());
    m_settings.pro.left = toTwips(proWindow()->x());
    m_settings.pro.top = toTwips(proWindow()->y());
    frmPicture *picture = pictureWindow();
    m_settings.picture = {toTwips(picture->x()), toTwips(picture->y()),
                          toTwips(picture->width()) + twips::sizableFrameWidth,
                          toTwips(picture->height()) + twips::sizableFrameHeight};
    frmText *text = textWindow();
    m_settings.text = {toTwips(text->x()), toTwips(text->y()), toTwips(text->width()) + textlayout::frameWidth,
                       toTwips(text->height()) + textlayout::frameHeight};
    m_settings.historyPath = m_history.path();
    try {
        iniWrite(m_folder, m_settings);
    } catch (const CommandError &e) {
        std::fprintf(stderr, "vornkip: %s\n", qPrintable(e.description));
    }
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    // The user closes the window with its close box (a close from the window system) or with quit.
    // Any other close is the application or the desktop session ending: nothing is asked.
    const bool byUser = (event->spontaneous() || m_quitChosen) && !m_sessionEnding;
    m_quitChosen = false;
    if (modal::nestedLoopRunning(topLoopLevel())) {
        // A box of this program is waiting for an answer: close once it has been given.
        event->ignore();
        atTopLoop([this, byUser] { Form_Unload(byUser); });
        return;
    }
    Form_Unload(byUser);
    event->accept();
}

void frmMain::quit_Click()
{
    m_quitChosen = true;
    close();
}

void frmMain::requestShutdown()
{
    // Boxes and dialogs open now are closed as dismissed, and no new one is shown.
    modal::closeAll();
    if (m_shutdownRequested)
        return;
    m_shutdownRequested = true;
    atTopLoop([this] { Form_Unload(false); });
}

void frmMain::sessionEnding()
{
    m_sessionEnding = true;
}

int frmMain::topLoopLevel() const
{
    // Before the program's event loop runs (a box of the start sequence), every loop is nested.
    return m_running ? 1 : 0;
}

void frmMain::atTopLoop(std::function<void()> step)
{
    if (m_running && !modal::nestedLoopRunning(topLoopLevel())) {
        step();
        return;
    }
    if (m_shutdownRequested)
        modal::closeAll(); // a box opened since is closed too
    QTimer::singleShot(20, this, [this, step = std::move(step)]() mutable { atTopLoop(std::move(step)); });
}

void frmMain::hookWindow()
{
    if (m_hooked || !m_platform.clipboard)
        return;
    m_hooked = true;
    connect(m_platform.clipboard, &Clipboard::changed, this, [this] {
        if (m_busy)
            return;
        m_busy = true;
        ChangeClipBoard();
        m_busy = false;
    });
}

void frmMain::unhookWindow()
{
    if (!m_hooked)
        return;
    m_hooked = false;
    disconnect(m_platform.clipboard, &Clipboard::changed, this, nullptr);
}

void frmMain::ChangeClipBoard()
{
    if (!m_watch)
        return;
    // The picture is asked for only while the preview shows it: every request waits for the owner.
    const bool withPicture = m_desktop->extended();
    const ClipboardContent content = m_platform.clipboard->read(withPicture);
    if (content.secret)
        return; // never recorded, listed or previewed
    // An empty text is not recorded: it is what a read gives when the owner of the clipboard changed
    // or went away before answering, and an empty entry would hold nothing anyway.
    if (content.hasText && !content.text.isEmpty()) {
        try {
            if (!m_combo1->record(content.text))
                return; // what the list shows already
        } catch (const CommandError &e) {
            // Told once while the failure lasts (a full disk), not once per copy.
            if (!m_appendFailing)
                showError(e);
            m_appendFailing = true;
            return;
        } catch (const std::bad_alloc &) {
            showError(commandError(ErrorNumber::OutOfMemory));
            return;
        }
        m_appendFailing = false;
    }
    if (content.hasImage && withPicture)
        m_preview->showPreview(content.image);
}

void frmMain::comboInitialize()
{
    const bool withPicture = m_desktop->extended();
    const ClipboardContent content =
        m_platform.clipboard ? m_platform.clipboard->read(withPicture) : ClipboardContent();
    if (withPicture || !content.hasImage)
        m_preview->showPreview(content.hasImage ? content.image : QImage());
    m_history.setPath(datafolder::historyFile(m_folder));
    try {
        m_combo1->reload(content.hasText ? content.text : QString());
        if (QFileInfo(m_history.path()).size() > 0)
            m_timer1->start(100);
    } catch (const CommandError &e) {
        showError(e);
    }
}

frmPro *frmMain::proWindow()
{
    if (!m_frmPro)
        m_frmPro = new frmPro(m_platform, m_settings.writePage);
    return m_frmPro;
}

frmText *frmMain::textWindow()
{
    if (!m_frmText)
        m_frmText = new frmText(m_platform, m_settings.writePage);
    return m_frmText;
}

frmPicture *frmMain::pictureWindow()
{
    if (!m_frmPicture)
        m_frmPicture = new frmPicture(m_platform, m_preview);
    return m_frmPicture;
}

namespace {
void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void frmMain::showPictureWindow()
{
    // The preview is not kept current while it is hidden: take the clipboard's picture now.
    if (!m_desktop->extended()) {
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

void frmMain::showTextWindow()
{
    frmText *window = textWindow();
    const ClipboardContent content = m_platform.clipboard->read(false);
    if (content.hasText)
        window->setText(content.text);
    bringUp(window);
}

void frmMain::showTemplateEditor()
{
    bringUp(proWindow());
}

void frmMain::clipWatch_Click()
{
    m_watch = true;
    m_desktop->showWatching(true);
}

void frmMain::clipNoWatch_Click()
{
    m_watch = false;
    m_desktop->showWatching(false);
}

void frmMain::clipClear_Click()
{
    if (m_platform.messages->show(this, textClearClipboard, titleClearClipboard, MsgIcon::Question,
                                  MsgButtons::YesNo) == MsgAnswer::Yes)
        m_platform.clipboard->clear();
}

void frmMain::titleText()
{
    titles::System system;
    if (m_platform.system) {
        const QString &mode = m_settings.title;
        system.now = m_platform.system->now();
        if (mode == QStringLiteral("5"))
            system.uptimeMs = m_platform.system->uptimeMs();
        if (mode == QStringLiteral("6") || mode == QStringLiteral("7")) {
            const SystemInfo::Memory memory = m_platform.system->memory();
            system.memTotal = memory.totalBytes;
            system.memAvailable = memory.availableBytes;
        }
    }
    if (const auto title = titles::titleFor(m_settings.title, system))
        setWindowTitle(*title);
    if (m_settings.title == QStringLiteral("1"))
        m_timer1->stop();
}

void frmMain::titleMode_Click(int mode)
{
    const int interval = titles::intervalForMode(mode);
    if (interval > 0)
        m_timer1->start(interval);
    m_settings.title = QString::number(mode);
    titleText();
}

QWidget *frmMain::boxParent()
{
    return isVisible() ? this : nullptr;
}

void frmMain::showError(const CommandError &error)
{
    m_platform.messages->showError(boxParent(), error);
}

void frmMain::Toolbar1_ButtonClick(const QString &key)
{
    m_commands->run(ToolbarCommands::Source::Toolbar1, key);
}

void frmMain::Toolbar1_ButtonMenuClick(const QString &key)
{
    m_commands->run(ToolbarCommands::Source::Toolbar1Menu, key);
}

void frmMain::Toolbar2_ButtonClick(const QString &key, bool down)
{
    m_commands->run(ToolbarCommands::Source::Toolbar2, key, down);
}

void frmMain::Toolbar2_ButtonMenuClick(const QString &key)
{
    m_commands->run(ToolbarCommands::Source::Toolbar2Menu, key);
}

void frmMain::winPos()
{
    m_desktop->winPos();
}

void frmMain::extendedMode()
{
    m_desktop->extendedMode();
}

void frmMain::ctlVisible(bool flag)
{
    m_desktop->ctlVisible(flag);
}

void frmMain::textHide()
{
    m_desktop->textHide();
}
