// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory of the real program for one large copy, measured from outside: for each size N (MB) a
// new program on its own data folder, started and settled, then a text of N MB (lines of printable
// ASCII ended by LF) copied by another program; once its entry is whole in temp.ifo, the program's
// peak resident memory (VmHWM), and what the copy needed (the peak less the resident memory before it)
// against N and against the goal of 2 N MB + 64 MB. The program keeps the last copy as UTF-16 text
// (2 N, and 2 bytes more per line break, which becomes CR LF), so 2 N is the floor.
// Usage: bench_bigcopy [MB ...] (default 50 200 400). Needs Xvfb, xclip and xdotool.
// VORNKIP_BENCH_OWNER=qt copies with the project's own Qt owner (clipowner) instead of xclip;
// VORNKIP_BENCH_BIN=/path/to/other/vornkip measures another build (a baseline).
#include "programinstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {
using namespace x11harness;
using benchutil::program;

// A figure of the program's /proc/PID/status in MB, or -1.
double statusMb(const benchutil::ProgramInstance &vornkip, const char *field)
{
    const long kb = vornkip.statusKb(field);
    return kb < 0 ? -1 : static_cast<double>(kb) / 1024.0;
}

// Writes N MB of lines "line 00000001 xxx…" ended by LF; returns the size of the entry's line as the
// program writes it (number, every LF as the 6-byte marker, CR LF).
qint64 writeText(const QString &path, int mb)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    const qint64 size = qint64(mb) << 20;
    QByteArray block;
    qint64 lines = 0;
    qint64 written = 0;
    while (written < size) {
        block.clear();
        while (block.size() < (1 << 20) && written + block.size() < size) {
            block += "line " + QByteArray::number(++lines).rightJustified(8, '0') + ' ' + QByteArray(66, 'x') + '\n';
        }
        f.write(block);
        written += block.size();
    }
    return 6 + written + 5 * lines + 2;
}

void measure(int mb, const QString &folder, bool qtOwner)
{
    const QString textPath = folder + QStringLiteral("/text-%1.txt").arg(mb);
    const qint64 lineSize = writeText(textPath, mb);
    // The clipboard emptied first: the copy of the size before (its xclip leaves a child that owns the
    // selection) would otherwise be read at the start and counted in what the program held before.
    {
        QProcess empty;
        empty.setProcessEnvironment(g_env);
        empty.setStandardInputFile(QProcess::nullDevice());
        empty.setStandardOutputFile(QProcess::nullDevice());
        empty.setStandardErrorFile(QProcess::nullDevice());
        empty.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
        empty.waitForFinished();
    }
    QTemporaryDir home;
    benchutil::ProgramInstance vornkip(home.path());
    if (!vornkip.launchAndShow()) {
        std::printf("%4d MB: the program did not start\n", mb);
        return;
    }
    const double before = statusMb(vornkip, "VmRSS:");

    QProcess owner;
    owner.setProcessEnvironment(g_env);
    owner.setStandardInputFile(qtOwner ? QProcess::nullDevice() : textPath);
    owner.setStandardOutputFile(QProcess::nullDevice());
    owner.setStandardErrorFile(QProcess::nullDevice());
    const auto start = benchutil::Clock::now();
    if (qtOwner)
        owner.start(QStringLiteral(VORNKIP_CLIPOWNER), {QStringLiteral("--file"), textPath, QStringLiteral("--keep")});
    else
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    owner.waitForStarted();

    // Until the history holds the whole line (at most 10 minutes).
    const QString history = home.path() + QStringLiteral("/temp.ifo");
    qint64 seen = 0;
    while (vornkip.running() && seen < lineSize && benchutil::msSince(start) < 600000) {
        QThread::msleep(100);
        seen = QFileInfo(history).size();
    }
    const double ms = benchutil::msSince(start);
    QThread::msleep(1000);
    const bool alive = vornkip.running();
    const double peak = alive ? statusMb(vornkip, "VmHWM:") : -1;
    const double after = alive ? statusMb(vornkip, "VmRSS:") : -1;
    // What the copy needed: the peak above what the settled program held before it.
    const double need = peak - before;
    std::printf("%4d MB: recorded %s (%.1f of %.1f MB) in %.1f s; resident before %.0f MB, peak %.0f MB, after "
                "%.0f MB; the copy needed %.0f MB = %.2f N (goal 2 N + 64 = %d MB: %s)%s\n",
                mb, seen >= lineSize ? "whole" : "NOT whole", double(seen) / 1048576.0, double(lineSize) / 1048576.0,
                ms / 1000.0, before, peak, after, need, need / mb, 2 * mb + 64, need <= 2 * mb + 64 ? "met" : "missed",
                alive ? "" : " — the program ended");
    std::fflush(stdout);
    vornkip.stop(60000);
    owner.kill();
    owner.waitForFinished();
    QFile::remove(textPath);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << std::max(1, std::atoi(argv[i]));
    if (sizes.isEmpty())
        sizes = {50, 200, 400};
    const bool qtOwner = qEnvironmentVariable("VORNKIP_BENCH_OWNER") == QLatin1String("qt");
    benchutil::BenchDisplay display;
    if (!display.start("bigcopybench"))
        return 1;
    std::printf("vornkip under Xvfb %s: %s; copies by %s\n", qPrintable(g_env.value(QStringLiteral("DISPLAY"))),
                qPrintable(program()), qtOwner ? "clipowner (Qt)" : "xclip");
    std::fflush(stdout);
    QTemporaryDir texts;
    for (const int mb : sizes)
        measure(mb, texts.path(), qtOwner);
    return 0;
}
