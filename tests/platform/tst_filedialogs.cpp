// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/filedialogdriver.h"
#include "platform/filedialogs.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The Qt file dialogs, driven as a person would: what comes back for a picked or typed name.
class TestFileDialogs final : public QObject
{
    Q_OBJECT

private slots:
    void chosenPath_data();
    void chosenPath();
};

void TestFileDialogs::chosenPath_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("mustExist");
    QTest::addColumn<bool>("pick");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("result"); // empty: cancelled

    // The folder holds README and notes.txt.
    QTest::newRow("open: README picked") << false << true << true << "README"
                                         << "README";
    QTest::newRow("open: README typed") << false << true << false << "README"
                                        << "README";
    QTest::newRow("open, any name: README picked") << false << false << true << "README"
                                                   << "README";
    QTest::newRow("open: notes.txt picked") << false << true << true << "notes.txt"
                                            << "notes.txt";
    QTest::newRow("save: typed without extension") << true << false << false << "new"
                                                   << "new.txt";
    QTest::newRow("save: typed with extension") << true << false << false << "new.md"
                                                << "new.md";
    QTest::newRow("save: existing README picked") << true << false << true << "README"
                                                  << "README";
}

void TestFileDialogs::chosenPath()
{
    QFETCH(bool, save);
    QFETCH(bool, mustExist);
    QFETCH(bool, pick);
    QFETCH(QString, name);
    QFETCH(QString, result);
    QTemporaryDir dir;
    for (const char *existing : {"README", "notes.txt"}) {
        QFile f(dir.filePath(QLatin1StringView(existing)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    FileDialogSpec request;
    request.filter = QStringLiteral("テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*");
    request.filterIndex = 1;
    request.defaultExtension = QStringLiteral(".txt");
    request.overwritePrompt = true;
    request.mustExist = mustExist;

    QtFileDialogs dialogs;
    // The person switches to "all files" first.
    FileDialogDriver driver(pick ? FileDialogDriver::How::Pick : FileDialogDriver::How::Type, dir.filePath(name), 2);
    const auto chosen = save ? dialogs.save(nullptr, request) : dialogs.open(nullptr, request);

    QVERIFY(driver.answered());
    QCOMPARE(driver.filterNames,
             QStringList({QStringLiteral("テキストファイル(*.txt)"), QStringLiteral("すべてのファイル(*.*)")}));
    if (pick)
        QVERIFY(driver.listed);
    if (save && QFile::exists(dir.filePath(result)))
        QCOMPARE(driver.boxes.size(), 1); // the question before replacing
    else
        QCOMPARE(driver.boxes, QStringList());
    QVERIFY(chosen);
    QCOMPARE(chosen->path, dir.filePath(result));
    QCOMPARE(chosen->filterIndex, 2);
    QTRY_VERIFY(driver.finished());
}

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
