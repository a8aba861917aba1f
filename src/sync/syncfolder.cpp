// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncfolder.h"

#include "core/commanderror.h"
#include "core/fileio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

// The segment format. A segment is a plain sequence of records, each one
//
//   offset  size  content
//        0     4  the marker "VKs1", where a reader starts again after a damaged stretch
//        4     4  n, the length of the body, little-endian
//        8     4  the CRC-32 (zlib's crc32) of the body, little-endian
//       12     4  the CRC-32 of the 12 bytes before, little-endian
//       16     n  the body:
//                   1 byte   the length d of the device id
//                   d bytes  the device id (UTF-8)
//                   8 bytes  the sequence number, little-endian, 1 and up
//                   8 bytes  the time, milliseconds since the epoch (UTC), little-endian, signed
//                   rest     the text, UTF-8
//
// A record is taken only when its header and its body check out. A header that checks out but whose
// body goes past the end of the file has not arrived whole yet: the reader waits for it. Anything
// else that is not a record is skipped by looking for the next marker.
//
// A device's segments are named after the sequence of their first record, twelve digits or more
// (000000000001.vkseg). A copy a folder sync leaves in a conflict (000000000001.sync-conflict-….vkseg)
// and a segment sent again are read too; what they hold twice is dropped by (device, sequence). Since
// a device writes its sequences in order, segment after segment, a segment holds nothing from the
// sequence the next segment starts with on: once that sequence has been read, the earlier segment is
// not read again.
//
// The reader's state file is a small text file of one section per device:
//   [<device id>]
//   Next=<the next sequence to take>
//   File=<the segment the last record taken came from>
//   Offset=<where that record ends in it>
namespace syncfolder {
namespace {
constexpr char marker[] = "VKs1";
constexpr qsizetype markerBytes = 4;
// A body's own fields before the text: the device id's length, the sequence and the time.
constexpr qsizetype fixedBodyBytes = 1 + 8 + 8;
// The largest body written or read; a bigger length in a header is damage. The history itself never
// holds one text this large.
constexpr qint64 maxBodyBytes = fileio::maxWholeFileSize - 4096;
const QString segmentSuffix = QStringLiteral(".vkseg");
const QString deviceFileName = QStringLiteral("syncdevice.ini");

quint32 crcOf(QByteArrayView bytes)
{
    return static_cast<quint32>(
        ::crc32_z(::crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef *>(bytes.data()), size_t(bytes.size())));
}

template <typename T>
void put(QByteArray &out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T>
T get(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<T>(bytes.data() + at);
}

// A record from a body whose checksum held; nothing when its fields do not fit together.
std::optional<Record> decodeBody(QByteArrayView body)
{
    if (body.size() < fixedBodyBytes)
        return std::nullopt;
    const qsizetype deviceBytes = static_cast<unsigned char>(body[0]);
    if (body.size() < fixedBodyBytes + deviceBytes)
        return std::nullopt;
    Record record;
    record.device = QString::fromUtf8(body.sliced(1, deviceBytes));
    record.sequence = get<quint64>(body, 1 + deviceBytes);
    record.msecs = get<qint64>(body, 1 + deviceBytes + 8);
    record.text = QString::fromUtf8(body.sliced(fixedBodyBytes + deviceBytes));
    if (record.sequence == 0)
        return std::nullopt;
    return record;
}

// A segment's name: its first sequence, and whether it is a copy left by a conflict. Nothing for a name
// that is no segment's.
struct SegmentName
{
    quint64 first = 0;
    bool conflictCopy = false;
};

std::optional<SegmentName> parseSegmentName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{12,20})(\\.sync-conflict-[^/]*)?\\.vkseg$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const quint64 first = match.captured(1).toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return SegmentName{first, match.hasCaptured(2)};
}

QString segmentFileName(quint64 first)
{
    return QStringLiteral("%1").arg(first, 12, 10, QLatin1Char('0')) + segmentSuffix;
}

// Files a folder sync keeps while a file is on its way (.syncthing.*.tmp, ~syncthing~*.tmp) and
// other hidden files are not the devices' own and are passed over without a word.
bool isHidden(const QString &name)
{
    return name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char('~'));
}

