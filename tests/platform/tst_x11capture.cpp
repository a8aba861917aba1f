// SPDX-License-Identifier: GPL-3.0-or-later
// The X11 capture back-end against a private Xvfb: contents put on the clipboard by other programs
// (xclip, the test owner clipowner, the misbehaving owner hungowner) and by our own windows arrive
// completely read, in the order of the changes, or not at all; nothing the owners do holds up this
// thread or a later copy.
#include "e2e/robusttexts.h"
#include "e2e/x11harness.h"
#include "platform/x11capture.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <sys/resource.h>

using namespace x11harness;

class TestX11Capture final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void contents_data();
    void contents();
    void hungOwner();
    void hostileOwners_data();
    void hostileOwners();
    void connectionKilled();
    void serverGone();
    void outOfMemory();
    void burstsArriveInOrder_data();
    void burstsArriveInOrder();
    void ownWindowsAsOwner();
    void noDisplay();

private:
    QProcess *startOwner(const QString &program, const QStringList &args);
    bool xclip(const QStringList &args, const QByteArray &input);
    bool copyWith(const QString &program, const QStringList &args, const QByteArray &input);
    void settle();
    ClipboardContent last() const { return m_got.isEmpty() ? ClipboardContent() : m_got.constLast(); }

    QString writeFile(const QByteArray &bytes);

    QTemporaryDir m_dir;
    std::unique_ptr<X11Capture> m_capture;
    QList<ClipboardContent> m_got;
    QList<ClipboardTrouble> m_troubles;
    std::vector<std::unique_ptr<QProcess>> m_owners;
};

// A program that owns the clipboard, once it says so ("owner ..." on its first line).
QProcess *TestX11Capture::startOwner(const QString &program, const QStringList &args)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(g_env);
    p->setStandardErrorFile(QProcess::nullDevice());
    p->start(program, args);
    while (!p->canReadLine() && p->waitForReadyRead(kWaitMs)) {
    }
    if (!p->readLine().startsWith("owner"))
        return nullptr;
    m_owners.push_back(std::move(p));
    return m_owners.back().get();
}

// 60,000 lines "line NNNNNN " + 40 x (3,180,000 bytes): larger than one piece of xclip's INCR, and any
// piece lost or repeated shows.
QByteArray numberedLines(int count)
{
    QByteArray text;
    text.reserve(qsizetype(count) * 53);
    for (int i = 0; i < count; ++i)
        text += "line " + QByteArray::number(i).rightJustified(6, '0') + ' ' + QByteArray(40, 'x') + '\n';
    return text;
}

