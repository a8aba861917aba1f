// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/titles.h"

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

namespace {
// In UTC, so no daylight-saving gap of the machine's time zone can shift a sample.
QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

constexpr qint64 second = 1000;
constexpr qint64 day = 86400 * second;
constexpr quint64 mib = 1024 * 1024;
constexpr quint64 gib = 1024 * mib;

} // namespace

class TestTitles final : public QObject
{
    Q_OBJECT

private slots:
    void formatDateTime_data();
    void formatDateTime();
    void uptime_data();
    void uptime();
    void memory_data();
    void memory();
    void titleFor_data();
    void titleFor();
    void interval_data();
    void interval();
};

void TestTitles::formatDateTime_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");

    const QDateTime sample = at(2001, 5, 27, 18, 16, 7);
    QTest::newRow("date and time") << sample << "gge年m月d日(aaa) hh:mm"
                                   << "平13年5月27日(日) 18:16";
    QTest::newRow("date only") << sample << "gge年mm月dd日(aaa)"
                               << "平13年05月27日(日)";
    QTest::newRow("time only") << sample << "ampm hh:mm:ss"
                               << "午後 06:16:07";
    QTest::newRow("status date") << sample << "ggge年m月d日 aaaa"
                                 << "平成13年5月27日 日曜日";
    QTest::newRow("status time") << sample << "yyyy/mm/dd hh:mm:ss"
                                 << "2001/05/27 18:16:07";
    QTest::newRow("today") << at(2026, 12, 8) << "gge年m月d日(aaa)"
                           << "令8年12月8日(火)";

    // Era boundaries: the first day of an era is its year 1; the era year turns on 1 January.
    QTest::newRow("last Meiji day") << at(1912, 7, 29) << "ggge"
                                    << "明治45";
    QTest::newRow("first Taisho day") << at(1912, 7, 30) << "ggge"
                                      << "大正1";
    QTest::newRow("last Taisho day") << at(1926, 12, 24) << "ggge"
                                     << "大正15";
    QTest::newRow("first Showa day") << at(1926, 12, 25) << "ggge"
                                     << "昭和1";
    QTest::newRow("second Showa year") << at(1927, 1, 1) << "ggge"
                                       << "昭和2";
    QTest::newRow("last Showa day") << at(1989, 1, 7, 23, 59, 59) << "ggge"
                                    << "昭和64";
    QTest::newRow("first Heisei day") << at(1989, 1, 8) << "ggge"
                                      << "平成1";
    QTest::newRow("last Heisei day") << at(2019, 4, 30, 23, 59, 59) << "ggge"
                                     << "平成31";
    QTest::newRow("first Reiwa day") << at(2019, 5, 1) << "gge"
                                     << "令1";
    QTest::newRow("second Reiwa year") << at(2020, 1, 1) << "ggge"
                                       << "令和2";
    QTest::newRow("first Meiji day") << at(1868, 10, 23) << "ggge年"
                                     << "明治1年";
    QTest::newRow("before Meiji") << at(1868, 10, 22) << "[gg|ggg]e年m月"
                                  << "[|]1868年10月";

    // The 12-hour clock: 12 stands for both 0 and 12 o'clock.
    QTest::newRow("midnight") << at(2001, 5, 27, 0, 30, 5) << "ampm hh:mm:ss"
                              << "午前 12:30:05";
    QTest::newRow("last morning second") << at(2001, 5, 27, 11, 59, 59) << "ampm hh:mm:ss"
                                         << "午前 11:59:59";
    QTest::newRow("noon") << at(2001, 5, 27, 12, 5) << "ampm hh:mm:ss"
                          << "午後 12:05:00";
    QTest::newRow("one in the afternoon") << at(2001, 5, 27, 13, 0) << "ampm hh:mm:ss"
                                          << "午後 01:00:00";
    QTest::newRow("designator after the hour") << at(2001, 5, 27, 0, 1) << "hh:mm ampm"
                                               << "12:01 午前";
    QTest::newRow("24-hour midnight") << at(2001, 5, 27, 0, 1) << "hh:mm"
                                      << "00:01";

    // "m" after an hour field is the minute, even with text between; elsewhere the month.
    QTest::newRow("minutes after text") << at(2001, 5, 27, 9, 3) << "hh時m分 m月"
                                        << "09時3分 5月";
    QTest::newRow("month after another field") << at(2001, 5, 27, 9, 3) << "hh dd mm"
                                               << "09 27 05";

    QTest::newRow("monday") << at(2001, 5, 28) << "aaa aaaa"
                            << "月 月曜日";
    QTest::newRow("tuesday") << at(2001, 5, 29) << "aaa aaaa"
                             << "火 火曜日";
    QTest::newRow("wednesday") << at(2001, 5, 30) << "aaa aaaa"
                               << "水 水曜日";
    QTest::newRow("thursday") << at(2001, 5, 31) << "aaa aaaa"
                              << "木 木曜日";
    QTest::newRow("friday") << at(2001, 6, 1) << "aaa aaaa"
                            << "金 金曜日";
    QTest::newRow("saturday") << at(2001, 6, 2) << "aaa aaaa"
                              << "土 土曜日";

    QTest::newRow("invalid date") << QDateTime() << "yyyy/mm/dd"
                                  << "";
}

void TestTitles::formatDateTime()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(titles::formatDateTime(when, pattern), expected);
}