bool isDeviceName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-Za-z_-]{1,64}$"));
    return pattern.match(name).hasMatch();
}

QStringList entriesOf(const QString &folder, QDir::Filters filters)
{
    return QDir(folder).entryList(filters | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The bytes of `path` from `offset` to its end, at most `limit` of them (more is an error).
QByteArray readFrom(const QString &path, qint64 offset, qint64 limit, qint64 *size)
{
    const fileio::UniqueFd fd = fileio::openFile(path, O_RDONLY);
    *size = fileio::fileSize(fd.get(), path);
    if (offset > *size)
        offset = 0;
    if (*size - offset > limit)
        throw commandError(ErrorNumber::OutOfMemory);
    return fileio::readAt(fd.get(), offset, *size - offset, path);
}
} // namespace

QByteArray encodeRecord(const Record &record)
{
    const QByteArray device = record.device.toUtf8().left(255);
    QByteArray body;
    body.reserve(fixedBodyBytes + device.size() + record.text.size() * 3);
    body.append(char(device.size()));
    body.append(device);
    put<quint64>(body, record.sequence);
    put<qint64>(body, record.msecs);
    body.append(record.text.toUtf8());

    QByteArray out;
    out.reserve(recordHeaderBytes + body.size());
    out.append(marker, markerBytes);
    put<quint32>(out, quint32(body.size()));
    put<quint32>(out, crcOf(body));
    put<quint32>(out, crcOf(out));
    out.append(body);
    return out;
}

SegmentScan scanSegment(QByteArrayView bytes)
{
    SegmentScan scan;
    const QByteArrayView markerView(marker, markerBytes);
    qsizetype at = 0;
    bool skipped = false; // bytes were passed over since the last record
    quint64 lastSequence = 0;
    qint64 wasted = 0; // bytes checksummed in bodies that failed
    while (at < bytes.size()) {
        const qsizetype found = bytes.indexOf(markerView, at);
        if (found < 0)
            break;
        skipped = skipped || found > at;
        at = found;
        if (bytes.size() - at < recordHeaderBytes)
            break; // a header still arriving
        const QByteArrayView header = bytes.sliced(at, recordHeaderBytes);
        const quint32 length = get<quint32>(header, 4);
        if (get<quint32>(header, 12) != crcOf(header.first(12)) || length > maxBodyBytes) {
            skipped = true;
            ++at;
            continue;
        }
        if (bytes.size() - at - recordHeaderBytes < qint64(length))
            break; // a body still arriving
        const QByteArrayView body = bytes.sliced(at + recordHeaderBytes, length);
        std::optional<Record> record;
        if (get<quint32>(header, 8) == crcOf(body))
            record = decodeBody(body);
        if (!record) {
            // A damaged body: the next record is looked for from the byte after the marker, as a
            // record may start inside what the header claimed (a write a crash cut off, then the next
            // one). A file that keeps doing this is not damaged but made to cost: once checksums in vain
            // come to twice its size, a body that fails is passed over whole, which keeps the scan linear.
            skipped = true;
            wasted += length;
            at += wasted > 2 * bytes.size() + 65536 ? recordHeaderBytes + length : 1;
            continue;
        }
        if (skipped)
            scan.damaged.append({lastSequence, record->sequence});
        skipped = false;
        lastSequence = record->sequence;
        scan.starts.append(at);
        at += recordHeaderBytes + length;
        scan.ends.append(at);
        scan.records.append(std::move(*record));
    }
    return scan;
}

QString devicesFolder(const QString &sharedFolder)
{
    return sharedFolder + QStringLiteral("/vornkip/devices");
}

namespace {
// The id file: "Id=<device id>", "Machine=<the machine id it was made on>", and a "Former=<id>" line for
// each id this machine had before. Throws CommandError for a file that is there but cannot be read.
struct IdFile
{
    QString id;
    QString machine;
    QStringList former;
};

IdFile readIdFile(const QString &path)
{
    IdFile file;
    try {
        for (const QByteArray &line : fileio::readWholeFile(path).split('\n')) {
            const QString value = QString::fromUtf8(line.sliced(line.indexOf('=') + 1)).trimmed();
            if (line.startsWith("Id="))
                file.id = value;
            else if (line.startsWith("Machine="))
                file.machine = value;
            else if (line.startsWith("Former=") && isDeviceName(value))
                file.former << value;
        }
    } catch (const CommandError &e) {
        // Missing: none yet. A file that is there but cannot be read is not replaced, or this machine
        // would come back as a stranger to its own entries.
        if (e.number != ErrorNumber::FileNotFound)
            throw;
    }
    return file;
}

QString newIdFile(const QString &path, const QString &machineId, const QStringList &former)
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString id;
    for (const quint32 word : words)
        id += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
    QByteArray text = "Id=" + id.toLatin1() + "\nMachine=" + machineId.trimmed().toUtf8() + '\n';
    for (const QString &old : former)
        text += "Former=" + old.toLatin1() + '\n';
    fileio::writeFileAtomic(path, text);
    return id;
}

const QString sentFileName = QStringLiteral("syncsent.dat");
} // namespace

