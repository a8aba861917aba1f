// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/syncfolder.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class QFileSystemWatcher;
class QTimer;

// The history shared with the user's other machines through a folder that a synchronisation program
// carries (form.ini [Sync] Folder). Each text this machine records from a copy is appended to its own
// segments; what the other machines appended is read when the folder changes (inotify, settled for a
// moment so that a burst is read once) or at a slow rescan, and added to the history in the order it
// was received, never to the clipboard and never written back (no echo). A problem with the folder is
// told once and touches neither the history nor the recording; sharing works again once the folder
// does.
class SyncService final : public QObject
{
    Q_OBJECT

public:
    // Adds a text from another machine to the history, leaving the clipboard alone; false when it could
    // not be written (and the user was told).
    using Adder = std::function<bool(const QString &text)>;

    SyncService(const QString &dataFolder, Adder add, QObject *parent = nullptr);
    ~SyncService() override;

    // Shares through `sharedFolder` from now on; empty turns sharing off.
    void setFolder(const QString &sharedFolder);
    bool isOn() const { return m_writer != nullptr; }
    const QString &folder() const { return m_folder; }
    // When the last entry from another machine arrived in this run; invalid when none did.
    const QDateTime &lastArrival() const { return m_lastArrival; }

    // A text this machine recorded from a copy: appended to its own segments (kept until they can take
    // it, while the program runs).
    void share(const QString &text);
    // Reads what the other machines added since the last read, and adds it.
    void readPeers();

    // The slow rescan behind the watcher (a folder a watch cannot see, a missed event), and how long a
    // change settles before it is read.
    static constexpr int rescanMs = 60'000;
    static constexpr int settleMs = 250;
    // How many records are added to the history between two turns of the event loop at most, and for
    // how long (each is flushed to the disk).
    static constexpr qsizetype batchSize = 200;
    static constexpr int batchMs = 50;
    // How much of the copies the folder could not take yet is kept to send later (UTF-16 bytes).
    static constexpr qint64 maxUnsentBytes = 64 * 1024 * 1024;
    // A problem message lists this many lines, then how many more there are.
    static constexpr qsizetype maxProblemLines = 5;
    // The file in the data folder that keeps how far each machine was read.
    static QString stateFile(const QString &dataFolder);

signals:
    // On or off, or a new last arrival.
    void stateChanged();
    // Something to tell the user: each problem once, until it is over.
    void problem(const QString &text);

private:
    void addSome();
    void sendUnsent();
    bool append(const QString &text, qint64 msecs, QString *error);
    void watch();
    void tell(const QString &key, const QString &text);
    void over(const QString &key) { m_told.remove(key); }

    QString m_dataFolder;
    Adder m_add;
    QString m_folder;
    QString m_device; // this machine's id in the folder
    std::unique_ptr<syncfolder::SegmentWriter> m_writer;
    std::unique_ptr<syncfolder::PeerReader> m_reader;
    QFileSystemWatcher *m_watcher;
    QTimer *m_settle;
    QTimer *m_rescan;
    QTimer *m_feed;
    QList<syncfolder::Record> m_arrived;        // the read being added
    qsizetype m_taken = 0;                      // how many of it are in the history
    QList<std::pair<QString, qint64>> m_unsent; // copies and their times, not written to the folder yet
    qint64 m_unsentBytes = 0;
    QDateTime m_lastArrival;
    QSet<QString> m_told;
};
