// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "core/fileio.h"
#include "fakes/filesizelimit.h"
#include "history/historyfile.h"
#include "history/historyformat.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Appends one entry as the list model does: the line is written, then the index committed. True when
// the file had been changed behind the index.
bool append(HistoryFile &history, int number, QStringView text)
{
    const HistoryFile::Written written = history.write(number, text);
    history.commit(written);
    return written.changedBehind;
}

QStringList items(const HistoryFile &h)
{
    QStringList out;
    for (qsizetype e = h.entryCount() - 1; e >= 0; --e)
        out << historyformat::numberText(h.entryNumber(e)) + QLatin1Char(':') + h.itemText(e);
    return out;
}
} // namespace

class TestHistoryFile final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void recordingWritesNumberedLines();
    void reading_data();
    void reading();
    void itemIsCutToTwoHundredButEntryStaysWhole();
    void lookupByNumber_data();
    void lookupByNumber();
    void fileChangedBehindTheIndex();
    void appendAfterATornLastLine_data();
    void appendAfterATornLastLine();
    void aLoneCrNeverStartsAnEntry();
    void aFailedAppendLeavesOnlyWholeEntries();
    void onlyARegularFileIsAHistory();
    void leadingByteOrderMarkStaysInTheText();
    void numbering_data();
    void numbering();
    void saveAndExport();
    void openingANonHistoryFile();
    void hostileFiles_data();
    void hostileFiles();
    void aLineOf50MB();
    void aFileCutWhileItIsRead();
    void windowsEraFileReads();
    void unreadableFileIsACommandError();

private:
    QString path() const { return m_dir->path() + QStringLiteral("/temp.ifo"); }
    void put(const QByteArray &bytes) { fileio::writeFileAtomic(path(), bytes); }
    QByteArray bytes() const { return fileio::readWholeFile(path()); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHistoryFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestHistoryFile::recordingWritesNumberedLines()
{
    HistoryFile h(path(), CodePage::Utf8);
    h.ensureExists();
    h.load();
    QCOMPARE(h.lastNumber(), 0);
    append(h, 1, u"abc");
    append(h, 2, u"x\r\ny");
    QCOMPARE(bytes(), QByteArray("000001abc\r\n000002x@1@2@3y\r\n"));
    QCOMPARE(items(h), (QStringList{QStringLiteral("000002:x\r\ny"), QStringLiteral("000001:abc")}));
    // What was appended reads back the same after a restart.
    HistoryFile again(path());
    again.load();
    QCOMPARE(items(again), items(h));
    QCOMPARE(again.lastNumber(), 2);
    // A long text is written in slices of a million characters: a CR LF and a surrogate pair across
    // their ends are written as in one piece.
    const QString slice((1 << 20) - 1, QLatin1Char('a'));
    const QString longText = slice + QStringLiteral("\r\n") + slice + QStringLiteral("😀c\rd");
    append(h, 3, longText);
    const QByteArray latin = slice.toLatin1();
    QVERIFY(bytes().endsWith("000003" + latin + "@1@2@3" + latin + "\xF0\x9F\x98\x80" + "c@1@2@3d\r\n"));
    QCOMPARE(h.restoreText(h.entryCount() - 1),
             QString(longText).replace(QStringLiteral("c\rd"), QStringLiteral("c\r\nd")));
}

void TestHistoryFile::reading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected"); // newest first
    QTest::addColumn<int>("last");
    QTest::newRow("three entries") << QByteArray("000001a\r\n000002b\r\n000003c\r\n")
                                   << QStringList{QStringLiteral("000003:c"), QStringLiteral("000002:b"),
                                                  QStringLiteral("000001:a")}
                                   << 3;
    QTest::newRow("empty file") << QByteArray() << QStringList{} << 0;
    QTest::newRow("not a history: first line decides") << QByteArray("hello\r\n000001a\r\n") << QStringList{} << 0;
    QTest::newRow("five digits are not six") << QByteArray("00001a\r\n") << QStringList{} << 0;
    // What a crash inside the first entry's number leaves, closed by the next entry: the line after it decides.
    QTest::newRow("a number cut short before the first entry")
        << QByteArray("0000\r\n000001a\r\n000002b\r\n")
        << QStringList{QStringLiteral("000002:b"), QStringLiteral("000001:a")} << 2;
    QTest::newRow("a number cut short, then no entry")
        << QByteArray("0000\r\nhello\r\n000001a\r\n") << QStringList{} << 0;
    QTest::newRow("marker becomes a line break")
        << QByteArray("000001x@1@2@3y\r\n") << QStringList{QStringLiteral("000001:x\r\ny")} << 1;
    QTest::newRow("lone CR ends the line; the rest is no entry")
        << QByteArray("000001a\rb\r\n000002c\r\n")
        << QStringList{QStringLiteral("000002:c"), QStringLiteral("000001:a")} << 2;
    QTest::newRow("lone LF stays in the text")
        << QByteArray("000001a\nb\r\n") << QStringList{QStringLiteral("000001:a\nb")} << 1;
    QTest::newRow("later line without a number is skipped")
        << QByteArray("000001a\r\nzz\r\n\r\n000002b\r\n")
        << QStringList{QStringLiteral("000002:b"), QStringLiteral("000001:a")} << 2;
    QTest::newRow("last line without line end")
        << QByteArray("000001a\r\n000002b") << QStringList{QStringLiteral("000002:b"), QStringLiteral("000001:a")} << 2;
    QTest::newRow("number only") << QByteArray("000007\r\n") << QStringList{QStringLiteral("000007:")} << 7;
    QTest::newRow("only CRs") << QByteArray("\r\r\r\r") << QStringList{} << 0;
    QTest::newRow("NUL inside the text") << QByteArray("000001a\0b\r\n", 11)
                                         << QStringList{QStringLiteral("000001:a") + QChar(0) + QStringLiteral("b")}
                                         << 1;
    QTest::newRow("numbers need not increase")
        << QByteArray("000005a\r\n000002b\r\n") << QStringList{QStringLiteral("000002:b"), QStringLiteral("000005:a")}
        << 2;
    QTest::newRow("japanese") << QByteArray("000001日本語\r\n") << QStringList{QStringLiteral("000001:日本語")} << 1;
}

