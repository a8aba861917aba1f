// SPDX-License-Identifier: GPL-3.0-or-later
// The menus and toolbars of every window as the user sees them: captions in order, separators,
// shortcuts, check marks and enabled states; that each extras item of the text window runs its own
// conversion; the tray menu's shortcuts pressed on the main window; and that every edit field of every
// window and dialog pastes what was captured, never asking the clipboard's owner.

#include "app/frmmain.h"
#include "fakes/fakes.h"
#include "mainparts.h"
#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/pastelineedit.h"
#include "textwin/frmtext.h"
#include "textwin/pasteedit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using mainparts::topLevel;

namespace {
// A window the main window made; the secondary windows have no parent.

QAction *toolbarButton(QWidget *window, const QString &toolbar, const QString &key)
{
    if (auto *bar = window->findChild<QToolBar *>(toolbar)) {
        for (QAction *a : bar->actions()) {
            if (a->objectName() == key)
                return a;
        }
    }
    return nullptr;
}

// "Toolbar1/shell": a toolbar button's drop-down menu; otherwise a menu by its name, or by the name of
// the item that opens it.
QMenu *findMenu(QWidget *window, const QString &path)
{
    if (const qsizetype slash = path.indexOf(QLatin1Char('/')); slash >= 0) {
        QAction *button = toolbarButton(window, path.left(slash), path.mid(slash + 1));
        return button ? button->menu() : nullptr;
    }
    if (auto *menu = window->findChild<QMenu *>(path))
        return menu;
    for (QAction *a : window->findChildren<QAction *>(path)) {
        if (a->menu())
            return a->menu();
    }
    return nullptr;
}

// One line per entry the user can see: "key|caption|shortcut|state" (state: "x" ticked, "o" can be
// ticked, "off" disabled), "key|caption|>" for a submenu, "-" for a separator.
QString describe(const QAction *a)
{
    if (a->isSeparator())
        return QStringLiteral("-");
    if (a->menu()) {
        const QString key = a->objectName().isEmpty() ? a->menu()->objectName() : a->objectName();
        return key + QLatin1Char('|') + a->text() + QStringLiteral("|>");
    }
    QString state;
    if (a->isCheckable())
        state = a->isChecked() ? QStringLiteral("x") : QStringLiteral("o");
    if (!a->isEnabled())
        state += QStringLiteral("off");
    return QStringList{a->objectName(), a->text(), a->shortcut().toString(QKeySequence::PortableText), state}.join(
        QLatin1Char('|'));
}

QStringList describe(const QList<QAction *> &actions)
{
    QStringList out;
    for (const QAction *a : actions) {
        if (a->isVisible())
            out << describe(a);
    }
    return out;
}

// Why an edit field may ask the clipboard's owner, or nothing. Ours are of the paste-safe classes; the
// fields Qt makes in its dialogs must paste the captured text by the keys, and offer it in their
// context menu, while Qt's clipboard holds another text or none. A read-only one offers no paste.
QString unsafeField(QWidget *field, FakeClipboard &clipboard)
{
    if (qobject_cast<PasteLineEdit *>(field) || qobject_cast<PasteEdit *>(field))
        return {};
    const QString what = QStringLiteral("a %1 in %2")
                             .arg(QLatin1String(field->metaObject()->className()), field->parentWidget()->objectName());
    auto *edit = qobject_cast<QLineEdit *>(field);
    if (!edit)
        return what;
    if (edit->isReadOnly())
        return {};
    clipboard.content = {true, QStringLiteral("24"), false, {}, false}; // digits: the font size takes no other
    QGuiApplication::clipboard()->setText(QStringLiteral("toolkit's"));
    edit->clear();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    const bool keys = edit->text() == QStringLiteral("24");
    QGuiApplication::clipboard()->clear();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), edit->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(edit, &event);
    bool offered = false;
    if (std::unique_ptr<QMenu> menu{edit->findChild<QMenu *>()}) {
        for (const QAction *a : menu->actions())
            offered |= a->isEnabled() && a->text().startsWith(QCoreApplication::translate("QLineEdit", "&Paste"));
    }
    return keys && offered ? QString() : what;
}
} // namespace

class TestMenus final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menus_data();
    void menus();
    void menuBars_data();
    void menuBars();
    void toolbars_data();
    void toolbars();
    void extrasItemsRunTheirOwnConversion_data();
    void extrasItemsRunTheirOwnConversion();
    void trayShortcutsOnTheMainWindow_data();
    void trayShortcutsOnTheMainWindow();
    void everyEditFieldIsPasteSafe_data();
    void everyEditFieldIsPasteSafe();

