// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmmain.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "popup/frmpopup.h"

#include "app/mainparts.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace mainparts;

// The popup as a user meets it, in the running main window: opened by the global shortcut or the tray
// menu, typing, the keys, picking, and the paste that follows.
class TestFrmPopup final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opening_data();
    void opening();
    void keys_data();
    void keys();
    void pasteKeys_data();
    void pasteKeys();
    void aPasteOvertaken();
    void losingTheFocusCloses();
    void place_data();
    void place();
    void shortcutInTheTrayMenu_data();
    void shortcutInTheTrayMenu();

private:
    frmMain &start();
    frmPopup *popup() const { return qobject_cast<frmPopup *>(topLevel(QStringLiteral("frmPopup"))); }
    QLineEdit *filter() const { return popup()->findChild<QLineEdit *>(QStringLiteral("popupFilter")); }
    QString count() const { return popup()->findChild<QLabel *>(QStringLiteral("popupCount"))->text(); }
    QLabel *hint() const { return popup()->findChild<QLabel *>(QStringLiteral("pasteHint")); }
    QStringList rows(int role = Qt::DisplayRole) const;
    // Opens the popup with the shortcut and waits for it.
    bool openByShortcut();
    QByteArray historyBytes() const { return fileio::readWholeFile(datafolder::historyFile(m_dir->path())); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmMain> m_main;
};

void TestFrmPopup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
    fileio::writeFileAtomic(datafolder::historyFile(m_dir->path()),
                            "000001first\r\n000002two@1@2@3lines\r\n000003room 101\r\n000004third\r\n");
}

void TestFrmPopup::cleanup()
{
    m_main.reset();
    m_fakes.reset();
    m_dir.reset();
}

frmMain &TestFrmPopup::start()
{
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), false);
    m_main->Form_Load();
    return *m_main;
}

QStringList TestFrmPopup::rows(int role) const
{
    const QAbstractItemModel *model = popup()->findChild<QListView *>(QStringLiteral("popupList"))->model();
    QStringList out;
    for (int i = 0; i < model->rowCount(); ++i)
        out << model->index(i, 0).data(role).toString();
    return out;
}

bool TestFrmPopup::openByShortcut()
{
    emit m_fakes->shortcut.activated();
    return QTest::qWaitFor([this] { return popup() && popup()->isVisible(); });
}

void TestFrmPopup::opening_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the global shortcut") << "shortcut";
    QTest::newRow("the tray menu") << "tray";
    QTest::newRow("the command line") << "command";
}

void TestFrmPopup::opening()
{
    QFETCH(QString, how);
    frmMain &w = start();
    QCOMPARE(m_fakes->shortcut.bound, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_V));
    const QString longText = "long " + QString(150, 'w');
    m_fakes->clipboard.put({true, longText, false, {}});
    if (how == "shortcut")
        emit m_fakes->shortcut.activated();
    else if (how == "tray")
        trigger(w, "popup");
    else
        w.openPopup();
    QTRY_VERIFY(popup() && popup()->isVisible());
    QCOMPARE(m_fakes->paste.remembered, 1);
    QCOMPARE(popup()->windowTitle(), QStringLiteral("履歴"));
    QVERIFY(popup()->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(popup()->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(filter()->hasFocus());
    QCOMPARE(rows(), (QStringList{"000005  " + longText, "000004  third", "000003  room 101", "000002  two\u21B5lines",
                                  "000001  first"}));
    QVERIFY(rows(Qt::ToolTipRole)[3].contains("two\nlines"));
    QCOMPARE(count(), QStringLiteral("5 件"));
    auto *list = popup()->findChild<QListView *>(QStringLiteral("popupList"));

    // Opened again while open: the window to paste into stays the one noted first.
    w.openPopup();
    QTest::qWait(50);
    QCOMPARE(m_fakes->paste.remembered, 1);

    // A copy made while it is open comes at the top; the selected entry stays selected.
    m_fakes->clipboard.put({true, QStringLiteral("newest"), false, {}});
    QCOMPARE(rows().first(), QStringLiteral("000006  newest"));
    QCOMPARE(list->currentIndex().data().toString(), "000005  " + longText);
}

void TestFrmPopup::keys_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("picked"); // null: nothing picked
    QTest::addColumn<bool>("open");

    const int enter = Qt::Key_Return;
    QTest::newRow("Enter: the newest") << "" << QList<int>{enter} << "third" << false;
    QTest::newRow("Down") << "" << QList<int>{Qt::Key_Down, enter} << "room 101" << false;
    QTest::newRow("End") << "" << QList<int>{Qt::Key_End, enter} << "first" << false;
    QTest::newRow("End, Home") << "" << QList<int>{Qt::Key_End, Qt::Key_Home, enter} << "third" << false;
    QTest::newRow("PageDown, Up") << "" << QList<int>{Qt::Key_PageDown, Qt::Key_Up, enter} << "two\r\nlines" << false;
    QTest::newRow("3 picks at once: the whole text") << "" << QList<int>{Qt::Key_3} << "two\r\nlines" << false;
    QTest::newRow("9: no such row") << "" << QList<int>{Qt::Key_9} << QString() << true;
    QTest::newRow("filtered") << "LINE" << QList<int>{enter} << "two\r\nlines" << false;
    QTest::newRow("digits typed after a letter filter") << "room 1" << QList<int>{enter} << "room 101" << false;
    QTest::newRow("Alt+2 picks in a filtered list")
        << "r" << QList<int>{(Qt::ALT | Qt::Key_2).toCombined()} << "room 101" << false;
    QTest::newRow("Escape") << "" << QList<int>{Qt::Key_Escape} << QString() << false;
}

