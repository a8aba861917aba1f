// SPDX-License-Identifier: GPL-3.0-or-later
// The text window's conversions, counts and dropped-file lines over any text.

#include "fuzzcommon.h"

#include "core/textconv.h"
#include "textwin/filelines.h"

#include <algorithm>
#include <climits>

namespace {
bool any(QStringView text, bool (*test)(char16_t))
{
    return std::any_of(text.begin(), text.end(), [test](QChar c) { return test(c.unicode()); });
}

bool isAscii(char16_t c)
{
    return c < 0x80;
}
bool isHiraganaConverted(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3094) || c == 0x309D || c == 0x309E;
}
bool isKatakanaConverted(char16_t c)
{
    return (c >= 0x30A1 && c <= 0x30F4) || c == 0x30FD || c == 0x30FE;
}
bool isPrintableAsciiOrHalfKana(char16_t c)
{
    return (c >= 0x20 && c <= 0x7E) || (c >= 0xFF61 && c <= 0xFF9F);
}
bool isFullWidthAsciiOrIdeographicSpace(char16_t c)
{
    return (c >= 0xFF01 && c <= 0xFF5E) || c == 0x3000;
}
bool isHalfKanaWideKanaChanges(char16_t c)
{
    return c >= 0xFF66 && c <= 0xFF9F;
}

void checkConversions(const QString &text)
{
    for (const auto convert : {textConv::properCase, textConv::upperCase, textConv::lowerCase})
        FUZZ_CHECK(convert(text).size() == text.size());

    const QString wide = textConv::widen(text);
    FUZZ_CHECK(wide.size() <= text.size());
    FUZZ_CHECK(!any(wide, isPrintableAsciiOrHalfKana));
    const QString narrow = textConv::narrow(text);
    FUZZ_CHECK(narrow.size() >= text.size());
    FUZZ_CHECK(!any(narrow, isFullWidthAsciiOrIdeographicSpace));
    if (!any(text, [](char16_t c) { return !isAscii(c); }))
        FUZZ_CHECK(textConv::narrow(wide) == text);

    const QString hiragana = textConv::toHiragana(text);
    const QString katakana = textConv::toKatakana(text);
    FUZZ_CHECK(hiragana.size() == text.size() && katakana.size() == text.size());
    FUZZ_CHECK(!any(hiragana, isKatakanaConverted));
    FUZZ_CHECK(!any(katakana, isHiraganaConverted));
    if (!any(text, isHiraganaConverted))
        FUZZ_CHECK(textConv::toKatakana(hiragana) == text);
    if (!any(text, isKatakanaConverted))
        FUZZ_CHECK(textConv::toHiragana(katakana) == text);

    const QString wideKana = textConv::wideKana(text);
    FUZZ_CHECK(wideKana.size() <= text.size());
    FUZZ_CHECK(!any(wideKana, isHalfKanaWideKanaChanges));
}

void checkCounts(const QString &text, qint64 n)
{
    const qsizetype length = textConv::displayedLength(text);
    FUZZ_CHECK(length >= 0 && length <= text.size());

    QString grouped = textConv::groupedCount(n);
    FUZZ_CHECK(grouped.remove(u',') == (n == 0 ? QString() : QString::number(n)));
    (void)textConv::countMessageWhole(n);
    (void)textConv::countMessageSelection(n);
    (void)textConv::countPrompt(n);

    const qint64 limit = std::clamp<qint64>(n, 0, INT_MAX);
    for (const qint64 after : {n, limit, qint64(0), qint64(5), qint64(INT_MAX) + 1}) {
        const auto selected = textConv::selectionLengthFor(text, after);
        if (selected)
            FUZZ_CHECK(*selected >= 0 && *selected <= std::clamp<qint64>(after, 0, INT_MAX));
    }
}

void checkFileLines(const QString &text)
{
    const QString lines = textConv::fileLines(text);
    FUZZ_CHECK(text.isEmpty() ? lines.isEmpty() : lines.endsWith(QStringLiteral("\r\n")));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i] == u'\r')
            FUZZ_CHECK(i + 1 < lines.size() && lines[i + 1] == u'\n');
    }
    FUZZ_CHECK(textConv::fileLines(lines) == lines);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes = fuzz::bytesOf(data, size);
    const QString text = fuzz::textOf(bytes);
    qint64 n = 0;
    if (size > 0)
        std::memcpy(&n, data, std::min<size_t>(size, sizeof n));
    checkConversions(text);
    checkCounts(text, n);
    checkFileLines(text);
    return 0;
}
