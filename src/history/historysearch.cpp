// SPDX-License-Identifier: GPL-3.0-or-later
#include "historysearch.h"

#include "core/codec.h"
#include "core/fileio.h"
#include "history/historyformat.h"
#include "historyscan.h"
#include "searchfold.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

// How texts are compared is told in searchfold.h.
//
// In the file, most lines are valid UTF-8. A byte pass first drops the lines that lack a character
// folding into each query character; the rest are folded straight from their UTF-8 bytes (markers
// turned into CR LF on the way) and the folded query's UTF-8 is looked for with memmem, which gives
// the same answer as decoding and folding the text, since both fold the same characters the same way.
// Other lines (CP932 ones, and every line where the locale's page is CP932) are decoded as the list
// decodes them and searched as text.

namespace historysearch {
using namespace detail;

namespace {
// A test on a line's raw bytes that every line whose text matches passes: the line holds, for each
// character of the folded query (up to eight of them, line breaks and U+FFFD aside: those come from
// markers and invalid bytes), a character that folds into it; or it is no valid UTF-8 (it is then
// decoded as CP932 and searched as text). One pass over the bytes, no decoding.
class Prefilter final
{
public:
    Prefilter(QStringView foldedNeedle, const Folding &folding) : m_bits(0x10000)
    {
        for (qsizetype i = 0; i < foldedNeedle.size() && m_anchors.size() < 8; ++i) {
            const char16_t c = foldedNeedle[i].unicode();
            if (QChar::isSurrogate(c) || c == u'\r' || c == u'\n' || c == 0xFFFD ||
                std::find(m_anchors.begin(), m_anchors.end(), c) != m_anchors.end())
                continue;
            m_anchors.push_back(c);
        }
        for (size_t a = 0; a < m_anchors.size(); ++a)
            m_full |= static_cast<quint8>(1u << a);
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (!QChar::isSurrogate(c))
                m_bits[c] = bitOf(folding.fold(c));
        }
        // A half-width letter may fold into a letter together with the mark after it.
        for (char16_t letter = halfKanaFirst; letter < halfVoicedMark; ++letter) {
            for (const char16_t mark : {halfVoicedMark, halfSemiVoicedMark}) {
                if (const char16_t both = folding.composed(letter, mark))
                    m_bits[letter] |= bitOf(both);
            }
        }
    }

    bool active() const { return m_full != 0; }

    // Whether the line (its bytes after the number) may match. `valid` tells how many bytes from the
    // start were seen to be valid UTF-8: all of them when the line cannot match, -1 when it is no UTF-8.
    bool mayMatch(const unsigned char *p, qsizetype n, const Folding &folding, qsizetype &valid) const
    {
        const unsigned char *const start = p;
        valid = -1;
        const quint8 *bits = m_bits.data();
        const unsigned full = m_full;
        unsigned seen = 0;
        const unsigned char *const end = p + n;
        while (p < end) {
            unsigned b = *p;
            if (b < 0x80) {
                do {
                    seen |= bits[b];
                    if (++p == end)
                        break;
                    b = *p;
                } while (b < 0x80);
                if (seen == full) {
                    valid = p - start;
                    return true;
                }
                if (p == end)
                    break;
            }
            // Three-byte characters first: the kana and kanji of Japanese text.
            unsigned c3 = 0;
            if (utf8::threeByteCharacter(p, end, c3)) {
                seen |= bits[c3];
                p += 3;
            } else {
                char32_t cp = 0;
                const int len = utf8::sequenceSlow(p, end - p, cp);
                if (len <= 0)
                    return true;
                seen |= cp < 0x10000 ? bits[cp] : bitOf(folding.fold(cp));
                p += len;
            }
            if (seen == full) {
                valid = p - start;
                return true;
            }
        }
        valid = n;
        return false;
    }

private:
    quint8 bitOf(char32_t folded) const
    {
        const auto at = std::find(m_anchors.begin(), m_anchors.end(), folded);
        return at == m_anchors.end() ? 0 : static_cast<quint8>(1u << (at - m_anchors.begin()));
    }

