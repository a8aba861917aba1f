// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
unsigned modeOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Runs with a permissive umask, restoring the old one afterwards.
struct OpenUmask
{
    mode_t old = ::umask(0);
    ~OpenUmask() { ::umask(old); }
};

struct WithUmask
{
    explicit WithUmask(unsigned mask) : old(::umask(static_cast<mode_t>(mask))) {}
    ~WithUmask() { ::umask(old); }
    mode_t old;
};

struct WithDataFolder
{
    explicit WithDataFolder(const QString &folder) { fileio::setDataFolder(folder); }
    ~WithDataFolder() { fileio::setDataFolder(QString()); }
};

void setMode(const QString &path, unsigned mode)
{
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)), 0);
}

// The error number `op` fails with, or 0.
template <typename Op>
int errorOf(Op op)
{
    try {
        op();
    } catch (const CommandError &e) {
        return e.number;
    }
    return 0;
}
} // namespace

class TestFileIo final : public QObject
{
    Q_OBJECT

private slots:
    void errnoNumbers_data();
    void errnoNumbers();
    void filesArePrivateWhateverTheUmask();
    void atomicWriteReplacesWholeAndLeavesNoTemporary();
    void failuresAreCommandErrors_data();
    void failuresAreCommandErrors();
    void dataFolderRule_data();
    void dataFolderRule();
    void wholeFileReadsTakeRegularFilesOnly_data();
    void wholeFileReadsTakeRegularFilesOnly();
    void wholeFileReadsAreCapped();
    void dataFolderLinksAreRefused_data();
    void dataFolderLinksAreRefused();
    void savedFilesKeepTheirModeOrFollowTheUmask_data();
    void savedFilesKeepTheirModeOrFollowTheUmask();
    void preparedFolderIsPrivateAndFilesNarrowed();
};

void TestFileIo::errnoNumbers_data()
{
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("number");
    QTest::newRow("missing file") << ENOENT << 76; // "/x" does not exist either
    QTest::newRow("missing folder part") << ENOTDIR << 76;
    QTest::newRow("permission") << EACCES << 70;
    QTest::newRow("read-only fs") << EROFS << 70;
    QTest::newRow("disk full") << ENOSPC << 61;
    QTest::newRow("quota") << EDQUOT << 61;
    QTest::newRow("anything else") << EIO << 75;
}

void TestFileIo::errnoNumbers()
{
    QFETCH(int, err);
    QFETCH(int, number);
    const CommandError e = fileError(err, QStringLiteral("/x/y"));
    QCOMPARE(e.number, number);
    QVERIFY(e.description.startsWith(errorDescription(number)));
    QVERIFY(e.description.contains(QStringLiteral("/x/y")));
}

void TestFileIo::filesArePrivateWhateverTheUmask()
{
    OpenUmask open;
    QTemporaryDir tmp;
    const QString folder = tmp.path() + QStringLiteral("/a/b");
    fileio::makeDir(folder);
    QCOMPARE(modeOf(folder), 0700u);
    QCOMPARE(modeOf(tmp.path() + QStringLiteral("/a")), 0700u);
    const QString touched = folder + QStringLiteral("/t");
    fileio::touch(touched);
    QCOMPARE(modeOf(touched), 0600u);
    const QString written = folder + QStringLiteral("/w");
    fileio::writeFileAtomic(written, "x");
    QCOMPARE(modeOf(written), 0600u);
    const QString copied = folder + QStringLiteral("/c");
    fileio::copyFile(written, copied);
    QCOMPARE(modeOf(copied), 0600u);
}

void TestFileIo::atomicWriteReplacesWholeAndLeavesNoTemporary()
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/f.ini");
    fileio::writeFileAtomic(path, "old content");
    fileio::writeFileAtomic(path, "new");
    QCOMPARE(fileio::readWholeFile(path), QByteArray("new"));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("f.ini")});
    fileio::removeFile(path);
    fileio::removeFile(path); // missing is fine
    QVERIFY(!fileio::exists(path));
}

