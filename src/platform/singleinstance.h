#pragma once

#include <QObject>
#include <QString>

// One running copy per user and data folder. The first start holds a lock on a file in the data
// folder (released by the system when the process ends, so a crash leaves no stale lock); a later
// start finds it held, asks the running copy to come to the front, and is refused.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // True when this is the only running copy (the lock is now ours).
    virtual bool acquire() = 0;
    // Asks the copy that holds the lock to bring its window to the front.
    virtual void activateRunning() = 0;

signals:
    // Another start asked this copy to come to the front.
    void activationRequested();
};

class LockFileInstance final : public SingleInstance
{
    Q_OBJECT

public:
    explicit LockFileInstance(const QString &folder, QObject *parent = nullptr);
    ~LockFileInstance() override;

    bool acquire() override;
    void activateRunning() override;

    // Called by the signal watcher when SIGUSR1 arrives.
    void requestActivation() { emit activationRequested(); }

private:
    QString m_path;
    int m_fd = -1;
};