QString deviceId(const QString &dataFolder, const QString &machineId, QString *former, QStringList *ownFormer)
{
    const QString path = dataFolder + QLatin1Char('/') + deviceFileName;
    const IdFile file = readIdFile(path);
    if (isDeviceName(file.id) && file.machine == machineId.trimmed()) {
        if (ownFormer)
            *ownFormer = file.former;
        return file.id;
    }
    if (former && isDeviceName(file.id))
        *former = file.id;
    return newIdFile(path, machineId, {});
}

QString renewDeviceId(const QString &dataFolder, const QString &machineId)
{
    const QString path = dataFolder + QLatin1Char('/') + deviceFileName;
    IdFile file = readIdFile(path);
    if (isDeviceName(file.id) && file.machine == machineId.trimmed())
        file.former << file.id;
    else
        file.former.clear();
    return newIdFile(path, machineId, file.former);
}

quint64 sentNext(const QString &dataFolder, const QString &device)
{
    try {
        const QList<QByteArray> lines = fileio::readWholeFile(dataFolder + QLatin1Char('/') + sentFileName).split('\n');
        if (lines.size() >= 2 && QString::fromUtf8(lines[0]) == device)
            return lines[1].toULongLong();
    } catch (const CommandError &) {
        // None kept: nothing to compare with.
    }
    return 0;
}

void keepSentNext(const QString &dataFolder, const QString &device, quint64 next)
{
    // Written in place without a flush, as often as a copy is shared: a file cut by a crash reads as
    // none kept, which only leaves the next start nothing to compare with.
    const QString path = dataFolder + QLatin1Char('/') + sentFileName;
    try {
        const fileio::UniqueFd fd = fileio::openFile(path, O_WRONLY | O_CREAT | O_TRUNC);
        fileio::writeAll(fd.get(), device.toLatin1() + '\n' + QByteArray::number(next) + '\n', path);
    } catch (const CommandError &) {
        // As above.
    }
}

// ---------------------------------------------------------------------------------------------------
// SegmentWriter

struct SegmentWriter::State
{
    QString sharedFolder;
    QString folder; // this device's folder
    QString device;
    qint64 segmentBytes = 0;
    bool scanned = false;    // the next sequence is known from the folder (it was there, and read)
    bool folderSeen = false; // this device's folder was there (or made) during this run
    QString segment;         // the segment being appended to; empty: the next record starts one
    qint64 segmentSize = 0;
    quint64 next = 1;

