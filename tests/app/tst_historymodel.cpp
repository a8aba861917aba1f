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
    model.addEntry(1, u"first", QStringLiteral("first"));
    // A literal marker is shown as copied; the file reads it back as a line break.
    model.addEntry(2, u"a@1@2@3b", QStringLiteral("a@1@2@3b"));
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

void TestHistoryModel::chosenRowGivesTheWholeText()
{
    QTemporaryDir tmp;
    HistoryFile file(tmp.path() + QStringLiteral("/temp.ifo"));
    HistoryModel model(file);
    model.reload();
    const QString whole = QString(500, QLatin1Char('w'));
    model.addEntry(1, whole, whole.left(200));
    model.addEntry(2, u"short", QStringLiteral("short"));
    QCOMPARE(model.wholeText(1), whole);
    QCOMPARE(model.wholeText(5), QString());
}

void TestHistoryModel::failedWriteChangesNothing()
{
    QTemporaryDir tmp;
    HistoryFile file(tmp.path() + QStringLiteral("/missing-folder/temp.ifo"));
    HistoryModel model(file);
    model.reload();
    QVERIFY_THROWS_EXCEPTION(CommandError, model.addEntry(1, u"x", QStringLiteral("x")));
    QCOMPARE(model.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestHistoryModel)
#include "tst_historymodel.moc"
