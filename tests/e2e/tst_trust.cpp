// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: what a user and the desktop do must never lose the history or crash the program. The
// real vornkip binary runs on a private Xvfb with its own data folder; its windows are read from the
// accessibility bus as a screen reader reads them (message-box texts, menu ticks and captions, button
// places), keys and clicks come from xdotool, copies from xclip, and the checks read the files.
#include "a11yharness.h"
#include "e2efixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include <signal.h>
#include <sys/stat.h>

namespace {
using namespace x11harness;

const QString kKeepHistoryText = QStringLiteral("次回に履歴を残しておきますか？");
const QString kKeepHistoryTitle = QStringLiteral("ID:Q0001");
const QString kTextWindowTitle = QStringLiteral("クリップボードの内容");
const QString kTopmostItem = QStringLiteral("最前面表示");
const QString kTopmostOnCaption = QStringLiteral("最前面表示解除");
const QString kTopmostOffCaption = QStringLiteral("最前面表示セット");

quint32 permissions(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFFFFFF;
}

QString octal(quint32 mode)
{
    return mode == 0xFFFFFFFF ? QStringLiteral("missing") : QString::number(mode, 8);
}

bool writeFile(const QString &path, const QByteArray &bytes, int mode)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return ::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)) == 0;
}

// The lines of a history file by its reading rule: a line ends at CR LF or at a lone CR.
QList<QByteArray> historyLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype cr = bytes.indexOf('\r', start);
        if (cr < 0) {
            lines << bytes.mid(start);
            break;
        }
        lines << bytes.mid(start, cr - start);
        start = cr + (cr + 1 < bytes.size() && bytes[cr + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

// How a process ended after a signal: "exit 0", "crashed (signal 6)", or that it did not end.
QString endAfter(QProcess *p, int signal)
{
    ::kill(static_cast<pid_t>(p->processId()), signal);
    if (!p->waitForFinished(kWaitMs))
        return QStringLiteral("still running %1 s after the signal").arg(kWaitMs / 1000);
    return p->exitStatus() == QProcess::NormalExit ? QStringLiteral("exit %1").arg(p->exitCode())
                                                   : QStringLiteral("crashed (signal %1)").arg(p->exitCode());
}

QString ended(QProcess *p)
{
    // waitForFinished() is false for a process that has already ended.
    if (p->state() != QProcess::NotRunning && !p->waitForFinished(kWaitMs))
        return QStringLiteral("still running %1 s later").arg(kWaitMs / 1000);
    return p->exitStatus() == QProcess::NormalExit ? QStringLiteral("exit %1").arg(p->exitCode())
                                                   : QStringLiteral("crashed (signal %1)").arg(p->exitCode());
}

// Push buttons in screen order, left to right.
QStringList buttonsInScreenOrder(QList<a11y::Node> nodes)
{
    nodes.removeIf([](const a11y::Node &n) { return n.role != QLatin1String("push button"); });
    std::sort(nodes.begin(), nodes.end(),
              [](const a11y::Node &a, const a11y::Node &b) { return a.extents.x() < b.extents.x(); });
    QStringList names;
    for (const a11y::Node &n : nodes)
        names << n.name;
    return names;
}

enum class Answer
{
    Escape,
    WindowClose,
    No,
    Yes
};

enum class OpenBox
{
    TextWindowCount,
    ExitQuestion,
    StartupError
};

enum class Emptied
{
    ByF6,
    OwnerGone
};

// True when some program owns the selection ("clipboard" or "primary") and offers its targets.
bool owned(const QString &selection)
{
    return run(QStringLiteral("xclip"), {QStringLiteral("-selection"), selection, QStringLiteral("-o"),
                                         QStringLiteral("-t"), QStringLiteral("TARGETS")})
               .exitCode == 0;
}

// Leaves the selection without an owner, as when the program that copied has exited: a foreground
// xclip (-quiet, so the process started here is the owner) takes it and is then ended. True once
// nobody owns it.
bool leaveWithoutOwner(const QString &selection)
{
    QProcess owner;
    owner.setProcessEnvironment(g_env);
    owner.setStandardOutputFile(QProcess::nullDevice());
    owner.setStandardErrorFile(QProcess::nullDevice());
    owner.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), selection, QStringLiteral("-i"), QStringLiteral("-quiet")});
    if (!owner.waitForStarted())
        return false;
    const QByteArray text = "from a program that goes away";
    owner.write(text);
    owner.closeWriteChannel();
    // The owner before (another xclip) answers until this one has taken the selection.
    const QStringList read{QStringLiteral("-selection"), selection, QStringLiteral("-o")};
    QDeadlineTimer deadline(kWaitMs);
    while (run(QStringLiteral("xclip"), read).out != text && !deadline.hasExpired())
        QTest::qWait(20);
    owner.kill();
    owner.waitForFinished();
    for (deadline.setRemainingTime(kWaitMs); owned(selection) && !deadline.hasExpired();)
        QTest::qWait(20);
    return !owned(selection);
}
} // namespace

