// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codec.h"
#include "core/textconv.h"

#include <QTest>

#include <climits>
#include <limits>

using namespace textConv;
using namespace Qt::StringLiterals;

namespace {
QString ch(char16_t c)
{
    return QString(QChar(c));
}

// The half-width block and its full-width forms, from the Unicode compatibility decompositions;
// the two marks widen to the spacing marks ゛ ゜ rather than the combining ones.
constexpr char16_t halfWidthForms[][2] = {
    {0xFF61, 0x3002}, {0xFF62, 0x300C}, {0xFF63, 0x300D}, {0xFF64, 0x3001}, {0xFF65, 0x30FB}, {0xFF66, 0x30F2},
    {0xFF67, 0x30A1}, {0xFF68, 0x30A3}, {0xFF69, 0x30A5}, {0xFF6A, 0x30A7}, {0xFF6B, 0x30A9}, {0xFF6C, 0x30E3},
    {0xFF6D, 0x30E5}, {0xFF6E, 0x30E7}, {0xFF6F, 0x30C3}, {0xFF70, 0x30FC}, {0xFF71, 0x30A2}, {0xFF72, 0x30A4},
    {0xFF73, 0x30A6}, {0xFF74, 0x30A8}, {0xFF75, 0x30AA}, {0xFF76, 0x30AB}, {0xFF77, 0x30AD}, {0xFF78, 0x30AF},
    {0xFF79, 0x30B1}, {0xFF7A, 0x30B3}, {0xFF7B, 0x30B5}, {0xFF7C, 0x30B7}, {0xFF7D, 0x30B9}, {0xFF7E, 0x30BB},
    {0xFF7F, 0x30BD}, {0xFF80, 0x30BF}, {0xFF81, 0x30C1}, {0xFF82, 0x30C4}, {0xFF83, 0x30C6}, {0xFF84, 0x30C8},
    {0xFF85, 0x30CA}, {0xFF86, 0x30CB}, {0xFF87, 0x30CC}, {0xFF88, 0x30CD}, {0xFF89, 0x30CE}, {0xFF8A, 0x30CF},
    {0xFF8B, 0x30D2}, {0xFF8C, 0x30D5}, {0xFF8D, 0x30D8}, {0xFF8E, 0x30DB}, {0xFF8F, 0x30DE}, {0xFF90, 0x30DF},
    {0xFF91, 0x30E0}, {0xFF92, 0x30E1}, {0xFF93, 0x30E2}, {0xFF94, 0x30E4}, {0xFF95, 0x30E6}, {0xFF96, 0x30E8},
    {0xFF97, 0x30E9}, {0xFF98, 0x30EA}, {0xFF99, 0x30EB}, {0xFF9A, 0x30EC}, {0xFF9B, 0x30ED}, {0xFF9C, 0x30EF},
    {0xFF9D, 0x30F3}, {0xFF9E, 0x309B}, {0xFF9F, 0x309C},
};
} // namespace

class TestTextConv final : public QObject
{
    Q_OBJECT

private slots:
    void caseMapping_data();
    void caseMapping();
    void properCase_data();
    void properCase();
    void widen_data();
    void widen();
    void narrow_data();
    void narrow();
    void halfWidthBlock_data();
    void halfWidthBlock();
    void widthRoundTrip_data();
    void widthRoundTrip();
    void kanaScript_data();
    void kanaScript();
    void wideKana_data();
    void wideKana();
    void wideKanaTakesExactlyTheCp932KanaCodes();
    void displayedLength_data();
    void displayedLength();
    void countTexts_data();
    void countTexts();
    void selectionLength_data();
    void selectionLength();
};

