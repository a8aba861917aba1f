// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "core/fileio.h"
#include "history/historymodel.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestHistoryModel final : public QObject
{
    Q_OBJECT

private slots:
    void rowsAreNewestFirst();
    void newEntryIsInsertedAtTheTopAsShown();
    void recordingRule_data();
    void recordingRule();
    void chosenRowGivesTheWholeText();
    void failedWriteChangesNothing();
    void aHistoryThatFailedToLoadIsReadBeforeTheNextEntry();
};

void TestHistoryModel::rowsAreNewestFirst()
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/temp.ifo");
    fileio::writeFileAtomic(path, "000001a\r\n000002b\r\n000003c\r\n");
    HistoryFile file(path);
    HistoryModel model(file);
    model.reload();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0).data().toString(), QStringLiteral("c"));
    QCOMPARE(model.index(2).data().toString(), QStringLiteral("a"));
    QCOMPARE(model.index(0).data(HistoryModel::NumberRole).toInt(), 3);
}

void TestHistoryModel::newEntryIsInsertedAtTheTopAsShown()
{
    QTemporaryDir tmp;
    HistoryFile file(tmp.path() + QStringLiteral("/temp.ifo"));
    HistoryModel model(file);
    model.reload();
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QCOMPARE(model.record(QStringLiteral("first"), QString()), QStringLiteral("first"));
    // A literal marker is shown as copied; the file reads it back as a line break.
    QCOMPARE(model.record(QStringLiteral("a@1@2@3b"), QString()), QStringLiteral("a@1@2@3b"));
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 0);
    QCOMPARE(reset.count(), 0);
    QCOMPARE(model.index(0).data().toString(), QStringLiteral("a@1@2@3b"));
    QCOMPARE(model.index(1).data().toString(), QStringLiteral("first"));
    QCOMPARE(model.wholeText(0), QStringLiteral("a\r\nb"));
    model.reload();
    QCOMPARE(model.index(0).data(Qt::EditRole).toString(), QStringLiteral("a\r\nb"));
    QCOMPARE(model.index(0).data().toString(), QStringLiteral("a\u21B5b"));
}

// Which copies become entries, and their numbers: each row records `text` while the list's field shows
// `shown` (the text of `row`, or of no row; `whole`: the whole text it shows the start of) into a file
// that held `before`.
void TestHistoryModel::recordingRule_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("whole");
    QTest::addColumn<QByteArray>("after");
    const auto row = [](const char *name, const QByteArray &before, const QString &text, const QString &shown,
                        int shownRow, const QByteArray &after, const QString &whole = QString()) {
        QTest::newRow(name) << before << text << shown << shownRow << whole << after;
    };
    const QString a = QString(210, QLatin1Char('x')) + QStringLiteral("-version-A");
    const QString b = QString(210, QLatin1Char('x')) + QStringLiteral("-version-B");
    const QByteArray entryA = "000001" + a.toUtf8() + "\r\n";
    row("first entry", {}, "abc", "", -1, "000001abc\r\n");
    row("continues the file's numbers", "000041x\r\n000042y\r\n", "z", "y", 0, "000041x\r\n000042y\r\n000043z\r\n");
    row("after 999999 comes 1", "999999x\r\n", "y", "x", 0, "999999x\r\n000001y\r\n");
    row("what the list shows", "000001abc\r\n", "abc", "abc", 0, "000001abc\r\n");
    row("case is ignored", "000001abc\r\n", "ABC", "abc", 0, "000001abc\r\n");
    row("typed over: recorded again", "000001abc\r\n", "abc", "ab", -1, "000001abc\r\n000002abc\r\n");
    row("line breaks compare as shown", {}, "a\r\nb", "a\r\nb", -1, {});
    row("empty text", "000001abc\r\n", "", "x", -1, "000001abc\r\n");
    // Beyond the 200 characters the list shows, the whole text decides.
    row("a long entry again", entryA, a, a.left(200), 0, entryA);
    row("a long entry, differing after 200", entryA, b, a.left(200), 0, entryA + "000002" + b.toUtf8() + "\r\n");
    row("a long entry, case differing after 200", entryA, a.toLower(), a.left(200), 0, entryA);
    row("a line break stored as a marker", "000001" + a.toUtf8() + "@1@2@3end\r\n", a + QStringLiteral("\r\nend"),
        a.left(200), 0, "000001" + a.toUtf8() + "@1@2@3end\r\n");
    row("an older entry chosen", entryA + "000002new\r\n", a, a.left(200), 1, entryA + "000002new\r\n");
    row("an older entry chosen, another copy", entryA + "000002new\r\n", b, a.left(200), 1,
        entryA + "000002new\r\n000003" + b.toUtf8() + "\r\n");
    // At start the field shows the start of the clipboard's text, which is no row.
    row("the clipboard's text at start", {}, a, a.left(200), -1, {}, a);
    row("another copy after the clipboard's text at start", {}, b, a.left(200), -1, "000001" + b.toUtf8() + "\r\n", a);
}

void TestHistoryModel::recordingRule()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, row);
    QFETCH(QString, whole);
    QFETCH(QByteArray, after);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/temp.ifo");
    fileio::writeFileAtomic(path, before);
    HistoryFile file(path);
    HistoryModel model(file);
    model.reload();
    const std::optional<QString> added = model.record(text, {shown, row, whole});
    QCOMPARE(fileio::readWholeFile(path), after);
    QCOMPARE(added.has_value(), after != before);
    if (added) {
        QCOMPARE(*added, text.left(200));
        QCOMPARE(model.index(0).data(Qt::EditRole).toString(), *added);
    }
}

void TestHistoryModel::chosenRowGivesTheWholeText()
{
    QTemporaryDir tmp;
    HistoryFile file(tmp.path() + QStringLiteral("/temp.ifo"));
    HistoryModel model(file);
    model.reload();
    const QString whole = QString(500, QLatin1Char('w'));
    QCOMPARE(model.record(whole, QString()), whole.left(200));
    model.record(QStringLiteral("short"), QString());
    QCOMPARE(model.wholeText(1), whole);
    QCOMPARE(model.wholeText(5), QString());
}

void TestHistoryModel::failedWriteChangesNothing()
{
    QTemporaryDir tmp;
    HistoryFile file(tmp.path() + QStringLiteral("/missing-folder/temp.ifo"));
    HistoryModel model(file);
    model.reload();
    QVERIFY_THROWS_EXCEPTION(CommandError, model.record(QStringLiteral("x"), QString()));
    QCOMPARE(model.rowCount(), 0);
}

void TestHistoryModel::aHistoryThatFailedToLoadIsReadBeforeTheNextEntry()
{
    // A folder in the history's place cannot be read, nor written to.
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/temp.ifo");
    QVERIFY(QDir().mkdir(path));
    HistoryFile file(path);
    HistoryModel model(file);
    QVERIFY_THROWS_EXCEPTION(CommandError, model.reload());
    QVERIFY_THROWS_EXCEPTION(CommandError, model.record(QStringLiteral("c"), QString()));
    // Readable again: the next entry goes on from the file's last number.
    QVERIFY(QDir().rmdir(path));
    fileio::writeFileAtomic(path, "000001a\r\n000002b\r\n");
    QCOMPARE(model.record(QStringLiteral("c"), QString()), QStringLiteral("c"));
    QCOMPARE(fileio::readWholeFile(path), QByteArray("000001a\r\n000002b\r\n000003c\r\n"));
    QCOMPARE(model.rowCount(), 3);
}

QTEST_GUILESS_MAIN(TestHistoryModel)
#include "tst_historymodel.moc"