class TestTrust final : public QObject, private ProgramFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void exitQuestion_data();
    void exitQuestion();
    void loneCarriageReturnIsALineBreak();
    void terminateWithABoxOpen_data();
    void terminateWithABoxOpen();
    void topmostTogglesBothWays();
    void createdFolderAndFilesArePrivate();
    void widerFilesAreNarrowedAtStart();
    void plantedSymlinkIsNotFollowed();
    void pasteWithAnEmptyClipboard_data();
    void pasteWithAnEmptyClipboard();
    void trayIconAppearsWithALaterPanel();
    void languageFollowsTheLocale_data();
    void languageFollowsTheLocale();

private:
    QProcess *startVornkip(const QString &folder = {}, bool openUmask = false);
    QProcess *startAndShow(qulonglong *window);
    bool copyAndWait(const QByteArray &text, const QByteArray &recorded);
    // Opens the main window's context menu (the tray menu when there is no tray) and reads it.
    QList<a11y::Node> contextMenu(QProcess *vornkip);
    // Opens Toolbar1's drop-down of the `hides` button and reads it.
    QList<a11y::Node> hidesMenu(QProcess *vornkip);
    QList<a11y::Node> openPopup(const std::function<void()> &open);

    a11y::Bus m_bus;
};

void TestTrust::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_BIN)).isExecutable(), VORNKIP_BIN " is not built");
    QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_WMCLOSE)).isExecutable(), VORNKIP_WMCLOSE " is not built");
    if (const QString tool = missingTool({"Xvfb", "xclip", "xdotool", "xprop", "import", "dbus-daemon", "dbus-send"});
        !tool.isEmpty())
        QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
    for (const QString &service : {a11y::kLauncher, a11y::kRegistry}) {
        if (!QFileInfo(service).isExecutable())
            QSKIP(qPrintable(service + QStringLiteral(" is not installed (Debian package at-spi2-core)")));
    }
    a11y::g_script = QStringLiteral(VORNKIP_A11Y_SCRIPT);
    setUpEnvironment(kSessionVariables + QStringList{QStringLiteral("QT_LOGGING_RULES")});
    if (run(a11y::python(), {QStringLiteral("-c"), QStringLiteral("import gi; gi.require_version('Atspi', '2.0')")})
            .exitCode != 0)
        QSKIP("python3 cannot load Atspi (Debian packages python3-gi and gir1.2-atspi-2.0)");
    QVERIFY2(startDisplay(), "Xvfb did not start on any display from :90 to :120");
    const QString failed = m_bus.start();
    QVERIFY2(failed.isEmpty(), qPrintable(failed + QStringLiteral(" did not start")));
}

void TestTrust::init()
{
    QVERIFY(makeFolders());
    // The clipboard outlives each program run; a text left there from the test before would be taken
    // as the one shown at start and not recorded again.
    QVERIFY(copyText(QByteArray("before ") + QTest::currentTestFunction() + ' ' + QTest::currentDataTag()));
}

void TestTrust::cleanup()
{
    if (QTest::currentTestFailed()) {
        saveScreen(QStringLiteral("vornkip-trust"), QLatin1String(QTest::currentTestFunction()));
        for (const auto &p : m_started) {
            if (p->state() == QProcess::Running) {
                const QByteArray tree =
                    a11y::runReader({QStringLiteral("dump"), QStringLiteral("--pid"), QString::number(p->processId())},
                                    20000)
                        .out;
                qInfo("windows of pid %lld:\n%s", static_cast<long long>(p->processId()), tree.left(6000).constData());
            }
        }
        printLogs(4000);
    }
    killAll(m_started);
}

void TestTrust::cleanupTestCase()
{
    m_bus.stop();
    stopDisplay();
}

QProcess *TestTrust::startVornkip(const QString &folder, bool openUmask)
{
    return ProgramFixture::startVornkip(a11y::Bus::programEnvironment(), folder,
                                        openUmask ? std::function<void()>([] { ::umask(0); }) : nullptr);
}

