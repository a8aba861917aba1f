// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a private Xvfb, measured from outside:
//   - start-up to the main window being mapped, with an empty history and with 1M entries
//     (and, for each, the time from SIGTERM to the end of the process);
//   - latency from a copy made by another program (xclip) to its line being in temp.ifo;
//   - 1,000 distinct copies one after another, each waited for: how many were recorded.
// Needs Xvfb, xclip and xdotool. Takes a few minutes, most of it generating and loading 1M entries.
#include "programinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
using namespace x11harness;
using benchutil::Clock;
using benchutil::msSince;
using benchutil::ProgramInstance;

// The value at fraction p (0..1) of the sorted values, the rank rounded down; 0 for none.
double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

std::vector<double> g_looks; // how long one look for the window takes, which bounds the start-up figures' precision

bool mainWindowMapped(const QProcess &p)
{
    const auto start = Clock::now();
    const bool mapped = !findWindows(mainWindowOf(p)).isEmpty();
    g_looks.push_back(msSince(start));
    return mapped;
}

// Starts the program and returns the milliseconds to its main window being mapped; negative when it
// was not mapped in time.
double startAndWaitForWindow(ProgramInstance &vornkip, int timeoutMs)
{
    const auto start = Clock::now();
    if (!vornkip.launch())
        return -1;
    while (msSince(start) < timeoutMs) {
        if (mainWindowMapped(vornkip.process()))
            return msSince(start);
        if (vornkip.process().waitForFinished(2))
            return -1;
    }
    return -1;
}

void startupFigures(const char *label, const QString &home, int runs, bool freshFolderEachRun)
{
    std::vector<double> starts;
    std::vector<double> stops;
    long rss = -1;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir fresh;
        ProgramInstance vornkip(freshFolderEachRun ? fresh.path() : home, QStringLiteral(VORNKIP_BIN));
        const double started = startAndWaitForWindow(vornkip, 120000);
        if (started < 0) {
            std::printf("start-up, %s: the window was not mapped within 120 s\n", label);
            return;
        }
        QThread::msleep(500); // let the start finish before sampling memory and stopping
        rss = vornkip.statusKb("VmRSS:");
        starts.push_back(started);
        const double stopped = vornkip.terminate(120000);
        if (stopped < 0) {
            std::printf("shutdown after SIGTERM, %s: did not end within 120 s\n", label);
            return;
        }
        stops.push_back(stopped);
    }
    std::printf("start-up to the window mapped, %s: median %.1f ms, min %.1f ms, max %.1f ms (%d runs)\n", label,
                percentile(starts, 0.5), percentile(starts, 0), percentile(starts, 1), runs);
    std::printf("shutdown after SIGTERM, %s: median %.1f ms (%d runs)\n", label, percentile(stops, 0.5), runs);
    std::printf("resident memory 0.5 s after the window was mapped, %s: %.1f MB\n", label,
                static_cast<double>(rss) / 1024.0);
    std::fflush(stdout);
}

// Copies texts with xclip and times each until the history file has grown, watched through inotify.
class Copier
{
public:
    Copier(const QString &home, const QString &input) : m_history(home + QStringLiteral("/temp.ifo")), m_input(input)
    {
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        inotify_add_watch(m_inotify, QFile::encodeName(home).constData(), IN_MODIFY | IN_CREATE | IN_MOVED_TO);
    }
    ~Copier() { ::close(m_inotify); }
    Copier(const Copier &) = delete;
    Copier &operator=(const Copier &) = delete;

    struct Copy
    {
        double recordedMs = -1; // from starting xclip to the history file growing; negative: not seen
        double xclipMs = -1;    // from starting xclip to its first process ending (it forks an owner)
    };

    Copy copy(const QByteArray &text, int timeoutMs)
    {
        QFile input(m_input);
        input.open(QIODevice::WriteOnly | QIODevice::Truncate);
        input.write(text);
        input.close();
        drain();
        const qint64 before = QFileInfo(m_history).size();

        Copy result;
        QProcess xclip;
        xclip.setProcessEnvironment(g_env);
        xclip.setStandardInputFile(m_input);
        xclip.setStandardOutputFile(QProcess::nullDevice());
        xclip.setStandardErrorFile(QProcess::nullDevice());
        const auto start = Clock::now();
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
        while (msSince(start) < timeoutMs) {
            pollfd fd{m_inotify, POLLIN, 0};
            ::poll(&fd, 1, result.xclipMs < 0 ? 1 : 20);
            drain();
            if (QFileInfo(m_history).size() > before) {
                result.recordedMs = msSince(start);
                break;
            }
            if (result.xclipMs < 0 && xclip.waitForFinished(0))
                result.xclipMs = msSince(start);
        }
        xclip.waitForFinished();
        if (result.xclipMs < 0)
            result.xclipMs = msSince(start);
        return result;
    }

private:
    void drain()
    {
        char buffer[4096];
        while (::read(m_inotify, buffer, sizeof buffer) > 0) {
        }
    }

