#include "historysearch.h"

#include "app/historyfile.h"
#include "core/codec.h"
#include "core/commanderror.h"
#include "core/fileio.h"
#include "textwin/textconv.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

// How texts are compared: both the query and the text are folded character by character, and the
// folded query is looked for in the folded text. Folding, in this order:
// - width: full-width Latin letters, digits and signs and the ideographic space become their ASCII
//   forms, half-width katakana and signs their full-width forms, a half-width letter with its voiced
//   or semi-voiced mark one letter (ｶﾞ = ガ, ﾊﾟ = パ), by the text window's narrow and widen rules;
// - kana: katakana become hiragana, by the text window's rule;
// - case: Unicode simple case folding.
// Only a half-width letter joins the half-width mark after it: a full-width letter followed by a
// separate mark (カﾞ, カ゛) stays two characters and is not ガ, and カ never matches inside ガ.
// A folded character maps back to the characters it came from, so a match is reported in the
// original text; a match never begins or ends inside a surrogate pair.
//
// In the file, most lines are valid UTF-8. A byte pass first drops the lines that lack a character
// folding into each query character; the rest are folded straight from their UTF-8 bytes (markers
// turned into CR LF on the way) and the folded query's UTF-8 is looked for with memmem, which gives
// the same answer as decoding and folding the text, since both fold the same characters the same way.
// Other lines (CP932 ones, and every line where the locale's page is CP932) are decoded as the list
// decodes them and searched as text.

namespace historysearch {
namespace {
constexpr char16_t halfKanaFirst = 0xFF61;
constexpr char16_t halfVoicedMark = 0xFF9E;
constexpr char16_t halfSemiVoicedMark = 0xFF9F;

// The folding of every character under one set of options.
class Folding final
{
public:
    explicit Folding(const Options &options);

    char32_t fold(char32_t c) const
    {
        if (c < 0x10000)
            return m_bmp[c];
        return m_case ? QChar::toCaseFolded(c) : c;
    }

    // The folded letter that a half-width letter and the mark after it make together, or 0.
    char16_t composed(char32_t letter, char32_t mark) const
    {
        if (!m_width || letter < halfKanaFirst || letter >= halfVoicedMark ||
            (mark != halfVoicedMark && mark != halfSemiVoicedMark))
            return 0;
        return m_composed[letter - halfKanaFirst][mark - halfVoicedMark];
    }

    // ASCII folds to ASCII.
    char ascii(unsigned char c) const { return static_cast<char>(m_bmp[c]); }

