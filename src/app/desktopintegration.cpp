// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopintegration.h"

#include "app/historylist.h"
#include "display/mainlayout.h"
#include "display/previewpane.h"
#include "display/statuspanels.h"
#include "launcher/toolbars.h"
#include "platform/clipboard.h"
#include "platform/tray.h"
#include "platform/widgettwips.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QToolBar>
#include <QVariantAnimation>

#include <algorithm>

namespace {
// The tray menu, top to bottom. A submenu row opens the menu its items name as theirs.
enum class In
{
    Tray,
    Title,
    Date,
    System,
};
enum class Kind
{
    Item,
    Separator,
    Submenu,
    Status, // shows a state, disabled
};
enum class Check
{
    None,
    Off,
    On,
};
struct Row
{
    Kind kind;
    In in;
    const char *name;
    const char *caption = "";
    QKeyCombination key = {};
    Check check = Check::None;
    void (DesktopIntegration::*handler)() = nullptr;
    int titleMode = 0; // a title-mode item: titleModeChosen with this mode
    In opens = In::Tray;
};

const Row iconMenuRows[] = {
    {Kind::Item,
     In::Tray,
     "popup",
     QT_TRANSLATE_NOOP("DesktopIntegration", "履歴を開く"),
     {},
     Check::None,
     &DesktopIntegration::popup_Click},
    {Kind::Status, In::Tray, "sync", QT_TRANSLATE_NOOP("DesktopIntegration", "履歴の共有: オフ")},
    {Kind::Separator, In::Tray, "bar0"},
    {Kind::Item, In::Tray, "clipWatch", QT_TRANSLATE_NOOP("DesktopIntegration", "クリップボードの監視"), Qt::Key_F2,
     Check::On, &DesktopIntegration::clipWatch_Click},
    {Kind::Item, In::Tray, "clipNoWatch", QT_TRANSLATE_NOOP("DesktopIntegration", "クリップボードを監視しない"),
     Qt::Key_F3, Check::Off, &DesktopIntegration::clipNoWatch_Click},
    {Kind::Separator, In::Tray, "bar1"},
    {Kind::Item, In::Tray, "topmost", QT_TRANSLATE_NOOP("DesktopIntegration", "最前面表示"), Qt::Key_F4, Check::On,
     &DesktopIntegration::winPos},
    {Kind::Submenu,
     In::Tray,
     "title",
     QT_TRANSLATE_NOOP("DesktopIntegration", "タイトル表示"),
     {},
     Check::None,
     nullptr,
     0,
     In::Title},
    {Kind::Item, In::Title, "title_Title", QT_TRANSLATE_NOOP("DesktopIntegration", "タイトルを表示"),
     Qt::CTRL | Qt::Key_F1, Check::None, nullptr, 1},
    {Kind::Submenu,
     In::Title,
     "title_Date",
     QT_TRANSLATE_NOOP("DesktopIntegration", "日付・時間を表示"),
     {},
     Check::None,
     nullptr,
     0,
     In::Date},
    {Kind::Item, In::Date, "title_Date_now", QT_TRANSLATE_NOOP("DesktopIntegration", "日付と時間"),
     Qt::CTRL | Qt::Key_F2, Check::None, nullptr, 2},
    {Kind::Item, In::Date, "title_Date_date", QT_TRANSLATE_NOOP("DesktopIntegration", "日付のみ"),
     Qt::CTRL | Qt::Key_F3, Check::None, nullptr, 3},
    {Kind::Item, In::Date, "title_Date_time", QT_TRANSLATE_NOOP("DesktopIntegration", "時間のみ"),
     Qt::CTRL | Qt::Key_F4, Check::None, nullptr, 4},
    {Kind::Item, In::Date, "title_Date_sys", QT_TRANSLATE_NOOP("DesktopIntegration", "起動してからの時間"),
     Qt::CTRL | Qt::Key_F5, Check::None, nullptr, 5},
    {Kind::Submenu,
     In::Title,
     "title_System",
     QT_TRANSLATE_NOOP("DesktopIntegration", "メモリ状況を表示"),
     {},
     Check::None,
     nullptr,
     0,
     In::System},
    {Kind::Item, In::System, "title_System_kb", QT_TRANSLATE_NOOP("DesktopIntegration", "KByte"), Qt::CTRL | Qt::Key_F6,
     Check::None, nullptr, 6},
    {Kind::Item, In::System, "title_System_mb", QT_TRANSLATE_NOOP("DesktopIntegration", "MByte"), Qt::CTRL | Qt::Key_F7,
     Check::None, nullptr, 7},
    {Kind::Separator, In::Tray, "bar2"},
    {Kind::Item, In::Tray, "clipClear", QT_TRANSLATE_NOOP("DesktopIntegration", "クリップボードを空にする"), Qt::Key_F6,
     Check::None, &DesktopIntegration::clipClear_Click},
    {Kind::Item, In::Tray, "quit", QT_TRANSLATE_NOOP("DesktopIntegration", "終了"), Qt::CTRL | Qt::Key_Q, Check::None,
     &DesktopIntegration::quit_Click},
};
} // namespace