void TestFrmPopup::keys()
{
    QFETCH(QString, typed);
    QFETCH(QList<int>, keys);
    QFETCH(QString, picked);
    start();
    const QByteArray history = historyBytes();
    QVERIFY(openByShortcut());
    if (!typed.isEmpty()) {
        QTest::keyClicks(filter(), typed);
        QCOMPARE(filter()->text(), typed);
        QTRY_VERIFY(count().endsWith(QStringLiteral("件")));
    }
    for (int key : keys) {
        const QKeyCombination combination = QKeyCombination::fromCombined(key);
        QTest::keyClick(filter(), combination.key(), combination.keyboardModifiers());
    }
    QFETCH(bool, open);
    QCOMPARE(popup()->isVisible(), open);
    QCOMPARE(m_fakes->clipboard.content.text, picked);
    QCOMPARE(m_fakes->paste.pastes, picked.isNull() ? QList<PasteKeys>{} : QList<PasteKeys>{PasteKeys::CtrlV});
    // Closed by Escape: the window before gets the focus back.
    QCOMPARE(m_fakes->paste.focusReturned, picked.isNull() && !open ? 1 : 0);
    QCOMPARE(historyBytes(), history); // choosing an entry records nothing
}

void TestFrmPopup::pasteKeys_data()
{
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<bool>("sends");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("unreadable"); // the history file cannot be read once the entry is found
    QTest::addColumn<QList<PasteKeys>>("pastes");
    QTest::addColumn<QString>("selection"); // what the PRIMARY selection is made
    QTest::addColumn<bool>("told");

    const QList<PasteKeys> none;
    QTest::newRow("an editor: Ctrl+V") << "gedit" << true << "" << false << QList<PasteKeys>{PasteKeys::CtrlV}
                                       << QString() << false;
    QTest::newRow("a terminal: Shift+Insert, the selection too")
        << "XTerm" << true << "" << false << QList<PasteKeys>{PasteKeys::ShiftInsert} << "third" << false;
    QTest::newRow("no keys can be sent: told to paste") << "gedit" << false << "" << false << none << QString() << true;
    QTest::newRow("the entry cannot be put back: no keys")
        << "XTerm" << true << "third" << true << none << QString() << false;
}

