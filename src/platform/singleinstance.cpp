#include "singleinstance.h"

#include "core/commanderror.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Several starts in a row may be waiting; none of them needs long.
constexpr int clientTimeoutMs = 2000;

QString socketPathFor(const QString &folder, const QString &runtimeFolder)
{
    if (!runtimeFolder.isEmpty() && QFileInfo(runtimeFolder).isDir()) {
        // One name per data folder; short enough for a socket path.
        const QByteArray key = QFile::encodeName(QFileInfo(folder).absoluteFilePath());
        const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
        return runtimeFolder + QStringLiteral("/vornkip-") + QString::fromLatin1(hash) + QStringLiteral(".sock");
    }
    return folder + QStringLiteral("/.vornkip.sock");
}
} // namespace

LockFileInstance::LockFileInstance(const QString &folder, QObject *parent)
    : LockFileInstance(folder, qEnvironmentVariable("XDG_RUNTIME_DIR"), parent)
{}

LockFileInstance::LockFileInstance(const QString &folder, const QString &runtimeFolder, QObject *parent)
    : SingleInstance(parent), m_path(folder + QStringLiteral("/.vornkip.lock")),
      m_socket(socketPathFor(folder, runtimeFolder))
{}

LockFileInstance::~LockFileInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool LockFileInstance::acquire()
{
    if (m_fd >= 0)
        return true;
    // Opened for writing although nothing is written: a data folder the program cannot write to is a
    // failure to report now, not at the first copy. A link planted in its place is not followed.
    const QByteArray native = QFile::encodeName(m_path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw fileError(errno, m_path);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw fileError(EINVAL, m_path);
    }
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return false;
        throw fileError(err, m_path);
    }
    m_fd = fd;
    listen();
    return true;
}

void LockFileInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock holder listens, so a socket file left here is a dead copy's.
    QLocalServer::removeServer(m_socket);
    if (!m_server->listen(m_socket)) {
        // Later starts are still refused by the lock; they just cannot bring this copy forward.
        qWarning("vornkip: cannot listen on %s: %s", qPrintable(m_socket), qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = m_server->nextPendingConnection())
            serve(client);
    });
}

void LockFileInstance::serve(QLocalSocket *client)
{
    // One line of at most a few bytes; anything else is dropped.
    const auto take = [this, client] {
        if (client->canReadLine()) {
            if (client->readLine(64) == request)
                emit activationRequested();
            client->disconnectFromServer();
        } else if (client->bytesAvailable() >= 64) {
            client->abort();
        }
    };
    connect(client, &QLocalSocket::readyRead, this, take);
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    QTimer::singleShot(clientTimeoutMs, client, [client] {
        client->abort();
        client->deleteLater();
    });
    if (client->bytesAvailable() > 0)
        take();
}

void LockFileInstance::activateRunning()
{
    QLocalSocket socket;
    socket.connectToServer(m_socket);
    // A local connection is made or refused at once; the short waits only bound a copy that hangs.
    if (!socket.waitForConnected(clientTimeoutMs))
        return;
    socket.write(request, sizeof request - 1);
    socket.waitForBytesWritten(clientTimeoutMs);
    socket.disconnectFromServer();
}
