#include "core/commanderror.h"
#include "core/datafolder.h"
#include "core/fileio.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

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

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
