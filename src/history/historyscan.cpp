// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyscan.h"

#include "core/commanderror.h"

#include <cerrno>
#include <unistd.h>

namespace historysearch::detail {
void readFully(int fd, char *into, qint64 length, qint64 offset, const QString &path)
{
    while (length > 0) {
        const ssize_t r = ::pread(fd, into, static_cast<size_t>(length), offset);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw fileError(errno, path);
        }
        if (r == 0)
            throw fileError(EIO, path); // cut short behind the search
        into += r;
        length -= r;
        offset += r;
    }
}

bool beginsAsHistory(int fd, qint64 size, const QString &path)
{
    // The first line decides; numbers cut short before it (each at most seven bytes) are passed over.
    constexpr qint64 window = 4096;
    const qint64 take = std::min(size, window);
    std::vector<char> bytes(static_cast<size_t>(take));
    readFully(fd, bytes.data(), take, 0, path);
    for (qint64 at = 0; at < take;) {
        const historyformat::LineEnd line = historyformat::lineEndFrom(bytes.data(), at, take);
        if (!historyformat::isCutNumber(bytes.data() + at, line.end - at))
            return historyformat::lineNumber(bytes.data() + at, line.end - at) >= 0;
        at = line.next;
    }
    return false;
}

qint64 middleLineStart(int fd, qint64 size, const QString &path)
{
    constexpr qint64 window = 64 * 1024;
    std::vector<char> bytes(static_cast<size_t>(window) + 1);
    for (qint64 at = size / 2; at < size; at += window) {
        const qint64 take = std::min(window + 1, size - at);
        readFully(fd, bytes.data(), take, at, path);
        const void *cr = std::memchr(bytes.data(), '\r', static_cast<size_t>(std::min(take, window)));
        if (cr) {
            const qint64 pos = at + (static_cast<const char *>(cr) - bytes.data());
            if (pos + 1 < size) {
                char next = 0;
                readFully(fd, &next, 1, pos + 1, path);
                return next == '\n' ? pos + 2 : pos + 1;
            }
            return size;
        }
    }
    return size;
}
} // namespace historysearch::detail
