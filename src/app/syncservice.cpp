// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncservice.h"

#include "core/commanderror.h"
#include "sync/syncfolder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSysInfo>
#include <QTimer>

#include <climits>
#include <new>

namespace {
const QString writeTrouble = QStringLiteral("write");
const QString commitTrouble = QStringLiteral("commit");
const QString deviceTrouble = QStringLiteral("device");
} // namespace

SyncService::SyncService(const QString &dataFolder, Adder add, QObject *parent)
    : QObject(parent), m_dataFolder(dataFolder), m_add(std::move(add)), m_watcher(new QFileSystemWatcher(this)),
      m_settle(new QTimer(this)), m_rescan(new QTimer(this)), m_feed(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(settleMs);
    m_rescan->setInterval(rescanMs);
    m_feed->setSingleShot(true);
    connect(m_settle, &QTimer::timeout, this, &SyncService::readPeers);
    connect(m_rescan, &QTimer::timeout, this, [this] {
        // A folder moved away and made again keeps its path but not its watch: watched anew.
        if (const QStringList watched = m_watcher->directories(); !watched.isEmpty())
            m_watcher->removePaths(watched);
        readPeers();
    });
    connect(m_feed, &QTimer::timeout, this, &SyncService::addSome);
    // A burst of changes (a segment arriving in pieces, many devices at once) is read once, a moment
    // after it began; a steady stream is read at that pace.
    const auto changed = [this] {
        if (!m_settle->isActive())
            m_settle->start();
    };
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
}

SyncService::~SyncService() = default;

QString SyncService::stateFile(const QString &dataFolder)
{
    return dataFolder + QStringLiteral("/syncread.dat");
}

void SyncService::setFolder(const QString &sharedFolder)
{
    if (sharedFolder == m_folder && (isOn() || sharedFolder.isEmpty()))
        return;
    m_settle->stop();
    m_rescan->stop();
    m_feed->stop();
    m_arrived.clear();
    m_taken = 0;
    if (sharedFolder.isEmpty()) {
        m_unsent.clear();
        m_unsentBytes = 0;
    }
    if (const QStringList watched = m_watcher->directories() + m_watcher->files(); !watched.isEmpty())
        m_watcher->removePaths(watched);
    m_reader.reset();
    m_writer.reset();
    m_folder = sharedFolder;
    m_told.clear();
    if (!sharedFolder.isEmpty()) {
        try {
            // The machine id keeps a data folder copied to another machine from taking this one's id.
            const QString machine = QString::fromLatin1(QSysInfo::machineUniqueId());
            QString former;
            QStringList ownFormer;
            m_device = syncfolder::deviceId(m_dataFolder, machine, &former, &ownFormer);
            m_writer = std::make_unique<syncfolder::SegmentWriter>(sharedFolder, m_device);
            // This machine's folder there holds less than it had shared (emptied, or a new shared
            // folder): the others would skip the sequences they had read, so it goes on under a new id.
            const quint64 there = m_writer->knowsNext() ? m_writer->nextSequence() : 1;
            if (QFileInfo(sharedFolder).isDir() && there < syncfolder::sentNext(m_dataFolder, m_device)) {
                ownFormer << m_device;
                m_device = syncfolder::renewDeviceId(m_dataFolder, machine);
                m_writer = std::make_unique<syncfolder::SegmentWriter>(sharedFolder, m_device);
            }
            m_reader = std::make_unique<syncfolder::PeerReader>(sharedFolder, m_device, stateFile(m_dataFolder));
            m_reader->skipDevices(ownFormer);
            // A data folder brought from another machine (or a machine whose id changed) holds what its
            // former id shared already: as far as it had come, kept with it, or else what the folder
            // holds now.
            if (QString error;
                !former.isEmpty() && !m_reader->passOver(former, syncfolder::sentNext(m_dataFolder, former), &error))
                tell(commitTrouble, error);
        } catch (const CommandError &e) {
            m_reader.reset();
            m_writer.reset();
            tell(deviceTrouble, e.description);
        }
    }
    if (m_writer) {
        m_rescan->start();
        m_settle->start(); // what arrived while the program was not running, once the start is over
        watch();
    }
    emit stateChanged();
}

void SyncService::share(const QString &text)
{
    if (!m_writer)
        return;
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    sendUnsent();
    if (m_unsent.isEmpty()) {
        QString error;
        if (append(text, msecs, &error)) {
            over(writeTrouble);
            return;
        }
        tell(writeTrouble, error);
    }
    if (const qint64 bytes = text.size() * qint64(sizeof(QChar)); m_unsentBytes + bytes <= maxUnsentBytes) {
        m_unsent.append({text, msecs});
        m_unsentBytes += bytes;
    }
}