// A new atom: two marks differ by one more than the number of atoms the server made in between, for
// whoever asked.
xcb_atom_t atomMark()
{
    xcb_connection_t *c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    static int n = 0;
    const QByteArray name = "TST_X11CAPTURE_MARK_" + QByteArray::number(++n);
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

QString TestX11Capture::writeFile(const QByteArray &bytes)
{
    static int n = 0;
    const QString path = m_dir.filePath(QStringLiteral("content%1").arg(++n));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

bool TestX11Capture::xclip(const QStringList &args, const QByteArray &input)
{
    return copyWith(QStringLiteral("xclip"),
                    QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard")} + args, input);
}

bool TestX11Capture::copyWith(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.setProcessEnvironment(g_env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    return p.waitForFinished(kWaitMs) && p.exitCode() == 0;
}

// Waits until no change has arrived for a moment.
void TestX11Capture::settle()
{
    for (qsizetype seen = -1; seen != m_got.size();) {
        seen = m_got.size();
        QTest::qWait(300);
    }
}

void TestX11Capture::initTestCase()
{
    QVERIFY(haveTool(QStringLiteral("xclip")));
    m_capture = std::make_unique<X11Capture>();
    ClipboardContent initial;
    initial.hasText = true;
    QVERIFY(m_capture->start(&initial));
    QVERIFY(!initial.hasText); // a new server's clipboard has no owner
    connect(m_capture.get(), &CaptureBackend::captured, this, [this](const ClipboardContent &c) { m_got << c; });
    connect(m_capture.get(), &CaptureBackend::trouble, this, [this](ClipboardTrouble what) { m_troubles << what; });
}

void TestX11Capture::cleanup()
{
    killAll(m_owners);
    settle();
}

void TestX11Capture::contents_data()
{
    QTest::addColumn<QStringList>("args"); // clipowner's, xclip's when they start with -i or -t, or xsel's
    QTest::addColumn<QByteArray>("bytes"); // put on the clipboard as they are
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("secret");
    QTest::addColumn<bool>("hasImage");

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    QByteArray huge;
    for (int i = 0; huge.size() < 20 * 1024 * 1024; ++i)
        huge += "line " + QByteArray::number(i) + " 日本語のテキスト\n";
    const QString hugeText = Clipboard::fromDesktop(QString::fromUtf8(huge));

    QTest::newRow("plain") << QStringList{"-i"} << QByteArray("hello world") << true << "hello world" << false << false;
    QTest::newRow("LF, CR LF, lone CR") << QStringList{"-i"} << QByteArray("a\nb\r\nc\rd") << true << "a\r\nb\r\nc\r\nd"
                                        << false << false;
    QTest::newRow("Japanese") << QStringList{"--text", "日本語のテキスト「コピー」"} << QByteArray() << true
                              << "日本語のテキスト「コピー」" << false << false;
    QTest::newRow("UTF-8 under its MIME name only") << QStringList{"-t", "text/plain;charset=utf-8", "-i"}
                                                    << QByteArray("mime ü") << true << "mime ü" << false << false;
    QTest::newRow("secret hint: no text")
        << QStringList{"--text", "hunter2", "--secret"} << QByteArray() << true << "" << true << false;
    QTest::newRow("picture") << QStringList{"-t", "image/png", "-i"} << png << false << "" << false << true;
    // It ends before its answer to TARGETS leaves it.
    QTest::newRow("owner quits when asked")
        << QStringList{"--text", "never sent", "--quit-when-asked"} << QByteArray() << false << "" << false << false;
    QTest::newRow("20 MB through INCR") << QStringList{"--file"} << huge << true << hugeText << false << false;
    const QByteArray lines = numberedLines(60000);
    QTest::newRow("3 MB through xclip's INCR")
        << QStringList{"-i"} << lines << true << Clipboard::fromDesktop(QString::fromLatin1(lines)) << false << false;
    QTest::newRow("3 MB from xsel") << QStringList{"xsel", "--clipboard", "--input"} << lines << true
                                    << Clipboard::fromDesktop(QString::fromLatin1(lines)) << false << false;
}

void TestX11Capture::contents()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hasText);
    QFETCH(QString, text);
    QFETCH(bool, secret);
    QFETCH(bool, hasImage);

    const qsizetype before = m_got.size();
    if (args.first() == "-i" || args.first() == "-t") {
        QVERIFY(xclip(args, bytes));
    } else if (args.first() == "xsel") {
        if (!haveTool(args.first()))
            QSKIP("xsel is not installed");
        QVERIFY(copyWith(args.first(), args.mid(1), bytes));
    } else {
        if (args.contains("--file"))
            args << writeFile(bytes);
        QVERIFY(startOwner(QStringLiteral(VORNKIP_CLIPOWNER), args));
    }
    QTRY_VERIFY_WITH_TIMEOUT(m_got.size() > before, 30000);
    const ClipboardContent got = m_got.at(before);
    QCOMPARE(got.hasText, hasText);
    QCOMPARE(got.text.size(), text.size());
    QCOMPARE(got.text, text);
    QCOMPARE(got.secret, secret);
    QCOMPARE(got.hasImage, hasImage);
    if (hasImage) {
        const QImage picture = m_capture->readPicture(2000);
        QCOMPARE(picture.size(), QSize(40, 30));
        QCOMPARE(picture.pixelColor(5, 5), QColor(Qt::darkCyan));
    }
    // The owner of a large text serves others as before (xclip serves one transfer at a time).
    if (bytes.size() > 1024 * 1024)
        QVERIFY(run(QStringLiteral("xclip"), {"-selection", "clipboard", "-o"}).out == bytes);
}

// A hung owner costs its own change its deadline, nothing more: the copy made meanwhile follows at once,
// and a second back-end starting (and ending) meanwhile is not held up either.
void TestX11Capture::hungOwner()
{
    const qsizetype before = m_got.size();
    QVERIFY(startOwner(QStringLiteral(VORNKIP_HUNGOWNER), {}));

    QElapsedTimer clock;
    clock.start();
    {
        X11Capture second;
        ClipboardContent initial;
        initial.hasText = true;
        QVERIFY(second.start(&initial));
        QVERIFY(!initial.hasText);
    }
    QCOMPARE_LT(clock.elapsed(), 2000);

    QVERIFY(xclip({"-i"}, "after the hung owner"));
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(m_got.size() >= before + 2, 1000);
    QCOMPARE(m_got.size(), before + 2);
    QVERIFY(!m_got[before].hasText);
    QVERIFY(m_got[before].text.isEmpty());
    QCOMPARE(m_got[before + 1].text, "after the hung owner");
}

// Owners that stall, trickle, die, flood or answer wrongly: what they offer is recorded whole or not at
// all (a password hint not read in time counting as "secret"), the next ordinary copy arrives within a
// second, and the server is left no new atoms.
void TestX11Capture::hostileOwners_data()
{
    QTest::addColumn<QStringList>("args"); // hungowner's; a file's content follows "--file"
    QTest::addColumn<QByteArray>("whole"); // the text recorded; empty: none
    QTest::addColumn<bool>("secret");
    QTest::addColumn<bool>("told"); // the user is told that a text could not be read whole

    const QByteArray lines = numberedLines(60000);
    QTest::newRow("stall") << QStringList{} << QByteArray() << false << false;
    QTest::newRow("trickle, on after losing the clipboard")
        << QStringList{"--trickle"} << QByteArray() << false << true;
    QTest::newRow("die in the middle") << QStringList{"--die-mid", "--file"} << QByteArray() << false << true;
    QTest::newRow("one huge property") << QStringList{"--property", "--file"} << numberedLines(200000) << false
                                       << false;
    QTest::newRow("INCR, one transfer at a time like xclip")
        << QStringList{"--incr", "--file"} << lines << false << false;
    QTest::newRow("flood of changes") << QStringList{"--flood", "3000"} << QByteArray() << false << false;
    QTest::newRow("atoms for the text") << QStringList{"--wrong-type"} << QByteArray() << false << false;
    QTest::newRow("hint after 700 ms") << QStringList{"--late-hint", "700"} << QByteArray() << true << false;
    QTest::newRow("each answer after 200 ms") << QStringList{"--slow", "200"} << QByteArray() << true << false;
}

void TestX11Capture::hostileOwners()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, whole);
    QFETCH(bool, secret);
    QFETCH(bool, told);
    const QString wholeText = Clipboard::fromDesktop(QString::fromLatin1(whole));
    if (const qsizetype at = args.indexOf("--file"); at >= 0)
        args[at] = writeFile(args.first() == "--die-mid" ? numberedLines(60000) : whole);

    const xcb_atom_t atomsBefore = atomMark();
    const qsizetype before = m_got.size();
    m_troubles.clear();
    QVERIFY(startOwner(QStringLiteral(VORNKIP_HUNGOWNER), args));
    if (!whole.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(m_got.size() > before, 10000);
    else
        QTest::qWait(1500); // as long as a late answer takes, or a transfer is under way

    const QByteArray next = QByteArray("the copy after: ") + QTest::currentDataTag();
    QVERIFY(xclip({"-i"}, next));
    QTRY_COMPARE_WITH_TIMEOUT(last().text, QString::fromUtf8(next), 1000);
    qsizetype texts = 0;
    bool secretSeen = false;
    for (qsizetype i = before; i + 1 < m_got.size(); ++i) {
        secretSeen = secretSeen || m_got[i].secret;
        if (m_got[i].text.isEmpty())
            continue;
        ++texts;
        QCOMPARE(m_got[i].text.size(), wholeText.size());
        QVERIFY(m_got[i].text == wholeText);
    }
    QCOMPARE(texts, whole.isEmpty() ? 0 : 1);
    QCOMPARE(secretSeen, secret);
    QCOMPARE(m_troubles, told ? QList<ClipboardTrouble>{ClipboardTrouble::NotWhole} : QList<ClipboardTrouble>{});
    QCOMPARE_LT(atomMark() - atomsBefore, 10u);
}

// Somebody ends the capture's connection (xkill on its window): it connects again and goes on recording.
void TestX11Capture::connectionKilled()
{
    if (!haveTool(QStringLiteral("xkill")))
        QSKIP("xkill is not installed");
    const QByteArray id =
        run(QStringLiteral("xdotool"), {"search", "--name", "^vornkip clipboard capture$"}).out.trimmed();
    QVERIFY2(!id.isEmpty() && !id.contains('\n'), id.constData());
    QCOMPARE(run(QStringLiteral("xkill"), {"-id", QString::fromLatin1(id)}).exitCode, 0);
    QTest::qWait(300);
    QVERIFY(xclip({"-i"}, "after the kill"));
    QTRY_COMPARE_WITH_TIMEOUT(last().text, "after the kill", 5000);
}

// The server itself goes away: once the attempts to connect again have failed, the user is told, once.
// Its display number is out of the range other tests use, so that none of them takes it meanwhile.
void TestX11Capture::serverGone()
{
    const QProcessEnvironment env = g_env;
    QProcess server;
    const int first = 600 + int(QCoreApplication::applicationPid() % 200);
    const QString display = startXvfb(server, first, first + 20);
    g_env = env;
    QVERIFY(!display.isEmpty());
    const QByteArray ours = qgetenv("DISPLAY");
    qputenv("DISPLAY", display.toLocal8Bit());
    X11Capture capture;
    QList<ClipboardTrouble> troubles;
    connect(&capture, &CaptureBackend::trouble, this, [&troubles](ClipboardTrouble what) { troubles << what; });
    const bool started = capture.start(nullptr);
    qputenv("DISPLAY", ours);
    QVERIFY(started);
    stopXvfb(server);
    QTRY_COMPARE_WITH_TIMEOUT(troubles, QList<ClipboardTrouble>{ClipboardTrouble::ConnectionLost}, 15000);
}

// A copy larger than the memory left is not recorded, the user is told, and the next copy is recorded.
void TestX11Capture::outOfMemory()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer needs more address space than the limit would leave");
#endif
    const QString path = writeFile(numberedLines(2000000)); // 106 MB
    QVERIFY(!path.isEmpty());
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const rlim_t size = statm.readAll().split(' ').first().toULongLong() * rlim_t(sysconf(_SC_PAGESIZE));
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_AS, &old), 0);
    struct Restore
    {
        rlimit limit;
        ~Restore() { setrlimit(RLIMIT_AS, &limit); }
    } restore{old};
    const rlimit tight{size + (rlim_t(100) << 20), old.rlim_max};
    QCOMPARE(setrlimit(RLIMIT_AS, &tight), 0);

    const qsizetype before = m_got.size();
    m_troubles.clear();
    QVERIFY(startOwner(QStringLiteral(VORNKIP_HUNGOWNER), {"--incr", path}));
    QTRY_VERIFY_WITH_TIMEOUT(!m_troubles.isEmpty(), 20000);
    QCOMPARE(m_troubles, QList<ClipboardTrouble>{ClipboardTrouble::OutOfMemory});
    setrlimit(RLIMIT_AS, &old);
    QVERIFY(xclip({"-i"}, "the copy after too large a one"));
    QTRY_COMPARE_WITH_TIMEOUT(last().text, "the copy after too large a one", 1000);
    for (qsizetype i = before; i < m_got.size(); ++i)
        QVERIFY(m_got[i].text.size() < 100);
}

