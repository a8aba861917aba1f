// SPDX-License-Identifier: GPL-3.0-or-later
// Clipboard capture of the real program on a private Xvfb, measured from outside:
//   - latency: from the return of a copy made by another program (xclip) to the entry's line being in
//     temp.ifo, for distinct short texts made one at a time;
//   - bursts of distinct copies made one after another with 0, 10 and 100 ms between them: how many
//     were recorded, whether in order, whether any twice, whether anything was recorded that was not
//     copied;
//   - the floor in the same run, with no vornkip running: xclip's own time per copy and the round
//     trip of `xclip -o`, so figures from different machines can be compared.
// Usage: bench_capture [COPIES] [BURST] (defaults 100 and 500). Needs Xvfb, xclip and xdotool; takes
// about two minutes.
//
// xclip is started with posix_spawn and its end is watched through a pidfd; the history file through
// inotify on the data folder. Both are waited for with one poll(), so the benchmark sleeps in the
// kernel between events and takes no processor time away from the program it measures.
#include "programinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using namespace x11harness;
using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double msSince(Clock::time_point start)
{
    return msBetween(start, Clock::now());
}

using benchutil::percentile;
using benchutil::program;
using benchutil::ProgramInstance;

void printLoad(const char *when)
{
    const QByteArray load = fileBytes(QStringLiteral("/proc/loadavg")).trimmed();
    std::printf("(load average %s: %s)\n", when, load.constData());
    std::fflush(stdout);
}

// The environment of g_env as posix_spawn wants it; built once the display is known.
class ChildEnvironment
{
public:
    void build()
    {
        m_strings.clear();
        m_pointers.clear();
        for (const QString &entry : g_env.toStringList())
            m_strings.push_back(entry.toLocal8Bit());
        for (QByteArray &s : m_strings)
            m_pointers.push_back(s.data());
        m_pointers.push_back(nullptr);
    }
    char *const *envp() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_strings;
    std::vector<char *> m_pointers;
};

ChildEnvironment g_childEnv;

// One xclip run. Its standard input is a pipe already holding the text (short texts fit the pipe's
// buffer), its standard error /dev/null, its standard output /dev/null or a pipe we read. Every
// descriptor of ours is close-on-exec: the owner xclip leaves behind must not hold any of them.
class Xclip
{
public:
    enum class Mode
    {
        In,
        Out
    };

    Xclip(Mode mode, const QByteArray &text = {})
    {
        int input[2] = {-1, -1};
        int output[2] = {-1, -1};
        if (::pipe2(input, O_CLOEXEC) != 0)
            return;
        if (!text.isEmpty()) [[maybe_unused]]
            const ssize_t written = ::write(input[1], text.constData(), static_cast<size_t>(text.size()));
        ::close(input[1]);
        if (mode == Mode::Out && ::pipe2(output, O_CLOEXEC) != 0) {
            ::close(input[0]);
            return;
        }

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        if (mode == Mode::Out)
            posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        else
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        char program[] = "xclip";
        char selection[] = "-selection";
        char clipboard[] = "clipboard";
        char in[] = "-i";
        char out[] = "-o";
        char *argv[] = {program, selection, clipboard, mode == Mode::In ? in : out, nullptr};

        m_start = Clock::now();
        if (posix_spawnp(&m_pid, program, &actions, nullptr, argv, g_childEnv.envp()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        if (mode == Mode::Out) {
            ::close(output[1]);
            m_output = output[0];
        }
        if (m_pid > 0)
            m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    }
    ~Xclip()
    {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_pidfd >= 0)
            ::close(m_pidfd);
        if (m_output >= 0)
            ::close(m_output);
    }
    Xclip(const Xclip &) = delete;
    Xclip &operator=(const Xclip &) = delete;

    bool started() const { return m_pid > 0 && m_pidfd >= 0; }
    int pidfd() const { return m_pidfd; }
    Clock::time_point start() const { return m_start; }
    bool ended() const { return m_ended; }
    Clock::time_point end() const { return m_end; }

    // Called when the pidfd is readable: reaps the process and notes the moment.
    void reap()
    {
        m_end = Clock::now();
        ::waitpid(m_pid, nullptr, 0);
        m_ended = true;
    }

    // Waits for the end (at most `timeoutMs`); false when it did not end in time.
    bool waitForEnd(int timeoutMs)
    {
        if (m_ended)
            return true;
        pollfd fd{m_pidfd, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) != 1)
            return false;
        reap();
        return true;
    }