void TestFrmPopup::pasteKeys()
{
    QFETCH(bool, told);
    QFETCH(QString, windowClass);
    m_fakes->paste.windowClass = windowClass;
    QFETCH(bool, sends);
    m_fakes->paste.sends = sends;
    start();
    QVERIFY(openByShortcut());
    // Told in the open popup: a window shown after it closed would take the keyboard on Wayland.
    QCOMPARE(hint()->isVisible(), told);
    if (told)
        QCOMPARE(hint()->text(), QStringLiteral("Ctrl+V で貼り付けてください"));
    QTRY_VERIFY_WITH_TIMEOUT(!hint()->isVisible(), 5000); // briefly
    QFETCH(QString, typed);
    if (!typed.isEmpty()) {
        QTest::keyClicks(filter(), typed);
        QTRY_COMPARE(count(), QStringLiteral("1 件"));
    }
    QFETCH(bool, unreadable);
    if (unreadable) {
        const QString path = datafolder::historyFile(m_dir->path());
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
    }
    const QString before = m_fakes->clipboard.content.text;
    QTest::keyClick(filter(), Qt::Key_Return);
    QFETCH(QList<PasteKeys>, pastes);
    QCOMPARE(m_fakes->paste.pastes, pastes);
    QFETCH(QString, selection);
    QCOMPARE(m_fakes->clipboard.selection, selection);
    QCOMPARE(m_fakes->messages.shown.size(), unreadable ? 1 : 0);
    if (unreadable)
        QCOMPARE(m_fakes->clipboard.content.text, before);
    // Told once.
    QVERIFY(openByShortcut());
    QVERIFY(!hint()->isVisible());
}

void TestFrmPopup::place_data()
{
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<bool>("atPointer");
    QTest::newRow("X11: at the pointer") << QByteArray() << true;
    // Also for an X11 window on a Wayland desktop, where XWayland sees the pointer only over X11 windows.
    QTest::newRow("Wayland desktop: the screen's centre") << QByteArray("wayland-1") << false;
}

void TestFrmPopup::place()
{
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(bool, atPointer);
    const QByteArray saved = qgetenv("WAYLAND_DISPLAY");
    qputenv("WAYLAND_DISPLAY", waylandDisplay);
    start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint pointer = screen.topLeft() + QPoint(40, 30);
    QCursor::setPos(pointer);
    QVERIFY(openByShortcut());
    qputenv("WAYLAND_DISPLAY", saved);
    if (atPointer)
        QCOMPARE(popup()->pos(), pointer);
    else
        QVERIFY(qAbs(popup()->geometry().center().x() - screen.center().x()) <= 1);
}

void TestFrmPopup::aPasteOvertaken()
{
    m_fakes->paste.later = true;
    start();
    QVERIFY(openByShortcut());
    QTest::keyClick(filter(), Qt::Key_Return);
    // Picked again before the first paste is done: that one is overtaken, which is no failure of this one.
    QVERIFY(openByShortcut());
    QTest::keyClick(filter(), Qt::Key_Down);
    QTest::keyClick(filter(), Qt::Key_Return);
    auto *lateHint = popup()->findChild<QLabel *>(QStringLiteral("lateHint"));
    QVERIFY(!lateHint->isVisible());
    m_fakes->paste.report(false);
    QVERIFY(lateHint->isVisible()); // its own failure is told
}

void TestFrmPopup::losingTheFocusCloses()
{
    frmMain &w = start();
    QVERIFY(openByShortcut());
    QTRY_VERIFY(popup()->isActiveWindow());
    w.show();
    w.activateWindow();
    QTRY_VERIFY(!popup()->isVisible());
    QVERIFY(m_fakes->paste.pastes.isEmpty());
    QCOMPARE(m_fakes->paste.focusReturned, 0); // the user chose another window
}

void TestFrmPopup::shortcutInTheTrayMenu_data()
{
    QTest::addColumn<bool>("bindable");
    QTest::addColumn<QString>("caption");
    QTest::newRow("bound") << true << "履歴を開く\tCtrl+Alt+V";
    QTest::newRow("not bound here") << false << "履歴を開く";
}

void TestFrmPopup::shortcutInTheTrayMenu()
{
    QFETCH(bool, bindable);
    m_fakes->shortcut.bindable = bindable;
    frmMain &w = start();
    QFETCH(QString, caption);
    QCOMPARE(menuAction(w, QStringLiteral("popup"))->text(), caption);
    // Keys the desktop tells later (a portal's answer, the user's own choice there).
    m_fakes->shortcut.bound = QKeySequence(QStringLiteral("Meta+H"));
    emit m_fakes->shortcut.keysChanged();
    QCOMPARE(menuAction(w, QStringLiteral("popup"))->text(), QStringLiteral("履歴を開く\tMeta+H"));
    // What the desktop says of the shortcut is told once the start is over.
    emit m_fakes->shortcut.problem(QStringLiteral("taken"));
    QTRY_COMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].text, QStringLiteral("taken"));
}

QTEST_MAIN(TestFrmPopup)
#include "tst_frmpopup.moc"
