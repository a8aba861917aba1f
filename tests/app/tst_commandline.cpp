// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/autostart.h"
#include "app/commandline.h"
#include "app/desktopshortcut.h"
#include "core/commanderror.h"
#include "core/fileio.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <climits>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void historyActions_data();
    void historyActions();
    void syncFolder_data();
    void syncFolder();
    void helpListsTheOptions();
    void wordedWhenShown();
    void entryPath_data();
    void entryPath();
    void execQuoting_data();
    void execQuoting();
    void enableAndDisable();
    void shortcutKeys_data();
    void shortcutKeys();
    void gsettingsLists_data();
    void gsettingsLists();
    void shortcutDesktop_data();
    void shortcutDesktop();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("error");
    const auto row = [](const char *name, const QStringList &args, Action action, bool reset = false, bool on = false,
                        const QString &error = {}) { QTest::newRow(name) << args << action << reset << on << error; };
    row("nothing", {}, Action::Start);
    row("/a", {"/a"}, Action::Start, true);
    row("/A", {"/A"}, Action::Start, true);
    row("/a and more", {"/a", "x"}, Action::Start);
    row("/a with a blank", {"/a "}, Action::Start);
    row("other text is ignored", {"hello", "world"}, Action::Start);
    row("--reset", {"--reset"}, Action::Start, true);
    row("-reset", {"-reset"}, Action::Start, true);
    row("--reset with text", {"--reset", "x"}, Action::Start, true);
    row("--help", {"--help"}, Action::Help);
    row("-h", {"-h"}, Action::Help);
    row("help wins", {"--version", "--help", "--bogus"}, Action::Usage, false, false, "不明なオプションです: --bogus");
    row("--version", {"--version"}, Action::Version);
    row("-v", {"-v"}, Action::Version);
    row("version before reset", {"--reset", "--version"}, Action::Version);
    row("autostart on", {"--autostart", "on"}, Action::Autostart, false, true);
    row("autostart=off", {"--autostart=off"}, Action::Autostart, false, false);
    row("autostart ON", {"--autostart", "ON"}, Action::Autostart, false, true);
    row("autostart yes", {"--autostart", "yes"}, Action::Usage, false, false,
        "--autostart には on か off を指定してください: yes");
    row("autostart without value", {"--autostart"}, Action::Usage, false, false, "--autostart には値が必要です");
    row("autostart and reset", {"--reset", "--autostart", "on"}, Action::Usage, false, false,
        "--autostart と --reset は一緒に使えません");
    row("popup", {"--popup"}, Action::Popup);
    row("-popup with toolkit options", {"-popup", "-platform", "xcb"}, Action::Popup);
    row("popup and reset", {"--popup", "--reset"}, Action::Usage, false, false,
        "--popup と --reset は一緒に使えません");
    row("popup=x", {"--popup=x"}, Action::Usage, false, false, "--popup は値を取りません");
    row("shortcut install", {"--shortcut", "install"}, Action::Shortcut, false, true);
    row("shortcut=Remove", {"--shortcut=Remove"}, Action::Shortcut, false, false);
    row("shortcut on", {"--shortcut", "on"}, Action::Usage, false, false,
        "--shortcut には install か remove を指定してください: on");
    row("shortcut without value", {"--shortcut"}, Action::Usage, false, false, "--shortcut には値が必要です");
    row("shortcut and popup", {"--popup", "--shortcut", "install"}, Action::Usage, false, false,
        "--shortcut と --popup は一緒に使えません");
    row("unknown long", {"--bogus"}, Action::Usage, false, false, "不明なオプションです: --bogus");
    row("unknown short", {"-x"}, Action::Usage, false, false, "不明なオプションです: -x");
    row("unknown with value", {"--colour=red"}, Action::Usage, false, false, "不明なオプションです: --colour");
    row("unknown after /a", {"/a", "-a"}, Action::Usage, false, false, "不明なオプションです: -a");
    row("value to a switch", {"--reset=yes"}, Action::Usage, false, false, "--reset は値を取りません");
    row("after -- all is text", {"--", "--bogus"}, Action::Start);
    // What the toolkit reads itself, a session manager's restart command included.
    row("toolkit options", {"-platform", "xcb", "-session", "1234_5", "-reverse"}, Action::Start);
    row("toolkit option without value", {"-display"}, Action::Usage, false, false, "-display には値が必要です");
    // The history on the terminal: one action at a time; its flags only with --search.
    row("list and print", {"--list", "--print", "5"}, Action::Usage, false, false,
        "--list と --print は一緒に使えません");
    row("print and search", {"--search", "a", "--print", "5"}, Action::Usage, false, false,
        "--print と --search は一緒に使えません");
    row("list and reset", {"--reset", "--list"}, Action::Usage, false, false, "--list と --reset は一緒に使えません");
    row("search and autostart", {"--search=a", "--autostart", "on"}, Action::Usage, false, false,
        "--search と --autostart は一緒に使えません");
    row("help wins over a conflict", {"--list", "--print", "1", "--help"}, Action::Help);
    row("search twice", {"--search", "a", "--search", "b"}, Action::Usage, false, false,
        "--search は一度だけ指定できます");
    row("list twice", {"--list", "--list"}, Action::Usage, false, false, "--list は一度だけ指定できます");
    row("case without search", {"--list", "--case"}, Action::Usage, false, false,
        "--case は --search と一緒に使います");
    row("kana alone", {"--kana"}, Action::Usage, false, false, "--kana は --search と一緒に使います");
    row("width with print", {"--print", "1", "--width"}, Action::Usage, false, false,
        "--width は --search と一緒に使います");
    row("list zero", {"--list", "0"}, Action::Usage, false, false, "--list の件数は 1 以上の整数で指定してください: 0");
    row("list=zero", {"--list=0"}, Action::Usage, false, false, "--list の件数は 1 以上の整数で指定してください: 0");
    row("list=", {"--list="}, Action::Usage, false, false, "--list の件数は 1 以上の整数で指定してください: ");
    row("list word", {"--list", "ten"}, Action::Usage, false, false,
        "--list の件数は 1 以上の整数で指定してください: ten");
    row("list plus", {"--list", "+5"}, Action::Usage, false, false,
        "--list の件数は 1 以上の整数で指定してください: +5");
    row("list negative", {"--list", "-5"}, Action::Usage, false, false, "不明なオプションです: -5");
    row("list full-width digits", {"--list", "５"}, Action::Usage, false, false,
        "--list の件数は 1 以上の整数で指定してください: ５");
    row("list two counts", {"--list", "5", "6"}, Action::Usage, false, false, "余分な引数です: 6");
    row("list=N and a count", {"--list=5", "6"}, Action::Usage, false, false, "余分な引数です: 6");
    row("list with /a", {"/a", "--list"}, Action::Usage, false, false,
        "--list の件数は 1 以上の整数で指定してください: /a");
    row("print without number", {"--print"}, Action::Usage, false, false, "--print には値が必要です");
    row("print zero", {"--print", "0"}, Action::Usage, false, false,
        "--print の番号は 1 から 999999 までの整数で指定してください: 0");
    row("print 1000000", {"--print", "1000000"}, Action::Usage, false, false,
        "--print の番号は 1 から 999999 までの整数で指定してください: 1000000");
    row("print huge", {"--print", "99999999999999999999999"}, Action::Usage, false, false,
        "--print の番号は 1 から 999999 までの整数で指定してください: 99999999999999999999999");
    row("print text", {"--print", "12a"}, Action::Usage, false, false,
        "--print の番号は 1 から 999999 までの整数で指定してください: 12a");
    row("print and a word", {"--print", "12", "x"}, Action::Usage, false, false, "余分な引数です: x");
    row("search without text", {"--search"}, Action::Usage, false, false, "--search には値が必要です");
    row("search text without quotes", {"--search", "two", "words"}, Action::Usage, false, false,
        "余分な引数です: words");
    row("list takes no =value after --", {"--", "--list=5"}, Action::Start);
    row("value to a flag", {"--search", "a", "--case=yes"}, Action::Usage, false, false, "--case は値を取りません");
}

