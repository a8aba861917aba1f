// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/profile.h"

#include <QTest>

class TestProfile final : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void write_data();
    void write();
    void lineBreaksAreNeverWritten_data();
    void lineBreaksAreNeverWritten();
};

void TestProfile::read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // "<none>" when missing
    const QString ini = QStringLiteral("; settings\r\n[Main]\r\nPosX=15\r\n  posy  =  600  \r\n[Data]\r\n"
                                       "FilePath1=\"/home/u/my templ.txt\"\r\nOdd=\"half\r\nEmpty=\r\n");
    QTest::newRow("plain") << ini << QStringLiteral("Main") << QStringLiteral("PosX") << QStringLiteral("15");
    QTest::newRow("names without case, blanks ignored")
        << ini << QStringLiteral(" main ") << QStringLiteral("POSY") << QStringLiteral("600");
    QTest::newRow("quotes removed") << ini << QStringLiteral("Data") << QStringLiteral("FilePath1")
                                    << QStringLiteral("/home/u/my templ.txt");
    QTest::newRow("one quote kept") << ini << QStringLiteral("Data") << QStringLiteral("Odd")
                                    << QStringLiteral("\"half");
    QTest::newRow("empty value") << ini << QStringLiteral("Data") << QStringLiteral("Empty") << QString();
    QTest::newRow("key of another section")
        << ini << QStringLiteral("Data") << QStringLiteral("PosX") << QStringLiteral("<none>");
    QTest::newRow("missing section") << ini << QStringLiteral("Text") << QStringLiteral("PosX")
                                     << QStringLiteral("<none>");
    QTest::newRow("comment is no key") << ini << QStringLiteral("Main") << QStringLiteral("; settings")
                                       << QStringLiteral("<none>");
    QTest::newRow("LF-only file") << QStringLiteral("[A]\nk=v\n") << QStringLiteral("a") << QStringLiteral("K")
                                  << QStringLiteral("v");
    const QString longPath = QStringLiteral("/") + QString(400, QLatin1Char('d')) + QStringLiteral("/templ.txt");
    QTest::newRow("long value read whole")
        << (QStringLiteral("[Data]\r\nFilePath1=\"") + longPath + QStringLiteral("\"")) << QStringLiteral("Data")
        << QStringLiteral("FilePath1") << longPath;
    QTest::newRow("first of duplicate keys")
        << QStringLiteral("[A]\r\nk=1\r\nk=2\r\n") << QStringLiteral("A") << QStringLiteral("k") << QStringLiteral("1");
}

void TestProfile::read()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const auto got = Profile(text).value(section, key);
    QCOMPARE(got.value_or(QStringLiteral("<none>")), value);
}

void TestProfile::write_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after");
    QTest::newRow("replaced in place, rest kept")
        << QStringLiteral("; mine\r\n[main]\r\n posx = 1\r\nOther=keep\r\n\r\n[Data]\r\nTitle=1\r\n\r\n")
        << QStringLiteral("Main") << QStringLiteral("PosX") << QStringLiteral("1500")
        << QStringLiteral("; mine\r\n[main]\r\nPosX=1500\r\nOther=keep\r\n\r\n[Data]\r\nTitle=1\r\n\r\n");
    QTest::newRow("key added after the section's last line")
        << QStringLiteral("[Main]\r\nPosX=0\r\n\r\n[Data]\r\nTitle=1\r\n") << QStringLiteral("Main")
        << QStringLiteral("PosY") << QStringLiteral("600")
        << QStringLiteral("[Main]\r\nPosX=0\r\nPosY=600\r\n\r\n[Data]\r\nTitle=1\r\n");
    QTest::newRow("section added at the end")
        << QStringLiteral("[Main]\r\nPosX=0\r\n\r\n") << QStringLiteral("Pro") << QStringLiteral("PosX")
        << QStringLiteral("5") << QStringLiteral("[Main]\r\nPosX=0\r\n[Pro]\r\nPosX=5\r\n\r\n");
    QTest::newRow("empty file") << QString() << QStringLiteral("Data") << QStringLiteral("Title") << QStringLiteral("3")
                                << QStringLiteral("[Data]\r\nTitle=3\r\n");
    QTest::newRow("last line without end")
        << QStringLiteral("[Data]\r\nTitle=1") << QStringLiteral("Data") << QStringLiteral("X") << QStringLiteral("y")
        << QStringLiteral("[Data]\r\nTitle=1\r\nX=y\r\n");
    QTest::newRow("unchanged text round trip")
        << QStringLiteral("[A]\r\n;c\r\nk=v") << QStringLiteral("A") << QStringLiteral("k") << QStringLiteral("v")
        << QStringLiteral("[A]\r\n;c\r\nk=v");
}

void TestProfile::write()
{
    QFETCH(QString, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, after);
    Profile p(before);
    p.setValue(section, key, value);
    QCOMPARE(p.text(), after);
    QCOMPARE(Profile(p.text()).value(section, key).value_or(QString()), value);
}

void TestProfile::lineBreaksAreNeverWritten_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("value starting a section") << "Data"
                                              << "FilePath1"
                                              << "\"/t/a\r\n[Main]\r\nPosX=5\"";
    QTest::newRow("value adding a key") << "Data"
                                        << "FilePath1"
                                        << "\"/t/a\nTitle=7\"";
    QTest::newRow("lone CR") << "Data"
                             << "FilePath1"
                             << "/t/a\r";
    QTest::newRow("key") << "Data"
                         << "Title\nPosX"
                         << "1";
    QTest::newRow("section") << "Main]\r\n[Data"
                             << "PosX"
                             << "1";
}

// A line break would end the line early and the rest could read as another key or section: nothing
// holding one is written.
void TestProfile::lineBreaksAreNeverWritten()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QString before = QStringLiteral("[Main]\r\nPosX=1\r\n[Data]\r\nFilePath1=\"/t/old\"\r\nTitle=2\r\n");
    Profile p(before);
    QVERIFY(!p.setValue(section, key, value));
    QCOMPARE(p.text(), before);
    QVERIFY(p.setValue(QStringLiteral("Data"), QStringLiteral("FilePath1"), QStringLiteral("\"/t/new\"")));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
