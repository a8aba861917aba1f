// SPDX-License-Identifier: GPL-3.0-or-later
// The codec: any bytes decoded in both pages, any UTF-16 units encoded in both pages.

#include "fuzzcommon.h"

#include "core/codec.h"

#include <algorithm>

namespace {
constexpr char16_t replacement = 0xFFFD;

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The bytes without a UTF-8 byte order mark at the start: Qt's UTF-8 decoder drops one there.
QByteArrayView withoutBom(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

void checkDecoding(QByteArrayView bytes)
{
    const bool valid = codec::isValidUtf8(bytes);
    const bool validCut = codec::isValidUtf8(bytes, true);
    FUZZ_CHECK(!valid || validCut);

    for (const CodePage page : {CodePage::Utf8, CodePage::Cp932}) {
        for (const bool cut : {false, true}) {
            const QString text = codec::decodeAs(bytes, page, cut);
            FUZZ_CHECK(text.size() <= bytes.size());
            FUZZ_CHECK(!fuzz::hasLoneSurrogate(text));
        }
    }

    // Valid UTF-8 comes back byte for byte; a cut tail (at most three bytes) is dropped.
    const QString utf8 = codec::decodeAs(bytes, CodePage::Utf8);
    if (valid) {
        FUZZ_CHECK(codec::encode(utf8, CodePage::Utf8) == withoutBom(bytes));
        FUZZ_CHECK(codec::decodeAs(bytes, CodePage::Utf8, true) == utf8);
    } else if (validCut) {
        const QByteArray kept = codec::encode(codec::decodeAs(bytes, CodePage::Utf8, true), CodePage::Utf8);
        const QByteArrayView whole = withoutBom(bytes);
        FUZZ_CHECK(whole.startsWith(kept) && whole.size() - kept.size() <= 3 && whole.size() > kept.size());
    }

    // CP932 bytes without an invalid sequence decode the same with and without cutTail: a lone lead
    // byte at the end would be invalid.
    const QString cp932 = codec::decodeAs(bytes, CodePage::Cp932);
    if (!cp932.contains(QChar(replacement)))
        FUZZ_CHECK(codec::decodeAs(bytes, CodePage::Cp932, true) == cp932);
    if (isAscii(bytes)) {
        FUZZ_CHECK(cp932 == QString::fromLatin1(bytes));
        FUZZ_CHECK(codec::encode(cp932, CodePage::Cp932) == bytes);
    }

    for (const bool cut : {false, true}) {
        const QString decoded = codec::decode(bytes, cut);
        if (codec::systemCodePage() == CodePage::Utf8) {
            const bool utf8Page = codec::isValidUtf8(bytes, cut);
            FUZZ_CHECK(decoded == codec::decodeAs(bytes, utf8Page ? CodePage::Utf8 : CodePage::Cp932, cut));
        }
    }
}

void checkEncoding(const QString &text)
{
    // UTF-8 output is always valid (a lone surrogate becomes '?').
    FUZZ_CHECK(codec::isValidUtf8(codec::encode(text, CodePage::Utf8)));

    // CP932: at most two bytes a unit; each lone surrogate is a '?', and so is each character CP932
    // has no code for: decoding gives one unit per code point and no replacement character.
    const QByteArray bytes = codec::encode(text, CodePage::Cp932);
    FUZZ_CHECK(bytes.size() <= 2 * text.size());
    QString lonesReplaced = text;
    qsizetype codePoints = 0;
    qsizetype tags = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++codePoints) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            tags += c >= 0xE0000 && c <= 0xE007F;
            ++i;
        } else if (text[i].isSurrogate()) {
            lonesReplaced[i] = u'?';
        }
    }
    FUZZ_CHECK(codec::encode(lonesReplaced, CodePage::Cp932) == bytes);
    const QString back = codec::decodeAs(bytes, CodePage::Cp932);
    FUZZ_CHECK(!back.contains(QChar(replacement)));
    // glibc's iconv drops the tag characters U+E0000..U+E007F instead of failing on them, so today
    // they vanish rather than becoming '?'. Either is accepted here; every other character counts.
    FUZZ_CHECK(back.size() == codePoints || back.size() == codePoints - tags);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes = fuzz::bytesOf(data, size);
    checkDecoding(bytes);
    checkEncoding(fuzz::rawUtf16(bytes));
    checkEncoding(QString::fromUtf8(bytes));
    return 0;
}
