// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include "app/historylist.h"
#include "app/secondarywindows.h"
#include "app/syncservice.h"
#include "app/toolbarcommands.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "display/appicon.h"
#include "display/mainlayout.h"
#include "display/previewpane.h"
#include "display/statuspanels.h"
#include "display/titleline.h"
#include "platform/clipboard.h"
#include "platform/globalshortcut.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/pastelineedit.h"
#include "platform/singleinstance.h"
#include "platform/widgettwips.h"
#include "popup/frmpopup.h"

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
const char *const textRunning = QT_TRANSLATE_NOOP("frmMain", "アプリケーションは起動中です。");
const char *const titleRunning = QT_TRANSLATE_NOOP("frmMain", "重複起動");
const char *const textKeepHistory = QT_TRANSLATE_NOOP("frmMain", "次回に履歴を残しておきますか？");
const QString titleKeepHistory = QStringLiteral("ID:Q0001");
const char *const textClearClipboard = QT_TRANSLATE_NOOP("frmMain", "クリップボードの中身をクリアしてよろしいですか？");
const char *const titleClearClipboard = QT_TRANSLATE_NOOP("frmMain", "削除確認");
const char *const textTemplateMode = QT_TRANSLATE_NOOP("frmMain", "☆定型文モード");
const char *const textNotWhole =
    QT_TRANSLATE_NOOP("frmMain", "クリップボードのテキストを最後まで読み取れなかったため、履歴に記録しませんでした。");
const char *const textNoMemory =
    QT_TRANSLATE_NOOP("frmMain", "メモリが不足しているため、クリップボードのテキストを履歴に記録しませんでした。");
const char *const textConnectionLost = QT_TRANSLATE_NOOP(
    "frmMain", "クリップボードとの接続が切れ、再接続できませんでした。クリップボードの記録を停止しています。");
const char *const titleClipboardTrouble = QT_TRANSLATE_NOOP("frmMain", "クリップボードの記録");
const char *const titleShortcut = QT_TRANSLATE_NOOP("frmMain", "ショートカットキー");
const char *const titleSharing = QT_TRANSLATE_NOOP("frmMain", "履歴の共有");
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
    return twips::px(this, twipsValue);
}

int frmMain::toTwips(int pixels) const
{
    return twips::fromPx(this, pixels);
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
    m_combo2->setEditText(tr(textTemplateMode));
    m_combo2->hide();

    m_preview = new PreviewPane(this);
    m_status = new StatusPanels(m_platform.system, this);
    m_title = new TitleLine(this, m_platform.system, m_settings.title);

    // An entry chosen in the search window is chosen in the list.
    m_windows = std::make_unique<SecondaryWindows>(m_platform, m_settings, m_preview, this, *m_combo1);
    // Ctrl+F, a key no menu uses: the search window.
    auto *search = new QAction(this);
    search->setObjectName(QStringLiteral("search"));
    search->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    search->setShortcutContext(Qt::WindowShortcut);
    addAction(search);
    m_desktop =
        new DesktopIntegration(this, m_platform.tray, m_platform.clipboard, {m_combo1, m_combo2, m_preview, m_status});
    m_commands =
        new ToolbarCommands(m_platform, m_settings, {this, m_combo1, m_combo2, *m_desktop, *m_windows, *m_title});
    m_toolbar1 = m_commands->makeToolbar(1);
    m_toolbar2 = m_commands->makeToolbar(2);
    m_sync = new SyncService(
        m_folder, [this](const QString &text) { return addShared(text); }, this);

    // What the parts report.
    connect(search, &QAction::triggered, this, [this] { m_windows->showSearchWindow(); });
    connect(m_status, &StatusPanels::textChosen, m_combo1, &HistoryList::setText);
    connect(m_desktop, &DesktopIntegration::watchChanged, this, [this](bool watching) { m_watch = watching; });
    connect(m_desktop, &DesktopIntegration::titleModeChosen, m_title, &TitleLine::titleMode_Click);
    connect(m_desktop, &DesktopIntegration::clearRequested, this, &frmMain::clipClear_Click);
    connect(m_desktop, &DesktopIntegration::quitRequested, this, &frmMain::quit_Click);
    connect(m_commands, &ToolbarCommands::historyReplaced, this, &frmMain::comboInitialize);
    // A later start's request for the popup: kept for the end of the start while it runs (from one of
    // its boxes), dropped once the program is ending.
    connect(m_platform.instance, &SingleInstance::popupRequested, this, [this] {
        if (m_state == Lifecycle::Loading)
            m_popupAfterStart = true;
        else if (m_state == Lifecycle::Running)
            emit popupRequested();
    });
    connect(this, &frmMain::popupRequested, this, &frmMain::openPopup);
    connect(m_desktop, &DesktopIntegration::popupRequested, this, &frmMain::openPopup);
    connect(m_platform.shortcut, &GlobalShortcut::activated, this, &frmMain::openPopup);
    connect(m_platform.shortcut, &GlobalShortcut::keysChanged, this,
            [this] { m_desktop->showPopupKeys(m_platform.shortcut->boundText()); });
    connect(m_sync, &SyncService::stateChanged, this,
            [this] { m_desktop->showSharing(m_sync->isOn(), m_sync->lastArrival()); });
    connect(m_sync, &SyncService::problem, this, [this](const QString &text) {
        tellLater([this, text] {
            m_platform.messages->show(boxParent(), text, tr(titleSharing), MsgIcon::Exclamation, MsgButtons::Ok);
        });
    });
    // vornkip --sync-folder changed the setting: taken at once, also from a box of the start (which
    // starts sharing with what it holds then); dropped once the program is ending.
    connect(m_platform.instance, &SingleInstance::syncChanged, this, [this] {
        if (m_state > Lifecycle::Running)
            return;
        try {
            m_settings.sync = iniRead(m_folder).sync;
        } catch (const CommandError &e) {
            showError(e);
            return;
        }
        if (m_sharingStarted)
            m_sync->setFolder(m_settings.sync.folder);
    });
    connect(m_platform.shortcut, &GlobalShortcut::problem, this, [this](const QString &text) {
        tellLater([this, text] {
            m_platform.messages->show(boxParent(), text, tr(titleShortcut), MsgIcon::Information, MsgButtons::Ok);
        });
    });
}

