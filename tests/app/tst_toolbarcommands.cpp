// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmmain.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "mainparts.h"

#include <QComboBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace mainparts;

class TestToolbarCommands final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hiddenItemsAreAbsentFromTheMenus();
    void copyAndShellNeedAText();
    void webSearchOpensTheAddress();
    void deleteTheClipboard_data();
    void deleteTheClipboard();
    void launcherStartsTheFirstProgramFound();
    void launcherWithNothingInstalled();
    void screenSaverCountdown();
    void cdTrayFollowsTheButton();
    void saveHistory_data();
    void saveHistory();
    void saveHistoryThatCannotBeRead();
    void openHistory();
    void openHistoryAnsweredNoOrCancelled();
    void deleteHistory_data();
    void deleteHistory();
    void templateModeWithoutAFile();
    void templateModeWithAFile();
    void openTemplates();
    void templatePathWithALineBreakIsRefused();
    void openEmptyOrMissingTemplates();
    void keysIgnoreCaseAndUnknownKeysDoNothing();

private:
    frmMain &start();
    QString file(const QString &name) const { return m_dir->path() + QLatin1Char('/') + name; }
    QByteArray historyBytes() const { return fileio::readWholeFile(datafolder::historyFile(m_dir->path())); }
    void copy(const QString &t) { m_fakes->clipboard.put({true, t, false, {}}); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmMain> m_main;
};

void TestToolbarCommands::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestToolbarCommands::cleanup()
{
    m_main.reset();
}

frmMain &TestToolbarCommands::start()
{
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), false);
    m_main->Form_Load();
    return *m_main;
}

void TestToolbarCommands::hiddenItemsAreAbsentFromTheMenus()
{
    frmMain &w = start();
    QStringList shown;
    for (QToolBar *bar : {toolbar1(w), toolbar2(w)}) {
        for (QAction *a : bar->actions()) {
            if (a->menu()) {
                for (QAction *item : a->menu()->actions())
                    shown << item->objectName();
            }
        }
    }
    for (const char *hidden : {"goo1", "dial", "printer", "trash", "desktop"})
        QVERIFY2(!shown.contains(QLatin1StringView(hidden)), hidden);
    QVERIFY(shown.contains(QStringLiteral("mado")));
    QVERIFY(shown.contains(QStringLiteral("open_pro")));
}

void TestToolbarCommands::copyAndShellNeedAText()
{
    frmMain &w = start();
    copy(QStringLiteral("kept"));
    setComboText(w, QString());
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("copy"));
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("shell"));
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("kept"));
    QVERIFY(m_fakes->desktop.opened.isEmpty());
    setComboText(w, QStringLiteral("https://example.org/"));
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("shell"));
    QCOMPARE(m_fakes->desktop.opened, QStringList{QStringLiteral("https://example.org/")});
    setComboText(w, QStringLiteral("typed"));
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("copy"));
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("typed"));
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n")); // the copied text equals the list's text
}

void TestToolbarCommands::webSearchOpensTheAddress()
{
    frmMain &w = start();
    setComboText(w, QStringLiteral("a&b c"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("google1"));
    setComboText(w, QString());
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("yahoo1"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("vec"));
    QCOMPARE(m_fakes->desktop.opened,
             (QStringList{QStringLiteral("https://www.google.co.jp/search?q=a%26b%20c&act.search=submit"),
                          QStringLiteral("https://search.yahoo.co.jp/bin/search?p="),
                          QStringLiteral("https://www.vector.co.jp/")}));
}

void TestToolbarCommands::deleteTheClipboard_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("yes") << int(MsgAnswer::Yes) << true;
    QTest::newRow("no") << int(MsgAnswer::No) << false;
}

