// SPDX-License-Identifier: GPL-3.0-or-later
// Robustness end to end: the real vornkip binary on a private Xvfb, killed at random moments, stopped
// in the middle of its shutdown, and fed clipboard contents that are secret, odd, huge or fast. The
// clipboard is changed by another program of our own (clipowner), which reports what was asked of it.
// The checks read the files in the instance's data folder ($VORNKIP_HOME) by the history file's own
// reading rule.
#include "e2efixture.h"
#include "robusttexts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QSet>
#include <QStringDecoder>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
using namespace x11harness;

// For the huge text: reading, converting and writing 100 MB.
constexpr int kHugeWaitMs = 120000;

// The last `count` bytes of a file (all of a shorter one), without reading the rest.
QByteArray fileTail(const QString &path, qint64 count)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(std::max<qint64>(0, f.size() - count)))
        return {};
    return f.read(count);
}

bool writeBytes(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile f(path);
    return f.open(mode) && f.write(bytes) == bytes.size();
}

// One line of a history file by its reading rule: a line ends at CR LF or at a lone CR.
struct HistoryLine
{
    qint64 offset = 0;
    QByteArray text; // without its line end
    QByteArray end;  // "\r\n", "\r", or empty for a last line left without one
    int number = -1; // the six digits it begins with, or -1
};

int leadingNumber(const QByteArray &text)
{
    if (text.size() < 6)
        return -1;
    int n = 0;
    for (int i = 0; i < 6; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

QList<HistoryLine> historyLines(const QByteArray &bytes)
{
    QList<HistoryLine> lines;
    qint64 start = 0;
    while (start < bytes.size()) {
        HistoryLine l;
        l.offset = start;
        const qint64 cr = bytes.indexOf('\r', start);
        if (cr < 0) {
            l.text = bytes.mid(start);
            start = bytes.size();
        } else {
            l.text = bytes.mid(start, cr - start);
            l.end =
                cr + 1 < bytes.size() && bytes[cr + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
            start = cr + l.end.size();
        }
        l.number = leadingNumber(l.text);
        lines << l;
    }
    return lines;
}

// Whether the bytes end with a line end by the reading rule (CR LF or a lone CR); an empty file does.
bool endsWithLineEnd(const QByteArray &bytes)
{
    return bytes.isEmpty() || bytes.endsWith('\r') || bytes.endsWith("\r\n");
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// The line the program writes for a text that went over the clipboard with LF line breaks: LF becomes
// CR LF inside the program, and each CR LF is written as the marker.
QByteArray recordedText(QByteArray desktopText)
{
    return desktopText.replace('\n', QByteArrayLiteral("@1@2@3"));
}

QByteArray numbered(int number, const QByteArray &text)
{
    return QByteArray::number(number).rightJustified(6, '0') + text + "\r\n";
}

// A history whose lines are all whole, numbered 1, 2, 3... and valid UTF-8; returns a description of
// the first line that is not, or an empty string.
QString wellFormedHistory(const QByteArray &bytes)
{
    int expected = 1;
    for (const HistoryLine &l : historyLines(bytes)) {
        const QString at =
            QStringLiteral("line at byte %1 (%2): ").arg(l.offset).arg(QString::fromLatin1(l.text.left(40).toHex(' ')));
        if (l.end != "\r\n")
            return at + QStringLiteral("not ended by CR LF");
        if (l.number != expected)
            return at + QStringLiteral("number %1, expected %2").arg(l.number).arg(expected);
        if (!isValidUtf8(l.text))
            return at + QStringLiteral("not valid UTF-8");
        ++expected;
    }
    return {};
}

// The texts of the history's lines, without their numbers.
QList<QByteArray> recordedTexts(const QByteArray &bytes)
{
    QList<QByteArray> texts;
    for (const HistoryLine &l : historyLines(bytes))
        texts << l.text.mid(6);
    return texts;
}

quint32 permissions(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0xFFFFFFFF;
}

// The pattern of the huge text: printable ASCII, no line break.
const QByteArray kHugeUnit = QByteArrayLiteral("0123456789abcdefghijklmnopqrstuvwxyz-ABCDEFGHIJKLMNOPQRSTUVWXYZ_");
constexpr qint64 kHugeSize = 100LL * 1024 * 1024;
} // namespace

class TestRobustness final : public QObject, private ProgramFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void historySurvivesKillsAtRandomMoments();
    void settingsFileIsReplacedWhole();
    void secretIsNeverRecorded();
    void failedReadRecordsNothing();
    void filesArePrivateUnderAnOpenUmask();
    void oddTextsKeepTheHistoryWellFormed();
    void hugeTextIsRecordedWholeOrNotAtAll();
    void burstOfCopies_data();
    void burstOfCopies();
    void hungOwnerHoldsNothingUp();
    void largeTextThroughIncrIsRecordedWhole();
    void fileSizeLimitCutsTheEntryBack();
    void outOfMemoryAtStartIsTheErrorBox();

private:
    // Starts vornkip on a data folder (the test's own by default); its output goes to a log file. A
    // `limit` other than RLIM_INFINITY sets that limit on `resource` for it (as `ulimit` does).
    QProcess *startVornkip(const QString &folder = {}, bool openUmask = false, int resource = RLIMIT_AS,
                           rlim_t limit = RLIM_INFINITY);
    // Starts vornkip and waits for its main window.
    QProcess *startAndShow();
    // Starts clipowner with the given arguments and waits until it owns the clipboard. Its output is
    // kept for output() unless `quiet`.
    QProcess *startOwner(const QStringList &args, bool quiet = false);
    QByteArray output(QProcess *owner);
    // Copies a text from another program and waits until it is the history's last line.
    bool copyAndWaitRecorded(const QByteArray &text, int timeoutMs = kWaitMs);
    QString history() const { return file("temp.ifo"); }

    std::map<const QProcess *, QByteArray> m_output;
    int m_owners = 0;
};

void TestRobustness::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_BIN)).isExecutable(), VORNKIP_BIN " is not built");
    QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_CLIPOWNER)).isExecutable(), VORNKIP_CLIPOWNER " is not built");
    if (const QString tool = missingTool({"Xvfb", "xdotool", "import"}); !tool.isEmpty())
        QSKIP(qPrintable(tool + QStringLiteral(" is not installed; the robustness tests need Xvfb, xdotool and "
                                               "ImageMagick")));
    setUpEnvironment(kSessionVariables + QStringList{QStringLiteral("QT_LOGGING_RULES")});
    QVERIFY2(startDisplay(), "Xvfb did not start on any display from :90 to :120");
}