bool SyncService::append(const QString &text, qint64 msecs, QString *error)
{
    if (!m_writer->append(text, msecs, error))
        return false;
    syncfolder::keepSentNext(m_dataFolder, m_device, m_writer->nextSequence());
    return true;
}

// Copies wait here while the folder cannot take them (an unmounted disk, a full one), and go out in
// their order, with their own times, once it can: at the next copy or the next read.
void SyncService::sendUnsent()
{
    while (m_writer && !m_unsent.isEmpty()) {
        QString error;
        if (!append(m_unsent.first().first, m_unsent.first().second, &error)) {
            tell(writeTrouble, error);
            return;
        }
        m_unsentBytes -= m_unsent.first().first.size() * qint64(sizeof(QChar));
        m_unsent.removeFirst();
        over(writeTrouble);
    }
}

void SyncService::readPeers()
{
    // While a read is still being added, the next one waits for it (it is started at its end).
    sendUnsent();
    if (!m_reader)
        return;
    if (!m_arrived.isEmpty()) {
        watch();
        return;
    }
    QStringList problems;
    try {
        m_arrived = m_reader->readNew(&problems);
    } catch (const CommandError &e) {
        problems << e.description; // a last guard: the reader tells what it meets itself
    } catch (const std::bad_alloc &) {
        problems << commandError(ErrorNumber::OutOfMemory).description;
    }
    m_taken = 0;
    // What one read met is told in one message: a folder of foreign files is one problem, not one each.
    QStringList news;
    for (const QString &line : std::as_const(problems)) {
        if (!m_told.contains(line)) {
            m_told.insert(line);
            news << line;
        }
    }
    if (news.size() > maxProblemLines) {
        const qsizetype more = news.size() - maxProblemLines;
        news.resize(maxProblemLines);
        news << tr("ほか %n 件", nullptr, int(std::min<qsizetype>(more, INT_MAX)));
    }
    if (!news.isEmpty())
        emit problem(news.join(QLatin1Char('\n')));
    addSome();
    watch();
}

// The records of a read, added a batch at a time so that a long read (a machine's whole history the
// first time) leaves the window free in between; the positions move on after each batch, past the
// records that are in the history only, so a program ended half-way reads on from there. A record
// that could not be added (a full disk) ends the read: the rest is read again next time.
void SyncService::addSome()
{
    if (!m_reader)
        return;
    const qsizetype before = m_taken;
    bool failed = false;
    QElapsedTimer turn;
    turn.start();
    for (qsizetype end = std::min(m_arrived.size(), m_taken + batchSize);
         m_taken < end && (m_taken == before || turn.elapsed() < batchMs); ++m_taken) {
        if (!m_add(m_arrived[m_taken].text)) {
            failed = true;
            break;
        }
    }
    if (m_taken > 0 || m_arrived.isEmpty()) {
        QString error;
        if (m_reader->commit(&error, m_taken))
            over(commitTrouble);
        else
            tell(commitTrouble, error);
    }
    if (m_taken > before) {
        m_lastArrival = QDateTime::currentDateTime();
        emit stateChanged();
    }
    if (!failed && m_taken < m_arrived.size()) {
        m_feed->start();
        return;
    }
    const bool more = m_taken == m_arrived.size() && !m_arrived.isEmpty();
    m_arrived.clear();
    m_taken = 0;
    // What came in while this read was added.
    if (more)
        m_settle->start();
}

// The reader's folders, each watched once it exists; until then its nearest existing parent inside the
// shared folder is, so that its arrival is seen. A folder that disappeared is dropped by the watcher and
// found again at a rescan.
void SyncService::watch()
{
    QStringList wanted;
    for (QString path : m_reader->watchedFolders()) {
        while (!QFileInfo(path).isDir() && path.size() > m_folder.size())
            path = QFileInfo(path).path();
        if (QFileInfo(path).isDir() && !wanted.contains(path))
            wanted << path;
    }
    const QStringList watched = m_watcher->directories();
    if (QSet<QString>(watched.begin(), watched.end()) == QSet<QString>(wanted.begin(), wanted.end()))
        return;
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    if (!wanted.isEmpty())
        m_watcher->addPaths(wanted);
}

void SyncService::tell(const QString &key, const QString &text)
{
    if (m_told.contains(key))
        return;
    m_told.insert(key);
    emit problem(text);
}
