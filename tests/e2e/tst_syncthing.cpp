// SPDX-License-Identifier: GPL-3.0-or-later
// The history shared between two machines by the real Syncthing: two Syncthing instances that know
// only each other, on 127.0.0.1 and nothing else, and two programs, each on its own Xvfb with its own
// data folder and runtime folder, sharing the folder their Syncthing keeps. A copy on one side must
// reach the other side's history whole, in order and once, never come back, never land on the other
// side's clipboard, and survive the engine being stopped for a while. The delays are printed.

#include "x11harness.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QSet>
#include <QTcpServer>
#include <QTest>

#include <sys/prctl.h>

using namespace x11harness;

namespace {
// How long a text may take to reach the other side: far above the engine's delay, so that a slow
// machine does not fail; the delays seen are printed.
constexpr int kArriveMs = 30000;

// The folder's watcher delay (1 s, its least; 0 would turn the watcher off) and a short rescan. Without
// <maxConflicts> a folder written here keeps no conflict copies at all.
const char *const kConfig = R"(<configuration version="36">
    <folder id="vornkip-e2e" label="vornkip-e2e" path="%1" type="sendreceive" rescanIntervalS="10"
            fsWatcherEnabled="true" fsWatcherDelayS="1" ignorePerms="false" autoNormalize="true">
        <device id="%2"></device><device id="%3"></device>
        <maxConflicts>10</maxConflicts><minDiskFree unit="%">1</minDiskFree>
    </folder>
    <device id="%2" name="%4" compression="metadata"><address>dynamic</address></device>
    <device id="%3" name="peer" compression="metadata"><address>tcp://127.0.0.1:%5</address></device>
    <gui enabled="true" tls="false"><address>127.0.0.1:%6</address><apikey>%7</apikey></gui>
    <options>
        <listenAddress>tcp://127.0.0.1:%8</listenAddress><reconnectionIntervalS>5</reconnectionIntervalS>
        <globalAnnounceEnabled>false</globalAnnounceEnabled><localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled><natEnabled>false</natEnabled><startBrowser>false</startBrowser>
        <urAccepted>-1</urAccepted><crashReportingEnabled>false</crashReportingEnabled>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
    </options>
</configuration>
)";

// One machine: its Syncthing, its X server and its program, with their folders under `root`.
struct Side
{
    Side()
    {
        // Each ends with the test, even with one killed on a timeout before its clean-up ran.
        for (QProcess *p : {&xvfb, &syncthing, &vornkip})
            p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    }
    QString name;
    QTemporaryDir root;
    QTemporaryDir runtime;
    QString deviceId;
    quint16 guiPort = 0;
    quint16 syncPort = 0;
    QProcessEnvironment env; // the display, runtime folder and data folder of this side's programs
    QProcess xvfb;
    QProcess syncthing;
    QProcess vornkip;
    QString lastCopy;
    QString path(const char *name) const { return root.filePath(name); }
};

// A port of 127.0.0.1 nobody listens on, after `after`. The range lies below the kernel's ephemeral
// ports, so an outgoing connection does not take it before Syncthing binds it.
quint16 freePort(quint16 after)
{
    for (quint16 port = after + 1; port < 29100; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, port))
            return port;
    }
    return 0;
}

// The texts of a side's history, oldest first: each whole line of temp.ifo after its number, its line
// breaks as a copy has them (LF). The program writes each entry with one flushed append, so a read
// while it runs sees whole lines and perhaps a cut last one, which is left out.
QStringList history(const Side &side)
{
    QStringList texts;
    for (const QByteArray &line : fileBytes(side.path("data/temp.ifo")).split('\n')) {
        if (line.endsWith('\r'))
            texts << QString::fromUtf8(line.mid(6).chopped(1)).replace("@1@2@3", "\n");
    }
    return texts;
}

// Syncthing's environment: HOME is needed even with --home (nothing goes there); STMONITORED keeps it
// one process, with no monitor parent that would outlive a kill; STHASHING skips a second of
// benchmarking at each start.
QProcessEnvironment syncthingEnvironment(const Side &side)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", side.root.path());
    for (const char *name : {"STMONITORED", "STNORESTART", "STNOUPGRADE"})
        env.insert(name, "1");
    env.insert("STHASHING", "minio");
    return env;
}
} // namespace

