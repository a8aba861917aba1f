// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codec.h"
#include "core/linebreaks.h"

#include <QTest>

class TestCodec final : public QObject
{
    Q_OBJECT

private slots:
    void cp932Mapping_data();
    void cp932Mapping();
    void cp932Unmappable_data();
    void cp932Unmappable();
    void invalidBytesStayVisible_data();
    void invalidBytesStayVisible();
    void utf8Validity_data();
    void utf8Validity();
    void decodeFallsBackToCp932();
    void cutTailDropsOnlyTheBrokenCharacter_data();
    void cutTailDropsOnlyTheBrokenCharacter();
    void desktopBytesDecodeAsJoined_data();
    void desktopBytesDecodeAsJoined();
};

void TestCodec::cp932Mapping_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    // The Microsoft mapping, where it differs from JIS Shift_JIS.
    QTest::newRow("wave dash") << QByteArray("\x81\x60") << QString(QChar(0xFF5E));
    QTest::newRow("fullwidth reverse solidus") << QByteArray("\x81\x5F") << QString(QChar(0xFF3C));
    QTest::newRow("backslash") << QByteArray("\x5C") << QStringLiteral("\\");
    QTest::newRow("circled one (NEC row 13)") << QByteArray("\x87\x40") << QString(QChar(0x2460));
    QTest::newRow("halfwidth katakana a") << QByteArray("\xB1") << QString(QChar(0xFF71));
    QTest::newRow("hiragana and kanji") << QByteArray("\x82\xA0\x93\xFA\x96\x7B") << QStringLiteral("あ日本");
    QTest::newRow("control bytes") << QByteArray("a\x1A\x1C\x7F"
                                                 "b")
                                   << QStringLiteral("a\x1A\x1C\x7F"
                                                     "b");
    QTest::newRow("minus sign") << QByteArray("\x81\x7C") << QString(QChar(0xFF0D));
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestCodec::cp932Mapping()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codec::decodeAs(bytes, CodePage::Cp932), text);
    QCOMPARE(codec::encode(text, CodePage::Cp932), bytes);
}

void TestCodec::cp932Unmappable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("emoji (surrogate pair) is one ?") << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
    QTest::newRow("euro sign") << QStringLiteral("1\u20AC") << QByteArray("1?");
    QTest::newRow("lone high surrogate") << (QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y"))
                                         << QByteArray("x?y");
    QTest::newRow("lone low surrogate at end") << (QStringLiteral("x") + QChar(0xDC00)) << QByteArray("x?");
    QTest::newRow("hangul then kana") << QStringLiteral("한あ") << QByteArray("?\x82\xA0");
    QTest::newRow("tag characters are not skipped") << QStringLiteral("a\U000E0001b\U0001F600c") << QByteArray("a?b?c");
}

void TestCodec::cp932Unmappable()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(codec::encode(text, CodePage::Cp932), bytes);
}

void TestCodec::invalidBytesStayVisible_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString r(QChar(0xFFFD));
    QTest::newRow("lead byte at end") << QByteArray("a\x81") << (QStringLiteral("a") + r);
    QTest::newRow("lead byte before blank") << QByteArray("\x81 b") << (r + QStringLiteral(" b"));
    QTest::newRow("undefined single byte") << QByteArray("\xFD"
                                                         "c")
                                           << (r + QStringLiteral("c"));
    QTest::newRow("two bad bytes") << QByteArray("\xFD\xFE") << (r + r);
}

void TestCodec::invalidBytesStayVisible()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codec::decodeAs(bytes, CodePage::Cp932), text);
}

void TestCodec::utf8Validity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("validWhenCut");
    QTest::newRow("ascii") << QByteArray("abc") << true << true;
    QTest::newRow("japanese") << QByteArray("日本語") << true << true;
    QTest::newRow("four-byte") << QByteArray("\xF0\x9F\x98\x80") << true << true;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false << false;
    QTest::newRow("cut three-byte") << QByteArray("a\xE6\x97") << false << true;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false << false;
    QTest::newRow("cp932 kanji") << QByteArray("\x93\xFA\x96\x7B") << false << false;
    QTest::newRow("cut four-byte") << QByteArray("\xF0\x9F\x98") << false << true;
    QTest::newRow("cut sequence before more bytes") << QByteArray("\xE6\x97z") << false << false;
    QTest::newRow("surrogate before more bytes") << QByteArray("\xED\xA0\x80xyz") << false << false;
    QTest::newRow("overlong three-byte before more bytes") << QByteArray("\xE0\x80\xAFxyz") << false << false;
    QTest::newRow("long ascii run, then cut") << QByteArray("abcdefghijklmnopq\xE6\x97") << false << true;
    QTest::newRow("long ascii run, then bad byte") << QByteArray("abcdefghijklmnopq\xFFxyzwvuts") << false << false;
}