    // The output of an Out run, once it has ended (`xclip -o` writes it before it ends).
    QByteArray output() const
    {
        QByteArray all;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_output, buffer, sizeof buffer)) > 0)
            all.append(buffer, n);
        return all;
    }

private:
    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_output = -1;
    bool m_ended = false;
    Clock::time_point m_start;
    Clock::time_point m_end;
};

// The history file's lines as they are added, watched through inotify on the data folder (the file
// is appended to with one write per entry, so a line is complete when it is seen).
class HistoryWatch
{
public:
    explicit HistoryWatch(const QString &home) : m_path(QFile::encodeName(home + QStringLiteral("/temp.ifo")))
    {
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(m_inotify, QFile::encodeName(home).constData(),
                          IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE);
        // What is there already is not counted.
        readNewLines();
        m_lines.clear();
    }
    ~HistoryWatch() { ::close(m_inotify); }
    HistoryWatch(const HistoryWatch &) = delete;
    HistoryWatch &operator=(const HistoryWatch &) = delete;

    int fd() const { return m_inotify; }

    // After the inotify descriptor was readable: empties its queue and reads the complete lines added
    // since the last look. Returns how many lines were added.
    qsizetype update()
    {
        char buffer[4096];
        while (::read(m_inotify, buffer, sizeof buffer) > 0) {
        }
        const qsizetype before = m_lines.size();
        readNewLines();
        return m_lines.size() - before;
    }

    // Every line added since the watch began, without its line end.
    const QList<QByteArray> &lines() const { return m_lines; }

private:
    void readNewLines()
    {
        const int file = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
        if (file < 0)
            return;
        char buffer[65536];
        ssize_t n;
        while ((n = ::pread(file, buffer, sizeof buffer, m_offset + m_partial.size())) > 0)
            m_partial.append(buffer, n);
        ::close(file);
        qsizetype from = 0;
        for (qsizetype end; (end = m_partial.indexOf('\n', from)) >= 0; from = end + 1)
            m_lines << m_partial.mid(from, end - from).chopped(end > from && m_partial[end - 1] == '\r' ? 1 : 0);
        m_offset += from;
        m_partial.remove(0, from);
    }

    QByteArray m_path;
    int m_inotify = -1;
    qint64 m_offset = 0;
    QByteArray m_partial; // bytes after the last complete line
    QList<QByteArray> m_lines;
};

// The entry text of a history line, or nothing for a line that does not begin with six digits.
std::optional<QByteArray> entryText(const QByteArray &line)
{
    if (line.size() < 6)
        return std::nullopt;
    for (int i = 0; i < 6; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return std::nullopt;
    }
    return line.mid(6);
}

// xclip on its own, with no vornkip running: the time of one copy (start to the return of its first
// process; it forks an owner that stays) and of reading the clipboard back with `xclip -o`.
void floorFigures(int copies)
{
    std::vector<double> in;
    std::vector<double> out;
    int wrong = 0;
    // A few copies first, not counted, so that xclip and its libraries are in the page cache.
    for (int i = 0; i < 5; ++i) {
        Xclip warm(Xclip::Mode::In, "warm-up");
        warm.waitForEnd(5000);
    }
    for (int i = 0; i < copies; ++i) {
        const QByteArray text = QByteArray("floor-") + QByteArray::number(i);
        {
            Xclip copy(Xclip::Mode::In, text);
            if (!copy.started() || !copy.waitForEnd(5000)) {
                std::printf("floor: xclip -i did not start or end\n");
                return;
            }
            in.push_back(msBetween(copy.start(), copy.end()));
        }
        QThread::msleep(20); // the owner xclip left takes the selection
        Xclip paste(Xclip::Mode::Out);
        if (!paste.started() || !paste.waitForEnd(5000)) {
            std::printf("floor: xclip -o did not start or end\n");
            return;
        }
        out.push_back(msBetween(paste.start(), paste.end()));
        wrong += paste.output() == text ? 0 : 1;
        QThread::msleep(20);
    }
    std::printf("floor, no vornkip running (%d copies):\n", copies);
    std::printf("  xclip -i, start to return: median %.2f ms, p90 %.2f ms, max %.2f ms\n", percentile(in, 0.5),
                percentile(in, 0.9), percentile(in, 1));
    std::printf("  xclip -o round trip, start to end: median %.2f ms, p90 %.2f ms, max %.2f ms (%d read back wrong)\n",
                percentile(out, 0.5), percentile(out, 0.9), percentile(out, 1), wrong);
    std::fflush(stdout);
}

