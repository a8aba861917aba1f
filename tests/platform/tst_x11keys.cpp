// SPDX-License-Identifier: GPL-3.0-or-later
// The X11 global shortcut and the X11 paste on a private Xvfb: the shortcut pressed through XTest
// (xdotool) whatever the lock keys and the layout; a shortcut another client holds is told once; and a
// paste types Ctrl+V (Shift+Insert for a terminal) into another program's window (pasteclient) under
// several layouts, once the shortcut's keys are up and the window has the focus back.
#include "e2e/x11harness.h"
#include "platform/x11paste.h"
#include "platform/x11shortcut.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace x11harness;

class TestX11Keys final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void shortcut_data();
    void shortcut();
    void shortcutTaken();
    void shortcutLostWithLayout();
    void paste_data();
    void paste();
    void targetGone();
    void activateOnAStalledServer();

private:
    QProcess *startClient(const QString &windowClass, qulonglong *window);

    std::vector<std::unique_ptr<QProcess>> m_processes;
};

void TestX11Keys::initTestCase()
{
    QVERIFY(haveTool(QStringLiteral("xdotool")));
    QVERIFY(haveTool(QStringLiteral("xclip")));
    QVERIFY(haveTool(QStringLiteral("setxkbmap")));
}

void TestX11Keys::cleanup()
{
    killAll(m_processes);
    xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+v")});
    run(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

void TestX11Keys::shortcut_data()
{
    QTest::addColumn<QStringList>("bindLayout"); // setxkbmap's arguments when the shortcut is bound
    QTest::addColumn<bool>("refused");           // no 'v' there: bound once the layout has one
    QTest::addColumn<QStringList>("layout");     // and after
    QTest::addColumn<QString>("lock");           // a lock key switched on before
    QTest::addColumn<QStringList>("others");     // pressed first, none of them the shortcut

    const QStringList us{QStringLiteral("us")};
    const QStringList others{QStringLiteral("ctrl+v"), QStringLiteral("alt+v"), QStringLiteral("ctrl+alt+shift+v"),
                             QStringLiteral("ctrl+alt+b")};
    const QStringList ru{QStringLiteral("ru")}, ruUs{QStringLiteral("ru,us")};
    QTest::newRow("plain") << us << false << us << QString() << others;
    QTest::newRow("NumLock on") << us << false << us << QStringLiteral("Num_Lock") << others;
    QTest::newRow("CapsLock on") << us << false << us << QStringLiteral("Caps_Lock") << others;
    // 'v' on another key: the grab follows the layout.
    QTest::newRow("Dvorak") << us << false
                            << QStringList{QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("dvorak")}
                            << QString() << others;
    QTest::newRow("German, NumLock on") << us << false << QStringList{QStringLiteral("de")}
                                        << QStringLiteral("Num_Lock") << others;
    // 'v' only in the second group.
    QTest::newRow("Russian first") << ruUs << false << ruUs << QString() << others;
    QTest::newRow("Russian alone, then us") << ru << true << us << QString() << others;
}

void TestX11Keys::shortcut()
{
    QFETCH(QStringList, bindLayout);
    QFETCH(bool, refused);
    QFETCH(QStringList, layout);
    QFETCH(QString, lock);
    QFETCH(QStringList, others);

    const QString text = QKeySequence(QStringLiteral("Ctrl+Alt+V")).toString(QKeySequence::NativeText);
    QCOMPARE(run(QStringLiteral("setxkbmap"), bindLayout).exitCode, 0);
    X11GlobalShortcut shortcut;
    QSignalSpy activated(&shortcut, &GlobalShortcut::activated);
    QSignalSpy problems(&shortcut, &GlobalShortcut::problem);
    QCOMPARE(shortcut.bind(QKeySequence(QStringLiteral("Ctrl+Alt+V"))), !refused);
    QCOMPARE(shortcut.boundText(), refused ? QString() : text);
    QCOMPARE(run(QStringLiteral("setxkbmap"), layout).exitCode, 0);
    QTest::qWait(300); // the shortcut reads the new map when the event loop runs, as it always does for a user
    QCOMPARE(shortcut.boundText(), text);
    if (!lock.isEmpty())
        xdotool({QStringLiteral("key"), lock});

    for (const QString &keys : others)
        xdotool({QStringLiteral("key"), keys});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+v")});
    QTRY_COMPARE(activated.size(), 1);
    // Held past the auto-repeat delay, the key repeats; the shortcut is pressed once.
    xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+v")});
    QTest::qWait(1000);
    xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+v")});
    QTRY_COMPARE(activated.size(), 2);
    QTest::qWait(50);
    QCOMPARE(activated.size(), 2);

    shortcut.unbind();
    QVERIFY(shortcut.boundText().isEmpty());
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+v")});
    if (!lock.isEmpty())
        xdotool({QStringLiteral("key"), lock});
    QVERIFY(shortcut.bind(QKeySequence(QStringLiteral("Ctrl+Alt+V"))));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+v")});
    QTRY_COMPARE(activated.size(), 3);
    QCOMPARE(problems.size(), refused ? 1 : 0);
}

// A layout without the key ungrabs it and says so, each time it stops working; the next layout with it
// grabs it again.
void TestX11Keys::shortcutLostWithLayout()
{
    const QKeySequence keys(QStringLiteral("Ctrl+Alt+V"));
    X11GlobalShortcut shortcut;
    QSignalSpy activated(&shortcut, &GlobalShortcut::activated);
    QSignalSpy problems(&shortcut, &GlobalShortcut::problem);
    QSignalSpy keysChanged(&shortcut, &GlobalShortcut::keysChanged); // the tray menu shows them
    QVERIFY(shortcut.bind(keys));
    for (int round = 1; round <= 2; ++round) {
        QCOMPARE(run(QStringLiteral("setxkbmap"), {QStringLiteral("ru")}).exitCode, 0);
        QTRY_VERIFY(shortcut.boundText().isEmpty());
        QCOMPARE(problems.size(), round);
        QCOMPARE(run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}).exitCode, 0);
        QTRY_COMPARE(shortcut.boundText(), keys.toString(QKeySequence::NativeText));
        QCOMPARE(keysChanged.size(), 2 * round);
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+v")});
        QTRY_COMPARE(activated.size(), round);
    }
}