void TestCodec::utf8Validity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(bool, validWhenCut);
    QCOMPARE(codec::isValidUtf8(bytes), valid);
    QCOMPARE(codec::isValidUtf8(bytes, true), validWhenCut);
}

void TestCodec::decodeFallsBackToCp932()
{
    if (codec::systemCodePage() != CodePage::Utf8)
        QSKIP("the locale is not UTF-8");
    QCOMPARE(codec::decode(QByteArray("日本")), QStringLiteral("日本"));
    QCOMPARE(codec::decode(QByteArray("\x93\xFA\x96\x7B")), QStringLiteral("日本"));
    QCOMPARE(codec::encode(QStringLiteral("日本"), CodePage::Utf8), QByteArray("日本"));
}

void TestCodec::cutTailDropsOnlyTheBrokenCharacter_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf8 cut in third char")
        << QByteArray("日本語").left(7) << int(CodePage::Utf8) << QStringLiteral("日本");
    QTest::newRow("utf8 whole") << QByteArray("日本") << int(CodePage::Utf8) << QStringLiteral("日本");
    QTest::newRow("cp932 cut after lead") << QByteArray("\x93\xFA\x96") << int(CodePage::Cp932) << QStringLiteral("日");
    QTest::newRow("cp932 whole, trail looks like lead")
        << QByteArray("\x82\x9F") << int(CodePage::Cp932) << QStringLiteral("ぁ");
}

void TestCodec::cutTailDropsOnlyTheBrokenCharacter()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, page);
    QFETCH(QString, text);
    QCOMPARE(codec::decodeAs(bytes, static_cast<CodePage>(page), true), text);
}

void TestCodec::desktopBytesDecodeAsJoined_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("latin1");
    const QByteArray slice((1 << 20) - 1, 'a'); // one byte short of the size decoded at a time
    QTest::newRow("breaks") << QByteArray("a\r\nb\nc\rd\r\r\n\n\re\r") << false;
    QTest::newRow("multi-byte") << QByteArray("\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80x") << false;
    QTest::newRow("incomplete at the end") << QByteArray("ab\xF0\x9F\x98") << false;
    QTest::newRow("invalid") << QByteArray("\x80\x61\xC3(\xF0\x80\x80\xE2\x82\xFF\xFE\xC0\xAFz\xED\xA0\x80") << false;
    QTest::newRow("byte order marks") << QByteArray("\xEF\xBB\xBF"
                                                    "a\xEF\xBB\xBF")
                                      << false;
    QTest::newRow("latin1") << QByteArray("caf\xE9\r\n\xFF\xE6\x97\r") << true;
    QTest::newRow("CR LF across a slice") << slice + "\r\n\xC3\xA9" << false;
    QTest::newRow("character across a slice") << slice + "\xE6\x97\xA5\n" << false;
    QTest::newRow("incomplete across a slice") << slice + "\xE6\x97" << false;
}

// A text that arrived in pieces decodes as the joined bytes would, wherever the pieces split it.
void TestCodec::desktopBytesDecodeAsJoined()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, latin1);
    const QString expected = linebreaks::fromDesktop(latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes));
    const qsizetype n = bytes.size();
    QList<qsizetype> cuts;
    for (qsizetype i = 0; i <= n; i += n > 64 ? n / 2 : 1)
        cuts << i;
    if (n > 64)
        cuts << 1 << n - 3 << n - 2 << n - 1 << n;
    for (const qsizetype i : cuts) {
        for (const qsizetype j : cuts) {
            if (j < i)
                continue;
            QList<QByteArray> pieces{bytes.first(i), bytes.sliced(i, j - i), bytes.sliced(j)};
            const QString decoded = linebreaks::fromDesktopBytes(pieces, latin1 ? linebreaks::DesktopEncoding::Latin1
                                                                                : linebreaks::DesktopEncoding::Utf8);
            if (decoded != expected)
                QFAIL(qPrintable(QStringLiteral("pieces cut at %1 and %2").arg(i).arg(j)));
            QVERIFY(pieces.isEmpty());
        }
    }
}

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