QProcess *TestTrust::startAndShow(qulonglong *window)
{
    QProcess *p = startVornkip();
    *window = waitForWindow(mainWindowOf(*p));
    return *window ? p : nullptr;
}

bool TestTrust::copyAndWait(const QByteArray &text, const QByteArray &recorded)
{
    if (!copyText(text))
        return false;
    for (int waited = 0; waited < kWaitMs; waited += 20) {
        if (fileBytes(file("temp.ifo")).endsWith(recorded + "\r\n"))
            return true;
        QTest::qWait(20);
    }
    return false;
}

// A pop-up menu opens asynchronously: when the program was still busy with the key before, the click
// can reach the window while it is being shown again. Try again then.
QList<a11y::Node> TestTrust::openPopup(const std::function<void()> &open)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        a11y::PopupWatch watch;
        if (!watch.start(3000))
            return {};
        open();
        const QList<a11y::Node> menu = watch.menu();
        if (!menu.isEmpty())
            return menu;
    }
    return {};
}

QList<a11y::Node> TestTrust::contextMenu(QProcess *vornkip)
{
    return openPopup([vornkip] {
        // A point of the window itself: the gap between Toolbar1 and the history list.
        const QList<a11y::Node> tree = a11y::dump(vornkip->processId());
        const a11y::Node bar = a11y::find(tree, QStringLiteral("tool bar"));
        const a11y::Node list = a11y::find(tree, QStringLiteral("combo box"));
        const QPoint at(bar.extents.center().x(), (bar.extents.y() + bar.extents.height() + list.extents.y()) / 2);
        clickScreen(at, 3);
    });
}

QList<a11y::Node> TestTrust::hidesMenu(QProcess *vornkip)
{
    return openPopup([vornkip] {
        // The arrow on the right of the drop-down button.
        const a11y::Node button =
            a11y::find(a11y::dump(vornkip->processId()), QStringLiteral("push button"), QStringLiteral("隠れる"));
        clickScreen(QPoint(button.extents.right() - 4, button.extents.center().y()));
    });
}

// Ctrl+Q asks whether to keep the history. Only an explicit いいえ deletes it: Escape and the window
// manager's close dismiss the question, and a dismissal keeps what the user copied.
void TestTrust::exitQuestion_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("kept");
    QTest::newRow("Escape") << Answer::Escape << true;
    QTest::newRow("window manager's close") << Answer::WindowClose << true;
    QTest::newRow("いいえ (Alt+N)") << Answer::No << false;
    QTest::newRow("はい (Alt+Y)") << Answer::Yes << true;
}

void TestTrust::exitQuestion()
{
    QFETCH(Answer, answer);
    QFETCH(bool, kept);
    qulonglong window = 0;
    QProcess *vornkip = startAndShow(&window);
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWait("worth keeping", "000001worth keeping"));

    keySync(window, QStringLiteral("ctrl+q"));
    const QList<a11y::Node> box = a11y::waitFor(vornkip->processId(), QStringLiteral("alert"), kKeepHistoryTitle);
    QVERIFY2(!box.isEmpty(), "no box titled ID:Q0001 on the accessibility bus after Ctrl+Q");
    QVERIFY2(a11y::names(box, QStringLiteral("label")).contains(kKeepHistoryText),
             qPrintable(a11y::names(box, QStringLiteral("label")).join(QLatin1String(" | "))));
    QCOMPARE(buttonsInScreenOrder(box), (QStringList{QStringLiteral("はい(Y)"), QStringLiteral("いいえ(N)")}));

    const qulonglong boxWindow =
        waitForWindow(ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^ID:Q0001$")}));
    QVERIFY2(boxWindow, "the box is on the bus but has no visible X window");
    switch (answer) {
    case Answer::Escape:
        keySync(boxWindow, QStringLiteral("Escape"));
        break;
    case Answer::WindowClose:
        QCOMPARE(run(QStringLiteral(VORNKIP_WMCLOSE), {QString::number(boxWindow)}).exitCode, 0);
        break;
    case Answer::No:
        keySync(boxWindow, QStringLiteral("alt+n"));
        break;
    case Answer::Yes:
        keySync(boxWindow, QStringLiteral("alt+y"));
        break;
    }
    QCOMPARE(ended(vornkip), QStringLiteral("exit 0"));
    if (kept)
        QVERIFY2(fileBytes(file("temp.ifo")) == "000001worth keeping\r\n",
                 QFile::exists(file("temp.ifo")) ? "temp.ifo changed" : "temp.ifo was deleted");
    else
        QVERIFY2(!QFile::exists(file("temp.ifo")), "temp.ifo is still there after いいえ");
    QVERIFY(fileBytes(file("form.ini")).contains("[Main]"));
}