void TestX11Keys::shortcutTaken()
{
    const QKeySequence keys(QStringLiteral("Ctrl+Alt+V"));
    auto holder = std::make_unique<X11GlobalShortcut>(); // another program, on a connection of its own
    QVERIFY(holder->bind(keys));

    X11GlobalShortcut shortcut;
    QSignalSpy problems(&shortcut, &GlobalShortcut::problem);
    QVERIFY(!shortcut.bind(keys));
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.at(0).at(0).toString().contains(keys.toString(QKeySequence::NativeText)));
    QVERIFY(shortcut.boundText().isEmpty());
    // Told once: the same keys bound again (the settings saved) are no news.
    QVERIFY(!shortcut.bind(keys));
    QCOMPARE(problems.size(), 1);

    holder.reset();
    QSignalSpy activated(&shortcut, &GlobalShortcut::activated);
    QVERIFY(shortcut.bind(keys));
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+v")});
    QTRY_COMPARE(activated.size(), 1);
}

// The client, once shown, with the focus.
QProcess *TestX11Keys::startClient(const QString &windowClass, qulonglong *window)
{
    std::unique_ptr<QProcess> p = startPasteClient(QStringLiteral(VORNKIP_PASTECLIENT), windowClass, window);
    if (!p)
        return nullptr;
    m_processes.push_back(std::move(p));
    return m_processes.back().get();
}

