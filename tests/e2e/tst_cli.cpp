// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line as a terminal or a packager meets it: the built binary is run with no
// display at all, and what it prints, its exit status and the files it leaves are checked.
#include "testlocale.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {
struct Run
{
    int status = -1; // -1: crashed or did not end
    QString out;
    QString err;
    QByteArray bytes; // stdout as written
};

// A history as the bar writes it, and what the terminal options make of it. Entry 1 appears twice: the
// numbers wrapped around after 999999.
const QByteArray longText = QByteArray("long ").repeated(2000);
const QByteArray historyBytes =
    "000001First ever\r\n"
    "000002Line one@1@2@3Line two@1@2@3@1@2@3\tlast, with a tab\r\n"
    "not a numbered line\r\n"
    "000003\xe3\x81\xb2\xe3\x82\x89\xe3\x81\x8c\xe3\x81\xaa\xe3\x81\xae\xef\xbc\xa1\xef\xbc\xa2"
    "\xef\xbc\xa3\r\n" // ひらがなのＡＢＣ
    "000004" +
    longText +
    "@1@2@3end\r\n"
    "000005Hello World\r\n"
    "000001Hello again\r\n"
    "000006\x83\x4a\x83\x69\r\n"; // カナ in Shift_JIS
const QByteArray line6 = "000006\t\xe3\x82\xab\xe3\x83\x8a\n";
const QByteArray line1 = "000001\tHello again\n";
const QByteArray line5 = "000005\tHello World\n";
const QByteArray line4 = "000004\t" + longText + "\n";
const QByteArray line3 = "000003\t\xe3\x81\xb2\xe3\x82\x89\xe3\x81\x8c\xe3\x81\xaa\xe3\x81\xae\xef\xbc\xa1\xef\xbc\xa2"
                         "\xef\xbc\xa3\n";
const QByteArray line2 = "000002\tLine one\n";
const QByteArray line1Old = "000001\tFirst ever\n";
const QByteArray allLines = line6 + line1 + line5 + line4 + line3 + line2 + line1Old;

struct FileState
{
    QByteArray bytes;
    qint64 mtimeNs = -1;
    QStringList folder; // every name in the data folder
    bool operator==(const FileState &) const = default;
};

FileState stateOf(const QString &folder)
{
    FileState state;
    QFile file(folder + QStringLiteral("/temp.ifo"));
    if (file.open(QIODevice::ReadOnly))
        state.bytes = file.readAll();
    struct stat st = {};
    if (::stat(QFile::encodeName(file.fileName()).constData(), &st) == 0)
        state.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    state.folder = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return state;
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void withoutADisplay_data();
    void withoutADisplay();
    void autostartEntry();
    void syncFolderSetting();
    void history_data();
    void history();
    void historyMissingOrUnreadable();
    void shortcutInGnome();
    void shortcutElsewhere_data();
    void shortcutElsewhere();

private:
    Run vornkip(const QStringList &args, const QStringList &settings = {});
    QString gsettings(const QStringList &args) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;   // VORNKIP_HOME, not created beforehand
    QString m_config; // XDG_CONFIG_HOME
};

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_home = m_dir->filePath(QStringLiteral("data"));
    m_config = m_dir->filePath(QStringLiteral("config"));
}

// `settings`: more of the environment, as NAME=value.
Run TestCli::vornkip(const QStringList &args, const QStringList &settings)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY", "XDG_CURRENT_DESKTOP",
                             "XDG_SESSION_TYPE", "SWAYSOCK", "HYPRLAND_INSTANCE_SIGNATURE"})
        env.remove(QLatin1String(name));
    testlocale::pin(env);
    for (const QString &setting : settings)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    env.insert(QStringLiteral("VORNKIP_HOME"), m_home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral(VORNKIP_BIN), args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    const QByteArray out = p.readAllStandardOutput();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(out),
            QString::fromUtf8(p.readAllStandardError()), out};
}