DesktopIntegration::DesktopIntegration(QWidget *window, TrayIcon *tray, Clipboard *clipboard, const Controls &controls)
    : QObject(window), m_window(window), m_tray(tray), m_clipboard(clipboard), m_controls(controls),
      m_grow(new QVariantAnimation(this))
{
    connect(m_grow, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &height) { m_window->setFixedHeight(height.toInt()); });
    buildIconMenu();
}

int DesktopIntegration::px(double twipsValue) const
{
    return twips::px(m_window, twipsValue);
}

void DesktopIntegration::buildIconMenu()
{
    m_iconMenu = new QMenu(m_window);
    m_iconMenu->setObjectName(QStringLiteral("iconMenu"));
    QMenu *menus[4] = {m_iconMenu, nullptr, nullptr, nullptr};
    for (const Row &row : iconMenuRows) {
        QMenu *menu = menus[static_cast<int>(row.in)];
        const QString name = QLatin1String(row.name);
        if (row.kind == Kind::Separator) {
            menu->addSeparator()->setObjectName(name);
            continue;
        }
        if (row.kind == Kind::Submenu) {
            QMenu *sub = menu->addMenu(QCoreApplication::translate("DesktopIntegration", row.caption));
            sub->menuAction()->setObjectName(name);
            menus[static_cast<int>(row.opens)] = sub;
            continue;
        }
        QAction *action = menu->addAction(QCoreApplication::translate("DesktopIntegration", row.caption));
        action->setObjectName(name);
        if (row.kind == Kind::Status) {
            action->setEnabled(false);
            m_sync = action;
            continue;
        }
        action->setShortcut(QKeySequence(row.key));
        action->setShortcutContext(Qt::WindowShortcut);
        m_window->addAction(action); // the shortcut also acts while the window has the focus
        action->setCheckable(row.check != Check::None);
        action->setChecked(row.check == Check::On);
        if (row.handler)
            connect(action, &QAction::triggered, this, row.handler);
        else
            connect(action, &QAction::triggered, this, [this, mode = row.titleMode] { emit titleModeChosen(mode); });
        if (name == QLatin1String("clipWatch"))
            m_clipWatch = action;
        else if (name == QLatin1String("clipNoWatch"))
            m_clipNoWatch = action;
        else if (name == QLatin1String("topmost"))
            m_topmost = action;
        else if (name == QLatin1String("popup"))
            m_popup = action;
    }
}

void DesktopIntegration::addTrayIcon()
{
    m_tray->add(m_window->windowIcon(), QStringLiteral("Vornkip"));
    connect(m_tray, &TrayIcon::leftButtonDown, this, [this] { trayCallback(TrayClick::LeftButtonDown); });
    connect(m_tray, &TrayIcon::rightButtonDown, this, [this] { trayCallback(TrayClick::RightButtonDown); });
    connect(m_window, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_iconMenu->popup(m_window->mapToGlobal(at)); });
    if (!m_tray->isAvailable()) {
        m_window->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_tray, &TrayIcon::becameAvailable, this,
                [this] { m_window->setContextMenuPolicy(Qt::DefaultContextMenu); });
    }
}

void DesktopIntegration::removeTrayIcon()
{
    m_tray->remove();
}

void DesktopIntegration::trayCallback(TrayClick click)
{
    if (click == TrayClick::LeftButtonDown) {
        m_window->setVisible(!m_window->isVisible());
        if (m_window->isVisible()) {
            m_window->raise();
            m_window->activateWindow();
        }
    } else {
        m_iconMenu->popup(QCursor::pos());
    }
}

void DesktopIntegration::clipWatch_Click()
{
    showWatching(true);
    emit watchChanged(true);
}

void DesktopIntegration::clipNoWatch_Click()
{
    showWatching(false);
    emit watchChanged(false);
}

void DesktopIntegration::popup_Click()
{
    emit popupRequested();
}