void TestX11Keys::paste_data()
{
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<int>("keys");  // PasteKeys
    QTest::addColumn<bool>("held"); // the shortcut's modifiers still down when the paste is asked for
    QTest::addColumn<QByteArray>("seen");

    const QStringList us{QStringLiteral("us")};
    const int ctrlV = int(PasteKeys::CtrlV);
    QTest::newRow("us") << us << QStringLiteral("Gedit") << ctrlV << false << QByteArray("key Ctrl+V");
    QTest::newRow("us, shortcut held") << us << QStringLiteral("Gedit") << ctrlV << true << QByteArray("key Ctrl+V");
    QTest::newRow("German") << QStringList{QStringLiteral("de")} << QStringLiteral("Gedit") << ctrlV << false
                            << QByteArray("key Ctrl+V");
    QTest::newRow("Dvorak") << QStringList{QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("dvorak")}
                            << QStringLiteral("Gedit") << ctrlV << false << QByteArray("key Ctrl+V");
    // No 'v' on any key: a spare key code types it.
    QTest::newRow("Russian") << QStringList{QStringLiteral("ru")} << QStringLiteral("Gedit") << ctrlV << false
                             << QByteArray("key Ctrl+V");
    QTest::newRow("terminal") << us << QStringLiteral("XTerm") << int(PasteKeys::ShiftInsert) << false
                              << QByteArray("key Shift+Ins");
}

void TestX11Keys::paste()
{
    QFETCH(QStringList, layout);
    QFETCH(QString, windowClass);
    QFETCH(int, keys);
    QFETCH(bool, held);
    QFETCH(QByteArray, seen);

    const QString text = QStringLiteral("first line\nsecond line, 日本語\n\n\tthe last one ~!@#");
    QCOMPARE(run(QStringLiteral("setxkbmap"), layout).exitCode, 0);
    QVERIFY(copyText(text.toUtf8()));
    qulonglong window = 0;
    QProcess *client = startClient(windowClass, &window);
    QVERIFY(client);

    X11PasteSender sender;
    QVERIFY(sender.canPaste());
    sender.rememberTarget();
    QCOMPARE(sender.targetClass(), windowClass);
    // The popup takes the focus and goes.
    QWidget popup;
    popup.resize(100, 100);
    popup.show();
    popup.activateWindow();
    QTRY_VERIFY(popup.isActiveWindow());
    popup.hide();

    QSignalSpy pasted(&sender, &PasteSender::pasted);
    if (held)
        xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt")});
    sender.paste(PasteKeys(keys));
    if (held) {
        QTest::qWait(300);
        QVERIFY(pasted.isEmpty());
        xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt")});
    }
    QTRY_COMPARE(pasted.size(), 1);
    QCOMPARE(pasted.at(0).at(0).toBool(), true);
    QByteArray keysSeen;
    // The client reads its input and the keys in its own order.
    QTRY_COMPARE(pasteClientText(client, &keysSeen), text);
    QVERIFY2(keysSeen.contains(seen + '\n'), keysSeen.constData());
}

void TestX11Keys::targetGone()
{
    qulonglong window = 0;
    QProcess *client = startClient(QStringLiteral("Gedit"), &window);
    QVERIFY(client);
    X11PasteSender sender;
    sender.rememberTarget();
    client->kill();
    client->waitForFinished();
    QSignalSpy pasted(&sender, &PasteSender::pasted);
    sender.paste(PasteKeys::CtrlV);
    QTRY_COMPARE(pasted.size(), 1);
    QCOMPARE(pasted.at(0).at(0).toBool(), false);
}

// A server that does not answer (another client has grabbed it) holds up the activation of our window
// a moment, never for good.
void TestX11Keys::activateOnAStalledServer()
{
    X11PasteSender sender;
    QWidget window;
    window.winId();
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(other));
    xcb_grab_server(other);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr)); // the grab is in effect
    sender.activate(window.windowHandle());
    xcb_ungrab_server(other);
    xcb_disconnect(other);
}

// The classes and the test's own windows use the private server, so it is started before the
// application.
int main(int argc, char *argv[])
{
    return onPrivateXvfb([&] {
        QApplication app(argc, argv);
        TestX11Keys test;
        return QTest::qExec(&test, argc, argv);
    });
}

#include "tst_x11keys.moc"