void TestCli::withoutADisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");   // a part of stdout ("" for none at all)
    QTest::addColumn<QString>("error"); // stderr, whole ("" for none)
    const QString version = QStringLiteral("vornkip " VORNKIP_VERSION "\n");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "";
    QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "--autostart <on|off>"
                            << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << "--reset"
                        << "";
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << 2 << ""
                             << "vornkip: 不明なオプションです: --frobnicate\n";
    QTest::newRow("unknown beside /a") << QStringList{"/a", "-x"} << 2 << ""
                                       << "vornkip: 不明なオプションです: -x\n";
    QTest::newRow("autostart maybe") << QStringList{"--autostart", "maybe"} << 2 << ""
                                     << "vornkip: --autostart には on か off を指定してください: maybe\n";
    QTest::newRow("shortcut maybe") << QStringList{"--shortcut", "maybe"} << 2 << ""
                                    << "vornkip: --shortcut には install か remove を指定してください: maybe\n";
    QTest::newRow("sync folder missing") << QStringList{"--sync-folder", "/nonexistent/sync"} << 2 << ""
                                         << "vornkip: --sync-folder にはあるフォルダーか off を指定してください: "
                                            "/nonexistent/sync\n";
    QTest::newRow("popup") << QStringList{"--popup"} << 1 << ""
                           << "vornkip: no display available (DISPLAY and WAYLAND_DISPLAY are not set)\n";
    // Without an option the bar is started, which needs a display.
    QTest::newRow("no option") << QStringList{"/a"} << 1 << ""
                               << "vornkip: no display available (DISPLAY and WAYLAND_DISPLAY are not set)\n";
}

void TestCli::withoutADisplay()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, error);
    const Run r = vornkip(args);
    QCOMPARE(r.err, error);
    QCOMPARE(r.status, status);
    if (out.isEmpty())
        QCOMPARE(r.out, QString());
    else
        QVERIFY2(r.out.contains(out), qPrintable(r.out));
    // Nothing was started: no data folder, no login entry.
    QVERIFY(!QFile::exists(m_home));
    QVERIFY(!QFile::exists(m_config));
}

void TestCli::autostartEntry()
{
    const QString entry = m_config + QStringLiteral("/autostart/io.github.vornkip.Vornkip.desktop");
    Run r = vornkip({QStringLiteral("--autostart"), QStringLiteral("on")});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains(entry), qPrintable(r.out));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    file.close();
    QVERIFY2(
        text.contains("\nExec=" + QFile::encodeName(QFileInfo(QStringLiteral(VORNKIP_BIN)).canonicalFilePath()) + "\n"),
        text.constData());
    QVERIFY(!QFile::exists(m_home)); // the bar was not started
    // What desktops read it with accepts it.
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validator.isEmpty()) {
        QProcess v;
        v.start(validator, {entry});
        QVERIFY(v.waitForFinished());
        const QByteArray said = v.readAllStandardOutput() + v.readAllStandardError();
        QVERIFY2(v.exitCode() == 0 && said.isEmpty(), said.constData());
    }

    r = vornkip({QStringLiteral("--autostart=off")});
    QCOMPARE(r.status, 0);
    QVERIFY(!QFile::exists(entry));
    // Off again: nothing to remove is not a failure.
    r = vornkip({QStringLiteral("--autostart"), QStringLiteral("off")});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QString());

    // A folder that cannot be made is told, with a failure status.
    QVERIFY(QFile::remove(m_config + QStringLiteral("/autostart")) ||
            QDir(m_config + QStringLiteral("/autostart")).removeRecursively());
    QFile blocker(m_config + QStringLiteral("/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    r = vornkip({QStringLiteral("--autostart"), QStringLiteral("on")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("vornkip: ログイン時の起動を設定できません: ")), qPrintable(r.err));
}

// --sync-folder writes form.ini's [Sync] Folder (the data folder made when missing), says so, and fails
// with status 1 when the data folder cannot be made.
void TestCli::syncFolderSetting()
{
    const QString shared = m_dir->filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(shared));
    Run r = vornkip({QStringLiteral("--sync-folder"), shared});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains(shared), qPrintable(r.out));
    QFile ini(m_home + QStringLiteral("/form.ini"));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("[Sync]\r\nFolder=\"" + QFile::encodeName(shared) + "\"\r\n"));
    ini.close();
    QCOMPARE(vornkip({QStringLiteral("--sync-folder"), QStringLiteral("off")}).status, 0);
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("[Sync]\r\nFolder=\r\n"));
    ini.close();

    m_home = m_dir->filePath(QStringLiteral("blocked/data"));
    QFile blocker(m_dir->filePath(QStringLiteral("blocked")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    r = vornkip({QStringLiteral("--sync-folder"), shared});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("vornkip: 履歴の共有を設定できません: ")), qPrintable(r.err));
}