// Copies faster than anyone can read them: every content delivered is one that was copied, in the order
// of the copies, and the last one, which stays, is always there.
void TestX11Capture::burstsArriveInOrder_data()
{
    QTest::addColumn<bool>("withXclip"); // one xclip after the other; else clipowner --burst, 1 ms apart
    QTest::addColumn<int>("count");
    QTest::newRow("clipowner") << false << 300;
    QTest::newRow("xclip") << true << 500;
}

void TestX11Capture::burstsArriveInOrder()
{
    QFETCH(bool, withXclip);
    QFETCH(int, count);
    const qsizetype before = m_got.size();
    if (withXclip) {
        for (int i = 1; i <= count; ++i)
            QVERIFY(xclip({"-i"}, robusttexts::burstText(i)));
    } else {
        QProcess *owner =
            startOwner(QStringLiteral(VORNKIP_CLIPOWNER), {"--burst", QString::number(count), "--interval", "1"});
        QVERIFY(owner);
        QByteArray out;
        QTRY_VERIFY2_WITH_TIMEOUT((out += owner->readAllStandardOutput()).contains("burst-done"), out.right(300),
                                  20000);
    }
    // The content that stays is there for sure: the last copy (xclip's last to take the clipboard).
    if (withXclip)
        settle();
    const QString lastCopy = withXclip ? clipboardText() : QString::fromUtf8(robusttexts::burstText(count));
    QTRY_COMPARE_WITH_TIMEOUT(last().text, lastCopy, 5000);

    const QRegularExpression burst(QStringLiteral("^burst (\\d{3})$"));
    QSet<int> seen;
    int previous = 0;
    int inversions = 0;
    int unread = 0;
    for (qsizetype i = before; i < m_got.size(); ++i) {
        // An owner too busy to answer in time (under a sanitizer, say) leaves its content unread.
        if (m_got[i].text.isEmpty()) {
            ++unread;
            continue;
        }
        const QRegularExpressionMatch m = burst.match(m_got[i].text);
        QVERIFY2(m.hasMatch(), qPrintable(m_got[i].text));
        const int n = m.captured(1).toInt();
        QVERIFY2(!seen.contains(n), qPrintable(m_got[i].text + " twice"));
        seen.insert(n);
        inversions += n < previous;
        previous = n;
    }
    // xclip forks before it takes the clipboard, so two started one after the other may take it in the
    // other order: the order of the changes is known for clipowner's burst only.
    if (!withXclip)
        QCOMPARE(inversions, 0);
    qInfo("%lld of %d copies captured, %d before an earlier one, %d unread", static_cast<long long>(seen.size()), count,
          inversions, unread);
}

