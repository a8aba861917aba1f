// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolbarcommands.h"

#include "app/desktopintegration.h"
#include "app/historylist.h"
#include "app/secondarywindows.h"
#include "core/commanderror.h"
#include "core/fileio.h"
#include "display/titleline.h"
#include "history/historyfile.h"
#include "launcher/launchers.h"
#include "launcher/toolbars.h"
#include "launcher/websearch.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/filedialogs.h"
#include "platform/guard.h"
#include "platform/messages.h"
#include "settings/modini.h"
#include "templates/templatefile.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cerrno>

namespace {
const char *const textDeleteClipboard =
    QT_TRANSLATE_NOOP("ToolbarCommands", "クリップボードの情報を削除してもよろしいですか？");
const QString titleDeleteClipboard = QStringLiteral("ID:E001");
const char *const textDeleteHistory = QT_TRANSLATE_NOOP(
    "ToolbarCommands", "クリップボードの履歴を削除します。一度削除したものは戻りません。\r\nよろしいですか？");
const char *const titleDeleteHistory = QT_TRANSLATE_NOOP("ToolbarCommands", "履歴の削除");
const char *const textOverwriteHistory = QT_TRANSLATE_NOOP(
    "ToolbarCommands",
    "ファイルを開くと、現在までの履歴に上書きされます。開かれたファイルは、変更されません。\r\nよろしいですか？");
const char *const titleOverwriteHistory = QT_TRANSLATE_NOOP("ToolbarCommands", "上書き確認");
const char *const textNoTemplates = QT_TRANSLATE_NOOP("ToolbarCommands", "定型文が指定されていません。");
const char *const titleNoTemplates = QT_TRANSLATE_NOOP("ToolbarCommands", "新規作成");
const char *const textEmptyTemplates =
    QT_TRANSLATE_NOOP("ToolbarCommands", "このファイルには定型文が含まれていません。");
const char *const titleEmptyTemplates = QT_TRANSLATE_NOOP("ToolbarCommands", "空ファイル");
const char *const textTemplateModeLoaded = QT_TRANSLATE_NOOP("ToolbarCommands", "☆定型文モード☆");
const char *const filterHistorySave =
    QT_TRANSLATE_NOOP("ToolbarCommands", "履歴ファイル(*.ifo)|*.ifo|テキストファイル(*.txt)|*.txt");
const char *const filterHistoryOpen = QT_TRANSLATE_NOOP("ToolbarCommands", "VornkipFile(*.ifo)|*.ifo");
const char *const filterTemplates = QT_TRANSLATE_NOOP("ToolbarCommands", "定型文ファイル(*.txt)|*.txt");

[[noreturn]] void cancelled()
{
    throw commandError(ErrorNumber::Cancel);
}
} // namespace

using S = ToolbarCommands::Source;
const ToolbarCommands::Entry ToolbarCommands::commands[] = {
    {S::Toolbar1, "copy", &ToolbarCommands::copy},
    {S::Toolbar1, "del_clip", &ToolbarCommands::deleteClipboard},
    {S::Toolbar1, "text", &ToolbarCommands::textWindow},
    {S::Toolbar1, "bmp", &ToolbarCommands::pictureWindow},
    {S::Toolbar1, "shell", &ToolbarCommands::shell},
    {S::Toolbar1, "hides", &ToolbarCommands::hideWindow},
    {S::Toolbar1, "menu", &ToolbarCommands::extendedMode},
    // The web-search items come first, from their own table (launcher/websearch).
    {S::Toolbar1Menu, "hide", &ToolbarCommands::onTop},
    {S::Toolbar1Menu, "texthide", &ToolbarCommands::textHide},
    {S::Toolbar1Menu, "h8", &ToolbarCommands::convert},
    {S::Toolbar1Menu, "h10", &ToolbarCommands::convert},
    {S::Toolbar1Menu, "h16", &ToolbarCommands::convert},
    {S::Toolbar1Menu, "ucase", &ToolbarCommands::convert},
    {S::Toolbar1Menu, "lcase", &ToolbarCommands::convert},
    {S::Toolbar2, "con", &ToolbarCommands::launch},
    {S::Toolbar2, "disp", &ToolbarCommands::screenSaverCountdown},
    {S::Toolbar2, "cd", &ToolbarCommands::cd},
    {S::Toolbar2, "file", &ToolbarCommands::saveHistory},
    {S::Toolbar2, "open", &ToolbarCommands::openHistory},
    {S::Toolbar2, "pro", &ToolbarCommands::templateMode},
    {S::Toolbar2, "del_list", &ToolbarCommands::deleteHistory},
    {S::Toolbar2Menu, "open_reki", &ToolbarCommands::openHistory},
    {S::Toolbar2Menu, "open_New", &ToolbarCommands::templateEditor},
    {S::Toolbar2Menu, "open_pro", &ToolbarCommands::openTemplates},
    // The launcher items come last, from their own table (launcher/launchers).
};

