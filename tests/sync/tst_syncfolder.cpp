// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commanderror.h"
#include "core/fileio.h"
#include "fakes/filesizelimit.h"
#include "sync/syncfolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace syncfolder;

namespace {
// Devices by letter; "O" is this machine.
QString idOf(QChar letter)
{
    return QString(32, letter.toLower() == u'o' ? u'0' : QChar(u'a' + (letter.unicode() - u'A')));
}

QByteArray recordBytes(QChar letter, quint64 sequence)
{
    const QString name = QString(letter) + QString::number(sequence);
    return encodeRecord({idOf(letter), sequence, qint64(sequence) * 1000, name + "\nline two"});
}

// The sequences of a segment's records, "1 2 3", and "junk" where other bytes are.
QString sequencesOf(const QByteArray &bytes)
{
    const SegmentScan scan = scanSegment(bytes);
    QStringList out;
    for (const Record &record : scan.records)
        out << QString::number(record.sequence);
    if (!scan.damaged.isEmpty() || (scan.ends.isEmpty() ? 0 : scan.ends.back()) != bytes.size())
        out << "junk";
    return out.join(u' ');
}
} // namespace

class TestSyncFolder final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void reading_data();
    void reading();
    void writing_data();
    void writing();
    void deviceIdIsKeptPerMachine();

private:
    // Writes "<letter>/<first sequence>[.conflict]: <records>" into the devices folder. A record is its
    // sequence (after another device's letter: that device's), cut in half with "~", cut inside its
    // header with "^", with a damaged checksum with "!"; "junk" is bytes that are none.
    void writeSegment(const QString &step);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_shared;
    QString m_stateFile;
};

void TestSyncFolder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_shared = m_dir->filePath(QStringLiteral("shared"));
    m_stateFile = m_dir->filePath(QStringLiteral("syncread.ini"));
    QVERIFY(QDir().mkpath(devicesFolder(m_shared)));
}

