// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec.h"

#include "utf8.h"

#include <QtCore/qendian.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

namespace {
constexpr char16_t replacement = 0xFFFD;

// One conversion descriptor per direction and thread, opened on first use: a descriptor keeps state
// between calls, so threads that decode at once (the history search) must not share one.
class Iconv final
{
public:
    Iconv(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    void reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }
    iconv_t handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

Iconv &cp932Decoder()
{
    thread_local Iconv cd("UTF-16LE", "WINDOWS-31J");
    return cd;
}

Iconv &cp932Encoder()
{
    thread_local Iconv cd("WINDOWS-31J", "UTF-16LE");
    return cd;
}

bool isSjisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

QString decodeCp932(QByteArrayView bytes, bool cutTail)
{
    if (cutTail && !bytes.isEmpty()) {
        // Drop a lead byte left alone at the end: count the run of lead-capable bytes before the end.
        qsizetype i = bytes.size() - 1;
        qsizetype run = 0;
        while (i >= 0 && isSjisLead(static_cast<unsigned char>(bytes[i]))) {
            ++run;
            --i;
        }
        if (run % 2 == 1)
            bytes = bytes.first(bytes.size() - 1);
    }
    QString out;
    out.resize(bytes.size());
    Iconv &cd = cp932Decoder();
    if (!cd.valid()) {
        // No converter on this system: keep ASCII, make everything else visible.
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            out[i] = c < 0x80 ? QChar(char16_t(c)) : QChar(replacement);
        }
        return out;
    }
    cd.reset();
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char *outStart = reinterpret_cast<char *>(out.data());
    char *outPtr = outStart;
    size_t outLeft = static_cast<size_t>(out.size()) * 2;
    while (inLeft > 0) {
        const size_t r = iconv(cd.handle(), &in, &inLeft, &outPtr, &outLeft);
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen: one byte never yields more than one UTF-16 unit
        // EILSEQ or EINVAL: make one byte visible and resynchronise after it.
        qToLittleEndian<char16_t>(replacement, outPtr);
        outPtr += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
        cd.reset();
    }
    out.resize((outPtr - outStart) / 2);
    return out;
}

QByteArray encodeCp932(QStringView text)
{
    QByteArray out;
    out.resize(text.size() * 2);
    Iconv &cd = cp932Encoder();
    if (!cd.valid()) {
        for (qsizetype i = 0; i < text.size(); ++i)
            out[i] = text[i].unicode() < 0x80 ? static_cast<char>(text[i].unicode()) : '?';
        out.resize(text.size());
        return out;
    }
    cd.reset();
    // Tag characters (U+E0000..U+E007F) are skipped by iconv without an error; they become '?' like
    // every other character CP932 lacks.
    QString copy;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i].unicode() == 0xDB40 && text[i + 1].unicode() >= 0xDC00 && text[i + 1].unicode() <= 0xDC7F) {
            if (copy.isNull())
                copy = text.toString();
            copy[i] = QLatin1Char('?');
            copy.remove(i + 1, 1);
            text = copy;
        }
    }
    // iconv wants UTF-16LE bytes; on a big-endian host swap them first.
    QByteArray le(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (qsizetype i = 0; i + 1 < le.size(); i += 2)
            std::swap(le[i], le[i + 1]);
    }
    char *in = le.data();
    size_t inLeft = static_cast<size_t>(le.size());
    char *outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        const size_t r = iconv(cd.handle(), &in, &inLeft, &outPtr, &outLeft);
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen: a UTF-16 unit never needs more than two bytes
        // A character CP932 cannot represent (or a lone surrogate): write '?' and skip it whole.
        const char16_t unit = qFromLittleEndian<char16_t>(in);
        size_t skip = 2;
        if (QChar::isHighSurrogate(unit) && inLeft >= 4 && QChar::isLowSurrogate(qFromLittleEndian<char16_t>(in + 2)))
            skip = 4;
        *outPtr++ = '?';
        --outLeft;
        in += skip;
        inLeft -= std::min(skip, inLeft);
        cd.reset();
    }
    out.resize(outPtr - out.data());
    return out;
}
} // namespace

namespace codec {
CodePage systemCodePage()
{
    static const CodePage page = [] {
        // Read the character set of the user's locale without disturbing the program's own.
        locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
        if (!loc)
            return CodePage::Utf8;
        QByteArray set = QByteArray(nl_langinfo_l(CODESET, loc)).toUpper();
        freelocale(loc);
        set.replace('_', "").replace('-', "");
        if (set == "SHIFTJIS" || set == "SJIS" || set == "CP932" || set == "WINDOWS31J" || set == "MSKANJI")
            return CodePage::Cp932;
        return CodePage::Utf8;
    }();
    return page;
}

bool isValidUtf8(QByteArrayView bytes, bool allowCutTail)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const unsigned char *const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
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
        const int len = utf8::sequence(p, end - p, cp);
        if (len == 0)
            return false;
        if (len < 0)
            return allowCutTail;
        p += len;
    }
    return true;
}

QString decodeAs(QByteArrayView bytes, CodePage page, bool cutTail)
{
    if (page == CodePage::Cp932)
        return decodeCp932(bytes, cutTail);
    if (cutTail) {
        // Drop an incomplete sequence at the end.
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
        qsizetype start = bytes.size();
        for (int back = 0; back < 4 && start > 0; ++back) {
            --start;
            if ((p[start] & 0xC0) != 0x80)
                break;
        }
        char32_t cp = 0;
        if (start < bytes.size() && utf8::sequenceSlow(p + start, bytes.size() - start, cp) < 0)
            bytes = bytes.first(start);
    }
    return QString::fromUtf8(bytes);
}

QString decode(QByteArrayView bytes, bool cutTail)
{
    const CodePage page = systemCodePage();
    if (page == CodePage::Utf8 && !isValidUtf8(bytes, cutTail))
        return decodeAs(bytes, CodePage::Cp932, cutTail);
    return decodeAs(bytes, page, cutTail);
}

QByteArray encode(QStringView text, CodePage page)
{
    if (page == CodePage::Cp932)
        return encodeCp932(text);
    return text.toUtf8();
}
} // namespace codec
