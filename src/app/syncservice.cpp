// SPDX-License-Identifier: GPL-3.0-or-later
#include "syncservice.h"

#include "core/commanderror.h"
#include "sync/syncfolder.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSysInfo>
#include <QTimer>

namespace {
const QString writeTrouble = QStringLiteral("write");
const QString commitTrouble = QStringLiteral("commit");
const QString deviceTrouble = QStringLiteral("device");
} // namespace

SyncService::SyncService(const QString &dataFolder, Adder add, QObject *parent)
    : QObject(parent), m_dataFolder(dataFolder), m_add(std::move(add)), m_watcher(new QFileSystemWatcher(this)),
      m_settle(new QTimer(this)), m_rescan(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(settleMs);
    m_rescan->setInterval(rescanMs);
    connect(m_settle, &QTimer::timeout, this, &SyncService::readPeers);
    connect(m_rescan, &QTimer::timeout, this, &SyncService::readPeers);
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
    if (const QStringList watched = m_watcher->directories() + m_watcher->files(); !watched.isEmpty())
        m_watcher->removePaths(watched);
    m_reader.reset();
    m_writer.reset();
    m_folder = sharedFolder;
    m_told.clear();
    if (!sharedFolder.isEmpty()) {
        try {
            // The machine id keeps a data folder copied to another machine from taking this one's id.
            const QString device = syncfolder::deviceId(m_dataFolder, QString::fromLatin1(QSysInfo::machineUniqueId()));
            m_reader = std::make_unique<syncfolder::PeerReader>(sharedFolder, device, stateFile(m_dataFolder));
            m_writer = std::make_unique<syncfolder::SegmentWriter>(sharedFolder, device);
        } catch (const CommandError &e) {
            m_reader.reset();
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
    QString error;
    if (m_writer->append(text, QDateTime::currentMSecsSinceEpoch(), &error))
        over(writeTrouble);
    else
        tell(writeTrouble, error);
}

void SyncService::readPeers()
{
    if (!m_reader)
        return;
    QStringList problems;
    const QList<syncfolder::Record> records = m_reader->readNew(&problems);
    // What one read met is told in one message: a folder of foreign files is one problem, not one each.
    QStringList news;
    for (const QString &line : std::as_const(problems)) {
        if (!m_told.contains(line)) {
            m_told.insert(line);
            news << line;
        }
    }
    if (!news.isEmpty())
        emit problem(news.join(QLatin1Char('\n')));
    qsizetype added = 0;
    for (const syncfolder::Record &record : records) {
        if (!m_add(record.text))
            break;
        ++added;
    }
    // The positions move on past the records that are in the history only: the rest of a read whose
    // records could not all be added (a full disk) is read again next time.
    if (added > 0 || records.isEmpty()) {
        QString error;
        if (m_reader->commit(&error, added))
            over(commitTrouble);
        else
            tell(commitTrouble, error);
    }
    if (added > 0) {
        m_lastArrival = QDateTime::currentDateTime();
        emit stateChanged();
    }
    watch();
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
