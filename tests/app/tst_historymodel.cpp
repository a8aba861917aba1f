#include "app/historymodel.h"
#include "core/commanderror.h"
#include "core/fileio.h"

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

// Which copies become entries, and their numbers: each row records `text` while the list shows `shown`
// into a file that held `before`.
void TestHistoryModel::recordingRule_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("after");
    const QString long250 = QString(250, QLatin1Char('L'));
    QTest::newRow("first entry") << QByteArray() << "abc"
                                 << "" << QByteArray("000001abc\r\n");
    QTest::newRow("continues the file's numbers") << QByteArray("000041x\r\n000042y\r\n") << "z"
                                                  << "y" << QByteArray("000041x\r\n000042y\r\n000043z\r\n");
    QTest::newRow("after 999999 comes 1") << QByteArray("999999x\r\n") << "y"
                                          << "x" << QByteArray("999999x\r\n000001y\r\n");
    QTest::newRow("what the list shows") << QByteArray("000001abc\r\n") << "abc"
                                         << "abc" << QByteArray("000001abc\r\n");
    QTest::newRow("case is ignored") << QByteArray("000001abc\r\n") << "ABC"
                                     << "abc" << QByteArray("000001abc\r\n");
    QTest::newRow("typed over: recorded again") << QByteArray("000001abc\r\n") << "abc"
                                                << "ab" << QByteArray("000001abc\r\n000002abc\r\n");
    QTest::newRow("only the first 200 characters count")
        << QByteArray() << long250 << long250.left(200) << QByteArray();
    QTest::newRow("line breaks compare as shown") << QByteArray() << "a\r\nb"
                                                  << "a\r\nb" << QByteArray();
    QTest::newRow("empty text") << QByteArray("000001abc\r\n") << ""
                                << "x" << QByteArray("000001abc\r\n");
}

void TestHistoryModel::recordingRule()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QByteArray, after);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/temp.ifo");
    fileio::writeFileAtomic(path, before);
    HistoryFile file(path);
    HistoryModel model(file);
    model.reload();
    const std::optional<QString> row = model.record(text, shown);
    QCOMPARE(fileio::readWholeFile(path), after);
    QCOMPARE(row.has_value(), after != before);
    if (row) {
        QCOMPARE(*row, text.left(200));
        QCOMPARE(model.index(0).data(Qt::EditRole).toString(), *row);
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

QTEST_GUILESS_MAIN(TestHistoryModel)
#include "tst_historymodel.moc"
