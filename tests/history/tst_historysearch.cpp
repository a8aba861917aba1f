// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "core/fileio.h"
#include "core/textconv.h"
#include "fakes/nothreads.h"
#include "history/historyfile.h"
#include "history/historyformat.h"
#include "history/historysearch.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using historysearch::Options;

namespace {
QByteArray line(int number, const QString &text, CodePage page = CodePage::Utf8)
{
    return historyformat::encodeLine(number, text, page);
}

// "number:text" of each entry visited, in the order visited.
QStringList visited(const QString &path, const QString &query, const Options &options = {}, int limit = -1)
{
    QStringList out;
    const bool whole = historysearch::search(path, query, options, [&](const historysearch::Entry &e) {
        out << QString::number(e.number) + QLatin1Char(':') + e.text;
        return limit < 0 || out.size() < limit;
    });
    if (!whole)
        out << QStringLiteral("<cancelled>");
    return out;
}

Options options(bool ignoreCase, bool ignoreWidth, bool ignoreKana)
{
    Options o;
    o.ignoreCase = ignoreCase;
    o.ignoreWidth = ignoreWidth;
    o.ignoreKana = ignoreKana;
    return o;
}

// The plain reading of the three options, to hold the search to: both sides brought to one form with
// the text window's conversions, then compared by Qt. For width: half-width katakana and signs widened
// (a letter with its mark becoming one letter), full-width Latin and the ideographic space narrowed. A
// full-width letter followed by a separate mark (カﾞ, カ゛) stays two characters.
QString referenceForm(const QString &text, const Options &o)
{
    QString s = text;
    if (o.ignoreWidth) {
        s = textConv::wideKana(s);
        QString narrowed;
        for (const QChar c : s) {
            if ((c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E) || c.unicode() == 0x3000)
                narrowed += textConv::narrow(QString(c));
            else if (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF65)
                narrowed += textConv::widen(QString(c));
            else
                narrowed += c;
        }
        s = narrowed;
    }
    if (o.ignoreKana)
        s = textConv::toHiragana(s);
    return s;
}

bool referenceMatch(const QString &text, const QString &query, const Options &o)
{
    return !query.isEmpty() && referenceForm(text, o).contains(referenceForm(query, o),
                                                               o.ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
}

// Characters the random texts are made of: every kind the folding treats apart.
const QStringList alphabet = {
    QStringLiteral("a"),  QStringLiteral("B"),  QStringLiteral("k"),    QStringLiteral("Z"),  QStringLiteral("ａ"),
    QStringLiteral("Ｂ"), QStringLiteral("ｋ"), QStringLiteral("K"),    QStringLiteral("σ"),  QStringLiteral("Σ"),
    QStringLiteral("ς"),  QStringLiteral("カ"), QStringLiteral("か"),   QStringLiteral("ガ"), QStringLiteral("が"),
    QStringLiteral("ｶ"),  QStringLiteral("ﾞ"),  QStringLiteral("ﾊ"),    QStringLiteral("ﾟ"),  QStringLiteral("パ"),
    QStringLiteral("ぱ"), QStringLiteral("東"), QStringLiteral("京"),   QStringLiteral("　"), QStringLiteral(" "),
    QStringLiteral("@"),  QStringLiteral("1"),  QStringLiteral("\r\n"), QStringLiteral("😀"),  QStringLiteral("𐐀"),
    QStringLiteral("𐐨"),  QStringLiteral("。"), QStringLiteral("｡"),    QStringLiteral("ヴ"), QStringLiteral("ｳ"),
};

QString randomText(QRandomGenerator &rng, int maxLength)
{
    QString s;
    const int n = rng.bounded(maxLength + 1);
    for (int i = 0; i < n; ++i)
        s += alphabet[rng.bounded(static_cast<int>(alphabet.size()))];
    return s;
}
} // namespace

class TestHistorySearch final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void find_data();
    void find();
    void search_data();
    void search();
    void longFileAcrossPieces();
    void visitStopsTheSearch();
    void cancelStopsTheSearch();
    void fileAppendedMeanwhile();
    void missingFileIsACommandError();
    void fastPathEqualsPlainReading();

private:
    QString write(const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_files = 0;
};

void TestHistorySearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestHistorySearch::write(const QByteArray &bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("h%1.ifo").arg(++m_files));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

void TestHistorySearch::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("ignoreWidth");
    QTest::addColumn<bool>("ignoreKana");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");

