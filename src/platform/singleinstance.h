#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One running copy per user and data folder. The first start holds a lock on a file in the data
// folder (released by the system when the process ends, so a crash leaves no stale lock); a later
// start finds it held, asks the running copy to come to the front, and is refused.
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

signals:
    // Another start asked this copy to come to the front.
    void activationRequested();
};

// The lock is flock(2) on `.vornkip.lock` in the data folder; its content means nothing (it is never
// written or read). The copy holding it listens on a local socket private to the user, whose name is
// derived from the data folder; a refused start connects there and sends one request. No process is
// ever signalled.
class LockFileInstance final : public SingleInstance
{
    Q_OBJECT

public:
    // `runtimeFolder` holds the socket ($XDG_RUNTIME_DIR); when it is empty or missing, the data folder does.
    explicit LockFileInstance(const QString &folder, QObject *parent = nullptr);
    LockFileInstance(const QString &folder, const QString &runtimeFolder, QObject *parent = nullptr);
    ~LockFileInstance() override;

    bool acquire() override;
    void activateRunning() override;

    const QString &lockPath() const { return m_path; }
    // The full path of the socket the running copy listens on.
    const QString &socketPath() const { return m_socket; }

    // What a refused start sends.
    static constexpr char request[] = "activate\n";

private:
    void listen();
    void serve(QLocalSocket *client);

    QString m_path;
    QString m_socket;
    int m_fd = -1;
    QLocalServer *m_server = nullptr;
};
