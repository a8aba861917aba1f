#include "frmmain.h"

#include "app/historymodel.h"
#include "app/identity.h"
#include "app/mainlayout.h"
#include "app/mainrules.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "core/twips.h"
#include "display/pastelineedit.h"
#include "display/preview.h"
#include "display/titles.h"
#include "launcher/calculator.h"
#include "launcher/launchers.h"
#include "launcher/toolbars.h"
#include "launcher/websearch.h"
#include "picwin/frmpicture.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/modal.h"
#include "platform/singleinstance.h"
#include "platform/sysinfo.h"
#include "platform/tray.h"
#include "templates/frmpro.h"
#include "templates/templatefile.h"
#include "textwin/frmtext.h"
#include "textwin/textlayout.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVariantAnimation>

#include <cerrno>
#include <cstdio>

namespace {
const QString textRunning = QStringLiteral("アプリケーションは起動中です。");
const QString titleRunning = QStringLiteral("重複起動");
const QString textKeepHistory = QStringLiteral("次回に履歴を残しておきますか？");
const QString titleKeepHistory = QStringLiteral("ID:Q0001");
const QString textClearClipboard = QStringLiteral("クリップボードの中身をクリアしてよろしいですか？");
const QString titleClearClipboard = QStringLiteral("削除確認");
const QString textTemplateMode = QStringLiteral("☆定型文モード");

// The history list's popup is a plain list: the default style would measure every item first.
class ListPopupStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Every row of the history list is one line high, measured with the Japanese text it mostly shows.
class OneLineDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {option.rect.width(), option.fontMetrics.boundingRect(QStringLiteral("あAg|")).height() + 4};
    }
};

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
    m_model = new HistoryModel(m_history, this);
    buildControls();
    buildIconMenu();
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
    m_toolbar1 = makeToolbar(1);
    m_toolbar2 = makeToolbar(2);

    m_combo1 = new QComboBox(this);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setLineEdit(new PasteLineEdit(m_platform.clipboard, m_combo1));
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setDuplicatesEnabled(true);
    m_combo1->setCompleter(nullptr);
    m_combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_combo1->setMinimumContentsLength(1);
    m_combo1->setMaxVisibleItems(20);
    auto *style = new ListPopupStyle;
    style->setParent(this);
    m_combo1->setStyle(style);
    auto *view = new QListView(m_combo1);
    view->setUniformItemSizes(true);
    view->setItemDelegate(new OneLineDelegate(view));
    view->setTextElideMode(Qt::ElideRight);
    m_combo1->setView(view);
    m_combo1->setModel(m_model);
    m_combo1->setAcceptDrops(true);
    m_combo1->lineEdit()->setAcceptDrops(true);
    m_combo1->installEventFilter(this);
    m_combo1->lineEdit()->installEventFilter(this);
    connect(m_combo1, &QComboBox::activated, this, &frmMain::Combo1_Click);

    m_combo2 = new QComboBox(this);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setEditable(true);
    m_combo2->setInsertPolicy(QComboBox::NoInsert);
    m_combo2->setCompleter(nullptr);
    m_combo2->setDuplicatesEnabled(true);
    m_combo2->lineEdit()->setReadOnly(true); // typing is discarded
    m_combo2->setEditText(textTemplateMode);
    m_combo2->hide();
    connect(m_combo2, &QComboBox::activated, this, &frmMain::Combo2_Click);

    m_picture1 = new QFrame(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setFrameShape(QFrame::Box);
    m_image1 = new QLabel(m_picture1);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_statusBar1 = new QStatusBar(this);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(m_statusBar1);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setAlignment(Qt::AlignCenter);
        m_panels[i]->installEventFilter(this);
        m_statusBar1->addWidget(m_panels[i], i == 2 ? 0 : 1);
    }
    m_panels[2]->setMinimumWidth(px(540));
    m_statusTimer = new QTimer(this);
    connect(m_statusTimer, &QTimer::timeout, this, &frmMain::updateStatusPanels);
    m_picture1->installEventFilter(this);
    m_image1->installEventFilter(this);

    m_grow = new QVariantAnimation(this);
    connect(m_grow, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &height) { setFixedHeight(height.toInt()); });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &QTimer::timeout, this, &frmMain::titleText);
}

