// SPDX-License-Identifier: GPL-3.0-or-later
#include "textconv.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <climits>
#include <iterator>

// Choices made where the required results leave room:
// - Proper case separates words at U+0000, TAB, LF, VT, FF, CR and space only. The ideographic space
//   U+3000 does not separate: full-width Latin words after it keep their lower-case first letter.
// - Widen maps " ' ` \ ~ to their plain full-width forms ＂ ＇ ｀ ＼ ～ like the rest of U+0021..U+007E.
//   Narrow maps U+FF01..U+FF5E back and leaves the other Japanese forms ” ’ ‘ “ ￥ ￣ alone: they are
//   ordinary typographic quotes and signs in any text, and narrowing them would break widen's round trip.
//   Other full-width signs (￠ ￡ ￢ ...) stay as well, since widen never makes them.
// - Narrow leaves ヮ ヰ ヱ ヵ ヶ, which have no half-width forms (a neighbour would change the word),
//   and turns ヷ and ヺ into ﾜﾞ and ｦﾞ, their decompositions; ヸ and ヹ stay (ヰ and ヱ have no half-width
//   form). Widen then gives ワ゛ and ヲ゛, as for every letter JIS X 0208 has no voiced form of.
// - The hiragana and katakana conversions leave ヵ ヶ ゕ ゖ and ヷ..ヺ alone.

namespace {
constexpr char16_t ideographicSpace = 0x3000;
constexpr char16_t halfVoicedMark = 0xFF9E;     // ﾞ
constexpr char16_t halfSemiVoicedMark = 0xFF9F; // ﾟ
constexpr char16_t wideVoicedMark = 0x309B;     // ゛
constexpr char16_t wideSemiVoicedMark = 0x309C; // ゜
constexpr char16_t asciiToWideOffset = 0xFEE0;

// Full-width forms of U+FF61..U+FF9D in block order (the Unicode compatibility mapping).
constexpr char16_t wideOfHalf[] = u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソ"
                                  u"タチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";
static_assert(std::size(wideOfHalf) - 1 == 0xFF9D - 0xFF61 + 1);

bool isHalfKanaBlock(char16_t c)
{
    return c >= 0xFF61 && c <= halfSemiVoicedMark;
}

char16_t wideOfHalfKana(char16_t c)
{
    if (c == halfVoicedMark)
        return wideVoicedMark;
    if (c == halfSemiVoicedMark)
        return wideSemiVoicedMark;
    return wideOfHalf[c - 0xFF61];
}

// The one full-width letter JIS X 0208 has for a half-width letter and a mark, or 0.
constexpr char16_t composedKana(char16_t letter, char16_t mark)
{
    const bool kaToTo = letter >= 0xFF76 && letter <= 0xFF84; // ｶ..ﾄ
    const bool haToHo = letter >= 0xFF8A && letter <= 0xFF8E; // ﾊ..ﾎ
    if (mark == halfVoicedMark) {
        if (letter == 0xFF73) // ｳ
            return 0x30F4;    // ヴ
        if (kaToTo || haToHo)
            return static_cast<char16_t>(wideOfHalf[letter - 0xFF61] + 1);
    }
    if (mark == halfSemiVoicedMark && haToHo)
        return static_cast<char16_t>(wideOfHalf[letter - 0xFF61] + 2);
    return 0;
}

// Narrow's table for U+3000..U+30FF: each character's half-width letter and the mark after it, built
// from widen's rules so that the two stay each other's inverse.
struct HalfForm
{
    char16_t letter = 0;
    char16_t mark = 0;
};
constexpr char16_t narrowBase = 0x3000;

constexpr std::array<HalfForm, 0x100> makeNarrowTable()
{
    std::array<HalfForm, 0x100> table{};
    for (char16_t half = 0xFF61; half <= 0xFF9D; ++half) {
        table[wideOfHalf[half - 0xFF61] - narrowBase].letter = half;
        for (const char16_t mark : {halfVoicedMark, halfSemiVoicedMark}) {
            if (const char16_t composed = composedKana(half, mark))
                table[composed - narrowBase] = {half, mark};
        }
    }
    table[wideVoicedMark - narrowBase].letter = halfVoicedMark;
    table[wideSemiVoicedMark - narrowBase].letter = halfSemiVoicedMark;
    table[0x30F7 - narrowBase] = {0xFF9C, halfVoicedMark}; // ヷ → ﾜﾞ
    table[0x30FA - narrowBase] = {0xFF66, halfVoicedMark}; // ヺ → ｦﾞ
    return table;
}
constexpr std::array<HalfForm, 0x100> narrowTable = makeNarrowTable();

// QChar's case mapping leaves a character alone when its full mapping has several characters, even
// where the simple mapping has one. These are the characters where that differs (Unicode 14).
char32_t simpleUpper(char32_t c)
{
    if ((c >= 0x1F80 && c <= 0x1F87) || (c >= 0x1F90 && c <= 0x1F97) || (c >= 0x1FA0 && c <= 0x1FA7))
        return c + 8; // ᾀ → ᾈ ...
    if (c == 0x1FB3 || c == 0x1FC3 || c == 0x1FF3)
        return c + 9; // ᾳ → ᾼ, ῃ → ῌ, ῳ → ῼ
    return QChar::toUpper(c);
}

char32_t simpleLower(char32_t c)
{
    if (c == 0x130) // İ
        return u'i';
    return QChar::toLower(c);
}

bool isWordSeparator(char32_t c)
{
    return c == 0 || (c >= u'\t' && c <= u'\r') || c == u' ';
}

// Applies `map` to each code point (a surrogate pair is one, a lone surrogate passes through).
template <typename Map>
QString mapCodePoints(QStringView text, Map map)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out.append(QChar::fromUcs4(map(c)));
    }
    return out;
}

