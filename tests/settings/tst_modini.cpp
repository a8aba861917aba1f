// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codec.h"
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "core/twips.h"
#include "settings/modini.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

namespace {
void writeIni(const QString &folder, const QByteArray &text)
{
    fileio::writeFileAtomic(datafolder::settingsFile(folder), text);
}

QByteArray readIni(const QString &folder)
{
    return fileio::readWholeFile(datafolder::settingsFile(folder));
}
} // namespace

class TestModIni final : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWritesTheDefaultFile();
    void existingFileIsNeverRewrittenWithDefaults();
    void badValuesGiveTheKeysDefault_data();
    void badValuesGiveTheKeysDefault();
    void writeKeepsEverythingElse();
    void roundTrip();
    void searchSection_data();
    void searchSection();
    void popupSection_data();
    void popupSection();
    void syncFolder_data();
    void syncFolder();
    void codePage932WritesShiftJis();
    void cp932FileFromWindowsReads();
    void unreadableFolderIsACommandError();
    void farPlacesAreHeldInRange_data();
    void farPlacesAreHeldInRange();
    void pixelConversionsNeverOverflow_data();
    void pixelConversionsNeverOverflow();
    void pathWithLineBreakIsRefused_data();
    void pathWithLineBreakIsRefused();
};

void TestModIni::firstStartWritesTheDefaultFile()
{
    QTemporaryDir tmp;
    const QString f = tmp.path();
    const Settings s = iniRead(f);
    const QByteArray expected = "[Main]\r\nPosX=0\r\nPosY=0\r\n[Picture]\r\nPosX=0\r\nPosY=0\r\nWidth=3000\r\n"
                                "Height=2000\r\n[Text]\r\nPosX=0\r\nPosY=0\r\nWidth=3000\r\nHeight=2000\r\n"
                                "[Pro]\r\nPosX=0\r\nPosY=0\r\n[Data]\r\nFilePath0=\"" +
                                f.toUtf8() + "/temp.ifo\"\r\nFilePath1=\"" + f.toUtf8() +
                                "/templ.txt\"\r\nTitle=1\r\n[Popup]\r\nShortcut=Ctrl+Alt+V\r\n"
                                "ShiftInsertClasses=XTerm;URxvt;Alacritty;kitty;foot;konsole;Gnome-terminal;"
                                "Xfce4-terminal;Terminator;Tilix;st-256color;Lxterminal;wezterm\r\nPaste=1\r\n"
                                "[Sync]\r\nFolder=\r\n\r\n";
    QCOMPARE(readIni(f), expected);
    QCOMPARE(s, Settings::defaults(f));
    QCOMPARE(s.picture, (WindowPlace{0, 0, 3000, 2000}));
    QCOMPARE(s.title, QStringLiteral("1"));
    QCOMPARE(s.templatePath, f + QStringLiteral("/templ.txt"));
}

void TestModIni::existingFileIsNeverRewrittenWithDefaults()
{
    QTemporaryDir tmp;
    const QByteArray mine = "[Main]\r\nPosX=1500\r\n";
    writeIni(tmp.path(), mine);
    const Settings s = iniRead(tmp.path());
    QCOMPARE(readIni(tmp.path()), mine);
    QCOMPARE(s.main.left, 1500);
    QCOMPARE(s.main.top, 0);
    QCOMPARE(s.text.width, 3000);
}

void TestModIni::badValuesGiveTheKeysDefault_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("title");
    QTest::newRow("not a number") << QByteArray("Width=abc\r\n[Data]\r\nTitle=x") << 3000 << QStringLiteral("1");
    QTest::newRow("empty") << QByteArray("Width=\r\n[Data]\r\nTitle=") << 3000 << QStringLiteral("1");
    QTest::newRow("blanks and a sign") << QByteArray("Width= -45 \r\n[Data]\r\nTitle= 3 ") << -45
                                       << QStringLiteral("3");
    QTest::newRow("fraction rounds") << QByteArray("Width=1500.6\r\n") << 1501 << QStringLiteral("1");
    QTest::newRow("absurdly large is held") << QByteArray("Width=1e300\r\n") << 1000000 << QStringLiteral("1");
    QTest::newRow("trailing junk") << QByteArray("Width=12px\r\n") << 3000 << QStringLiteral("1");
    QTest::newRow("title out of range kept as text") << QByteArray("[Data]\r\nTitle=9") << 3000 << QStringLiteral("9");
}