    std::vector<char32_t> m_anchors;
    std::vector<quint8> m_bits; // per character, the anchors it folds into
    quint8 m_full = 0;
};

// Whether an entry's text matches a query; one per thread.
class Matcher final
{
public:
    Matcher(QStringView query, const Options &options)
        : m_query(query.toString()), m_options(options), m_folding(foldingFor(options)),
          m_utf8Page(codec::systemCodePage() == CodePage::Utf8)
    {
        const QString folded = foldText(query, m_folding);
        // Decoded texts hold no lone surrogate: a query with one matches nothing.
        m_impossible = hasLoneSurrogate(folded);
        m_needle = folded.toUtf8();
        // Where the locale's page is CP932 every line is decoded as CP932: the bytes tell nothing.
        if (!m_query.isEmpty() && !m_impossible && m_utf8Page)
            m_prefilter.emplace(folded, m_folding);
        // A line whose UTF-8 holds the folded query as it is matches: each of its characters folds
        // to itself, and none of them can join a neighbour (a half-width letter or mark is never in
        // a query folded for width, and without width nothing joins) or be part of a marker.
        m_rawShortcut = !folded.isEmpty() && foldText(folded, m_folding) == folded &&
                        std::none_of(folded.begin(), folded.end(), [](QChar c) {
                            return c == u'@' || c == u'1' || c == u'2' || c == u'3' || c == u'\r' || c == u'\n' ||
                                   (c.unicode() >= halfKanaFirst && c.unicode() <= halfSemiVoicedMark);
                        });
    }

    // `text`: a line's bytes after its number.
    bool matches(const char *text, qsizetype length)
    {
        if (m_query.isEmpty())
            return true;
        if (m_impossible)
            return false;
        if (m_utf8Page) {
            const auto *p = reinterpret_cast<const unsigned char *>(text);
            qsizetype valid = 0;
            if (m_prefilter && m_prefilter->active() && !m_prefilter->mayMatch(p, length, m_folding, valid))
                return false;
            if (valid < 0) {
                // No UTF-8: decoded as CP932 below.
            } else if (m_rawShortcut && ::memmem(p, static_cast<size_t>(length), m_needle.constData(),
                                                 static_cast<size_t>(m_needle.size())) != nullptr) {
                if (codec::isValidUtf8(QByteArrayView(p + valid, length - valid)))
                    return true;
            } else if (const Found found = searchFolded(p, length); found != Found::NotUtf8) {
                return found == Found::Yes;
            }
        }
        return find(historyformat::decodeText(QByteArrayView(text, length)), m_query, m_options).found();
    }

private:
    enum class Found
    {
        Yes,
        No,
        NotUtf8,
    };

    // Folds a line's UTF-8 bytes and looks for the folded query in them as they come, so a long line
    // that matches early is not folded to its end (only checked to be UTF-8).
    Found searchFolded(const unsigned char *p, qsizetype n)
    {
        // A character never grows by more than half of its bytes when folded.
        const size_t room = static_cast<size_t>(n) * 2 + 8;
        if (m_capacity < room) {
            m_capacity = std::max(room, m_capacity * 2);
            m_folded = std::make_unique<unsigned char[]>(m_capacity);
        }
        unsigned char *const begin = m_folded.get();
        unsigned char *o = begin;
        const auto needle = reinterpret_cast<const unsigned char *>(m_needle.constData());
        const auto needleLength = static_cast<size_t>(m_needle.size());
        unsigned char *searchedTo = begin; // a match ending before this would have been found
        constexpr qsizetype stretch = 256;
        qsizetype i = 0;
        while (i < n) {
            const qsizetype stop = std::min(n, i + stretch);
            while (i < stop) {
                const unsigned char b = p[i];
                if (b < 0x80) {
                    if (b == '@' && n - i >= historyformat::markerLength &&
                        std::memcmp(p + i, historyformat::markerBytes, historyformat::markerLength) == 0) {
                        *o++ = '\r';
                        *o++ = '\n';
                        i += historyformat::markerLength;
                    } else {
                        *o++ = static_cast<unsigned char>(m_folding.ascii(b));
                        ++i;
                    }
                    continue;
                }
                char32_t cp = 0;
                const int len = utf8::sequence(p + i, n - i, cp);
                if (len <= 0)
                    return Found::NotUtf8;
                i += len;
                char32_t folded = 0;
                // U+FF9E and U+FF9F are EF BE 9E and EF BE 9F.
                if (cp >= halfKanaFirst && cp < halfVoicedMark && n - i >= 3 && p[i] == 0xEF && p[i + 1] == 0xBE &&
                    (p[i + 2] == 0x9E || p[i + 2] == 0x9F)) {
                    folded = m_folding.composed(cp, p[i + 2] == 0x9E ? halfVoicedMark : halfSemiVoicedMark);
                    if (folded)
                        i += 3;
                }
                if (!folded)
                    folded = m_folding.fold(cp);
                if (folded == cp) {
                    std::memcpy(o, p + i - len, static_cast<size_t>(len));
                    o += len;
                } else {
                    o = putUtf8(o, folded);
                }
            }
            // Each character folded so far is final: a mark after a letter was looked at with it.
            unsigned char *const searchEnd = o;
            unsigned char *const from =
                std::max(begin, searchedTo - std::min<ptrdiff_t>(searchedTo - begin, needleLength - 1));
            if (searchEnd > from && ::memmem(from, static_cast<size_t>(searchEnd - from), needle, needleLength)) {
                return i >= n || codec::isValidUtf8(QByteArrayView(p + i, n - i)) ? Found::Yes : Found::NotUtf8;
            }
            searchedTo = std::max(searchedTo, searchEnd);
        }
        return Found::No;
    }