// Our own windows own the clipboard: Qt answers in this thread, which the back-end never waits for.
void TestX11Capture::ownWindowsAsOwner()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("own\ntext"));
    QTRY_COMPARE_WITH_TIMEOUT(last().text, "own\r\ntext", 2000);
    // Busy longer than another owner is waited for (as with a long write), this thread still answers
    // for its own content in the end, and that content arrives whole.
    QGuiApplication::clipboard()->setText(QStringLiteral("set while busy"));
    QElapsedTimer busy;
    busy.start();
    while (busy.elapsed() < 1500) {
    }
    QTRY_COMPARE_WITH_TIMEOUT(last().text, "set while busy", 3000);
    QImage picture(12, 7, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(picture);
    QTRY_VERIFY_WITH_TIMEOUT(last().hasImage, 2000);
    QCOMPARE(m_capture->readPicture(2000).size(), QSize(12, 7));
}

void TestX11Capture::noDisplay()
{
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4095");
    X11Capture capture;
    ClipboardContent initial;
    QVERIFY(!capture.start(&initial));
    qputenv("DISPLAY", display);
}

// The back-end and our own windows both use the private server, so it is started before the
// application.
int main(int argc, char *argv[])
{
    return onPrivateXvfb([&] {
        QApplication app(argc, argv);
        TestX11Capture test;
        return QTest::qExec(&test, argc, argv);
    });
}

#include "tst_x11capture.moc"
