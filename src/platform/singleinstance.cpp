// SPDX-License-Identifier: GPL-3.0-or-later
#include "singleinstance.h"

#include "core/commanderror.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Several starts in a row may be waiting; none of them needs long.
constexpr int clientTimeoutMs = 2000;
// While the process has no descriptor (or memory) to spare, waiting connections are taken this often.
constexpr int retryMs = 250;

bool outOfResources(int err)
{
    return err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM;
}

// A folder that belongs to `user` and that no one else may write in: nobody else can put a file there.
bool privateFolder(const QString &folder, uid_t user)
{
    struct stat st
    {
    };
    return !folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == user && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString socketPathFor(const QString &folder, const QString &runtimeFolder, uid_t user)
{
    if (privateFolder(runtimeFolder, user)) {
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
    : LockFileInstance(folder, runtimeFolder, ::geteuid(), parent)
{}

LockFileInstance::LockFileInstance(const QString &folder, const QString &runtimeFolder, uid_t user, QObject *parent)
    : SingleInstance(parent), m_path(folder + QStringLiteral("/.vornkip.lock")),
      m_socket(socketPathFor(folder, runtimeFolder, user)), m_user(user)
{}

LockFileInstance::~LockFileInstance()
{
    if (m_listener >= 0) {
        delete m_incoming;
        ::close(m_listener);
        ::unlink(QFile::encodeName(m_socket).constData());
    }
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
    // The socket is made here rather than by QLocalServer, which closes its socket and deletes the
    // file on any failure to accept a connection, such as running out of descriptors for a moment:
    // later starts could then no longer bring this copy forward.
    const QByteArray name = QFile::encodeName(m_socket);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<size_t>(name.size()) >= sizeof address.sun_path) {
        qWarning("vornkip: cannot listen on %s: the path is too long", name.constData());
        return;
    }
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        const int err = errno;
        qWarning("vornkip: cannot listen on %s: %s", name.constData(), std::strerror(err));
        // Later starts are still refused by the lock; they can bring this copy forward once it listens.
        if (outOfResources(err))
            QTimer::singleShot(retryMs * 4, this, &LockFileInstance::listen);
        return;
    }
    // Only the lock holder listens, so a file left by that name is a dead copy's. The socket is the
    // user's alone from the start (Linux gives the file the socket's mode).
    ::unlink(name.constData());
    ::fchmod(fd, 0600);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(name.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        qWarning("vornkip: cannot listen on %s: %s", name.constData(), std::strerror(errno));
        ::close(fd);
        return;
    }
    m_listener = fd;
    m_incoming = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_incoming, &QSocketNotifier::activated, this, &LockFileInstance::acceptPending);
}

void LockFileInstance::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            const int err = errno;
            if (err == EINTR || err == ECONNABORTED)
                continue;
            if (outOfResources(err)) {
                // The connection waits in the queue: take it once there is room again.
                m_incoming->setEnabled(false);
                QTimer::singleShot(retryMs, this, [this] {
                    m_incoming->setEnabled(true);
                    acceptPending();
                });
            }
            return;
        }
        if (!peerIsUser(fd)) {
            ::close(fd); // another user's program: not ours to answer
            continue;
        }
        auto *client = new QLocalSocket(this);
        if (!client->setSocketDescriptor(fd)) {
            ::close(fd);
            delete client;
            continue;
        }
        serve(client);
    }
}

bool LockFileInstance::peerIsUser(int fd) const
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && length == sizeof peer &&
           peer.uid == m_user;
}

void LockFileInstance::serve(QLocalSocket *client)
{
    // One line of at most a few bytes; anything else is dropped.
    const auto take = [this, client] {
        if (client->canReadLine()) {
            const QByteArray line = client->readLine(64);
            if (line == request)
                emit activationRequested();
            else if (line == popupRequest)
                emit popupRequested();
            else if (line == syncRequest)
                emit syncChanged();
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
    send(request);
}

bool LockFileInstance::popupRunning()
{
    return send(popupRequest);
}

bool LockFileInstance::syncChangedRunning()
{
    return send(syncRequest);
}

bool LockFileInstance::send(QByteArrayView line)
{
    QLocalSocket socket;
    socket.connectToServer(m_socket);
    // A local connection is made or refused at once; the short waits only bound a copy that hangs.
    if (!socket.waitForConnected(clientTimeoutMs))
        return false;
    // Whoever listens by that name must be a copy of ours, run by our user.
    if (!peerIsUser(static_cast<int>(socket.socketDescriptor()))) {
        socket.abort();
        return false;
    }
    bool sent = socket.write(line.data(), line.size()) == line.size();
    while (sent && socket.bytesToWrite() > 0)
        sent = socket.waitForBytesWritten(clientTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}