QToolBar *frmMain::makeToolbar(int which)
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(which == 1 ? QStringLiteral("Toolbar1") : QStringLiteral("Toolbar2"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    // Seven buttons share a narrow bar: keep their frames tight.
    bar->setStyleSheet(QStringLiteral("QToolBar { border: none; padding: 0px; spacing: 0px; }"
                                      "QToolButton { padding: 1px; margin: 0px; }"
                                      "QToolButton::menu-button { width: 9px; }"));
    const QList<toolbars::Button> &buttons = which == 1 ? toolbars::toolbar1() : toolbars::toolbar2();
    for (const toolbars::Button &b : buttons) {
        QAction *action = bar->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(b.key)), b.tooltip);
        action->setObjectName(b.key);
        action->setToolTip(b.tooltip);
        action->setCheckable(b.style == toolbars::Style::Check);
        const QString key = b.key;
        connect(action, &QAction::triggered, this, [this, which, key](bool checked) {
            if (which == 1)
                Toolbar1_ButtonClick(key);
            else
                Toolbar2_ButtonClick(key, checked);
        });
        auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
        if (b.style == toolbars::Style::DropDown) {
            auto *menu = new QMenu(this);
            menu->setObjectName(b.key + QStringLiteral("Menu"));
            for (const toolbars::MenuItem &item : toolbars::menu(b.key)) {
                if (!item.visible)
                    continue; // hidden items are never shown
                if (item.caption == QStringLiteral("-")) {
                    menu->addSeparator()->setObjectName(item.key);
                    continue;
                }
                QAction *entry = menu->addAction(item.caption);
                entry->setObjectName(item.key);
                const QString itemKey = item.key;
                connect(entry, &QAction::triggered, this, [this, which, itemKey] {
                    if (which == 1)
                        Toolbar1_ButtonMenuClick(itemKey);
                    else
                        Toolbar2_ButtonMenuClick(itemKey);
                });
            }
            action->setMenu(menu);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        button->setFixedSize(b.style == toolbars::Style::DropDown ? 32 : 23, 22);
    }
    return bar;
}