private:
    frmMain &start();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmMain> m_main;
};

void TestMenus::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestMenus::cleanup()
{
    m_main.reset();
    QTRY_VERIFY(!topLevel(QStringLiteral("frmText")) && !topLevel(QStringLiteral("frmPicture")) &&
                !topLevel(QStringLiteral("frmPro")));
}

frmMain &TestMenus::start()
{
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), false);
    m_main->Form_Load();
    return *m_main;
}

void TestMenus::menus_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("items");

    // The tray menu; its title submenus.
    QTest::newRow("tray") << "frmMain"
                          << "iconMenu"
                          << QStringList{"popup|履歴を開く\tCtrl+Alt+V||",
                                         "sync|履歴の共有: オフ||off",
                                         "-",
                                         "clipWatch|クリップボードの監視|F2|x",
                                         "clipNoWatch|クリップボードを監視しない|F3|o",
                                         "-",
                                         "topmost|最前面表示|F4|x",
                                         "title|タイトル表示|>",
                                         "-",
                                         "clipClear|クリップボードを空にする|F6|",
                                         "quit|終了|Ctrl+Q|"};
    QTest::newRow("tray: title") << "frmMain"
                                 << "title"
                                 << QStringList{"title_Title|タイトルを表示|Ctrl+F1|", "title_Date|日付・時間を表示|>",
                                                "title_System|メモリ状況を表示|>"};
    QTest::newRow("tray: date and time") << "frmMain"
                                         << "title_Date"
                                         << QStringList{"title_Date_now|日付と時間|Ctrl+F2|",
                                                        "title_Date_date|日付のみ|Ctrl+F3|",
                                                        "title_Date_time|時間のみ|Ctrl+F4|",
                                                        "title_Date_sys|起動してからの時間|Ctrl+F5|"};
    QTest::newRow("tray: memory") << "frmMain"
                                  << "title_System"
                                  << QStringList{"title_System_kb|KByte|Ctrl+F6|", "title_System_mb|MByte|Ctrl+F7|"};

    // The toolbar buttons' drop-down menus. Hidden items (goo1; dial, printer, trash, desktop) are absent.
    QTest::newRow("Toolbar1 shell: web search") << "frmMain"
                                                << "Toolbar1/shell"
                                                << QStringList{"yahoo1|Yahoo!!で検索||",
                                                               "google1|Googleで検索||",
                                                               "infoseek1|infoseekで検索||",
                                                               "lycos1|Lycosで検索||",
                                                               "excite1|Exciteで検索||",
                                                               "kensaku1|kensaku.jpで検索||",
                                                               "fresheye1|フレッシュアイで検索||",
                                                               "-",
                                                               "yahoo|Yahoo!!||",
                                                               "google|Google||",
                                                               "infoseek|infoseek||",
                                                               "goo|goo||",
                                                               "lycos|Lycos||",
                                                               "excite|Excite||",
                                                               "kensaku|kensaku.jp||",
                                                               "fresheye|フレッシュアイ||",
                                                               "vec|Vector||",
                                                               "mado|窓の杜||"};
    QTest::newRow("Toolbar1 hides") << "frmMain"
                                    << "Toolbar1/hides" << QStringList{"hide|最前面表示解除||",
                                                                       "texthide|テキストを隠す||",
                                                                       "-",
                                                                       "h8|8進変換||",
                                                                       "h10|10進変換||",
                                                                       "h16|16進変換||",
                                                                       "-",
                                                                       "ucase|小文字→大文字||",
                                                                       "lcase|大文字→小文字||"};
    QTest::newRow("Toolbar2 con: launcher") << "frmMain"
                                            << "Toolbar2/con"
                                            << QStringList{"sys|システムプロパティ||",
                                                           "int|インターネットオプション||",
                                                           "app|アプリケーションの追加と削除||",
                                                           "disp|画面のプロパティ||",
                                                           "mouse|マウスのプロパティ||",
                                                           "sound|サウンドのプロパティ||",
                                                           "-",
                                                           "mycom|マイコン||",
                                                           "mynet|マイネット||",
                                                           "calc|電卓||",
                                                           "note|メモ帳||",
                                                           "paint|ペイント||"};
    QTest::newRow("Toolbar2 open") << "frmMain"
                                   << "Toolbar2/open"
                                   << QStringList{"open_reki|履歴ファイルを開く||", "-", "open_New|定型文の新規作成||",
                                                  "open_pro|定型文を開く||"};

    // The text window.
    QTest::newRow("text: file") << "frmText"
                                << "file"
                                << QStringList{"file_Open|ファイルを開く(&O)|Ctrl+O|",
                                               "file_Save|名前を付けて保存(&S)|Ctrl+S|", "-", "file_Quit|閉じる(&Q)||"};
    QTest::newRow("text: edit") << "frmText"
                                << "edit"
                                << QStringList{"edit_Copy|全文コピー(&C)|Ctrl+Ins|",
                                               "-",
                                               "edit_All|すべて選択(&A)||",
                                               "edit_Paste|貼り付け(&P)||",
                                               "eidt_Erea|コピー(&H)||",
                                               "edit_Cut|カット(&U)||",
                                               "-",
                                               "edit_Clear|表示テキストをクリア(&D)|Shift+Del|"};
    QTest::newRow("text: style") << "frmText"
                                 << "style"
                                 << QStringList{"style_Font|フォントサイズ|>", "style_Edit|フォントの設定(&F)||"};
    QTest::newRow("text: font sizes") << "frmText"
                                      << "style_Font"
                                      << QStringList{"style_Font_8|8pt(&8)||", "style_Font_9|9pt(&9)||",
                                                     "style_Font_10|10pt(&1)||", "style_Font_12|12pt(&2)||",
                                                     "style_Font_14|14pt(&4)||"};
    QTest::newRow("text: extras") << "frmText"
                                  << "omake"
                                  << QStringList{"omake_Count_1|表示文字数||",
                                                 "omake_Count_2|指定範囲の文字数||",
                                                 "-",
                                                 "omake_Count_3|カーソル～文字数指定||",
                                                 "-",
                                                 "omake_pro|単語の頭文字を大文字||",
                                                 "omake_ucase|小文字→大文字||",
                                                 "omake_lcase|大文字→小文字||",
                                                 "-",
                                                 "omake_hkzk|半角カナ→全角カナ||",
                                                 "omake_wide|半角文字→全角文字||",
                                                 "omake_narrow|全角文字→半角文字||",
                                                 "omake_hira|カタカナ→ひらがな||",
                                                 "omake_kana|ひらがな→カタカナ||",
                                                 "-",
                                                 "omake_hpro|指定範囲の単語の頭文字を大文字||",
                                                 "omake_kucase|指定範囲の小文字→大文字||",
                                                 "omake_klcase|指定範囲の大文字→小文字||",
                                                 "-",
                                                 "omake_hhkzk|指定範囲の半角カナ→全角カナ||",
                                                 "omake_hwide|指定範囲の半角文字→全角文字||",
                                                 "omake_hnarrow|指定範囲の全角文字→半角文字||",
                                                 "omake_hhira|指定範囲のカタカナ→ひらがな||",
                                                 "omake_hkana|指定範囲のひらがな→カタカナ||"};

    // The picture window as `bmp` shows it with a picture: every item enabled.
    QTest::newRow("picture: file") << "frmPicture"
                                   << "file"
                                   << QStringList{"file_Save|名前を付けて保存(&S)||", "file_Open|ファイルを開く(&O)||",
                                                  "-", "file_Quit|閉じる(&Q)||"};
    QTest::newRow("picture: edit") << "frmPicture"
                                   << "edit" << QStringList{"edit_New|新規貼り付け(&P)|Shift+Ins|",
                                                            "edit_Cut|指定範囲をクリッピング|Ctrl+Ins|",
                                                            "edit_Copy|指定範囲をコピー||",
                                                            "-",
                                                            "edit_Del|クリップボードを削除||",
                                                            "edit_Clear|画像のクリア||"};

    // The template editor: one menu, no shortcuts.
    QTest::newRow("template editor: file") << "frmPro"
                                           << "file" << QStringList{"file_Add|新規作成(&A)||",
                                                                    "file_Open|ファイルを開く(&O)||",
                                                                    "-",
                                                                    "file_Save|名前を指定して保存(&S)||",
                                                                    "-",
                                                                    "file_Quit|閉じる(&Q)||"};
}