    // Finds the next sequence from the newest segment that holds this device's records, and cuts off
    // what follows the last of them (a write that a crash or a power cut interrupted), so the next
    // record follows on. Only this device's records count, never a name or a file someone else put
    // here (the folder comes from other machines too), and only plain files: a link is neither read
    // nor written through. Segment files newer than that one hold none of this device's records (a new
    // segment whose first write a crash or a full disk cut off, a file put here from elsewhere); a
    // reader would take one for where the next records are and pass over the segment they go to, so
    // they are removed: only this device writes here. A folder that is not there (yet: a disk mounted
    // later) says nothing about what it holds; it is looked at again before the next append, as after
    // a scan that failed.
    void scan()
    {
        if (!QFileInfo(folder).isDir())
            return;
        folderSeen = true;
        QList<std::pair<quint64, QString>> segments;
        for (const QString &name : entriesOf(folder, QDir::Files | QDir::NoSymLinks)) {
            const std::optional<SegmentName> parsed = parseSegmentName(name);
            if (parsed && !parsed->conflictCopy)
                segments.append({parsed->first, name});
        }
        std::sort(segments.begin(), segments.end(), std::greater<>());
        QString ownSegment;
        qint64 ownSize = 0;
        quint64 last = 0;
        QStringList strays;
        for (const auto &[first, name] : std::as_const(segments)) {
            const QString path = folder + QLatin1Char('/') + name;
            qint64 size = 0;
            const SegmentScan found = scanSegment(readFrom(path, 0, fileio::maxWholeFileSize, &size));
            for (qsizetype r = 0; r < found.records.size(); ++r) {
                if (found.records[r].device == device) {
                    last = std::max(last, found.records[r].sequence);
                    ownSize = found.ends[r];
                }
            }
            if (last == 0) {
                strays << path;
                continue;
            }
            if (ownSize < size) {
                const fileio::UniqueFd fd = openSegment(path, O_WRONLY);
                if (::ftruncate(fd.get(), ownSize) != 0)
                    throw fileError(errno, path);
            }
            ownSegment = path;
            break;
        }
        for (const QString &path : std::as_const(strays))
            fileio::removeFile(path);
        if (last > 0) {
            next = last + 1;
            segment = ownSegment;
            segmentSize = ownSize;
        } else {
            segment.clear();
            segmentSize = 0;
        }
        scanned = true;
    }

    // A segment of this device's, opened without following a link or waiting on a pipe; a file that
    // is not a plain file is refused.
    static fileio::UniqueFd openSegment(const QString &path, int flags)
    {
        fileio::UniqueFd fd = fileio::openFile(path, flags | O_NOFOLLOW | O_NONBLOCK);
        struct stat st
        {
        };
        if (::fstat(fd.get(), &st) != 0)
            throw fileError(errno, path);
        if (!S_ISREG(st.st_mode))
            throw fileError(EINVAL, path);
        return fd;
    }
};

SegmentWriter::SegmentWriter(const QString &sharedFolder, const QString &device, qint64 segmentBytes)
    : m_state(std::make_unique<State>())
{
    m_state->sharedFolder = sharedFolder;
    m_state->folder = devicesFolder(sharedFolder) + QLatin1Char('/') + device;
    m_state->device = device;
    m_state->segmentBytes = segmentBytes;
    try {
        if (QFileInfo(sharedFolder).isDir())
            m_state->scan();
    } catch (const CommandError &) {
        // Tried again, and told, by the first append: nothing is written before the folder is read.
    }
}

SegmentWriter::~SegmentWriter() = default;

quint64 SegmentWriter::nextSequence() const
{
    return m_state->next;
}

bool SegmentWriter::knowsNext() const
{
    return m_state->scanned;
}

