// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "fakes/nothreads.h"
#include "search/searchjob.h"

#include <QDir>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

// The search off the window's thread: what it reports, in which order, and that a search replaced,
// cancelled or deleted reports nothing more.
class TestSearchJob final : public QObject
{
    Q_OBJECT

private slots:
    void reports_data();
    void reports();
    void aReplacedSearchReportsNothingMore_data();
    void aReplacedSearchReportsNothingMore();

private:
    // A history of `entries` entries "entry 1" .. "entry N"; a folder in its place when negative.
    QString history(int entries);
    // Everything `job` reports, in order.
    struct Reports
    {
        QList<QList<historysearch::Entry>> batches;
        QList<qint64> counts;
        QStringList problems;
        QList<bool> finished;
    };
    static void record(SearchJob &job, Reports &reports);
    // The numbers of the entries "entry i" that contain `query`, newest first, at most `limit`.
    static QList<int> matching(int entries, const QString &query, int limit);
    static qsizetype threads()
    {
        return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    }
    static void checkFound(const Reports &reports, int entries, const QString &query, int limit, qint64 total);

    QTemporaryDir m_dir;
};

QString TestSearchJob::history(int entries)
{
    const QString path = m_dir.filePath(QStringLiteral("temp%1.ifo").arg(entries));
    if (entries < 0) {
        QDir().mkpath(path);
        return path;
    }
    QByteArray bytes;
    for (int i = 1; i <= entries; ++i)
        bytes += QByteArray::number(i).rightJustified(6, '0') + "entry " + QByteArray::number(i) + "\r\n";
    fileio::writeFileAtomic(path, bytes);
    return path;
}

void TestSearchJob::record(SearchJob &job, Reports &reports)
{
    connect(&job, &SearchJob::found, &job, [&reports](const QList<historysearch::Entry> &e) { reports.batches << e; });
    connect(&job, &SearchJob::counted, &job, [&reports](qint64 count) { reports.counts << count; });
    connect(&job, &SearchJob::failed, &job, [&reports](const QString &problem) { reports.problems << problem; });
    connect(&job, &SearchJob::finished, &job, [&reports](bool whole) { reports.finished << whole; });
}

QList<int> TestSearchJob::matching(int entries, const QString &query, int limit)
{
    QList<int> numbers;
    for (int i = entries; i >= 1 && numbers.size() < limit; --i) {
        if (QStringLiteral("entry %1").arg(i).contains(query))
            numbers << i;
    }
    return numbers;
}

void TestSearchJob::checkFound(const Reports &reports, int entries, const QString &query, int limit, qint64 total)
{
    QList<int> numbers;
    for (const QList<historysearch::Entry> &batch : reports.batches) {
        QVERIFY(!batch.isEmpty());
        for (const historysearch::Entry &entry : batch) {
            QCOMPARE(entry.text, QStringLiteral("entry %1").arg(entry.number));
            QCOMPARE(entry.newer, entries - entry.number);
            numbers << entry.number;
        }
    }
    QCOMPARE(numbers, matching(entries, query, limit));
    // The first matches come at once, the rest in later batches.
    if (numbers.size() > 20)
        QVERIFY(reports.batches.size() >= 2 && reports.batches.first().size() <= 20);
    QVERIFY(std::is_sorted(reports.counts.cbegin(), reports.counts.cend()));
    QCOMPARE(reports.counts.value(reports.counts.size() - 1, -1), total);
    QCOMPARE(reports.finished, QList<bool>{true});
}

void TestSearchJob::reports_data()
{
    QTest::addColumn<int>("entries"); // negative: a folder where the file should be
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("threads");
    QTest::addColumn<qint64>("total"); // -1: the search cannot start
    QTest::newRow("every entry, newest first, in batches") << 60 << "entry" << true << qint64(60);
    QTest::newRow("a few") << 3000 << "entry 199" << true << qint64(11);
    QTest::newRow("more than the limit: the newest listed, all counted") << 3000 << "entry" << true << qint64(3000);
    QTest::newRow("none") << 3000 << "zzz" << true << qint64(0);
    QTest::newRow("unreadable history") << -1 << "entry" << true << qint64(0);
    QTest::newRow("no thread for the search") << 60 << "entry" << false << qint64(-1);
}

void TestSearchJob::reports()
{
    QFETCH(int, entries);
    QFETCH(QString, query);
    QFETCH(bool, threads);
    QFETCH(qint64, total);
    const int limit = 100;
    const QString path = history(entries);
    SearchJob job;
    Reports reports;
    record(job, reports);
    QSignalSpy finished(&job, &SearchJob::finished);
    std::optional<NoNewThreads> noThreads;
    if (!threads)
        noThreads.emplace();
    QCOMPARE(job.start(path, query, {}, limit), total >= 0);
    QVERIFY(reports.counts.isEmpty()); // reported later, never from inside start
    if (total < 0) {
        QCoreApplication::processEvents();
        QVERIFY(reports.counts.isEmpty() && reports.finished.isEmpty());
        return;
    }
    QVERIFY(finished.wait(10000));
    if (entries < 0) {
        QVERIFY(reports.batches.isEmpty());
        QCOMPARE(reports.counts, QList<qint64>{0});
        QCOMPARE(reports.problems.size(), 1);
        QVERIFY(!reports.problems[0].isEmpty() && !reports.problems[0].contains(QLatin1Char('\n')));
        QCOMPARE(reports.finished, QList<bool>{false});
        return;
    }
    QVERIFY(reports.problems.isEmpty());
    checkFound(reports, entries, query, limit, total);
}

void TestSearchJob::aReplacedSearchReportsNothingMore_data()
{
    QTest::addColumn<bool>("fromAReport"); // or at once after starting
    QTest::addColumn<bool>("deleted");     // or a new query
    QTest::newRow("a new query from a report") << true << false;
    QTest::newRow("deleted at once") << false << true;
    QTest::newRow("deleted from a report") << true << true;
}

void TestSearchJob::aReplacedSearchReportsNothingMore()
{
    QFETCH(bool, fromAReport);
    QFETCH(bool, deleted);
    // Every entry matches the first query: its search goes on posting after its first batch.
    const int entries = 20000;
    const int limit = 1000;
    const QString path = history(entries);
    const QString second = QStringLiteral("entry 1999");
    auto job = std::make_unique<SearchJob>();
    QPointer<SearchJob> alive(job.get());
    Reports reports;
    record(*job, reports);
    bool replaced = false;
    const auto replace = [&] {
        replaced = true;
        reports = {}; // what is reported once the first search is replaced
        if (deleted)
            job.reset();
        else
            QVERIFY(job->start(path, second, {}, limit));
    };
    if (fromAReport) {
        connect(job.get(), &SearchJob::found, job.get(), [&] {
            if (!replaced)
                replace();
        });
    }
    const qsizetype threadsBefore = threads();
    QVERIFY(job->start(path, QStringLiteral("entry"), {}, limit));
    if (!fromAReport)
        replace();
    if (deleted) {
        QTRY_VERIFY(!alive);
        QCOMPARE(threads(), threadsBefore); // none outlives the job
        QCoreApplication::processEvents();
        QVERIFY(reports.batches.isEmpty() && reports.counts.isEmpty() && reports.finished.isEmpty());
        return;
    }
    QSignalSpy finished(job.get(), &SearchJob::finished);
    QVERIFY(finished.wait(10000));
    QCoreApplication::processEvents(); // anything the first search might still post
    checkFound(reports, entries, second, limit, 11);
}

QTEST_GUILESS_MAIN(TestSearchJob)
#include "tst_searchjob.moc"
