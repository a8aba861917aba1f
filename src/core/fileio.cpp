#include "fileio.h"

#include "commanderror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
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
    int fd;
    do {
        fd = ::open(nativePath(path).constData(), flags | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail(path);
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        fail(path);
    }
    return UniqueFd(fd);
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

QByteArray readWholeFile(const QString &path)
{
    UniqueFd fd = openFile(path, O_RDONLY);
    return readAt(fd.get(), 0, fileSize(fd.get(), path), path);
}

void touch(const QString &path)
{
    openFile(path, O_WRONLY | O_CREAT | O_APPEND);
}

void writeFileAtomic(const QString &path, QByteArrayView data, unsigned mode)
{
    const QFileInfo info(path);
    QByteArray tmpl = nativePath(info.absolutePath() + QLatin1Char('/') + QLatin1Char('.') + info.fileName() +
                                 QStringLiteral(".XXXXXX"));
    const int raw = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (raw < 0)
        fail(path);
    UniqueFd fd(raw);
    const QString tmpPath = QFile::decodeName(tmpl);
    try {
        if (::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0)
            fail(path);
        writeAll(fd.get(), data, path);
        if (::fsync(fd.get()) != 0)
            fail(path);
        if (::close(fd.release()) != 0)
            fail(path);
        if (::rename(tmpl.constData(), nativePath(path).constData()) != 0)
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
    if (::mkdir(nativePath(path).constData(), static_cast<mode_t>(privateDirMode)) != 0 && errno != EEXIST)
        fail(path);
    ::chmod(nativePath(path).constData(), static_cast<mode_t>(privateDirMode));
}
} // namespace fileio