void TestSyncFolder::writeSegment(const QString &step)
{
    const qsizetype colon = step.indexOf(u':');
    const QChar letter = step[0];
    QString name = step.mid(2, colon - 2);
    const bool conflict = name.endsWith(".conflict");
    name.chop(conflict ? 9 : 0);
    name = QStringLiteral("%1").arg(name.toULongLong(), 12, 10, QLatin1Char('0')) +
           (conflict ? QStringLiteral(".sync-conflict-20261210-010203-ABCDEFG") : QString()) + ".vkseg";
    QByteArray bytes;
    for (const QString &item : step.mid(colon + 1).split(u' ', Qt::SkipEmptyParts)) {
        if (item == "junk") {
            bytes += "VKs1 not a record, VKs1";
            continue;
        }
        const bool otherDevice = item[0].isLetter();
        const QChar mark = item.back().isDigit() ? QChar() : item.back();
        const QString digits = item.mid(otherDevice ? 1 : 0, item.size() - (otherDevice ? 1 : 0) - !mark.isNull());
        QByteArray record = recordBytes(otherDevice ? item[0] : letter, digits.toULongLong());
        if (mark == u'~')
            record.chop(record.size() / 2);
        else if (mark == u'^')
            record.truncate(10);
        else if (mark == u'!')
            record[record.size() - 1] = char(record.back() ^ 1);
        bytes += record;
    }
    const QString folder = devicesFolder(m_shared) + u'/' + idOf(letter);
    QVERIFY(QDir().mkpath(folder));
    QFile file(folder + u'/' + name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Each step writes its segments (", " between them), then reads and commits; `read` holds what each
// step's read returns, as texts. Before the segments a step may say "restart;" (a new reader on the same
// state file), "take<n>;" (only the first n records read are taken), "nostate;" (the state file cannot
// be written), "over<n>;" (device A is passed over up to its sequence n, or all it has for 0, before
// the read) or "former;" (device A is one of this machine's former ids).
void TestSyncFolder::reading_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("read");
    QTest::addColumn<int>("problems");

    QTest::newRow("in order") << QStringList{"A/1: 1 2 3"} << QStringList{"A1 A2 A3"} << 0;
    QTest::newRow("a cut last record is waited for")
        << QStringList{"A/1: 1 2 3~", "A/1: 1 2 3~", "A/1: 1 2 3 4"} << QStringList{"A1 A2", "", "A3 A4"} << 0;
    QTest::newRow("a cut header is waited for") << QStringList{"A/1: 1 2^", "A/1: 1 2"} << QStringList{"A1", "A2"} << 0;
    QTest::newRow("a damaged checksum is passed over, once told")
        << QStringList{"A/1: 1 2! 3", "A/1: 1 2! 3 4"} << QStringList{"A1 A3", "A4"} << 1;
    QTest::newRow("a damaged last record is waited for")
        << QStringList{"A/1: 1 2!", "A/1: 1 2"} << QStringList{"A1", "A2"} << 0;
    QTest::newRow("junk between records, at the start")
        << QStringList{"A/1: junk 1 junk 2"} << QStringList{"A1 A2"} << 1;
    QTest::newRow("junk where records were lost")
        << QStringList{"A/3: junk 5 6", "A/1: 1 2"} << QStringList{"", "A1 A2 A5 A6"} << 1;
    QTest::newRow("duplicate records") << QStringList{"A/1: 1 2 2 1 3"} << QStringList{"A1 A2 A3"} << 0;
    QTest::newRow("a segment sent again")
        << QStringList{"A/1: 1 2", "A/1: 1 2", "A/1: 1 2 3"} << QStringList{"A1 A2", "", "A3"} << 0;
    QTest::newRow("a conflict copy") << QStringList{"A/1: 1 2, A/1.conflict: 1 2 3", "A/1.conflict: 1 2 3 4"}
                                     << QStringList{"A1 A2 A3", "A4"} << 0;
    QTest::newRow("segments in any order, a gap filled later")
        << QStringList{"A/5: 5 6, A/1: 1 2", "A/3: 3 4"} << QStringList{"A1 A2", "A3 A4 A5 A6"} << 0;
    QTest::newRow("a new segment after a closed one")
        << QStringList{"A/1: 1 2", "A/3: 3"} << QStringList{"A1 A2", "A3"} << 0;
    QTest::newRow("a device folder appearing later")
        << QStringList{"A/1: 1", "B/1: 1 2, A/1: 1 2"} << QStringList{"A1", "A2 B1 B2"} << 0;
    QTest::newRow("no echo of this machine") << QStringList{"O/1: 1 2, A/1: 1"} << QStringList{"A1"} << 0;
    QTest::newRow("a record of another device in the folder")
        << QStringList{"A/1: 1", "B/1: 1, A/2: B2"} << QStringList{"A1", "B1"} << 1;
    QTest::newRow("positions after a restart")
        << QStringList{"A/1: 1 2, B/1: 1", "restart; A/1: 1 2 3", "restart;", "restart; A/4: 4, B/2: 2"}
        << QStringList{"A1 A2 B1", "A3", "", "A4 B2"} << 0;
    QTest::newRow("positions that cannot be kept still hold in this run")
        << QStringList{"nostate; A/1: 1 2", "A/1: 1 2 3"} << QStringList{"A1 A2", "A3"} << 0;
    QTest::newRow("a device passed over")
        << QStringList{"A/1: 1 2, B/1: 1", "over0; A/1: 1 2 3"} << QStringList{"A1 A2 B1", ""} << 0;
    QTest::newRow("a device passed over as far as it is known to have come")
        << QStringList{"over3; A/1: 1 2", "A/1: 1 2 3 4"} << QStringList{"", "A3 A4"} << 0;
    QTest::newRow("this machine's former id is never read")
        << QStringList{"former; A/1: 1, B/1: 1", "A/2: 2"} << QStringList{"B1", ""} << 0;
    QTest::newRow("a read taken in part goes on after what was taken")
        << QStringList{"take1; A/1: 1 2, B/1: 1", "restart;"} << QStringList{"A1 A2 B1", "A2 B1"} << 0;
    QTest::newRow("a restart inside a segment sent again whole")
        << QStringList{"A/1: 1 2", "restart; A/1: 1 2 3"} << QStringList{"A1 A2", "A3"} << 0;
}

void TestSyncFolder::reading()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, read);
    QFETCH(int, problems);

    auto reader = std::make_unique<PeerReader>(m_shared, idOf(u'O'), m_stateFile);
    QStringList told;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        QStringList parts = steps[i].split(u';');
        const QString segments = parts.takeLast();
        qsizetype taken = -1;
        bool noState = false;
        for (const QString &part : std::as_const(parts)) {
            if (part == "restart")
                reader = std::make_unique<PeerReader>(m_shared, idOf(u'O'), m_stateFile);
            else if (part.startsWith("take"))
                taken = part.mid(4).toInt();
            noState = noState || part == "nostate";
            if (part == "former")
                reader->skipDevices({idOf(u'A')});
        }
        if (noState) {
            QFile::remove(m_stateFile);
            QVERIFY(QDir().mkdir(m_stateFile));
        }
        for (const QString &segment : segments.split(", ", Qt::SkipEmptyParts))
            writeSegment(segment.trimmed());
        QString error;
        for (const QString &part : std::as_const(parts)) {
            if (part.startsWith("over"))
                QVERIFY2(reader->passOver(idOf(u'A'), part.mid(4).toULongLong(), &error), qPrintable(error));
        }
        QStringList texts;
        for (const Record &record : reader->readNew(&told)) {
            const QString name = record.text.section(u'\n', 0, 0);
            QCOMPARE(record.device, idOf(name[0]));
            QCOMPARE(QString::number(record.sequence), name.mid(1));
            QCOMPARE(record.msecs, qint64(record.sequence) * 1000);
            texts << name;
        }
        QCOMPARE(texts.join(u' '), read[i]);
        QCOMPARE(reader->commit(&error, taken), !noState);
        if (noState)
            QVERIFY(QDir().rmdir(m_stateFile));
    }
    QCOMPARE(told.size(), problems);
    QVERIFY(reader->watchedFolders().contains(devicesFolder(m_shared)));
    QVERIFY(!reader->watchedFolders().contains(devicesFolder(m_shared) + u'/' + idOf(u'O')));
}