bool SegmentWriter::append(const QString &text, qint64 msecs, QString *error)
{
    State &s = *m_state;
    // An unmounted disk may leave its empty mount point: the folders are made only inside a shared
    // folder that is there, and this device's folder is not made again once it has vanished.
    if (!QFileInfo(s.sharedFolder).isDir() || (s.folderSeen && !QFileInfo(s.folder).isDir())) {
        *error = QCoreApplication::translate("SyncFolder", "共有フォルダーが見つかりません: %1").arg(s.sharedFolder);
        return false;
    }
    try {
        // A segment that is not as this writer left it is another file now (a disk mounted again over
        // the folder, the folder put back from elsewhere): what the folder holds decides what follows.
        if (!s.scanned || (!s.segment.isEmpty() && QFileInfo(s.segment).size() != s.segmentSize))
            s.scan();
        const QByteArray bytes = encodeRecord({s.device, s.next, msecs, text});
        if (bytes.size() - recordHeaderBytes > maxBodyBytes) {
            *error = QCoreApplication::translate("SyncFolder", "大きすぎて共有できないテキストです");
            return false;
        }
        fileio::makeDir(s.folder);
        s.folderSeen = true;
        if (s.segment.isEmpty() || (s.segmentSize > 0 && s.segmentSize + bytes.size() > s.segmentBytes)) {
            s.segment = s.folder + QLatin1Char('/') + segmentFileName(s.next);
            s.segmentSize = 0;
        }
        const fileio::UniqueFd fd = State::openSegment(s.segment, O_WRONLY | O_CREAT | O_APPEND);
        const qint64 sizeBefore = fileio::fileSize(fd.get(), s.segment);
        try {
            fileio::writeAll(fd.get(), bytes, s.segment);
            // Durable once recorded, as the history's own entries are.
            if (::fdatasync(fd.get()) != 0)
                throw fileError(errno, s.segment);
        } catch (...) {
            // Cut back what a full disk let through, so no reader takes a fragment for a record.
            while (::ftruncate(fd.get(), sizeBefore) != 0 && errno == EINTR) {
            }
            throw;
        }
        s.segmentSize = sizeBefore + bytes.size();
        ++s.next;
        return true;
    } catch (const CommandError &e) {
        *error = QCoreApplication::translate("SyncFolder", "共有フォルダーに書き込めません: %1").arg(e.description);
        return false;
    }
}

// ---------------------------------------------------------------------------------------------------
// PeerReader

namespace {
struct Position
{
    quint64 next = 1;
    QString file;
    qint64 offset = 0;
    bool operator==(const Position &) const = default;
};

QMap<QString, Position> parseState(const QByteArray &bytes)
{
    QMap<QString, Position> positions;
    QString device;
    for (const QByteArray &raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            device = line.mid(1, line.size() - 2);
            if (isDeviceName(device))
                positions.insert(device, Position{});
            else
                device.clear();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (device.isEmpty() || equals < 0)
            continue;
        const QStringView key = QStringView(line).first(equals);
        const QString value = line.mid(equals + 1);
        Position &position = positions[device];
        if (key == u"Next")
            position.next = std::max<quint64>(1, value.toULongLong());
        else if (key == u"File" && parseSegmentName(value))
            position.file = value;
        else if (key == u"Offset")
            position.offset = std::max<qint64>(0, value.toLongLong());
    }
    return positions;
}

QByteArray formatState(const QMap<QString, Position> &positions)
{
    QByteArray out = "# How far the other devices' shared history has been read\n";
    for (auto it = positions.cbegin(); it != positions.cend(); ++it) {
        out += '[' + it.key().toUtf8() + "]\nNext=" + QByteArray::number(it->next) + "\nFile=" + it->file.toUtf8() +
               "\nOffset=" + QByteArray::number(it->offset) + '\n';
    }
    return out;
}
} // namespace

struct PeerReader::State
{
    QString devices;
    QString ownDevice;
    QSet<QString> formerOwn;
    QString stateFile;
    QMap<QString, Position> committed; // taken into the history, and kept in the state file unless `unsaved`
    QMap<QString, Position> pending;
    bool unsaved = false;
    QList<std::pair<QString, Position>> after; // per record of the last read: its device's position after it
    QSet<QString> reported;                    // files and folders already told about

    void report(QStringList *problems, const QString &path, const QString &text)
    {
        if (reported.contains(path))
            return;
        reported.insert(path);
        if (problems)
            problems->append(text);
    }

