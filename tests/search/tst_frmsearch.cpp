// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "fakes/nothreads.h"
#include "history/historyfile.h"
#include "history/historyformat.h"
#include "search/frmsearch.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <optional>
#include <vector>

// The search window as a user meets it: typing, the count, the marked list, choosing an entry.
class TestFrmSearch final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void typingFindsAndChoosingGivesTheWholeEntry();
    void checkBoxesChangeTheMatchAndAreKept();
    void everyKeystrokeReplacesTheSearch();
    void escapeCloses();
    void aSearchThatCannotGoOnIsTold_data();
    void aSearchThatCannotGoOnIsTold();

private:
    frmSearch &open(const QByteArray &history);
    QStringList listed() const;
    QString count() const { return m_window->findChild<QLabel *>(QStringLiteral("searchCount"))->text(); }
    void type(const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    historysearch::Options m_options;
    std::unique_ptr<frmSearch> m_window;
};

void TestFrmSearch::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
    m_options = {};
}

void TestFrmSearch::cleanup()
{
    m_window.reset();
}

frmSearch &TestFrmSearch::open(const QByteArray &history)
{
    const QString path = m_dir->filePath(QStringLiteral("temp.ifo"));
    fileio::writeFileAtomic(path, history);
    m_window = std::make_unique<frmSearch>(
        m_fakes->platform(), [path] { return path; }, m_options);
    m_window->open();
    return *m_window;
}

QStringList TestFrmSearch::listed() const
{
    const auto *list = m_window->findChild<QListView *>(QStringLiteral("searchResults"));
    QStringList rows;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        rows << list->model()->index(i, 0).data().toString();
    return rows;
}

void TestFrmSearch::type(const QString &text)
{
    QSignalSpy finished(m_window.get(), &frmSearch::searchFinished);
    auto *field = m_window->findChild<QLineEdit *>(QStringLiteral("searchText"));
    field->setFocus();
    // Keys for Latin text; Japanese comes as an input method commits it, whole.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(field, text);
    else
        field->insert(text);
    QVERIFY(finished.wait(5000) || !finished.isEmpty());
}

void TestFrmSearch::typingFindsAndChoosingGivesTheWholeEntry()
{
    const QString longTail = QString(300, QLatin1Char('x')) + QStringLiteral("needle");
    open("000001first apple\r\n000002two@1@2@3lines apple\r\n000003pear\r\n000004" + longTail.toUtf8() + "\r\n");
    std::vector<historysearch::Entry> chosen;
    connect(m_window.get(), &frmSearch::entryChosen, this,
            [&chosen](const historysearch::Entry &entry) { chosen.push_back(entry); });
    type(QStringLiteral("apple"));
    // Newest first, each on one line as the history list shows it.
    QCOMPARE(listed(), (QStringList{QStringLiteral("two\u21B5lines apple"), QStringLiteral("first apple")}));
    QCOMPARE(count(), QStringLiteral("2 件"));
    // Enter chooses the current (newest) match, with its whole text and its row in the history list,
    // and closes the window; the main window puts it back as choosing it in the list does.
    QTest::keyClick(m_window->findChild<QLineEdit *>(QStringLiteral("searchText")), Qt::Key_Return);
    QCOMPARE(chosen.size(), size_t(1));
    QCOMPARE(chosen[0].number, 2);
    QCOMPARE(chosen[0].text, QStringLiteral("two\r\nlines apple"));
    QCOMPARE(chosen[0].newer, 2);
    QVERIFY(!m_window->isVisible());
    QVERIFY(!m_fakes->clipboard.content.hasText); // not a copy of its own

    // The whole text is searched, beyond what the list shows.
    m_window->open();
    auto *field = m_window->findChild<QLineEdit *>(QStringLiteral("searchText"));
    field->clear();
    type(QStringLiteral("needle"));
    QCOMPARE(listed().size(), 1);
    m_window->restore(0);
    QCOMPARE(chosen.size(), size_t(2));
    QCOMPARE(chosen[1].text, longTail);
    QCOMPARE(chosen[1].newer, 0);
}