// A script of appends ("a"), appends on a full disk ("full"), a new writer on the same folder
// ("reopen"), a crash in the middle of a write ("crash": half a record left at the end) and the
// device's folder taken away ("gone") or put back holding more ("back": records 1 to 5, as a disk
// mounted again over it), files that are not its own put there ("strays": a link to a file outside, a
// segment of junk named far ahead), a new segment's first record cut by a crash ("cutnew"), a file that
// cannot be read ("huge", taken away by "unhuge"), or the folder away while a writer opens ("away",
// "return"); then the segments and the next sequence.
void TestSyncFolder::writing_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("recordsPerSegment");
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("segments");
    QTest::addColumn<quint64>("next");

    QTest::newRow("appends") << QStringList{"a", "a", "a"} << 10 << 0 << "000000000001.vkseg: 1 2 3" << quint64(4);
    QTest::newRow("next sequence after reopening")
        << QStringList{"a", "a", "reopen", "a"} << 10 << 0 << "000000000001.vkseg: 1 2 3" << quint64(4);
    QTest::newRow("segment closed at its size")
        << QStringList{"a", "a", "a", "reopen", "a", "a"} << 2 << 0
        << "000000000001.vkseg: 1 2 | 000000000003.vkseg: 3 4 | 000000000005.vkseg: 5" << quint64(6);
    QTest::newRow("a crash mid-write is cut off on reopening")
        << QStringList{"a", "a", "crash", "reopen", "a"} << 10 << 0 << "000000000001.vkseg: 1 2 3" << quint64(4);
    QTest::newRow("a full disk leaves no fragment, the next append goes on")
        << QStringList{"a", "full", "full", "a"} << 10 << 2 << "000000000001.vkseg: 1 2" << quint64(3);
    QTest::newRow("a folder put back goes on after what it holds")
        << QStringList{"a", "a", "back", "a"} << 10 << 0 << "000000000001.vkseg: 1 2 3 4 5 6" << quint64(7);
    QTest::newRow("strays neither decide the sequence nor are written through")
        << QStringList{"a", "strays", "reopen", "a"} << 10 << 0
        << "000000000001.vkseg: 1 2 | 000000000050.vkseg: outside" << quint64(3);
    QTest::newRow("a new segment cut at its first record is not left ahead")
        << QStringList{"a", "a", "cutnew", "reopen", "a"} << 10 << 0 << "000000000001.vkseg: 1 2 3" << quint64(4);
    QTest::newRow("a folder that cannot be read stops appends, not the sequence")
        << QStringList{"a", "a", "huge", "reopen", "a", "unhuge", "a"} << 10 << 1 << "000000000001.vkseg: 1 2 3"
        << quint64(4);
    QTest::newRow("a folder that comes back after the writer opened")
        << QStringList{"a", "a", "away", "reopen", "return", "a"} << 10 << 0 << "000000000001.vkseg: 1 2 3"
        << quint64(4);
    QTest::newRow("a vanished folder is not made again")
        << QStringList{"a", "gone", "a"} << 10 << 2 << "" << quint64(2);
}

