// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File operations on the program's files. Every failure is a CommandError with the runtime number
// for its errno (53, 76, 70, 75, 61). Files the program creates are private to the user (0600),
// whatever the umask; each file is opened only for the duration of one operation.
namespace fileio {
inline constexpr unsigned privateFileMode = 0600;
inline constexpr unsigned privateDirMode = 0700;

// The largest file read whole into memory (templates, text-window files, drops, copies); a larger
// one is error 7 rather than an allocation the process may not survive.
inline constexpr qint64 maxWholeFileSize = qint64(256) * 1024 * 1024;

// The mode of a file written by writeFileAtomic.
enum class FileMode
{
    Private,      // 0600, whatever the umask and the mode of the file it replaces
    KeepExisting, // the replaced file's mode; a new file gets 0666 less the umask, as editors do
};

// Marks the data folder: a file directly inside it is never reached through a symbolic link (opening
// one is error 75, and writeFileAtomic refuses to replace one), so a link planted there cannot send
// the history or the settings elsewhere. An empty path clears the mark.
void setDataFolder(const QString &folder);

// An open file descriptor, closed when it goes out of scope.
class UniqueFd final
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept;
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd();
    int get() const { return m_fd; }
    int release();

private:
    int m_fd = -1;
};

// open(2) of a regular file, that throws (a folder, a FIFO or a device is refused, and opening one
// never waits); `mode` applies when the file is created.
UniqueFd openFile(const QString &path, int flags, unsigned mode = privateFileMode);

// Writes all of `data` at the descriptor's position, retrying short writes and EINTR.
void writeAll(int fd, QByteArrayView data, const QString &path);

// pread(2) of up to `length` bytes from `offset`; fewer at the end of the file.
QByteArray readAt(int fd, qint64 offset, qint64 length, const QString &path);

qint64 fileSize(int fd, const QString &path);

bool exists(const QString &path);

// The whole content of a regular file. Anything else (a FIFO, a device, a socket) is error 75 and is
// never waited on; a file larger than maxWholeFileSize is error 7.
QByteArray readWholeFile(const QString &path);

// Creates the file empty when it is missing (opened for appending and closed again).
void touch(const QString &path);

// Replaces `path` atomically: the data goes to a new file in the same folder, which is flushed to
// disk and renamed over `path`. A crash or a full disk leaves either the old or the new file whole.
void writeFileAtomic(const QString &path, QByteArrayView data, FileMode mode = FileMode::Private);

// Byte copy of `from` over `to`, atomically; `from` is not changed.
void copyFile(const QString &from, const QString &to);

// Deletes the file; a missing file is not an error.
void removeFile(const QString &path);

// Creates the folder (and its parents) when missing; every folder created here is 0700, whatever the
// umask. A folder that already exists is left as it is.
void makeDir(const QString &path);

// Narrows an existing regular file to the owner's read and write bits (0600 for a normal file). A
// symbolic link, a missing file or one the program may not change is left alone.
void narrowToOwner(const QString &path);
} // namespace fileio
