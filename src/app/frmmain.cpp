#include "frmmain.h"

#include "app/historylist.h"
#include "app/secondarywindows.h"
#include "app/toolbarcommands.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "core/twips.h"
#include "display/appicon.h"
#include "display/mainlayout.h"
#include "display/previewpane.h"
#include "display/statuspanels.h"
#include "display/titleline.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/pastelineedit.h"
#include "platform/singleinstance.h"

#include <QAction>
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
const QString textNotWhole =
    QStringLiteral("クリップボードのテキストを最後まで読み取れなかったため、履歴に記録しませんでした。");
const QString textNoMemory =
    QStringLiteral("メモリが不足しているため、クリップボードのテキストを履歴に記録しませんでした。");
const QString textConnectionLost =
    QStringLiteral("クリップボードとの接続が切れ、再接続できませんでした。クリップボードの記録を停止しています。");
const QString titleClipboardTrouble = QStringLiteral("クリップボードの記録");
} // namespace

frmMain::frmMain(const Platform &platform, const QString &folder, bool reset, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_folder(folder), m_reset(reset), m_settings(Settings::defaults(folder)),
      m_history(datafolder::historyFile(folder))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(applicationIcon());
    // Always on top from the start.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    buildControls();
    placeControls();
}

frmMain::~frmMain() = default;

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
    m_combo2->setLineEdit(new PasteLineEdit(m_platform.clipboard, m_combo2));
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

    m_title = new TitleLine(this, m_platform.system, m_settings.title);

    // An entry chosen in the search window is chosen in the list.
    m_windows = std::make_unique<SecondaryWindows>(
        m_platform, m_settings, m_preview, this, [this] { return m_history.path(); },
        [this](const historysearch::Entry &entry) { m_combo1->chooseEntry(entry.number, entry.newer, entry.text); });
    // Ctrl+F, a key no menu uses: the search window.
    auto *search = new QAction(this);
    search->setObjectName(QStringLiteral("search"));
    search->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    search->setShortcutContext(Qt::WindowShortcut);
    addAction(search);
    connect(search, &QAction::triggered, this, [this] { m_windows->showSearchWindow(); });
    m_desktop = new DesktopIntegration(this, m_platform.tray, m_platform.clipboard,
                                       {m_toolbar2, m_combo1, m_combo2, m_preview, m_status});
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

bool frmMain::Form_Load()
{
    // 1. One running copy per data folder.
    if (!m_platform.instance->acquire()) {
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
    // The secondary windows exist, hidden, at their saved places.
    m_windows->place();
    // 4.-8.
    m_title->timer()->start(100);
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
    m_title->timer()->stop();
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
    // 5. The windows.
    m_windows->close();
    hide();
    QCoreApplication::quit();
}

// A secondary window closed during the run is created afresh to read its place.
void frmMain::saveSettings()
{
    m_settings.main.left = toTwips(x());
    m_settings.main.top = toTwips(y());
    m_windows->readPlaces(m_settings);
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
    if (m_hooked)
        return;
    m_hooked = true;
    connect(m_platform.clipboard, &Clipboard::changed, this, [this] {
        if (m_busy)
            return;
        m_busy = true;
        ChangeClipBoard();
        m_busy = false;
    });
    connect(m_platform.clipboard, &Clipboard::trouble, this, &frmMain::clipboardTrouble);
}

void frmMain::unhookWindow()
{
    if (!m_hooked)
        return;
    m_hooked = false;
    disconnect(m_platform.clipboard, &Clipboard::changed, this, nullptr);
    disconnect(m_platform.clipboard, &Clipboard::trouble, this, nullptr);
}

void frmMain::clipboardTrouble(ClipboardTrouble what)
{
    // A copy that was not recorded while watching is off is no news.
    if (what != ClipboardTrouble::ConnectionLost && !m_watch)
        return;
    const unsigned bit = 1u << static_cast<unsigned>(what);
    if (m_troubleTold & bit)
        return;
    m_troubleTold |= bit;
    const QString text = what == ClipboardTrouble::NotWhole      ? textNotWhole
                         : what == ClipboardTrouble::OutOfMemory ? textNoMemory
                                                                 : textConnectionLost;
    tellLater([this, text] {
        m_platform.messages->show(boxParent(), text, titleClipboardTrouble, MsgIcon::Exclamation, MsgButtons::Ok);
    });
}

void frmMain::tellLater(std::function<void()> box)
{
    QTimer::singleShot(0, this, [this, box = std::move(box)] {
        if (!m_unloaded && !m_shutdownRequested)
            box();
    });
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
                tellLater([this, e] { showError(e); });
            m_appendFailing = true;
            return;
        } catch (const std::bad_alloc &) {
            tellLater([this] { showError(commandError(ErrorNumber::OutOfMemory)); });
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
    const ClipboardContent content = m_platform.clipboard->read(withPicture);
    if (withPicture || !content.hasImage)
        m_preview->showPreview(content.hasImage ? content.image : QImage());
    m_history.setPath(datafolder::historyFile(m_folder));
    try {
        m_combo1->reload(content.hasText ? content.text : QString());
        if (QFileInfo(m_history.path()).size() > 0)
            m_title->timer()->start(100);
    } catch (const CommandError &e) {
        showError(e);
    }
}

frmPro *frmMain::proWindow()
{
    return m_windows->proWindow();
}

frmText *frmMain::textWindow()
{
    return m_windows->textWindow();
}

frmPicture *frmMain::pictureWindow()
{
    return m_windows->pictureWindow();
}

void frmMain::showTextWindow()
{
    m_windows->showTextWindow();
}

void frmMain::showPictureWindow()
{
    // The preview is not kept current while it is hidden.
    m_windows->showPictureWindow(m_desktop->extended());
}

void frmMain::showTemplateEditor()
{
    m_windows->showTemplateEditor();
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
    m_title->titleText();
}

QTimer *frmMain::titleTimer() const
{
    return m_title->timer();
}

void frmMain::titleMode_Click(int mode)
{
    m_title->titleMode_Click(mode);
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