frmPopup *frmMain::popupWindow()
{
    if (!m_popup) {
        m_popup = std::make_unique<frmPopup>(m_platform, m_combo1->model(), m_settings.search);
        m_popup->setShiftInsertClasses(m_settings.popup.shiftInsertClasses);
        m_popup->setPastes(m_settings.popup.paste);
        // Picking is choosing in the list: one way back to the clipboard.
        m_popup->setChooser([this](const historysearch::Entry &entry) { return m_combo1->chooseEntry(entry); });
    }
    return m_popup.get();
}

void frmMain::openPopup()
{
    atTopLoop([this] {
        if (m_state < Lifecycle::ShuttingDown)
            popupWindow()->open();
    });
}

void frmMain::bindPopupShortcut()
{
    GlobalShortcut &shortcut = *m_platform.shortcut;
    const bool bound = shortcut.bind(QKeySequence(m_settings.popup.shortcut, QKeySequence::PortableText));
    m_desktop->showPopupKeys(bound ? shortcut.boundText() : QString());
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
        if (m_popupAfterStart) {
            m_platform.instance->popupRunning();
            return false;
        }
        m_platform.instance->activateRunning();
        m_platform.messages->show(nullptr, tr(textRunning), tr(titleRunning), MsgIcon::Information, MsgButtons::Ok);
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
    m_title->titleText();
    m_watch = true;
    m_desktop->compact();
    // 9. The history list.
    comboInitialize();
    // 10. The tray icon, and the popup's shortcut shown in its menu.
    m_desktop->addTrayIcon();
    bindPopupShortcut();
    // 11. Watch the clipboard, and the other machines' entries.
    hookWindow();
    m_sharingStarted = true;
    m_sync->setFolder(m_settings.sync.folder);
    // 12. Compact mode.
    m_desktop->ctlVisible(false);
    m_status->start();
    // 13. What the clipboard holds now.
    ChangeClipBoard();
    // The desktop may already have asked the program to end (during a box of the start sequence).
    if (m_state == Lifecycle::Loading)
        m_state = Lifecycle::Running;
    QTimer::singleShot(0, this, [this] { m_loopRunning = true; });
    // After the window is shown at start, so that the popup has the focus.
    if (m_popupAfterStart) {
        QTimer::singleShot(0, this, [this] {
            if (m_state == Lifecycle::Running)
                emit popupRequested();
        });
    }
    return true;
}

