// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "fakes/filedialogdriver.h"
#include "templates/frmpro.h"
#include "templates/templatefile.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

class TestFrmPro final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void menuCaptionsInOrder();
    void newAsksEveryTime_data();
    void newAsksEveryTime();
    void open_data();
    void open();
    void openAnExtensionlessFile();
    void openEmptyOrMissingChangesNoSlot_data();
    void openEmptyOrMissingChangesNoSlot();
    void saveThenTemplateModeReadsTenEntries();
    void cancelledDialogsChangeNothing();
    void dialogRemembersTheLastName();

private:
    void fill(frmPro &w, const QStringList &texts)
    {
        for (int i = 0; i < texts.size(); ++i)
            w.text1(i)->setText(texts[i]);
    }
    QString file(const QString &name) const { return m_dir->path() + QLatin1Char('/') + name; }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
};

void TestFrmPro::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestFrmPro::menuCaptionsInOrder()
{
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    QCOMPARE(w.windowTitle(), QStringLiteral("定型文作成"));
    QMenu *file = w.menuBar()->findChild<QMenu *>(QStringLiteral("file"));
    QVERIFY(file);
    QCOMPARE(file->title(), QStringLiteral("ファイル(&F)"));
    QStringList captions;
    for (QAction *a : file->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(captions,
             (QStringList{"新規作成(&A)", "ファイルを開く(&O)", "-", "名前を指定して保存(&S)", "-", "閉じる(&Q)"}));
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    // Tab order runs through the slots in order.
    QCOMPARE(w.text1(0)->nextInFocusChain(), w.text1(1));
    QCOMPARE(w.text1(8)->nextInFocusChain(), w.text1(9));
}

void TestFrmPro::newAsksEveryTime_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("emptied");
    QTest::newRow("yes") << int(MsgAnswer::Yes) << true;
    QTest::newRow("no") << int(MsgAnswer::No) << false;
}

void TestFrmPro::newAsksEveryTime()
{
    QFETCH(int, answer);
    QFETCH(bool, emptied);
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    w.file_Add_Click(); // asked even with every slot empty
    fill(w, {"a", "b"});
    m_fakes->messages.answers.enqueue(MsgAnswer(answer));
    w.file_Add_Click();
    QCOMPARE(m_fakes->messages.shown.size(), 2);
    QCOMPARE(m_fakes->messages.shown[1].text, QStringLiteral("作成中の文章は失われます。よろしいですか？"));
    QCOMPARE(m_fakes->messages.shown[1].title, QStringLiteral("新規確認"));
    QCOMPARE(m_fakes->messages.shown[1].icon, MsgIcon::Exclamation);
    QCOMPARE(w.text1(0)->text(), emptied ? QString() : QStringLiteral("a"));
}

void TestFrmPro::open_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("slots_");
    const QStringList old{"o1", "o2", "o3", "o4", "o5", "o6", "o7", "o8", "o9", "o10"};
    QTest::newRow("three lines: the rest keep their text")
        << QByteArray("x\r\ny\r\nz\r\n") << QStringList{"x", "y", "z", "o4", "o5", "o6", "o7", "o8", "o9", "o10"};
    QTest::newRow("twelve lines: ten read")
        << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n")
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    QTest::newRow("no final CR LF") << QByteArray("a\r\nlast")
                                    << QStringList{"a", "last", "o3", "o4", "o5", "o6", "o7", "o8", "o9", "o10"};
    QTest::newRow("LF-only file") << QByteArray("p\nq\n")
                                  << QStringList{"p", "q", "o3", "o4", "o5", "o6", "o7", "o8", "o9", "o10"};
}

void TestFrmPro::open()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, slots_);
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    fill(w, {"o1", "o2", "o3", "o4", "o5", "o6", "o7", "o8", "o9", "o10"});
    fileio::writeFileAtomic(file("in.txt"), content);
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file("in.txt"), 1});
    w.file_Open_Click();
    QCOMPARE(w.phrases(), slots_);
    QVERIFY(m_fakes->messages.shown.isEmpty());
    QCOMPARE(w.editorFilePath(), QString()); // opening does not set the path saving writes to
}