// A lone CR in a copied text is a line break like LF: it is stored as the line-break marker, so each
// line of the history file stays one entry and a text cannot forge entries or their numbers.
void TestTrust::loneCarriageReturnIsALineBreak()
{
    qulonglong window = 0;
    QProcess *vornkip = startAndShow(&window);
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWait("first", "000001first"));
    QVERIFY(copyText("a\r123456forged"));
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(file("temp.ifo")).contains("forged\r\n"), kWaitMs);
    QVERIFY(copyText("third"));
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(file("temp.ifo")).endsWith("third\r\n"), kWaitMs);
    QCOMPARE(historyLines(fileBytes(file("temp.ifo"))).join(" | "),
             QByteArray("000001first | 000002a@1@2@3123456forged | 000003third"));
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
}

// SIGTERM (logout, shutdown, kill) while a modal box runs its own loop: the box closes, the shutdown
// runs, the program exits 0 with the settings written and the history kept.
void TestTrust::terminateWithABoxOpen_data()
{
    QTest::addColumn<OpenBox>("open");
    QTest::newRow("text window's count box") << OpenBox::TextWindowCount;
    QTest::newRow("exit question") << OpenBox::ExitQuestion;
    QTest::newRow("error box at start") << OpenBox::StartupError;
}

void TestTrust::terminateWithABoxOpen()
{
    QFETCH(OpenBox, open);
    QProcess *vornkip = nullptr;
    QByteArray history;
    if (open == OpenBox::StartupError) {
        // A history path that cannot be read stops the start with an error box, before the event loop.
        QVERIFY(QDir(home()).mkdir(QStringLiteral("temp.ifo")));
        vornkip = startVornkip();
        QVERIFY2(!a11y::waitFor(vornkip->processId(), QStringLiteral("alert"), {}, {}, kStartMs).isEmpty(),
                 "no error box at start on the accessibility bus");
    } else {
        qulonglong window = 0;
        vornkip = startAndShow(&window);
        QVERIFY2(vornkip, "no vornkip window appeared");
        QVERIFY(copyAndWait("copied before the signal", "000001copied before the signal"));
        history = fileBytes(file("temp.ifo"));
        if (open == OpenBox::ExitQuestion) {
            keySync(window, QStringLiteral("ctrl+q"));
            QVERIFY2(!a11y::waitFor(vornkip->processId(), QStringLiteral("alert"), kKeepHistoryTitle).isEmpty(),
                     "no exit question on the accessibility bus after Ctrl+Q");
        } else {
            // Toolbar1's テキスト詳細 opens the text window; its menu おまけ → 表示文字数 opens the count box.
            const a11y::Node button = a11y::find(a11y::dump(vornkip->processId()), QStringLiteral("push button"),
                                                 QStringLiteral("テキスト詳細"));
            QVERIFY2(button.valid(), "no テキスト詳細 button on the accessibility bus");
            clickScreen(button.center());
            QVERIFY2(!a11y::waitFor(vornkip->processId(), QStringLiteral("frame"), kTextWindowTitle,
                                    QStringLiteral("showing"))
                          .isEmpty(),
                     "the text window did not open");
            const qulonglong text = waitForWindow(ofProcess(
                *vornkip, {QStringLiteral("--name"), QLatin1Char('^') + kTextWindowTitle + QLatin1Char('$')}));
            QVERIFY(text);
            keySync(text, QStringLiteral("alt+o"));
            QVERIFY2(!a11y::waitFor(vornkip->processId(), QStringLiteral("menu item"), QStringLiteral("表示文字数"),
                                    QStringLiteral("focused"))
                          .isEmpty(),
                     "Alt+O did not open おまけ at its first item");
            xdotool({QStringLiteral("key"), QStringLiteral("Return")});
            QVERIFY2(
                !a11y::waitFor(vornkip->processId(), QStringLiteral("alert"), QStringLiteral("文字数チェックその１"))
                     .isEmpty(),
                "no count box on the accessibility bus");
        }
    }
    QFile::remove(file("form.ini"));

    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
    QVERIFY2(fileBytes(file("form.ini")).contains("[Main]"), "form.ini was not written");
    if (open != OpenBox::StartupError)
        QVERIFY2(fileBytes(file("temp.ifo")) == history,
                 QFile::exists(file("temp.ifo")) ? "temp.ifo changed" : "temp.ifo was deleted");
}