void TestToolbarCommands::deleteTheClipboard()
{
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    frmMain &w = start();
    copy(QStringLiteral("x"));
    m_fakes->messages.answers.enqueue(MsgAnswer(answer));
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("del_clip"));
    const auto &asked = m_fakes->messages.shown.last();
    QCOMPARE(asked.text, QStringLiteral("クリップボードの情報を削除してもよろしいですか？"));
    QCOMPARE(asked.title, QStringLiteral("ID:E001"));
    QCOMPARE(asked.icon, MsgIcon::Exclamation);
    QCOMPARE(m_fakes->clipboard.content.hasText, !cleared);
}

void TestToolbarCommands::launcherStartsTheFirstProgramFound()
{
    frmMain &w = start();
    m_fakes->desktop.installed =
        QStringList{QStringLiteral("kcalc"), QStringLiteral("xcalc"), QStringLiteral("gnome-control-center")};
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("calc"));
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("DISP"));
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("con"));
    QCOMPARE(m_fakes->desktop.started,
             (QStringList{QStringLiteral("kcalc"), QStringLiteral("gnome-control-center display"),
                          QStringLiteral("gnome-control-center")}));
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestToolbarCommands::launcherWithNothingInstalled()
{
    frmMain &w = start();
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("paint"));
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("53"));
    QVERIFY(m_fakes->messages.shown[0].text.contains(QStringLiteral("kolourpaint")));
    QVERIFY(m_fakes->desktop.started.isEmpty());
}

void TestToolbarCommands::screenSaverCountdown()
{
    frmMain &w = start();
    // Timer steps a second apart, not a blocked window: each caption shows while the event loop runs
    // on. The test fires each step at once.
    QTimer *step = part<QTimer>(w, "countdownStep");
    const auto nextStep = [step] {
        QVERIFY(step->isActive());
        QCOMPARE(step->interval(), 1000);
        step->start(0);
    };
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("disp"));
    QCOMPARE(w.windowTitle(), QStringLiteral("３・・。"));
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("disp")); // a second press while counting adds nothing
    QCOMPARE(m_fakes->desktop.screenSavers, 0);
    nextStep();
    QTRY_COMPARE(w.windowTitle(), QStringLiteral("・２・。"));
    nextStep();
    QTRY_COMPARE(w.windowTitle(), QStringLiteral("・・１。"));
    QCOMPARE(m_fakes->desktop.screenSavers, 0);
    nextStep();
    QTRY_COMPARE(m_fakes->desktop.screenSavers, 1);
    QCOMPARE(w.windowTitle(), QStringLiteral("Vornkip"));
    QVERIFY(!step->isActive());
}

void TestToolbarCommands::cdTrayFollowsTheButton()
{
    frmMain &w = start();
    QAction *cd = toolbar2(w)->findChild<QAction *>(QStringLiteral("cd"));
    QVERIFY(cd && cd->isCheckable() && !cd->isChecked());
    cd->trigger();
    cd->trigger();
    QCOMPARE(m_fakes->desktop.doors, (QList<bool>{true, false}));
}

void TestToolbarCommands::saveHistory_data()
{
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("history file: byte copy") << 1 << QByteArray("000001abc\r\n000002x@1@2@3y\r\n");
    QTest::newRow("text file: export") << 2 << QByteArray("000001abc\r\n000002x\r\ny\r\n\r\n");
}

void TestToolbarCommands::saveHistory()
{
    QFETCH(int, filterIndex);
    QFETCH(QByteArray, saved);
    frmMain &w = start();
    copy(QStringLiteral("abc"));
    copy(QStringLiteral("x\r\ny"));
    m_fakes->dialogs.answers.enqueue(std::nullopt); // cancelled: nothing, silently
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("file"));
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file(QStringLiteral("saved")), filterIndex});
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("file"));
    QVERIFY(m_fakes->messages.shown.isEmpty());
    const FileDialogSpec &request = m_fakes->dialogs.asked.last().request;
    QVERIFY(m_fakes->dialogs.asked.last().save);
    QCOMPARE(request.filter, QStringLiteral("履歴ファイル(*.ifo)|*.ifo|テキストファイル(*.txt)|*.txt"));
    QCOMPARE(request.defaultExtension, QStringLiteral(".ifo"));
    QVERIFY(request.overwritePrompt);
    QCOMPARE(fileio::readWholeFile(file(QStringLiteral("saved"))), saved);
}

