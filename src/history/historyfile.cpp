// SPDX-License-Identifier: GPL-3.0-or-later
#include "historyfile.h"

#include "core/commanderror.h"
#include "core/fileio.h"
#include "history/historyformat.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

using namespace historyformat;

namespace {
const QString crlf = QStringLiteral("\r\n");

// Bytes enough to hold the first `length` characters of any line: a marker is 6 bytes for 2
// characters, a UTF-8 character at most 4 bytes for 2 UTF-16 units, a CP932 character at most 2 bytes.
constexpr qint64 bytesFor(qsizetype length)
{
    return markerLength * static_cast<qint64>(length) + 16;
}

// The same split for bytes read piece by piece: calls fn(offset, length, head, headLength) for each
// line, with the line's first bytes (up to six: enough for its number), so a line of any length
// needs no more memory than its head.
class LineSplitter final
{
public:
    template <typename Fn>
    void feed(const char *data, qint64 size, Fn fn)
    {
        qint64 i = 0;
        if (m_afterCr && size > 0) {
            m_afterCr = false;
            if (data[0] == '\n') {
                i = 1;
                m_lineStart = m_pos + 1;
            }
        }
        while (i < size) {
            const void *cr = std::memchr(data + i, '\r', static_cast<size_t>(size - i));
            const qint64 end = cr ? static_cast<const char *>(cr) - data : size;
            const qint64 take = std::min<qint64>(headSize - m_headLength, end - i);
            if (take > 0) {
                std::memcpy(m_head + m_headLength, data + i, static_cast<size_t>(take));
                m_headLength += take;
            }
            if (!cr)
                break;
            fn(m_lineStart, m_pos + end - m_lineStart, m_head, m_headLength);
            m_headLength = 0;
            i = end + 1;
            if (i < size) {
                if (data[i] == '\n')
                    ++i;
            } else {
                m_afterCr = true; // its LF, if any, begins the next piece
            }
            m_lineStart = m_pos + i;
        }
        m_pos += size;
    }

    template <typename Fn>
    void finish(Fn fn)
    {
        if (m_lineStart < m_pos)
            fn(m_lineStart, m_pos - m_lineStart, m_head, m_headLength);
    }

private:
    static constexpr qint64 headSize = numberDigits;
    qint64 m_pos = 0;
    qint64 m_lineStart = 0;
    char m_head[headSize] = {};
    qint64 m_headLength = 0;
    bool m_afterCr = false;
};

HistoryFile::FileStamp stampOf(const struct stat &st)
{
    return {st.st_size, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, st.st_ino};
}

// Whether the bytes end with a line end by the history rule (CR LF or a lone CR).
bool endsWithLineEnd(const QByteArray &tail)
{
    return !tail.isEmpty() && (tail.endsWith('\r') || tail.endsWith("\r\n"));
}
} // namespace

HistoryFile::HistoryFile(QString path, CodePage writePage) : m_path(std::move(path)), m_writePage(writePage) {}

void HistoryFile::setPath(const QString &path)
{
    m_path = path;
    m_stamp = {};
}

void HistoryFile::ensureExists() const
{
    fileio::touch(m_path);
}

namespace {
// Characters encoded and written at a time: a text of megabytes never exists a second time whole,
// with its markers or encoded, beside itself.
constexpr qsizetype writeSliceChars = 1 << 20;

// The end of the slice of `text` that begins at `at`: never between a CR and what follows it, nor
// inside a surrogate pair.
qsizetype sliceEnd(QStringView text, qsizetype at)
{
    qsizetype end = std::min(at + writeSliceChars, text.size());
    while (end < text.size() && (text[end - 1] == u'\r' || text[end - 1].isHighSurrogate()))
        ++end;
    return end;
}
} // namespace

HistoryFile::FileStamp HistoryFile::currentStamp() const
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return {};
    return stampOf(st);
}

void HistoryFile::addLine(qint64 offset, qint64 length, int number)
{
    m_lastLine = {offset, static_cast<qint32>(std::min<qint64>(length, INT32_MAX)), -1};
    if (number < 0)
        return;
    m_lastLine.number = number;
    const auto index = static_cast<qint32>(m_lines.size());
    m_lines.push_back(m_lastLine);
    if (static_cast<size_t>(number) >= m_firstLineOf.size())
        m_firstLineOf.resize(static_cast<size_t>(number) + 1, -1);
    if (m_firstLineOf[static_cast<size_t>(number)] < 0)
        m_firstLineOf[static_cast<size_t>(number)] = index;
}