// Replaces each UTF-16 unit through `map`, which returns the unit unchanged when it has no counterpart.
template <typename Map>
QString mapUnits(QStringView text, Map map)
{
    QString out(text.size(), Qt::Uninitialized);
    std::transform(text.begin(), text.end(), out.begin(), [&map](QChar c) { return QChar(map(c.unicode())); });
    return out;
}
} // namespace

namespace textConv {
QString properCase(QStringView text)
{
    bool wordStart = true;
    return mapCodePoints(text, [&wordStart](char32_t c) {
        c = simpleLower(c);
        if (wordStart)
            c = simpleUpper(c);
        wordStart = isWordSeparator(c);
        return c;
    });
}

QString upperCase(QStringView text)
{
    return mapCodePoints(text, simpleUpper);
}

QString lowerCase(QStringView text)
{
    return mapCodePoints(text, simpleLower);
}

QString widen(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u' ') {
            out.append(QChar(ideographicSpace));
        } else if (c >= 0x21 && c <= 0x7E) {
            out.append(QChar(static_cast<char16_t>(c + asciiToWideOffset)));
        } else if (isHalfKanaBlock(c)) {
            const char16_t composed = i + 1 < text.size() ? composedKana(c, text[i + 1].unicode()) : 0;
            if (composed) {
                out.append(QChar(composed));
                ++i;
            } else {
                out.append(QChar(wideOfHalfKana(c)));
            }
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

QString narrow(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0xFF01 && c <= 0xFF5E) {
            out.append(QChar(static_cast<char16_t>(c - asciiToWideOffset)));
        } else if (c == ideographicSpace) {
            out.append(QLatin1Char(' '));
        } else if (c >= narrowBase && c <= 0x30FF && narrowTable[c - narrowBase].letter) {
            const HalfForm &half = narrowTable[c - narrowBase];
            out.append(QChar(half.letter));
            if (half.mark)
                out.append(QChar(half.mark));
        } else {
            out.append(ch);
        }
    }
    return out;
}

QString toHiragana(QStringView text)
{
    return mapUnits(text, [](char16_t c) -> char16_t {
        if ((c >= 0x30A1 && c <= 0x30F4) || c == 0x30FD || c == 0x30FE) // ァ..ヴ, ヽ ヾ
            return static_cast<char16_t>(c - 0x60);
        return c;
    });
}

QString toKatakana(QStringView text)
{
    return mapUnits(text, [](char16_t c) -> char16_t {
        if ((c >= 0x3041 && c <= 0x3094) || c == 0x309D || c == 0x309E) // ぁ..ゔ, ゝ ゞ
            return static_cast<char16_t>(c + 0x60);
        return c;
    });
}