class TestSyncthing : public QObject
{
    Q_OBJECT

public:
    ~TestSyncthing() override { stopAll(); }

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void copyReachesTheOtherSide_data();
    void copyReachesTheOtherSide();
    void burstArrivesWholeInOrderAndOnce();
    void stoppedEngineCatchesUp();
    void nothingDoubledOrEchoedOrOnTheClipboard();

private:
    QJsonObject rest(Side &side, const QByteArray &verb, const QString &path);
    bool startSyncthing(Side &side);
    void stopSyncthing(Side &side);
    bool connected(Side &side, const Side &peer);
    bool copyOn(Side &side, const QString &text);
    // Copies a fresh text on `from` and waits until `to` has it. `from`'s segments are read in the order
    // they were written, so everything it wrote before (an echo, say) has reached `to` by then too.
    bool barrier(Side &from, Side &to);
    void printLogs();
    void stopAll();

    Side m_a;
    Side m_b;
    QNetworkAccessManager m_net;
    int m_barriers = 0;
};

QJsonObject TestSyncthing::rest(Side &side, const QByteArray &verb, const QString &path)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(side.guiPort).arg(path)));
    request.setRawHeader("X-API-Key", side.name.toLatin1() + "-e2e-key");
    request.setTransferTimeout(5000);
    QNetworkReply *reply = m_net.sendCustomRequest(request, verb);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->error() == QNetworkReply::NoError ? QJsonDocument::fromJson(reply->readAll()).object()
                                                    : QJsonObject();
}

// Starts a side's Syncthing and waits until its REST answers; false when it ended or never answered.
bool TestSyncthing::startSyncthing(Side &side)
{
    side.syncthing.setProcessEnvironment(syncthingEnvironment(side));
    side.syncthing.setStandardInputFile(QProcess::nullDevice());
    side.syncthing.setProcessChannelMode(QProcess::MergedChannels);
    side.syncthing.setStandardOutputFile(side.path("syncthing.log"), QIODevice::Append);
    side.syncthing.start("syncthing", {"serve", "--home=" + side.path("st"), "--no-browser", "--no-restart",
                                       "--no-upgrade", "--logfile=-"});
    const auto answers = [&] { return rest(side, "GET", "/rest/system/ping")[u"ping"].toString() == u"pong"; };
    return side.syncthing.waitForStarted() &&
           QTest::qWaitFor([&] { return side.syncthing.state() != QProcess::Running || answers(); }, kStartMs) &&
           side.syncthing.state() == QProcess::Running;
}

// Asks Syncthing to shut down, then ends it by pid: SIGTERM, SIGKILL as the last resort.
void TestSyncthing::stopSyncthing(Side &side)
{
    if (side.syncthing.state() == QProcess::NotRunning)
        return;
    rest(side, "POST", "/rest/system/shutdown");
    // (stop() signals a pid: never that of a program that is gone)
    if (!side.syncthing.waitForFinished(10000) && side.syncthing.state() != QProcess::NotRunning &&
        stop(&side.syncthing, SIGTERM) < 0)
        side.syncthing.kill();
    side.syncthing.waitForFinished();
}

// Whether `side` holds a connection to `peer` (the list also holds the side itself, never connected).
bool TestSyncthing::connected(Side &side, const Side &peer)
{
    return rest(side, "GET", "/rest/system/connections")[u"connections"][peer.deviceId][u"connected"].toBool();
}

bool TestSyncthing::copyOn(Side &side, const QString &text)
{
    g_env = side.env;
    side.lastCopy = text;
    return copyText(text.toUtf8()) && QTest::qWaitFor([&] { return history(side).endsWith(text); }, kWaitMs);
}

bool TestSyncthing::barrier(Side &from, Side &to)
{
    const QString text = QStringLiteral("barrier %1 from %2").arg(++m_barriers).arg(from.name);
    return copyOn(from, text) && QTest::qWaitFor([&] { return history(to).contains(text); }, kArriveMs);
}

