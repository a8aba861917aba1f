#pragma once

#include "historysearch.h"

#include <QChar>
#include <QString>
#include <QStringView>
#include <QtEndian>

#include <vector>

// Folding texts for the history search (used by the search only).
//
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

namespace historysearch::detail {
inline constexpr char16_t halfKanaFirst = 0xFF61;
inline constexpr char16_t halfVoicedMark = 0xFF9E;
inline constexpr char16_t halfSemiVoicedMark = 0xFF9F;

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

// The folding for these options, made once on first use (from any thread) and kept.
const Folding &foldingFor(const Options &options);

// Appends `c` as one or two UTF-16 units.
void appendFolded(QString &out, char32_t c);

// Folds `text`; with `from` and `to`, each folded unit's source characters [from, to) in `text`.
QString foldText(QStringView text, const Folding &folding, std::vector<qsizetype> *from = nullptr,
                 std::vector<qsizetype> *to = nullptr);

// Whether position `at` of `s` is between the two halves of a surrogate pair.
bool splitsPair(QStringView s, qsizetype at);

// Whether `s` holds a surrogate that is not half of a pair.
bool hasLoneSurrogate(QStringView s);

// The UTF-8 helpers below are on the search's hot path, hence inline here.

// Length of the valid UTF-8 sequence at p (2..4) and its code point, or 0 when it is not one
// (by the same rule as the codec's validity check).
inline int utf8SequenceSlow(const unsigned char *p, qsizetype left, char32_t &cp)
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
bool isValidUtf8(const unsigned char *p, qsizetype n);

// Writes `c` as UTF-8 at `o`; returns the end of what was written.
inline unsigned char *putUtf8(unsigned char *o, char32_t c)
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
} // namespace historysearch::detail
