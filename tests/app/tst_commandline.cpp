#include "app/autostart.h"
#include "app/commandline.h"
#include "core/commanderror.h"
#include "core/fileio.h"
#include "version.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpListsTheOptions();
    void entryPath_data();
    void entryPath();
    void execQuoting_data();
    void execQuoting();
    void enableAndDisable();
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
    row("unknown long", {"--bogus"}, Action::Usage, false, false, "不明なオプションです: --bogus");
    row("unknown short", {"-x"}, Action::Usage, false, false, "不明なオプションです: -x");
    row("unknown with value", {"--colour=red"}, Action::Usage, false, false, "不明なオプションです: --colour");
    row("unknown after /a", {"/a", "-a"}, Action::Usage, false, false, "不明なオプションです: -a");
    row("value to a switch", {"--reset=yes"}, Action::Usage, false, false, "--reset は値を取りません");
    row("after -- all is text", {"--", "--bogus"}, Action::Start);
    // What the toolkit reads itself, a session manager's restart command included.
    row("toolkit options", {"-platform", "xcb", "-session", "1234_5", "-reverse"}, Action::Start);
    row("toolkit option without value", {"-display"}, Action::Usage, false, false, "-display には値が必要です");
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
}

void TestCommandLine::helpListsTheOptions()
{
    CommandLine commandLine;
    commandLine.parse({"--help"});
    const QString help = commandLine.helpText();
    for (const char *option : {"--help", "--version", "--reset", "--autostart <on|off>"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
    for (const char *hidden : {"platform", "session"})
        QVERIFY2(!help.contains(QLatin1String(hidden)), hidden);
    QCOMPARE(CommandLine::versionText(), QStringLiteral("vornkip " VORNKIP_VERSION));
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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