void TestMenus::menus()
{
    QFETCH(QString, window);
    QFETCH(QString, menu);
    QFETCH(QStringList, items);
    frmMain &w = start();
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    m_fakes->clipboard.put({false, {}, true, picture});
    toolbarButton(&w, QStringLiteral("Toolbar1"), QStringLiteral("bmp"))->trigger();
    QWidget *owner = window == QStringLiteral("frmMain") ? &w : topLevel(window);
    QVERIFY(owner);
    QMenu *found = findMenu(owner, menu);
    QVERIFY(found);
    QCOMPARE(describe(found->actions()), items);
}

void TestMenus::menuBars_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("menus");
    QTest::newRow("text window") << "frmText"
                                 << QStringList{"file|ファイル(&F)|>", "edit|編集(&E)|>", "style|スタイル(&S)|>",
                                                "omake|おまけ(&O)|>"};
    QTest::newRow("picture window") << "frmPicture" << QStringList{"file|ファイル(&F)|>", "edit|編集(&E)|>"};
    QTest::newRow("template editor") << "frmPro" << QStringList{"file|ファイル(&F)|>"};
}

void TestMenus::menuBars()
{
    QFETCH(QString, window);
    QFETCH(QStringList, menus);
    start();
    QWidget *owner = topLevel(window);
    QVERIFY(owner);
    auto *bar = owner->findChild<QMenuBar *>();
    QVERIFY(bar);
    QCOMPARE(describe(bar->actions()), menus);
    // The main window has no menu bar: its one menu is the tray's.
    QVERIFY(!m_main->findChild<QMenuBar *>());
}

