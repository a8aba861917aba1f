// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "platform/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

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

// No descriptor free in this process for as long as it lives.
class NoFreeDescriptors final
{
public:
    NoFreeDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &m_old);
        rlimit fewer = m_old;
        fewer.rlim_cur = std::min<rlim_t>(m_old.rlim_cur, 512);
        ::setrlimit(RLIMIT_NOFILE, &fewer);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            m_taken.push_back(fd);
    }
    ~NoFreeDescriptors()
    {
        for (const int fd : m_taken)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &m_old);
    }
    NoFreeDescriptors(const NoFreeDescriptors &) = delete;
    NoFreeDescriptors &operator=(const NoFreeDescriptors &) = delete;

private:
    rlimit m_old{};
    std::vector<int> m_taken;
};

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
    void socketFolder_data();
    void socketFolder();
    void runningCopyStaysReachable_data();
    void runningCopyStaysReachable();
    void onlyTheRequestActivates_data();
    void onlyTheRequestActivates();
    void onlyTheUsersCopiesTalk_data();
    void onlyTheUsersCopiesTalk();
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

void TestSingleInstance::socketFolder_data()
{
    QTest::addColumn<QString>("runtime"); // what $XDG_RUNTIME_DIR names
    QTest::addColumn<int>("mode");        // the runtime folder's mode
    QTest::addColumn<int>("owner");       // its owner, as an offset from our user
    QTest::addColumn<bool>("inRuntime");  // else in the data folder
    QTest::newRow("private") << "folder" << 0700 << 0 << true;
    QTest::newRow("private, others may enter") << "folder" << 0755 << 0 << true;
    QTest::newRow("none") << "" << 0700 << 0 << false;
    QTest::newRow("missing") << "gone" << 0700 << 0 << false;
    QTest::newRow("a file") << "file" << 0700 << 0 << false;
    // Another user could take the socket's name there first.
    QTest::newRow("shared, world-writable") << "folder" << 0777 << 0 << false;
    QTest::newRow("shared, sticky") << "folder" << 01777 << 0 << false;
    QTest::newRow("group-writable") << "folder" << 0770 << 0 << false;
    QTest::newRow("another user's") << "folder" << 0700 << 1 << false;
}

void TestSingleInstance::socketFolder()
{
    QFETCH(QString, runtime);
    QFETCH(int, mode);
    QFETCH(int, owner);
    QFETCH(bool, inRuntime);
    QTemporaryDir data;
    QTemporaryDir other;
    QTemporaryDir base;
    QString folder;
    if (runtime == QLatin1String("folder")) {
        folder = base.path();
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), static_cast<mode_t>(mode)), 0);
    } else if (runtime == QLatin1String("file")) {
        folder = base.filePath(QStringLiteral("file"));
        QFile f(folder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (!runtime.isEmpty()) {
        folder = base.filePath(runtime);
    }
    // The instance is told it runs as another user: then the folder is not its own.
    const uid_t user = ::geteuid() + static_cast<uid_t>(owner);
    LockFileInstance instance(data.path(), folder, user);
    QVERIFY(instance.acquire());
    QCOMPARE(QFileInfo(instance.socketPath()).absolutePath(), inRuntime ? folder : data.path());
    if (!inRuntime)
        QCOMPARE(instance.socketPath(), data.path() + QStringLiteral("/.vornkip.sock"));
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(instance.socketPath()).constData(), &st), 0);
    QVERIFY(S_ISSOCK(st.st_mode));
    QCOMPARE(st.st_mode & 077, 0u);
    if (inRuntime)
        QVERIFY(LockFileInstance(other.path(), folder, user).socketPath() != instance.socketPath());
}

void TestSingleInstance::runningCopyStaysReachable_data()
{
    QTest::addColumn<QString>("trouble");
    // What a copy that crashed leaves behind, or anything else by that name.
    QTest::newRow("leftover file") << "leftover";
    // A start comes while the running copy has no descriptor free: it is answered once there is one,
    // and the copy still listens for the starts after it.
    QTest::newRow("out of descriptors") << "descriptors";
}