void TestHistoryFile::reading()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QFETCH(int, last);
    put(file);
    HistoryFile h(path());
    h.load();
    QCOMPARE(items(h), expected);
    QCOMPARE(h.lastNumber(), last);
    QCOMPARE(bytes(), file); // reading never changes the file
}

void TestHistoryFile::itemIsCutToTwoHundredButEntryStaysWhole()
{
    QString text;
    for (int i = 0; i < 50; ++i)
        text += QStringLiteral("行%1\r\n").arg(i, 4, 10, QLatin1Char('0'));
    text += QString(150, QLatin1Char('z'));
    QCOMPARE(text.size(), 500);
    const QString markers = QString(1000, QLatin1Char('@')).replace(QStringLiteral("@"), QStringLiteral("\r\n"));
    HistoryFile h(path());
    append(h, 1, text);
    append(h, 2, markers);
    append(h, 3, QStringLiteral("\U00020BB7").repeated(300));
    h.load();
    QCOMPARE(h.itemText(0), text.left(200));
    QCOMPARE(h.entryText(0), text);
    QCOMPARE(h.itemText(1), markers.left(200));
    QCOMPARE(h.entryText(1), markers);
    QCOMPARE(h.itemText(2).size(), 200);
    QCOMPARE(h.indexedEntryText(1, 3).value(), markers.left(3));
    QCOMPARE(h.indexedEntryText(0, 1000).value(), text);
}

void TestHistoryFile::lookupByNumber_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    const QByteArray three("000001a@1@2@3b\r\n000002c\r\n000003d\r\n");
    QTest::newRow("found") << three << 1 << QStringLiteral("a\r\nb");
    QTest::newRow("missing number gives the last line") << three << 42 << QStringLiteral("d");
    QTest::newRow("first of two lines with one number")
        << QByteArray("000001old\r\n000001new\r\n") << 1 << QStringLiteral("old");
    QTest::newRow("empty file") << QByteArray() << 1 << QString();
    QTest::newRow("last line without number: from the seventh character")
        << QByteArray("000001a\r\nabcdefgh\r\n") << 9 << QStringLiteral("gh");
    QTest::newRow("last line is empty") << QByteArray("000001a\r\n\r\n") << 9 << QString();
}

