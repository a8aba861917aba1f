// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland capture back-end against a real compositor: sway on its headless back-end. Other
// programs (wl-copy, wl-paste, wlsecretcopy) change and read the selection; the back-end watches it
// from a connection of its own, without the focus.
#include "e2e/swayharness.h"
#include "platform/waylandcapture.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kWaitMs = 10000;

// What the user is told of a change that was not recorded.
enum class Told
{
    Nothing,
    NotWhole,
    MaybeNotWhole, // changes replaced while they were read
    OutOfMemory
};

// The address space this process takes now, in bytes.
rlim_t addressSpace()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line; !(line = status.readLine()).isEmpty();) {
        if (line.startsWith("VmSize:"))
            return rlim_t(line.mid(7).trimmed().split(' ').first().toULongLong()) * 1024;
    }
    return 0;
}

QByteArray bigText()
{
    // 5 MB and more of numbered lines: a text cut anywhere differs from the whole.
    QByteArray text;
    for (int i = 0; text.size() < 5 * 1024 * 1024; ++i)
        text += "line " + QByteArray::number(i) + " of a large copy, \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\n";
    return text;
}

QString inProgram(const QByteArray &utf8)
{
    return Clipboard::fromDesktop(QString::fromUtf8(utf8));
}

QList<OfferedFormat> textFormats(const QByteArray &utf8)
{
    QList<OfferedFormat> formats;
    for (const char *mime : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"})
        formats.append({QByteArray(mime), utf8});
    return formats;
}
} // namespace

class TestWaylandCapture : public QObject
{
    Q_OBJECT

private:
    swayharness::Session m_session;
    QProcessEnvironment m_env;
    std::unique_ptr<CaptureBackend> m_capture;
    std::unique_ptr<QSignalSpy> m_spy;
    std::vector<std::unique_ptr<QProcess>> m_secretCopies;

    std::unique_ptr<QSignalSpy> m_troubles;

    ClipboardContent last() const { return m_spy->last().first().value<ClipboardContent>(); }

    bool captured(const QString &text) const
    {
        return std::any_of(m_spy->begin(), m_spy->end(), [&](const QList<QVariant> &args) {
            return args.first().value<ClipboardContent>().text == text;
        });
    }