void HistoryFile::load()
{
    // Read, not mapped: a file cut by another program while it is read gives fewer bytes, where a
    // mapping would end the program with SIGBUS. A file cut meanwhile is read again; when it keeps
    // changing, the index holds what was read and the stamp of before, so the next use reads it again.
    m_outOfMemory = false;
    m_loadFailed = false;
    try {
        for (int attempt = 0;; ++attempt) {
            if (readIndex() || attempt == 2)
                return;
        }
    } catch (const CommandError &) {
        // Nothing of a file that could not be read through is listed, nor numbered after.
        m_lines = {};
        m_firstLineOf = {};
        m_lastLine = {0, -1, -1};
        m_lastNumber = 0;
        m_loadFailed = true;
        throw;
    } catch (const std::bad_alloc &) {
        // The index does not fit: nothing is listed, and nothing is appended (numbered after an index
        // that is not there) until the file has been read.
        m_lines = {};
        m_firstLineOf = {};
        m_outOfMemory = true;
        throw;
    }
}

bool HistoryFile::readIndex()
{
    m_lines.clear();
    m_firstLineOf.clear();
    m_lastLine = {0, -1, -1};
    m_isHistory = false;
    m_beforeFirstLine = true;
    m_listedFrom = 0;
    m_lastNumber = 0;
    m_stamp = {};
    fileio::UniqueFd fd;
    try {
        fd = fileio::openFile(m_path, O_RDONLY);
    } catch (const CommandError &e) {
        if (e.number == ErrorNumber::FileNotFound || e.number == ErrorNumber::PathNotFound)
            return true; // a missing file is an empty history
        throw;
    }
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        throw fileError(errno, m_path);
    const qint64 size = st.st_size;
    constexpr qint64 pieceSize = 4 << 20;
    std::vector<char> piece(static_cast<size_t>(std::min(size, pieceSize)));
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    LineSplitter splitter;
    const auto add = [this](qint64 offset, qint64 length, const char *head, qint64 headLength) {
        const int number = lineNumber(head, headLength);
        if (m_beforeFirstLine && !isCutNumber(head, length)) {
            m_beforeFirstLine = false;
            m_isHistory = number >= 0;
        }
        addLine(offset, length, number);
    };
    qint64 at = 0;
    while (at < size) {
        const ssize_t n = ::pread(fd.get(), piece.data(), static_cast<size_t>(std::min(pieceSize, size - at)),
                                  static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw fileError(errno, m_path);
        }
        if (n == 0)
            break; // cut behind this read
        splitter.feed(piece.data(), n, add);
        at += n;
    }
    splitter.finish(add);
    m_listedFrom = m_isHistory ? 0 : static_cast<qint64>(m_lines.size());
    m_lastNumber = m_isHistory ? m_lines.back().number : 0;
    m_stamp = stampOf(st);
    return at == size;
}

QByteArray HistoryFile::readLineText(const Line &l, qint64 maxBytes) const
{
    if (l.length <= numberDigits && l.number >= 0)
        return {};
    fileio::UniqueFd fd = fileio::openFile(m_path, O_RDONLY);
    const qint64 skip = l.number >= 0 ? numberDigits : 0;
    return fileio::readAt(fd.get(), l.offset + skip, std::min<qint64>(l.length - skip, maxBytes), m_path);
}

QString HistoryFile::itemText(qsizetype entry) const
{
    return entryStart(entry, maxEntryLength);
}

QString HistoryFile::entryStart(qsizetype entry, qsizetype maxLength) const
{
    const Line &l = line(entry);
    const QByteArray bytes = readLineText(l, bytesFor(maxLength));
    return decodeText(bytes, l.length - numberDigits > bytes.size()).left(maxLength);
}

QString HistoryFile::entryText(qsizetype entry) const
{
    const Line &l = line(entry);
    return decodeText(readLineText(l, l.length), false);
}

std::optional<QString> HistoryFile::indexedEntryText(qsizetype entry, qsizetype maxLength) const
{
    if (currentStamp() == m_stamp && m_stamp.size >= 0)
        return maxLength < 0 ? entryText(entry) : entryStart(entry, maxLength);
    return std::nullopt;
}

QString HistoryFile::textForNumber(int number) const
{
    if (currentStamp() == m_stamp && m_stamp.size >= 0)
        return indexedTextForNumber(number);
    // The file changed since it was indexed: read it through as it is now, once (a file that goes on
    // changing is taken as that reading found it).
    HistoryFile now(m_path, m_writePage);
    now.load();
    return now.indexedTextForNumber(number);
}