void frmMain::buildIconMenu()
{
    m_iconMenu = new QMenu(this);
    m_iconMenu->setObjectName(QStringLiteral("iconMenu"));
    const auto item = [this](QMenu *menu, const char *name, const QString &caption, const QKeySequence &key) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1StringView(name));
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a); // the shortcut also acts while the window has the focus
        return a;
    };
    m_clipWatch = item(m_iconMenu, "clipWatch", QStringLiteral("クリップボードの監視"), Qt::Key_F2);
    m_clipWatch->setCheckable(true);
    m_clipWatch->setChecked(true);
    connect(m_clipWatch, &QAction::triggered, this, &frmMain::clipWatch_Click);
    m_clipNoWatch = item(m_iconMenu, "clipNoWatch", QStringLiteral("クリップボードを監視しない"), Qt::Key_F3);
    m_clipNoWatch->setCheckable(true);
    connect(m_clipNoWatch, &QAction::triggered, this, &frmMain::clipNoWatch_Click);
    m_iconMenu->addSeparator()->setObjectName(QStringLiteral("bar1"));
    m_topmost = item(m_iconMenu, "topmost", QStringLiteral("最前面表示"), Qt::Key_F4);
    m_topmost->setCheckable(true);
    m_topmost->setChecked(true);
    connect(m_topmost, &QAction::triggered, this, [this](bool checked) {
        // Qt has already flipped the check mark; winPos decides from the state the user saw.
        m_topmost->setChecked(!checked);
        winPos();
    });

    QMenu *title = m_iconMenu->addMenu(QStringLiteral("タイトル表示"));
    title->menuAction()->setObjectName(QStringLiteral("title"));
    const auto mode = [&](QMenu *menu, const char *name, const QString &caption, int number) {
        QAction *a = item(menu, name, caption, QKeySequence(Qt::CTRL | (Qt::Key_F1 + number - 1)));
        connect(a, &QAction::triggered, this, [this, number] { titleMode_Click(number); });
    };
    mode(title, "title_Title", QStringLiteral("タイトルを表示"), 1);
    QMenu *date = title->addMenu(QStringLiteral("日付・時間を表示"));
    date->menuAction()->setObjectName(QStringLiteral("title_Date"));
    mode(date, "title_Date_now", QStringLiteral("日付と時間"), 2);
    mode(date, "title_Date_date", QStringLiteral("日付のみ"), 3);
    mode(date, "title_Date_time", QStringLiteral("時間のみ"), 4);
    mode(date, "title_Date_sys", QStringLiteral("起動してからの時間"), 5);
    QMenu *system = title->addMenu(QStringLiteral("メモリ状況を表示"));
    system->menuAction()->setObjectName(QStringLiteral("title_System"));
    mode(system, "title_System_kb", QStringLiteral("KByte"), 6);
    mode(system, "title_System_mb", QStringLiteral("MByte"), 7);

    m_iconMenu->addSeparator()->setObjectName(QStringLiteral("bar2"));
    m_clipClear = item(m_iconMenu, "clipClear", QStringLiteral("クリップボードを空にする"), Qt::Key_F6);
    connect(m_clipClear, &QAction::triggered, this, &frmMain::clipClear_Click);
    m_quit = item(m_iconMenu, "quit", QStringLiteral("終了"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(m_quit, &QAction::triggered, this, &frmMain::quit_Click);
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
    place(m_picture1, mainlayout::picture1);
    place(m_image1, mainlayout::image1);
    place(m_toolbar2, mainlayout::toolbar2);
    const int clientHeight =
        px((m_extended == QStringLiteral("True") ? extendedHeight : compactHeight) - nonClientHeight);
    setFixedSize(px(clientWidth), clientHeight);
    m_statusBar1->setGeometry(0, px(extendedHeight - nonClientHeight - statusBarHeight), px(clientWidth),
                              px(statusBarHeight));
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
    // The secondary windows exist, hidden, at their saved places.
    proWindow()->move(px(m_settings.pro.left), px(m_settings.pro.top));
    // Sizes in the settings are outer sizes, borders and caption included.
    pictureWindow()->move(px(m_settings.picture.left), px(m_settings.picture.top));
    pictureWindow()->resize(px(m_settings.picture.width - twips::sizableFrameWidth),
                            px(m_settings.picture.height - twips::sizableFrameHeight));
    textWindow()->move(px(m_settings.text.left), px(m_settings.text.top));
    textWindow()->resize(px(m_settings.text.width - textlayout::frameWidth),
                         px(m_settings.text.height - textlayout::frameHeight));
    // 4.-8.
    m_timer1->start(100);
    titleText();
    m_watch = true;
    m_extended = QStringLiteral("False");
    placeControls();
    // 9. The history list.
    comboInitialize();
    // 10. The tray icon; while there is no notification area its menu is the window's context menu.
    if (m_platform.tray) {
        m_platform.tray->add(windowIcon(), QStringLiteral("Vornkip"));
        connect(m_platform.tray, &TrayIcon::leftButtonDown, this, [this] { trayCallback(513); });
        connect(m_platform.tray, &TrayIcon::rightButtonDown, this, [this] { trayCallback(516); });
        connect(this, &QWidget::customContextMenuRequested, this,
                [this](const QPoint &at) { m_iconMenu->popup(mapToGlobal(at)); });
        if (!m_platform.tray->isAvailable()) {
            setContextMenuPolicy(Qt::CustomContextMenu);
            connect(m_platform.tray, &TrayIcon::becameAvailable, this,
                    [this] { setContextMenuPolicy(Qt::DefaultContextMenu); });
        }
    }
    // 11. Watch the clipboard.
    hookWindow();
    // 12. Compact mode.
    ctlVisible(false);
    updateStatusPanels();
    m_statusTimer->start(500);
    // 13. What the clipboard holds now.
    ChangeClipBoard();
    m_loaded = true;
    // The first event the program's loop handles: from then on a loop at level 1 is the top one.
    QTimer::singleShot(0, this, [this] { m_running = true; });
    return true;
}

void frmMain::Form_Unload(bool ask)
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // 1. The tray icon.
    if (m_platform.tray)
        m_platform.tray->remove();
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
    // 4. The settings. A secondary window closed during the run is created afresh to read its place.
    if (m_loaded) {
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

QString frmMain::comboText() const
{
    return m_combo1->currentText();
}

void frmMain::setComboText(const QString &text)
{
    m_combo1->setEditText(text);
}

void frmMain::ChangeClipBoard()
{
    if (!m_watch)
        return;
    // The picture is asked for only while the preview shows it: every request waits for the owner.
    const bool withPicture = extended();
    const ClipboardContent content = m_platform.clipboard->read(withPicture);
    if (content.secret)
        return; // never recorded, listed or previewed
    // An empty text is not recorded: it is what a read gives when the owner of the clipboard changed
    // or went away before answering, and an empty entry would hold nothing anyway.
    if (content.hasText && !content.text.isEmpty()) {
        if (mainrules::isCurrentEntry(content.text, comboText()))
            return;
        const int number = HistoryFile::nextNumber(m_combo1Tag.toInt());
        const QString item = content.text.left(mainrules::maxEntryLength);
        try {
            m_model->addEntry(number, content.text, item);
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
        m_combo1Tag = HistoryFile::numberText(m_history.lastNumber());
        m_combo1->setCurrentIndex(0);
        setComboText(item);
        m_combo1->setToolTip(item);
    }
    if (content.hasImage && withPicture)
        showPreview(content.image);
}

void frmMain::comboInitialize()
{
    const bool withPicture = extended();
    const ClipboardContent content =
        m_platform.clipboard ? m_platform.clipboard->read(withPicture) : ClipboardContent();
    m_combo1->setUpdatesEnabled(false);
    if (withPicture || !content.hasImage)
        showPreview(content.hasImage ? content.image : QImage());
    m_combo1Tag = QStringLiteral("000000");
    m_history.setPath(datafolder::historyFile(m_folder));
    try {
        m_history.ensureExists();
        m_model->reload();
        if (m_history.lastNumber() > 0)
            m_combo1Tag = HistoryFile::numberText(m_history.lastNumber());
        if (fileio::exists(m_history.path()) && QFileInfo(m_history.path()).size() > 0)
            m_timer1->start(100);
    } catch (const CommandError &e) {
        showError(e);
    }
    m_combo1->setCurrentIndex(-1);
    setComboText(content.hasText ? content.text.left(mainrules::maxEntryLength) : QString());
    m_combo1->setUpdatesEnabled(true);
}

void frmMain::Combo1_Click(int index)
{
    if (index < 0)
        return;
    QString text;
    try {
        text = m_model->wholeText(index);
    } catch (const CommandError &e) {
        showError(e);
        return;
    }
    m_platform.clipboard->clear();
    m_platform.clipboard->setText(text);
}

void frmMain::Combo1_KeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_F11)
        return;
    const QString text = comboText();
    const calculator::Decision decision = calculator::decide(text);
    if (decision.action == calculator::Action::Launch)
        m_platform.desktop->shellOpen(text);
    else if (decision.action == calculator::Action::Evaluate)
        guard([&] { calValue(decision.mark); }); // a division by zero or an overflow keeps the text
}

void frmMain::calValue(QChar mark)
{
    const QString result = calculator::calValue(comboText(), mark);
    setComboText(result);
    m_combo1->lineEdit()->setCursorPosition(static_cast<int>(result.size()));
}

void frmMain::convertText(const QString &key)
{
    setComboText(calculator::convert(key, comboText()));
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
    if (!m_frmPicture) {
        PictureHost host;
        host.previewPicture = [this] { return m_previewPicture; };
        host.extended = [this] { return extended(); };
        host.setPreview = [this](const QImage &picture) { showPreview(picture); };
        m_frmPicture = new frmPicture(m_platform, std::move(host));
    }
    return m_frmPicture;
}

void frmMain::showPictureWindow()
{
    // The preview is not kept current while it is hidden: take the clipboard's picture now.
    if (!extended()) {
        const ClipboardContent content = m_platform.clipboard->read(true);
        if (content.hasImage)
            showPreview(content.image);
    }
    frmPicture *window = pictureWindow();
    // The display and the source both take the preview's picture, so copy and clip act on what is shown.
    window->setDisplayed(m_previewPicture);
    window->setSource(m_previewPicture.isNull() ? std::nullopt : std::optional<QImage>(m_previewPicture));
    window->show();
    window->raise();
    window->activateWindow();
}

void frmMain::showTextWindow()
{
    frmText *window = textWindow();
    const ClipboardContent content = m_platform.clipboard->read(false);
    if (content.hasText)
        window->setText(content.text);
    window->show();
    window->raise();
    window->activateWindow();
}

void frmMain::showTemplateEditor()
{
    frmPro *editor = proWindow();
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void frmMain::clipWatch_Click()
{
    m_clipWatch->setChecked(true);
    m_clipNoWatch->setChecked(false);
    m_watch = true;
}

void frmMain::clipNoWatch_Click()
{
    m_clipNoWatch->setChecked(true);
    m_clipWatch->setChecked(false);
    m_watch = false;
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

void frmMain::showError(const CommandError &error)
{
    m_platform.messages->showError(isVisible() ? this : nullptr, error);
}

bool frmMain::combo1Drag(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!Clipboard::localFiles(drag->mimeData()).isEmpty() && (drag->possibleActions() & Qt::CopyAction)) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = Clipboard::localFiles(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        m_platform.clipboard->setText(mainrules::dropText(paths));
        return true;
    }
    default:
        return false;
    }
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 3; ++i) {
        if (watched == m_panels[i] && event->type() == QEvent::MouseButtonPress) {
            StatusBar1_PanelClick(i + 1);
            return true;
        }
    }
    if (watched == m_image1 || watched == m_picture1) {
        const auto twipsAt = [this, watched](QEvent *e) {
            const QPointF at = static_cast<QMouseEvent *>(e)->position();
            const QPointF inPreview = watched == m_image1 ? at : at - QPointF(m_image1->pos());
            return QPointF(toTwips(qRound(inPreview.x())), toTwips(qRound(inPreview.y())));
        };
        switch (event->type()) {
        case QEvent::MouseButtonDblClick:
            Image1_DblClick();
            return true;
        case QEvent::MouseButtonPress: {
            const QPointF t = twipsAt(event);
            Image1_MouseDown(float(t.x()), float(t.y()));
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const QPointF t = twipsAt(event);
            Image1_MouseUp(float(t.x()), float(t.y()));
            return true;
        }
        default:
            break;
        }
    }
    if (watched == m_combo1 || watched == m_combo1->lineEdit()) {
        if (combo1Drag(event))
            return true;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F11) {
                Combo1_KeyDown(key);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

namespace {
const QString textDeleteClipboard = QStringLiteral("クリップボードの情報を削除してもよろしいですか？");
const QString titleDeleteClipboard = QStringLiteral("ID:E001");
const QString textDeleteHistory =
    QStringLiteral("クリップボードの履歴を削除します。一度削除したものは戻りません。\r\nよろしいですか？");
const QString titleDeleteHistory = QStringLiteral("履歴の削除");
const QString textOverwriteHistory = QStringLiteral(
    "ファイルを開くと、現在までの履歴に上書きされます。開かれたファイルは、変更されません。\r\nよろしいですか？");
const QString titleOverwriteHistory = QStringLiteral("上書き確認");
const QString textNoTemplates = QStringLiteral("定型文が指定されていません。");
const QString titleNoTemplates = QStringLiteral("新規作成");
const QString textEmptyTemplates = QStringLiteral("このファイルには定型文が含まれていません。");
const QString titleEmptyTemplates = QStringLiteral("空ファイル");
const QString textTemplateModeLoaded = QStringLiteral("☆定型文モード☆");
const QString filterHistorySave = QStringLiteral("履歴ファイル(*.ifo)|*.ifo|テキストファイル(*.txt)|*.txt");
const QString filterHistoryOpen = QStringLiteral("VornkipFile(*.ifo)|*.ifo");
const QString filterTemplates = QStringLiteral("定型文ファイル(*.txt)|*.txt");

bool is(const QString &key, const char *name)
{
    return key.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0;
}

[[noreturn]] void cancelled()
{
    throw commandError(ErrorNumber::Cancel);
}
} // namespace

void frmMain::Toolbar1_ButtonClick(const QString &key)
{
    // These buttons have no error handling of their own in the classic program; here a failure
    // shows the error box instead of escaping.
    guard([&] {
        if (is(key, "copy")) {
            const QString text = comboText();
            if (text.isEmpty())
                return;
            m_platform.clipboard->clear();
            m_platform.clipboard->setText(text);
        } else if (is(key, "del_clip")) {
            if (m_platform.messages->show(this, textDeleteClipboard, titleDeleteClipboard, MsgIcon::Exclamation,
                                          MsgButtons::YesNo) == MsgAnswer::Yes)
                m_platform.clipboard->clear();
        } else if (is(key, "text")) {
            showTextWindow();
        } else if (is(key, "bmp")) {
            showPictureWindow();
        } else if (is(key, "shell")) {
            const QString text = comboText();
            if (!text.isEmpty())
                m_platform.desktop->shellOpen(text);
        } else if (is(key, "hides")) {
            hide(); // only the tray icon brings it back (or a second start, where no tray exists)
        } else if (is(key, "menu")) {
            extendedMode();
        }
    });
}

void frmMain::Toolbar1_ButtonMenuClick(const QString &key)
{
    guard(
        [&] {
            const QString address = websearch::address(key, comboText());
            if (!address.isEmpty()) {
                m_platform.desktop->shellOpen(address);
            } else if (is(key, "hide")) {
                winPos();
            } else if (is(key, "texthide")) {
                textHide();
            } else if (is(key, "h8") || is(key, "h10") || is(key, "h16") || is(key, "ucase") || is(key, "lcase")) {
                convertText(key.toLower());
            }
        },
        {ErrorNumber::TypeMismatch, ErrorNumber::Overflow});
}

void frmMain::Toolbar2_ButtonClick(const QString &key, bool down)
{
    guard(
        [&] {
            if (is(key, "con")) {
                launch(QStringLiteral("con"));
            } else if (is(key, "disp")) {
                screenSaverCountdown();
            } else if (is(key, "cd")) {
                cdMsg(down);
            } else if (is(key, "file")) {
                saveHistory();
            } else if (is(key, "open")) {
                rekiFileOpen();
            } else if (is(key, "pro")) {
                templateMode(down);
            } else if (is(key, "del_list")) {
                deleteHistory();
            }
        },
        {ErrorNumber::Cancel});
}

void frmMain::Toolbar2_ButtonMenuClick(const QString &key)
{
    guard(
        [&] {
            if (is(key, "open_reki"))
                rekiFileOpen();
            else if (is(key, "open_New"))
                showTemplateEditor();
            else if (is(key, "open_pro"))
                openTemplates();
            else if (!launchers::candidates(key).isEmpty())
                launch(key);
        },
        {ErrorNumber::Cancel});
}

void frmMain::launch(const QString &key)
{
    const QList<launchers::Command> candidates = launchers::candidates(key);
    for (const launchers::Command &c : candidates) {
        if (!m_platform.desktop->findProgram(c.program).isEmpty()) {
            m_platform.desktop->startProgram(c.program, c.arguments);
            return;
        }
    }
    throw CommandError{ErrorNumber::FileNotFound, errorDescription(ErrorNumber::FileNotFound) + QLatin1Char('\n') +
                                                      launchers::lookedFor(candidates)};
}

void frmMain::screenSaverCountdown()
{
    // Three captions a second apart, then the screen saver. The title line pauses meanwhile; a second
    // press while counting changes nothing.
    if (m_countdown >= 0)
        return;
    m_countdownResumesTitle = m_timer1->isActive();
    m_timer1->stop();
    m_countdown = 0;
    countdownStep();
}

void frmMain::countdownStep()
{
    static const QString captions[] = {QStringLiteral("３・・。"), QStringLiteral("・２・。"),
                                       QStringLiteral("・・１。")};
    if (m_unloaded) {
        m_countdown = -1;
        return;
    }
    if (m_countdown < 3) {
        setWindowTitle(captions[m_countdown++]);
        QTimer::singleShot(1000, this, &frmMain::countdownStep);
        return;
    }
    m_countdown = -1;
    setWindowTitle(QStringLiteral("Vornkip"));
    guard([this] { m_platform.desktop->startScreenSaver(); });
    if (m_countdownResumesTitle)
        m_timer1->start();
}

void frmMain::cdMsg(bool open)
{
    m_platform.desktop->cdDoor(open);
}

void frmMain::saveHistory()
{
    FileDialogSpec request;
    request.filter = filterHistorySave;
    request.filterIndex = 1;
    request.defaultExtension = QStringLiteral(".ifo");
    request.overwritePrompt = true;
    const auto chosen = m_platform.dialogs->save(this, request);
    if (!chosen)
        cancelled();
    if (chosen->filterIndex == 2)
        m_history.exportText(chosen->path);
    else
        m_history.saveCopy(chosen->path);
}

void frmMain::rekiFileOpen()
{
    if (m_platform.messages->show(this, textOverwriteHistory, titleOverwriteHistory, MsgIcon::Question,
                                  MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    FileDialogSpec request;
    request.filter = filterHistoryOpen;
    request.defaultExtension = QStringLiteral(".ifo");
    const auto chosen = m_platform.dialogs->open(this, request);
    if (!chosen)
        cancelled();
    fileio::copyFile(chosen->path, m_history.path());
    comboInitialize();
}

void frmMain::deleteHistory()
{
    if (m_platform.messages->show(this, textDeleteHistory, titleDeleteHistory, MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes)
        return;
    fileio::removeFile(m_history.path());
    comboInitialize();
}

void frmMain::templateMode(bool down)
{
    if (!down) {
        m_combo2->clear();
        m_combo2->hide();
        return;
    }
    m_combo2->show();
    m_combo2->raise();
    if (fileio::exists(m_settings.templatePath)) {
        m_combo2->clear();
        fileOpen();
    } else {
        m_platform.messages->show(this, textNoTemplates, titleNoTemplates, MsgIcon::None, MsgButtons::Ok);
        showTemplateEditor();
    }
}

void frmMain::openTemplates()
{
    FileDialogSpec request;
    request.filter = filterTemplates;
    request.defaultExtension = QStringLiteral(".txt");
    const auto chosen = m_platform.dialogs->open(this, request);
    if (!chosen)
        cancelled();
    checkSettingsPath(chosen->path); // form.ini keeps it, and cannot hold a line break
    if (QFileInfo(chosen->path).size() == 0) {
        if (!QFileInfo::exists(chosen->path))
            throw fileError(ENOENT, chosen->path);
        m_platform.messages->show(this, textEmptyTemplates, titleEmptyTemplates, MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    m_combo2->clear();
    m_settings.templatePath = chosen->path;
    fileOpen();
}

void frmMain::fileOpen()
{
    const QStringList phrases = templatefile::read(m_settings.templatePath);
    m_combo2->addItems(phrases);
    m_combo2->setCurrentIndex(-1);
    m_combo2->setEditText(textTemplateModeLoaded);
}

void frmMain::Combo2_Click(int index)
{
    if (index < 0)
        return;
    const QString phrase = m_combo2->itemText(index);
    m_platform.clipboard->clear();
    m_platform.clipboard->setText(phrase);
}

QAction *frmMain::menuAction(const QString &name) const
{
    return findChild<QAction *>(name);
}

QWidget *frmMain::statusBar1() const
{
    return m_statusBar1;
}

bool frmMain::topmost() const
{
    return windowFlags() & Qt::WindowStaysOnTopHint;
}

void frmMain::trayCallback(int message)
{
    if (message == 513) {
        setVisible(!isVisible());
        if (isVisible()) {
            raise();
            activateWindow();
        }
    } else if (message == 516) {
        m_iconMenu->popup(QCursor::pos());
    }
}

void frmMain::winPos()
{
    QAction *hideItem = menuAction(QStringLiteral("hide"));
    const bool setOnTop = (hideItem && hideItem->text() == toolbars::captionTopmostOff) || !m_topmost->isChecked();
    if (hideItem)
        hideItem->setText(setOnTop ? toolbars::captionTopmostOn : toolbars::captionTopmostOff);
    m_topmost->setChecked(setOnTop);
    // Changing the flag hides a shown window; keep the place and the visibility.
    const bool shown = isVisible();
    const QPoint at = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, setOnTop);
    if (shown) {
        move(at);
        show();
    }
}

void frmMain::ctlVisible(bool flag)
{
    m_toolbar2->setVisible(flag);
    m_image1->setVisible(flag);
    m_picture1->setVisible(flag);
    m_statusBar1->setVisible(flag);
}

void frmMain::extendedMode()
{
    using namespace mainlayout;
    const int compact = px(compactHeight - nonClientHeight);
    const int grown = px(extendedHeight - nonClientHeight);
    m_grow->stop();
    if (!extended()) {
        m_extended = QStringLiteral("True");
        const auto shown = [this] {
            const ClipboardContent content = m_platform.clipboard->read(true);
            if (content.hasImage)
                showPreview(content.image);
            ctlVisible(true);
            updateStatusPanels();
        };
        if (!isVisible()) {
            setFixedHeight(grown);
            shown();
            return;
        }
        // The window grows a pixel at a time, seen as a short animation.
        m_grow->setStartValue(compact);
        m_grow->setEndValue(grown);
        m_grow->setDuration(std::max(1, grown - compact) * 2);
        disconnect(m_grow, &QVariantAnimation::finished, this, nullptr);
        connect(m_grow, &QVariantAnimation::finished, this, shown);
        m_grow->start();
    } else {
        m_extended = QStringLiteral("False");
        setFixedHeight(compact);
        ctlVisible(false);
        showPreview(QImage());
    }
}

void frmMain::showPreview(const QImage &picture)
{
    m_previewPicture = picture;
    m_image1->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    placePreview();
}

void frmMain::placePreview()
{
    using namespace mainlayout;
    if (m_fit) {
        m_image1->setScaledContents(true);
        m_image1->setGeometry(px(mainlayout::image1.left), px(mainlayout::image1.top), px(mainlayout::image1.width),
                              px(mainlayout::image1.height));
    } else {
        m_image1->setScaledContents(false);
        const QSize natural = m_previewPicture.isNull() ? QSize(0, 0) : m_previewPicture.size();
        m_image1->setGeometry(px(m_previewLeft), px(m_previewTop), natural.width(), natural.height());
    }
}

void frmMain::Image1_DblClick()
{
    if (!m_fit) {
        m_previewLeft = 0;
        m_previewTop = 0;
        m_fit = true;
    } else {
        m_fit = false;
    }
    placePreview();
}

void frmMain::Image1_MouseDown(float x, float y)
{
    if (m_fit)
        return;
    m_image1->setCursor(Qt::SizeAllCursor);
    m_dragX = x;
    m_dragY = y;
}

void frmMain::Image1_MouseUp(float x, float y)
{
    if (!m_fit) {
        const QSize natural = m_previewPicture.isNull() ? QSize(0, 0) : m_previewPicture.size();
        const preview::Offset moved = preview::pan(
            {m_previewLeft, m_previewTop}, x - m_dragX, y - m_dragY, float(toTwips(m_picture1->width())),
            float(toTwips(m_picture1->height())), float(toTwips(natural.width())), float(toTwips(natural.height())));
        m_previewLeft = moved.left;
        m_previewTop = moved.top;
        placePreview();
    }
    m_image1->unsetCursor();
}

void frmMain::textHide()
{
    QAction *item = menuAction(QStringLiteral("texthide"));
    const bool hideNow = item && item->text() == toolbars::captionTextShown;
    const int left = px(hideNow ? mainlayout::hiddenTextLeft : mainlayout::combo.left);
    m_combo1->move(left, m_combo1->y());
    m_combo2->move(left, m_combo2->y());
    menuAction(QStringLiteral("copy"))->setEnabled(!hideNow);
    menuAction(QStringLiteral("pro"))->setEnabled(!hideNow);
    if (item)
        item->setText(hideNow ? toolbars::captionTextHidden : toolbars::captionTextShown);
}

void frmMain::updateStatusPanels()
{
    if (!m_platform.system)
        return;
    const QDateTime now = m_platform.system->now();
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    m_panels[0]->setText(japanese.toString(now.date(), QLocale::ShortFormat));
    m_panels[1]->setText(japanese.toString(now.time(), QLocale::ShortFormat));
    m_panels[2]->setText(m_platform.system->capsLock() ? QStringLiteral("CAPS") : QString());
}

void frmMain::StatusBar1_PanelClick(int panel)
{
    if (panel != 1 && panel != 2)
        return;
    // The panel is seen pressed for 150 ms; then the date or the time goes into the list's text.
    QLabel *label = m_panels[panel - 1];
    label->setFrameShadow(QFrame::Sunken);
    QTimer::singleShot(150, label, [this, label, panel] {
        const QDateTime now = m_platform.system->now();
        setComboText(titles::formatDateTime(now, panel == 1 ? u"ggge年m月d日 aaaa" : u"yyyy/mm/dd hh:mm:ss"));
        label->setFrameShadow(QFrame::Raised);
    });
}