// The real dialog: a template file named without extension is read as it is named.
void TestFrmPro::openAnExtensionlessFile()
{
    fileio::writeFileAtomic(file("templ"), "first\r\nsecond\r\n");
    QtFileDialogs dialogs;
    Platform platform = m_fakes->platform();
    platform.dialogs = dialogs;
    frmPro w(platform, CodePage::Utf8);
    FileDialogDriver driver(FileDialogDriver::How::Type, file("templ"));
    w.file_Open_Click();
    QVERIFY(driver.answered());
    QTRY_VERIFY(driver.finished());
    QCOMPARE(driver.boxes, QStringList());
    QCOMPARE(m_fakes->messages.shown.size(), 0);
    QCOMPARE(w.phrases().mid(0, 2), QStringList({"first", "second"}));
}

void TestFrmPro::openEmptyOrMissingChangesNoSlot_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("title");
    QTest::newRow("0-byte file") << true << QStringLiteral("空ファイル");
    QTest::newRow("missing file") << false << QStringLiteral("53");
}

void TestFrmPro::openEmptyOrMissingChangesNoSlot()
{
    QFETCH(bool, exists);
    QFETCH(QString, title);
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    fill(w, {"keep"});
    if (exists)
        fileio::writeFileAtomic(file("in.txt"), "");
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file("in.txt"), 1});
    w.file_Open_Click();
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, title);
    if (exists)
        QCOMPARE(m_fakes->messages.shown[0].text, QStringLiteral("定型文がありません。"));
    QCOMPARE(w.text1(0)->text(), QStringLiteral("keep"));
}

void TestFrmPro::saveThenTemplateModeReadsTenEntries()
{
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    w.text1(0)->setText(QStringLiteral("お世話になっております。"));
    w.text1(2)->setText(QStringLiteral("third"));
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file("templ.txt"), 1});
    w.file_Save_Click();
    const FileDialogSpec &request = m_fakes->dialogs.asked.last().request;
    QCOMPARE(request.filter, QStringLiteral("定型文ファイル(*.txt)|*.txt"));
    QCOMPARE(request.defaultExtension, QStringLiteral(".txt"));
    QCOMPARE(request.fileName, QStringLiteral("templ.txt"));
    QVERIFY(request.overwritePrompt);
    QCOMPARE(w.editorFilePath(), file("templ.txt"));
    const QStringList entries = templatefile::read(file("templ.txt"));
    QCOMPARE(entries.size(), 10);
    QCOMPARE(entries[0], QStringLiteral("お世話になっております。"));
    QCOMPARE(entries[1], QString());
    QCOMPARE(entries[2], QStringLiteral("third"));
    QCOMPARE(fileio::readWholeFile(file("templ.txt")).count("\r\n"), 10);
}

void TestFrmPro::cancelledDialogsChangeNothing()
{
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    fill(w, {"keep"});
    w.file_Open_Click();
    w.file_Save_Click();
    QVERIFY(m_fakes->messages.shown.isEmpty());
    QCOMPARE(w.text1(0)->text(), QStringLiteral("keep"));
    QCOMPARE(w.editorFilePath(), QString());
}

void TestFrmPro::dialogRemembersTheLastName()
{
    frmPro w(m_fakes->platform(), CodePage::Utf8);
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file("mine.txt"), 1});
    w.file_Save_Click();
    w.file_Open_Click(); // cancelled
    QCOMPARE(m_fakes->dialogs.asked.last().request.fileName, file("mine.txt"));
    QVERIFY(!m_fakes->dialogs.asked.last().request.mustExist);
}

QTEST_MAIN(TestFrmPro)
#include "tst_frmpro.moc"