void TestCommandLine::historyActions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("value"); // the count or the entry number
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("options"); // ignored case, width, kana: "c", "w", "k"
    const auto row = [](const char *name, const QStringList &args, Action action, int value, const QString &text = {},
                        const QString &options = {}) {
        QTest::newRow(name) << args << action << value << text << options;
    };
    row("list", {"--list"}, Action::List, 20);
    row("list N", {"--list", "50"}, Action::List, 50);
    row("list=N", {"--list=50"}, Action::List, 50);
    row("-list=N", {"-list=7"}, Action::List, 7);
    row("list leading zeros", {"--list", "007"}, Action::List, 7);
    row("list huge is all", {"--list", "99999999999999999999"}, Action::List, INT_MAX);
    row("N before --list", {"3", "--list"}, Action::List, 3);
    row("list with toolkit option", {"--list", "-platform", "xcb", "4"}, Action::List, 4);
    row("print", {"--print", "123"}, Action::Print, 123);
    row("print as listed", {"--print", "000123"}, Action::Print, 123);
    row("print=", {"--print=999999"}, Action::Print, 999999);
    row("print 1", {"-print", "1"}, Action::Print, 1);
    row("search", {"--search", "abc"}, Action::Search, 0, "abc", "cw");
    row("search=", {"--search=a=b"}, Action::Search, 0, "a=b", "cw");
    row("search a dash", {"--search", "-x"}, Action::Search, 0, "-x", "cw");
    row("search empty", {"--search", ""}, Action::Search, 0, "", "cw");
    row("search japanese", {"--search", "ひらがな"}, Action::Search, 0, "ひらがな", "cw");
    row("search LF as CR LF", {"--search", "a\nb\r\nc\rd"}, Action::Search, 0, "a\r\nb\r\nc\r\nd", "cw");
    row("--case", {"--search", "a", "--case"}, Action::Search, 0, "a", "w");
    row("--width", {"--width", "--search", "a"}, Action::Search, 0, "a", "c");
    row("--kana", {"--search", "a", "--kana"}, Action::Search, 0, "a", "cwk");
    row("all flags", {"--kana", "--case", "--width", "--search", "a"}, Action::Search, 0, "a", "k");
}