// Distinct copies made one at a time, each timed from xclip's return to its line in temp.ifo; the
// next one 50 ms after the line was seen (or the copy given up after 3 s).
void latencyFigures(int copies)
{
    QTemporaryDir home;
    ProgramInstance vornkip(home.path());
    if (!vornkip.launchAndShow() || !vornkip.running()) {
        std::printf("latency: the main window was not mapped\n");
        return;
    }
    HistoryWatch watch(home.path());
    std::vector<double> latency;
    std::vector<double> fromStart;
    std::vector<double> xclipTimes;
    int missed = 0;
    int beforeReturn = 0;
    for (int i = 0; i < copies; ++i) {
        const QByteArray text = QByteArray("latency-") + QByteArray::number(i);
        const qsizetype seenBefore = watch.lines().size();
        Xclip copy(Xclip::Mode::In, text);
        if (!copy.started()) {
            std::printf("latency: xclip did not start\n");
            return;
        }
        std::optional<Clock::time_point> recorded;
        while (!(recorded && copy.ended()) && msSince(copy.start()) < 3000) {
            pollfd fds[2] = {{watch.fd(), POLLIN, 0}, {copy.pidfd(), POLLIN, 0}};
            ::poll(fds, copy.ended() ? 1 : 2, 50);
            const Clock::time_point now = Clock::now();
            if (!copy.ended() && (fds[1].revents & POLLIN))
                copy.reap();
            if (!recorded && (fds[0].revents & POLLIN) && watch.update() > 0) {
                for (qsizetype l = seenBefore; l < watch.lines().size(); ++l) {
                    if (entryText(watch.lines()[l]) == text)
                        recorded = now;
                }
            }
        }
        if (!copy.waitForEnd(5000)) {
            std::printf("latency: xclip did not return\n");
            return;
        }
        xclipTimes.push_back(msBetween(copy.start(), copy.end()));
        if (!recorded) {
            ++missed;
            continue;
        }
        latency.push_back(msBetween(copy.end(), *recorded));
        fromStart.push_back(msBetween(copy.start(), *recorded));
        beforeReturn += *recorded < copy.end() ? 1 : 0;
        QThread::msleep(50);
    }
    vornkip.stop(30000);
    std::printf("capture latency, xclip's return to the line in temp.ifo (%d copies, %d not recorded within 3 s):\n",
                copies, missed);
    std::printf("  median %.2f ms, p90 %.2f ms, max %.2f ms (%d lines seen before xclip's return: negative)\n",
                percentile(latency, 0.5), percentile(latency, 0.9), percentile(latency, 1), beforeReturn);
    std::printf("  from xclip's start: median %.2f ms, p90 %.2f ms; xclip -i itself meanwhile: median %.2f ms\n",
                percentile(fromStart, 0.5), percentile(fromStart, 0.9), percentile(xclipTimes, 0.5));
    std::fflush(stdout);
}

