// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmmain.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "core/twips.h"
#include "fakes/fakes.h"
#include "mainparts.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace mainparts;

class TestDisplay final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void titleModes_data();
    void titleModes();
    void versionModeStopsTheTimerAndAnotherRestartsIt();
    void unknownModeLeavesTheTitle();
    void rebuildFromAHistorySetsTheTimerBack();
    void topmostItemAndHideCaptionAgree();
    void extendAndCollapse();
    void textHidingCoversTemplateMode();
    void trayCallback();
    void statusPanels_data();
    void statusPanels();
    void calculatorKeys_data();
    void calculatorKeys();
    void divisionByZeroKeepsTheText();
    void conversionsRoundTrip();

private:
    frmMain &start();
    int px(int twips) const { return twips::toPixels(twips, m_main->logicalDpiY()); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmMain> m_main;
};

void TestDisplay::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestDisplay::cleanup()
{
    m_main.reset();
}

frmMain &TestDisplay::start()
{
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), false);
    m_main->Form_Load();
    return *m_main;
}

void TestDisplay::titleModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("title");
    QTest::newRow("date and time") << 2 << 500 << QStringLiteral("平13年5月27日(日) 18:16");
    QTest::newRow("date") << 3 << 2000 << QStringLiteral("平13年05月27日(日)");
    QTest::newRow("time") << 4 << 500 << QStringLiteral("午後 06:16:07");
    QTest::newRow("uptime") << 5 << 500 << QStringLiteral("起動経過時間　1:02:03");
    QTest::newRow("memory KB") << 6 << 2000 << QStringLiteral("物理メモリ：98,304/131,072KB");
    QTest::newRow("memory MB") << 7 << 2000 << QStringLiteral("物理メモリ：96/128MB");
}

void TestDisplay::titleModes()
{
    QFETCH(int, mode);
    QFETCH(int, interval);
    QFETCH(QString, title);
    frmMain &w = start();
    titleLine(w)->titleMode_Click(mode);
    QCOMPARE(w.windowTitle(), title);
    QVERIFY(titleTimer(w)->isActive());
    QCOMPARE(titleTimer(w)->interval(), interval);
    QCOMPARE(savedSettings(w, m_dir->path()).title, QString::number(mode));
}