void TestCommandLine::historyActions()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(QString, options);
    CommandLine commandLine;
    commandLine.parse(args);
    QCOMPARE(commandLine.error(), QString());
    QCOMPARE(commandLine.action(), action);
    QVERIFY(!commandLine.reset());
    if (action == Action::List)
        QCOMPARE(commandLine.listCount(), value);
    if (action == Action::Print)
        QCOMPARE(commandLine.printNumber(), value);
    if (action == Action::Search) {
        QCOMPARE(commandLine.searchText(), text);
        const historysearch::Options o = commandLine.searchOptions();
        QCOMPARE(o.ignoreCase, options.contains(QLatin1Char('c')));
        QCOMPARE(o.ignoreWidth, options.contains(QLatin1Char('w')));
        QCOMPARE(o.ignoreKana, options.contains(QLatin1Char('k')));
    }
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(bool, reset);
    QFETCH(bool, on);
    QFETCH(QString, error);
    CommandLine commandLine;
    commandLine.parse(args);
    QCOMPARE(commandLine.action(), action);
    QCOMPARE(commandLine.error(), error);
    if (action == Action::Start)
        QCOMPARE(commandLine.reset(), reset);
    if (action == Action::Autostart)
        QCOMPARE(commandLine.autostartOn(), on);
    if (action == Action::Shortcut)
        QCOMPARE(commandLine.shortcutInstall(), on);
}

