// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

// The history shared between the user's machines through a folder that a synchronisation program
// (Syncthing, Nextcloud, any folder sync) carries: the program itself never talks to the network.
//
// <shared folder>/vornkip/devices/<device id>/ holds one machine's own append-only segment files;
// only that machine ever writes there, so two machines never write the same file. Each record
// carries the device id, a sequence number, the time and the whole text, framed with its length and
// a checksum, so that a reader sees a record that has not arrived whole yet and waits for it.
namespace syncfolder {

// One recorded entry as it travels between machines.
struct Record
{
    QString device;   // the id of the machine that recorded it
    quint64 sequence; // 1, 2, 3 … per device, never reused
    qint64 msecs;     // when it was recorded, milliseconds since the epoch (UTC)
    QString text;     // the whole text, line breaks as recorded
    bool operator==(const Record &) const = default;
};

// The bytes of one record as a segment holds it: a header of recordHeaderBytes (a marker, the length
// of the rest, its CRC-32 and the header's own CRC-32), then the rest (device, sequence, time, text).
inline constexpr qsizetype recordHeaderBytes = 16;
QByteArray encodeRecord(const Record &record);

// What a stretch of segment bytes holds: the complete records whose checksums hold, in file order,
// with where each one's bytes start and end. A stretch that holds no record but is followed by one is
// damaged: it is listed with the sequences of the records on either side of it (0 when it comes
// first). What follows the last record may still be arriving and is not listed.
struct SegmentScan
{
    QList<Record> records;
    QList<qint64> starts;
    QList<qint64> ends;
    QList<std::pair<quint64, quint64>> damaged;
};
SegmentScan scanSegment(QByteArrayView bytes);

// The folder of every device's segments under the shared folder.
QString devicesFolder(const QString &sharedFolder);

// This machine's device id: a random identifier made once and kept in the data folder, never the host
// name. It is kept with the machine id it was made on (`machineId`, e.g. /etc/machine-id), so a data
// folder copied to a second machine gets an id of its own there; `former` then gets the id the data
// folder held. `ownFormer` gets the ids this machine had before (see renewDeviceId). Throws
// CommandError when it can be neither read nor made.
QString deviceId(const QString &dataFolder, const QString &machineId, QString *former = nullptr,
                 QStringList *ownFormer = nullptr);
// Gives this machine a new device id, keeping the present one among its former ids. For when its own
// sequence would start again below where it had come (its folder in the shared folder emptied, or a
// new shared folder): the other machines skip the sequences they have read, so they could take the
// new records only under a new id, which they read whole.
QString renewDeviceId(const QString &dataFolder, const QString &machineId);
// The next sequence this machine had come to under `device`, as kept in the data folder after each
// record it shared; 0 when none is kept.
quint64 sentNext(const QString &dataFolder, const QString &device);
void keepSentNext(const QString &dataFolder, const QString &device, quint64 next);

// Appends this machine's records to its own segments (`devicesFolder/<device>/`). A segment is closed
// at `segmentBytes` and never changed again; the next record starts a new one. On opening, the next
// sequence number is found from the last complete record already there.
class SegmentWriter final
{
public:
    static constexpr qint64 defaultSegmentBytes = 4 * 1024 * 1024;
    SegmentWriter(const QString &sharedFolder, const QString &device, qint64 segmentBytes = defaultSegmentBytes);
    ~SegmentWriter();
    SegmentWriter(const SegmentWriter &) = delete;
    SegmentWriter &operator=(const SegmentWriter &) = delete;

    // Appends one record and flushes it. False, with `error` set to what to tell the user, when it
    // could not be written (the folder gone, the disk full); nothing half-written is left behind that
    // a reader would take for a record, and the next call tries again.
    bool append(const QString &text, qint64 msecs, QString *error);
    quint64 nextSequence() const;
    // Whether the next sequence was found in the folder (it is there, and could be read).
    bool knowsNext() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Reads the records the other devices added since the last read: only complete records, in each
// device's sequence order, each (device, sequence) once (a segment sent again, a `*.sync-conflict-*`
// copy), never this machine's own. How far each device was read is kept in `stateFile` in the data
// folder, so a restart reads nothing twice.
class PeerReader final
{
public:
    PeerReader(const QString &sharedFolder, const QString &ownDevice, const QString &stateFile);
    ~PeerReader();
    PeerReader(const PeerReader &) = delete;
    PeerReader &operator=(const PeerReader &) = delete;

    // The new records, oldest first per device. `problems` gets one line per damaged or foreign file
    // it met (it skips what it cannot read and goes on). The positions move on only with commit().
    QList<Record> readNew(QStringList *problems);
    // Keeps the positions reached by the last readNew() (after the caller has added its records to
    // the history), or only those after its first `taken` records when the rest could not be added.
    // False, with `error`, when the state file could not be written.
    bool commit(QString *error, qsizetype taken = -1);
    // This machine's former ids: never read, as its own id is not.
    void skipDevices(const QStringList &devices);
    // Takes `device` as read up to its sequence `next` (0: everything it has in the folder now),
    // without returning it: what a data folder brought along from the machine it was copied from is in
    // the history already.
    bool passOver(const QString &device, quint64 next, QString *error);
    // The folders to watch for new data: the devices folder and each other device's folder.
    QStringList watchedFolders() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace syncfolder
