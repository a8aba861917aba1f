// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "popup/popuprows.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

// The popup's rules: a row's text, the tooltip, where it opens, which keys pick and which keys paste.
class TestPopupRows final : public QObject
{
    Q_OBJECT

private slots:
    void rowAndToolTip_data();
    void rowAndToolTip();
    void place_data();
    void place();
    void pickedRow_data();
    void pickedRow();
    void shiftInsert_data();
    void shiftInsert();
    void newestRowsOfALargeHistory();
};

void TestPopupRows::rowAndToolTip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("tip");

    const QString div = "<div style=\"white-space:pre-wrap\">%1</div>";
    QTest::newRow("one line") << "abc"
                              << "000042  abc" << div.arg("abc");
    QTest::newRow("line breaks marked, kept in the tip") << "a\r\nb\rc\nd"
                                                         << "000042  a\u21B5b\u21B5c\u21B5d" << div.arg("a\nb\nc\nd");
    QTest::newRow("markup is text") << "<b>x</b> & y"
                                    << "000042  <b>x</b> & y" << div.arg("&lt;b&gt;x&lt;/b&gt; &amp; y");
    QTest::newRow("long") << QString(2500, 'x') << "000042  " + QString(200, 'x')
                          << div.arg(QString(popuprows::toolTipLength, 'x') + QChar(0x2026));
}

void TestPopupRows::rowAndToolTip()
{
    QFETCH(QString, text);
    QFETCH(QString, row);
    QCOMPARE(popuprows::rowText(42, text), row);
    QFETCH(QString, tip);
    QCOMPARE(popuprows::toolTipText(text), tip);
}

void TestPopupRows::place_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<std::optional<QPoint>>("pointer");
    QTest::addColumn<QPoint>("at");

    // The popup is 400 x 300.
    const QRect first(0, 0, 1920, 1080);
    const QRect second(1920, 200, 1280, 1024);
    QTest::newRow("at the pointer") << first << std::optional(QPoint(100, 50)) << QPoint(100, 50);
    QTest::newRow("right edge") << first << std::optional(QPoint(1800, 50)) << QPoint(1520, 50);
    QTest::newRow("bottom right corner") << first << std::optional(QPoint(1919, 1079)) << QPoint(1520, 780);
    QTest::newRow("second screen, below its top") << second << std::optional(QPoint(3100, 1200)) << QPoint(2800, 924);
    QTest::newRow("screen smaller than the popup")
        << QRect(10, 20, 300, 200) << std::optional(QPoint(50, 60)) << QPoint(10, 20);
    QTest::newRow("no pointer: middle") << first << std::optional<QPoint>() << QPoint(760, 390);
    QTest::newRow("no pointer: middle of the second") << second << std::optional<QPoint>() << QPoint(2360, 562);
}

void TestPopupRows::place()
{
    QFETCH(QRect, screen);
    QFETCH(std::optional<QPoint>, pointer);
    QFETCH(QPoint, at);
    QCOMPARE(popuprows::place(screen, QSize(400, 300), pointer), at);
}

void TestPopupRows::pickedRow_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("filterEmpty");
    QTest::addColumn<int>("row");

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    QTest::newRow("1") << int(Qt::Key_1) << none << true << 0;
    QTest::newRow("9") << int(Qt::Key_9) << none << true << 8;
    QTest::newRow("0 picks nothing") << int(Qt::Key_0) << none << true << -1;
    QTest::newRow("keypad 3") << int(Qt::Key_3) << Qt::KeyboardModifiers(Qt::KeypadModifier) << true << 2;
    QTest::newRow("typed into a filter") << int(Qt::Key_3) << none << false << -1;
    QTest::newRow("Alt+3 with a filter") << int(Qt::Key_3) << Qt::KeyboardModifiers(Qt::AltModifier) << false << 2;
    QTest::newRow("Shift+1, as AZERTY types digits")
        << int(Qt::Key_1) << Qt::KeyboardModifiers(Qt::ShiftModifier) << true << 0;
    QTest::newRow("Ctrl+3") << int(Qt::Key_3) << Qt::KeyboardModifiers(Qt::ControlModifier) << true << -1;
    QTest::newRow("a letter") << int(Qt::Key_A) << none << true << -1;
}

void TestPopupRows::pickedRow()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, filterEmpty);
    QFETCH(int, row);
    QCOMPARE(popuprows::pickedRow(key, modifiers, filterEmpty), row);
}

void TestPopupRows::shiftInsert_data()
{
    QTest::addColumn<QString>("windowClass");
    QTest::addColumn<bool>("shiftInsert");

    QTest::newRow("xterm, any case") << "xterm" << true;
    QTest::newRow("GNOME Terminal") << "gnome-terminal" << true;
    QTest::newRow("an editor") << "gedit" << false;
    QTest::newRow("unknown") << "" << false;
}

void TestPopupRows::shiftInsert()
{
    QFETCH(QString, windowClass);
    QFETCH(bool, shiftInsert);
    QCOMPARE(popuprows::pastesWithShiftInsert(windowClass, {QStringLiteral("XTerm"), QStringLiteral("Gnome-terminal")}),
             shiftInsert);
}

// More entries than the popup lists: the newest ones, following the history as it grows and is read again,
// every signal consistent with the rows (the model tester fails the test otherwise).
void TestPopupRows::newestRowsOfALargeHistory()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/temp.ifo");
    QByteArray lines;
    for (int n = 1; n <= popuprows::listLimit + 2; ++n)
        lines += QByteArray::number(n).rightJustified(6, '0') + "e" + QByteArray::number(n) + "\r\n";
    fileio::writeFileAtomic(path, lines);
    HistoryFile file(path);
    HistoryModel history(file);
    HistoryRows rows(history);
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto numbers = [&rows] {
        return QList<int>{rows.rowCount(), rows.entry(0).number, rows.entry(rows.rowCount() - 1).number};
    };
    QCOMPARE(rows.rowCount(), 0);
    history.reload();
    QCOMPARE(numbers(), (QList<int>{popuprows::listLimit, popuprows::listLimit + 2, 3}));
    QVERIFY(history.record(QStringLiteral("newest"), QString()));
    QCOMPARE(numbers(), (QList<int>{popuprows::listLimit, popuprows::listLimit + 3, 4}));
    QCOMPARE(rows.index(0).data().toString(), QStringLiteral("001003  newest"));

    fileio::writeFileAtomic(path, "000001a\r\n000002b\r\n");
    history.reload();
    QCOMPARE(numbers(), (QList<int>{2, 2, 1}));
    QVERIFY(history.record(QStringLiteral("c"), QString()));
    QCOMPARE(numbers(), (QList<int>{3, 3, 1}));
}

QTEST_GUILESS_MAIN(TestPopupRows)
#include "tst_popuprows.moc"
