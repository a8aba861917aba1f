// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/dropdata.h"

#include <QMimeData>
#include <QTest>
#include <QUrl>

class TestDropData final : public QObject
{
    Q_OBJECT

private slots:
    void textIsFileList_data();
    void textIsFileList();
    void copyKeepsWhatTheWindowsRead();
};

void TestDropData::textIsFileList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("fileList");

    const QStringList one{"/home/u/README"};
    const QStringList two{"/home/u/a.txt", "/home/u/b c.txt"};
    QTest::newRow("path") << "/home/u/README" << one << true;
    QTest::newRow("path, trailing LF") << "/home/u/README\n" << one << true;
    QTest::newRow("path, trailing CR LF") << "/home/u/README\r\n" << one << true;
    QTest::newRow("file URL") << "file:///home/u/README" << one << true;
    QTest::newRow("two paths, LF") << "/home/u/a.txt\n/home/u/b c.txt" << two << true;
    QTest::newRow("two paths, CR LF, other order") << "/home/u/b c.txt\r\n/home/u/a.txt\r\n" << two << true;
    QTest::newRow("two paths, lone CR") << "/home/u/a.txt\r/home/u/b c.txt" << two << true;
    QTest::newRow("two URLs, percent-encoded") << "file:///home/u/a.txt\r\nfile:///home/u/b%20c.txt\r\n" << two << true;
    QTest::newRow("path and URL mixed") << "/home/u/a.txt\nfile:///home/u/b%20c.txt" << two << true;
    QTest::newRow("blanks around and between") << "  /home/u/a.txt \n\n\t/home/u/b c.txt\n\n" << two << true;
    QTest::newRow("one of the files named") << "/home/u/a.txt" << two << true;
    QTest::newRow("blank text") << " \r\n" << one << true;
    QTest::newRow("no files") << "/home/u/README" << QStringList{} << false;
    QTest::newRow("unrelated text") << "hello" << one << false;
    QTest::newRow("path and a word") << "/home/u/README\nhello" << one << false;
    QTest::newRow("another path") << "/home/u/README.txt" << one << false;
    QTest::newRow("path inside a sentence") << "see /home/u/README" << one << false;
    QTest::newRow("web URL") << "https://example.org/README" << one << false;
    QTest::newRow("file name only") << "README" << one << false;
    QTest::newRow("name with a trailing blank") << "/home/u/x " << QStringList{"/home/u/x "} << true;
}

void TestDropData::textIsFileList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, files);
    QFETCH(bool, fileList);
    QCOMPARE(dropdata::textIsFileList(text, files), fileList);
}

void TestDropData::copyKeepsWhatTheWindowsRead()
{
    auto data = std::make_unique<QMimeData>();
    data->setText(QStringLiteral("text ü"));
    data->setHtml(QStringLiteral("<b>text</b>"));
    data->setData(QStringLiteral("text/rtf"), "{\\rtf1 x}");
    data->setData(QStringLiteral("application/x-other"), "other");
    const QList<QUrl> urls{QUrl::fromLocalFile(QStringLiteral("/tmp/a b")), QUrl(QStringLiteral("https://x.org/"))};
    data->setUrls(urls);
    data->setImageData(QVariant(QStringLiteral("a picture")));

    const std::unique_ptr<QMimeData> copy = dropdata::copy(*data);
    data.reset(); // the drag is over

    QCOMPARE(copy->text(), QStringLiteral("text ü"));
    QCOMPARE(copy->html(), QStringLiteral("<b>text</b>"));
    QCOMPARE(copy->data(QStringLiteral("text/rtf")), QByteArray("{\\rtf1 x}"));
    QCOMPARE(copy->urls(), urls);
    QVERIFY(copy->hasImage());
    QCOMPARE(copy->imageData(), QVariant(QStringLiteral("a picture")));
    QVERIFY(!copy->hasFormat(QStringLiteral("application/x-other")));

    const std::unique_ptr<QMimeData> empty = dropdata::copy(QMimeData());
    QVERIFY(empty->formats().isEmpty());
}

QTEST_GUILESS_MAIN(TestDropData)
#include "tst_dropdata.moc"
