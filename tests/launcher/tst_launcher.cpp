// SPDX-License-Identifier: GPL-3.0-or-later
#include "launcher/launchers.h"
#include "launcher/toolbars.h"
#include "launcher/websearch.h"

#include <QTest>

namespace {
QStringList keysOf(const QList<toolbars::MenuItem> &items, bool visibleOnly)
{
    QStringList keys;
    for (const auto &i : items) {
        if (i.visible || !visibleOnly)
            keys << i.key;
    }
    return keys;
}
} // namespace

class TestLauncher final : public QObject
{
    Q_OBJECT

private slots:
    void toolbarButtons();
    void menus_data();
    void menus();
    void searchAddress_data();
    void searchAddress();
    void everyLauncherItemHasCandidates();
};

void TestLauncher::toolbarButtons()
{
    QStringList keys1, keys2;
    for (const auto &b : toolbars::toolbar1())
        keys1 << b.key;
    for (const auto &b : toolbars::toolbar2())
        keys2 << b.key;
    QCOMPARE(keys1, (QStringList{"copy", "del_clip", "text", "bmp", "shell", "hides", "menu"}));
    QCOMPARE(keys2, (QStringList{"con", "disp", "cd", "file", "open", "pro", "del_list"}));
    QCOMPARE(toolbars::toolbar1()[4].style, toolbars::Style::DropDown);
    QCOMPARE(toolbars::toolbar2()[2].style, toolbars::Style::Check);
    QCOMPARE(toolbars::toolbar2()[5].style, toolbars::Style::Check);
    QCOMPARE(toolbars::toolbar2()[1].tooltip, QStringLiteral("設定してれば、画面セーバー"));
}

void TestLauncher::menus_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::newRow("shell") << QStringLiteral("shell")
                           << QStringList{"yahoo1",    "google1", "infoseek1", "lycos1",   "excite1",  "kensaku1",
                                          "fresheye1", "bar",     "yahoo",     "google",   "infoseek", "goo",
                                          "lycos",     "excite",  "kensaku",   "fresheye", "vec",      "mado"}
                           << QStringList{"goo1"};
    QTest::newRow("hides") << QStringLiteral("hides")
                           << QStringList{"hide", "texthide", "bar1", "h8", "h10", "h16", "bar2", "ucase", "lcase"}
                           << QStringList{};
    QTest::newRow("con") << QStringLiteral("con") << QStringList{"sys",  "int",   "app",   "disp", "mouse", "sound",
                                                                 "bar1", "mycom", "mynet", "calc", "note",  "paint"}
                         << QStringList{"dial", "printer", "trash", "desktop"};
    QTest::newRow("open") << QStringLiteral("OPEN") << QStringList{"open_reki", "bar1", "open_New", "open_pro"}
                          << QStringList{};
    QTest::newRow("plain button") << QStringLiteral("copy") << QStringList{} << QStringList{};
}

void TestLauncher::menus()
{
    QFETCH(QString, button);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    const auto items = toolbars::menu(button);
    QCOMPARE(keysOf(items, true), shown);
    QStringList all = keysOf(items, false);
    for (const QString &k : shown)
        all.removeOne(k);
    QCOMPARE(all, hidden);
}

void TestLauncher::searchAddress_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("address");
    QTest::newRow("empty query") << QStringLiteral("yahoo1") << QString()
                                 << QStringLiteral("https://search.yahoo.co.jp/bin/search?p=");
    QTest::newRow("google keeps its suffix")
        << QStringLiteral("google1") << QStringLiteral("qt")
        << QStringLiteral("https://www.google.co.jp/search?q=qt&act.search=submit");
    QTest::newRow("ampersand, question mark, hash, blank")
        << QStringLiteral("google1") << QStringLiteral("a&b?c#d e")
        << QStringLiteral("https://www.google.co.jp/search?q=a%26b%3Fc%23d%20e&act.search=submit");
    QTest::newRow("japanese as UTF-8") << QStringLiteral("excite1") << QStringLiteral("日本")
                                       << QStringLiteral("https://search.excite.co.jp/search.gw?s=%E6%97%A5%E6%9C%AC");
    QTest::newRow("line break and plus") << QStringLiteral("fresheye1") << QStringLiteral("1+1\r\n")
                                         << QStringLiteral("https://search.fresheye.com/?kw=1%2B1%0D%0A");
    QTest::newRow("key without case") << QStringLiteral("LYCOS1") << QStringLiteral("x")
                                      << QStringLiteral("https://www.lycos.co.jp/cgi-bin/pursuit?query=x");
    QTest::newRow("top page ignores the text")
        << QStringLiteral("mado") << QStringLiteral("x") << QStringLiteral("https://forest.watch.impress.co.jp/");
    QTest::newRow("hidden goo search") << QStringLiteral("goo1") << QStringLiteral("x") << QString();
    QTest::newRow("separator") << QStringLiteral("bar") << QStringLiteral("x") << QString();
    QTest::newRow("unknown") << QStringLiteral("h8") << QStringLiteral("x") << QString();
}

void TestLauncher::searchAddress()
{
    QFETCH(QString, key);
    QFETCH(QString, query);
    QFETCH(QString, address);
    QCOMPARE(websearch::address(key, query), address);
}

void TestLauncher::everyLauncherItemHasCandidates()
{
    for (const auto &item : toolbars::menu(QStringLiteral("con"))) {
        const auto candidates = launchers::candidates(item.key);
        if (!item.visible || item.caption == QStringLiteral("-")) {
            QVERIFY2(candidates.isEmpty(), qPrintable(item.key));
            continue;
        }
        QVERIFY2(!candidates.isEmpty(), qPrintable(item.key));
        for (const auto &c : candidates)
            QVERIFY(!c.program.contains(QLatin1Char(' ')));
    }
    QVERIFY(!launchers::candidates(QStringLiteral("con")).isEmpty());
    QCOMPARE(launchers::lookedFor({{QStringLiteral("a"), {}}, {QStringLiteral("b"), {}}, {QStringLiteral("a"), {}}}),
             QStringLiteral("a, b"));
}

QTEST_GUILESS_MAIN(TestLauncher)
#include "tst_launcher.moc"