    // Characters beyond the BMP that fold into it.
    const std::vector<char32_t> &intoBmp() const { return m_intoBmp; }

private:
    std::vector<char16_t> m_bmp;
    std::vector<char32_t> m_intoBmp;
    char16_t m_composed[halfVoicedMark - halfKanaFirst][2] = {};
    bool m_case;
    bool m_width;
};

Folding::Folding(const Options &options) : m_bmp(0x10000), m_case(options.ignoreCase), m_width(options.ignoreWidth)
{
    QString all(0x10000, Qt::Uninitialized);
    for (int c = 0; c < 0x10000; ++c)
        all[c] = QChar(static_cast<char16_t>(c));
    if (options.ignoreWidth) {
        const auto single = [](const QString &s, QChar otherwise) { return s.size() == 1 ? s[0] : otherwise; };
        for (char16_t c = 0xFF01; c <= 0xFF5E; ++c)
            all[c] = single(textConv::narrow(QString(QChar(c))), QChar(c));
        all[0x3000] = single(textConv::narrow(QString(QChar(0x3000))), QChar(0x3000));
        // One by one: a letter and its mark are composed below.
        for (char16_t c = halfKanaFirst; c <= halfSemiVoicedMark; ++c)
            all[c] = single(textConv::widen(QString(QChar(c))), QChar(c));
    }
    if (options.ignoreKana)
        all = textConv::toHiragana(all);
    for (int c = 0; c < 0x10000; ++c) {
        char32_t f = all[c].unicode();
        if (options.ignoreCase) {
            const char32_t folded = QChar::toCaseFolded(f);
            if (folded < 0x10000)
                f = folded;
        }
        m_bmp[static_cast<size_t>(c)] = static_cast<char16_t>(f);
    }
    if (options.ignoreWidth) {
        for (char16_t letter = halfKanaFirst; letter < halfVoicedMark; ++letter) {
            for (const char16_t mark : {halfVoicedMark, halfSemiVoicedMark}) {
                const QString wide = textConv::widen(QString(QChar(letter)) + QChar(mark));
                if (wide.size() == 1)
                    m_composed[letter - halfKanaFirst][mark - halfVoicedMark] = m_bmp[wide[0].unicode()];
            }
        }
    }
    if (options.ignoreCase) {
        for (char32_t c = 0x10000; c <= 0x10FFFF; ++c) {
            if (QChar::toCaseFolded(c) < 0x10000)
                m_intoBmp.push_back(c);
        }
    }
}

const Folding &foldingFor(const Options &options)
{
    static std::array<std::once_flag, 8> once;
    static std::array<std::unique_ptr<Folding>, 8> foldings;
    const size_t index = (options.ignoreCase ? 1 : 0) | (options.ignoreWidth ? 2 : 0) | (options.ignoreKana ? 4 : 0);
    std::call_once(once[index], [&] { foldings[index] = std::make_unique<Folding>(options); });
    return *foldings[index];
}

void appendFolded(QString &out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

// Folds `text`; with `from` and `to`, each folded unit's source characters [from, to) in `text`.
QString foldText(QStringView text, const Folding &folding, std::vector<qsizetype> *from = nullptr,
                 std::vector<qsizetype> *to = nullptr)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        qsizetype length = 1;
        char32_t folded;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            folded = folding.fold(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            length = 2;
        } else if (const char16_t both = i + 1 < n ? folding.composed(c, text[i + 1].unicode()) : 0) {
            folded = both;
            length = 2;
        } else {
            folded = folding.fold(c);
        }
        const qsizetype before = out.size();
        appendFolded(out, folded);
        if (from) {
            for (qsizetype k = before; k < out.size(); ++k) {
                from->push_back(i);
                to->push_back(i + length);
            }
        }
        i += length;
    }
    return out;
}

bool splitsPair(QStringView s, qsizetype at)
{
    return at > 0 && at < s.size() && s[at].isLowSurrogate() && s[at - 1].isHighSurrogate();
}

bool hasLoneSurrogate(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        else if (s[i].isSurrogate())
            return true;
    }
    return false;
}

// Length of the valid UTF-8 sequence at p (2..4) and its code point, or 0 when it is not one
// (by the same rule as the codec's validity check).
int utf8SequenceSlow(const unsigned char *p, qsizetype left, char32_t &cp)
{
    const unsigned char c = p[0];
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
        if (c == 0xE0)
            lo = 0xA0;
        else if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (left < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char t = p[k];
        if (k == 1 ? (t < lo || t > hi) : (t < 0x80 || t > 0xBF))
            return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    return len;
}

// Whether a valid three-byte character (the kana and kanji of Japanese text) begins at p; one
// load and one comparison for its shape.
inline bool threeByteCharacter(const unsigned char *p, const unsigned char *end, unsigned &cp)
{
    if (end - p < 4) {
        if (end - p < 3 || (p[0] & 0xF0) != 0xE0 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
            return false;
    } else if ((qFromLittleEndian<quint32>(p) & 0x00C0C0F0u) != 0x008080E0u) {
        return false;
    }
    cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    // Neither an overlong form nor a surrogate.
    return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF);
}

// The same as utf8SequenceSlow, quick for three-byte characters.
inline int utf8Sequence(const unsigned char *p, qsizetype left, char32_t &cp)
{
    unsigned c3 = 0;
    if (threeByteCharacter(p, p + left, c3)) {
        cp = c3;
        return 3;
    }
    return utf8SequenceSlow(p, left, cp);
}

// Whether the bytes are valid UTF-8.
bool isValidUtf8(const unsigned char *p, qsizetype n)
{
    const unsigned char *const end = p + n;
    while (p < end) {
        const unsigned b = *p;
        if (b < 0x80) {
            // A run of ASCII, eight bytes at a time.
            ++p;
            while (end - p >= 8) {
                quint64 word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ULL)
                    break;
                p += 8;
            }
            continue;
        }
        char32_t cp = 0;
        const int len = utf8Sequence(p, end - p, cp);
        if (len == 0)
            return false;
        p += len;
    }
    return true;
}