void frmMain::showAtStart()
{
    // A start for the popup (a key binding running vornkip --popup) shows the popup alone: a window
    // manager focuses a window as it maps it, and the window would take the focus from the popup,
    // which closes, or be the window the entry is pasted into. A later plain start shows it.
    if (m_popupStart)
        return;
    show();
    activateWindow();
    m_combo1->setFocus();
}

void frmMain::Form_Unload(bool ask)
{
    if (m_state == Lifecycle::Unloaded)
        return;
    // Nothing was read at a start that stopped early, so nothing is asked or written.
    const bool loaded = m_state != Lifecycle::Loading;
    m_state = Lifecycle::Unloaded;
    m_commands->stopCountdown();
    // 1. The tray icon.
    m_desktop->removeTrayIcon();
    // 2. Stop watching.
    unhookWindow();
    m_sync->setFolder(QString());
    m_platform.shortcut->unbind();
    if (m_popup)
        m_popup->hide();
    m_title->timer()->stop();
    // 3. Keep the history?
    if (loaded && ask &&
        m_platform.messages->show(this, tr(textKeepHistory), titleKeepHistory, MsgIcon::Question, MsgButtons::YesNo) ==
            MsgAnswer::No) {
        try {
            fileio::removeFile(m_history.path());
        } catch (const CommandError &e) {
            showError(e);
        }
    }
    // 4. The settings.
    if (loaded)
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
    if (m_state == Lifecycle::Unloaded) {
        event->accept();
        return;
    }
    // The user closes the window with its close box (a close from the window system) or with quit.
    // Any other close is the application or the desktop session ending: nothing is asked.
    const bool byUser = (event->spontaneous() || m_quitChosen) && m_state < Lifecycle::SessionEnding;
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
    if (m_state >= Lifecycle::ShuttingDown)
        return;
    m_state = Lifecycle::ShuttingDown;
    atTopLoop([this] { Form_Unload(false); });
}

void frmMain::sessionEnding()
{
    if (m_state < Lifecycle::SessionEnding)
        m_state = Lifecycle::SessionEnding;
}

int frmMain::topLoopLevel() const
{
    // Before the program's event loop runs (a box of the start sequence), every loop is nested.
    return m_loopRunning ? 1 : 0;
}

void frmMain::atTopLoop(std::function<void()> step)
{
    if (m_loopRunning && !modal::nestedLoopRunning(topLoopLevel())) {
        step();
        return;
    }
    if (m_state == Lifecycle::ShuttingDown)
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
    const QString text = what == ClipboardTrouble::NotWhole      ? tr(textNotWhole)
                         : what == ClipboardTrouble::OutOfMemory ? tr(textNoMemory)
                                                                 : tr(textConnectionLost);
    tellLater([this, text] {
        m_platform.messages->show(boxParent(), text, tr(titleClipboardTrouble), MsgIcon::Exclamation, MsgButtons::Ok);
    });
}

void frmMain::tellLater(std::function<void()> box)
{
    QTimer::singleShot(0, this, [this, box = std::move(box)] {
        if (m_state < Lifecycle::ShuttingDown)
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
            m_sync->share(content.text);
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

bool frmMain::addShared(const QString &text)
{
    try {
        m_combo1->add(text);
    } catch (const CommandError &e) {
        if (!m_appendFailing)
            tellLater([this, e] { showError(e); });
        m_appendFailing = true;
        return false;
    } catch (const std::bad_alloc &) {
        tellLater([this] { showError(commandError(ErrorNumber::OutOfMemory)); });
        return false;
    }
    m_appendFailing = false;
    return true;
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

void frmMain::clipClear_Click()
{
    if (m_platform.messages->show(this, tr(textClearClipboard), tr(titleClearClipboard), MsgIcon::Question,
                                  MsgButtons::YesNo) == MsgAnswer::Yes)
        m_platform.clipboard->clear();
}

QWidget *frmMain::boxParent()
{
    return isVisible() ? this : nullptr;
}

void frmMain::showError(const CommandError &error)
{
    m_platform.messages->showError(boxParent(), error);
}