    const QString pair = QStringLiteral("😀");
    QTest::newRow("plain, first of two") << "xabcabc"
                                         << "bc" << true << true << false << 2 << 2;
    QTest::newRow("case") << "xABCx"
                          << "abc" << true << false << false << 1 << 3;
    QTest::newRow("case off is strict") << "xABCx"
                                        << "abc" << false << true << true << -1 << 0;
    QTest::newRow("case of full-width letters") << "ＡＢＣ"
                                                << "ａｂｃ" << true << false << false << 0 << 3;
    QTest::newRow("case of Greek, final sigma") << "ΣΑΣ"
                                                << "σας" << true << false << false << 0 << 3;
    QTest::newRow("case of Kelvin sign") << "5 K"
                                         << "k" << true << false << false << 2 << 1;
    QTest::newRow("case beyond the BMP") << "x𐐀"
                                         << "𐐨" << true << false << false << 1 << 2;
    QTest::newRow("simple folding: sharp s is not ss") << "straße"
                                                       << "strasse" << true << true << true << -1 << 0;
    QTest::newRow("width: full-width text") << "xＡＢＣ"
                                            << "abc" << true << true << false << 1 << 3;
    QTest::newRow("width: full-width query") << "xabc"
                                             << "ＡＢＣ" << true << true << false << 1 << 3;
    QTest::newRow("width and case together") << "ａＢｃ"
                                             << "ABC" << true << true << false << 0 << 3;
    QTest::newRow("width off is strict") << "ＡＢＣ"
                                         << "abc" << true << false << true << -1 << 0;
    QTest::newRow("width: ideographic space") << "a　b"
                                              << "a b" << true << true << false << 0 << 3;
    QTest::newRow("width: ｶﾞ in the text") << "xｶﾞy"
                                           << "ガ" << true << true << false << 1 << 2;
    QTest::newRow("width: ｶﾞ in the query") << "xガy"
                                            << "ｶﾞ" << true << true << false << 1 << 1;
    QTest::newRow("width: ﾊﾟｿｺﾝ") << "ﾊﾟｿｺﾝです"
                                  << "パソコン" << true << true << false << 0 << 5;
    QTest::newRow("width: パソコン") << "新しいパソコン"
                                     << "ﾊﾟｿｺﾝ" << true << true << false << 3 << 4;
    QTest::newRow("width: カ is not ガ") << "ｶﾞ"
                                         << "カ" << true << true << false << -1 << 0;
    QTest::newRow("width: ｶ is not ｶﾞ") << "ガ"
                                        << "ｶ" << true << true << false << -1 << 0;
    QTest::newRow("width off: ｶﾞ is not ガ") << "ｶﾞ"
                                             << "ガ" << true << false << true << -1 << 0;
    QTest::newRow("span after composed letters") << "ｶﾞｶﾞx"
                                                 << "x" << true << true << false << 4 << 1;
    QTest::newRow("kana") << "ひらがな"
                          << "ヒラガナ" << true << true << true << 0 << 4;
    QTest::newRow("kana off is strict") << "ひらがな"
                                        << "ヒラガナ" << true << true << false << -1 << 0;
    QTest::newRow("kana and width: half-width query") << "えいガ"
                                                      << "ｴｲｶﾞ" << true << true << true << 0 << 3;
    QTest::newRow("kana without width") << "ｴｲｶﾞ"
                                        << "えいが" << true << false << true << -1 << 0;
    QTest::newRow("CR LF inside a match") << "xa\r\nby"
                                          << "a\r\nb" << true << true << false << 1 << 4;
    QTest::newRow("surrogate pair") << "x" + pair + "y" << pair << true << true << false << 1 << 2;
    QTest::newRow("after a surrogate pair") << pair + "y"
                                            << "y" << true << true << false << 2 << 1;
    QTest::newRow("half a pair never matches") << "x" + pair << QString(pair[0]) << true << true << false << -1 << 0;
    QTest::newRow("empty query") << "abc"
                                 << "" << true << true << false << -1 << 0;
    QTest::newRow("empty text") << ""
                                << "a" << true << true << false << -1 << 0;
}