    // The records of one device from `position.next` on, as far as they run without a gap.
    void readDevice(const QString &device, Position &position, QList<Record> *out, QStringList *problems)
    {
        const QString folder = devices + QLatin1Char('/') + device;
        struct File
        {
            QString name;
            SegmentName parsed;
        };
        QList<File> files;
        for (const QString &name : entriesOf(folder, QDir::Files)) {
            if (isHidden(name))
                continue;
            if (const std::optional<SegmentName> parsed = parseSegmentName(name))
                files.append({name, *parsed});
            else
                report(problems, folder + QLatin1Char('/') + name,
                       QCoreApplication::translate("SyncFolder", "共有フォルダーの知らないファイルを飛ばしました: %1")
                           .arg(folder + QLatin1Char('/') + name));
        }
        // The segments in sequence order, each one before its conflict copies (which so lose every tie).
        std::sort(files.begin(), files.end(), [](const File &a, const File &b) {
            if (a.parsed.first != b.parsed.first)
                return a.parsed.first < b.parsed.first;
            if (a.parsed.conflictCopy != b.parsed.conflictCopy)
                return !a.parsed.conflictCopy;
            return a.name < b.name;
        });

        struct Found
        {
            Record record;
            qsizetype file;
            qint64 end;
        };
        std::map<quint64, Found> found;
        std::vector<std::pair<quint64, quint64>> lost; // sequences strictly between the two are gone
        // Everything of a segment comes before the first sequence of a later one: a segment is passed
        // over once a later one starts at or before the next sequence to take.
        std::vector<bool> superseded(size_t(files.size()), false);
        for (qsizetype i = files.size() - 2, later = files.size() - 1; i >= 0; --i) {
            if (files[i + 1].parsed.first > files[i].parsed.first)
                later = i + 1;
            superseded[size_t(i)] =
                files[later].parsed.first > files[i].parsed.first && files[later].parsed.first <= position.next;
        }
        for (qsizetype i = 0; i < files.size(); ++i) {
            const File &file = files[i];
            if (superseded[size_t(i)])
                continue;
            const QString path = folder + QLatin1Char('/') + file.name;
            const bool resume = file.name == position.file && position.offset > 0;
            qint64 size = 0;
            QByteArray bytes;
            qint64 base = 0;
            try {
                bytes = readFrom(path, resume ? position.offset : 0, fileio::maxWholeFileSize, &size);
                base = size - bytes.size();
                // A resumed file that no longer holds a record where it was left (it was replaced):
                // read it whole.
                if (base > 0 && !bytes.isEmpty() && !bytes.startsWith(QByteArrayView(marker, markerBytes))) {
                    bytes = readFrom(path, 0, fileio::maxWholeFileSize, &size);
                    base = 0;
                }
            } catch (const CommandError &e) {
                if (e.number != ErrorNumber::FileNotFound) // gone since it was listed: nothing to say
                    report(problems, path,
                           QCoreApplication::translate("SyncFolder", "共有フォルダーのファイルを読めません: %1")
                               .arg(e.description));
                continue;
            }
            const SegmentScan scan = scanSegment(bytes);
            const quint64 before = base > 0 ? position.next - 1 : (file.parsed.first > 0 ? file.parsed.first - 1 : 0);
            bool foreign = false;
            for (qsizetype r = 0; r < scan.records.size(); ++r) {
                const Record &record = scan.records[r];
                if (record.device != device) {
                    foreign = true;
                    continue;
                }
                if (record.sequence >= position.next && !found.count(record.sequence))
                    found.emplace(record.sequence, Found{record, i, base + scan.ends[r]});
            }
            for (const auto &[after, until] : scan.damaged)
                lost.emplace_back(after == 0 ? before : after, until);
            if (foreign)
                report(problems, path,
                       QCoreApplication::translate("SyncFolder", "共有フォルダーの別の機器の記録を飛ばしました: %1")
                           .arg(path));
            else if (!scan.damaged.isEmpty())
                report(problems, path,
                       QCoreApplication::translate("SyncFolder", "共有フォルダーの壊れた記録を飛ばしました: %1")
                           .arg(path));
        }

        // Sequence after sequence; a sequence lost in a damaged stretch is passed over, a missing one
        // (a segment not here yet, a record still arriving) stops the device until it comes.
        for (;;) {
            auto it = found.find(position.next);
            if (it != found.end()) {
                out->append(std::move(it->second.record));
                position.file = files[it->second.file].name;
                position.offset = it->second.end;
                ++position.next;
                after.append({device, position});
                continue;
            }
            const auto gone = std::find_if(lost.cbegin(), lost.cend(), [&](const auto &range) {
                return range.first < position.next && position.next < range.second;
            });
            if (gone == lost.cend())
                break;
            const auto later = found.lower_bound(position.next);
            position.next = later == found.end() ? gone->second : std::min(gone->second, later->first);
        }
    }
};