void TestMenus::toolbars_data()
{
    QTest::addColumn<QString>("toolbar");
    QTest::addColumn<bool>("shown"); // at start: compact mode shows only Toolbar1
    QTest::addColumn<QStringList>("buttons");
    // "key|tooltip|style", a check button's state "up" or "down" at start.
    QTest::newRow("Toolbar1") << "Toolbar1" << true
                              << QStringList{"copy|ボックスの文字をコピー|plain",
                                             "del_clip|クリップボードをクリア|plain",
                                             "text|テキスト詳細|plain",
                                             "bmp|ピクチャ詳細|plain",
                                             "shell|関連付けファイルを起動|drop-down",
                                             "hides|隠れる|drop-down",
                                             "menu|拡張メニュー|plain"};
    QTest::newRow("Toolbar2") << "Toolbar2" << false
                              << QStringList{"con|コンパネ|drop-down",         "disp|設定してれば、画面セーバー|plain",
                                             "cd|オープン・クローズ|check up", "file|履歴を保存|plain",
                                             "open|ファイルを開く|drop-down",  "pro|定型文モード|check up",
                                             "del_list|履歴を削除|plain"};
}

void TestMenus::toolbars()
{
    QFETCH(QString, toolbar);
    QFETCH(bool, shown);
    QFETCH(QStringList, buttons);
    frmMain &w = start();
    auto *bar = w.findChild<QToolBar *>(toolbar);
    QVERIFY(bar);
    QCOMPARE(bar->isVisibleTo(&w), shown);
    QStringList seen;
    for (QAction *a : bar->actions()) {
        if (!a->isVisible() || a->isSeparator())
            continue;
        auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a));
        QVERIFY(button);
        // No button shows a caption: an icon, and the tooltip on hover.
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(!a->icon().isNull());
        QVERIFY(a->isEnabled());
        QString style = QStringLiteral("plain");
        if (a->menu()) {
            QCOMPARE(button->popupMode(), QToolButton::MenuButtonPopup); // the button part runs the command
            style = QStringLiteral("drop-down");
        } else if (a->isCheckable()) {
            style = a->isChecked() ? QStringLiteral("check down") : QStringLiteral("check up");
        }
        seen << QStringList{a->objectName(), a->toolTip(), style}.join(QLatin1Char('|'));
    }
    QCOMPARE(seen, buttons);
}