void TestHistorySearch::find()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, ignoreWidth);
    QFETCH(bool, ignoreKana);
    QFETCH(int, start);
    QFETCH(int, length);
    const historysearch::Span span = historysearch::find(text, query, options(ignoreCase, ignoreWidth, ignoreKana));
    QCOMPARE(span.start, start);
    if (start >= 0)
        QCOMPARE(span.length, length);
    QCOMPARE(span.found(), start >= 0);
}

void TestHistorySearch::search_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("newest first") << line(1, "apple") + line(2, "banana") + line(3, "apple pie") << "APPLE"
                                  << QStringList{"3:apple pie", "1:apple"};
    const QString longText = QString(300, u'x') + "needle";
    QTest::newRow("a match beyond the first 200 characters")
        << line(1, longText) + line(2, "x") << "needle" << QStringList{"1:" + longText};
    QTest::newRow("CP932 lines") << line(1, "東京都", CodePage::Cp932) + line(2, "ｶﾞｲﾄﾞ", CodePage::Cp932) +
                                        line(3, "東京駅")
                                 << "東京" << QStringList{"3:東京駅", "1:東京都"};
    QTest::newRow("CP932 half-width letters by width")
        << line(1, "ｶﾞｲﾄﾞ", CodePage::Cp932) << "ガイド" << QStringList{"1:ｶﾞｲﾄﾞ"};
    QTest::newRow("full-width letters by case and width") << line(7, "ＦＯＸ") << "fox" << QStringList{"7:ＦＯＸ"};
    QTest::newRow("lines without a number are skipped")
        << QByteArray("000001abc\r\nabc without number\r\n12345abc\r\n000002xabc\r\n") << "abc"
        << QStringList{"2:xabc", "1:abc"};
    QTest::newRow("no history: the first line has no number")
        << QByteArray("hello abc\r\n000001abc\r\n") << "abc" << QStringList{};
    QTest::newRow("a number cut short before the first entry")
        << QByteArray("0000\r\n000001abc\r\n") << "abc" << QStringList{"1:abc"};
    QTest::newRow("empty file") << QByteArray() << "" << QStringList{};
    QTest::newRow("empty query visits every entry")
        << QByteArray("000001a\r\nnot an entry\r\n000005\r\n000002b\r\n") << "" << QStringList{"2:b", "5:", "1:a"};
    QTest::newRow("a line break in the text")
        << line(1, "a\r\nb") + line(2, "@1") << "a\r\nb" << QStringList{"1:a\r\nb"};
    QTest::newRow("markers are line breaks, not text") << line(1, "a\r\nb") << "@1" << QStringList{};
    QTest::newRow("a lone CR ends a line") << QByteArray("000001abc\r000002def\r\n") << "def" << QStringList{"2:def"};
    QTest::newRow("a lone LF stays in the text") << QByteArray("000001a\nb\r\n") << "a\nb" << QStringList{"1:a\nb"};
    QTest::newRow("last line without its line end")
        << QByteArray("000001abc\r\n000002abd") << "ab" << QStringList{"2:abd", "1:abc"};
    QTest::newRow("byte order mark stays in the text") << QByteArray("000001\xEF\xBB\xBF"
                                                                     "abc\r\n")
                                                       << "abc" << QStringList{"1:" + QString(QChar(0xFEFF)) + "abc"};
    QTest::newRow("an encoded surrogate is no UTF-8")
        << QByteArray("000001\xED\xA0\x80"
                      "abc\r\n")
        << "abc"
        << QStringList{"1:" + historyformat::decodeText(QByteArrayView("\xED\xA0\x80"
                                                                       "abc"))};
    QTest::newRow("invalid UTF-8 read as CP932")
        << QByteArray("000001\x93\x8c\x8b\x9e\r\n") << "東京" << QStringList{"1:東京"};
}