void TestRobustness::init()
{
    QVERIFY(makeFolders());
    m_owners = 0;
}

void TestRobustness::cleanup()
{
    if (QTest::currentTestFailed()) {
        saveScreen(QStringLiteral("vornkip-robustness"), QLatin1String(QTest::currentTestFunction()));
        printLogs(4000);
        const QByteArray ifo = fileBytes(history());
        qInfo("temp.ifo (%lld bytes), first 1000 bytes:\n%s", static_cast<long long>(ifo.size()),
              ifo.left(1000).toPercentEncoding(" @-:/\n").constData());
    }
    killAll(m_started);
    m_output.clear();
}

void TestRobustness::cleanupTestCase()
{
    stopDisplay();
}

QProcess *TestRobustness::startVornkip(const QString &folder, bool openUmask, int resource, rlim_t limit)
{
    return ProgramFixture::startVornkip(g_env, folder, [openUmask, resource, limit] {
        if (openUmask)
            ::umask(0);
        if (limit != RLIM_INFINITY) {
            const rlimit value{limit, limit};
            ::setrlimit(static_cast<__rlimit_resource_t>(resource), &value);
        }
    });
}

QProcess *TestRobustness::startAndShow()
{
    QProcess *p = startVornkip();
    return waitForWindow(mainWindowOf(*p)) ? p : nullptr;
}

QProcess *TestRobustness::startOwner(const QStringList &args, bool quiet)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(g_env);
    p->setStandardInputFile(QProcess::nullDevice());
    p->setStandardErrorFile(m_logs->filePath(QStringLiteral("clipowner-%1.log").arg(++m_owners)));
    if (quiet)
        p->setStandardOutputFile(QProcess::nullDevice());
    p->start(QStringLiteral(VORNKIP_CLIPOWNER), args);
    p->waitForStarted();
    QProcess *owner = track(std::move(p));
    if (!quiet) {
        for (int waited = 0; waited < kWaitMs && !output(owner).contains("owner "); waited += 10)
            QTest::qWait(10);
    }
    return owner;
}

QByteArray TestRobustness::output(QProcess *owner)
{
    QByteArray &out = m_output[owner];
    out += owner->readAllStandardOutput();
    return out;
}

bool TestRobustness::copyAndWaitRecorded(const QByteArray &text, int timeoutMs)
{
    startOwner({QStringLiteral("--text"), QString::fromUtf8(text)});
    const QByteArray line = recordedText(text) + "\r\n";
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        const QByteArray tail = fileTail(history(), line.size() + 6);
        if (tail.size() == line.size() + 6 && tail.endsWith(line) && leadingNumber(tail) >= 0)
            return true;
        QTest::qWait(20);
    }
    return false;
}

