#include "singleinstance.h"

#include "core/fileio.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

LockFileInstance::LockFileInstance(const QString &folder, QObject *parent)
    : SingleInstance(parent), m_path(folder + QStringLiteral("/.vornkip.lock"))
{}

LockFileInstance::~LockFileInstance()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool LockFileInstance::acquire()
{
    if (m_fd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, fileio::privateFileMode);
    if (fd < 0)
        return true; // no lock can be taken (read-only folder): do not refuse to start for that
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return errno != EWOULDBLOCK;
    }
    // The holder's process id, for a later start to reach it.
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0)
        fileio::writeAll(fd, pid, m_path);
    m_fd = fd;
    return true;
}

void LockFileInstance::activateRunning()
{
    try {
        const qint64 pid = fileio::readWholeFile(m_path).trimmed().toLongLong();
        if (pid > 1 && pid != ::getpid())
            ::kill(static_cast<pid_t>(pid), SIGUSR1);
    } catch (...) {
        // Nothing to reach: the refusal stands on its own.
    }
}
