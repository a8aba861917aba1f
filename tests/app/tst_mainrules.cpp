// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainrules.h"
#include "history/historyformat.h"

#include <QTest>

class TestMainRules final : public QObject
{
    Q_OBJECT

private slots:
    void currentEntry_data();
    void currentEntry();
    void resetSwitch_data();
    void resetSwitch();
    void uiLanguage_data();
    void uiLanguage();
};

void TestMainRules::currentEntry_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("current");
    QTest::newRow("equal") << QStringLiteral("abc") << QStringLiteral("abc") << true;
    QTest::newRow("case ignored") << QStringLiteral("ABC") << QStringLiteral("abc") << true;
    QTest::newRow("different") << QStringLiteral("abd") << QStringLiteral("abc") << false;
    QTest::newRow("first 200 count") << (QString(200, QLatin1Char('a')) + QStringLiteral("tail"))
                                     << QString(200, QLatin1Char('a')) << true;
    QTest::newRow("marker read as line break") << QStringLiteral("a@1@2@3b") << QStringLiteral("a\r\nb") << true;
    // 199 characters, then a marker the shown text ends in: written as markers, the 200 shown
    // characters take up to 600 of the copy.
    const QString markers = QStringLiteral("@1@2@3").repeated(99);
    QTest::newRow("markers to the last shown character")
        << (markers + QStringLiteral("x@1@2@3") + QString(1000, QLatin1Char('y')))
        << (QStringLiteral("\r\n").repeated(99) + QStringLiteral("x\r")) << true;
    QTest::newRow("marker letters case") << QStringLiteral("x@1@2@3") << QStringLiteral("X\r\n") << true;
    QTest::newRow("empty equals empty") << QString() << QString() << true;
    QTest::newRow("full-width differs") << QStringLiteral("ＡＢＣ") << QStringLiteral("abc") << false;
}

void TestMainRules::currentEntry()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, list);
    QFETCH(bool, current);
    QCOMPARE(historyformat::isCurrentEntry(clipboard, list), current);
}

void TestMainRules::resetSwitch_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("reset");
    QTest::newRow("/a") << QStringList{QStringLiteral("/a")} << true;
    QTest::newRow("/A") << QStringList{QStringLiteral("/A")} << true;
    QTest::newRow("trailing blank") << QStringList{QStringLiteral("/a ")} << false;
    QTest::newRow("leading blank") << QStringList{QStringLiteral(" /a")} << false;
    QTest::newRow("two arguments") << QStringList{QStringLiteral("/a"), QStringLiteral("/a")} << false;
    QTest::newRow("dash") << QStringList{QStringLiteral("-a")} << false;
    QTest::newRow("none") << QStringList{} << false;
}

void TestMainRules::resetSwitch()
{
    QFETCH(QStringList, args);
    QFETCH(bool, reset);
    QCOMPARE(mainrules::isResetSwitch(args), reset);
}

// The lists are what QLocale::system().uiLanguages() gives under the environment named in the row.
void TestMainRules::uiLanguage_data()
{
    using mainrules::Language;
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<Language>("chosen");
    QTest::newRow("LANG unset, C, C.UTF-8, POSIX") << QStringList{"C"} << Language::Japanese;
    QTest::newRow("ja_JP.UTF-8") << QStringList{"ja-JP", "ja-Jpan-JP", "ja"} << Language::Japanese;
    QTest::newRow("en_US.UTF-8") << QStringList{"en-US", "en-Latn-US", "en"} << Language::English;
    QTest::newRow("de_DE.UTF-8: not shipped") << QStringList{"de-DE", "de-Latn-DE", "de"} << Language::English;
    QTest::newRow("LANGUAGE=de:ja") << QStringList{"de", "de-Latn-DE", "ja", "ja-Jpan-JP"} << Language::Japanese;
    QTest::newRow("LANGUAGE=fr:en_GB") << QStringList{"fr", "fr-Latn-FR", "en-GB", "en-Latn-GB"} << Language::English;
    QTest::newRow("underscore form") << QStringList{"ja_JP"} << Language::Japanese;
    QTest::newRow("none") << QStringList{} << Language::English;
}

void TestMainRules::uiLanguage()
{
    QFETCH(QStringList, languages);
    QFETCH(mainrules::Language, chosen);
    QCOMPARE(mainrules::uiLanguage(languages), chosen);
}

QTEST_GUILESS_MAIN(TestMainRules)
#include "tst_mainrules.moc"
