// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <sys/types.h>

class QLocalSocket;
class QSocketNotifier;

// One running copy per user and data folder. The first start holds a lock on a file in the data
// folder (released by the system when the process ends, so a crash leaves no stale lock); a later
// start finds it held, asks the running copy to come to the front (or to open the popup, or to read
// the shared folder's setting again), and is refused.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // True when this is the only running copy (the lock is now ours), false when another copy holds
    // it. Throws CommandError when no lock can be taken at all (the data folder cannot be written).
    virtual bool acquire() = 0;
    // Asks the copy that holds the lock to bring its window to the front.
    virtual void activateRunning() = 0;
    // Asks the copy that holds the lock to open the history popup; false when it could not be asked
    // (it does not listen, or is not our user's).
    virtual bool popupRunning() = 0;
    // Asks the copy that holds the lock to read form.ini's [Sync] again (vornkip --sync-folder); false
    // when none could be asked.
    virtual bool syncChangedRunning() = 0;

signals:
    // Another start asked this copy to come to the front.
    void activationRequested();
    // Another start (vornkip --popup) asked this copy to open the history popup.
    void popupRequested();
    // Another start (vornkip --sync-folder) changed the shared folder in form.ini.
    void syncChanged();
};

// The lock is flock(2) on `.vornkip.lock` in the data folder; its content means nothing (it is never
// written or read). The copy holding it listens on a local socket private to the user, whose name is
// derived from the data folder; a refused start connects there and sends one request. Each end checks
// that the other runs as the same user. No process is ever signalled.
class LockFileInstance final : public SingleInstance
{
    Q_OBJECT

public:
    // The socket lives in `runtimeFolder` ($XDG_RUNTIME_DIR) when that folder belongs to `user` and no
    // one else may write in it (a shared folder would let another user take the name first); otherwise
    // in the data folder (made private to the user). Only copies run by `user` are answered or asked;
    // `user` is the one running this program unless given.
    explicit LockFileInstance(const QString &folder, QObject *parent = nullptr);
    LockFileInstance(const QString &folder, const QString &runtimeFolder, QObject *parent = nullptr);
    LockFileInstance(const QString &folder, const QString &runtimeFolder, uid_t user, QObject *parent = nullptr);
    ~LockFileInstance() override;

    bool acquire() override;
    void activateRunning() override;
    bool popupRunning() override;
    bool syncChangedRunning() override;

    const QString &lockPath() const { return m_path; }
    // The full path of the socket the running copy listens on.
    const QString &socketPath() const { return m_socket; }

    // What a refused start sends: to come to the front, or to open the popup.
    static constexpr char request[] = "activate\n";
    static constexpr char popupRequest[] = "popup\n";
    static constexpr char syncRequest[] = "sync\n";

private:
    bool send(QByteArrayView line);
    void listen();
    void acceptPending();
    void serve(QLocalSocket *client);
    // Whether the program at the other end of a connected socket runs as our user.
    bool peerIsUser(int fd) const;

    QString m_path;
    QString m_socket;
    uid_t m_user;
    int m_fd = -1;
    int m_listener = -1;
    QSocketNotifier *m_incoming = nullptr;
};

// No check: every start is the only running copy.
class SoleInstance final : public SingleInstance
{
public:
    using SingleInstance::SingleInstance;

    bool acquire() override { return true; }
    void activateRunning() override {}
    bool popupRunning() override { return false; }
    bool syncChangedRunning() override { return false; }
};