void DesktopIntegration::showPopupKeys(const QString &keys)
{
    // Shown where a menu shows an item's shortcut; the keys act on the whole desktop, not through the menu.
    const QString caption = QCoreApplication::translate("DesktopIntegration", iconMenuRows[0].caption);
    m_popup->setText(keys.isEmpty() ? caption : caption + QLatin1Char('\t') + keys);
}

void DesktopIntegration::showSharing(bool on, const QDateTime &lastArrival)
{
    if (!on) {
        m_sync->setText(QCoreApplication::translate("DesktopIntegration", "履歴の共有: オフ"));
        return;
    }
    if (!lastArrival.isValid()) {
        m_sync->setText(QCoreApplication::translate("DesktopIntegration", "履歴の共有: オン"));
        return;
    }
    // The time alone today; the date with it from another day.
    const QString when = lastArrival.toString(
        lastArrival.date() == QDate::currentDate() ? QStringLiteral("HH:mm") : QStringLiteral("yyyy/MM/dd HH:mm"));
    m_sync->setText(QCoreApplication::translate("DesktopIntegration", "履歴の共有: オン (最終受信 %1)").arg(when));
}

void DesktopIntegration::clipClear_Click()
{
    emit clearRequested();
}

void DesktopIntegration::quit_Click()
{
    emit quitRequested();
}

void DesktopIntegration::showWatching(bool watching)
{
    m_clipWatch->setChecked(watching);
    m_clipNoWatch->setChecked(!watching);
}

QAction *DesktopIntegration::toolbarAction(const char *name) const
{
    return m_window->findChild<QAction *>(QLatin1String(name));
}

void DesktopIntegration::winPos()
{
    m_onTop = !m_onTop;
    if (QAction *hideItem = toolbarAction("hide"))
        hideItem->setText(m_onTop ? toolbars::captionTopmostOn : toolbars::captionTopmostOff);
    m_topmost->setChecked(m_onTop);
    // Changing the flag hides a shown window; keep the place and the visibility.
    const bool shown = m_window->isVisible();
    const QPoint at = m_window->pos();
    m_window->setWindowFlag(Qt::WindowStaysOnTopHint, m_onTop);
    if (shown) {
        m_window->move(at);
        m_window->show();
    }
}

void DesktopIntegration::ctlVisible(bool flag)
{
    if (auto *toolbar2 = m_window->findChild<QToolBar *>(QStringLiteral("Toolbar2")))
        toolbar2->setVisible(flag);
    m_controls.preview->setVisible(flag);
    m_controls.status->setVisible(flag);
}

void DesktopIntegration::placeWindow(int height)
{
    m_window->setFixedSize(px(mainlayout::clientWidth), height);
}

void DesktopIntegration::compact()
{
    m_grow->stop();
    m_extended = false;
    placeWindow(px(mainlayout::compactHeight - mainlayout::nonClientHeight));
}

void DesktopIntegration::extendedMode()
{
    using namespace mainlayout;
    const int compactPx = px(compactHeight - nonClientHeight);
    const int grown = px(extendedHeight - nonClientHeight);
    m_grow->stop();
    if (!m_extended) {
        m_extended = true;
        const auto shown = [this] {
            const ClipboardContent content = m_clipboard->read(true);
            if (content.hasImage)
                m_controls.preview->showPreview(content.image);
            ctlVisible(true);
            m_controls.status->refresh();
        };
        if (!m_window->isVisible()) {
            m_window->setFixedHeight(grown);
            shown();
            return;
        }
        // The window grows a pixel at a time, seen as a short animation.
        m_grow->setStartValue(compactPx);
        m_grow->setEndValue(grown);
        m_grow->setDuration(std::max(1, grown - compactPx) * 2);
        disconnect(m_grow, &QVariantAnimation::finished, this, nullptr);
        connect(m_grow, &QVariantAnimation::finished, this, shown);
        m_grow->start();
    } else {
        m_extended = false;
        m_window->setFixedHeight(compactPx);
        ctlVisible(false);
        m_controls.preview->showPreview(QImage());
    }
}

void DesktopIntegration::textHide()
{
    m_textHidden = !m_textHidden;
    const int left = px(m_textHidden ? mainlayout::hiddenTextLeft : mainlayout::combo.left);
    m_controls.combo1->move(left, m_controls.combo1->y());
    m_controls.combo2->move(left, m_controls.combo2->y());
    if (QAction *copy = toolbarAction("copy"))
        copy->setEnabled(!m_textHidden);
    if (QAction *pro = toolbarAction("pro"))
        pro->setEnabled(!m_textHidden);
    if (QAction *item = toolbarAction("texthide"))
        item->setText(m_textHidden ? toolbars::captionTextHidden : toolbars::captionTextShown);
}
