// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio.h"

#include "commanderror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {
namespace {
QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void fail(const QString &path)
{
    throw fileError(errno, path);
}

QString &dataFolder()
{
    static QString folder;
    return folder;
}

bool inDataFolder(const QString &path)
{
    return !dataFolder().isEmpty() && QFileInfo(path).absolutePath() == dataFolder();
}

// A new, empty file beside `path` with a name no other file has, created with `mode` (less the umask).
UniqueFd createTemporaryBeside(const QString &path, unsigned mode, QByteArray &name)
{
    const QFileInfo info(path);
    const QByteArray base =
        nativePath(info.absolutePath() + QLatin1Char('/') + QLatin1Char('.') + info.fileName() + QLatin1Char('.'));
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = base + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0)
            return UniqueFd(fd);
        if (errno != EEXIST && errno != EINTR)
            fail(path);
    }
    fail(path); // errno is EEXIST
}

void syncFolderOf(const QString &path)
{
    const QByteArray dir = nativePath(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

UniqueFd &UniqueFd::operator=(UniqueFd &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int UniqueFd::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

UniqueFd openFile(const QString &path, int flags, unsigned mode)
{
    if (path.isEmpty()) {
        errno = ENOENT;
        fail(path);
    }
    if (inDataFolder(path))
        flags |= O_NOFOLLOW;
    // Without O_NONBLOCK, opening a FIFO would wait for a peer that may never come; on a regular
    // file it changes nothing.
    int fd;
    do {
        fd = ::open(nativePath(path).constData(), flags | O_CLOEXEC | O_NONBLOCK, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail(path);
    UniqueFd opened(fd);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        fail(path);
    // Only regular files are the program's files: a folder, a FIFO or a device is refused.
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        fail(path);
    }
    return opened;
}

void writeAll(int fd, QByteArrayView data, const QString &path)
{
    const char *p = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(path);
        }
        p += n;
        left -= n;
    }
}

QByteArray readAt(int fd, qint64 offset, qint64 length, const QString &path)
{
    QByteArray out;
    if (length <= 0)
        return out;
    out.resize(length);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out.data() + done, static_cast<size_t>(length - done), offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(path);
        }
        if (n == 0)
            break;
        done += n;
    }
    out.resize(done);
    return out;
}

qint64 fileSize(int fd, const QString &path)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        fail(path);
    return st.st_size;
}

bool exists(const QString &path)
{
    struct stat st
    {
    };
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void setDataFolder(const QString &folder)
{
    dataFolder() = folder.isEmpty() ? QString() : QFileInfo(folder).absoluteFilePath();
}

QByteArray readWholeFile(const QString &path)
{
    UniqueFd fd = openFile(path, O_RDONLY);
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        fail(path);
    if (st.st_size > maxWholeFileSize) {
        CommandError e = commandError(ErrorNumber::OutOfMemory);
        e.description += QLatin1Char('\n') + path;
        throw e;
    }
    return readAt(fd.get(), 0, st.st_size, path);
}

void touch(const QString &path)
{
    openFile(path, O_WRONLY | O_CREAT | O_APPEND);
}

void writeFileAtomic(const QString &path, QByteArrayView data, FileMode mode)
{
    const QByteArray target = nativePath(path);
    struct stat st
    {
    };
    // The rename would replace a planted link rather than follow it; refuse it all the same, so that
    // the user hears of it.
    if (inDataFolder(path) && ::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        errno = ELOOP;
        fail(path);
    }
    std::optional<mode_t> keep;
    if (mode == FileMode::Private)
        keep = static_cast<mode_t>(privateFileMode);
    else if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode))
        keep = st.st_mode & 07777;
    QByteArray tmpl;
    UniqueFd fd = createTemporaryBeside(path, mode == FileMode::Private ? privateFileMode : 0666, tmpl);
    try {
        if (keep && ::fchmod(fd.get(), *keep) != 0)
            fail(path);
        writeAll(fd.get(), data, path);
        if (::fsync(fd.get()) != 0)
            fail(path);
        if (::close(fd.release()) != 0)
            fail(path);
        if (::rename(tmpl.constData(), target.constData()) != 0)
            fail(path);
    } catch (...) {
        ::unlink(tmpl.constData());
        throw;
    }
    syncFolderOf(path);
}

void copyFile(const QString &from, const QString &to)
{
    writeFileAtomic(to, readWholeFile(from));
}

void removeFile(const QString &path)
{
    if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT)
        fail(path);
}

void makeDir(const QString &path)
{
    if (QFileInfo(path).isDir())
        return;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !QFileInfo(parent).isDir())
        makeDir(parent);
    const QByteArray native = nativePath(path);
    if (::mkdir(native.constData(), static_cast<mode_t>(privateDirMode)) != 0) {
        if (errno != EEXIST)
            fail(path);
        // Made meanwhile by someone else: use it as it is, if it is a folder.
        if (!QFileInfo(path).isDir()) {
            errno = ENOTDIR;
            fail(path);
        }
        return;
    }
    // A umask such as 0277 would leave the new folder without the owner's write bit.
    ::chmod(native.constData(), static_cast<mode_t>(privateDirMode));
}

void narrowToOwner(const QString &path)
{
    const int raw = ::open(nativePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (raw < 0)
        return;
    const UniqueFd fd(raw);
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 07777 & ~privateFileMode) != 0)
        ::fchmod(fd.get(), st.st_mode & privateFileMode);
}
} // namespace fileio