// Another program copies distinct texts every 25 ms while the program is killed (SIGKILL) at random
// moments and started again. Lines that were whole before a kill stay exactly as they were; the
// numbering goes on by one across every restart; a last line left without its line end (as a kill in
// the middle of a long write leaves it) is closed before the next entry.
void TestRobustness::historySurvivesKillsAtRandomMoments()
{
    constexpr unsigned seed = 20240611;
    constexpr int kills = 24;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> aliveMs(20, 400);
    // Copying before the first start: on a loaded machine the copier can take longer to start than
    // several rounds.
    QProcess *copier = startOwner(
        {QStringLiteral("--kill-texts"), QStringLiteral("1"), QStringLiteral("--interval"), QStringLiteral("25")});
    QVERIFY2(output(copier).contains("owner "), "the copier made no copy");
    // The long text of the last kill: 8 MB, one line.
    QByteArray bigText = QByteArrayLiteral("long write ");
    while (bigText.size() < 8 * 1024 * 1024)
        bigText += kHugeUnit;

    QByteArray before; // the file as the last run left it, torn tail included
    QSet<qint64> torn; // offsets of lines left without their line end, by a kill or on purpose
    int midWrite = 0;  // kills that left the file without a line end at its end
    int madeTorn = 0;  // torn last lines put there by the test
    int unknownTexts = 0;
    QList<qint64> runStarts; // where each run's first entry goes
    // Whole lines: numbered 1, 2, 3...; each one of the copier's texts, unchanged and in the order copied.
    // Torn lines: a numbered one takes its number (the next entry continues from it), an unnumbered one
    // takes none (the next entry gets the number the torn one was being written with).
    const auto check = [&](const QByteArray &bytes, bool report) -> QString {
        unknownTexts = 0;
        int expected = 1;
        int lastCopy = 0;
        for (const HistoryLine &l : historyLines(bytes)) {
            const QString at = QStringLiteral("line at byte %1 (%2): ")
                                   .arg(l.offset)
                                   .arg(QString::fromUtf8(l.text.left(60)).toHtmlEscaped());
            if (torn.contains(l.offset)) {
                if (l.number >= 0 && l.number != expected++)
                    return at + QStringLiteral("torn line numbered %1, expected %2").arg(l.number).arg(expected - 1);
                continue;
            }
            if (l.end != "\r\n")
                return at + QStringLiteral("not ended by CR LF");
            if (l.number != expected)
                return at + QStringLiteral("number %1, expected %2").arg(l.number).arg(expected);
            ++expected;
            const QByteArray text = l.text.mid(6);
            if (text == bigText)
                continue;
            const int copy = robusttexts::killTextIndex(text);
            if (copy < 0) {
                // Not a text the copier made: counted and reported below.
                ++unknownTexts;
                if (report) {
                    // Which run wrote it, and was it that run's first entry?
                    const auto run = std::upper_bound(runStarts.begin(), runStarts.end(), l.offset) - runStarts.begin();
                    qWarning("entry %d is not a copied text: \"%s\" (%s entry of run %lld)", l.number,
                             text.left(60).toPercentEncoding().data(),
                             run > 0 && l.offset == runStarts[run - 1] ? "first" : "a later",
                             static_cast<long long>(run));
                }
                continue;
            }
            if (copy <= lastCopy)
                return at + QStringLiteral("copy %1 recorded after copy %2").arg(copy).arg(lastCopy);
            if (text != recordedText(robusttexts::killText(copy)))
                return at + QStringLiteral("text of copy %1 changed").arg(copy);
            lastCopy = copy;
        }
        return {};
    };

    // Starts the program and checks that the history loads (the window appears) and that loading
    // changed nothing; an entry after a torn last line starts on a line of its own.
    QProcess *vornkip = nullptr;
    const auto restart = [&](const QString &label) {
        vornkip = startVornkip();
        QVERIFY2(waitForWindow(mainWindowOf(*vornkip)),
                 qPrintable(QStringLiteral("no window at %1; temp.ifo does not load").arg(label)));
        runStarts << before.size() + (endsWithLineEnd(before) ? 0 : 2);
        const QByteArray loaded = fileBytes(history());
        QVERIFY2(loaded.startsWith(before), qPrintable(QStringLiteral("%1 changed earlier bytes").arg(label)));
        if (loaded.size() > before.size() && !endsWithLineEnd(before))
            QCOMPARE(loaded.mid(before.size(), 2), QByteArray("\r\n"));
    };
    // After a kill: the lines that were whole before it are unchanged, and a last line left without
    // its line end is torn.
    const auto afterKill = [&](const QString &label, const QByteArray &whole) -> QByteArray {
        QByteArray after = fileBytes(history());
        [&] {
            QVERIFY2(after.startsWith(whole), qPrintable(QStringLiteral("%1 changed whole lines").arg(label)));
            QVERIFY(after.startsWith(before));
            if (after.size() > before.size() && !endsWithLineEnd(before))
                QCOMPARE(after.mid(before.size(), 2), QByteArray("\r\n"));
        }();
        const QList<HistoryLine> lines = historyLines(after);
        if (!lines.isEmpty() && lines.last().end.isEmpty() && !torn.contains(lines.last().offset)) {
            ++midWrite;
            torn.insert(lines.last().offset);
        }
        return after;
    };
    const auto killNow = [&] {
        QVERIFY2(vornkip->state() == QProcess::Running, "the program ended before it was killed");
        ::kill(static_cast<pid_t>(vornkip->processId()), SIGKILL);
        QVERIFY(vornkip->waitForFinished(kWaitMs));
    };

    // The history begins as a crash inside the number of its first entry leaves it (the torn line the
    // test makes lands there too when nothing was recorded before it): the numbering still goes on by
    // one across every restart.
    QVERIFY(writeBytes(history(), QByteArrayLiteral("0000")));
    before = fileBytes(history());
    torn.insert(0);

    for (int round = 0; round < kills; ++round) {
        const QString label = QStringLiteral("kill %1").arg(round + 1);
        restart(QStringLiteral("start %1").arg(round + 1));
        if (QTest::currentTestFailed())
            return;
        QTest::qWait(aliveMs(rng));
        const QByteArray atKill = fileBytes(history());
        killNow();
        if (QTest::currentTestFailed())
            return;
        QByteArray after = afterKill(label, atKill.left(atKill.lastIndexOf("\r\n") + 2));
        if (QTest::currentTestFailed())
            return;
        // Every fifth round, leave a torn last line as a kill inside a long write does: a prefix of the
        // line the next entry would be, cut in the number, in a character, after the number, or between
        // CR and LF (a line end by the reading rule).
        if (round % 5 == 2 && endsWithLineEnd(after)) {
            int next = 1;
            for (const HistoryLine &l : historyLines(after)) {
                if (l.number >= 0)
                    next = l.number + 1;
            }
            const QByteArray full = numbered(next, QByteArrayLiteral("torn 途中で切れた行"));
            const qsizetype cuts[] = {4, 6 + 6, 6, full.size() - 1};
            const QByteArray tail = full.left(cuts[madeTorn % 4]);
            QVERIFY(writeBytes(history(), tail, QIODevice::Append));
            torn.insert(after.size());
            after += tail;
            ++madeTorn;
        }
        const QString problem = check(after, false);
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("after %1: %2").arg(label, problem)));
        before = after;
    }

    // A kill inside a long write: the copier stops, another program copies an 8 MB text, and the
    // program is killed as soon as the file starts to grow.
    copier->kill();
    copier->waitForFinished();
    const QString bigSource = m_logs->filePath(QStringLiteral("long.txt"));
    QVERIFY(writeBytes(bigSource, bigText));
    restart(QStringLiteral("the start before the long write"));
    if (QTest::currentTestFailed())
        return;
    const QByteArray bigWhole = fileBytes(history());
    QVERIFY(endsWithLineEnd(bigWhole));
    startOwner({QStringLiteral("--file"), bigSource, QStringLiteral("--keep")}, true);
    {
        const QByteArray path = QFile::encodeName(history());
        struct stat st
        {
        };
        QElapsedTimer clock;
        clock.start();
        // Watch the size as fast as we can: the write of 8 MB takes a few milliseconds.
        while ((::stat(path.constData(), &st) != 0 || st.st_size == bigWhole.size()) && clock.elapsed() < kStartMs) {
        }
        QVERIFY2(st.st_size != bigWhole.size(), "the 8 MB text was not written");
    }
    killNow();
    if (QTest::currentTestFailed())
        return;
    const qsizetype tornBefore = torn.size();
    before = afterKill(QStringLiteral("the kill inside a long write"), bigWhole);
    if (QTest::currentTestFailed())
        return;
    const bool longWriteTorn = torn.size() > tornBefore;
    const QString longProblem = check(before, false);
    QVERIFY2(longProblem.isEmpty(), qPrintable(QStringLiteral("after the long write: %1").arg(longProblem)));

    // The last start goes on after everything (copies carry higher numbers from here on).
    startOwner(
        {QStringLiteral("--kill-texts"), QStringLiteral("50000"), QStringLiteral("--interval"), QStringLiteral("25")},
        true);
    restart(QStringLiteral("the last start"));
    if (QTest::currentTestFailed())
        return;
    // A new entry follows, and a clean stop keeps it all.
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(history()).size() > before.size() && fileBytes(history()).endsWith("\r\n"),
                             kWaitMs);
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    const QByteArray final = fileBytes(history());
    QVERIFY(final.startsWith(before));
    if (!endsWithLineEnd(before))
        QCOMPARE(final.mid(before.size(), 2), QByteArray("\r\n"));
    const QString problem = check(final, true);
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("at the end: %1").arg(problem)));
    // Each torn line was followed by an entry (whose number the check above compared).
    const QList<HistoryLine> lines = historyLines(final);
    QStringList tornLines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!torn.contains(lines[i].offset))
            continue;
        QVERIFY2(i + 1 < lines.size() && lines[i + 1].number >= 0 && !torn.contains(lines[i + 1].offset),
                 qPrintable(QStringLiteral("no entry after the torn line at byte %1").arg(lines[i].offset)));
        tornLines << QStringLiteral("%1 bytes%2 numbered %3, next entry %4")
                         .arg(lines[i].text.size())
                         .arg(lines[i].end == "\r" ? QStringLiteral(" + CR") : QString())
                         .arg(lines[i].number >= 0 ? QString::number(lines[i].number) : QStringLiteral("-"))
                         .arg(lines[i + 1].number);
    }
    qInfo("torn lines: %s", qPrintable(tornLines.join(QStringLiteral("; "))));
    qInfo("kills: %d at random moments (seed %u) and 1 inside an 8 MB write (%s); kills that left a torn last "
          "line: %d; torn last lines made by the test: %d; entries: %lld, %lld bytes",
          kills, seed, longWriteTorn ? "torn" : "the write had ended", midWrite, madeTorn,
          static_cast<long long>(historyLines(final).size()), static_cast<long long>(final.size()));
    QVERIFY2(unknownTexts == 0,
             qPrintable(QStringLiteral("%1 entries hold a text that was never copied").arg(unknownTexts)));
}