void TestModIni::badValuesGiveTheKeysDefault()
{
    QFETCH(QByteArray, data);
    QFETCH(int, width);
    QFETCH(QString, title);
    QTemporaryDir tmp;
    writeIni(tmp.path(), "[Picture]\r\n" + data);
    const Settings s = iniRead(tmp.path());
    QCOMPARE(s.picture.width, width);
    QCOMPARE(s.title, title);
}

void TestModIni::writeKeepsEverythingElse()
{
    QTemporaryDir tmp;
    writeIni(tmp.path(), "; kept\r\n[Main]\r\nPosX=0\r\nMine=1\r\n[Extra]\r\na=b\r\n");
    Settings s = iniRead(tmp.path());
    s.main = {1500, 600, 0, 0};
    iniWrite(tmp.path(), s);
    const QByteArray after = readIni(tmp.path());
    QVERIFY(after.startsWith("; kept\r\n[Main]\r\nPosX=1500\r\nMine=1\r\nPosY=600\r\n[Extra]\r\na=b\r\n"));
    QVERIFY(after.contains("[Data]\r\nFilePath0=\""));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("form.ini")});
}

void TestModIni::roundTrip()
{
    QTemporaryDir tmp;
    Settings s = iniRead(tmp.path());
    s.main = {1500, 600, 0, 0};
    s.picture = {-200, 90000, 4000, 5000}; // off-screen places are kept as they are
    s.text = {1, 2, 3, 4};
    s.pro = {7, 8, 0, 0};
    s.templatePath = QStringLiteral("/data/") + QString(300, QChar(0x65E5)) + QStringLiteral("/定型文.txt");
    s.title = QStringLiteral("5");
    s.popup = {QStringLiteral("Meta+Shift+F12"), {QStringLiteral("st-256color")}, false};
    iniWrite(tmp.path(), s);
    QCOMPARE(iniRead(tmp.path()), s);
}

// The search window's check boxes: their own section, read as 1 or 0 (anything else is the default),
// and written only once they differ from the defaults or the section is there.
void TestModIni::searchSection_data()
{
    QTest::addColumn<QByteArray>("section"); // appended to the default file
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<bool>("ignoreWidth");
    QTest::addColumn<bool>("ignoreKana");
    QTest::addColumn<bool>("writtenWhenUnchanged");
    QTest::newRow("none") << QByteArray() << true << true << false << false;
    QTest::newRow("all flipped") << QByteArray("[Search]\r\nIgnoreCase=0\r\nIgnoreWidth=0\r\nIgnoreKana=1\r\n") << false
                                 << false << true << true;
    QTest::newRow("odd values keep the defaults")
        << QByteArray("[search]\r\nIgnoreCase=yes\r\nIgnoreWidth=2\r\nIgnoreKana=\r\n") << true << true << false
        << true;
}

void TestModIni::searchSection()
{
    QFETCH(QByteArray, section);
    QFETCH(bool, ignoreCase);
    QFETCH(bool, ignoreWidth);
    QFETCH(bool, ignoreKana);
    QFETCH(bool, writtenWhenUnchanged);
    QTemporaryDir tmp;
    iniDefault(tmp.path());
    writeIni(tmp.path(), readIni(tmp.path()) + section);
    Settings s = iniRead(tmp.path());
    QCOMPARE(s.search.ignoreCase, ignoreCase);
    QCOMPARE(s.search.ignoreWidth, ignoreWidth);
    QCOMPARE(s.search.ignoreKana, ignoreKana);
    iniWrite(tmp.path(), s);
    QCOMPARE(readIni(tmp.path()).toLower().contains("[search]"), writtenWhenUnchanged);
    s.search.ignoreKana = !s.search.ignoreKana;
    iniWrite(tmp.path(), s);
    QCOMPARE(iniRead(tmp.path()).search.ignoreKana, !ignoreKana);
}

// The popup's keys: a key that is there but empty turns its thing off; one that is missing gives the
// default, and every key is written back.
void TestModIni::popupSection_data()
{
    QTest::addColumn<QByteArray>("section"); // appended to a file that has only [Data]
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QStringList>("classes");
    QTest::addColumn<bool>("paste");
    const QStringList terminals = PopupSettings::defaultShiftInsertClasses();
    QTest::newRow("none") << QByteArray() << QStringLiteral("Ctrl+Alt+V") << terminals << true;
    QTest::newRow("all set") << QByteArray("[popup]\r\nshortcut = Meta+V\r\nShiftInsertClasses= XTerm ;;st \r\n"
                                           "Paste=0\r\n")
                             << QStringLiteral("Meta+V") << QStringList{QStringLiteral("XTerm"), QStringLiteral("st")}
                             << false;
    QTest::newRow("empty turns off") << QByteArray("[Popup]\r\nShortcut=\r\nShiftInsertClasses=\r\n") << QString()
                                     << QStringList() << true;
    QTest::newRow("odd paste value keeps the default")
        << QByteArray("[Popup]\r\nPaste=yes\r\n") << QStringLiteral("Ctrl+Alt+V") << terminals << true;
}