void TestCli::history_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out"); // stdout, exactly
    QTest::addColumn<QString>("error");  // stderr, exactly
    const auto row = [](const char *name, const QStringList &args, int status, const QByteArray &out,
                        const QString &error = {}) { QTest::newRow(name) << args << status << out << error; };
    row("list", {"--list"}, 0, allLines);
    row("list 2", {"--list", "2"}, 0, line6 + line1);
    row("list=3", {"--list=3"}, 0, line6 + line1 + line5);
    row("list more than there are", {"--list", "1000"}, 0, allLines);
    // Byte for byte as the clipboard gets it: line breaks as LF, the tab kept, nothing added at the end.
    row("print multi-line", {"--print", "2"}, 0, "Line one\nLine two\n\n\tlast, with a tab");
    row("print as listed", {"--print", "000002"}, 0, "Line one\nLine two\n\n\tlast, with a tab");
    row("print the newest of a number", {"--print", "1"}, 0, "Hello again");
    row("print long", {"--print", "4"}, 0, longText + "\nend");
    row("print Shift_JIS as UTF-8", {"--print", "6"}, 0, "\xe3\x82\xab\xe3\x83\x8a");
    row("print a missing number", {"--print", "7"}, 1, {});
    row("search", {"--search", "hello"}, 0, line1 + line5);
    row("search --case", {"--search", "hello", "--case"}, 1, {});
    row("search --case exact", {"--case", "--search", "Hello W"}, 0, line5);
    row("search in a later line", {"--search", "line TWO"}, 0, line2);
    row("search ignores width", {"--search", "abc"}, 0, line3);
    row("search --width", {"--search", "abc", "--width"}, 1, {});
    row("search --width full-width", {"--search", "\xef\xbc\xa1\xef\xbc\xa2", "--width"}, 0, line3);
    row("search kana apart", {"--search", "\xe3\x83\x92\xe3\x83\xa9\xe3\x82\xac\xe3\x83\x8a"}, 1, {}); // ヒラガナ
    row("search --kana", {"--search", "\xe3\x83\x92\xe3\x83\xa9\xe3\x82\xac\xe3\x83\x8a", "--kana"}, 0, line3);
    row("search Shift_JIS entry", {"--search", "\xe3\x81\x8b\xe3\x81\xaa", "--kana"}, 0, line6); // かな
    row("search long", {"--search", "long end"}, 1, {});
    row("search across a line break", {"--search", "long \r\nend"}, 0, line4);
    row("search across a line break typed as LF", {"--search", "long \nend"}, 0, line4);
    row("search empty is all", {"--search", ""}, 0, allLines);
    row("search unnumbered line", {"--search", "numbered"}, 1, {});
    row("list zero", {"--list", "0"}, 2, {}, "vornkip: --list の件数は 1 以上の整数で指定してください: 0\n");
    row("print out of range", {"--print", "1000000"}, 2, {},
        "vornkip: --print の番号は 1 から 999999 までの整数で指定してください: 1000000\n");
    row("two actions", {"--list", "--search", "a"}, 2, {}, "vornkip: --list と --search は一緒に使えません\n");
    row("with reset", {"--print", "1", "--reset"}, 2, {}, "vornkip: --print と --reset は一緒に使えません\n");
    row("flag alone", {"--list", "--kana"}, 2, {}, "vornkip: --kana は --search と一緒に使います\n");
    row("unknown", {"--search", "a", "--nocase"}, 2, {}, "vornkip: 不明なオプションです: --nocase\n");
}