// 最前面表示 switches always-on-top off and on again, by F4 and by the menu item itself; the menu's
// tick, Toolbar1's caption and the window's state all follow.
void TestTrust::topmostTogglesBothWays()
{
    qulonglong window = 0;
    QProcess *vornkip = startAndShow(&window);
    QVERIFY2(vornkip, "no vornkip window appeared");
    int step = 0;
    const auto expect = [&](bool onTop, const char *after) {
        ++step;
        const QString label = QStringLiteral("step %1, after %2: ").arg(step).arg(QLatin1String(after));
        const QList<a11y::Node> menu = contextMenu(vornkip);
        QVERIFY2(!menu.isEmpty(), qPrintable(label + QStringLiteral("no context menu on the accessibility bus")));
        const a11y::Node item = a11y::find(menu, QStringLiteral("menu item"), kTopmostItem);
        QVERIFY2(item.valid(), qPrintable(label + QStringLiteral("no 最前面表示 in the context menu")));
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QVERIFY2(item.has("checked") == onTop,
                 qPrintable(label + QStringLiteral("最前面表示 is %1")
                                        .arg(QLatin1String(item.has("checked") ? "ticked" : "unticked"))));

        const QList<a11y::Node> hides = hidesMenu(vornkip);
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        const QStringList captions = a11y::names(hides, QStringLiteral("menu item"));
        QVERIFY2(captions.contains(onTop ? kTopmostOnCaption : kTopmostOffCaption),
                 qPrintable(label + QStringLiteral("Toolbar1's menu reads ") + captions.join(QLatin1String(" | "))));

        window = waitForWindow(mainWindowOf(*vornkip));
        QVERIFY(window);
        const QStringList state = netWmState(window);
        QVERIFY2(state.contains(QLatin1String("_NET_WM_STATE_ABOVE")) == onTop,
                 qPrintable(label + QStringLiteral("_NET_WM_STATE is ") + state.join(QLatin1String(", "))));
    };
    expect(true, "the start");
    if (QTest::currentTestFailed())
        return;
    keySync(window, QStringLiteral("F4"));
    expect(false, "F4");
    if (QTest::currentTestFailed())
        return;
    keySync(window, QStringLiteral("F4"));
    expect(true, "F4 again");
    if (QTest::currentTestFailed())
        return;
    // The menu item itself.
    const QList<a11y::Node> menu = contextMenu(vornkip);
    const a11y::Node item = a11y::find(menu, QStringLiteral("menu item"), kTopmostItem);
    QVERIFY2(item.valid(), "no 最前面表示 in the context menu");
    clickScreen(item.center());
    expect(false, "choosing 最前面表示 in the context menu");
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
}

// Under an open umask every folder the program creates for its data is 0700 and its files 0600: the
// history holds whatever was copied, passwords included.
void TestTrust::createdFolderAndFilesArePrivate()
{
    const QString folder = home() + QStringLiteral("/new/nested");
    QProcess *vornkip = startVornkip(folder, true);
    QVERIFY2(waitForWindow(mainWindowOf(*vornkip)), "no vornkip window appeared");
    QVERIFY(copyText("private text"));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(folder + QStringLiteral("/temp.ifo")), QByteArray("000001private text\r\n"),
                              kWaitMs);
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
    QCOMPARE(QStringLiteral("new ") + octal(permissions(home() + QStringLiteral("/new"))), QStringLiteral("new 700"));
    QCOMPARE(QStringLiteral("new/nested ") + octal(permissions(folder)), QStringLiteral("new/nested 700"));
    for (const char *name : {"temp.ifo", "form.ini"}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        QCOMPARE(QLatin1String(name) + QLatin1Char(' ') + octal(permissions(path)),
                 QLatin1String(name) + QStringLiteral(" 600"));
    }
}

// Files left readable by others (by an older version, a copy, an archive) are narrowed at start.
void TestTrust::widerFilesAreNarrowedAtStart()
{
    QVERIFY(writeFile(file("temp.ifo"), "000001old entry\r\n", 0666));
    QVERIFY(writeFile(file("form.ini"), "", 0666));
    QVERIFY(writeFile(file("templ.txt"), "", 0644));
    QProcess *vornkip = startVornkip({}, true);
    QVERIFY2(waitForWindow(mainWindowOf(*vornkip)), "no vornkip window appeared");
    QStringList modes;
    for (const char *name : {"temp.ifo", "form.ini", "templ.txt"})
        modes << QLatin1String(name) + QLatin1Char(' ') + octal(permissions(file(name)));
    QCOMPARE(modes.join(QLatin1String(", ")), QStringLiteral("temp.ifo 600, form.ini 600, templ.txt 600"));
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
    QCOMPARE(fileBytes(file("temp.ifo")), QByteArray("000001old entry\r\n"));
}