// form.ini is written at exit through a temporary file and a rename: however early the program is
// killed during its shutdown, form.ini is the old file or the new one, whole.
void TestRobustness::settingsFileIsReplacedWhole()
{
    const QString ini = file("form.ini");
    const auto leftovers = [&] {
        return QDir(home()).entryList({QStringLiteral(".form.ini.*")}, QDir::Files | QDir::Hidden, QDir::Name);
    };
    // Each non-empty line is a [section] or a key=value pair, and the main window's place is there.
    const auto parses = [](const QByteArray &bytes) {
        if (!bytes.endsWith("\r\n") || !bytes.contains("[Main]\r\n") || !bytes.contains("[Data]\r\n"))
            return false;
        for (const QByteArray &line : bytes.split('\n')) {
            const QByteArray l = line.trimmed();
            if (!l.isEmpty() && !(l.startsWith('[') && l.endsWith(']')) && !l.contains('='))
                return false;
        }
        return true;
    };

    QProcess *clean = startAndShow();
    QVERIFY2(clean, "no vornkip window appeared");
    QCOMPARE(stop(clean, SIGTERM), 0);
    const QByteArray first = fileBytes(ini);
    QVERIFY2(parses(first), first.constData());
    QCOMPARE(leftovers(), QStringList());

    // The old file differs from what the program writes: a title setting that is not a number is
    // written back as 1.
    QVERIFY2(first.contains("\r\nTitle=1\r\n"), first.constData());
    QByteArray old = first;
    old.replace("\r\nTitle=1\r\n", "\r\nTitle=old\r\n");
    QVERIFY(writeBytes(ini, old));
    QProcess *reference = startAndShow();
    QVERIFY2(reference, "no vornkip window appeared");
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(stop(reference, SIGTERM), 0);
    const qint64 shutdownUs = clock.nsecsElapsed() / 1000;
    const QByteArray fresh = fileBytes(ini);
    QVERIFY(fresh != old);
    QVERIFY2(parses(fresh), fresh.constData());
    QCOMPARE(leftovers(), QStringList());

    std::mt19937 rng(4711);
    std::uniform_int_distribution<qint64> delayUs(0, shutdownUs + shutdownUs / 5);
    int killedBeforeExit = 0;
    int oldKept = 0;
    for (int attempt = 1; attempt <= 10; ++attempt) {
        QVERIFY(writeBytes(ini, old));
        const qsizetype leftoversBefore = leftovers().size();
        QProcess *p = startAndShow();
        QVERIFY2(p, "no vornkip window appeared");
        const qint64 delay = delayUs(rng);
        const auto pid = static_cast<pid_t>(p->processId());
        ::kill(pid, SIGTERM);
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        ::kill(pid, SIGKILL);
        QVERIFY(p->waitForFinished(kWaitMs));
        if (p->exitStatus() == QProcess::CrashExit)
            ++killedBeforeExit;
        const QByteArray now = fileBytes(ini);
        QVERIFY2(now == old || now == fresh,
                 qPrintable(QStringLiteral("attempt %1 (SIGKILL %2 us after SIGTERM): form.ini is neither the old "
                                           "nor the new file:\n%3")
                                .arg(attempt)
                                .arg(delay)
                                .arg(QString::fromUtf8(now))));
        if (now == old)
            ++oldKept;
        QVERIFY2(leftovers().size() <= leftoversBefore + 1, qPrintable(leftovers().join(QLatin1Char(' '))));
    }

    // A leftover temporary file is never read as the settings: with one that places the window
    // elsewhere, the window still opens where form.ini says, and the next clean exit writes form.ini.
    QVERIFY(writeBytes(home() + QStringLiteral("/.form.ini.decoy1"),
                       QByteArray(fresh).replace("[Main]\r\nPosX=0\r\nPosY=0", "[Main]\r\nPosX=4500\r\nPosY=3000")));
    QVERIFY(fresh.contains("[Main]\r\nPosX=0\r\nPosY=0"));
    const qsizetype leftoverCount = leftovers().size();
    QProcess *after = startVornkip();
    const qulonglong window = waitForWindow(mainWindowOf(*after));
    QVERIFY2(window, "no vornkip window appeared with leftovers in the folder");
    QCOMPARE(windowGeometry(window).topLeft(), QPoint(0, 0));
    QCOMPARE(stop(after, SIGTERM), 0);
    QCOMPARE(fileBytes(ini), fresh);
    QCOMPARE(leftovers().size(), leftoverCount);
    qInfo("shutdown took %lld us; of 10 kills during it, %d landed before the exit, form.ini was the old file %d "
          "times, %lld temporary files were left",
          static_cast<long long>(shutdownUs), killedBeforeExit, oldKept, static_cast<long long>(leftoverCount - 1));
}

