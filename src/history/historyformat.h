// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/codec.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstring>

// The history file's format (temp.ifo and saved *.ifo files), known here and nowhere else: one line per
// entry, oldest first, each line the six-digit entry number followed by the entry's whole text with
// every CR LF written as the marker "@1@2@3", ended by CR LF. Reading ends a line at CR LF or at a lone
// CR (a lone LF stays in the text). Lines that do not begin with six digits are no entries.
namespace historyformat {
inline constexpr int numberDigits = 6;
inline constexpr int largestNumber = 999999;
// The characters of an entry the list shows.
inline constexpr int maxEntryLength = 200;
// A line break inside an entry's text, as the file holds it.
inline constexpr char markerBytes[] = "@1@2@3";
inline constexpr qsizetype markerLength = 6;

// The number that follows `last`: after the largest, numbering starts again at 1.
inline int nextNumber(int last)
{
    return last >= largestNumber || last < 0 ? 1 : last + 1;
}

// A number as a line begins with it: six digits.
QString numberText(int number);

// The number a line begins with, or -1 when it does not begin with six digits.
int lineNumber(const char *line, qint64 length);

// Whether a line is a number cut short: one to five digits and nothing else. A crash inside an entry's
// number leaves that, and the next entry closes the line. Such lines at the start of a file do not
// decide whether it is a history: the first line after them does.
bool isCutNumber(const char *line, qint64 length);

// Where the line that begins at `at` of the bytes [0, size) ends (its CR, or `size`) and where the
// next line begins (after CR LF or a lone CR).
struct LineEnd
{
    qint64 end;
    qint64 next;
};
inline LineEnd lineEndFrom(const char *data, qint64 at, qint64 size)
{
    const void *cr = std::memchr(data + at, '\r', static_cast<size_t>(size - at));
    if (!cr)
        return {size, size};
    const qint64 end = static_cast<const char *>(cr) - data;
    return {end, end + 1 < size && data[end + 1] == '\n' ? end + 2 : end + 1};
}

// Calls fn(offset, length) for each line of the bytes [0, size).
template <typename Fn>
void forEachLine(const char *data, qint64 size, Fn fn)
{
    for (qint64 at = 0; at < size;) {
        const LineEnd line = lineEndFrom(data, at, size);
        fn(at, line.end - at);
        at = line.next;
    }
}

// An entry's line as the file holds it, with its line end. A lone CR in the text is a line break like
// any other: written raw, it would end the line and start a forged entry.
QByteArray encodeLine(int number, QStringView text, CodePage page);
// A part of an entry's text as it is written: every line break as the marker.
QByteArray encodeText(QStringView text, CodePage page);

// Markers read as the line breaks they stand for (CR LF).
QString markersToBreaks(QString text);

// An entry's text from the bytes after its number: decoded as the file's lines are, markers turned
// into CR LF. With `cut`, the bytes are a prefix of the text.
QString decodeText(QByteArrayView bytes, bool cut = false);

// Whether a clipboard text is the list's current entry already: its first 200 characters, with
// history markers read as line breaks, equal the list's text when case is ignored.
bool isCurrentEntry(const QString &clipboardText, const QString &listText);

// Whether a clipboard text, with history markers read as line breaks, is the whole text `whole` when
// case is ignored.
bool isSameText(const QString &clipboardText, const QString &whole);

// How an item's text is shown in a one-line list: line breaks as a visible mark.
QString displayText(const QString &itemText);
} // namespace historyformat