PeerReader::PeerReader(const QString &sharedFolder, const QString &ownDevice, const QString &stateFile)
    : m_state(std::make_unique<State>())
{
    m_state->devices = devicesFolder(sharedFolder);
    m_state->ownDevice = ownDevice;
    m_state->stateFile = stateFile;
    try {
        m_state->committed = parseState(fileio::readWholeFile(stateFile));
    } catch (const CommandError &) {
        // None yet: every device is read from its first record.
    }
    m_state->pending = m_state->committed;
}

PeerReader::~PeerReader() = default;

QList<Record> PeerReader::readNew(QStringList *problems)
{
    State &s = *m_state;
    s.pending = s.committed;
    s.after.clear();
    QList<Record> records;
    for (const QString &device : entriesOf(s.devices, QDir::Dirs)) {
        if (device == s.ownDevice || s.formerOwn.contains(device) || isHidden(device))
            continue;
        if (!isDeviceName(device)) {
            const QString path = s.devices + QLatin1Char('/') + device;
            s.report(problems, path,
                     QCoreApplication::translate("SyncFolder", "共有フォルダーの知らないフォルダーを飛ばしました: %1")
                         .arg(path));
            continue;
        }
        Position &position = s.pending[device];
        s.readDevice(device, position, &records, problems);
        if (position == Position{})
            s.pending.remove(device);
    }
    return records;
}

bool PeerReader::commit(QString *error, qsizetype taken)
{
    State &s = *m_state;
    QMap<QString, Position> reached = s.pending;
    if (taken >= 0 && taken < s.after.size()) {
        reached = s.committed;
        for (qsizetype r = 0; r < taken; ++r)
            reached[s.after[r].first] = s.after[r].second;
    }
    if (reached == s.committed && !s.unsaved)
        return true;
    // What was taken is in the history whether or not the file can be written: the positions move on
    // here at once (nothing is read twice in this run), and the file is written again next time.
    s.committed = reached;
    try {
        fileio::writeFileAtomic(s.stateFile, formatState(reached));
    } catch (const CommandError &e) {
        s.unsaved = true;
        *error = QCoreApplication::translate("SyncFolder", "共有フォルダーの読み取り位置を保存できません: %1")
                     .arg(e.description);
        return false;
    }
    s.unsaved = false;
    return true;
}

void PeerReader::skipDevices(const QStringList &devices)
{
    m_state->formerOwn = QSet<QString>(devices.begin(), devices.end());
}

bool PeerReader::passOver(const QString &device, quint64 next, QString *error)
{
    State &s = *m_state;
    if (!isDeviceName(device) || device == s.ownDevice)
        return true;
    s.pending = s.committed;
    s.after.clear();
    Position &position = s.pending[device];
    if (next == 0) {
        QList<Record> records;
        s.readDevice(device, position, &records, nullptr);
    } else if (position.next < next) {
        position = Position{next, QString(), 0};
    }
    return commit(error);
}

QStringList PeerReader::watchedFolders() const
{
    QStringList folders{m_state->devices};
    for (const QString &device : entriesOf(m_state->devices, QDir::Dirs)) {
        if (device != m_state->ownDevice && !m_state->formerOwn.contains(device) && !isHidden(device) &&
            isDeviceName(device))
            folders.append(m_state->devices + QLatin1Char('/') + device);
    }
    return folders;
}

} // namespace syncfolder