void TestFileIo::failuresAreCommandErrors_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number");
    QTest::newRow("read missing") << 0 << QStringLiteral("nothing") << 53;
    QTest::newRow("read a folder") << 0 << QStringLiteral("sub") << 75;
    QTest::newRow("read below a file") << 0 << QStringLiteral("plain/x") << 76;
    QTest::newRow("write into missing folder") << 1 << QStringLiteral("none/x") << 76;
    QTest::newRow("copy from missing") << 2 << QStringLiteral("nothing") << 53;
}

void TestFileIo::failuresAreCommandErrors()
{
    QFETCH(int, op);
    QFETCH(QString, name);
    QFETCH(int, number);
    QTemporaryDir tmp;
    QDir(tmp.path()).mkdir(QStringLiteral("sub"));
    fileio::writeFileAtomic(tmp.path() + QStringLiteral("/plain"), "p");
    const QString path = tmp.path() + QLatin1Char('/') + name;
    try {
        if (op == 0)
            fileio::readWholeFile(path);
        else if (op == 1)
            fileio::writeFileAtomic(path, "x");
        else
            fileio::copyFile(path, tmp.path() + QStringLiteral("/to"));
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, number);
    }
}

void TestFileIo::dataFolderRule_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<bool>("iniBesideExecutable");
    QTest::addColumn<QString>("expected");
    QTest::newRow("VORNKIP_HOME wins") << QStringLiteral("/h/v/") << true << QStringLiteral("/h/v");
    QTest::newRow("portable") << QString() << true << QStringLiteral("EXE");
    QTest::newRow("per user") << QString() << false << QStringLiteral("USER/vornkip");
}

void TestFileIo::dataFolderRule()
{
    QFETCH(QString, home);
    QFETCH(bool, iniBesideExecutable);
    QFETCH(QString, expected);
    QTemporaryDir exe;
    QTemporaryDir user;
    if (iniBesideExecutable)
        fileio::touch(datafolder::settingsFile(exe.path()));
    expected.replace(QStringLiteral("EXE"), exe.path()).replace(QStringLiteral("USER"), user.path());
    QCOMPARE(datafolder::resolve(home, exe.path(), user.path()), expected);
}

void TestFileIo::wholeFileReadsTakeRegularFilesOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO without a writer") << QStringLiteral("fifo");
    QTest::newRow("character device") << QStringLiteral("device");
    QTest::newRow("socket") << QStringLiteral("socket");
}

void TestFileIo::wholeFileReadsTakeRegularFilesOnly()
{
    QFETCH(QString, kind);
    QTemporaryDir tmp;
    QString path = tmp.path() + QStringLiteral("/special");
    int listener = -1;
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        path = QStringLiteral("/dev/zero"); // endless: read whole, it would never end
    } else {
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(native.size() < qsizetype(sizeof addr.sun_path));
        std::copy(native.begin(), native.end(), addr.sun_path);
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    }
    // Not a wait, not an endless read: error 75 at once. A copy from it fails the same way.
    QCOMPARE(errorOf([&] { fileio::readWholeFile(path); }), 75);
    QCOMPARE(errorOf([&] { fileio::copyFile(path, tmp.path() + QStringLiteral("/to")); }), 75);
    QVERIFY(!QFileInfo::exists(tmp.path() + QStringLiteral("/to")));
    if (listener >= 0)
        ::close(listener);
}

void TestFileIo::wholeFileReadsAreCapped()
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/huge");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(fileio::maxWholeFileSize + 1)); // sparse: nothing is written
    file.close();
    try {
        fileio::readWholeFile(path);
        QFAIL("no error");
    } catch (const CommandError &e) {
        QCOMPARE(e.number, 7);
        QVERIFY(e.description.startsWith(errorDescription(7)));
        QVERIFY(e.description.contains(path));
    }
    QVERIFY(file.resize(16));
    QCOMPARE(fileio::readWholeFile(path), QByteArray(16, '\0'));
}

void TestFileIo::dataFolderLinksAreRefused_data()
{
    QTest::addColumn<int>("op");
    QTest::newRow("read whole") << 0;
    QTest::newRow("atomic write") << 1;
    QTest::newRow("open to append") << 2;
    QTest::newRow("touch") << 3;
}