void TestTextConv::caseMapping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    QTest::newRow("ascii") << u"aBc 1!"_s << u"ABC 1!"_s << u"abc 1!"_s;
    QTest::newRow("full-width latin") << u"ａｚＡＺ"_s << u"ＡＺＡＺ"_s << u"ａｚａｚ"_s;
    QTest::newRow("kana and kanji have no case") << u"かナ漢ｶ"_s << u"かナ漢ｶ"_s << u"かナ漢ｶ"_s;
    // The simple mapping keeps the length: no SS for ß, no splitting of ligatures.
    QTest::newRow("sharp s, ligature, n with apostrophe") << u"ßﬀŉ"_s << u"ßﬀŉ"_s << u"ßﬀŉ"_s;
    QTest::newRow("final sigma") << u"ς"_s << u"Σ"_s << u"ς"_s;
    QTest::newRow("titlecase dz") << u"ǅ"_s << u"Ǆ"_s << u"ǆ"_s;
    // Characters whose full mapping has several characters but whose simple mapping has one.
    QTest::newRow("capital I with dot") << u"İ"_s << u"İ"_s << u"i"_s;
    QTest::newRow("greek with ypogegrammeni") << u"ᾳᾀᾗῳ"_s << u"ᾼᾈᾟῼ"_s << u"ᾳᾀᾗῳ"_s;
    QTest::newRow("surrogate pairs") << u"𐐀𐐨"_s << u"𐐀𐐀"_s << u"𐐨𐐨"_s;
    QTest::newRow("lone surrogate") << ("a" + ch(0xD801) + "b") << ("A" + ch(0xD801) + "B") << ("a" + ch(0xD801) + "b");
}

void TestTextConv::caseMapping()
{
    QFETCH(QString, text);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    QCOMPARE(upperCase(text), upper);
    QCOMPARE(lowerCase(text), lower);
}

void TestTextConv::properCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mixed case words") << u"hELLO wORLD"_s << u"Hello World"_s;
    QTest::newRow("tab") << u"abc\tdef"_s << u"Abc\tDef"_s;
    QTest::newRow("punctuation does not separate") << u"o'neil-smith"_s << u"O'neil-smith"_s;
    QTest::newRow("lf, vt, ff") << u"a\nb\vc\fd"_s << u"A\nB\vC\fD"_s;
    QTest::newRow("cr lf") << u"ab\r\ncd"_s << u"Ab\r\nCd"_s;
    QTest::newRow("nul") << ("a" + ch(0) + "b") << ("A" + ch(0) + "B");
    QTest::newRow("repeated blanks") << u"  x  y "_s << u"  X  Y "_s;
    QTest::newRow("ideographic space does not separate") << u"ａＢＣ　ｄｅｆ"_s << u"Ａｂｃ　ｄｅｆ"_s;
    QTest::newRow("no-break space does not separate") << u"ab\u00A0cd"_s << u"Ab\u00A0cd"_s;
    QTest::newRow("digit first") << u"1ST place"_s << u"1st Place"_s;
    QTest::newRow("dotted capital I") << u"İSTANBUL"_s << u"Istanbul"_s;
    QTest::newRow("surrogate pair first") << u"𐐨𐐀 𐐨"_s << u"𐐀𐐨 𐐀"_s;
    QTest::newRow("empty") << u""_s << u""_s;
}

void TestTextConv::properCase()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(textConv::properCase(text), expected);
}

void TestTextConv::widen_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters and space") << u"A b"_s << u"Ａ　ｂ"_s;
    QTest::newRow("range ends") << u"!~09"_s << u"！～０９"_s;
    QTest::newRow("quote, apostrophe, grave, backslash, tilde") << u"\"'`\\~"_s << u"＂＇｀＼～"_s;
    QTest::newRow("controls, DEL, latin-1 stay") << u"\t\r\n\x7F¥¢é"_s << u"\t\r\n\x7F¥¢é"_s;
    QTest::newRow("full-width stays") << u"ガあ漢ＡＢ　※"_s << u"ガあ漢ＡＢ　※"_s;
    QTest::newRow("voiced ka") << u"ｶﾞ"_s << u"ガ"_s;
    QTest::newRow("voiced ka..ko") << u"ｶﾞｷﾞｸﾞｹﾞｺﾞ"_s << u"ガギグゲゴ"_s;
    QTest::newRow("voiced sa..so") << u"ｻﾞｼﾞｽﾞｾﾞｿﾞ"_s << u"ザジズゼゾ"_s;
    QTest::newRow("voiced ta..to") << u"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ"_s << u"ダヂヅデド"_s;
    QTest::newRow("voiced ha..ho") << u"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ"_s << u"バビブベボ"_s;
    QTest::newRow("semi-voiced ha..ho") << u"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"_s << u"パピプペポ"_s;
    QTest::newRow("voiced u") << u"ｳﾞ"_s << u"ヴ"_s;
    QTest::newRow("pairs without a composed letter") << u"ｱﾞｶﾟﾅﾞﾜﾞｦﾞｯﾞｰﾞ"_s << u"ア゛カ゜ナ゛ワ゛ヲ゛ッ゛ー゛"_s;
    QTest::newRow("mark after punctuation") << u"｡ﾞ･ﾟ"_s << u"。゛・゜"_s;
    QTest::newRow("two marks") << u"ｶﾞﾞﾞ"_s << u"ガ゛゛"_s;
    QTest::newRow("mark after full-width letter") << u"カﾞ"_s << u"カ゛"_s;
    QTest::newRow("letter at the end") << u"ｶﾞｶ"_s << u"ガカ"_s;
}