void TestMenus::extrasItemsRunTheirOwnConversion_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("selectionOnly");
    QTest::addColumn<QString>("converted");
    // One sample tells every conversion apart: mixed-case Latin, a space, half-width katakana with a voiced
    // mark, full-width katakana with a voiced letter, hiragana, full-width Latin capitals. The text holds
    // the sample on three lines; the selection variants are run with the middle line selected.
    const char *const table[][3] = {
        {"omake_pro", "omake_hpro", "Ab Cd ｶﾞｱ ガイ ひら Ａｂ"},
        {"omake_ucase", "omake_kucase", "AB CD ｶﾞｱ ガイ ひら ＡＢ"},
        {"omake_lcase", "omake_klcase", "ab cd ｶﾞｱ ガイ ひら ａｂ"},
        {"omake_hkzk", "omake_hhkzk", "aB cD ガア ガイ ひら ＡＢ"},
        {"omake_wide", "omake_hwide", "ａＢ　ｃＤ　ガア　ガイ　ひら　ＡＢ"},
        {"omake_narrow", "omake_hnarrow", "aB cD ｶﾞｱ ｶﾞｲ ひら AB"},
        {"omake_hira", "omake_hhira", "aB cD ｶﾞｱ がい ひら ＡＢ"},
        {"omake_kana", "omake_hkana", "aB cD ｶﾞｱ ガイ ヒラ ＡＢ"},
    };
    for (const auto &row : table) {
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << false << QString::fromUtf8(row[2]);
        QTest::newRow(row[1]) << QString::fromLatin1(row[1]) << true << QString::fromUtf8(row[2]);
    }
}

void TestMenus::extrasItemsRunTheirOwnConversion()
{
    QFETCH(QString, item);
    QFETCH(bool, selectionOnly);
    QFETCH(QString, converted);
    const QString sample = QStringLiteral("aB cD ｶﾞｱ ガイ ひら ＡＢ");
    const QString crlf = QStringLiteral("\r\n");
    frmText w(m_fakes->platform(), CodePage::Utf8);
    w.setText(sample + crlf + sample + crlf + sample);
    // The middle line: a line break is one position in the editor.
    const int start = static_cast<int>(sample.size()) + 1;
    const int length = static_cast<int>(sample.size());
    w.setSelection(start, length);
    QAction *action = w.findChild<QAction *>(item);
    QVERIFY(action);
    action->trigger();
    if (selectionOnly) {
        QCOMPARE(w.text(), sample + crlf + converted + crlf + sample);
        // The old numbers are put back, whatever the conversion did to the length.
        QCOMPARE(w.selStart(), start);
        QCOMPARE(w.selLength(), length);
    } else {
        QCOMPARE(w.text(), converted + crlf + converted + crlf + converted);
    }
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestMenus::trayShortcutsOnTheMainWindow_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("before"); // a tray item chosen first
    QTest::addColumn<bool>("watchTicked");
    QTest::addColumn<bool>("onTop");
    QTest::addColumn<QString>("question"); // the box asked, if any (answered Yes)
    QTest::addColumn<bool>("emptied");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("recorded"); // a copy afterwards makes an entry
    const QString none;
    QTest::newRow("F2 watches again") << int(Qt::Key_F2) << 0 << "clipNoWatch" << true << true << none << false << true
                                      << true;
    QTest::newRow("F3 stops watching") << int(Qt::Key_F3) << 0 << "" << false << true << none << false << true << false;
    QTest::newRow("F4 releases always on top")
        << int(Qt::Key_F4) << 0 << "" << true << false << none << false << true << true;
    QTest::newRow("F4 sets it again") << int(Qt::Key_F4) << 0 << "topmost" << true << true << none << false << true
                                      << true;
    QTest::newRow("F6 empties the clipboard")
        << int(Qt::Key_F6) << 0 << "" << true << true << "クリップボードの中身をクリアしてよろしいですか？" << true
        << true << true;
    QTest::newRow("Ctrl+Q quits") << int(Qt::Key_Q) << int(Qt::ControlModifier) << "" << true << true
                                  << "次回に履歴を残しておきますか？" << false << false << false;
}