void TestHistorySearch::search()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    const QString path = write(bytes);
    QCOMPARE(visited(path, query), expected);
    QCOMPARE(historysearch::count(path, query, {}), std::optional<qint64>(expected.size()));
}

void TestHistorySearch::longFileAcrossPieces()
{
    // Lines longer than the pieces the file is read in, CP932 lines and lines without a number among
    // a few megabytes: the search and the count agree with the history file's own reading.
    QRandomGenerator rng(7);
    QByteArray bytes;
    int number = 0;
    for (int i = 0; i < 4000; ++i) {
        const int kind = rng.bounded(100);
        QString text = QStringLiteral("entry %1 ").arg(i) + randomText(rng, 30);
        if (kind == 0)
            text += QString(30000 + rng.bounded(120000), u'ｘ') + QStringLiteral("needle");
        if (kind == 1)
            bytes += "no number here needle\r\n";
        bytes += line(++number, text + (kind < 5 ? QStringLiteral("needle") : QString()),
                      kind % 7 == 0 ? CodePage::Cp932 : CodePage::Utf8);
    }
    const QString path = write(bytes);
    HistoryFile history(path);
    history.load();
    for (const QString &query : {QStringLiteral("needle"), QStringLiteral("NEEDLE"), QStringLiteral("ｘneedle"),
                                 QStringLiteral("が"), QString()}) {
        QStringList expected;
        for (qsizetype e = history.entryCount() - 1; e >= 0; --e) {
            const QString text = history.entryText(e);
            if (query.isEmpty() || historysearch::find(text, query, {}).found())
                expected << QString::number(history.entryNumber(e)) + QLatin1Char(':') + text;
        }
        QVERIFY(!expected.isEmpty());
        QCOMPARE(visited(path, query), expected);
        QCOMPARE(historysearch::count(path, query, {}), std::optional<qint64>(expected.size()));
        // Without a second thread the count is made on the caller's.
        const NoNewThreads noThreads;
        QCOMPARE(historysearch::count(path, query, {}), std::optional<qint64>(expected.size()));
    }
}

void TestHistorySearch::visitStopsTheSearch()
{
    QByteArray bytes;
    for (int i = 1; i <= 10; ++i)
        bytes += line(i, "abc");
    const QString path = write(bytes);
    QCOMPARE(visited(path, "b", {}, 2), (QStringList{"10:abc", "9:abc"}));
}

void TestHistorySearch::cancelStopsTheSearch()
{
    QByteArray bytes;
    for (int i = 1; i <= 20000; ++i)
        bytes += line(i % 999999, "abc");
    const QString path = write(bytes);
    std::atomic<bool> cancel{true};
    int visits = 0;
    QVERIFY(!historysearch::search(
        path, u"a", {}, [&](const historysearch::Entry &) { return ++visits > 0; }, &cancel));
    QCOMPARE(visits, 0);
    QCOMPARE(historysearch::count(path, u"a", {}, &cancel), std::nullopt);

    // Set while searching: the search ends soon after, and says it did not finish.
    cancel = false;
    QVERIFY(!historysearch::search(
        path, u"a", {},
        [&](const historysearch::Entry &) {
            ++visits;
            cancel = true;
            return true;
        },
        &cancel));
    QVERIFY(visits > 0);
    QVERIFY(visits < 20000);
}