QString HistoryFile::indexedTextForNumber(int number) const
{
    if (number >= 0 && static_cast<size_t>(number) < m_firstLineOf.size() &&
        m_firstLineOf[static_cast<size_t>(number)] >= 0)
        return decodeText(
            readLineText(m_lines[static_cast<size_t>(m_firstLineOf[static_cast<size_t>(number)])], INT32_MAX), false);
    if (m_lastLine.length < 0)
        return {};
    if (m_lastLine.number >= 0)
        return decodeText(readLineText(m_lastLine, INT32_MAX), false);
    // The last line carries no number: its text from the seventh character on.
    return decodeText(readLineText(m_lastLine, INT32_MAX), false).mid(numberDigits);
}

QString HistoryFile::restoreText(qsizetype entry, bool *reindexed)
{
    if (reindexed)
        *reindexed = false;
    if (std::optional<QString> text = indexedEntryText(entry))
        return *text;
    const int number = entryNumber(entry);
    load();
    if (reindexed)
        *reindexed = true;
    return indexedTextForNumber(number);
}

HistoryFile::Written HistoryFile::write(int number, QStringView text) const
{
    if (m_outOfMemory)
        throw commandError(ErrorNumber::OutOfMemory);
    Written w;
    w.number = number;
    w.newEntries = 1; // the text holds no CR once encoded: the line is one entry
    fileio::UniqueFd fd = fileio::openFile(m_path, O_WRONLY | O_CREAT | O_APPEND);
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        throw fileError(errno, m_path);
    const qint64 sizeBefore = st.st_size;
    // Changed behind the index: the file is not as it was when indexed (an empty file where the index
    // holds nothing counts as unchanged, so the first entry of a new file is a plain append).
    w.changedBehind = !(stampOf(st) == m_stamp) && !(st.st_size == 0 && m_lastLine.length < 0);
    QByteArray bytes;
    if (st.st_size > 0) {
        fileio::UniqueFd rd = fileio::openFile(m_path, O_RDONLY);
        if (!endsWithLineEnd(fileio::readAt(rd.get(), st.st_size - std::min<qint64>(st.st_size, 2), 2, m_path)))
            bytes = "\r\n";
    }
    const qint64 closing = bytes.size();
    bytes += numberText(number).toLatin1();
    try {
        // Written a slice at a time; a text that fits one slice is one write.
        qsizetype at = 0;
        do {
            const qsizetype end = sliceEnd(text, at);
            bytes += encodeText(text.sliced(at, end - at), m_writePage);
            if (end == text.size())
                bytes += "\r\n";
            fileio::writeAll(fd.get(), bytes, m_path);
            w.length += bytes.size();
            bytes.clear();
            at = end;
        } while (at < text.size());
        // Durable once recorded: a crash or a power cut after this point keeps the entry.
        if (m_durable && ::fdatasync(fd.get()) != 0)
            throw fileError(errno, m_path);
    } catch (...) {
        // A full disk (or a file-size limit, or running out of memory between two slices) may have left
        // part of the line: cut the file back, so it holds whole entries only and the number is not left
        // behind in a fragment.
        while (::ftruncate(fd.get(), sizeBefore) != 0 && errno == EINTR) {
        }
        throw;
    }
    w.length -= closing;
    if (::fstat(fd.get(), &st) != 0)
        throw fileError(errno, m_path);
    w.lineStart = st.st_size - w.length;
    w.stamp = stampOf(st);
    return w;
}

void HistoryFile::commit(const Written &w)
{
    if (w.changedBehind) {
        // Someone else wrote the file: read it again rather than trust the index; what this run
        // appends stays listed.
        load();
        m_lastNumber = m_lines.empty() ? w.number : m_lines.back().number;
        if (!m_isHistory)
            m_listedFrom = std::max<qint64>(0, static_cast<qint64>(m_lines.size()) - w.newEntries);
        return;
    }
    addLine(w.lineStart, w.length - 2, w.number);
    if (m_beforeFirstLine) {
        // The file's first line (after numbers cut short, if any): the file is a history now.
        m_beforeFirstLine = false;
        m_isHistory = true;
        m_listedFrom = 0;
    }
    m_lastNumber = w.number;
    m_stamp = w.stamp;
}

void HistoryFile::saveCopy(const QString &to) const
{
    fileio::copyFile(m_path, to);
}

void HistoryFile::exportText(const QString &to) const
{
    const QByteArray bytes = fileio::readWholeFile(m_path);
    QString out;
    forEachLine(bytes.constData(), bytes.size(), [&](qint64 offset, qint64 length) {
        out += markersToBreaks(codec::decode(QByteArrayView(bytes.constData() + offset, length)));
        out += crlf;
    });
    out += crlf;
    fileio::writeFileAtomic(to, codec::encode(out, m_writePage));
}