void TestMenus::trayShortcutsOnTheMainWindow()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, before);
    QFETCH(bool, watchTicked);
    QFETCH(bool, onTop);
    QFETCH(QString, question);
    QFETCH(bool, emptied);
    QFETCH(bool, shown);
    QFETCH(bool, recorded);
    m_fakes->clipboard.content = {true, QStringLiteral("on the clipboard"), false, {}};
    frmMain &w = start();
    if (!before.isEmpty())
        w.findChild<QAction *>(before)->trigger();
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *combo = w.findChild<QComboBox *>(QStringLiteral("Combo1"));
    QVERIFY(combo);
    combo->lineEdit()->setFocus();
    const auto asked = m_fakes->messages.shown.size();

    QTest::keyClick(combo->lineEdit(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(w.findChild<QAction *>(QStringLiteral("clipWatch"))->isChecked(), watchTicked);
    QCOMPARE(w.findChild<QAction *>(QStringLiteral("clipNoWatch"))->isChecked(), !watchTicked);
    QCOMPARE(w.findChild<QAction *>(QStringLiteral("topmost"))->isChecked(), onTop);
    QCOMPARE(bool(w.windowFlags() & Qt::WindowStaysOnTopHint), onTop);
    QCOMPARE(w.findChild<QAction *>(QStringLiteral("hide"))->text(),
             onTop ? QStringLiteral("最前面表示解除") : QStringLiteral("最前面表示セット"));
    if (question.isEmpty()) {
        QCOMPARE(m_fakes->messages.shown.size(), asked);
    } else {
        QCOMPARE(m_fakes->messages.shown.size(), asked + 1);
        QCOMPARE(m_fakes->messages.shown.last().text, question);
    }
    QCOMPARE(m_fakes->clipboard.content.hasText, !emptied);
    QCOMPARE(w.isVisible(), shown);
    m_fakes->clipboard.put({true, QStringLiteral("copied"), false, {}});
    QCOMPARE(combo->count(), recorded ? 1 : 0);
}

void TestMenus::everyEditFieldIsPasteSafe_data()
{
    // Qt's own fields paste, and build their context menu, by asking the clipboard's owner, which
    // freezes every window while an owner does not answer. The fields are found by walking each
    // window, so a field added later is held to it too.
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("fields");
    QTest::newRow("main window") << "frmMain" << 2; // Combo1's and Combo2's
    QTest::newRow("text window") << "frmText" << 1;
    QTest::newRow("picture window") << "frmPicture" << 0;
    QTest::newRow("template editor") << "frmPro" << 10;
    QTest::newRow("search window") << "frmSearch" << 1;
    // Every top-level widget there is, so a window added later is walked too.
    QTest::newRow("all of them") << "*" << 14;
    // The boxes and dialogs Qt makes, as the windows open them.
    QTest::newRow("input box") << "QInputDialog" << 1;
    QTest::newRow("file dialog") << "QFileDialog" << 1; // the file's name
    QTest::newRow("font dialog") << "QFontDialog" << 4; // family, style, size, sample
}

void TestMenus::everyEditFieldIsPasteSafe()
{
    QFETCH(QString, window);
    QFETCH(int, fields);
    int found = 0;
    QStringList unsafe;
    const auto walk = [&](const QWidgetList &owners) {
        QWidgetList children;
        for (QWidget *owner : owners)
            children += owner->findChildren<QWidget *>();
        for (QWidget *child : children) {
            if (!qobject_cast<QLineEdit *>(child) && !qobject_cast<QTextEdit *>(child) &&
                !qobject_cast<QPlainTextEdit *>(child))
                continue;
            ++found;
            if (const QString why = unsafeField(child, m_fakes->clipboard); !why.isEmpty())
                unsafe << why;
        }
    };
    if (window.startsWith(QLatin1Char('Q'))) {
        // Walked from inside the dialog's own loop, then cancelled.
        QtMessageService messages;
        messages.setClipboard(m_fakes->clipboard);
        QtFileDialogs dialogs(m_fakes->clipboard);
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible() || QLatin1String(dialog->metaObject()->className()) != window)
                return;
            poll.stop();
            walk({dialog});
            dialog->reject();
        });
        poll.start(10);
        if (window == QStringLiteral("QInputDialog"))
            QCOMPARE(messages.input(nullptr, QStringLiteral("p"), QStringLiteral("t"), QString()), std::nullopt);
        else if (window == QStringLiteral("QFileDialog"))
            QCOMPARE(dialogs.open(nullptr, FileDialogSpec{}), std::nullopt);
        else
            QCOMPARE(dialogs.font(nullptr, QFont()), std::nullopt);
    } else {
        frmMain &w = start();
        w.findChild<QAction *>(QStringLiteral("search"))->trigger(); // made when first asked for
        QWidgetList owners = QApplication::topLevelWidgets();
        if (window != QStringLiteral("*"))
            owners = {window == QStringLiteral("frmMain") ? &w : topLevel(window)};
        QVERIFY(owners.first());
        walk(owners);
    }
    QCOMPARE(unsafe, QStringList());
    QCOMPARE(found, fields);
}

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