void TestHistoryFile::lookupByNumber()
{
    QFETCH(QByteArray, file);
    QFETCH(int, number);
    QFETCH(QString, text);
    put(file);
    HistoryFile h(path());
    h.load();
    QCOMPARE(h.textForNumber(number), text);
    // The same answer when the index is stale and the file has to be read through.
    HistoryFile stale(path());
    put("");
    stale.load();
    put(file);
    QCOMPARE(stale.textForNumber(number), text);
}

void TestHistoryFile::fileChangedBehindTheIndex()
{
    put("000001one\r\n000002two\r\n");
    HistoryFile h(path());
    h.load();
    QCOMPARE(h.entryCount(), 2);
    // Someone rewrites the file: entry 2 no longer exists, so the last line stands in.
    put("000005five\r\n000006six\r\n000007seven\r\n");
    bool reindexed = false;
    QCOMPARE(h.restoreText(1, &reindexed), QStringLiteral("seven"));
    QVERIFY(reindexed);
    QCOMPARE(h.entryCount(), 3);
    // An append after another change still lands whole and is listed.
    put("000009nine\r\n");
    QVERIFY(append(h, 10, u"ten"));
    QCOMPARE(items(h), (QStringList{QStringLiteral("000010:ten"), QStringLiteral("000009:nine")}));
}

void TestHistoryFile::appendAfterATornLastLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("torn text") << QByteArray("000001abc\r\n000002de")
                               << QByteArray("000001abc\r\n000002de\r\n000003x\r\n")
                               << QStringList{QStringLiteral("000003:x"), QStringLiteral("000002:de"),
                                              QStringLiteral("000001:abc")};
    QTest::newRow("torn number") << QByteArray("000001abc\r\n0000") << QByteArray("000001abc\r\n0000\r\n000002x\r\n")
                                 << QStringList{QStringLiteral("000002:x"), QStringLiteral("000001:abc")};
    QTest::newRow("torn number, the first line")
        << QByteArray("0000") << QByteArray("0000\r\n000001x\r\n") << QStringList{QStringLiteral("000001:x")};
    QTest::newRow("torn between CR and LF") << QByteArray("000001abc\r") << QByteArray("000001abc\r000002x\r\n")
                                            << QStringList{QStringLiteral("000002:x"), QStringLiteral("000001:abc")};
    QTest::newRow("lone LF is no line end") << QByteArray("000001abc\n") << QByteArray("000001abc\n\r\n000002x\r\n")
                                            << QStringList{QStringLiteral("000002:x"), QStringLiteral("000001:abc\n")};
}

void TestHistoryFile::appendAfterATornLastLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, after);
    QFETCH(QStringList, expected);
    put(file);
    HistoryFile h(path(), CodePage::Utf8);
    h.load();
    append(h, historyformat::nextNumber(h.lastNumber()), u"x");
    QCOMPARE(bytes(), after);
    QCOMPARE(items(h), expected);
    HistoryFile again(path());
    again.load();
    QCOMPARE(items(again), expected);
    QCOMPARE(again.lastNumber(), h.lastNumber());
}

void TestHistoryFile::aLoneCrNeverStartsAnEntry()
{
    // A lone CR would end the line when read back: followed by six digits it forged an entry and
    // moved the numbering. It is written as a line break.
    HistoryFile h(path(), CodePage::Utf8);
    append(h, 1, u"first");
    append(h, 2, u"line\r500000 forged\r");
    append(h, 3, u"third");
    QCOMPARE(bytes(), QByteArray("000001first\r\n000002line@1@2@3500000 forged@1@2@3\r\n000003third\r\n"));
    QCOMPARE(h.lastNumber(), 3);
    HistoryFile again(path());
    again.load();
    QCOMPARE(again.lastNumber(), 3);
    QCOMPARE(again.entryCount(), 3);
    QCOMPARE(again.entryText(1), QStringLiteral("line\r\n500000 forged\r\n"));
}

