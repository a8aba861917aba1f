// SPDX-License-Identifier: GPL-3.0-or-later
// The history store at scale. For each size: file size, load-to-ready time of the list model,
// lookup and append times, resident memory, and `wc -l` on the same file as the floor.
//   bench_history            all sizes (10k, 100k, 1M), each in its own process
//   bench_history N          one size
#include "benchutil.h"
#include "core/fileio.h"
#include "history/historyfile.h"
#include "history/historymodel.h"
#include "historygen.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using benchutil::percentile;
using benchutil::statusKb;

using benchutil::Clock;
using benchutil::msSince;

double timeWcL(const QString &path)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        QProcess::execute(QStringLiteral("sh"),
                          {QStringLiteral("-c"), QStringLiteral("wc -l < '%1' > /dev/null").arg(path)});
        best = std::min(best, msSince(start));
    }
    return best;
}

int runOne(int entries)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/temp.ifo");
    fileio::writeFileAtomic(path, generateHistory(entries));
    const qint64 size = QFile(path).size();
    const double wc = timeWcL(path);
    const long rssBefore = statusKb("VmRSS:");

    // Load to ready: the index built and the top rows decoded, as the list shows them.
    double load = 1e9;
    HistoryFile file(path, CodePage::Utf8);
    HistoryModel model(file);
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        model.reload();
        for (int row = 0; row < std::min(30, model.rowCount()); ++row)
            model.index(row).data();
        load = std::min(load, msSince(start));
    }
    const long rssLoaded = statusKb("VmRSS:");

    QRandomGenerator rng(7);
    std::vector<double> lookups;
    for (int i = 0; i < 2000; ++i) {
        const int number = 1 + rng.bounded(entries);
        const auto start = Clock::now();
        file.textForNumber(number);
        lookups.push_back(msSince(start) * 1000.0);
    }
    // Appends as recorded (each flushed with fdatasync), and without the flush for comparison.
    std::vector<double> appends;
    std::vector<double> unsyncedAppends;
    for (auto *series : {&appends, &unsyncedAppends}) {
        file.setDurable(series == &appends);
        for (int i = 0; i < 300; ++i) {
            const auto start = Clock::now();
            model.record(QStringLiteral("新しいエントリ new entry"), QString());
            series->push_back(msSince(start) * 1000.0);
        }
    }
    std::printf("%9d entries  %7.1f MB  load %8.1f ms  wc -l %7.1f ms  (x%.2f)  lookup median %6.1f us p99 %6.1f us"
                "  append median %6.1f us (without fdatasync %5.1f us)  RSS after load %6.1f MB (+%.1f MB)"
                "  peak %6.1f MB\n",
                entries, static_cast<double>(size) / 1e6, load, wc, load / wc, percentile(lookups, 0.5),
                percentile(lookups, 0.99), percentile(appends, 0.5), percentile(unsyncedAppends, 0.5),
                static_cast<double>(rssLoaded) / 1024.0, static_cast<double>(rssLoaded - rssBefore) / 1024.0,
                static_cast<double>(statusKb("VmHWM:")) / 1024.0);
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        return runOne(std::atoi(argv[1]));
    std::printf("history store benchmark (warm page cache; times are the best of 3 loads)\n");
    std::fflush(stdout);
    for (const int n : {10000, 100000, 1000000}) {
        QProcess::execute(QCoreApplication::applicationFilePath(), {QString::number(n)});
    }
    return 0;
}