    QString m_query;
    Options m_options;
    const Folding &m_folding;
    bool m_utf8Page;
    bool m_impossible = false;
    QByteArray m_needle;
    bool m_rawShortcut = false;
    std::unique_ptr<unsigned char[]> m_folded;
    size_t m_capacity = 0;
    std::optional<Prefilter> m_prefilter;
};
} // namespace

Span find(QStringView text, QStringView query, const Options &options)
{
    if (query.isEmpty())
        return {};
    const Folding &folding = foldingFor(options);
    const QString needle = foldText(query, folding);
    std::vector<qsizetype> from;
    std::vector<qsizetype> to;
    const QString folded = foldText(text, folding, &from, &to);
    for (qsizetype at = 0; (at = QStringView(folded).indexOf(needle, at)) >= 0; ++at) {
        const qsizetype end = at + needle.size();
        if (splitsPair(folded, at) || splitsPair(folded, end))
            continue;
        const qsizetype start = from[static_cast<size_t>(at)];
        return {start, to[static_cast<size_t>(end - 1)] - start};
    }
    return {};
}

bool search(const QString &path, QStringView query, const Options &options, const Visit &visit,
            const std::atomic<bool> *cancel)
{
    if (isSet(cancel))
        return false;
    const fileio::UniqueFd fd = fileio::openFile(path, O_RDONLY);
    const qint64 size = fileio::fileSize(fd.get(), path);
    if (!beginsAsHistory(fd.get(), size, path))
        return !isSet(cancel);
    Matcher matcher(query, options);
    qint64 newer = 0;
    const Scan scan = scanBackward(
        fd.get(), path, 0, size, [cancel] { return isSet(cancel); },
        [&](int number, const char *text, qint64 length) {
            const qint64 row = newer++;
            if (!matcher.matches(text, length))
                return true;
            return visit(Entry{number, historyformat::decodeText(QByteArrayView(text, length)), row});
        });
    return scan != Scan::Cancelled;
}

std::optional<qint64> count(const QString &path, QStringView query, const Options &options,
                            const std::atomic<bool> *cancel)
{
    if (isSet(cancel))
        return std::nullopt;
    const fileio::UniqueFd fd = fileio::openFile(path, O_RDONLY);
    const qint64 size = fileio::fileSize(fd.get(), path);
    if (!beginsAsHistory(fd.get(), size, path))
        return isSet(cancel) ? std::nullopt : std::optional<qint64>(0);

    // Two halves, split at a line start, counted at once; a small file in one go.
    constexpr qint64 splitFrom = 1024 * 1024;
    const qint64 middle = size >= splitFrom ? middleLineStart(fd.get(), size, path) : size;
    std::atomic<bool> failed{false};
    const auto stop = [&] { return isSet(cancel) || failed.load(std::memory_order_relaxed); };
    const auto countRange = [&](qint64 from, qint64 to, qint64 &found) {
        Matcher matcher(query, options);
        found = 0;
        const Scan scan = scanBackward(fd.get(), path, from, to, stop, [&](int, const char *text, qint64 length) {
            if (matcher.matches(text, length))
                ++found;
            return true;
        });
        return scan == Scan::Done;
    };

    qint64 upper = 0;
    bool upperDone = true;
    std::exception_ptr upperError;
    std::thread worker;
    if (middle < size) {
        try {
            worker = std::thread([&] {
                try {
                    upperDone = countRange(middle, size, upper);
                } catch (...) {
                    upperError = std::current_exception();
                    failed = true;
                }
            });
        } catch (const std::system_error &) {
            // No second thread to be had (too many threads, or too little memory for its stack): this
            // one counts the whole file.
        }
    }
    qint64 lower = 0;
    bool lowerDone = false;
    try {
        lowerDone = countRange(0, worker.joinable() ? middle : size, lower);
    } catch (...) {
        failed = true;
        if (worker.joinable())
            worker.join();
        throw;
    }
    if (worker.joinable())
        worker.join();
    if (upperError)
        std::rethrow_exception(upperError);
    if (!lowerDone || !upperDone)
        return std::nullopt;
    return lower + upper;
}
} // namespace historysearch