QString wideKana(const QString &text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        // U+FF66..U+FF9F are exactly the characters whose code page 932 code is 0xA6..0xDF.
        const char16_t c = text[i].unicode();
        if (c < 0xFF66 || c > halfSemiVoicedMark) {
            result.append(text[i]);
            continue;
        }
        qsizetype length = 1;
        if (i + 1 < n && (text[i + 1] == QChar(halfVoicedMark) || text[i + 1] == QChar(halfSemiVoicedMark)))
            length = 2;
        result.append(widen(QStringView(text).sliced(i, length)));
        i += length - 1;
    }
    return result;
}

qsizetype displayedLength(QStringView text)
{
    return text.size() - 2 * text.count(u"\r\n");
}

QString groupedCount(qint64 n)
{
    if (n == 0)
        return {};
    const quint64 magnitude = n < 0 ? 0 - static_cast<quint64>(n) : static_cast<quint64>(n);
    QString digits = QString::number(magnitude);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    if (n < 0)
        digits.prepend(QLatin1Char('-'));
    return digits;
}

// The count that picks the plural form; lupdate reads only a plain name in that place.
static int pluralCount(qint64 n)
{
    return static_cast<int>(std::clamp<qint64>(n, INT_MIN, INT_MAX));
}

QString countMessageWhole(qint64 n)
{
    const int plural = pluralCount(n);
    return QCoreApplication::translate("TextConv", "テキストボックス内の、表示文字数(空白込み)は、%1文字でした。",
                                       nullptr, plural)
        .arg(groupedCount(n));
}

QString countMessageSelection(qint64 n)
{
    const int plural = pluralCount(n);
    return QCoreApplication::translate("TextConv", "指定範囲内の文字数（空白込み）は、%1文字でした。", nullptr, plural)
        .arg(groupedCount(n));
}

QString countPrompt(qint64 charactersAfterCaret)
{
    const int plural = pluralCount(charactersAfterCaret);
    return QCoreApplication::translate("TextConv",
                                       "カーソルから何文字目までを指定しますか？\r\n"
                                       "カーソル後の文字数は、%1文字です。\r\n\r\n"
                                       "改行と空白は１文字と数えます。",
                                       nullptr, plural)
        .arg(QString::number(charactersAfterCaret));
}

// The answer is read after narrowing, so full-width digits, sign, point and blanks typed with a
// Japanese input method count as well. Exponents, digit grouping and hexadecimal are not numbers.
// A negative answer selects nothing; an answer past the end of the text (or past 32 bits) selects
// up to the end.
std::optional<int> selectionLengthFor(const QString &answer, qint64 charactersAfterCaret)
{
    const QString s = narrow(answer).trimmed();
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    const qsizetype wholeStart = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    QStringView whole = QStringView(s).sliced(wholeStart, i - wholeStart);
    QStringView fraction;
    if (i < s.size() && s[i] == u'.') {
        const qsizetype fractionStart = ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        fraction = QStringView(s).sliced(fractionStart, i - fractionStart);
    }
    if (i != s.size() || (whole.isEmpty() && fraction.isEmpty()))
        return std::nullopt;

    const qint64 limit = std::clamp<qint64>(charactersAfterCaret, 0, INT_MAX);
    if (negative)
        return 0; // every negative number rounds to 0 or below
    while (!whole.isEmpty() && whole.front() == u'0')
        whole = whole.sliced(1);
    if (whole.size() > 18) // beyond qint64, and far beyond any text
        return static_cast<int>(limit);
    qint64 value = whole.isEmpty() ? 0 : whole.toLongLong();
    if (!fraction.isEmpty()) {
        const QChar first = fraction.front();
        const bool exactHalf =
            first == u'5' && std::all_of(fraction.begin() + 1, fraction.end(), [](QChar c) { return c == u'0'; });
        if (first > u'5' || (first == u'5' && !exactHalf) || (exactHalf && value % 2 == 1))
            ++value;
    }
    return static_cast<int>(std::min(value, limit));
}
} // namespace textConv
