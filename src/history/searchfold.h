// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/utf8.h"
#include "historysearch.h"

#include <QChar>
#include <QString>
#include <QStringView>

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