void TestTitles::uptime_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("expected");
    QTest::newRow("hour minute second") << qint64(3723400) << "1:02:03";
    QTest::newRow("days not shown") << 90061 * second << "1:01:01";
    QTest::newRow("half to even, up") << qint64(1500) << "0:00:02";
    QTest::newRow("half to even, down") << qint64(2500) << "0:00:02";
    QTest::newRow("just below a half") << qint64(2499) << "0:00:02";
    QTest::newRow("just above a half") << qint64(2501) << "0:00:03";
    QTest::newRow("start") << qint64(0) << "0:00:00";
    QTest::newRow("last hour of a day") << day - second << "23:59:59";
    QTest::newRow("rounds into the next day") << day - 1 << "0:00:00";
    QTest::newRow("past 2^31 ms") << qint64(2147483648) << "20:31:24";
    QTest::newRow("30 days and a second") << 30 * day + second << "0:00:01";
    QTest::newRow("negative count") << qint64(-5000) << "0:00:00";
}

void TestTitles::uptime()
{
    QFETCH(qint64, ms);
    QFETCH(QString, expected);
    QCOMPARE(titles::uptimeTitle(ms), QStringLiteral("起動経過時間\u3000") + expected);
}

void TestTitles::memory_data()
{
    QTest::addColumn<quint64>("total");
    QTest::addColumn<quint64>("available");
    QTest::addColumn<bool>("megabytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("128 MB KB") << 128 * mib << 32 * mib << false << "98,304/131,072KB";
    QTest::newRow("128 MB MB") << 128 * mib << 32 * mib << true << "96/128MB";
    QTest::newRow("16 GiB KB") << 16 * gib << 4 * gib << false << "12,582,912/16,777,216KB";
    QTest::newRow("16 GiB MB") << 16 * gib << 4 * gib << true << "12,288/16,384MB";
    QTest::newRow("64 GiB MB") << 64 * gib << gib << true << "64,512/65,536MB";
    QTest::newRow("64 GiB KB") << 64 * gib << gib << false << "66,060,288/67,108,864KB";
    // 1.5 KB in use of 2.5 KB: halves go away from zero.
    QTest::newRow("halves round up") << quint64(2560) << quint64(1024) << false << "2/3KB";
    QTest::newRow("below a half") << quint64(1535) << quint64(0) << false << "1/1KB";
    QTest::newRow("grouping edge") << quint64(1000 * 1024) << quint64(1024) << false << "999/1,000KB";
    QTest::newRow("nothing") << quint64(0) << quint64(0) << true << "0/0MB";
    QTest::newRow("available above total") << 2 * mib << 3 * mib << true << "0/2MB";
}

void TestTitles::memory()
{
    QFETCH(quint64, total);
    QFETCH(quint64, available);
    QFETCH(bool, megabytes);
    QFETCH(QString, expected);
    QCOMPARE(titles::memoryTitle(total, available, megabytes), QStringLiteral("物理メモリ：") + expected);
}

void TestTitles::titleFor_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("english");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1") << "1" << false << true << titles::versionTitle();
    QTest::newRow("2") << "2" << false << true << "平13年5月27日(日) 18:16";
    QTest::newRow("3") << "3" << false << true << "平13年05月27日(日)";
    QTest::newRow("4") << "4" << false << true << "午後 06:16:07";
    QTest::newRow("5") << "5" << false << true << "起動経過時間\u30001:02:03";
    QTest::newRow("6") << "6" << false << true << "物理メモリ：12,582,912/16,777,216KB";
    QTest::newRow("7") << "7" << false << true << "物理メモリ：12,288/16,384MB";
    QTest::newRow("2 English") << "2" << true << true << "Heisei 13 2001-05-27 18:16";
    QTest::newRow("3 English") << "3" << true << true << "Heisei 13 2001-05-27";
    QTest::newRow("4 English") << "4" << true << true << "06:16:07 PM";
    QTest::newRow("5 English") << "5" << true << true << "Uptime 1:02:03";
    QTest::newRow("7 English") << "7" << true << true << "Memory in use: 12,288/16,384 MB";
    for (const char *other : {"0", "8", "", " 2", "2 ", "02", "abc", "１"})
        QTest::newRow(qPrintable(QStringLiteral("'%1'").arg(QString::fromUtf8(other))))
            << other << false << false << "";
}

void TestTitles::titleFor()
{
    QFETCH(QString, mode);
    QFETCH(bool, english);
    QFETCH(bool, shown);
    QFETCH(QString, expected);
    // The program's own English catalogue: its date patterns are read field by field.
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(VORNKIP_ENGLISH_QM)));
    if (english)
        QCoreApplication::installTranslator(&translator);
    const titles::System system{at(2001, 5, 27, 18, 16, 7), 3723400, 16 * gib, 4 * gib};
    const std::optional<QString> title = titles::titleFor(mode, system);
    QCOMPARE(title.has_value(), shown);
    if (shown)
        QCOMPARE(*title, expected);
}

void TestTitles::interval_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("interval");
    const int expected[] = {-1, 0, 500, 2000, 500, 500, 2000, 2000, -1};
    for (int mode = 0; mode <= 8; ++mode)
        QTest::newRow(qPrintable(QString::number(mode))) << mode << expected[mode];
}

void TestTitles::interval()
{
    QFETCH(int, mode);
    QFETCH(int, interval);
    QCOMPARE(titles::intervalForMode(mode), interval);
}

QTEST_GUILESS_MAIN(TestTitles)
#include "tst_titles.moc"