// A symlink planted as temp.ifo is refused with an error box: copies never reach the file it points at.
void TestTrust::plantedSymlinkIsNotFollowed()
{
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("target"));
    const QByteArray outsideBytes = "not the program's file\r\n";
    QVERIFY(writeFile(outside, outsideBytes, 0644));
    QVERIFY(QFile::link(outside, file("temp.ifo")));

    QProcess *vornkip = startVornkip();
    // The error may come at start (the main window then waits for it) or at the first copy.
    bool copied = false;
    bool errorShown = false;
    for (QDeadlineTimer deadline(kStartMs); !deadline.hasExpired() && vornkip->state() == QProcess::Running;) {
        const QList<a11y::Node> tree = a11y::dump(vornkip->processId());
        if (a11y::find(tree, QStringLiteral("alert")).valid()) {
            errorShown = true;
            break;
        }
        if (fileBytes(outside) != outsideBytes)
            break;
        if (!copied && !findWindows(mainWindowOf(*vornkip)).isEmpty())
            copied = copyText("must not reach the target");
        QTest::qWait(100);
    }
    QCOMPARE(fileBytes(outside), outsideBytes);
    QVERIFY2(vornkip->state() == QProcess::Running, qPrintable(ended(vornkip)));
    QVERIFY2(errorShown, "no error box on the accessibility bus");
    QVERIFY(QFileInfo(file("temp.ifo")).isSymLink());
}

void TestTrust::pasteWithAnEmptyClipboard_data()
{
    QTest::addColumn<Emptied>("emptied");
    QTest::newRow("F6 in the bar, はい") << Emptied::ByF6;
    QTest::newRow("the copying program is gone") << Emptied::OwnerGone;
}

// With nobody owning the clipboard and the primary selection, every paste gesture in the text window's
// editor pastes nothing and the program runs on (Qt 6.4's own paste crashed on such a clipboard); a
// text copied afterwards pastes as usual.
void TestTrust::pasteWithAnEmptyClipboard()
{
    QFETCH(Emptied, emptied);
    qulonglong window = 0;
    QProcess *vornkip = startAndShow(&window);
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWait("copied first", "000001copied first"));
    if (emptied == Emptied::ByF6) {
        keySync(window, QStringLiteral("F6"));
        const qulonglong box =
            waitForWindow(ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^削除確認$")}));
        QVERIFY2(box, "no question box after F6");
        keySync(box, QStringLiteral("alt+y"));
        QTRY_VERIFY2_WITH_TIMEOUT(!owned(QStringLiteral("clipboard")), "the clipboard still has an owner after はい",
                                  kWaitMs);
    } else {
        QVERIFY2(leaveWithoutOwner(QStringLiteral("clipboard")), "the clipboard kept an owner");
    }
    QVERIFY2(leaveWithoutOwner(QStringLiteral("primary")), "the primary selection kept an owner");

    const a11y::Node button =
        a11y::find(a11y::dump(vornkip->processId()), QStringLiteral("push button"), QStringLiteral("テキスト詳細"));
    QVERIFY2(button.valid(), "no テキスト詳細 button on the accessibility bus");
    clickScreen(button.center());
    const QList<a11y::Node> frame =
        a11y::waitFor(vornkip->processId(), QStringLiteral("frame"), kTextWindowTitle, QStringLiteral("showing"));
    QVERIFY2(!frame.isEmpty(), "the text window did not open");
    const a11y::Node editor = a11y::find(frame, QStringLiteral("text"));
    QVERIFY2(editor.valid(), "no editor in the text window on the accessibility bus");
    QCOMPARE(editor.text, QString());
    const qulonglong text = waitForWindow(
        ofProcess(*vornkip, {QStringLiteral("--name"), QLatin1Char('^') + kTextWindowTitle + QLatin1Char('$')}));
    QVERIFY(text);

    // The editor's text as a screen reader reads it.
    const auto editorText = [vornkip] {
        const QList<a11y::Node> tree = a11y::dump(vornkip->processId());
        bool inTextWindow = false;
        for (const a11y::Node &n : tree) {
            if (n.role == QLatin1String("frame"))
                inTextWindow = n.name == kTextWindowTitle;
            else if (inTextWindow && n.role == QLatin1String("text"))
                return n.text;
        }
        return QStringLiteral("<no editor>");
    };
    // After each gesture a digit is typed: keys and clicks are handled in order, so once the digit
    // shows the gesture before it was handled.
    const QList<std::pair<QString, std::function<void()>>> gestures{
        {QStringLiteral("Ctrl+V"), [&] { keySync(text, QStringLiteral("ctrl+v")); }},
        {QStringLiteral("Shift+Insert"), [&] { keySync(text, QStringLiteral("shift+Insert")); }},
        {QStringLiteral("Ctrl+Shift+Insert"), [&] { keySync(text, QStringLiteral("ctrl+shift+Insert")); }},
        {QStringLiteral("a middle click"), [&] { clickScreen(editor.center(), 2); }},
    };
    QString typed;
    for (const auto &[name, gesture] : gestures) {
        gesture();
        typed += QString::number(typed.size() + 1);
        keySync(text, typed.right(1));
        for (QDeadlineTimer deadline(kWaitMs); editorText() != typed && !deadline.hasExpired();)
            QTest::qWait(50);
        if (vornkip->state() != QProcess::Running)
            QFAIL(qPrintable(QStringLiteral("the program ended after %1: %2").arg(name, ended(vornkip))));
        QCOMPARE(editorText(), typed);
    }

    QVERIFY(copyText("pasted"));
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(file("temp.ifo")).endsWith("pasted\r\n"), kWaitMs);
    keySync(text, QStringLiteral("ctrl+v"));
    QTRY_COMPARE_WITH_TIMEOUT(editorText(), typed + QStringLiteral("pasted"), kWaitMs);
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
}