// "@" stands for an existing folder (holding the folder "sub" and the file "file"), also the current one.
void TestCommandLine::syncFolder_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("folder"); // null: refused with `error`
    QTest::addColumn<QString>("error");
    const auto row = [](const char *name, const QStringList &args, const QString &folder, const QString &error = {}) {
        QTest::newRow(name) << args << folder << error;
    };
    row("a folder", {"--sync-folder", "@"}, "@");
    row("made absolute and clean", {"--sync-folder=sub/../sub/"}, "@/sub");
    row("off", {"--sync-folder", "off"}, "");
    row("OFF", {"--sync-folder", "OFF"}, "");
    row("missing folder", {"--sync-folder", "@/none"}, {},
        "--sync-folder にはあるフォルダーか off を指定してください: @/none");
    row("a file", {"--sync-folder", "file"}, {}, "--sync-folder にはあるフォルダーか off を指定してください: file");
    row("empty", {"--sync-folder="}, {}, "--sync-folder にはあるフォルダーか off を指定してください: ");
    row("without value", {"--sync-folder"}, {}, "--sync-folder には値が必要です");
    row("with popup", {"--popup", "--sync-folder", "off"}, {}, "--sync-folder と --popup は一緒に使えません");
}

void TestCommandLine::syncFolder()
{
    QFETCH(QStringList, args);
    QFETCH(QString, folder);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    fileio::writeFileAtomic(dir.path() + QStringLiteral("/file"), "x");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    CommandLine commandLine;
    commandLine.parse(args.replaceInStrings(QStringLiteral("@"), dir.path()));
    QDir::setCurrent(before);
    QCOMPARE(commandLine.error(), QString(error).replace(QLatin1Char('@'), dir.path()));
    QCOMPARE(commandLine.action(), folder.isNull() ? Action::Usage : Action::SyncFolder);
    QCOMPARE(commandLine.syncFolder(), QString(folder).replace(QLatin1Char('@'), dir.path()));
}

void TestCommandLine::helpListsTheOptions()
{
    CommandLine commandLine;
    commandLine.parse({"--help"});
    const QString help = commandLine.helpText();
    for (const char *option :
         {"--help", "--version", "--reset", "--autostart <on|off>", "--list", "--print <number>", "--search <text>",
          "--case", "--width", "--kana", "--popup", "--shortcut <install|remove>", "--sync-folder <path|off>"})
        QVERIFY2(help.contains(QString::fromUtf8(option)), option);
    // The usage line names the program as it was started, whatever folder it is in.
    const QString options = QString(help).remove(QCoreApplication::arguments().constFirst());
    for (const char *hidden : {"platform", "session"})
        QVERIFY2(!options.contains(QLatin1String(hidden)), hidden);
    QCOMPARE(CommandLine::versionText(), QStringLiteral("vornkip " VORNKIP_VERSION));
}

// The arguments are read before the program installs its translator: what is shown must still follow it.
void TestCommandLine::wordedWhenShown()
{
    struct Wrapping final : QTranslator
    {
        bool isEmpty() const override { return false; }
        QString translate(const char *context, const char *source, const char *, int) const override
        {
            return qstrcmp(context, "CommandLine") == 0 ? QStringLiteral("[[%1]]").arg(QString::fromUtf8(source))
                                                        : QString();
        }
    };
    CommandLine refused;
    refused.parse({"--print", "5", "--list"});
    CommandLine help;
    help.parse({"--help"});
    Wrapping wrapping;
    QCoreApplication::installTranslator(&wrapping);
    const QString error = refused.error();
    const QString text = help.helpText();
    QCoreApplication::removeTranslator(&wrapping);
    QCOMPARE(error, QStringLiteral("[[--list と --print は一緒に使えません]]"));
    QVERIFY2(text.contains(QStringLiteral("[[このヘルプを表示して終了します。]]")), qPrintable(text));
}