void TestFrmSearch::checkBoxesChangeTheMatchAndAreKept()
{
    open("000001ＡＢＣ\r\n000002abc\r\n000003ひらがな\r\n000004ヒラガナ\r\n");
    type(QStringLiteral("ABC"));
    QCOMPARE(listed().size(), 2); // case and width ignored by default
    QSignalSpy finished(m_window.get(), &frmSearch::searchFinished);
    m_window->findChild<QCheckBox *>(QStringLiteral("ignoreWidth"))->click();
    QTRY_VERIFY(!finished.isEmpty());
    QCOMPARE(listed(), QStringList{QStringLiteral("abc")});
    QVERIFY(!m_options.ignoreWidth); // the settings follow the box

    m_window->findChild<QLineEdit *>(QStringLiteral("searchText"))->clear();
    type(QStringLiteral("ひらがな"));
    QCOMPARE(listed(), QStringList{QStringLiteral("ひらがな")});
    finished.clear();
    m_window->findChild<QCheckBox *>(QStringLiteral("ignoreKana"))->click();
    QTRY_VERIFY(!finished.isEmpty());
    QCOMPARE(listed(), (QStringList{QStringLiteral("ヒラガナ"), QStringLiteral("ひらがな")}));
    QVERIFY(m_options.ignoreKana);
}

void TestFrmSearch::everyKeystrokeReplacesTheSearch()
{
    QByteArray many;
    for (int i = 1; i <= 20000; ++i)
        many += historyformat::numberText(i).toUtf8() + "entry " + QByteArray::number(i) + "\r\n";
    open(many);
    // Every entry matches: the newest thousand are listed, all are counted.
    type(QStringLiteral("entry"));
    QCOMPARE(listed().size(), frmSearch::listLimit);
    QCOMPARE(listed().first(), QStringLiteral("entry 20000"));
    QCOMPARE(count(), QStringLiteral("20,000 件　新しい 1,000 件を表示"));
    type(QStringLiteral(" 1999"));
    // Only the last query's matches are listed: 1999 and 19990..19999.
    QCOMPARE(listed().size(), 11);
    QCOMPARE(listed().first(), QStringLiteral("entry 19999"));
    QCOMPARE(count(), QStringLiteral("11 件"));
}

void TestFrmSearch::escapeCloses()
{
    open("000001a\r\n");
    QVERIFY(m_window->isVisible());
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
}

void TestFrmSearch::aSearchThatCannotGoOnIsTold_data()
{
    QTest::addColumn<bool>("historyIsAFolder");
    QTest::addColumn<bool>("threads");
    QTest::addColumn<QString>("reason"); // empty: any
    QTest::newRow("unreadable history") << true << true << QString();
    QTest::newRow("no thread for the search") << false << false << errorDescription(ErrorNumber::OutOfMemory);
}

void TestFrmSearch::aSearchThatCannotGoOnIsTold()
{
    QFETCH(bool, historyIsAFolder);
    QFETCH(bool, threads);
    QFETCH(QString, reason);
    const QString path = m_dir->filePath(QStringLiteral("temp.ifo"));
    if (historyIsAFolder)
        QVERIFY(QDir().mkdir(path)); // a folder where the file should be
    else
        fileio::writeFileAtomic(path, "000001abc\r\n");
    m_window = std::make_unique<frmSearch>(
        m_fakes->platform(), [path] { return path; }, m_options);
    m_window->open();
    std::optional<NoNewThreads> noThreads;
    if (!threads)
        noThreads.emplace();
    auto *field = m_window->findChild<QLineEdit *>(QStringLiteral("searchText"));
    QTest::keyClicks(field, QStringLiteral("abc"));
    const QString told = QStringLiteral("0 件　検索を続けられません: ") + reason;
    QTRY_VERIFY2(count().startsWith(told), qPrintable(count()));
    QCOMPARE(listed(), QStringList());
}

QTEST_MAIN(TestFrmSearch)
#include "tst_frmsearch.moc"
