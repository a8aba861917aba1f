// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtEndian>
#include <QtGlobal>

// The one rule for well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF),
// shared by the codec's validity check and decoding and by the history search, which reads UTF-8
// bytes on its hot path: hence inline here.
namespace utf8 {
// Length of the well-formed UTF-8 sequence at p (1..4, `left` bytes available) and its code point;
// 0 when the bytes are not one; -1 when they begin one that the end cuts short.
inline int sequenceSlow(const unsigned char *p, qsizetype left, char32_t &cp)
{
    const unsigned char c = p[0];
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
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
    for (int k = 1; k < len; ++k) {
        if (k >= left)
            return -1;
        const unsigned char t = p[k];
        if (k == 1 ? (t < lo || t > hi) : (t < 0x80 || t > 0xBF))
            return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    return len;
}

// Whether a well-formed three-byte character (the kana and kanji of Japanese text) begins at p; one
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

// The same as sequenceSlow, quick for three-byte characters.
inline int sequence(const unsigned char *p, qsizetype left, char32_t &cp)
{
    unsigned c3 = 0;
    if (threeByteCharacter(p, p + left, c3)) {
        cp = c3;
        return 3;
    }
    return sequenceSlow(p, left, cp);
}
} // namespace utf8