void TestCommandLine::entryPath_data()
{
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("expected");
    QTest::newRow("set") << "/tmp/cfg/"
                         << "/tmp/cfg/autostart/io.github.vornkip.Vornkip.desktop";
    QTest::newRow("unset") << ""
                           << "/home/u/.config/autostart/io.github.vornkip.Vornkip.desktop";
    QTest::newRow("relative is ignored") << "cfg"
                                         << "/home/u/.config/autostart/io.github.vornkip.Vornkip.desktop";
}

void TestCommandLine::entryPath()
{
    QFETCH(QString, configHome);
    QFETCH(QString, expected);
    QCOMPARE(autostart::entryPath(configHome, QStringLiteral("/home/u")), expected);
}

void TestCommandLine::execQuoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/vornkip"
                           << "Exec=/usr/bin/vornkip\n";
    QTest::newRow("blank") << "/opt/my apps/vornkip"
                           << "Exec=\"/opt/my apps/vornkip\"\n";
    QTest::newRow("percent") << "/opt/100%/vornkip"
                             << "Exec=/opt/100%%/vornkip\n";
    // Quoted, the shell's specials escaped; then the backslashes escaped once more for the file.
    QTest::newRow("dollar and quote") << "/opt/a$b\"c/vornkip"
                                      << "Exec=\"/opt/a\\\\$b\\\\\"c/vornkip\"\n";
    QTest::newRow("backslash") << "/opt/a\\b/vornkip"
                               << "Exec=\"/opt/a\\\\\\\\b/vornkip\"\n";
    QTest::newRow("japanese") << "/home/ユーザー/vornkip"
                              << "Exec=/home/ユーザー/vornkip\n";
}

void TestCommandLine::execQuoting()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    const QString entry = QString::fromUtf8(autostart::entry(program));
    QVERIFY2(entry.contains(QLatin1Char('\n') + exec), qPrintable(entry));
    QVERIFY(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    for (const char *key : {"\nX-GNOME-Autostart-Delay=", "\nX-KDE-autostart-after=panel\n",
                            "\nIcon=io.github.vornkip.Vornkip\n", "\nTryExec="})
        QVERIFY2(entry.contains(QLatin1String(key)), key);
}