void TestSyncthing::initTestCase()
{
    QVERIFY2(QFileInfo(QStringLiteral(VORNKIP_BIN)).isExecutable(), VORNKIP_BIN " is not built");
    for (const char *tool : {"syncthing", "Xvfb", "xclip", "xdotool"}) {
        if (haveTool(tool))
            continue;
        const QByteArray why = QByteArray(tool) + " is not installed (Debian packages syncthing, xvfb, xclip, xdotool)";
        if (!qEnvironmentVariableIsEmpty("CI"))
            QFAIL(why.constData()); // a CI machine that lacks it is set up wrongly: never green by skipping
        QSKIP(why.constData());
    }
    const auto logsOnFailure = qScopeGuard([this] {
        if (QTest::currentTestFailed())
            printLogs();
    });
    m_net.setProxy(QNetworkProxy::NoProxy);
    m_a.name = "A";
    m_b.name = "B";
    quint16 port = 28999;
    for (Side *s : {&m_a, &m_b}) {
        QVERIFY(s->root.isValid() && s->runtime.isValid());
        QVERIFY(QDir().mkpath(s->path("shared/.stfolder"))); // Syncthing refuses a folder without it
        g_env = syncthingEnvironment(*s);
        QCOMPARE(run("syncthing", {"generate", "--home=" + s->path("st"), "--no-default-folder", "--skip-port-probing"})
                     .exitCode,
                 0);
        s->deviceId =
            QString::fromLatin1(run("syncthing", {"serve", "--home=" + s->path("st"), "--device-id"}).out.trimmed());
        QVERIFY2(s->deviceId.size() > 50, qPrintable(s->deviceId));
        s->guiPort = port = freePort(port);
        s->syncPort = port = freePort(port);
        QVERIFY2(s->guiPort && s->syncPort, "no free ports from 29000 to 29099");
    }
    for (Side *s : {&m_a, &m_b}) {
        const Side &peer = s == &m_a ? m_b : m_a;
        QFile config(s->path("st/config.xml"));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(QString::fromLatin1(kConfig)
                         .arg(s->path("shared"), s->deviceId, peer.deviceId, s->name, QString::number(peer.syncPort),
                              QString::number(s->guiPort), s->name + "-e2e-key", QString::number(s->syncPort))
                         .toUtf8());
    }
    // One after the other: B's first dial then finds A listening, where two at once may wait ~20 s for
    // the next try.
    QVERIFY2(startSyncthing(m_a), "Syncthing A did not start");
    QVERIFY2(startSyncthing(m_b), "Syncthing B did not start");
    QVERIFY2(QTest::qWaitFor([this] { return connected(m_a, m_b) && connected(m_b, m_a); }, kArriveMs),
             "the two Syncthing instances did not connect");

    for (Side *s : {&m_a, &m_b}) {
        setUpChildEnvironment(s->runtime.path());
        QVERIFY2(!startXvfb(s->xvfb, 70, 120).isEmpty(), "Xvfb did not start on any display from :70 to :120");
        s->env = g_env;
        s->env.insert("VORNKIP_HOME", s->path("data"));
        QProcess set;
        set.setProcessEnvironment(s->env);
        set.start(QStringLiteral(VORNKIP_BIN), {"--sync-folder", s->path("shared")});
        QVERIFY(set.waitForFinished(kWaitMs));
        QCOMPARE(set.exitCode(), 0);
        s->vornkip.setProcessEnvironment(s->env);
        s->vornkip.setStandardInputFile(QProcess::nullDevice());
        s->vornkip.setProcessChannelMode(QProcess::MergedChannels);
        s->vornkip.setStandardOutputFile(s->path("vornkip.log"));
        s->vornkip.start(QStringLiteral(VORNKIP_BIN));
        QVERIFY2(waitForWindow(mainWindowOf(s->vornkip)), "no vornkip window appeared");
    }
}

void TestSyncthing::cleanup()
{
    if (QTest::currentTestFailed())
        printLogs();
}

void TestSyncthing::cleanupTestCase()
{
    stopAll();
}

// Everything started, ended by pid; nothing is left running, whatever failed before.
void TestSyncthing::stopAll()
{
    for (Side *s : {&m_a, &m_b}) {
        if (s->vornkip.state() != QProcess::NotRunning && stop(&s->vornkip, SIGTERM) < 0)
            s->vornkip.kill();
        s->vornkip.waitForFinished();
        stopSyncthing(*s);
        stopXvfb(s->xvfb);
    }
}

void TestSyncthing::printLogs()
{
    for (const Side *s : {&m_a, &m_b}) {
        for (const char *log : {"syncthing.log", "vornkip.log"})
            qInfo("%s of %s (its end):\n%s", log, qPrintable(s->name), fileBytes(s->path(log)).right(6000).constData());
        qInfo("history of %s: %s", qPrintable(s->name), qPrintable(history(*s).join(" | ")));
    }
}

