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

QTEST_GUILESS_MAIN(TestMainRules)
#include "tst_mainrules.moc"
