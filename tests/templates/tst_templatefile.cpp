// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "templates/templatefile.h"

#include <QTemporaryDir>
#include <QTest>

class TestTemplateFile final : public QObject
{
    Q_OBJECT

private slots:
    void reading_data();
    void reading();
    void writing_data();
    void writing();
};

void TestTemplateFile::reading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << QByteArray("a\r\n\r\nc\r\n") << -1 << QStringList{"a", "", "c"};
    QTest::newRow("no final line end") << QByteArray("a\r\nb") << -1 << QStringList{"a", "b"};
    QTest::newRow("lone CR and lone LF") << QByteArray("a\rb\nc") << -1 << QStringList{"a", "b", "c"};
    QTest::newRow("LF-only file") << QByteArray("x\ny\n") << -1 << QStringList{"x", "y"};
    QTest::newRow("empty lines kept") << QByteArray("\r\n\r\n") << -1 << QStringList{"", ""};
    QTest::newRow("0-byte file") << QByteArray() << -1 << QStringList{};
    QTest::newRow("editor reads ten of twelve")
        << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n") << 10
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    QTest::newRow("shift_jis") << QByteArray("\x82\xA0\r\n") << -1 << QStringList{QStringLiteral("あ")};
}

void TestTemplateFile::reading()
{
    QFETCH(QByteArray, file);
    QFETCH(int, maxLines);
    QFETCH(QStringList, lines);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/templ.txt");
    fileio::writeFileAtomic(path, file);
    QCOMPARE(templatefile::read(path, maxLines), lines);
}

void TestTemplateFile::writing_data()
{
    QTest::addColumn<QStringList>("phrases");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("all empty: 20 bytes") << QStringList(10) << QByteArray("\r\n").repeated(10);
    QStringList oneAndThree(10);
    oneAndThree[0] = QStringLiteral("one");
    oneAndThree[2] = QStringLiteral("three");
    QTest::newRow("phrases 1 and 3") << oneAndThree
                                     << (QByteArray("one\r\n\r\nthree\r\n") + QByteArray("\r\n").repeated(7));
}

void TestTemplateFile::writing()
{
    QFETCH(QStringList, phrases);
    QFETCH(QByteArray, bytes);
    QCOMPARE(templatefile::encode(phrases, CodePage::Cp932), bytes);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/t.txt");
    templatefile::write(path, phrases, CodePage::Utf8);
    QCOMPARE(templatefile::read(path), phrases);
}

QTEST_GUILESS_MAIN(TestTemplateFile)
#include "tst_templatefile.moc"