void TestTextConv::widen()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(textConv::widen(text), expected);
}

void TestTextConv::narrow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters, ideographic space, digits") << u"ＡＢＣ　１２３"_s << u"ABC 123"_s;
    QTest::newRow("range ends") << u"！～"_s << u"!~"_s;
    QTest::newRow("plain full-width quote forms") << u"＂＇｀＼～"_s << u"\"'`\\~"_s;
    QTest::newRow("Japanese quote forms stay") << u"“”‘’￥￣"_s << u"“”‘’￥￣"_s;
    QTest::newRow("other full-width signs stay") << u"￠￡￢￤"_s << u"￠￡￢￤"_s;
    QTest::newRow("voiced ka") << u"ガ"_s << u"ｶﾞ"_s;
    QTest::newRow("voiced and semi-voiced") << u"ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポ"_s
                                            << u"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"_s;
    QTest::newRow("voiced u") << u"ヴ"_s << u"ｳﾞ"_s;
    QTest::newRow("voiced wa and wo") << u"ヷヺ"_s << u"ﾜﾞｦﾞ"_s;
    QTest::newRow("voiced wi and we stay") << u"ヸヹ"_s << u"ヸヹ"_s;
    QTest::newRow("small kana") << u"ァィゥェォッャュョ"_s << u"ｧｨｩｪｫｯｬｭｮ"_s;
    QTest::newRow("no half-width form") << u"ヮヰヱヵヶヽヾ"_s << u"ヮヰヱヵヶヽヾ"_s;
    QTest::newRow("punctuation and marks") << u"。「」、・ー゛゜"_s << u"｡｢｣､･ｰﾞﾟ"_s;
    QTest::newRow("hiragana, kanji, symbols stay") << u"ひらがな漢字※〒"_s << u"ひらがな漢字※〒"_s;
    QTest::newRow("combining mark stays") << ("カ" + ch(0x3099)) << ("ｶ" + ch(0x3099));
    QTest::newRow("half-width stays") << u"ABC ｶﾞ"_s << u"ABC ｶﾞ"_s;
}

void TestTextConv::narrow()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(textConv::narrow(text), expected);
}

void TestTextConv::halfWidthBlock_data()
{
    QTest::addColumn<QString>("half");
    QTest::addColumn<QString>("wide");
    for (const auto &[half, wide] : halfWidthForms)
        QTest::addRow("U+%04X", half) << ch(half) << ch(wide);
}

void TestTextConv::halfWidthBlock()
{
    QFETCH(QString, half);
    QFETCH(QString, wide);
    QCOMPARE(textConv::widen(half), wide);
    QCOMPARE(textConv::wideKana(half), half.front().unicode() < 0xFF66 ? half : wide);
    QCOMPARE(textConv::narrow(wide), half);
}

void TestTextConv::widthRoundTrip_data()
{
    QTest::addColumn<QString>("half");
    for (char16_t c = 0x20; c <= 0x7E; ++c)
        QTest::addRow("U+%04X", c) << ch(c);
    for (char16_t c = 0xFF61; c <= 0xFF9F; ++c)
        QTest::addRow("U+%04X", c) << ch(c);
}

void TestTextConv::widthRoundTrip()
{
    QFETCH(QString, half);
    const QString wide = textConv::widen(half);
    QCOMPARE(wide.size(), 1);
    QVERIFY(wide != half);
    QCOMPARE(textConv::narrow(wide), half);
}

void TestTextConv::kanaScript_data()
{
    QTest::addColumn<QString>("katakana");
    QTest::addColumn<QString>("hiragana");
    QTest::newRow("words with marks") << u"カタカナ・ヴー"_s << u"かたかな・ゔー"_s;
    QTest::newRow("iteration mark") << u"ヒラガナヽ"_s << u"ひらがなゝ"_s;
    QTest::newRow("range ends and marks") << u"ァヴヽヾ"_s << u"ぁゔゝゞ"_s;
    QTest::newRow("neighbours outside the ranges") << u"゠ヵヶヷヺヿ"_s << u"゠ヵヶヷヺヿ"_s;
    QTest::newRow("small ka and ke in hiragana stay") << u"ゕゖゟ゛゜"_s << u"ゕゖゟ゛゜"_s;
    QTest::newRow("half-width, latin, kanji stay") << u"ｶﾀｶﾅ a漢"_s << u"ｶﾀｶﾅ a漢"_s;
}

