// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: the real vornkip binary on a private Xvfb, driven from outside as a user drives it.
// Another program (xclip) changes the clipboard, xdotool finds windows, clicks and presses keys, and
// the checks read the clipboard, the files in the instance's data folder ($VORNKIP_HOME) and the text
// pasted into another program's field (pasteclient).
#include "e2efixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QTest>

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
using namespace x11harness;

// The history list's edit field, below the toolbar.
constexpr QPoint kListEdit(60, 38);

// The push buttons of a message box, left to right, found in a screenshot of it: a button's top and
// bottom edges are the only long horizontal runs of dark pixels in the lower half of the box.
QList<QRect> messageBoxButtons(qulonglong box)
{
    const QRect g = windowGeometry(box);
    const Result shot =
        run(QStringLiteral("import"), {QStringLiteral("-window"), QString::number(box), QStringLiteral("-depth"),
                                       QStringLiteral("8"), QStringLiteral("rgb:-")});
    const int w = g.width();
    const int h = g.height();
    if (w <= 0 || shot.out.size() != static_cast<qsizetype>(w) * h * 3)
        return {};
    const auto *px = reinterpret_cast<const uchar *>(shot.out.constData());
    auto lum = [&](int x, int y) {
        const uchar *p = px + (static_cast<qsizetype>(y) * w + x) * 3;
        return (p[0] * 30 + p[1] * 59 + p[2] * 11) / 100;
    };
    const int background = lum(0, h - 1);
    QList<QRect> buttons;
    for (int y = h / 2; y < h; ++y) {
        for (int x = 0; x < w;) {
            int end = x;
            while (end < w && background - lum(end, y) > 40)
                ++end;
            if (end - x >= 30) {
                const QRect edge(x, y, end - x, 1);
                auto same = std::find_if(buttons.begin(), buttons.end(),
                                         [&](const QRect &b) { return qAbs(b.center().x() - edge.center().x()) <= 6; });
                if (same == buttons.end())
                    buttons << edge;
                else
                    *same = same->united(edge);
            }
            x = end + 1;
        }
    }
    buttons.removeIf([](const QRect &b) { return b.height() < 12; });
    std::sort(buttons.begin(), buttons.end(), [](const QRect &a, const QRect &b) { return a.x() < b.x(); });
    return buttons;
}

// What a run of the program may change in its data folder: which files are there and, for its own
// files, their bytes and modification times.
QStringList folderState(const QString &dir)
{
    QStringList state = QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const char *name : {"form.ini", "temp.ifo", "templ.txt"}) {
        const QFileInfo info(dir + QLatin1Char('/') + QLatin1String(name));
        if (info.exists())
            state << QLatin1String(name) + QLatin1Char(' ') +
                         info.fileTime(QFileDevice::FileModificationTime).toString(Qt::ISODateWithMs) +
                         QLatin1Char(' ') +
                         QString::fromLatin1(
                             QCryptographicHash::hash(fileBytes(info.filePath()), QCryptographicHash::Md5).toHex());
    }
    return state;
}
} // namespace

class TestEndToEnd final : public QObject, private ProgramFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void recordsCopiesAndKeepsThemAcrossARestart();
    void secondStartIsRefused();
    void popupOpensInTheRunningCopy();
    void answeringNoAtExitForgetsTheHistory();
    void searchFindsAnOldEntryAndRestoresIt();
    void shortcutPastesIntoTheWindowBefore_data();
    void shortcutPastesIntoTheWindowBefore();

private:
    // Starts a window manager for the test function and waits until it manages the screen.
    bool startWindowManager(const QString &program);

    QString m_lockKey; // a lock key the test function switched on
};

void TestEndToEnd::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_BIN)).isExecutable(), VORNKIP_BIN " is not built");
    if (const QString tool = missingTool({"Xvfb", "xclip", "xdotool", "import", "display", "setxkbmap"});
        !tool.isEmpty())
        QSKIP(qPrintable(tool + QStringLiteral(" is not installed; the end-to-end tests need Xvfb, xclip, xdotool, "
                                               "ImageMagick and setxkbmap")));
    setUpEnvironment();
    QVERIFY2(startDisplay(), "Xvfb did not start on any display from :90 to :120");
}