void TestModIni::popupSection()
{
    QFETCH(QByteArray, section);
    QFETCH(QString, shortcut);
    QFETCH(QStringList, classes);
    QFETCH(bool, paste);
    QTemporaryDir tmp;
    writeIni(tmp.path(), "[Data]\r\nTitle=2\r\n" + section);
    const Settings s = iniRead(tmp.path());
    QCOMPARE(s.popup.shortcut, shortcut);
    QCOMPARE(s.popup.shiftInsertClasses, classes);
    QCOMPARE(s.popup.paste, paste);
    iniWrite(tmp.path(), s);
    QCOMPARE(readIni(tmp.path()).toLower().count("[popup]"), 1);
    QCOMPARE(iniRead(tmp.path()), s);
}

// [Sync] Folder is written by the command line alone: the windows' write at exit keeps what the file
// holds, so a copy started before `--sync-folder` cannot put the old folder back.
void TestModIni::syncFolder_data()
{
    QTest::addColumn<QByteArray>("file"); // form.ini before; empty: none
    QTest::addColumn<QString>("folder");  // written with iniWriteSyncFolder
    QTest::newRow("no file: made, then set") << QByteArray() << QStringLiteral("/home/u/Sync");
    QTest::newRow("old file without the section")
        << QByteArray("[Main]\r\nPosX=15\r\n") << QStringLiteral("/mnt/共有 フォルダー");
    QTest::newRow("turned off") << QByteArray("[sync]\r\nfolder=\"/old\"\r\n") << QString();
    QTest::newRow("a Shift_JIS file") << QByteArray("[Data]\r\nCodePage=932\r\n") << QStringLiteral("/mnt/共有");
}

void TestModIni::syncFolder()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, folder);
    QTemporaryDir tmp;
    if (!file.isEmpty())
        writeIni(tmp.path(), file);
    Settings running = iniRead(tmp.path());
    iniWriteSyncFolder(tmp.path(), folder);
    QCOMPARE(iniRead(tmp.path()).sync.folder, folder);
    running.main.left = 30;
    iniWrite(tmp.path(), running);
    const Settings after = iniRead(tmp.path());
    QCOMPARE(after.sync.folder, folder);
    QCOMPARE(after.main.left, 30);
    QCOMPARE(readIni(tmp.path()).toLower().count("[sync]"), 1);
    QVERIFY_THROWS_EXCEPTION(CommandError, iniWriteSyncFolder(tmp.path(), QStringLiteral("/a\nb")));
    if (file.contains("CodePage=932")) // a path the file's code page cannot hold is refused, not mangled
        QVERIFY_THROWS_EXCEPTION(CommandError, iniWriteSyncFolder(tmp.path(), QStringLiteral("/home/josé")));
    QCOMPARE(iniRead(tmp.path()).sync.folder, folder);
}

void TestModIni::codePage932WritesShiftJis()
{
    QTemporaryDir tmp;
    writeIni(tmp.path(), "[Data]\r\nCodePage=932\r\n");
    Settings s = iniRead(tmp.path());
    QCOMPARE(s.writePage, CodePage::Cp932);
    s.templatePath = QStringLiteral("/t/日本.txt");
    iniWrite(tmp.path(), s);
    QVERIFY(readIni(tmp.path()).contains("FilePath1=\"/t/\x93\xFA\x96\x7B.txt\""));
    QCOMPARE(iniRead(tmp.path()).templatePath, s.templatePath);
}

void TestModIni::cp932FileFromWindowsReads()
{
    QTemporaryDir tmp;
    writeIni(tmp.path(), "[Data]\r\nFilePath1=\"C:\\\x93\xFA\x96\x7B\\templ.txt\"\r\n");
    QCOMPARE(iniRead(tmp.path()).templatePath, QStringLiteral("C:\\日本\\templ.txt"));
}

void TestModIni::unreadableFolderIsACommandError()
{
    QTemporaryDir tmp;
    const QString notAFolder = tmp.path() + QStringLiteral("/file");
    fileio::touch(notAFolder);
    try {
        iniRead(notAFolder);
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, 76);
    }
}