ToolbarCommands::ToolbarCommands(const Platform &platform, Settings &settings, const Parts &parts)
    : QObject(parts.window), m_window(parts.window), m_platform(platform), m_combo1(parts.combo1),
      m_combo2(parts.combo2), m_settings(settings), m_desktop(parts.desktop), m_windows(parts.windows),
      m_title(parts.title), m_countdownStep(new QTimer(this))
{
    m_countdownStep->setObjectName(QStringLiteral("countdownStep"));
    m_countdownStep->setSingleShot(true);
    connect(m_countdownStep, &QTimer::timeout, this, &ToolbarCommands::countdownStep);
    connect(m_combo2, &QComboBox::activated, this, &ToolbarCommands::Combo2_Click);
}

HistoryFile &ToolbarCommands::history() const
{
    return m_combo1->history();
}

QWidget *ToolbarCommands::boxParent() const
{
    return m_window->isVisible() ? m_window : nullptr;
}

QToolBar *ToolbarCommands::makeToolbar(int which)
{
    auto *bar = new QToolBar(m_window);
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
    const Source buttons = which == 1 ? Source::Toolbar1 : Source::Toolbar2;
    const Source menus = which == 1 ? Source::Toolbar1Menu : Source::Toolbar2Menu;
    for (const toolbars::Button &b : which == 1 ? toolbars::toolbar1() : toolbars::toolbar2()) {
        QAction *action = bar->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(b.key)), b.tooltip);
        action->setObjectName(b.key);
        action->setToolTip(b.tooltip);
        action->setCheckable(b.style == toolbars::Style::Check);
        connect(action, &QAction::triggered, this,
                [this, buttons, key = b.key](bool checked) { run(buttons, key, checked); });
        auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
        if (b.style == toolbars::Style::DropDown) {
            auto *menu = new QMenu(m_window);
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
                connect(entry, &QAction::triggered, this, [this, menus, key = item.key] { run(menus, key); });
            }
            action->setMenu(menu);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        button->setFixedSize(b.style == toolbars::Style::DropDown ? 32 : 23, 22);
    }
    return bar;
}

void ToolbarCommands::run(Source source, const QString &key, bool down)
{
    const auto command = [&] {
        if (source == Source::Toolbar1Menu) {
            const QString address = websearch::address(key, m_combo1->text());
            if (!address.isEmpty()) {
                m_platform.desktop->shellOpen(address);
                return;
            }
        }
        for (const Entry &entry : commands) {
            if (entry.source == source && key.compare(QLatin1String(entry.key), Qt::CaseInsensitive) == 0) {
                (this->*entry.command)(key, down);
                return;
            }
        }
        if (source == Source::Toolbar2Menu && !launchers::candidates(key).isEmpty())
            launch(key);
    };
    MessageService &messages = *m_platform.messages;
    switch (source) {
    case Source::Toolbar1:
        guarded(messages, boxParent(), command);
        break;
    case Source::Toolbar1Menu:
        guarded(messages, boxParent(), command, {ErrorNumber::TypeMismatch, ErrorNumber::Overflow});
        break;
    case Source::Toolbar2:
    case Source::Toolbar2Menu:
        guarded(messages, boxParent(), command, {ErrorNumber::Cancel});
        break;
    }
}

void ToolbarCommands::copy(const QString &, bool)
{
    const QString text = m_combo1->text();
    if (text.isEmpty())
        return;
    m_combo1->restore(text);
}

void ToolbarCommands::deleteClipboard(const QString &, bool)
{
    if (m_platform.messages->show(m_window, tr(textDeleteClipboard), titleDeleteClipboard, MsgIcon::Exclamation,
                                  MsgButtons::YesNo) == MsgAnswer::Yes)
        m_platform.clipboard->clear();
}

void ToolbarCommands::textWindow(const QString &, bool)
{
    m_windows.showTextWindow();
}

void ToolbarCommands::pictureWindow(const QString &, bool)
{
    // The preview is not kept current while it is hidden.
    m_windows.showPictureWindow(m_desktop.extended());
}

void ToolbarCommands::shell(const QString &, bool)
{
    const QString text = m_combo1->text();
    if (!text.isEmpty())
        m_platform.desktop->shellOpen(text);
}

void ToolbarCommands::hideWindow(const QString &, bool)
{
    m_window->hide(); // only the tray icon brings it back (or a second start, where no tray exists)
}

void ToolbarCommands::extendedMode(const QString &, bool)
{
    m_desktop.extendedMode();
}

void ToolbarCommands::onTop(const QString &, bool)
{
    m_desktop.winPos();
}

void ToolbarCommands::textHide(const QString &, bool)
{
    m_desktop.textHide();
}

