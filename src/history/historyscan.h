// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/historyformat.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

// Reading a history file for the search: whole pieces at given offsets, lines from the end backwards.
// Throws CommandError when the file cannot be read. Used by the search only.

namespace historysearch::detail {
// Reads exactly `length` bytes at `offset`; a file cut short is an error.
void readFully(int fd, char *into, qint64 length, qint64 offset, const QString &path);

// Whether the file's first line (numbers cut short before it aside) begins with six digits.
bool beginsAsHistory(int fd, qint64 size, const QString &path);

// How a scan ended: it read all its lines, `onLine` stopped it, or it was cancelled.
enum class Scan
{
    Done,
    Stopped,
    Cancelled,
};

inline constexpr qint64 firstPiece = 64 * 1024;
inline constexpr qint64 largestPiece = 4 * 1024 * 1024;
inline constexpr int linesBetweenChecks = 2048;

// Calls onLine(number, text, length) for each numbered line of the bytes [from, to) of the file, last
// line first, with the bytes after the number; `from` is a line start (or 0), `to` a line start or
// the end of the file as it was when the search began. Reads backwards in pieces, so only a piece
// and the line crossing its start are in memory.
template <typename OnLine, typename Cancelled>
Scan scanBackward(int fd, const QString &path, qint64 from, qint64 to, Cancelled cancelled, OnLine onLine)
{
    std::vector<char> buffer; // the bytes [start, start + buffer.size()); a cut line first
    std::vector<std::pair<qint64, qint64>> lines;
    qint64 start = to;
    qint64 leftover = 0; // bytes at the front of the buffer that begin before the first whole line
    qint64 piece = firstPiece;
    int sinceCheck = 0;
    while (start > from) {
        if (cancelled())
            return Scan::Cancelled;
        const qint64 take = std::min(piece, start - from);
        piece = std::min(piece * 2, largestPiece);
        buffer.resize(static_cast<size_t>(take + leftover));
        std::memmove(buffer.data() + take, buffer.data(), static_cast<size_t>(leftover));
        start -= take;
        readFully(fd, buffer.data(), take, start, path);
        const char *data = buffer.data();
        const qint64 size = static_cast<qint64>(buffer.size());

        qint64 first = 0;
        if (start > from) {
            // The bytes before the first line end belong to a line that began further back.
            const void *cr = std::memchr(data, '\r', static_cast<size_t>(size));
            if (!cr) {
                leftover = size;
                continue;
            }
            first = static_cast<const char *>(cr) - data + 1;
            if (first < size && data[first] == '\n')
                ++first;
        }
        lines.clear();
        historyformat::forEachLine(data + first, size - first,
                                   [&](qint64 at, qint64 length) { lines.emplace_back(first + at, length); });
        for (size_t i = lines.size(); i-- > 0;) {
            if (++sinceCheck >= linesBetweenChecks) {
                sinceCheck = 0;
                if (cancelled())
                    return Scan::Cancelled;
            }
            const char *bytes = data + lines[i].first;
            const int number = historyformat::lineNumber(bytes, lines[i].second);
            if (number >= 0 &&
                !onLine(number, bytes + historyformat::numberDigits, lines[i].second - historyformat::numberDigits))
                return Scan::Stopped;
        }
        leftover = first;
    }
    return Scan::Done;
}

inline bool isSet(const std::atomic<bool> *flag)
{
    return flag && flag->load(std::memory_order_relaxed);
}

// A line start near the middle of [0, size), or `size` when there is none after the middle.
qint64 middleLineStart(int fd, qint64 size, const QString &path);
} // namespace historysearch::detail