void TestModIni::farPlacesAreHeldInRange_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("far right") << QByteArray("100000000") << 1000000;
    QTest::newRow("far left") << QByteArray("-100000000") << -1000000;
    QTest::newRow("past int") << QByteArray("2147483648") << 1000000;
    QTest::newRow("past int, negative") << QByteArray("-2147483649") << -1000000;
    QTest::newRow("infinite") << QByteArray("-inf") << -1000000;
    QTest::newRow("exponent") << QByteArray("1e12") << 1000000;
    QTest::newRow("at the limit") << QByteArray("1000000") << 1000000;
    QTest::newRow("off screen, kept") << QByteArray("-32000") << -32000;
    QTest::newRow("ordinary") << QByteArray("1500") << 1500;
}

// Places far outside any screen are kept off screen, but held where the pixel arithmetic of the
// windows cannot overflow.
void TestModIni::farPlacesAreHeldInRange()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    QTemporaryDir tmp;
    QByteArray ini;
    for (const char *section : {"Main", "Picture", "Text", "Pro"})
        ini += QByteArray("[") + section + "]\r\nPosX=" + value + "\r\nPosY=" + value + "\r\nWidth=" + value +
               "\r\nHeight=" + value + "\r\n";
    writeIni(tmp.path(), ini);
    const Settings s = iniRead(tmp.path());
    for (const WindowPlace &place : {s.main, s.pro})
        QCOMPARE((QList<int>{place.left, place.top}), (QList<int>{expected, expected}));
    for (const WindowPlace &place : {s.picture, s.text})
        QCOMPARE(place, (WindowPlace{expected, expected, expected, expected}));
    // Every value read converts to pixels and back at any common DPI without leaving int.
    for (const double dpi : {72.0, 96.0, 144.0, 192.0, 480.0}) {
        const int px = twips::toPixels(s.picture.width - twips::sizableFrameWidth, dpi);
        QVERIFY(qAbs(twips::fromPixels(px, dpi) - (s.picture.width - twips::sizableFrameWidth)) <= 1440 / dpi);
    }
}

void TestModIni::pixelConversionsNeverOverflow_data()
{
    QTest::addColumn<bool>("toPixels");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    const int big = std::numeric_limits<int>::max();
    const int small = std::numeric_limits<int>::min();
    QTest::newRow("twips to pixels") << true << 1500.0 << 100;
    QTest::newRow("twips to pixels, negative") << true << -1500.0 << -100;
    QTest::newRow("twips beyond int") << true << 1e30 << big;
    QTest::newRow("twips beyond int, negative") << true << -1e30 << small;
    QTest::newRow("pixels to twips") << false << 100.0 << 1500;
    QTest::newRow("pixels to twips, negative") << false << -100.0 << -1500;
    QTest::newRow("pixels whose twips pass int") << false << 200000000.0 << big;
    QTest::newRow("pixels whose twips pass int, negative") << false << -200000000.0 << small;
}

void TestModIni::pixelConversionsNeverOverflow()
{
    QFETCH(bool, toPixels);
    QFETCH(double, value);
    QFETCH(int, expected);
    if (toPixels)
        QCOMPARE(twips::toPixels(value, 96), expected);
    else
        QCOMPARE(twips::fromPixels(static_cast<int>(value), 96), expected);
}

void TestModIni::pathWithLineBreakIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("CR LF and a section") << "/t/a\r\n[Main]\r\nPosX=5.txt";
    QTest::newRow("LF and a key") << "/t/a\nTitle=7.txt";
    QTest::newRow("lone CR") << "/t/a\r.txt";
    QTest::newRow("at the end") << "/t/a.txt\n";
}

// A path chosen in a dialog may hold a line break; form.ini cannot. It is refused when chosen, and
// should one reach the file anyway, its key keeps what it held and no key is added.
void TestModIni::pathWithLineBreakIsRefused()
{
    QFETCH(QString, path);
    try {
        checkSettingsPath(path);
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, 75);
        QVERIFY(e.description.contains(path));
    }
    checkSettingsPath(QStringLiteral("/t/a b \"c\" [d]=e.txt")); // anything else goes

    QTemporaryDir tmp;
    Settings s = iniRead(tmp.path());
    s.main = {1500, 600, 0, 0};
    s.title = QStringLiteral("3");
    const QString kept = s.templatePath;
    s.templatePath = path;
    iniWrite(tmp.path(), s);
    const Settings again = iniRead(tmp.path());
    QCOMPARE(again.templatePath, kept);
    QCOMPARE(again.main, s.main);
    QCOMPARE(again.title, QStringLiteral("3"));
    QCOMPARE(readIni(tmp.path()).count("PosX="), 4);
    QCOMPARE(readIni(tmp.path()).count("[Main]"), 1);
}

QTEST_GUILESS_MAIN(TestModIni)
#include "tst_modini.moc"