void TestToolbarCommands::saveHistoryThatCannotBeRead()
{
    frmMain &w = start();
    fileio::removeFile(datafolder::historyFile(m_dir->path()));
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file(QStringLiteral("out.txt")), 2});
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("file"));
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("53"));
    QVERIFY(!fileio::exists(file(QStringLiteral("out.txt"))));
}

void TestToolbarCommands::openHistory()
{
    const QString saved = file(QStringLiteral("saved.ifo"));
    fileio::writeFileAtomic(saved, "000007seven\r\n000008eight\r\n");
    frmMain &w = start();
    copy(QStringLiteral("current"));
    m_fakes->dialogs.answers.enqueue(FileDialogResult{saved, 1});
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("open"));
    const auto &q = m_fakes->messages.shown.last();
    QCOMPARE(q.title, QStringLiteral("上書き確認"));
    QVERIFY(q.text.endsWith(QStringLiteral("変更されません。\r\nよろしいですか？")));
    QCOMPARE(m_fakes->dialogs.asked.last().request.filter, QStringLiteral("VornkipFile(*.ifo)|*.ifo"));
    QCOMPARE(combo1(w)->count(), 2);
    QCOMPARE(combo1(w)->itemData(0, Qt::EditRole).toString(), QStringLiteral("eight"));
    copy(QStringLiteral("next"));
    QCOMPARE(historyBytes(), QByteArray("000007seven\r\n000008eight\r\n000009next\r\n"));
    QCOMPARE(fileio::readWholeFile(saved), QByteArray("000007seven\r\n000008eight\r\n"));
}

void TestToolbarCommands::openHistoryAnsweredNoOrCancelled()
{
    frmMain &w = start();
    copy(QStringLiteral("current"));
    m_fakes->messages.answers.enqueue(MsgAnswer::No);
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("open_reki"));
    QVERIFY(m_fakes->dialogs.asked.isEmpty());
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("open_reki")); // Yes, then the dialog is cancelled
    QCOMPARE(m_fakes->dialogs.asked.size(), 1);
    QCOMPARE(m_fakes->messages.shown.size(), 2); // the two questions, no error box
    QCOMPARE(historyBytes(), QByteArray("000001current\r\n"));
    QCOMPARE(combo1(w)->count(), 1);
}

void TestToolbarCommands::deleteHistory_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("yes") << int(MsgAnswer::Yes) << true;
    QTest::newRow("no") << int(MsgAnswer::No) << false;
}

void TestToolbarCommands::deleteHistory()
{
    QFETCH(int, answer);
    QFETCH(bool, deleted);
    frmMain &w = start();
    copy(QStringLiteral("one"));
    copy(QStringLiteral("two"));
    m_fakes->messages.answers.enqueue(MsgAnswer(answer));
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("del_list"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("履歴の削除"));
    QCOMPARE(m_fakes->messages.shown.last().text,
             QStringLiteral("クリップボードの履歴を削除します。一度削除したものは戻りません。\r\nよろしいですか？"));
    QCOMPARE(combo1(w)->count(), deleted ? 0 : 2);
    QCOMPARE(historyBytes(), deleted ? QByteArray() : QByteArray("000001one\r\n000002two\r\n"));
    QCOMPARE(comboText(w), QStringLiteral("two")); // the clipboard's text is shown again
}