void TestSyncFolder::writing()
{
    QFETCH(QStringList, script);
    QFETCH(int, recordsPerSegment);
    QFETCH(int, failures);
    QFETCH(QString, segments);
    QFETCH(quint64, next);

    const QString device = idOf(u'O');
    const QString folder = devicesFolder(m_shared) + u'/' + device;
    const qint64 recordSize = encodeRecord({device, 1, 1000, QStringLiteral("text")}).size();
    auto writer = std::make_unique<SegmentWriter>(m_shared, device, recordSize * recordsPerSegment);
    int failed = 0;
    for (const QString &op : script) {
        QString error;
        if (op == "a" || op == "gone") {
            if (op == "gone")
                QVERIFY(QDir(folder).removeRecursively());
            if (!writer->append(QStringLiteral("text"), 1000, &error)) {
                QVERIFY(!error.isEmpty());
                ++failed;
            }
        } else if (op == "full") {
            const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
            const QByteArray before = fileio::readWholeFile(folder + u'/' + files.back());
            {
                FileSizeLimit full(before.size() + 10);
                if (!writer->append(QStringLiteral("text"), 1000, &error))
                    ++failed;
            }
            QVERIFY(error.contains(u'\n')); // the cause, then the file
            QCOMPARE(fileio::readWholeFile(folder + u'/' + files.back()), before);
        } else if (op == "back") {
            QByteArray bytes;
            for (quint64 sequence = 1; sequence <= 5; ++sequence)
                bytes += encodeRecord({device, sequence, 1000, QStringLiteral("text")});
            QFile file(folder + QStringLiteral("/000000000001.vkseg"));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        } else if (op == "strays") {
            fileio::writeFileAtomic(m_dir->filePath(QStringLiteral("outside")), "outside");
            QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("outside")), folder + "/000000000050.vkseg"));
            writeSegment(QStringLiteral("O/999999999999: junk"));
        } else if (op == "cutnew") {
            QFile file(folder + u'/' +
                       QStringLiteral("%1.vkseg").arg(writer->nextSequence(), 12, 10, QLatin1Char('0')));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(encodeRecord({device, writer->nextSequence(), 1000, QStringLiteral("text")}).chopped(3));
        } else if (op == "huge" || op == "unhuge") {
            QFile file(folder + QStringLiteral("/000000000099.vkseg"));
            QVERIFY(op == "huge" ? file.open(QIODevice::WriteOnly) && file.resize(fileio::maxWholeFileSize + 1)
                                 : file.remove());
        } else if (op == "away" || op == "return") {
            QVERIFY(op == "away" ? QDir().rename(folder, folder + ".away") : QDir().rename(folder + ".away", folder));
        } else if (op == "reopen") {
            writer = std::make_unique<SegmentWriter>(m_shared, device, recordSize * recordsPerSegment);
        } else if (op == "crash") {
            const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
            QFile file(folder + u'/' + files.back());
            QVERIFY(file.open(QIODevice::Append));
            file.write(encodeRecord({device, writer->nextSequence(), 1000, QStringLiteral("text")}).chopped(3));
        }
    }
    QCOMPARE(failed, failures);
    QStringList found;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        const QByteArray bytes = fileio::readWholeFile(folder + u'/' + name);
        found << name + ": " + (bytes == "outside" ? QStringLiteral("outside") : sequencesOf(bytes));
    }
    QCOMPARE(found.join(" | "), segments);
    QCOMPARE(writer->nextSequence(), next);
}

void TestSyncFolder::deviceIdIsKeptPerMachine()
{
    const QString data = m_dir->path();
    const QString first = deviceId(data, QStringLiteral("machine-1"));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(first).hasMatch());
    QCOMPARE(deviceId(data, QStringLiteral("machine-1")), first);
    // The data folder copied to another machine: an id of its own there.
    QString former;
    const QString second = deviceId(data, QStringLiteral("machine-2"), &former);
    QVERIFY(second != first);
    QCOMPARE(former, first);
    former.clear();
    QCOMPARE(deviceId(data, QStringLiteral("machine-2"), &former), second);
    QVERIFY(former.isEmpty());
    // A new id when this machine's sequence would start again: the old one is kept as its own.
    const QString third = renewDeviceId(data, QStringLiteral("machine-2"));
    QStringList ownFormer;
    QCOMPARE(deviceId(data, QStringLiteral("machine-2"), nullptr, &ownFormer), third);
    QCOMPARE(ownFormer, QStringList{second});
    QCOMPARE(sentNext(data, third), quint64(0));
    keepSentNext(data, third, 42);
    QCOMPARE(sentNext(data, third), quint64(42));
    QCOMPARE(sentNext(data, second), quint64(0));
    // A file that is there but cannot be read is not replaced by a new id.
    const QString file = data + QStringLiteral("/syncdevice.ini");
    QVERIFY(QFile::remove(file) && QDir().mkdir(file));
    QVERIFY_THROWS_EXCEPTION(CommandError, deviceId(data, QStringLiteral("machine-2")));
}

QTEST_GUILESS_MAIN(TestSyncFolder)
#include "tst_syncfolder.moc"
