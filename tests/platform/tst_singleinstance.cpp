#include "core/commanderror.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {
volatile sig_atomic_t usr1Received = 0;

void countUsr1(int)
{
    usr1Received = usr1Received + 1;
}

// Counts SIGUSR1 for the test's duration instead of dying of it.
struct Usr1Watch
{
    Usr1Watch()
    {
        struct sigaction sa
        {
        };
        sa.sa_handler = countUsr1;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGUSR1, &sa, &old);
        usr1Received = 0;
    }
    ~Usr1Watch() { ::sigaction(SIGUSR1, &old, nullptr); }
    struct sigaction old
    {
    };
};

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Sends `bytes` to the running copy's socket as another program might.
void sendRaw(const QString &socket, const QByteArray &bytes)
{
    QLocalSocket client;
    client.connectToServer(socket);
    QVERIFY(client.waitForConnected(2000));
    if (!bytes.isEmpty()) {
        client.write(bytes);
        QVERIFY(client.waitForBytesWritten(2000));
    }
    client.disconnectFromServer();
}
} // namespace

class TestSingleInstance final : public QObject
{
    Q_OBJECT

private slots:
    void lockFileContentMeansNothing_data();
    void lockFileContentMeansNothing();
    void socketIsPrivateAndPerFolder();
    void leftoverSocketIsReplaced();
    void onlyTheRequestActivates_data();
    void onlyTheRequestActivates();
    void noLockIsAnError_data();
    void noLockIsAnError();
};

void TestSingleInstance::lockFileContentMeansNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("stale pid") << QByteArray("999999999\n");
    QTest::newRow("foreign pid (init)") << QByteArray("1\n");
    QTest::newRow("this very process") << QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    QTest::newRow("overflowing to -1") << QByteArray("4294967295\n");
    QTest::newRow("negative") << QByteArray("-1\n");
    QTest::newRow("process group") << QByteArray("0\n");
    QTest::newRow("junk") << QByteArray("\xff\xfe pid?\r\n");
}

// Old lock files held the owner's process id; nothing reads or writes it any more. The lock alone
// decides, the socket alone reaches the running copy, and no signal is ever sent.
void TestSingleInstance::lockFileContentMeansNothing()
{
    QFETCH(QByteArray, content);
    const Usr1Watch watch;
    QTemporaryDir data;
    QTemporaryDir runtime;
    const QString lock = data.path() + QStringLiteral("/.vornkip.lock");
    if (!content.isNull()) {
        QFile f(lock);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    {
        LockFileInstance first(data.path(), runtime.path());
        QSignalSpy activations(&first, &SingleInstance::activationRequested);
        QVERIFY(first.acquire());
        QVERIFY(first.acquire()); // asking again keeps it
        QCOMPARE(contentOf(lock), content.isNull() ? QByteArray() : content);

        LockFileInstance second(data.path(), runtime.path());
        QVERIFY(!second.acquire());
        second.activateRunning();
        QTRY_COMPARE(activations.count(), 1);
        second.activateRunning();
        QTRY_COMPARE(activations.count(), 2);
        QCOMPARE(contentOf(lock), content.isNull() ? QByteArray() : content);
    }
    // The holder is gone: the next start runs, and a start with nobody to reach only gets refused.
    LockFileInstance third(data.path(), runtime.path());
    QVERIFY(third.acquire());
    QCOMPARE(int(usr1Received), 0);
}

void TestSingleInstance::socketIsPrivateAndPerFolder()
{
    QTemporaryDir data;
    QTemporaryDir other;
    QTemporaryDir runtime;
    LockFileInstance instance(data.path(), runtime.path());
    QVERIFY(instance.acquire());
    QCOMPARE(QFileInfo(instance.socketPath()).absolutePath(), runtime.path());
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(instance.socketPath()).constData(), &st), 0);
    QVERIFY(S_ISSOCK(st.st_mode));
    QCOMPARE(st.st_mode & 077, 0u);
    QVERIFY(LockFileInstance(other.path(), runtime.path()).socketPath() != instance.socketPath());
    // Without a runtime folder the socket lives in the data folder.
    QCOMPARE(LockFileInstance(data.path(), QString()).socketPath(), data.path() + QStringLiteral("/.vornkip.sock"));
    QCOMPARE(LockFileInstance(data.path(), runtime.path() + QStringLiteral("/gone")).socketPath(),
             data.path() + QStringLiteral("/.vornkip.sock"));
}

void TestSingleInstance::leftoverSocketIsReplaced()
{
    QTemporaryDir data;
    QTemporaryDir runtime;
    const QString socket = LockFileInstance(data.path(), runtime.path()).socketPath();
    {
        QFile leftover(socket); // what a copy that crashed leaves behind, or anything else by that name
        QVERIFY(leftover.open(QIODevice::WriteOnly));
    }
    LockFileInstance first(data.path(), runtime.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QVERIFY(first.acquire());
    LockFileInstance second(data.path(), runtime.path());
    QVERIFY(!second.acquire());
    second.activateRunning();
    QTRY_COMPARE(activations.count(), 1);
}

void TestSingleInstance::onlyTheRequestActivates_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::newRow("the request") << QByteArray(LockFileInstance::request) << 1;
    QTest::newRow("another word") << QByteArray("quit\n") << 0;
    QTest::newRow("request without its end") << QByteArray("activate") << 0;
    QTest::newRow("endless line") << QByteArray(4096, 'a') << 0;
    QTest::newRow("nothing") << QByteArray() << 0;
}

void TestSingleInstance::onlyTheRequestActivates()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QTemporaryDir data;
    QTemporaryDir runtime;
    LockFileInstance instance(data.path(), runtime.path());
    QSignalSpy activations(&instance, &SingleInstance::activationRequested);
    QVERIFY(instance.acquire());
    sendRaw(instance.socketPath(), bytes);
    // The request that follows is always served: a bad client does not block the next one.
    sendRaw(instance.socketPath(), LockFileInstance::request);
    QTRY_COMPARE(activations.count(), expected + 1);
    QTest::qWait(50);
    QCOMPARE(activations.count(), expected + 1);
}

void TestSingleInstance::noLockIsAnError_data()
{
    QTest::addColumn<QString>("plant");
    QTest::addColumn<int>("number");
    QTest::newRow("missing folder") << QStringLiteral("nofolder") << 76;
    QTest::newRow("link planted") << QStringLiteral("link") << 75;
    QTest::newRow("FIFO planted") << QStringLiteral("fifo") << 75;
    QTest::newRow("folder planted") << QStringLiteral("folder") << 75;
}

// A start that cannot take the lock is not "another copy runs": it is an error the start reports.
void TestSingleInstance::noLockIsAnError()
{
    QFETCH(QString, plant);
    QFETCH(int, number);
    QTemporaryDir tmp;
    QTemporaryDir runtime;
    QString folder = tmp.path();
    const QString lock = folder + QStringLiteral("/.vornkip.lock");
    const QString target = tmp.path() + QStringLiteral("/target");
    if (plant == QLatin1String("nofolder"))
        folder += QStringLiteral("/missing");
    else if (plant == QLatin1String("link"))
        QVERIFY(QFile::link(target, lock));
    else if (plant == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(lock).constData(), 0600), 0);
    else
        QVERIFY(QDir(folder).mkdir(QStringLiteral(".vornkip.lock")));
    LockFileInstance instance(folder, runtime.path());
    try {
        instance.acquire();
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, number);
    }
    QVERIFY(!QFileInfo::exists(target)); // the link was not followed
    QVERIFY(!QFileInfo::exists(instance.socketPath()));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
