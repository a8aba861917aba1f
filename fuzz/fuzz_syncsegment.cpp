// SPDX-License-Identifier: GPL-3.0-or-later
// Another device's segment in the shared folder: any bytes as its segment file, scanned and read.
// Every record taken has a frame whose checksums hold, and a cut file yields a first part of the same
// records.

#include "fuzzcommon.h"

#include "sync/syncfolder.h"

#include <QtEndian>

#include <zlib.h>

namespace {
const QString peer = QStringLiteral("0123456789abcdef0123456789abcdef");

quint32 crcOf(QByteArrayView bytes)
{
    return static_cast<quint32>(
        ::crc32_z(::crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef *>(bytes.data()), size_t(bytes.size())));
}

quint32 word(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

void run(QByteArrayView bytes)
{
    static const QString shared = fuzz::tempFolder() + QStringLiteral("/shared");
    static const QString folder = syncfolder::devicesFolder(shared) + QLatin1Char('/') + peer;
    static const QString stateFile = fuzz::tempFolder() + QStringLiteral("/syncread.ini");
    static const bool made = QDir().mkpath(folder);
    FUZZ_CHECK(made);

    const syncfolder::SegmentScan scan = syncfolder::scanSegment(bytes);
    FUZZ_CHECK(scan.starts.size() == scan.records.size() && scan.ends.size() == scan.records.size());
    qint64 previousEnd = 0;
    for (qsizetype i = 0; i < scan.records.size(); ++i) {
        FUZZ_CHECK(scan.starts[i] >= previousEnd && scan.ends[i] <= bytes.size());
        const QByteArrayView frame = bytes.sliced(scan.starts[i], scan.ends[i] - scan.starts[i]);
        FUZZ_CHECK(frame.size() >= syncfolder::recordHeaderBytes && frame.startsWith("VKs1"));
        FUZZ_CHECK(word(frame, 4) == frame.size() - syncfolder::recordHeaderBytes);
        FUZZ_CHECK(word(frame, 8) == crcOf(frame.sliced(syncfolder::recordHeaderBytes)));
        FUZZ_CHECK(word(frame, 12) == crcOf(frame.first(12)));
        FUZZ_CHECK(scan.records[i].sequence > 0);
        previousEnd = scan.ends[i];
    }

    // Cut anywhere: the records of the first part come first in the whole.
    if (!bytes.isEmpty()) {
        const qsizetype cut = static_cast<unsigned char>(bytes.back()) * bytes.size() / 256;
        const syncfolder::SegmentScan part = syncfolder::scanSegment(bytes.first(cut));
        FUZZ_CHECK(part.records.size() <= scan.records.size());
        FUZZ_CHECK(part.records == scan.records.first(part.records.size()));
    }

    // As a segment of another device: only its records, in increasing sequence, each of them scanned.
    fuzz::writeFile(folder + QStringLiteral("/000000000001.vkseg"), bytes);
    QFile::remove(stateFile);
    syncfolder::PeerReader reader(shared, QStringLiteral("fedcba9876543210fedcba9876543210"), stateFile);
    QStringList problems;
    const QList<syncfolder::Record> read = reader.readNew(&problems);
    quint64 last = 0;
    for (const syncfolder::Record &record : read) {
        FUZZ_CHECK(record.device == peer && record.sequence > last);
        FUZZ_CHECK(scan.records.contains(record));
        last = record.sequence;
    }
    FUZZ_CHECK(problems.size() <= 1);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::expectNoCommandError([&] { run(fuzz::bytesOf(data, size)); });
    return 0;
}
