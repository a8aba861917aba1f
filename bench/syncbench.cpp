// SPDX-License-Identifier: GPL-3.0-or-later
// The shared-folder history: reading another device's records, and appending one record with its flush.
// Usage: bench_sync [RECORDS [APPENDS]] (defaults 100,000 and 1,000). Set TMPDIR to measure another disk.

#include "benchutil.h"

#include "sync/syncfolder.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

using benchutil::Clock;
using benchutil::msSince;
using benchutil::percentile;

namespace {
// Texts of the lengths a history holds: mostly a line, some paragraphs, a few Japanese.
QString textFor(quint64 i)
{
    QString text = QStringLiteral("copied text %1 ").arg(i);
    if (i % 10 == 0)
        text += QStringLiteral("日本語の文字列 ");
    const int more = int(QRandomGenerator::global()->bounded(i % 20 == 0 ? 600 : 60));
    text += QString(more, QLatin1Char('x'));
    return text;
}

// Every byte of the segments, read with QFile: the floor of any reader.
qint64 readAllFiles(const QString &folder)
{
    qint64 total = 0;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::ReadOnly))
            total += file.readAll().size();
    }
    return total;
}
} // namespace

int main(int argc, char **argv)
{
    const quint64 records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const int appends = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("shared"));
    QDir().mkpath(shared);
    const QString peer = QStringLiteral("0123456789abcdef0123456789abcdef");
    const QString own = QStringLiteral("fedcba9876543210fedcba9876543210");
    std::printf("machine: %d cores (%s), folder %s on %s\n", QThread::idealThreadCount(),
                qPrintable(QSysInfo::prettyProductName()), qPrintable(dir.path()),
                QStorageInfo(dir.path()).fileSystemType().constData());

    // The other device's segments, written the way it writes them (its flushes are not timed).
    {
        QByteArray bytes;
        quint64 next = 1;
        const QString folder = syncfolder::devicesFolder(shared) + QLatin1Char('/') + peer;
        QDir().mkpath(folder);
        auto flush = [&] {
            QFile file(folder + QStringLiteral("/%1.vkseg").arg(next, 12, 10, QLatin1Char('0')));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                std::abort();
            bytes.clear();
        };
        for (quint64 i = 1; i <= records; ++i) {
            const QByteArray record = syncfolder::encodeRecord({peer, i, qint64(i) * 1000, textFor(i)});
            if (!bytes.isEmpty() && bytes.size() + record.size() > syncfolder::SegmentWriter::defaultSegmentBytes)
                flush(), next = i;
            bytes += record;
        }
        flush();
        std::printf("other device: %llu records, %lld bytes in %lld segments\n", records, readAllFiles(folder),
                    qint64(QDir(folder).entryList(QDir::Files).size()));

        const Clock::time_point floorStart = Clock::now();
        const qint64 bytesRead = readAllFiles(folder);
        std::printf("floor, QFile::readAll of every segment: %.1f ms (%lld bytes)\n", msSince(floorStart), bytesRead);
    }

    const QString stateFile = dir.filePath(QStringLiteral("syncread.ini"));
    {
        syncfolder::PeerReader reader(shared, own, stateFile);
        const Clock::time_point start = Clock::now();
        QStringList problems;
        const QList<syncfolder::Record> read = reader.readNew(&problems);
        QString error;
        const bool committed = reader.commit(&error);
        std::printf("read %lld records and keep the position: %.1f ms (target <= 1000 ms)%s\n", read.size(),
                    msSince(start), committed && problems.isEmpty() ? "" : " PROBLEMS");
    }
    {
        // A restart with nothing new: the positions kept spare reading the segments again.
        syncfolder::PeerReader reader(shared, own, stateFile);
        const Clock::time_point start = Clock::now();
        const QList<syncfolder::Record> read = reader.readNew(nullptr);
        std::printf("read again after a restart: %lld records, %.2f ms\n", read.size(), msSince(start));
    }

    // This device's appends, each flushed to the disk; on a RAM disk as well, where the flush costs
    // nothing and what is left is the program's own work.
    const auto appendTimes = [&](const QString &folder) {
        syncfolder::SegmentWriter writer(folder, own);
        std::vector<double> times;
        times.reserve(size_t(appends));
        for (int i = 0; i < appends; ++i) {
            const QString text = textFor(quint64(i));
            QString error;
            const Clock::time_point start = Clock::now();
            if (!writer.append(text, 1000, &error)) {
                std::printf("append failed: %s\n", qPrintable(error));
                std::exit(1);
            }
            times.push_back(msSince(start));
        }
        return times;
    };
    const std::vector<double> times = appendTimes(shared);
    // The floor: the same number of bytes appended with write(2) and fdatasync(2) on a file of its own.
    std::vector<double> floor;
    {
        const QByteArray bytes(syncfolder::encodeRecord({own, 1, 1000, textFor(1)}).size(), 'x');
        QFile file(dir.filePath(QStringLiteral("floor")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            std::abort();
        for (int i = 0; i < appends; ++i) {
            const Clock::time_point start = Clock::now();
            if (::write(file.handle(), bytes.constData(), size_t(bytes.size())) != bytes.size() ||
                ::fdatasync(file.handle()) != 0)
                std::abort();
            floor.push_back(msSince(start));
        }
    }
    std::printf("floor, write(2) + fdatasync(2) of as many bytes: median %.3f ms, p99 %.3f ms\n",
                percentile(floor, 0.5), percentile(floor, 0.99));
    std::printf("append one record with its flush: median %.3f ms, p99 %.3f ms, max %.3f ms (N=%d, target <= 1 ms)\n",
                percentile(times, 0.5), percentile(times, 0.99), percentile(times, 1.0), appends);
    if (QTemporaryDir ram(QStringLiteral("/dev/shm/bench_sync-XXXXXX")); ram.isValid()) {
        const std::vector<double> inRam = appendTimes(ram.path());
        std::printf("the same on a RAM disk (%s): median %.3f ms, p99 %.3f ms\n",
                    QStorageInfo(ram.path()).fileSystemType().constData(), percentile(inRam, 0.5),
                    percentile(inRam, 0.99));
    }
    return 0;
}