void TestSyncthing::copyReachesTheOtherSide_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("text");
    QTest::newRow("A to B") << 0 << "one copy from A";
    QTest::newRow("B to A, lines and any script") << 1 << "from B,\tzwei Zeilen — 日本語 😀\n 末尾 ";
}

// The delay a user sees: from the copy on one machine to the entry in the other's history.
void TestSyncthing::copyReachesTheOtherSide()
{
    QFETCH(int, from);
    QFETCH(QString, text);
    Side &source = from == 0 ? m_a : m_b;
    Side &target = from == 0 ? m_b : m_a;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(copyOn(source, text));
    const qint64 recorded = clock.elapsed();
    QVERIFY2(QTest::qWaitFor([&] { return history(target).contains(text); }, kArriveMs),
             qPrintable(target.name + " never received it"));
    qInfo("%s -> %s: recorded after %lld ms, in the other history %lld ms after the copy (watcher delay 1 s)",
          qPrintable(source.name), qPrintable(target.name), recorded, clock.elapsed());
}

// A hundred copies, each recorded before the next replaces it on the clipboard, arrive at B whole, in
// order and once; B sends none of them back to A.
void TestSyncthing::burstArrivesWholeInOrderAndOnce()
{
    const QString prefix = "burst ";
    QStringList burst;
    for (int i = 1; i <= 100; ++i) {
        burst << prefix + QString::number(i);
        QVERIFY2(copyOn(m_a, burst.last()), qPrintable(burst.last()));
    }
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(QTest::qWaitFor([&] { return history(m_b).filter(prefix).size() >= burst.size(); }, kArriveMs),
             qPrintable(QStringLiteral("B has %1 of 100").arg(history(m_b).filter(prefix).size())));
    qInfo("the last of 100 copies on A in B's history %lld ms after it was recorded", clock.elapsed());
    QCOMPARE(history(m_b).filter(prefix), burst);
    QVERIFY(barrier(m_b, m_a));
    QCOMPARE(history(m_a).filter(prefix), burst);
}

// B's Syncthing stopped while A records: once it runs again, B gets every entry, once.
void TestSyncthing::stoppedEngineCatchesUp()
{
    stopSyncthing(m_b);
    QCOMPARE(m_b.syncthing.exitStatus(), QProcess::NormalExit);
    const QString prefix = "while B's Syncthing is stopped ";
    QStringList whileDown;
    for (int i = 1; i <= 5; ++i) {
        whileDown << prefix + QString::number(i);
        QVERIFY(copyOn(m_a, whileDown.last()));
    }
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(startSyncthing(m_b), "Syncthing B did not start again");
    QVERIFY2(QTest::qWaitFor([&] { return history(m_b).filter(prefix).size() >= 5; }, kArriveMs), "B did not catch up");
    qInfo("B caught up %lld ms after its Syncthing was started again (start-up included)", clock.elapsed());
    QCOMPARE(history(m_b).filter(prefix), whileDown);
}

// At the end both histories hold the same entries, each once; what came from the other side is on
// neither clipboard, neither program told of a problem, and both end well.
void TestSyncthing::nothingDoubledOrEchoedOrOnTheClipboard()
{
    const QString ownOnA = m_a.lastCopy;
    QVERIFY(barrier(m_b, m_a));
    g_env = m_a.env;
    QCOMPARE(clipboardText(), ownOnA);
    QVERIFY(barrier(m_a, m_b));
    g_env = m_b.env;
    QCOMPARE(clipboardText(), m_b.lastCopy);

    QStringList a = history(m_a);
    QStringList b = history(m_b);
    QCOMPARE(QSet<QString>(a.begin(), a.end()), QSet<QString>(b.begin(), b.end()));
    QCOMPARE(a.removeDuplicates(), 0); // the histories are printed when it fails
    QCOMPARE(b.removeDuplicates(), 0);
    for (Side *s : {&m_a, &m_b}) {
        g_env = s->env;
        QVERIFY2(findWindows(ofProcess(s->vornkip, {"--name", "履歴の共有"})).isEmpty(),
                 qPrintable(s->name + " told of a sharing problem"));
        // (stop() signals a pid: never that of a program that is gone)
        QVERIFY2(s->vornkip.state() == QProcess::Running && stop(&s->vornkip, SIGTERM) == 0,
                 qPrintable(s->name + " did not end well"));
    }
}

QTEST_GUILESS_MAIN(TestSyncthing)
#include "tst_syncthing.moc"