// A content that offers "x-kde-passwordManagerHint" = "secret" is never recorded.
void TestRobustness::secretIsNeverRecorded()
{
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWaitRecorded("normal before the secret"));

    QProcess *secret =
        startOwner({QStringLiteral("--text"), QStringLiteral("hunter2 my password"), QStringLiteral("--secret")});
    // The program looked at the hint (and so has decided about this content)...
    QTRY_VERIFY_WITH_TIMEOUT(output(secret).contains("served 0 x-kde-passwordManagerHint"), kWaitMs);
    // ...before it reads the next one: if it recorded the secret, the secret is entry 2.
    QVERIFY(copyAndWaitRecorded("normal after the secret"));
    const QByteArray expected = "000001normal before the secret\r\n000002normal after the secret\r\n";
    QCOMPARE(fileBytes(history()), expected);
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    QCOMPARE(fileBytes(history()), expected);
    for (const QString &name : QDir(home()).entryList(QDir::Files | QDir::Hidden))
        QVERIFY2(!fileBytes(home() + QLatin1Char('/') + name).contains("hunter2"), qPrintable(name));
    QByteArrayList asked;
    for (const QByteArray &line : output(secret).split('\n')) {
        if (line.startsWith("served "))
            asked << line.mid(7);
    }
    qInfo("what the program asked the secret's owner for: %s", asked.join(", ").constData());
}