void TestDisplay::versionModeStopsTheTimerAndAnotherRestartsIt()
{
    frmMain &w = start();
    QCOMPARE(w.windowTitle(), QStringLiteral("VornkipVer.0.10"));
    QVERIFY(!titleTimer(w)->isActive());
    titleLine(w)->titleMode_Click(2);
    QVERIFY(titleTimer(w)->isActive());
    // The shortcut of a title item selects it too.
    menuAction(w, QStringLiteral("title_Title"))->trigger();
    QVERIFY(!titleTimer(w)->isActive());
    QCOMPARE(menuAction(w, QStringLiteral("title_Date_sys"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F5));
}

void TestDisplay::unknownModeLeavesTheTitle()
{
    fileio::writeFileAtomic(datafolder::settingsFile(m_dir->path()), "[Data]\r\nTitle=9\r\n");
    frmMain &w = start();
    w.setWindowTitle(QStringLiteral("before"));
    titleLine(w)->titleText();
    QCOMPARE(w.windowTitle(), QStringLiteral("before"));
    QVERIFY(titleTimer(w)->isActive()); // the start's 100 ms interval goes on
    QCOMPARE(titleTimer(w)->interval(), 100);
}

void TestDisplay::rebuildFromAHistorySetsTheTimerBack()
{
    fileio::writeFileAtomic(datafolder::historyFile(m_dir->path()), "000001a\r\n");
    frmMain &w = start();
    QVERIFY(titleTimer(w)->isActive()); // the non-empty history set 100 ms after mode 1 stopped it
    QCOMPARE(titleTimer(w)->interval(), 100);
    titleLine(w)->titleMode_Click(3);
    w.comboInitialize();
    QCOMPARE(titleTimer(w)->interval(), 100);
}

void TestDisplay::topmostItemAndHideCaptionAgree()
{
    frmMain &w = start();
    QAction *topmost = menuAction(w, QStringLiteral("topmost"));
    QAction *hide = menuAction(w, QStringLiteral("hide"));
    QVERIFY(topmost->isChecked());
    QCOMPARE(hide->text(), QStringLiteral("最前面表示解除"));
    QVERIFY(mainparts::topmost(w));
    hide->trigger();
    QVERIFY(!topmost->isChecked());
    QCOMPARE(hide->text(), QStringLiteral("最前面表示セット"));
    QVERIFY(!mainparts::topmost(w));
    topmost->trigger();
    QVERIFY(topmost->isChecked());
    QCOMPARE(hide->text(), QStringLiteral("最前面表示解除"));
    QVERIFY(mainparts::topmost(w));
    // The menu item (F4) itself switches both ways: Qt ticks a checkable item before winPos runs.
    topmost->trigger();
    QVERIFY(!topmost->isChecked());
    QCOMPARE(hide->text(), QStringLiteral("最前面表示セット"));
    QVERIFY(!mainparts::topmost(w));
    topmost->trigger();
    QVERIFY(topmost->isChecked());
    QVERIFY(mainparts::topmost(w));
}

void TestDisplay::extendAndCollapse()
{
    frmMain &w = start();
    w.show();
    const int compact = w.height();
    QCOMPARE(compact, px(1065 - 345));
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::green);
    m_fakes->clipboard.put({false, {}, true, picture});
    preview(w)->showPreview(QImage()); // as if the preview had been emptied
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("menu"));
    QVERIFY(extended(w));
    // A shown window grows as a short animation on the event loop.
    QTRY_COMPARE(w.height(), px(2790 - 345));
    QTRY_VERIFY(!toolbar2(w)->isHidden());
    QVERIFY(!statusBar1(w)->isHidden());
    QCOMPARE(image1(w)->pixmap().size(), QSize(30, 20)); // the clipboard's picture
    commands(w)->Toolbar1_ButtonClick(QStringLiteral("menu"));
    QVERIFY(!extended(w));
    QCOMPARE(w.height(), compact);
    QVERIFY(toolbar2(w)->isHidden());
    QVERIFY(image1(w)->pixmap().isNull());
}

void TestDisplay::textHidingCoversTemplateMode()
{
    fileio::writeFileAtomic(datafolder::templateFile(m_dir->path()), "a\r\n");
    frmMain &w = start();
    commands(w)->Toolbar2_ButtonClick(QStringLiteral("pro"), true);
    QAction *textHide = menuAction(w, QStringLiteral("texthide"));
    textHide->trigger();
    QCOMPARE(textHide->text(), QStringLiteral("テキストを表示"));
    QCOMPARE(combo1(w)->x(), px(3500));
    QCOMPARE(combo2(w)->x(), px(3500));
    QVERIFY(!menuAction(w, QStringLiteral("copy"))->isEnabled());
    QVERIFY(!menuAction(w, QStringLiteral("pro"))->isEnabled());
    textHide->trigger();
    QCOMPARE(textHide->text(), QStringLiteral("テキストを隠す"));
    QCOMPARE(combo1(w)->x(), 0);
    QCOMPARE(combo2(w)->x(), 0);
    QVERIFY(menuAction(w, QStringLiteral("copy"))->isEnabled());
    QVERIFY(menuAction(w, QStringLiteral("pro"))->isEnabled());
}

void TestDisplay::trayCallback()
{
    frmMain &w = start();
    w.show();
    desktop(w)->trayCallback(DesktopIntegration::TrayClick::LeftButtonDown);
    QVERIFY(!w.isVisible());
    desktop(w)->trayCallback(DesktopIntegration::TrayClick::LeftButtonDown);
    QVERIFY(w.isVisible());
    desktop(w)->trayCallback(DesktopIntegration::TrayClick::RightButtonDown);
    QTRY_VERIFY(iconMenu(w)->isVisible());
    iconMenu(w)->close();
    QStringList items;
    for (QAction *a : iconMenu(w)->actions())
        items << a->objectName();
    QCOMPARE(items, (QStringList{"popup", "sync", "bar0", "clipWatch", "clipNoWatch", "bar1", "topmost", "title",
                                 "bar2", "clipClear", "quit"}));
}