void TestTextConv::kanaScript()
{
    QFETCH(QString, katakana);
    QFETCH(QString, hiragana);
    QCOMPARE(toHiragana(katakana), hiragana);
    QCOMPARE(toKatakana(hiragana), katakana);
}

void TestTextConv::wideKana_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letters") << u"ｱｲｳ"_s << u"アイウ"_s;
    QTest::newRow("voiced and semi-voiced") << u"ｶﾞﾊﾟ"_s << u"ガパ"_s;
    QTest::newRow("voiced u") << u"ｳﾞ"_s << u"ヴ"_s;
    QTest::newRow("no composed form") << u"ｱﾞ"_s << u"ア゛"_s;
    QTest::newRow("lone semi-voiced mark") << u"ﾟ"_s << u"゜"_s;
    QTest::newRow("prolonged sound mark") << u"ｰ"_s << u"ー"_s;
    QTest::newRow("ascii stays") << u"Ab 12~"_s << u"Ab 12~"_s;
    QTest::newRow("half-width punctuation stays") << u"｡｢｣､･"_s << u"｡｢｣､･"_s;
    QTest::newRow("mark after punctuation") << u"｡ﾞ"_s << u"｡゛"_s;
    QTest::newRow("mark after ascii") << u"aﾟ"_s << u"a゜"_s;
    QTest::newRow("mixed") << u"ﾃﾞｰﾀ 123ﾊﾞｲﾄ!"_s << u"データ 123バイト!"_s;
    QTest::newRow("double-byte and unmappable stay") << u"ガあ漢Ａ€😀"_s << u"ガあ漢Ａ€😀"_s;
    QTest::newRow("empty") << u""_s << u""_s;
}

void TestTextConv::wideKana()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString before = text;
    QCOMPARE(textConv::wideKana(text), expected);
    QCOMPARE(text, before);
}

// The rule is stated over code page 932: a character is converted when its code is 0xA6..0xDF.
void TestTextConv::wideKanaTakesExactlyTheCp932KanaCodes()
{
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (QChar::isSurrogate(c))
            continue;
        const QString text = ch(static_cast<char16_t>(c));
        const QByteArray code = codec::encode(text, CodePage::Cp932);
        const bool kanaCode = code.size() == 1 && static_cast<unsigned char>(code[0]) >= 0xA6 &&
                              static_cast<unsigned char>(code[0]) <= 0xDF;
        if ((textConv::wideKana(text) != text) != kanaCode)
            QFAIL(qPrintable(QStringLiteral("U+%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'))));
    }
}

void TestTextConv::displayedLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("length");
    QTest::newRow("empty") << u""_s << qsizetype(0);
    QTest::newRow("cr lf removed, space counted") << u"ab\r\nc d"_s << qsizetype(5);
    QTest::newRow("lone cr and lf count") << u"a\rb\nc"_s << qsizetype(5);
    QTest::newRow("cr before a pair") << u"\r\r\n"_s << qsizetype(1);
    QTest::newRow("lf cr is no pair") << u"\n\r"_s << qsizetype(2);
    QTest::newRow("only pairs") << u"\r\n\r\n"_s << qsizetype(0);
    QTest::newRow("tab and ideographic space") << u"\t　"_s << qsizetype(2);
}

void TestTextConv::displayedLength()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, length);
    QCOMPARE(textConv::displayedLength(text), length);
}

void TestTextConv::countTexts_data()
{
    QTest::addColumn<qint64>("n");
    QTest::addColumn<QString>("grouped");
    QTest::newRow("0") << qint64(0) << u""_s;
    QTest::newRow("7") << qint64(7) << u"7"_s;
    QTest::newRow("999") << qint64(999) << u"999"_s;
    QTest::newRow("1000") << qint64(1000) << u"1,000"_s;
    QTest::newRow("1234") << qint64(1234) << u"1,234"_s;
    QTest::newRow("100000") << qint64(100000) << u"100,000"_s;
    QTest::newRow("1234567") << qint64(1234567) << u"1,234,567"_s;
    QTest::newRow("-1234") << qint64(-1234) << u"-1,234"_s;
    QTest::newRow("-123") << qint64(-123) << u"-123"_s;
    QTest::newRow("max") << std::numeric_limits<qint64>::max() << u"9,223,372,036,854,775,807"_s;
    QTest::newRow("min") << std::numeric_limits<qint64>::min() << u"-9,223,372,036,854,775,808"_s;
}