unsigned char *putUtf8(unsigned char *o, char32_t c)
{
    if (c < 0x80) {
        *o++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<unsigned char>(0xF0 | (c >> 18));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    return o;
}

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
            if (threeByteCharacter(p, end, c3)) {
                seen |= bits[c3];
                p += 3;
            } else {
                char32_t cp = 0;
                const int len = utf8SequenceSlow(p, end - p, cp);
                if (len == 0)
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

constexpr char marker[] = "@1@2@3";
constexpr qsizetype markerLength = 6;

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
                if (isValidUtf8(p + valid, length - valid))
                    return true;
            } else if (const Found found = searchFolded(p, length); found != Found::NotUtf8) {
                return found == Found::Yes;
            }
        }
        return find(HistoryFile::decodeText(QByteArrayView(text, length)), m_query, m_options).found();
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
                    if (b == '@' && n - i >= markerLength && std::memcmp(p + i, marker, markerLength) == 0) {
                        *o++ = '\r';
                        *o++ = '\n';
                        i += markerLength;
                    } else {
                        *o++ = static_cast<unsigned char>(m_folding.ascii(b));
                        ++i;
                    }
                    continue;
                }
                char32_t cp = 0;
                const int len = utf8Sequence(p + i, n - i, cp);
                if (len == 0)
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
                return i >= n || isValidUtf8(p + i, n - i) ? Found::Yes : Found::NotUtf8;
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

// Whether the file's first line begins with six digits.
bool beginsAsHistory(int fd, qint64 size, const QString &path)
{
    if (size < 6)
        return false;
    char head[6];
    readFully(fd, head, 6, 0, path);
    return HistoryFile::lineNumber(head, 6) >= 0;
}

enum class Scan
{
    Done,
    Stopped,
    Cancelled,
};

constexpr qint64 firstPiece = 64 * 1024;
constexpr qint64 largestPiece = 4 * 1024 * 1024;
constexpr int linesBetweenChecks = 2048;

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
        for (qint64 at = first; at < size;) {
            const void *cr = std::memchr(data + at, '\r', static_cast<size_t>(size - at));
            const qint64 end = cr ? static_cast<const char *>(cr) - data : size;
            lines.emplace_back(at, end - at);
            at = end + 1;
            if (at < size && data[at] == '\n')
                ++at;
        }
        for (size_t i = lines.size(); i-- > 0;) {
            if (++sinceCheck >= linesBetweenChecks) {
                sinceCheck = 0;
                if (cancelled())
                    return Scan::Cancelled;
            }
            const char *bytes = data + lines[i].first;
            const int number = HistoryFile::lineNumber(bytes, lines[i].second);
            if (number >= 0 && !onLine(number, bytes + 6, lines[i].second - 6))
                return Scan::Stopped;
        }
        leftover = first;
    }
    return Scan::Done;
}

bool isSet(const std::atomic<bool> *flag)
{
    return flag && flag->load(std::memory_order_relaxed);
}

// A line start near the middle of [0, size), or `size` when there is none after the middle.
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
    const Scan scan = scanBackward(
        fd.get(), path, 0, size, [cancel] { return isSet(cancel); },
        [&](int number, const char *text, qint64 length) {
            if (!matcher.matches(text, length))
                return true;
            return visit(Entry{number, HistoryFile::decodeText(QByteArrayView(text, length))});
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
        worker = std::thread([&] {
            try {
                upperDone = countRange(middle, size, upper);
            } catch (...) {
                upperError = std::current_exception();
                failed = true;
            }
        });
    }
    qint64 lower = 0;
    bool lowerDone = false;
    try {
        lowerDone = countRange(0, middle, lower);
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