void TestEndToEnd::init()
{
    QVERIFY(makeFolders());
}

void TestEndToEnd::cleanup()
{
    if (QTest::currentTestFailed()) {
        saveScreen(QStringLiteral("vornkip-e2e"), QLatin1String(QTest::currentTestFunction()));
        printLogs();
    }
    killAll(m_started);
    if (!m_lockKey.isEmpty())
        xdotool({QStringLiteral("key"), m_lockKey});
    m_lockKey.clear();
    g_topLevelDepth = 1;
    run(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
}

bool TestEndToEnd::startWindowManager(const QString &program)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(g_env);
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, {});
    if (!p->waitForStarted())
        return false;
    track(std::move(p));
    g_topLevelDepth = 2;
    return QTest::qWaitFor(
        [] {
            return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .out.contains("window id");
        },
        kWaitMs);
}

void TestEndToEnd::cleanupTestCase()
{
    stopDisplay();
}

void TestEndToEnd::recordsCopiesAndKeepsThemAcrossARestart()
{
    QProcess *first = startVornkip();
    QVERIFY2(waitForWindow(mainWindowOf(*first)), "no vornkip window appeared");

    QVERIFY(copyText("abc"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")), QByteArray("000001abc\r\n"), kWaitMs);
    // The same text in other case is not a new entry. Give the program time to see it before the
    // next copy replaces it; if it records it, it becomes entry 2 below.
    QVERIFY(copyText("ABC"));
    QTest::qWait(500);
    QVERIFY(copyText("x\ny"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")), QByteArray("000001abc\r\n000002x@1@2@3y\r\n"), kWaitMs);

    QCOMPARE(stop(first, SIGTERM), 0);
    QVERIFY2(fileBytes(file("form.ini")).contains("[Main]"), fileBytes(file("form.ini")).constData());
    QCOMPARE(fileBytes(file("temp.ifo")), QByteArray("000001abc\r\n000002x@1@2@3y\r\n"));

    // A text on the clipboard when the program starts is shown, not recorded.
    QVERIFY(copyText("on the clipboard at start"));
    QProcess *second = startVornkip();
    const qulonglong window = waitForWindow(mainWindowOf(*second));
    QVERIFY2(window, "no vornkip window appeared after the restart");
    click(window, kListEdit);
    key(window, QStringLiteral("Down"));
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("x\ny"), kWaitMs);
    key(window, QStringLiteral("Down"));
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("abc"), kWaitMs);

    // Choosing entries added none: a new copy becomes entry 3, right after the two.
    QVERIFY(copyText("after choosing"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")),
                              QByteArray("000001abc\r\n000002x@1@2@3y\r\n000003after choosing\r\n"), kWaitMs);

    QCOMPARE(stop(second, SIGHUP), 0);
    QCOMPARE(fileBytes(file("temp.ifo")), QByteArray("000001abc\r\n000002x@1@2@3y\r\n000003after choosing\r\n"));
}

void TestEndToEnd::secondStartIsRefused()
{
    QProcess *first = startVornkip();
    const qulonglong window = waitForWindow(mainWindowOf(*first));
    QVERIFY2(window, "no vornkip window appeared");
    QVERIFY(copyText("held by the first"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")), QByteArray("000001held by the first\r\n"), kWaitMs);

    // Cover the first window with another program's window, to see it brought to the front.
    xdotool({QStringLiteral("windowmove"), QString::number(window), QStringLiteral("20"), QStringLiteral("20")});
    auto cover = std::make_unique<QProcess>();
    cover->setProcessEnvironment(g_env);
    cover->setStandardOutputFile(QProcess::nullDevice());
    cover->setStandardErrorFile(QProcess::nullDevice());
    cover->start(QStringLiteral("display"),
                 {QStringLiteral("-geometry"), QStringLiteral("+0+0"), QStringLiteral("-size"),
                  QStringLiteral("400x300"), QStringLiteral("-title"), QStringLiteral("cover"),
                  QStringLiteral("xc:gray")});
    track(std::move(cover));
    const QStringList coverWindow{QStringLiteral("--name"), QStringLiteral("^cover$")};
    QVERIFY2(waitForWindow(coverWindow), "the covering window did not appear");
    const QStringList anyWindow{QStringLiteral("--name"), QString()};
    auto firstIsAboveCover = [&] {
        const QList<qulonglong> stack = findWindows(anyWindow);
        const QList<qulonglong> covers = findWindows(coverWindow);
        return !covers.isEmpty() && stack.indexOf(window) > stack.indexOf(covers.first());
    };
    QVERIFY(!firstIsAboveCover());

    const QStringList before = folderState(home());
    QProcess *second = startVornkip();
    const qulonglong box = waitForWindow(ofProcess(*second, {QStringLiteral("--name"), QStringLiteral("^重複起動$")}));
    QVERIFY2(box, "no box titled 重複起動 appeared");
    key(box, QStringLiteral("Return"));
    QVERIFY2(second->waitForFinished(kWaitMs), "the refused start did not end after OK");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);

    QCOMPARE(folderState(home()), before);
    QCOMPARE(first->state(), QProcess::Running);
    QVERIFY2(firstIsAboveCover(), "the running instance's window was not brought to the front");

    QCOMPARE(stop(first, SIGINT), 0);
    QCOMPARE(fileBytes(file("temp.ifo")), QByteArray("000001held by the first\r\n"));
}

// vornkip --popup starts the bar and opens the popup once started; a later one only asks the running
// copy (no box) and ends, and says so when the holder of the lock cannot be asked.
void TestEndToEnd::popupOpensInTheRunningCopy()
{
    QProcessEnvironment env = g_env;
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vornkip.popup.debug=true"));
    const QStringList popup{QStringLiteral("--popup")};
    const QByteArray asked = "the popup is asked for";

    const int lock = ::open(QFile::encodeName(file(".vornkip.lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0);
    QProcess *unanswered = startVornkip(env, {}, {}, popup);
    const bool ended = unanswered->waitForFinished(kWaitMs);
    ::close(lock);
    QVERIFY2(ended, "a start that cannot ask did not end");
    QCOMPARE(unanswered->exitCode(), 1);
    QVERIFY2(vornkipLog(1).contains("起動中の Vornkip に届きません"), vornkipLog(1).constData());

    QProcess *first = startVornkip(env, {}, {}, popup);
    QVERIFY2(waitForWindow(mainWindowOf(*first)), "no vornkip window appeared");
    QTRY_COMPARE_WITH_TIMEOUT(vornkipLog(2).count(asked), 1, kWaitMs);
    QVERIFY2(waitForWindow(ofProcess(*first, {QStringLiteral("--name"), QStringLiteral("^履歴$")}), kWaitMs),
             "vornkip --popup opened no popup once started");

    const QStringList before = folderState(home());
    for (int run = 3; run <= 4; ++run) {
        QProcess *again = startVornkip(env, {}, {}, popup);
        QVERIFY2(again->waitForFinished(kWaitMs), "the refused start did not end by itself");
        QCOMPARE(again->exitStatus(), QProcess::NormalExit);
        QCOMPARE(again->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(vornkipLog(2).count(asked), run - 1, kWaitMs);
        QCOMPARE(vornkipLog(run).count(asked), 0);
    }
    QCOMPARE(folderState(home()), before);
    QCOMPARE(stop(first, SIGTERM), 0);
}

void TestEndToEnd::answeringNoAtExitForgetsTheHistory()
{
    QProcess *first = startVornkip();
    const qulonglong window = waitForWindow(mainWindowOf(*first));
    QVERIFY2(window, "no vornkip window appeared");
    QVERIFY(copyText("to be forgotten"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")), QByteArray("000001to be forgotten\r\n"), kWaitMs);

    click(window, kListEdit);
    key(window, QStringLiteral("ctrl+q"));
    const qulonglong box = waitForWindow(ofProcess(*first, {QStringLiteral("--name"), QStringLiteral("^ID:Q0001$")}));
    QVERIFY2(box, "no box titled ID:Q0001 appeared after Ctrl+Q");
    // Yes and No; Qt's generic theme puts No on the right.
    const QList<QRect> buttons = messageBoxButtons(box);
    QCOMPARE(buttons.size(), 2);
    click(box, buttons.last().center());
    QVERIFY2(first->waitForFinished(kWaitMs), "the program did not end after the exit question");
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    QVERIFY2(!QFile::exists(file("temp.ifo")), "the history file is still there after answering No");
    QVERIFY(fileBytes(file("form.ini")).contains("[Main]"));

    // The next start lists nothing: Down in the list leaves the clipboard alone, and the next copy
    // is entry 1.
    QVERIFY(copyText("on the clipboard at start"));
    QProcess *second = startVornkip();
    const qulonglong again = waitForWindow(mainWindowOf(*second));
    QVERIFY2(again, "no vornkip window appeared after the restart");
    QCOMPARE(fileBytes(file("temp.ifo")), QByteArray());
    click(again, kListEdit);
    key(again, QStringLiteral("Down"));
    QTest::qWait(500);
    QCOMPARE(clipboardText(), QStringLiteral("on the clipboard at start"));
    QVERIFY(copyText("first after the restart"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")), QByteArray("000001first after the restart\r\n"), kWaitMs);

    QCOMPARE(stop(second, SIGTERM), 0);
}

// Ctrl+F on the bar opens the search; typing finds an old entry, and Enter puts its whole text on the
// clipboard as choosing it in the list does: it is not recorded again.
void TestEndToEnd::searchFindsAnOldEntryAndRestoresIt()
{
    QFile history(file("temp.ifo"));
    QVERIFY(history.open(QIODevice::WriteOnly));
    history.write("000001the old one@1@2@3second line\r\n000002something else\r\n000003third\r\n");
    history.close();
    QProcess *vornkip = startVornkip();
    const qulonglong window = waitForWindow(mainWindowOf(*vornkip));
    QVERIFY2(window, "no vornkip window appeared");
    keySync(window, QStringLiteral("ctrl+f"));
    const qulonglong search =
        waitForWindow(ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^履歴検索$")}));
    QVERIFY2(search, "no search window appeared");
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(search)});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("OLD ONE")});
    // The search runs as the keys arrive; Enter takes the newest match once it is listed.
    QTest::qWait(500);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("the old one\nsecond line"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        findWindows(ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^履歴検索$")})).isEmpty(), kWaitMs);
    // A copy made after it is the next entry.
    QVERIFY(copyText("next"));
    QTRY_COMPARE_WITH_TIMEOUT(
        fileBytes(file("temp.ifo")),
        QByteArray("000001the old one@1@2@3second line\r\n000002something else\r\n000003third\r\n000004next\r\n"),
        kWaitMs);
    QCOMPARE(stop(vornkip, SIGTERM), 0);
}

void TestEndToEnd::shortcutPastesIntoTheWindowBefore_data()
{
    QTest::addColumn<QStringList>("layout"); // setxkbmap's arguments
    QTest::addColumn<QString>("lockKey");    // switched on before
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<QByteArray>("pasteKeys");  // as the other program sees them
    QTest::addColumn<QString>("windowManager"); // empty: none

    const QStringList us{QStringLiteral("us")};
    const QString editor = QStringLiteral("Gedit");
    const QByteArray ctrlV("key Ctrl+V\n");
    QTest::newRow("us") << us << QString() << editor << ctrlV << QString();
    QTest::newRow("German") << QStringList{QStringLiteral("de")} << QString() << editor << ctrlV << QString();
    QTest::newRow("Dvorak") << QStringList{QStringLiteral("us"), QStringLiteral("-variant"), QStringLiteral("dvorak")}
                            << QString() << editor << ctrlV << QString();
    QTest::newRow("NumLock on") << us << QStringLiteral("Num_Lock") << editor << ctrlV << QString();
    QTest::newRow("terminal") << us << QString() << QStringLiteral("XTerm") << QByteArray("key Shift+Ins\n")
                              << QString();
    // It decides who gets the focus, and may refuse it to a window that was not clicked.
    QTest::newRow("openbox") << us << QString() << editor << ctrlV << QStringLiteral("openbox");
}

// Another program's window has the focus; Ctrl+Alt+V opens the popup over it. A digit picks that row,
// a typed filter finds an old entry and Enter picks it: each is pasted, whole, into the other program,
// and is not recorded again. Escape gives the other program the focus back. `vornkip --popup` opens
// the popup of the running copy.
void TestEndToEnd::shortcutPastesIntoTheWindowBefore()
{
    QFETCH(QStringList, layout);
    QFETCH(QString, lockKey);
    QFETCH(QString, windowClass);
    QFETCH(QByteArray, pasteKeys);
    QFETCH(QString, windowManager);

    if (!windowManager.isEmpty()) {
        if (!haveTool(windowManager))
            QSKIP(qPrintable(windowManager + QStringLiteral(" is not installed")));
        QVERIFY2(startWindowManager(windowManager), "the window manager did not start");
    }
    const QByteArray history("000001the old one@1@2@3second line\r\n000002something else\r\n000003third\r\n"
                             "000004fourth\r\n");
    QFile ifo(file("temp.ifo"));
    QVERIFY(ifo.open(QIODevice::WriteOnly));
    ifo.write(history);
    ifo.close();
    QCOMPARE(run(QStringLiteral("setxkbmap"), layout).exitCode, 0);
    if (!lockKey.isEmpty()) {
        xdotool({QStringLiteral("key"), lockKey});
        m_lockKey = lockKey;
    }
    QProcess *vornkip = startVornkip();
    QVERIFY2(waitForWindow(mainWindowOf(*vornkip)), "no vornkip window appeared");
    qulonglong window = 0;
    std::unique_ptr<QProcess> started = startPasteClient(QStringLiteral(VORNKIP_PASTECLIENT), windowClass, &window);
    QVERIFY2(started, "the other program's window did not show");
    QProcess *client = track(std::move(started));
    const QStringList popup = ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^履歴$")});
    // Shown, and with the focus: keys typed before would go to the other program.
    const auto openPopup = [&] {
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+v")});
        const QByteArray shown = QByteArray::number(waitForWindow(popup, kWaitMs));
        return QTest::qWaitFor([&] { return xdotool({QStringLiteral("getwindowfocus")}).out.trimmed() == shown; },
                               kWaitMs);
    };
    QByteArray keysSeen;

    // Newest first: 3 is the third row, entry 2.
    QVERIFY2(openPopup(), "Ctrl+Alt+V opened no popup");
    xdotool({QStringLiteral("key"), QStringLiteral("3")});
    QTRY_COMPARE_WITH_TIMEOUT(pasteClientText(client, &keysSeen), QStringLiteral("something else"), kWaitMs);
    QVERIFY(findWindows(popup).isEmpty());
    QVERIFY2(keysSeen.contains(pasteKeys), keysSeen.constData());
    if (pasteKeys.contains("Shift+Ins")) // what terminals paste with it: the PRIMARY selection
        QCOMPARE(run(QStringLiteral("xclip"),
                     {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-o")})
                     .out,
                 QByteArray("something else"));

    QVERIFY2(openPopup(), "Ctrl+Alt+V opened no popup after a pick");
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QVERIFY2(
        QTest::qWaitFor(
            [&] { return xdotool({QStringLiteral("getwindowfocus")}).out.trimmed().toULongLong() == window; }, kWaitMs),
        "Escape did not give the other program the focus back");

    QVERIFY2(openPopup(), "Ctrl+Alt+V opened no popup the second time");
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("OLD ONE")});
    // Enter picks the first entry found once it is listed; before, it picks nothing.
    for (int waited = 0; waited < kWaitMs && !findWindows(popup).isEmpty(); waited += 200) {
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        QTest::qWait(200);
    }
    QTRY_COMPARE_WITH_TIMEOUT(pasteClientText(client, &keysSeen),
                              QStringLiteral("something elsethe old one\nsecond line"), kWaitMs);
    QCOMPARE(clipboardText(), QStringLiteral("the old one\nsecond line"));

    // The picks were not recorded: a copy made after them is the next entry.
    QVERIFY(copyText("next"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(file("temp.ifo")), history + "000005next\r\n", kWaitMs);

    QProcess *asking = startVornkip(g_env, {}, {}, {QStringLiteral("--popup")});
    QVERIFY2(asking->waitForFinished(kWaitMs), "vornkip --popup did not end with a copy running");
    QCOMPARE(asking->exitCode(), 0);
    QVERIFY2(waitForWindow(popup, kWaitMs), "vornkip --popup opened no popup in the running copy");
    QCOMPARE(stop(vornkip, SIGTERM), 0);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