void TestHistoryFile::aFailedAppendLeavesOnlyWholeEntries()
{
    HistoryFile h(path(), CodePage::Utf8);
    append(h, 1, u"first");
    const QByteArray before = bytes();
    // The disk fills up 10 bytes into the next line, or into the third slice of a long one.
    for (const qsizetype length : {qsizetype(100), qsizetype(3) << 20}) {
        int number = 0;
        {
            FileSizeLimit full(before.size() + 10 + (length > 100 ? 2 << 20 : 0));
            try {
                append(h, 2, QString(length, QLatin1Char('x')));
            } catch (const CommandError &e) {
                number = e.number;
            }
        }
        QCOMPARE(number, 61);
        QCOMPARE(bytes(), before); // no cut line left behind
    }
    QCOMPARE(h.lastNumber(), 1);
    append(h, 2, u"second");
    QCOMPARE(bytes(), before + "000002second\r\n");
    HistoryFile again(path());
    again.load();
    QCOMPARE(again.entryCount(), 2);
    QCOMPARE(again.lastNumber(), 2);
}

void TestHistoryFile::onlyARegularFileIsAHistory()
{
    // A FIFO planted as temp.ifo: every use fails at once instead of waiting for a peer for ever.
    QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    HistoryFile h(path(), CodePage::Utf8);
    const auto number = [](auto &&use) {
        try {
            use();
        } catch (const CommandError &e) {
            return e.number;
        }
        return 0;
    };
    QCOMPARE(number([&] { h.ensureExists(); }), 75);
    QCOMPARE(number([&] { h.load(); }), 75);
    QCOMPARE(number([&] { append(h, 1, u"x"); }), 75);
}

void TestHistoryFile::leadingByteOrderMarkStaysInTheText()
{
    HistoryFile h(path(), CodePage::Utf8);
    const QString text = QChar(0xFEFF) + QStringLiteral("abc");
    append(h, 1, text);
    QCOMPARE(h.entryText(0), text);
    h.load();
    QCOMPARE(h.entryText(0), text);
    QCOMPARE(h.itemText(0), text);
}

void TestHistoryFile::numbering_data()
{
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("next");
    QTest::newRow("empty history") << 0 << 1;
    QTest::newRow("after 41") << 41 << 42;
    QTest::newRow("after the largest number") << 999999 << 1;
}

void TestHistoryFile::numbering()
{
    QFETCH(int, last);
    QFETCH(int, next);
    QCOMPARE(historyformat::nextNumber(last), next);
    QCOMPARE(historyformat::numberText(next).size(), 6);
}

void TestHistoryFile::saveAndExport()
{
    HistoryFile h(path(), CodePage::Utf8);
    const QString copy = m_dir->path() + QStringLiteral("/saved.ifo");
    const QString text = m_dir->path() + QStringLiteral("/saved.txt");
    fileio::touch(path());
    h.load();
    h.exportText(text);
    QCOMPARE(fileio::readWholeFile(text), QByteArray("\r\n"));
    append(h, 1, u"abc");
    append(h, 2, u"x\r\ny");
    h.saveCopy(copy);
    QCOMPARE(fileio::readWholeFile(copy), bytes());
    h.exportText(text);
    QCOMPARE(fileio::readWholeFile(text), QByteArray("000001abc\r\n000002x\r\ny\r\n\r\n"));
    // Opening the saved copy continues its numbering.
    HistoryFile other(m_dir->path() + QStringLiteral("/other.ifo"));
    fileio::copyFile(copy, other.path());
    other.load();
    QCOMPARE(other.lastNumber(), 2);
    QCOMPARE(fileio::readWholeFile(copy), bytes()); // the opened file is unchanged
}

void TestHistoryFile::openingANonHistoryFile()
{
    const QString plain = m_dir->path() + QStringLiteral("/notes.txt");
    fileio::writeFileAtomic(plain, "just some notes\r\n123\r\n");
    HistoryFile h(path());
    fileio::copyFile(plain, h.path());
    h.load();
    QCOMPARE(h.entryCount(), 0);
    QCOMPARE(h.lastNumber(), 0);
    append(h, 1, u"new");
    // Listed during this run...
    QCOMPARE(items(h), QStringList{QStringLiteral("000001:new")});
    QCOMPARE(h.restoreText(0), QStringLiteral("new"));
    QCOMPARE(bytes(), QByteArray("just some notes\r\n123\r\n000001new\r\n"));
    // ...but not after a restart: the first line decides.
    HistoryFile again(path());
    again.load();
    QCOMPARE(again.entryCount(), 0);
}