void TestHistorySearch::fileAppendedMeanwhile()
{
    QByteArray bytes;
    for (int i = 1; i <= 3000; ++i)
        bytes += line(i, QStringLiteral("text %1").arg(i));
    const QString path = write(bytes);
    HistoryFile history(path);
    history.setDurable(false);
    history.load();
    int visits = 0;
    const bool whole = historysearch::search(path, u"text", {}, [&](const historysearch::Entry &e) {
        if (visits++ == 0) {
            // The bar records entries while the search is on: they were not there when it began.
            for (int i = 0; i < 50; ++i)
                history.commit(history.write(3001 + i, QStringLiteral("text new")));
            if (e.number != 3000)
                return false;
        }
        return true;
    });
    QVERIFY(whole);
    QCOMPARE(visits, 3000);
    QCOMPARE(visited(path, "new").size(), 50);
}

void TestHistorySearch::missingFileIsACommandError()
{
    const QString path = m_dir->filePath(QStringLiteral("missing.ifo"));
    int number = 0;
    try {
        historysearch::search(path, u"a", {}, [](const historysearch::Entry &) { return true; });
    } catch (const CommandError &e) {
        number = e.number;
    }
    QCOMPARE(number, ErrorNumber::FileNotFound);
    number = 0;
    try {
        historysearch::count(path, u"a", {});
    } catch (const CommandError &e) {
        number = e.number;
    }
    QCOMPARE(number, ErrorNumber::FileNotFound);
}

void TestHistorySearch::fastPathEqualsPlainReading()
{
    // Random texts of the characters the folding treats apart, in UTF-8 and CP932 lines, and queries
    // cut from them and changed in case, width and kana: for every choice of options the search
    // visits exactly the entries the plain reading matches, and find agrees on each text.
    QRandomGenerator rng(11);
    QByteArray bytes;
    for (int i = 1; i <= 3000; ++i)
        bytes += line(i, randomText(rng, 12), rng.bounded(10) == 0 ? CodePage::Cp932 : CodePage::Utf8);
    const QString path = write(bytes);
    HistoryFile history(path);
    history.load();
    QCOMPARE(history.entryCount(), 3000);
    QStringList texts;
    for (qsizetype e = history.entryCount() - 1; e >= 0; --e)
        texts << history.entryText(e);

    for (int combination = 0; combination < 8; ++combination) {
        const Options o = options(combination & 1, combination & 2, combination & 4);
        for (int q = 0; q < 25; ++q) {
            QString query;
            if (q % 3 == 0) {
                query = randomText(rng, 3);
            } else {
                const QString &from = texts[rng.bounded(static_cast<int>(texts.size()))];
                const int start = from.isEmpty() ? 0 : rng.bounded(static_cast<int>(from.size()));
                query = from.mid(start, 1 + rng.bounded(3));
                switch (rng.bounded(4)) {
                case 0:
                    query = query.toUpper();
                    break;
                case 1:
                    query = textConv::widen(query);
                    break;
                case 2:
                    query = textConv::narrow(query);
                    break;
                default:
                    query = textConv::toKatakana(query);
                }
            }
            if (query.isEmpty() || (query.front().isLowSurrogate() || query.back().isHighSurrogate()))
                continue;
            QStringList expected;
            for (qsizetype e = 0; e < texts.size(); ++e) {
                const bool match = referenceMatch(texts[e], query, o);
                if (match)
                    expected << QString::number(3000 - e) + QLatin1Char(':') + texts[e];
                if (historysearch::find(texts[e], query, o).found() != match)
                    QFAIL(qPrintable(QStringLiteral("find differs: text %1, query %2, options %3")
                                         .arg(texts[e], query)
                                         .arg(combination)));
            }
            QCOMPARE(visited(path, query, o), expected);
            QCOMPARE(historysearch::count(path, query, o), std::optional<qint64>(expected.size()));
        }
    }
}

QTEST_GUILESS_MAIN(TestHistorySearch)
#include "tst_historysearch.moc"