// The owner of the clipboard goes away while the program asks it for the text (a program that quits
// or crashes right after copying): nothing was read, so nothing is recorded, and the next copy is
// the next entry.
void TestRobustness::failedReadRecordsNothing()
{
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWaitRecorded("normal before"));
    QProcess *gone =
        startOwner({QStringLiteral("--text"), QStringLiteral("never read"), QStringLiteral("--quit-when-asked")});
    QTRY_VERIFY_WITH_TIMEOUT(output(gone).contains("quit 0 text/"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(gone->state(), QProcess::NotRunning, kWaitMs);
    // The program waits for an answer that never comes, gives up, and reads the next copy.
    QVERIFY(copyAndWaitRecorded("normal after", 3 * kWaitMs));
    QCOMPARE(fileBytes(history()), QByteArray("000001normal before\r\n000002normal after\r\n"));
    QCOMPARE(stop(vornkip, SIGTERM), 0);
}

// Under umask 000, a data folder the program creates is 0700 and every file it creates is 0600.
void TestRobustness::filesArePrivateUnderAnOpenUmask()
{
    const QString folder = home() + QStringLiteral("/not/yet");
    QVERIFY(!QFileInfo::exists(folder));
    QProcess *vornkip = startVornkip(folder, true);
    QVERIFY2(waitForWindow(mainWindowOf(*vornkip)), "no vornkip window appeared");
    startOwner({QStringLiteral("--text"), QStringLiteral("private text")});
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(folder + QStringLiteral("/temp.ifo")), QByteArray("000001private text\r\n"),
                              kWaitMs);
    QCOMPARE(stop(vornkip, SIGTERM), 0);

    QCOMPARE(QString::number(permissions(folder), 8), QStringLiteral("700"));
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const char *name : {"temp.ifo", "form.ini", ".vornkip.lock"})
        QVERIFY2(files.contains(QLatin1String(name)), name);
    for (const QString &name : files)
        QCOMPARE(name + QLatin1Char(' ') + QString::number(permissions(folder + QLatin1Char('/') + name), 8),
                 name + QStringLiteral(" 600"));
}

// Odd texts, each copied between two normal ones: whatever the program makes of them, the history stays
// a file of whole, numbered, valid lines that the next start loads and continues.
void TestRobustness::oddTextsKeepTheHistoryWellFormed()
{
    const std::vector<std::pair<const char *, QByteArray>> odd = {
        {"empty text", QByteArray()},
        {"only CR LF pairs", QByteArrayLiteral("\r\n\r\n\r\n")},
        {"only LF", QByteArrayLiteral("\n\n")},
        {"NUL inside", QByteArray("a\0b", 3)},
        {"only NUL", QByteArray("\0", 1)},
        {"unpaired surrogate as UTF-8 (ED A0 80)", QByteArrayLiteral("x\xED\xA0\x80y")},
        {"right-to-left marks", QByteArrayLiteral("\xE2\x80\x8F"
                                                  "abc\xE2\x80\x8F")},
    };
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    QStringList outcome;
    for (size_t i = 0; i < odd.size(); ++i) {
        QVERIFY(copyAndWaitRecorded("normal " + QByteArray::number(i)));
        const qsizetype linesBefore = historyLines(fileBytes(history())).size();
        QProcess *owner = startOwner({QStringLiteral("--hex"), QString::fromLatin1(odd[i].second.toHex())});
        // The program asked for the text.
        QTRY_VERIFY_WITH_TIMEOUT(output(owner).contains("served 0 text/plain"), kWaitMs);
        QVERIFY(copyAndWaitRecorded("normal after " + QByteArray::number(i)));
        const QList<HistoryLine> lines = historyLines(fileBytes(history()));
        outcome << QLatin1String(odd[i].first) + QStringLiteral(": ") +
                       (lines.size() - linesBefore == 2
                            ? QStringLiteral("recorded as \"%1\"")
                                  .arg(QString::fromLatin1(lines[lines.size() - 2].text.mid(6).toHex(' ')))
                            : QStringLiteral("not recorded"));
    }
    const QByteArray bytes = fileBytes(history());
    const QString problem = wellFormedHistory(bytes);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    qInfo("%s", qPrintable(outcome.join(QStringLiteral("; "))));

    // The next start loads them all and goes on with the next number.
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    QCOMPARE(fileBytes(history()), bytes);
    const int last = historyLines(bytes).last().number;
    QProcess *again = startAndShow();
    QVERIFY2(again, "no vornkip window appeared after the restart");
    QVERIFY(copyAndWaitRecorded("after the restart"));
    QCOMPARE(fileBytes(history()), bytes + numbered(last + 1, "after the restart"));
    QCOMPARE(stop(again, SIGTERM), 0);
}