void TestHistoryFile::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QByteArray random(1 << 16, Qt::Uninitialized);
    QRandomGenerator rng(42);
    for (auto &c : random)
        c = static_cast<char>(rng.bounded(256));
    QTest::newRow("random bytes") << random;
    QTest::newRow("random bytes as entries") << QByteArray("000001") + random;
    QTest::newRow("NUL bytes") << QByteArray(4096, '\0');
    QTest::newRow("invalid cp932 in entries") << QByteArray("000001\x81\r\n000002\xFD\xFE\x81\x20\r\n000003\x82");
    QTest::newRow("many CRs") << QByteArray(1 << 20, '\r');
    QTest::newRow("many tiny entries") << QByteArray("000001\r").repeated(100000);
}

void TestHistoryFile::hostileFiles()
{
    QFETCH(QByteArray, file);
    put(file);
    HistoryFile h(path());
    h.load();
    for (qsizetype e = 0; e < h.entryCount(); ++e) {
        QVERIFY(h.itemText(e).size() <= 200);
        h.entryText(e);
    }
    h.textForNumber(1);
    append(h, historyformat::nextNumber(h.lastNumber()), u"after");
    QCOMPARE(h.restoreText(h.entryCount() - 1), QStringLiteral("after"));
    QVERIFY(bytes().startsWith(file));
    QVERIFY(bytes().endsWith("after\r\n"));
}

void TestHistoryFile::aLineOf50MB()
{
    QByteArray big("000001");
    big += QByteArray(50 << 20, 'x');
    big += "\r\n000002tail\r\n";
    put(big);
    HistoryFile h(path());
    h.load();
    QCOMPARE(h.entryCount(), 2);
    QCOMPARE(h.itemText(0), QString(200, QLatin1Char('x')));
    QCOMPARE(h.entryText(0).size(), 50 << 20);
    QCOMPARE(h.indexedEntryText(0, 2001).value(), QString(2001, QLatin1Char('x'))); // only its start is read
    QCOMPARE(h.textForNumber(2), QStringLiteral("tail"));
}

// Another program cuts the file and grows it back while it is read (a mapped file that shrinks ends
// the program with SIGBUS): reading goes on, and once the file is left alone it reads whole. The first
// line ends with a CR LF split between the pieces the file is read in.
void TestHistoryFile::aFileCutWhileItIsRead()
{
    QByteArray whole = "000001" + QByteArray((4 << 20) - 1 - 6, 'y') + "\r\n";
    for (int i = 2; i <= 150000; ++i)
        whole += historyformat::numberText(i).toLatin1() + QByteArray(90, 'x') + "\r\n";
    put(whole);
    HistoryFile h(path());
    std::atomic<bool> stop{false};
    std::thread cutter([&] {
        const QByteArray native = QFile::encodeName(path());
        while (!stop) {
            [[maybe_unused]] const int cut = ::truncate(native.constData(), whole.size() / 3);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            [[maybe_unused]] const int grown = ::truncate(native.constData(), whole.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int i = 0; i < 20; ++i) {
        h.load();
        h.restoreText(0);
    }
    stop = true;
    cutter.join();
    put(whole);
    h.load();
    QCOMPARE(h.entryCount(), 150000);
    QCOMPARE(h.entryText(1), QString(90, QLatin1Char('x')));
}

void TestHistoryFile::windowsEraFileReads()
{
    // Shift_JIS (code page 932) bytes, as Japanese Windows systems write them: "日本" and a wave dash.
    put("000001\x93\xFA\x96\x7B\r\n000002\x81\x60@1@2@3\x82\xA0\r\n");
    HistoryFile h(path());
    h.load();
    QCOMPARE(items(h), (QStringList{QStringLiteral("000002:") + QChar(0xFF5E) + QStringLiteral("\r\nあ"),
                                    QStringLiteral("000001:日本")}));
}

void TestHistoryFile::unreadableFileIsACommandError()
{
    HistoryFile folder(m_dir->path());
    try {
        folder.load();
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, 75);
    }
    HistoryFile missing(m_dir->path() + QStringLiteral("/none.ifo"));
    missing.load(); // a missing file is an empty history
    QCOMPARE(missing.entryCount(), 0);
    try {
        missing.exportText(m_dir->path() + QStringLiteral("/x.txt"));
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, 53);
    }
}

QTEST_GUILESS_MAIN(TestHistoryFile)
#include "tst_historyfile.moc"