void TestTextConv::countTexts()
{
    QFETCH(qint64, n);
    QFETCH(QString, grouped);
    QCOMPARE(groupedCount(n), grouped);
    QCOMPARE(countMessageWhole(n), "テキストボックス内の、表示文字数(空白込み)は、" + grouped + "文字でした。");
    QCOMPARE(countMessageSelection(n), "指定範囲内の文字数（空白込み）は、" + grouped + "文字でした。");
    QCOMPARE(countPrompt(n), "カーソルから何文字目までを指定しますか？\r\nカーソル後の文字数は、" + QString::number(n) +
                                 "文字です。\r\n\r\n改行と空白は１文字と数えます。");
}

void TestTextConv::selectionLength_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<qint64>("after");
    QTest::addColumn<int>("length"); // -1: not a number
    QTest::newRow("2.5 to even") << u"2.5"_s << qint64(10) << 2;
    QTest::newRow("3.5 to even") << u"3.5"_s << qint64(10) << 4;
    QTest::newRow("0.5 to even") << u"0.5"_s << qint64(10) << 0;
    QTest::newRow("trailing zeros keep a half") << u"2.5000"_s << qint64(10) << 2;
    QTest::newRow("just above a half") << u"2.5001"_s << qint64(10) << 3;
    QTest::newRow("just below a half") << u"3.4999"_s << qint64(10) << 3;
    QTest::newRow("leading point") << u".6"_s << qint64(10) << 1;
    QTest::newRow("trailing point") << u"5."_s << qint64(10) << 5;
    QTest::newRow("leading zeros") << u"007"_s << qint64(10) << 7;
    QTest::newRow("plus sign and blanks") << u" \t+4 "_s << qint64(10) << 4;
    QTest::newRow("full-width") << u"　＋２．５　"_s << qint64(10) << 2;
    QTest::newRow("negative selects nothing") << u"-3"_s << qint64(10) << 0;
    QTest::newRow("negative half") << u"-0.5"_s << qint64(10) << 0;
    QTest::newRow("beyond the text") << u"11"_s << qint64(10) << 10;
    QTest::newRow("caret at the end") << u"1"_s << qint64(0) << 0;
    QTest::newRow("beyond 32 bits") << u"4294967297"_s << qint64(10) << 10;
    QTest::newRow("beyond 64 bits") << u"123456789012345678901234567890"_s << qint64(10) << 10;
    QTest::newRow("text beyond 32 bits") << u"3000000000"_s << qint64(5000000000) << INT_MAX;
    QTest::newRow("empty") << u""_s << qint64(10) << -1;
    QTest::newRow("blanks") << u"   "_s << qint64(10) << -1;
    QTest::newRow("word") << u"abc"_s << qint64(10) << -1;
    QTest::newRow("point alone") << u"."_s << qint64(10) << -1;
    QTest::newRow("sign alone") << u"-"_s << qint64(10) << -1;
    QTest::newRow("two signs") << u"+-1"_s << qint64(10) << -1;
    QTest::newRow("blank after sign") << u"- 1"_s << qint64(10) << -1;
    QTest::newRow("exponent") << u"1e3"_s << qint64(10) << -1;
    QTest::newRow("grouping") << u"1,000"_s << qint64(10) << -1;
    QTest::newRow("two numbers") << u"1 2"_s << qint64(10) << -1;
    QTest::newRow("hexadecimal") << u"&H10"_s << qint64(10) << -1;
    QTest::newRow("trailing letter") << u"5a"_s << qint64(10) << -1;
    QTest::newRow("other script's digits") << u"٣"_s << qint64(10) << -1;
}

void TestTextConv::selectionLength()
{
    QFETCH(QString, answer);
    QFETCH(qint64, after);
    QFETCH(int, length);
    const std::optional<int> result = selectionLengthFor(answer, after);
    QCOMPARE(result.has_value(), length >= 0);
    if (result)
        QCOMPARE(*result, length);
}

QTEST_GUILESS_MAIN(TestTextConv)
#include "tst_textconv.moc"