void TestCommandLine::enableAndDisable()
{
    QTemporaryDir dir;
    const QString path = autostart::entryPath(dir.path() + QStringLiteral("/new/config"), QString());
    QVERIFY(!autostart::disable(path)); // nothing there yet
    autostart::enable(path, QStringLiteral("/usr/bin/vornkip"));
    QCOMPARE(fileio::readWholeFile(path), autostart::entry(QStringLiteral("/usr/bin/vornkip")));
    autostart::enable(path, QStringLiteral("/opt/vornkip")); // again: replaced, not doubled
    QCOMPARE(fileio::readWholeFile(path), autostart::entry(QStringLiteral("/opt/vornkip")));
    QVERIFY(autostart::disable(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!autostart::disable(path));

    // A folder that cannot be created is an error, not a silent success.
    fileio::writeFileAtomic(dir.path() + QStringLiteral("/file"), "x");
    QVERIFY_THROWS_EXCEPTION(CommandError,
                             autostart::enable(autostart::entryPath(dir.path() + QStringLiteral("/file"), QString()),
                                               QStringLiteral("/usr/bin/vornkip")));
}

void TestCommandLine::shortcutKeys_data()
{
    QTest::addColumn<QString>("portable");
    QTest::addColumn<QString>("gnome");
    QTest::addColumn<QString>("sway");
    QTest::addColumn<QString>("hyprland");
    const auto row = [](const char *portable, const char *gnome, const char *sway, const char *hyprland) {
        QTest::newRow(portable) << portable << gnome << sway << hyprland;
    };
    row("Ctrl+Alt+V", "<Primary><Alt>v", "Ctrl+Alt+v", "CTRL ALT, V");
    row("Meta+Shift+F12", "<Shift><Super>F12", "Shift+Mod4+F12", "SHIFT SUPER, F12");
    row("shift+ctrl+PgDown", "<Primary><Shift>Page_Down", "Ctrl+Shift+Page_Down", "CTRL SHIFT, Page_Down");
    row("Alt+Space", "<Alt>space", "Alt+space", "ALT, space");
    row("Ctrl++", "<Primary>plus", "Ctrl+plus", "CTRL, plus");
    row("Ctrl+.", "<Primary>period", "Ctrl+period", "CTRL, period");
    row(" Ctrl+Alt+1 ", "<Primary><Alt>1", "Ctrl+Alt+1", "CTRL ALT, 1");
    row("F9", "F9", "F9", ", F9");
    row("", "", "", "");
    row("Ctrl+K, Ctrl+V", "", "", "");
    row("Hyper+V", "", "", "");
    row("Ctrl+", "", "", "");
    row("Ctrl+F0", "", "", "");
    row("Ctrl+Ä", "", "", "");
}

// form.ini's keys as each desktop writes them; what cannot be written there is refused, not guessed.
void TestCommandLine::shortcutKeys()
{
    QFETCH(QString, portable);
    QFETCH(QString, gnome);
    QFETCH(QString, sway);
    QFETCH(QString, hyprland);
    QCOMPARE(desktopshortcut::gnomeKeys(portable), gnome);
    QCOMPARE(desktopshortcut::swayKeys(portable), sway);
    QCOMPARE(desktopshortcut::hyprlandKeys(portable), hyprland);
}

void TestCommandLine::gsettingsLists_data()
{
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("written");
    QTest::newRow("empty") << "@as []" << QStringList() << "@as []";
    QTest::newRow("two") << "['/a/custom0/', '/b/']" << QStringList{"/a/custom0/", "/b/"} << "['/a/custom0/', '/b/']";
    QTest::newRow("quotes and backslashes")
        << R"(["it's", 'a\\b', 'c\'d'])" << QStringList{"it's", "a\\b", "c'd"} << R"(['it\'s', 'a\\b', 'c\'d'])";
}

// GNOME's list of custom keybindings as gsettings prints and takes it: read, changed and written back
// without losing the other entries.
void TestCommandLine::gsettingsLists()
{
    QFETCH(QString, printed);
    QFETCH(QStringList, items);
    QFETCH(QString, written);
    QCOMPARE(desktopshortcut::parseStringList(printed), items);
    QCOMPARE(desktopshortcut::stringListText(items), written);
    QCOMPARE(desktopshortcut::parseStringList(written), items);
}

void TestCommandLine::shortcutDesktop_data()
{
    using Kind = desktopshortcut::Kind;
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("swaySocket");
    QTest::addColumn<bool>("hyprland");
    QTest::addColumn<int>("kind");
    QTest::newRow("GNOME") << "GNOME" << false << false << int(Kind::Gnome);
    QTest::newRow("Ubuntu's GNOME") << "ubuntu:GNOME" << false << false << int(Kind::Gnome);
    QTest::newRow("sway") << "sway" << true << false << int(Kind::Sway);
    QTest::newRow("sway socket alone") << "" << true << false << int(Kind::Sway);
    QTest::newRow("Hyprland") << "Hyprland" << false << true << int(Kind::Hyprland);
    QTest::newRow("KDE with a stale sway socket") << "KDE" << true << false << int(Kind::Other);
    QTest::newRow("nothing") << "" << false << false << int(Kind::Other);
}

void TestCommandLine::shortcutDesktop()
{
    QFETCH(QString, current);
    QFETCH(bool, swaySocket);
    QFETCH(bool, hyprland);
    QFETCH(int, kind);
    QCOMPARE(int(desktopshortcut::desktopKind(current, swaySocket, hyprland)), kind);
    // The command a desktop splits like a shell.
    QCOMPARE(desktopshortcut::popupCommand("/usr/bin/vornkip"), "/usr/bin/vornkip --popup");
    QCOMPARE(desktopshortcut::popupCommand("/opt/my app's/vornkip"), R"('/opt/my app'\''s/vornkip' --popup)");
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