// A 100 MB text from another program is recorded whole or not at all, and the program goes on
// recording copies after it.
void TestRobustness::hugeTextIsRecordedWholeOrNotAtAll()
{
    const QString source = m_logs->filePath(QStringLiteral("huge.txt"));
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray chunk = kHugeUnit.repeated(1024 * 1024 / kHugeUnit.size());
        for (qint64 written = 0; written < kHugeSize; written += chunk.size())
            QVERIFY(f.write(chunk) == chunk.size());
    }
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWaitRecorded("before the huge text"));
    const qint64 sizeBefore = QFileInfo(history()).size();

    QElapsedTimer clock;
    clock.start();
    QProcess *huge = startOwner({QStringLiteral("--file"), source, QStringLiteral("--keep")});
    QTRY_VERIFY_WITH_TIMEOUT(output(huge).contains("served 0 text/plain"), kWaitMs);
    // The program is reading it: the next copy is handled after that one, however long it takes.
    QVERIFY2(copyAndWaitRecorded("after the huge text", kHugeWaitMs),
             "a small copy after the huge text was not recorded: the program stopped responding");
    const qint64 elapsedMs = clock.elapsed();
    QCOMPARE(vornkip->state(), QProcess::Running);

    const qint64 hugeLine = 6 + kHugeSize + 2;
    const qint64 smallLine = 6 + qint64(sizeof("after the huge text")) - 1 + 2;
    const qint64 grown = QFileInfo(history()).size() - sizeBefore;
    QVERIFY2(grown == smallLine || grown == hugeLine + smallLine,
             qPrintable(QStringLiteral("temp.ifo grew by %1 bytes: neither the whole text nor nothing").arg(grown)));
    const bool recorded = grown != smallLine;
    if (recorded) {
        // The line is the whole text, byte for byte; read in pieces, not all at once.
        QFile f(history());
        QVERIFY(f.open(QIODevice::ReadOnly) && f.seek(sizeBefore));
        QCOMPARE(f.read(6), QByteArray("000002"));
        const QByteArray expected = kHugeUnit.repeated(1024 * 1024 / kHugeUnit.size());
        for (qint64 done = 0; done < kHugeSize; done += expected.size())
            QVERIFY2(f.read(expected.size()) == expected,
                     qPrintable(QStringLiteral("differs after byte %1").arg(done)));
        QCOMPARE(f.read(8), QByteArray("\r\n000003"));
    }
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    qInfo("100 MB text %s; the next small copy was recorded %lld ms after the huge copy began",
          recorded ? "recorded whole" : "not recorded", static_cast<long long>(elapsedMs));
}

void TestRobustness::burstOfCopies_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("200 copies 5 ms apart") << 5;
    QTest::newRow("200 copies 10 ms apart") << 10;
}

// 200 copies within a second or two from one program: the program may miss copies that the next one
// replaces before it can read them, but what it records is copies that were made, in their order,
// each once, and the last one (which stays on the clipboard) for sure.
void TestRobustness::burstOfCopies()
{
    QFETCH(int, intervalMs);
    constexpr int count = 200;
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    // As on a desktop in use, the clipboard holds something (another program's) when the burst begins.
    QVERIFY(copyAndWaitRecorded("before the burst"));
    QProcess *owner = startOwner(
        {QStringLiteral("--burst"), QString::number(count), QStringLiteral("--interval"), QString::number(intervalMs)});
    QTRY_VERIFY_WITH_TIMEOUT(output(owner).contains("burst-done"), kWaitMs + count * intervalMs);
    const QByteArray lastLine = robusttexts::burstText(count) + "\r\n";
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(history()).endsWith(lastLine), kWaitMs);

    // What the program read: the copies whose text its owner handed out.
    QSet<int> served;
    qint64 burstMs = -1;
    for (const QByteArray &line : output(owner).split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() >= 3 && words[0] == "served" && words[2].startsWith("text/plain"))
            served.insert(words[1].toInt());
        else if (words.size() == 2 && words[0] == "burst-done")
            burstMs = words[1].toLongLong();
    }

    const QByteArray bytes = fileBytes(history());
    const QString problem = wellFormedHistory(bytes);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QList<int> recorded;
    QStringList strangers;
    QList<QByteArray> texts = recordedTexts(bytes);
    QCOMPARE(texts.takeFirst(), QByteArray("before the burst"));
    for (const QByteArray &text : texts) {
        const int i = text.startsWith("burst ") ? text.mid(6).toInt() : 0;
        if (i >= 1 && i <= count && text == robusttexts::burstText(i))
            recorded << i;
        else
            strangers << QStringLiteral("\"%1\"").arg(QString::fromUtf8(text.toPercentEncoding(" ")));
    }
    qInfo("interval %d ms: the burst took %lld ms; the program read %lld of %d copies and recorded %lld; "
          "entries that are no copy: %lld",
          intervalMs, static_cast<long long>(burstMs), static_cast<long long>(served.size()), count,
          static_cast<long long>(recorded.size()), static_cast<long long>(strangers.size()));
    for (qsizetype i = 1; i < recorded.size(); ++i)
        QVERIFY2(recorded[i] > recorded[i - 1],
                 qPrintable(QStringLiteral("copy %1 recorded after copy %2").arg(recorded[i]).arg(recorded[i - 1])));
    QVERIFY2(
        strangers.isEmpty(),
        qPrintable(QStringLiteral("entries that were never copied: %1").arg(strangers.join(QStringLiteral(", ")))));
    // A clean stop keeps the history as it was.
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    QCOMPARE(fileBytes(history()), bytes);
}