void TestCli::history()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QString, error);
    QVERIFY(QDir().mkpath(m_home));
    QFile file(m_home + QStringLiteral("/temp.ifo"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(historyBytes), historyBytes.size());
    // An old time stamp, so that any write would show.
    QVERIFY(file.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)), QFileDevice::FileModificationTime));
    file.close();
    const FileState before = stateOf(m_home);

    const Run r = vornkip(args);
    QCOMPARE(r.err, error);
    QCOMPARE(r.status, status);
    QCOMPARE(r.bytes, out);
    // Read only: the file, its time and the folder as they were (no lock file either).
    QVERIFY(stateOf(m_home) == before);
}

void TestCli::historyMissingOrUnreadable()
{
    const QStringList actions[] = {{"--list"}, {"--print", "1"}, {"--search", ""}};
    // No data folder: an empty history, and the folder is not made.
    for (const QStringList &args : actions) {
        const Run r = vornkip(args);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.bytes, QByteArray());
        QCOMPARE(r.err, QString());
        QVERIFY(!QFile::exists(m_home));
    }
    // A folder without a history, an empty history, and a file that is no history (its first line has
    // no number): nothing to print.
    QVERIFY(QDir().mkpath(m_home));
    const QString path = m_home + QStringLiteral("/temp.ifo");
    for (const QByteArray &content : {QByteArray(), QByteArray("just some text\r\n000001not an entry\r\n")}) {
        for (const QStringList &args : actions) {
            const Run r = vornkip(args);
            QCOMPARE(r.status, 1);
            QCOMPARE(r.bytes, QByteArray());
            QCOMPARE(r.err, QString());
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(QFile::remove(path));
    // A history that cannot be read is an error, told in one line: a folder in its place (a file
    // without read permission would be read anyway by root), or a symbolic link, which the bar refuses
    // too, whether it leads to a history or nowhere.
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere.ifo"));
    QFile target(elsewhere);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write("000001not to be read\r\n");
    target.close();
    for (const QString &link : {elsewhere, m_dir->filePath(QStringLiteral("nowhere.ifo")), QString()}) {
        if (link.isEmpty()) {
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkdir(path));
        } else {
            QFile::remove(path);
            QVERIFY(QFile::link(link, path));
        }
        for (const QStringList &args : actions) {
            const Run r = vornkip(args);
            QCOMPARE(r.status, 2);
            QCOMPARE(r.bytes, QByteArray());
            QVERIFY2(
                r.err.startsWith(QStringLiteral("vornkip: 履歴ファイルを読めません: ") + path + QStringLiteral(": ")),
                qPrintable(r.err));
            QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
            QVERIFY(r.err.endsWith(QLatin1Char('\n')));
        }
    }
}