// `count` distinct copies "burst-<gap>ms-<i>", each a separate xclip run, the next one `gapMs` after
// the previous returned; then the file is read once nothing new has come for 2 s. Each burst gets a
// program of its own on a new data folder, so no burst starts with a backlog of the one before.
void burstFigures(int count, int gapMs)
{
    QTemporaryDir home;
    ProgramInstance vornkip(home.path());
    if (!vornkip.launchAndShow() || !vornkip.running()) {
        std::printf("burst, %d ms apart: the main window was not mapped\n", gapMs);
        return;
    }
    HistoryWatch watch(home.path());
    QHash<QByteArray, int> indexOf;
    Clock::time_point lastArrival;
    auto lookAtFile = [&](int timeoutMs) {
        pollfd fd{watch.fd(), POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) == 1 && watch.update() > 0)
            lastArrival = Clock::now();
    };

    const auto start = Clock::now();
    Clock::time_point lastReturn = start;
    for (int i = 0; i < count; ++i) {
        const QByteArray text = "burst-" + QByteArray::number(gapMs) + "ms-" + QByteArray::number(i);
        indexOf.insert(text, i);
        Xclip copy(Xclip::Mode::In, text);
        if (!copy.started() || !copy.waitForEnd(10000)) {
            std::printf("burst, %d ms apart: xclip did not start or return\n", gapMs);
            return;
        }
        lastReturn = copy.end();
        while (msSince(lastReturn) < gapMs)
            lookAtFile(std::max(1, gapMs - static_cast<int>(msSince(lastReturn))));
        lookAtFile(0);
    }
    const double copying = msBetween(start, lastReturn);
    // Settled: nothing new for 2 s (at most a minute in all).
    const auto settleStart = Clock::now();
    for (;;) {
        pollfd fd{watch.fd(), POLLIN, 0};
        if (::poll(&fd, 1, 2000) != 1 || msSince(settleStart) > 60000)
            break;
        if (watch.update() > 0)
            lastArrival = Clock::now();
    }
    const bool alive = vornkip.running();
    vornkip.stop(30000);

    int recorded = 0;
    int twice = 0;
    int outOfOrder = 0;
    int invented = 0;
    int last = -1;
    QList<QByteArray> inventedExamples;
    QByteArray outOfOrderExamples;
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (const QByteArray &line : watch.lines()) {
        const std::optional<QByteArray> text = entryText(line);
        const auto found = text ? indexOf.constFind(*text) : indexOf.constEnd();
        if (found == indexOf.constEnd()) {
            ++invented;
            if (inventedExamples.size() < 3)
                inventedExamples << line.left(60);
            continue;
        }
        const int i = found.value();
        if (seen[static_cast<size_t>(i)]) {
            ++twice;
            continue;
        }
        seen[static_cast<size_t>(i)] = true;
        ++recorded;
        if (i < last) {
            ++outOfOrder;
            if (outOfOrderExamples.size() < 60)
                outOfOrderExamples += ' ' + QByteArray::number(i) + " after " + QByteArray::number(last) + ';';
        }
        last = std::max(last, i);
    }
    std::printf("burst of %d copies, %d ms apart (copying took %.1f s, last line %.0f ms after the last return%s):\n",
                count, gapMs, copying / 1000.0,
                lastArrival.time_since_epoch().count() ? msBetween(lastReturn, lastArrival) : -1.0,
                alive ? "" : ", vornkip had ended");
    std::printf("  recorded %d/%d, %s (%d out of order), %d twice, %d invented\n", recorded, count,
                outOfOrder == 0 ? "in order" : "NOT in order", outOfOrder, twice, invented);
    for (const QByteArray &example : inventedExamples)
        std::printf("  invented: \"%s\"\n", example.constData());
    if (outOfOrder > 0) {
        std::printf("  out of order:%s\n", outOfOrderExamples.constData());
        if (gapMs == 0)
            std::printf("  (xclip 0.13 takes the selection from its forked owner, after its first process returned: "
                        "copies made 0 ms apart can reach the X server swapped)\n");
    }
    QByteArray missing;
    int missingShown = 0;
    for (int i = 0; i < count && missingShown < 12; ++i) {
        if (!seen[static_cast<size_t>(i)]) {
            missing += ' ' + QByteArray::number(i);
            ++missingShown;
        }
    }
    if (recorded < count)
        std::printf("  first missing:%s%s\n", missing.constData(), count - recorded > missingShown ? " ..." : "");
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int burst = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;
    benchutil::BenchDisplay display;
    if (!display.start("capturebench"))
        return 1;
    g_childEnv.build();
    const auto start = Clock::now();
    std::printf("vornkip under Xvfb %s: %s\n", qPrintable(g_env.value(QStringLiteral("DISPLAY"))),
                qPrintable(program()));
    std::printf("(data folders in %s, file system %s)\n", qPrintable(QDir::tempPath()),
                run(QStringLiteral("stat"),
                    {QStringLiteral("-f"), QStringLiteral("-c"), QStringLiteral("%T"), QDir::tempPath()})
                    .out.trimmed()
                    .constData());
    printLoad("at the start");

    floorFigures(copies);
    latencyFigures(copies);
    for (const int gapMs : {0, 10, 100})
        burstFigures(burst, gapMs);

    printLoad("at the end");
    std::printf("(one run: %.0f s)\n", msSince(start) / 1000.0);
    return 0;
}