// The absolute place of a window named "vornkip" among the children of `parent` (xwininfo -tree), or
// an empty rectangle.
static QRect dockedIcon(const QString &parent)
{
    const Result r = run(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), parent});
    static const QRegularExpression line(QStringLiteral(
        "\"vornkip\": \\(\"vornkip\" \"vornkip\"\\)\\s+(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    const QRegularExpressionMatch m = line.match(QString::fromUtf8(r.out));
    return m.hasMatch()
               ? QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(), m.captured(2).toInt())
               : QRect();
}

// At login the program may start before the panel. Until a notification area exists the tray menu is
// the bar's right-click menu; once a panel starts, the icon appears in it and works, and the bar's
// right-click menu is the plain one again.
void TestTrust::trayIconAppearsWithALaterPanel()
{
    if (!haveTool(QStringLiteral("trayer")) || !haveTool(QStringLiteral("xwininfo")))
        QSKIP("trayer or xwininfo is not installed");
    qulonglong window = 0;
    QProcess *vornkip = startAndShow(&window);
    QVERIFY2(vornkip, "no vornkip window appeared");
    const QList<a11y::Node> fallback = contextMenu(vornkip);
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QVERIFY2(a11y::find(fallback, QStringLiteral("menu item"), kTopmostItem).valid(),
             "without a panel, the tray menu is not the bar's right-click menu");

    auto panel = std::make_unique<QProcess>();
    panel->setProcessEnvironment(g_env);
    panel->setStandardOutputFile(QProcess::nullDevice());
    panel->setStandardErrorFile(QProcess::nullDevice());
    panel->start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                  QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                  QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"), QStringLiteral("24")});
    QVERIFY(panel->waitForStarted());
    QProcess *trayer = panel.get();
    track(std::move(panel));
    QRect icon;
    for (int waited = 0; waited < kStartMs && icon.isEmpty(); waited += 100) {
        QTest::qWait(100);
        for (const qulonglong id :
             findWindows(ofProcess(*trayer, {QStringLiteral("--class"), QStringLiteral("trayer")})))
            icon = icon.isEmpty() ? dockedIcon(QString::number(id)) : icon;
    }
    QVERIFY2(!icon.isEmpty(), "no vornkip icon in the panel started after it");

    // A left click on the icon hides the bar, a second one shows it again.
    clickScreen(icon.center());
    QTRY_VERIFY_WITH_TIMEOUT(findWindows(mainWindowOf(*vornkip)).isEmpty(), kWaitMs);
    QTest::qWait(800); // not a double click, which is not a second press
    clickScreen(icon.center());
    QTRY_VERIFY_WITH_TIMEOUT(!findWindows(mainWindowOf(*vornkip)).isEmpty(), kWaitMs);

    const QList<a11y::Node> plain = contextMenu(vornkip);
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QVERIFY2(!a11y::find(plain, QStringLiteral("menu item"), kTopmostItem).valid(),
             "with a panel, the bar's right-click menu is still the tray menu");
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
}