void TestFileIo::dataFolderLinksAreRefused()
{
    QFETCH(int, op);
    QTemporaryDir data;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + QStringLiteral("/target");
    fileio::writeFileAtomic(target, "theirs");
    const auto run = [op](const QString &path) {
        return errorOf([&] {
            if (op == 0)
                fileio::readWholeFile(path);
            else if (op == 1)
                fileio::writeFileAtomic(path, "ours");
            else if (op == 2)
                fileio::openFile(path, O_WRONLY | O_APPEND);
            else
                fileio::touch(path);
        });
    };
    const QString planted = datafolder::settingsFile(data.path());
    QVERIFY(QFile::link(target, planted));
    {
        const WithDataFolder marked(data.path());
        QCOMPARE(run(planted), 75);
        QVERIFY(QFileInfo(planted).isSymLink()); // neither followed nor replaced
        QCOMPARE(fileio::readWholeFile(target), QByteArray("theirs"));
        // A link the user keeps elsewhere is theirs to use.
        const QString userLink = elsewhere.path() + QStringLiteral("/link");
        QVERIFY(QFile::link(target, userLink));
        QCOMPARE(run(userLink), 0);
    }
    // Without the mark the folder is like any other.
    QCOMPARE(run(planted), 0);
}

void TestFileIo::savedFilesKeepTheirModeOrFollowTheUmask_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<unsigned>("umask");
    QTest::addColumn<int>("existing"); // -1: no file yet
    QTest::addColumn<unsigned>("expected");
    QTest::newRow("new, umask 022") << true << 0022u << -1 << 0644u;
    QTest::newRow("new, umask 077") << true << 0077u << -1 << 0600u;
    QTest::newRow("new, umask 000") << true << 0000u << -1 << 0666u;
    QTest::newRow("private 0600 stays private") << true << 0022u << 0600 << 0600u;
    QTest::newRow("group-readable stays so") << true << 0077u << 0640 << 0640u;
    QTest::newRow("program file, new") << false << 0000u << -1 << 0600u;
    QTest::newRow("program file, was wide") << false << 0022u << 0644 << 0600u;
}

void TestFileIo::savedFilesKeepTheirModeOrFollowTheUmask()
{
    QFETCH(bool, keep);
    QFETCH(unsigned, umask);
    QFETCH(int, existing);
    QFETCH(unsigned, expected);
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/saved.txt");
    if (existing >= 0) {
        fileio::writeFileAtomic(path, "old");
        setMode(path, static_cast<unsigned>(existing));
    }
    const WithUmask mask(umask);
    fileio::writeFileAtomic(path, "new", keep ? fileio::FileMode::KeepExisting : fileio::FileMode::Private);
    QCOMPARE(modeOf(path), expected);
    QCOMPARE(fileio::readWholeFile(path), QByteArray("new"));
    QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("saved.txt")});
}

void TestFileIo::preparedFolderIsPrivateAndFilesNarrowed()
{
    OpenUmask open;
    QTemporaryDir tmp;
    const QString home = tmp.path() + QStringLiteral("/made/by/us");
    const QByteArray oldHome = qgetenv("VORNKIP_HOME");
    qputenv("VORNKIP_HOME", QFile::encodeName(home));
    QCOMPARE(datafolder::prepare(QString()), home);
    for (const QString &folder : {tmp.path() + QStringLiteral("/made"), tmp.path() + QStringLiteral("/made/by"), home})
        QCOMPARE(modeOf(folder), 0700u);

    // Files left wide open are narrowed at the next start; a link is not followed to its target.
    fileio::touch(datafolder::settingsFile(home));
    setMode(datafolder::settingsFile(home), 0644);
    fileio::touch(datafolder::historyFile(home));
    setMode(datafolder::historyFile(home), 0777);
    const QString outside = tmp.path() + QStringLiteral("/outside.txt");
    fileio::touch(outside);
    setMode(outside, 0664);
    QVERIFY(QFile::link(outside, datafolder::templateFile(home)));
    QCOMPARE(datafolder::prepare(QString()), home);
    QCOMPARE(modeOf(datafolder::settingsFile(home)), 0600u);
    QCOMPARE(modeOf(datafolder::historyFile(home)), 0600u);
    QCOMPARE(modeOf(outside), 0664u);
    QCOMPARE(modeOf(home), 0700u);
    fileio::setDataFolder(QString());
    if (oldHome.isNull())
        qunsetenv("VORNKIP_HOME");
    else
        qputenv("VORNKIP_HOME", oldHome);
}

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