    QString m_history;
    QString m_input;
    int m_inotify = -1;
};

void latencyFigures(const QString &parent, int copies)
{
    const QString home = parent + QStringLiteral("/home");
    QDir(parent).mkdir(QStringLiteral("home"));
    ProgramInstance vornkip(home, QStringLiteral(VORNKIP_BIN));
    if (startAndWaitForWindow(vornkip, 60000) < 0) {
        std::printf("copy latency: the window was not mapped within 60 s\n");
        return;
    }
    Copier copier(home, parent + QStringLiteral("/copy.txt"));
    std::vector<double> recorded;
    std::vector<double> xclip;
    int missed = 0;
    for (int i = 0; i < copies; ++i) {
        const Copier::Copy c =
            copier.copy(QStringLiteral("latency %1 コピー").arg(i, 4, 10, QLatin1Char('0')).toUtf8(), 3000);
        xclip.push_back(c.xclipMs);
        if (c.recordedMs < 0)
            ++missed;
        else
            recorded.push_back(c.recordedMs);
    }
    std::printf("copy to line in temp.ifo, from starting xclip: median %.1f ms, p95 %.1f ms (%zu copies, %d not "
                "recorded within 3 s)\n",
                percentile(recorded, 0.5), percentile(recorded, 0.95), recorded.size(), missed);
    std::printf("xclip's own run time for the same copies (start to first process ending): median %.1f ms, p95 "
                "%.1f ms\n",
                percentile(xclip, 0.5), percentile(xclip, 0.95));
    std::fflush(stdout);
    vornkip.terminate(60000);
}

void sequenceFigures(const QString &parent, int copies)
{
    const QString home = parent + QStringLiteral("/home");
    QDir(parent).mkdir(QStringLiteral("home"));
    ProgramInstance vornkip(home, QStringLiteral(VORNKIP_BIN));
    if (startAndWaitForWindow(vornkip, 60000) < 0) {
        std::printf("copy sequence: the window was not mapped within 60 s\n");
        return;
    }
    Copier copier(home, parent + QStringLiteral("/copy.txt"));
    const auto start = Clock::now();
    int timeouts = 0;
    int inARow = 0;
    int made = 0;
    QList<QByteArray> texts;
    for (; made < copies && inARow < 20; ++made) {
        texts << QStringLiteral("sequence %1 連続").arg(made, 4, 10, QLatin1Char('0')).toUtf8();
        if (copier.copy(texts.last(), 2000).recordedMs < 0) {
            ++timeouts;
            ++inARow;
        } else {
            inARow = 0;
        }
    }
    const double total = msSince(start);
    vornkip.terminate(60000);

    // Count the copies whose exact line is in the file.
    QFile f(home + QStringLiteral("/temp.ifo"));
    f.open(QIODevice::ReadOnly);
    const QList<QByteArray> lines = f.readAll().split('\n');
    QSet<QByteArray> seen;
    for (const QByteArray &line : lines)
        seen.insert(line.mid(6).chopped(line.endsWith('\r') ? 1 : 0));
    int found = 0;
    for (const QByteArray &t : texts)
        found += seen.contains(t) ? 1 : 0;
    std::printf("%d distinct copies one after another, each waited for: %d recorded (%d waits timed out%s), %.1f s "
                "in all\n",
                copies, found, timeouts, made < copies ? ", stopped after 20 in a row" : "", total / 1000.0);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    benchutil::BenchDisplay display;
    if (!display.start("startupbench", {QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("XAUTHORITY"),
                                        QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("QT_QPA_PLATFORMTHEME"),
                                        QStringLiteral("QT_STYLE_OVERRIDE"), QStringLiteral("VORNKIP_HOME")}))
        return 1;
    std::printf("vornkip under Xvfb %s: %s\n", qPrintable(g_env.value(QStringLiteral("DISPLAY"))), VORNKIP_BIN);
    std::fflush(stdout);

    startupFigures("empty history", {}, 5, true);

    {
        QTemporaryDir big;
        const auto start = Clock::now();
        if (run(QStringLiteral(GEN_HISTORY), {QStringLiteral("1000000"), big.filePath(QStringLiteral("temp.ifo"))},
                600000)
                .exitCode != 0) {
            std::printf("start-up, 1M entries: generating the history failed\n");
        } else {
            std::printf("(1M-entry history generated: %.1f MB in %.1f s; warm page cache)\n",
                        static_cast<double>(QFileInfo(big.filePath(QStringLiteral("temp.ifo"))).size()) / 1e6,
                        msSince(start) / 1000.0);
            std::fflush(stdout);
            startupFigures("1M entries", big.path(), 3, false);
        }
    }

    {
        QTemporaryDir parent;
        latencyFigures(parent.path(), 300);
    }
    {
        QTemporaryDir parent;
        sequenceFigures(parent.path(), 1000);
    }

    std::printf("(the window is looked for with xdotool in a loop; one look takes %.1f ms median, p95 %.1f ms)\n",
                percentile(g_looks, 0.5), percentile(g_looks, 0.95));
    return 0;
}