// A clipboard owner that never answers holds nothing up: a key is handled at once (F6 asks its question)
// while the owner is being waited for, and the copy after it is recorded within a second.
void TestRobustness::hungOwnerHoldsNothingUp()
{
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    const qulonglong window = waitForWindow(mainWindowOf(*vornkip));
    QVERIFY(copyAndWaitRecorded("before the hung owner"));

    auto hung = std::make_unique<QProcess>();
    hung->setProcessEnvironment(g_env);
    hung->start(QStringLiteral(VORNKIP_HUNGOWNER), {});
    QVERIFY(hung->waitForReadyRead(kWaitMs) && hung->readLine().startsWith("owner"));
    track(std::move(hung));

    QElapsedTimer clock;
    clock.start();
    keySync(window, QStringLiteral("F6"));
    const qulonglong box =
        waitForWindow(ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^削除確認$")}), 2000);
    QVERIFY2(box, "no question box within 2 s of F6 while the clipboard's owner hangs");
    const qint64 keyMs = clock.elapsed();
    keySync(box, QStringLiteral("alt+n"));

    QVERIFY2(copyAndWaitRecorded("after the hung owner", 1000), "the copy after the hung owner took over a second");
    QCOMPARE(fileBytes(history()), QByteArray("000001before the hung owner\r\n000002after the hung owner\r\n"));
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    qInfo("F6 answered in %lld ms while the owner hung", static_cast<long long>(keyMs));
}

// A 20 MB text, which the owner hands out in pieces (INCR), is recorded whole, byte for byte.
void TestRobustness::largeTextThroughIncrIsRecordedWhole()
{
    constexpr qint64 size = 20LL * 1024 * 1024;
    const QByteArray text = kHugeUnit.repeated(size / kHugeUnit.size());
    const QString source = m_logs->filePath(QStringLiteral("large.txt"));
    QVERIFY(writeBytes(source, text));
    QProcess *vornkip = startAndShow();
    QVERIFY2(vornkip, "no vornkip window appeared");
    QVERIFY(copyAndWaitRecorded("before the large text"));
    const qint64 sizeBefore = QFileInfo(history()).size();

    QElapsedTimer clock;
    clock.start();
    startOwner({QStringLiteral("--file"), source});
    const QByteArray line = "000002" + text + "\r\n";
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(history()).size(), sizeBefore + line.size(), kHugeWaitMs);
    const qint64 elapsedMs = clock.elapsed();
    QVERIFY(fileBytes(history()).mid(sizeBefore) == line);
    QCOMPARE(stop(vornkip, SIGTERM), 0);
    qInfo("20 MB text recorded %lld ms after it was copied", static_cast<long long>(elapsedMs));
}

// Under a file-size limit (ulimit -f) an entry that would cross it is not written: the write fails,
// the file is cut back to its whole entries and the error box says so; the program goes on.
void TestRobustness::fileSizeLimitCutsTheEntryBack()
{
    const QByteArray before = numbered(1, "first") + numbered(2, "second");
    QVERIFY(writeBytes(history(), before));
    QProcess *vornkip = startVornkip({}, false, RLIMIT_FSIZE, static_cast<rlim_t>(before.size() + 4096));
    QVERIFY2(waitForWindow(mainWindowOf(*vornkip)), "no vornkip window appeared");
    startOwner({QStringLiteral("--text"), QString(20000, QLatin1Char('z'))});
    QVERIFY2(waitForWindow(ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^61$")})),
             "no error box titled 61");
    QCOMPARE(vornkip->state(), QProcess::Running);
    QCOMPARE(fileBytes(history()), before);
    QCOMPARE(stop(vornkip, SIGTERM), 0);
}

// Out of memory while a large history is read at the start (here an address-space limit just above
// what the program needs with an empty one): the start ends in the error box, or goes on; it never
// aborts, and the history file is not touched.
void TestRobustness::outOfMemoryAtStartIsTheErrorBox()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer needs more address space than the limit would leave");
#endif
    QProcess *probe = startAndShow();
    QVERIFY2(probe, "no vornkip window appeared");
    QTest::qWait(500);
    rlim_t peakKb = 0;
    for (const QByteArray &line : fileBytes(QStringLiteral("/proc/%1/status").arg(probe->processId())).split('\n')) {
        if (line.startsWith("VmPeak:"))
            peakKb = line.mid(7).trimmed().split(' ').value(0).toULongLong();
    }
    QVERIFY(peakKb > 0);
    QCOMPARE(stop(probe, SIGTERM), 0);

    // Eight million entries: their index alone needs more than 64 MB beyond that.
    const QByteArray big = numbered(1, "").repeated(8 << 20);
    QVERIFY(writeBytes(history(), big));
    const QFileInfo was(history());
    QProcess *vornkip = startVornkip({}, false, RLIMIT_AS, (peakKb + 64 * 1024) * 1024);
    const QStringList errorBox = ofProcess(*vornkip, {QStringLiteral("--name"), QStringLiteral("^7$")});
    QTRY_VERIFY_WITH_TIMEOUT(vornkip->state() != QProcess::Running || !findWindows(errorBox).isEmpty() ||
                                 !findWindows(mainWindowOf(*vornkip)).isEmpty(),
                             kStartMs);
    QVERIFY2(vornkip->state() == QProcess::Running, "the start ended without a box");
    const QFileInfo now(history());
    QCOMPARE(now.size(), was.size());
    QCOMPARE(now.lastModified(), was.lastModified());
    qInfo("under %llu kB of address space: %s", static_cast<unsigned long long>(peakKb + 64 * 1024),
          findWindows(errorBox).isEmpty() ? "the bar" : "the error box");
}

QTEST_GUILESS_MAIN(TestRobustness)
#include "tst_robustness.moc"