void TestToolbarCommands::templateModeWithoutAFile()
{
    frmMain &w = start();
    QAction *pro = toolbar2(w)->findChild<QAction *>(QStringLiteral("pro"));
    pro->trigger();
    QVERIFY(pro->isChecked());
    QCOMPARE(m_fakes->messages.shown.last().text, QStringLiteral("定型文が指定されていません。"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("新規作成"));
    QCOMPARE(m_fakes->messages.shown.last().icon, MsgIcon::None);
    QVERIFY(!combo2(w)->isHidden());
    QCOMPARE(combo2(w)->count(), 0);
    pro->trigger();
    QVERIFY(combo2(w)->isHidden());
}

void TestToolbarCommands::templateModeWithAFile()
{
    fileio::writeFileAtomic(datafolder::templateFile(m_dir->path()), "Hello\r\n\r\nよろしく\r\n");
    frmMain &w = start();
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("pro"), true);
    QVERIFY(m_fakes->messages.shown.isEmpty());
    QCOMPARE(combo2(w)->count(), 3);
    QCOMPARE(combo2(w)->currentText(), QStringLiteral("☆定型文モード☆"));
    combo2(w)->setCurrentIndex(2);
    commands(w)->Combo2_Click(2);
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("よろしく"));
    QCOMPARE(historyBytes(), QByteArray("000001よろしく\r\n")); // recorded like any copy
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("pro"), false);
    QCOMPARE(combo2(w)->count(), 0);
}

void TestToolbarCommands::openTemplates()
{
    const QString other = file(QStringLiteral("other.txt"));
    fileio::writeFileAtomic(other, "a\r\nb\r\n");
    frmMain &w = start();
    m_fakes->dialogs.answers.enqueue(FileDialogResult{other, 1});
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("open_pro"));
    QCOMPARE(m_fakes->dialogs.asked.last().request.filter, QStringLiteral("定型文ファイル(*.txt)|*.txt"));
    QCOMPARE(combo2(w)->count(), 2);
    QVERIFY(combo2(w)->isHidden()); // loaded while template mode is off: stays hidden
    QCOMPARE(savedSettings(w, m_dir->path()).templatePath, other);
}

// form.ini cannot keep a line break in a value: such a file is refused with error 75 when chosen.
void TestToolbarCommands::templatePathWithALineBreakIsRefused()
{
    const QString odd = file(QStringLiteral("odd\r\n[Main]\r\nPosX=5.txt"));
    fileio::writeFileAtomic(odd, "a\r\nb\r\n");
    frmMain &w = start();
    const QString before = datafolder::templateFile(m_dir->path());
    m_fakes->dialogs.answers.enqueue(FileDialogResult{odd, 1});
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("open_pro"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("75"));
    QVERIFY(m_fakes->messages.shown.last().text.contains(odd));
    QCOMPARE(combo2(w)->count(), 0);
    QCOMPARE(savedSettings(w, m_dir->path()).templatePath, before);
}

void TestToolbarCommands::openEmptyOrMissingTemplates()
{
    const QString empty = file(QStringLiteral("empty.txt"));
    fileio::writeFileAtomic(empty, "");
    frmMain &w = start();
    const QString before = datafolder::templateFile(m_dir->path());
    m_fakes->dialogs.answers.enqueue(FileDialogResult{empty, 1});
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("open_pro"));
    QCOMPARE(m_fakes->messages.shown.last().text, QStringLiteral("このファイルには定型文が含まれていません。"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("空ファイル"));
    QCOMPARE(m_fakes->messages.shown.last().icon, MsgIcon::Information);
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file(QStringLiteral("missing.txt")), 1});
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("open_pro"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("53"));
    QCOMPARE(savedSettings(w, m_dir->path()).templatePath, before);
}

void TestToolbarCommands::keysIgnoreCaseAndUnknownKeysDoNothing()
{
    frmMain &w = start();
    setComboText(w, QStringLiteral("x"));
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("SHELL"));
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("nothing"));
    commands(w)->Toolbar2_ButtonMenuClick(QStringLiteral("dial"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("goo1"));
    QCOMPARE(m_fakes->desktop.opened, QStringList{QStringLiteral("x")});
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

QTEST_MAIN(TestToolbarCommands)
#include "tst_toolbarcommands.moc"