void TestDisplay::statusPanels_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("text");
    QTest::newRow("date") << 1 << QStringLiteral("平成13年5月27日 日曜日");
    QTest::newRow("time") << 2 << QStringLiteral("2001/05/27 18:16:07");
    QTest::newRow("caps: nothing") << 3 << QStringLiteral("unchanged");
}

void TestDisplay::statusPanels()
{
    QFETCH(int, panel);
    QFETCH(QString, text);
    frmMain &w = start();
    setComboText(w, QStringLiteral("unchanged"));
    statusBar1(w)->StatusBar1_PanelClick(panel);
    QCOMPARE(comboText(w), QStringLiteral("unchanged")); // seen pressed first, the loop running on
    QTRY_COMPARE(comboText(w), text);
}

void TestDisplay::calculatorKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("launched");
    QTest::newRow("divide") << "10/4" << int(Qt::Key_Return) << "2.5"
                            << "";
    QTest::newRow("F11 computes too") << "7%3" << int(Qt::Key_F11) << "1"
                                      << "";
    QTest::newRow("first operator of the list wins") << "2*3+4" << int(Qt::Key_Enter) << "6"
                                                     << "";
    QTest::newRow("no operator") << "123" << int(Qt::Key_Return) << "123"
                                 << "";
    QTest::newRow("sign first: launched") << "-5+3" << int(Qt::Key_Return) << "-5+3"
                                          << "-5+3";
    QTest::newRow("program name") << "notepad" << int(Qt::Key_Return) << "notepad"
                                  << "notepad";
}

void TestDisplay::calculatorKeys()
{
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(QString, after);
    QFETCH(QString, launched);
    frmMain &w = start();
    combo1(w)->lineEdit()->setText(text);
    combo1(w)->lineEdit()->setCursorPosition(1);
    QTest::keyClick(combo1(w)->lineEdit(), Qt::Key(key));
    QCOMPARE(comboText(w), after);
    QCOMPARE(combo1(w)->count(), 0); // Enter never inserts an item
    QCOMPARE(combo1(w)->lineEdit()->cursorPosition(), after == text ? 1 : int(after.size()));
    QCOMPARE(m_fakes->desktop.opened, launched.isEmpty() ? QStringList{} : QStringList{launched});
}

void TestDisplay::divisionByZeroKeepsTheText()
{
    frmMain &w = start();
    combo1(w)->lineEdit()->setText(QStringLiteral("1/0"));
    QTest::keyClick(combo1(w)->lineEdit(), Qt::Key_Return);
    QCOMPARE(comboText(w), QStringLiteral("1/0"));
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("11"));
    QCOMPARE(m_fakes->messages.shown[0].text, QStringLiteral("0 で除算しました。"));
}

void TestDisplay::conversionsRoundTrip()
{
    frmMain &w = start();
    setComboText(w, QStringLiteral("255"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("h16"));
    QCOMPARE(comboText(w), QStringLiteral("&HFF"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("h8"));
    QCOMPARE(comboText(w), QStringLiteral("&O377"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("h10"));
    QCOMPARE(comboText(w), QStringLiteral("255"));
    setComboText(w, QStringLiteral("abc"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("h16"));
    setComboText(w, QStringLiteral("3000000000"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("h16"));
    QCOMPARE(comboText(w), QStringLiteral("3000000000"));
    QVERIFY(m_fakes->messages.shown.isEmpty()); // 13 and 6 are silent
    setComboText(w, QStringLiteral("Abc"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("ucase"));
    QCOMPARE(comboText(w), QStringLiteral("ABC"));
    commands(w)->Toolbar1_ButtonMenuClick(QStringLiteral("lcase"));
    QCOMPARE(comboText(w), QStringLiteral("abc"));
}

QTEST_MAIN(TestDisplay)
#include "tst_display.moc"