    // Waits for a captured change whose text is `text`; all changes since the last wait must be read.
    bool waitForText(const QString &text, int timeoutMs = kWaitMs)
    {
        QElapsedTimer timer;
        for (timer.start(); timer.elapsed() < timeoutMs;) {
            if (!m_spy->isEmpty() && last().text == text)
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    // Starts wlsecretcopy and waits until its selection is set.
    bool secretCopy(const QByteArray &hint, const QByteArray &text, const QStringList &options = {})
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(m_env);
        p->setStandardErrorFile(QProcess::nullDevice());
        p->start(QStringLiteral(VORNKIP_WLSECRETCOPY),
                 options + QStringList{QString::fromUtf8(hint), QString::fromUtf8(text)});
        const bool ready = p->waitForReadyRead(kWaitMs) && p->readLine() == "ready\n";
        m_secretCopies.push_back(std::move(p));
        return ready;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<ClipboardContent>();
        if (!swayharness::haveSway())
            QSKIP("sway, wl-copy and wl-paste are needed");
        const QString error = m_session.start();
        if (!error.isEmpty())
            QFAIL(qPrintable(error));
        m_env = m_session.clientEnvironment();
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_session.waylandDisplay()));
        m_capture = makeWaylandCapture();
        m_spy = std::make_unique<QSignalSpy>(m_capture.get(), &CaptureBackend::captured);
        m_troubles = std::make_unique<QSignalSpy>(m_capture.get(), &CaptureBackend::trouble);
        ClipboardContent initial;
        QVERIFY(m_capture->start(&initial));
        QCOMPARE(m_capture->name(), QStringLiteral("wayland data-control"));
        QVERIFY(m_capture->sets());
    }

    void cleanupTestCase()
    {
        m_spy.reset();
        m_troubles.reset();
        m_capture.reset();
        for (const auto &p : m_secretCopies) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished();
            }
        }
        m_session.stop();
    }

    void copiedText_data()
    {
        QTest::addColumn<QByteArray>("copied");
        QTest::newRow("plain") << QByteArray("hello from wl-copy");
        QTest::newRow("two lines") << QByteArray("first line\nsecond line");
        QTest::newRow("japanese") << QByteArray("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe3\x83\x86\xe3\x82"
                                                "\xad\xe3\x82\xb9\xe3\x83\x88");
        QTest::newRow("5 MB") << bigText();
    }

    // A copy made by another program while a window of nobody's has the focus arrives whole.
    void copiedText()
    {
        QFETCH(QByteArray, copied);
        QVERIFY(swayharness::wlCopy(m_env, copied));
        QVERIFY(waitForText(inProgram(copied)));
        const ClipboardContent c = last();
        QVERIFY(c.hasText);
        QVERIFY(!c.hasImage);
        QVERIFY(!c.secret);
    }

    void otherFormats_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("hasText");
        QTest::newRow("rich text alone") << QStringLiteral("text/html") << true;
        QTest::newRow("rtf alone") << QStringLiteral("text/rtf") << true;
        QTest::newRow("neither text nor picture") << QStringLiteral("application/x-other") << false;
    }

    // A rich text without its plain-text alternative is a text, with nothing to read as one.
    void otherFormats()
    {
        QFETCH(QString, type);
        QFETCH(bool, hasText);
        m_spy->clear();
        QVERIFY(secretCopy("-", "<b>bold</b>", {QStringLiteral("--type"), type}));
        QTRY_VERIFY_WITH_TIMEOUT(!m_spy->isEmpty(), kWaitMs);
        const ClipboardContent c = last();
        QCOMPARE(c.hasText, hasText);
        QCOMPARE(c.text, QString());
        QVERIFY(!c.hasImage);
        QVERIFY(!c.secret);
    }

    void passwordManagerHint_data()
    {
        QTest::addColumn<QByteArray>("hint");
        QTest::addColumn<bool>("secret");
        QTest::newRow("secret") << QByteArray("secret") << true;
        QTest::newRow("secret with a line break") << QByteArray(" secret\n") << true;
        QTest::newRow("another value") << QByteArray("public") << false;
    }

    // A password manager's copy is reported as a secret, and its text is not read.
    void passwordManagerHint()
    {
        QFETCH(QByteArray, hint);
        QFETCH(bool, secret);
        const QByteArray text = "pass-" + QByteArray(QTest::currentDataTag()).replace(' ', '-');
        m_spy->clear();
        QVERIFY(secretCopy(hint, text));
        QTRY_VERIFY_WITH_TIMEOUT(!m_spy->isEmpty(), kWaitMs);
        const ClipboardContent c = last();
        QCOMPARE(c.secret, secret);
        QCOMPARE(c.text, secret ? QString() : QString::fromUtf8(text));
        QCOMPARE(c.hasText, !secret);
    }

    void unluckyOwners_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("hint");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("whole");   // recorded whole, or not at all
        QTest::addColumn<Told>("told");    // what the user is told
        QTest::addColumn<int>("settleMs"); // how long its change is waited for before the next copy
        // Each owner's text is its own: one that goes on writing cannot pass for the next.
        const auto row = [](const char *tag, const QStringList &options, const char *hint, bool whole, Told told,
                            int settleMs) {
            QTest::newRow(tag) << options << QByteArray(hint) << QByteArray(tag).replace(' ', '-') + " 0123456789"
                               << whole << told << settleMs;
        };
        const auto option = [](const char *name, int value) {
            return QStringList{QString::fromLatin1(name), QString::number(value)};
        };
        row("answers at once", {}, "-", true, Told::Nothing, kWaitMs);
        row("writes nothing", option("--stall-after", 0), "-", false, Told::NotWhole, 1000);
        row("stops halfway", option("--stall-after", 9), "-", false, Told::NotWhole, 1000);
        row("trickles, and goes on after it lost the selection", option("--trickle", 300), "-", false, Told::NotWhole,
            1000);
        row("ends halfway", option("--die-after", 9), "-", false, Told::NotWhole, 1000);
        row("answers its secret hint late", option("--hint-after", 700), "secret", false, Told::Nothing, 1000);
        row("never answers its hint", option("--hint-after", -1), "secret", false, Told::Nothing, 1000);
        row("5000 changes in a burst", option("--flood", 5000), "-", true, Told::MaybeNotWhole, kWaitMs);
        row("more than the memory left", option("--size", 400'000'000), "-", false, Told::OutOfMemory, kWaitMs);
    }

    // Whatever the owner of a change does, the change is recorded whole or not at all (and the user
    // is told why not), and the next copy arrives within a second.
    void unluckyOwners()
    {
        QFETCH(QStringList, options);
        QFETCH(QByteArray, hint);
        QFETCH(QByteArray, text);
        QFETCH(bool, whole);
        QFETCH(Told, told);
        QFETCH(int, settleMs);
        // For the copy larger than the memory left, what is left for this process is made less than
        // the copy (the owner started meanwhile has room enough) until the next copy.
        struct Limit
        {
            rlimit saved{};
            bool set = false;
            void restore()
            {
                if (std::exchange(set, false))
                    ::setrlimit(RLIMIT_AS, &saved);
            }
            ~Limit() { restore(); }
        } limit;
        if (told == Told::OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
            QSKIP("the address sanitizer reserves more address space than any limit leaves");
#endif
            QVERIFY(::getrlimit(RLIMIT_AS, &limit.saved) == 0);
            const rlimit less{addressSpace() + 300 * 1024 * 1024, limit.saved.rlim_max};
            QVERIFY(::setrlimit(RLIMIT_AS, &less) == 0);
            limit.set = true;
        }
        m_spy->clear();
        m_troubles->clear();
        QVERIFY(secretCopy(hint, text, options));
        const QString later = QStringLiteral("after ") + QString::fromLatin1(QTest::currentDataTag());
        (void)QTest::qWaitFor([&] { return whole ? captured(inProgram(text)) : !m_spy->isEmpty(); }, settleMs);
        limit.restore();

        QVERIFY(swayharness::wlCopy(m_env, later.toUtf8()));
        QVERIFY(waitForText(later, 1000));
        QCOMPARE(captured(inProgram(text)), whole);
        for (const QList<QVariant> &args : *m_spy) {
            const QString t = args.first().value<ClipboardContent>().text;
            QVERIFY2(t.isEmpty() || t == later || (whole && t.startsWith(inProgram(text))), qPrintable(t.left(40)));
        }
        for (const QList<QVariant> &args : *m_troubles) {
            QCOMPARE(args.first().value<ClipboardTrouble>(),
                     told == Told::OutOfMemory ? ClipboardTrouble::OutOfMemory : ClipboardTrouble::NotWhole);
        }
        if (told != Told::MaybeNotWhole)
            QCOMPARE(m_troubles->isEmpty(), told == Told::Nothing);
    }

    // A program that stops reading what we serve holds up neither the changes nor what we set next.
    void readerThatStops()
    {
        const QByteArray big = bigText();
        m_capture->set(textFormats(big));
        QVERIFY(waitForText(inProgram(big)));
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int neverRead = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(neverRead >= 0);
        QProcess paste;
        paste.setProcessEnvironment(m_env);
        paste.setStandardOutputFile(QString::fromLocal8Bit(fifo));
        paste.setStandardErrorFile(QProcess::nullDevice());
        paste.start(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")});
        QVERIFY(paste.waitForStarted());
        QTest::qWait(200); // wl-paste fills the pipe and stops

        QVERIFY(swayharness::wlCopy(m_env, "copied while a reader stalls"));
        QVERIFY(waitForText(QStringLiteral("copied while a reader stalls")));
        m_capture->set(textFormats("set while a reader stalls"));
        QVERIFY(waitForText(QStringLiteral("set while a reader stalls")));
        QCOMPARE(swayharness::wlPaste(m_env).out, QByteArray("set while a reader stalls"));

        paste.kill();
        paste.waitForFinished();
        ::close(neverRead);
    }

    void setText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("short") << QByteArray("set by us");
        QTest::newRow("japanese, two lines") << QByteArray("\xe4\xb8\x80\xe8\xa1\x8c\xe7\x9b\xae\nline two");
        QTest::newRow("5 MB") << bigText();
    }

    // What we set is what another program pastes, and our own change is captured like any other.
    void setText()
    {
        QFETCH(QByteArray, text);
        m_spy->clear();
        m_capture->set(textFormats(text));
        QVERIFY(waitForText(inProgram(text)));
        QVERIFY(last().hasText);
        const swayharness::Result pasted = swayharness::wlPaste(m_env);
        QCOMPARE(pasted.exitCode, 0);
        QCOMPARE(pasted.out.size(), text.size());
        QVERIFY(pasted.out == text);
    }

    // Emptying the clipboard: nothing to paste, and an empty content is captured.
    void setNothing()
    {
        m_capture->set(textFormats("about to go"));
        QVERIFY(waitForText(QStringLiteral("about to go")));
        m_spy->clear();
        m_capture->set({});
        QTRY_VERIFY_WITH_TIMEOUT(!m_spy->isEmpty(), kWaitMs);
        QVERIFY(!last().hasText);
        QVERIFY(!last().hasImage);
        QVERIFY(swayharness::wlPaste(m_env).exitCode != 0);
    }

    // A picture is announced with the change and read on request.
    void picture()
    {
        QImage image(37, 21, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(image.save(&buffer, "PNG"));
        m_spy->clear();
        QVERIFY(swayharness::wlCopy(m_env, png, QStringLiteral("image/png")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_spy->isEmpty() && last().hasImage, kWaitMs);
        QVERIFY(!last().hasText);
        const QImage read = m_capture->readPicture(5000);
        QCOMPARE(read.size(), image.size());
        QCOMPARE(read.pixelColor(3, 3), QColor(Qt::darkCyan));

        // A picture we set: other programs paste its bytes, and we read it back without asking ourselves.
        m_spy->clear();
        image.fill(Qt::darkMagenta);
        png.clear();
        buffer.seek(0);
        QVERIFY(image.save(&buffer, "PNG"));
        m_capture->set({{QByteArrayLiteral("image/png"), png}});
        QTRY_VERIFY_WITH_TIMEOUT(!m_spy->isEmpty() && last().hasImage, kWaitMs);
        QVERIFY(!last().hasText);
        QCOMPARE(m_capture->readPicture(5000).pixelColor(3, 3), QColor(Qt::darkMagenta));
        const swayharness::Result pasted = swayharness::run(m_env, QStringLiteral("wl-paste"),
                                                            {QStringLiteral("--type"), QStringLiteral("image/png")});
        QCOMPARE(pasted.exitCode, 0);
        QVERIFY(pasted.out == png);
    }

    // Copies made one right after the other arrive in their order, the last one always.
    void quickCopies()
    {
        m_spy->clear();
        QStringList copied;
        for (int i = 0; i < 8; ++i) {
            copied << QStringLiteral("quick copy %1").arg(i);
            QVERIFY(swayharness::wlCopy(m_env, copied.last().toUtf8()));
        }
        QVERIFY(waitForText(copied.last()));
        qsizetype previous = -1;
        for (const QList<QVariant> &args : *m_spy) {
            const QString text = args.first().value<ClipboardContent>().text;
            if (text.isEmpty())
                continue; // replaced before it could be read
            const qsizetype at = copied.indexOf(text);
            QVERIFY2(at > previous, qPrintable(text));
            previous = at;
        }
    }

    // A second watcher started now finds the current content without reporting it as a change.
    void initialContent()
    {
        QVERIFY(swayharness::wlCopy(m_env, "there before the start\n"));
        QVERIFY(waitForText(QStringLiteral("there before the start\r\n")));
        auto second = makeWaylandCapture();
        QSignalSpy spy(second.get(), &CaptureBackend::captured);
        ClipboardContent initial;
        QVERIFY(second->start(&initial));
        QCOMPARE(initial.text, QStringLiteral("there before the start\r\n"));
        QVERIFY(initial.hasText);
        QTest::qWait(200);
        QCOMPARE(spy.count(), 0);
    }

    // The compositor ends under a running back-end: it stops watching, answers what it is asked
    // without waiting, tells that it is lost, and is destroyed without hanging.
    void compositorGoesAway()
    {
        swayharness::Session other;
        const QString error = other.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QByteArray display = qgetenv("WAYLAND_DISPLAY");
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(other.waylandDisplay()));
        auto capture = makeWaylandCapture();
        ClipboardContent initial;
        const bool started = capture->start(&initial);
        qputenv("WAYLAND_DISPLAY", display);
        QVERIFY(started);
        QSignalSpy spy(capture.get(), &CaptureBackend::captured);
        QSignalSpy troubles(capture.get(), &CaptureBackend::trouble);
        QVERIFY(swayharness::wlCopy(other.clientEnvironment(), "on the compositor that goes"));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, kWaitMs);
        other.stop();
        capture->set(textFormats("after the compositor went"));
        QVERIFY(capture->readPicture(kWaitMs).isNull());
        // It tries to connect again, and says once that it could not.
        QTRY_COMPARE_WITH_TIMEOUT(troubles.count(), 1, kWaitMs);
        QCOMPARE(troubles.first().first().value<ClipboardTrouble>(), ClipboardTrouble::ConnectionLost);
        capture.reset();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(troubles.count(), 1);
    }

    // No compositor to connect to: the back-end says so and is quietly destroyed.
    void noDisplay()
    {
        const QByteArray display = qgetenv("WAYLAND_DISPLAY");
        qputenv("WAYLAND_DISPLAY", QFile::encodeName(m_session.waylandDisplay()) + ".missing");
        auto capture = makeWaylandCapture();
        ClipboardContent initial;
        const bool started = capture->start(&initial);
        qputenv("WAYLAND_DISPLAY", display);
        QVERIFY(!started);
    }
};

QTEST_MAIN(TestWaylandCapture)
#include "tst_waylandcapture.moc"
