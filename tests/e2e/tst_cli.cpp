// The program's command line as a terminal or a packager meets it: the built binary is run with no
// display at all, and what it prints, its exit status and the files it leaves are checked.
#include "version.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run
{
    int status = -1; // -1: crashed or did not end
    QString out;
    QString err;
};
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void withoutADisplay_data();
    void withoutADisplay();
    void autostartEntry();

private:
    Run vornkip(const QStringList &args);

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

Run TestCli::vornkip(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("VORNKIP_HOME"), m_home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral(VORNKIP_BIN), args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
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

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