// The language is the first of the locale's that the program speaks: Japanese, its own, for ja and
// for the C locale (existing users see no change), English for any other, in the tray menu, the boxes
// and --help alike.
void TestTrust::languageFollowsTheLocale_data()
{
    QTest::addColumn<QStringList>("locale"); // NAME=value over the tests' own locale
    QTest::addColumn<QStringList>("menu");   // the tray menu's top-level captions
    QTest::addColumn<QString>("question");   // the exit question
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("help"); // --help's first lines; %1 is the program

    const QStringList japaneseMenu{
        "履歴を開く", "履歴の共有: オフ", "クリップボードの監視",     "クリップボードを監視しない",
        "最前面表示", "タイトル表示",     "クリップボードを空にする", "終了"};
    const QStringList englishMenu{"Open history",        "Sharing the history: off",
                                  "Watch the clipboard", "Don't watch the clipboard",
                                  "Always on top",       "Title",
                                  "Clear the clipboard", "Quit"};
    const QStringList japaneseHelp{"使い方: %1 [オプション]", "クリップボードの履歴を記録するバーを起動します。"};
    const QStringList englishHelp{"Usage: %1 [options]", "Starts the bar that keeps a history of the clipboard."};
    const auto japanese = [&](const char *tag, const QStringList &locale) {
        QTest::newRow(tag) << locale << japaneseMenu << kKeepHistoryText << QStringList{"はい(Y)", "いいえ(N)"}
                           << japaneseHelp;
    };
    const auto english = [&](const char *tag, const QStringList &locale) {
        QTest::newRow(tag) << locale << englishMenu << QStringLiteral("Keep the history for next time?")
                           << QStringList{"Yes", "No"} << englishHelp;
    };
    english("en_US", {"LANG=en_US.UTF-8"});
    japanese("ja_JP", {"LANG=ja_JP.UTF-8"});
    japanese("C", {"LANG=C.UTF-8"});
    english("de, then en", {"LANGUAGE=de:en", "LANG=de_DE.UTF-8"});
}

void TestTrust::languageFollowsTheLocale()
{
    QFETCH(QStringList, locale);
    QFETCH(QStringList, menu);
    QFETCH(QString, question);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, help);
    QProcessEnvironment env = a11y::Bus::programEnvironment();
    for (const QString &setting : locale)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));

    QProcess usage;
    usage.setProcessEnvironment(env);
    usage.start(QStringLiteral(VORNKIP_BIN), {QStringLiteral("--help")});
    QVERIFY(usage.waitForFinished(kWaitMs));
    const QStringList lines = QString::fromUtf8(usage.readAllStandardOutput()).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, help.size()).join(QLatin1Char('\n')),
             help.join(QLatin1Char('\n')).arg(QStringLiteral(VORNKIP_BIN)));

    QProcess *vornkip = ProgramFixture::startVornkip(env);
    const qulonglong window = waitForWindow(mainWindowOf(*vornkip));
    QVERIFY2(window, "no vornkip window appeared");
    // Without a panel the tray menu is the bar's right-click menu. The popup's keys follow a tab.
    QStringList captions;
    for (const a11y::Node &n : contextMenu(vornkip)) {
        if (n.depth == 1 && (n.role == QLatin1String("menu item") || n.role == QLatin1String("menu")))
            captions << n.name.section(QLatin1Char('\t'), 0, 0);
    }
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    QCOMPARE(captions.join(QLatin1String(" | ")), menu.join(QLatin1String(" | ")));

    keySync(window, QStringLiteral("ctrl+q"));
    const QList<a11y::Node> box = a11y::waitFor(vornkip->processId(), QStringLiteral("alert"), kKeepHistoryTitle);
    QVERIFY2(!box.isEmpty(), "no exit question on the accessibility bus after Ctrl+Q");
    QCOMPARE(a11y::names(box, QStringLiteral("label")).join(QLatin1String(" | ")), question);
    QCOMPARE(buttonsInScreenOrder(box).join(QLatin1String(" | ")), answers.join(QLatin1String(" | ")));
    QCOMPARE(endAfter(vornkip, SIGTERM), QStringLiteral("exit 0"));
}

QTEST_GUILESS_MAIN(TestTrust)
#include "tst_trust.moc"