void TestSingleInstance::runningCopyStaysReachable()
{
    QFETCH(QString, trouble);
    QTemporaryDir data;
    QTemporaryDir runtime;
    const QString socket = LockFileInstance(data.path(), runtime.path()).socketPath();
    if (trouble == QLatin1String("leftover")) {
        QFile leftover(socket);
        QVERIFY(leftover.open(QIODevice::WriteOnly));
    }
    LockFileInstance first(data.path(), runtime.path());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QVERIFY(first.acquire());
    int expected = 1;
    if (trouble == QLatin1String("descriptors")) {
        const int early = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(early >= 0);
        {
            const NoFreeDescriptors none;
            QCOMPARE(::open("/dev/null", O_RDONLY | O_CLOEXEC), -1);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(socket);
            std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
            QCOMPARE(::connect(early, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
            const auto length = static_cast<ssize_t>(sizeof LockFileInstance::request - 1);
            QCOMPARE(::write(early, LockFileInstance::request, static_cast<size_t>(length)), length);
            QTest::qWait(100); // the running copy is told of the connection meanwhile
            QCOMPARE(activations.count(), 0);
        }
        ++expected;
        QTRY_COMPARE(activations.count(), 1);
        ::close(early);
    }
    LockFileInstance second(data.path(), runtime.path());
    QVERIFY(!second.acquire());
    second.activateRunning();
    QTRY_COMPARE(activations.count(), expected);
}

void TestSingleInstance::onlyTheRequestActivates_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("popups");
    QTest::newRow("the request") << QByteArray(LockFileInstance::request) << 1 << 0;
    QTest::newRow("the popup") << QByteArray(LockFileInstance::popupRequest) << 0 << 1;
    QTest::newRow("the shared folder") << QByteArray(LockFileInstance::syncRequest) << 0 << 0; // its own signal
    QTest::newRow("another word") << QByteArray("quit\n") << 0 << 0;
    QTest::newRow("request without its end") << QByteArray("activate") << 0 << 0;
    QTest::newRow("popup without its end") << QByteArray("popup") << 0 << 0;
    QTest::newRow("both in one line") << QByteArray("activatepopup\n") << 0 << 0;
    QTest::newRow("endless line") << QByteArray(4096, 'a') << 0 << 0;
    QTest::newRow("nothing") << QByteArray() << 0 << 0;
}

void TestSingleInstance::onlyTheRequestActivates()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QFETCH(int, popups);
    QTemporaryDir data;
    QTemporaryDir runtime;
    LockFileInstance instance(data.path(), runtime.path());
    QSignalSpy activations(&instance, &SingleInstance::activationRequested);
    QSignalSpy popupsAsked(&instance, &SingleInstance::popupRequested);
    QSignalSpy syncs(&instance, &SingleInstance::syncChanged);
    QVERIFY(instance.acquire());
    sendRaw(instance.socketPath(), bytes);
    // The request that follows is always served: a bad client does not block the next one.
    sendRaw(instance.socketPath(), LockFileInstance::request);
    QTRY_COMPARE(activations.count(), expected + 1);
    QTest::qWait(50);
    QCOMPARE(activations.count(), expected + 1);
    QCOMPARE(popupsAsked.count(), popups);
    QCOMPARE(syncs.count(), bytes == LockFileInstance::syncRequest ? 1 : 0);
}

void TestSingleInstance::onlyTheUsersCopiesTalk_data()
{
    // Users as offsets from ours: a copy run by another user must neither be answered nor asked (it
    // could have taken the socket's name first).
    QTest::addColumn<int>("running");
    QTest::addColumn<int>("starting");
    QTest::addColumn<int>("expected");
    QTest::newRow("same user") << 0 << 0 << 1;
    QTest::newRow("the start is another user's") << 1 << 0 << 0;
    QTest::newRow("the running copy is another user's") << 0 << 1 << 0;
}

void TestSingleInstance::onlyTheUsersCopiesTalk()
{
    QFETCH(int, running);
    QFETCH(int, starting);
    QFETCH(int, expected);
    QTemporaryDir data;
    // Each copy takes the other's user for a stranger; both use the data folder.
    LockFileInstance first(data.path(), QString(), ::geteuid() + static_cast<uid_t>(running));
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QSignalSpy popups(&first, &SingleInstance::popupRequested);
    QVERIFY(first.acquire());
    LockFileInstance second(data.path(), QString(), ::geteuid() + static_cast<uid_t>(starting));
    QVERIFY(!second.acquire());
    QCOMPARE(second.socketPath(), first.socketPath());
    second.activateRunning();
    // A start knows when it refused to ask; not when the running copy refused to answer.
    QCOMPARE(second.popupRunning(), starting == 0);
    QTRY_COMPARE(activations.count(), expected);
    QTRY_COMPARE(popups.count(), expected);
    QTest::qWait(50);
    QCOMPARE(activations.count(), expected);
    QCOMPARE(popups.count(), expected);
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