QString TestCli::gsettings(const QStringList &args) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("gsettings"), args);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return QStringLiteral("gsettings failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// On GNOME the binding is one of the desktop's custom keybindings, written through GSettings (here its
// key file back-end in the test's own configuration folder): ours is added beside the user's own,
// once, with the keys of form.ini, and removing takes away ours alone.
void TestCli::shortcutInGnome()
{
    const QString schema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
    const QString ours =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/vornkip-popup/");
    const QString entry = schema + QStringLiteral(".custom-keybinding:") + ours;
    const QString list = QStringLiteral("custom-keybindings");
    QCOMPARE(gsettings({"set", schema, list, "['/mine/']"}), QString());
    const QStringList gnome{"GSETTINGS_BACKEND=keyfile", "XDG_CURRENT_DESKTOP=ubuntu:GNOME"};
    const QString command = QFileInfo(QStringLiteral(VORNKIP_BIN)).canonicalFilePath() + QStringLiteral(" --popup");

    for (int run = 0; run < 2; ++run) { // a second install changes nothing
        const Run r = vornkip({"--shortcut", "install"}, gnome);
        QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(r.err));
        QVERIFY2(r.out.contains(command), qPrintable(r.out));
        QCOMPARE(gsettings({"get", schema, list}), QStringLiteral("['/mine/', '%1']").arg(ours));
        QCOMPARE(gsettings({"get", entry, "binding"}), QStringLiteral("'<Primary><Alt>v'"));
        QCOMPARE(gsettings({"get", entry, "command"}), QStringLiteral("'%1'").arg(command));
        QCOMPARE(gsettings({"get", entry, "name"}), QStringLiteral("'Vornkip'"));
    }
    QVERIFY(!QFile::exists(m_home)); // read, never made

    // The keys come from [Popup] Shortcut.
    QVERIFY(QDir().mkpath(m_home));
    QFile ini(m_home + QStringLiteral("/form.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Popup]\r\nShortcut=Meta+Shift+F9\r\n");
    ini.close();
    QCOMPARE(vornkip({"--shortcut", "install"}, gnome).status, 0);
    QCOMPARE(gsettings({"get", entry, "binding"}), QStringLiteral("'<Shift><Super>F9'"));
    QCOMPARE(gsettings({"get", schema, list}), QStringLiteral("['/mine/', '%1']").arg(ours));

    for (const char *said : {"削除しました", "登録されていません"}) {
        const Run r = vornkip({"--shortcut", "remove"}, gnome);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QString::fromUtf8(said)), qPrintable(r.out));
        QCOMPARE(gsettings({"get", schema, list}), QStringLiteral("['/mine/']"));
        QCOMPARE(gsettings({"get", entry, "binding"}), QStringLiteral("''"));
    }

    // No shortcut in form.ini: nothing to install.
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Popup]\r\nShortcut=\r\n");
    ini.close();
    const Run r = vornkip({"--shortcut", "install"}, gnome);
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("[Popup] Shortcut")), qPrintable(r.err));
    QCOMPARE(gsettings({"get", schema, list}), QStringLiteral("['/mine/']"));
}

void TestCli::shortcutElsewhere_data()
{
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("line"); // its end; %1 is the program's path
    QTest::newRow("sway") << QStringList{"SWAYSOCK=/run/sway.sock"} << "\nbindsym Ctrl+Alt+v exec %1 --popup\n";
    QTest::newRow("Hyprland") << QStringList{"XDG_CURRENT_DESKTOP=Hyprland"}
                              << "\nbind = CTRL ALT, V, exec, %1 --popup\n";
    QTest::newRow("KDE") << QStringList{"XDG_CURRENT_DESKTOP=KDE"} << "\n%1 --popup\n";
    // The bar grabs the key itself there: a GNOME binding would take it away.
    QTest::newRow("GNOME on X11") << QStringList{"XDG_CURRENT_DESKTOP=GNOME", "XDG_SESSION_TYPE=x11",
                                                 "GSETTINGS_BACKEND=keyfile"}
                                  << "\n%1 --popup\n";
}

// Where the program cannot write the binding, it prints the exact line or command to bind, and where.
void TestCli::shortcutElsewhere()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, line);
    const Run r = vornkip({"--shortcut", "install"}, settings);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QString());
    QVERIFY2(r.out.endsWith(line.arg(QFileInfo(QStringLiteral(VORNKIP_BIN)).canonicalFilePath())), qPrintable(r.out));
    QVERIFY(!QFile::exists(m_config));
    QVERIFY(!QFile::exists(m_home));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