void ToolbarCommands::convert(const QString &key, bool)
{
    m_combo1->convertText(key.toLower());
}

void ToolbarCommands::launch(const QString &key, bool)
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

void ToolbarCommands::screenSaverCountdown(const QString &, bool)
{
    // Three captions a second apart, then the screen saver. The title line pauses meanwhile; a second
    // press while counting changes nothing.
    if (m_countdown >= 0)
        return;
    QTimer *title = m_title.timer();
    m_countdownResumesTitle = title->isActive();
    title->stop();
    m_countdown = 0;
    countdownStep();
}

void ToolbarCommands::countdownStep()
{
    static const char *const captions[] = {QT_TRANSLATE_NOOP("ToolbarCommands", "３・・。"),
                                           QT_TRANSLATE_NOOP("ToolbarCommands", "・２・。"),
                                           QT_TRANSLATE_NOOP("ToolbarCommands", "・・１。")};
    if (m_countdown < 3) {
        m_window->setWindowTitle(tr(captions[m_countdown++]));
        m_countdownStep->start(1000);
        return;
    }
    m_countdown = -1;
    m_window->setWindowTitle(QStringLiteral("Vornkip"));
    guarded(*m_platform.messages, boxParent(), [this] { m_platform.desktop->startScreenSaver(); });
    if (m_countdownResumesTitle)
        m_title.timer()->start();
}

void ToolbarCommands::stopCountdown()
{
    m_countdownStep->stop();
    m_countdown = -1;
}

void ToolbarCommands::cd(const QString &, bool down)
{
    cdMsg(down);
}

void ToolbarCommands::cdMsg(bool open)
{
    m_platform.desktop->cdDoor(open);
}

void ToolbarCommands::saveHistory(const QString &, bool)
{
    FileDialogSpec request;
    request.filter = tr(filterHistorySave);
    request.filterIndex = 1;
    request.defaultExtension = QStringLiteral(".ifo");
    request.overwritePrompt = true;
    const auto chosen = m_platform.dialogs->save(m_window, request);
    if (!chosen)
        cancelled();
    if (chosen->filterIndex == 2)
        history().exportText(chosen->path);
    else
        history().saveCopy(chosen->path);
}

void ToolbarCommands::openHistory(const QString &, bool)
{
    rekiFileOpen();
}

void ToolbarCommands::rekiFileOpen()
{
    if (m_platform.messages->show(m_window, tr(textOverwriteHistory), tr(titleOverwriteHistory), MsgIcon::Question,
                                  MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    FileDialogSpec request;
    request.filter = tr(filterHistoryOpen);
    request.defaultExtension = QStringLiteral(".ifo");
    const auto chosen = m_platform.dialogs->open(m_window, request);
    if (!chosen)
        cancelled();
    fileio::copyFile(chosen->path, history().path());
    emit historyReplaced();
}

void ToolbarCommands::deleteHistory(const QString &, bool)
{
    if (m_platform.messages->show(m_window, tr(textDeleteHistory), tr(titleDeleteHistory), MsgIcon::Question,
                                  MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    fileio::removeFile(history().path());
    emit historyReplaced();
}

void ToolbarCommands::templateMode(const QString &, bool down)
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
        m_platform.messages->show(m_window, tr(textNoTemplates), tr(titleNoTemplates), MsgIcon::None, MsgButtons::Ok);
        m_windows.showTemplateEditor();
    }
}

void ToolbarCommands::templateEditor(const QString &, bool)
{
    m_windows.showTemplateEditor();
}

void ToolbarCommands::openTemplates(const QString &, bool)
{
    FileDialogSpec request;
    request.filter = tr(filterTemplates);
    request.defaultExtension = QStringLiteral(".txt");
    const auto chosen = m_platform.dialogs->open(m_window, request);
    if (!chosen)
        cancelled();
    checkSettingsPath(chosen->path); // form.ini keeps it, and cannot hold a line break
    if (QFileInfo(chosen->path).size() == 0) {
        if (!QFileInfo::exists(chosen->path))
            throw fileError(ENOENT, chosen->path);
        m_platform.messages->show(m_window, tr(textEmptyTemplates), tr(titleEmptyTemplates), MsgIcon::Information,
                                  MsgButtons::Ok);
        return;
    }
    m_combo2->clear();
    m_settings.templatePath = chosen->path;
    fileOpen();
}

void ToolbarCommands::fileOpen()
{
    const QStringList phrases = templatefile::read(m_settings.templatePath);
    m_combo2->addItems(phrases);
    m_combo2->setCurrentIndex(-1);
    m_combo2->setEditText(tr(textTemplateModeLoaded));
}

void ToolbarCommands::Combo2_Click(int index)
{
    if (index < 0)
        return;
    m_combo1->restore(m_combo2->itemText(index));
}
