// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmmain.h"
#include "app/syncservice.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "fakes/filesizelimit.h"
#include "mainparts.h"
#include "search/frmsearch.h"
#include "settings/modini.h"
#include "sync/syncfolder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>

using namespace mainparts;

namespace {
ClipboardContent text(const QString &t)
{
    return {true, t, false, {}};
}
} // namespace

class TestFrmMain final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startCreatesTheFilesAndShowsTheClipboardWithoutRecordingIt();
    void trayMenuIsTheContextMenuUntilATrayExists();
    void recording_data();
    void recording();
    void numberingContinuesFromTheFile();
    void typedTextMakesTheNewestEntryNewAgain();
    void watchingOffRecordsNothing();
    void pictureOnlyChangesThePreview();
    void secretsAreNeverRecorded();
    void aFullDiskIsToldOnce();
    void clipboardTroubleIsToldOncePerKind();
    void choosingAnEntryRestoresItWhole();
    void choosingInTheSearchWindowIsChoosingInTheList();
    void choosingANumberNoLineCarries();
    void enterNeverInsertsAnItem();
    void droppedFiles_data();
    void droppedFiles();
    void clearTheClipboard_data();
    void clearTheClipboard();
    void exitQuestion_data();
    void exitQuestion();
    void applicationClosingAsksNothing();
    void desktopEndKeepsTheHistoryWithoutAsking();
    void resetSwitch_data();
    void resetSwitch();
    void secondStartIsRefused_data();
    void secondStartIsRefused();
    void popupRequests_data();
    void popupRequests();
    void historyFileThatCannotBeWritten();
    void farPlacesComeBackInRange();
    void sharedFolder();
    void sharingMovesToAnotherFolder();
    void sharingTroubleIsToldOnce();

private:
    frmMain &start(bool reset = false);
    QByteArray historyBytes() const { return fileio::readWholeFile(datafolder::historyFile(m_dir->path())); }
    QStringList listTexts() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmMain> m_main;
};

void TestFrmMain::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestFrmMain::cleanup()
{
    m_main.reset();
    m_fakes.reset();
    m_dir.reset();
}

frmMain &TestFrmMain::start(bool reset)
{
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), reset);
    m_main->Form_Load();
    return *m_main;
}

QStringList TestFrmMain::listTexts() const
{
    QStringList out;
    for (int i = 0; i < combo1(*m_main)->count(); ++i)
        out << combo1(*m_main)->itemData(i, Qt::EditRole).toString();
    return out;
}

void TestFrmMain::startCreatesTheFilesAndShowsTheClipboardWithoutRecordingIt()
{
    m_fakes->clipboard.content = text(QStringLiteral("already there"));
    frmMain &w = start();
    QVERIFY(fileio::exists(datafolder::settingsFile(m_dir->path())));
    QCOMPARE(historyBytes(), QByteArray());
    QCOMPARE(comboText(w), QStringLiteral("already there"));
    QCOMPARE(combo1(w)->count(), 0);
    QVERIFY(m_fakes->tray.shown);
    QCOMPARE(m_fakes->tray.tip, QStringLiteral("Vornkip"));
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(w.windowFlags() & Qt::Tool);
    QCOMPARE(w.windowTitle(), QStringLiteral("VornkipVer.0.10"));
}

void TestFrmMain::trayMenuIsTheContextMenuUntilATrayExists()
{
    m_fakes->tray.available = false;
    frmMain &w = start();
    QVERIFY(m_fakes->tray.shown); // added all the same, to appear with the tray
    QCOMPARE(w.contextMenuPolicy(), Qt::CustomContextMenu);
    m_fakes->tray.appear();
    QCOMPARE(w.contextMenuPolicy(), Qt::DefaultContextMenu);
}

void TestFrmMain::recording_data()
{
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("list"); // newest first
    QTest::newRow("two texts") << QStringList{QStringLiteral("abc"), QStringLiteral("x\r\ny")}
                               << QByteArray("000001abc\r\n000002x@1@2@3y\r\n")
                               << QStringList{QStringLiteral("x\r\ny"), QStringLiteral("abc")};
    QTest::newRow("same text twice") << QStringList{QStringLiteral("abc"), QStringLiteral("abc")}
                                     << QByteArray("000001abc\r\n") << QStringList{QStringLiteral("abc")};
    QTest::newRow("again after another") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")}
                                         << QByteArray("000001a\r\n000002b\r\n000003a\r\n")
                                         << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")};
    QTest::newRow("case only differs") << QStringList{QStringLiteral("Hello"), QStringLiteral("HELLO")}
                                       << QByteArray("000001Hello\r\n") << QStringList{QStringLiteral("Hello")};
    const QString long250 = QString(250, QLatin1Char('L'));
    QTest::newRow("250 characters, then again")
        << QStringList{long250, long250} << (QByteArray("000001") + long250.toUtf8() + "\r\n")
        << QStringList{long250.left(200)};
    QTest::newRow("literal marker") << QStringList{QStringLiteral("a@1@2@3b")} << QByteArray("000001a@1@2@3b\r\n")
                                    << QStringList{QStringLiteral("a@1@2@3b")};
    QTest::newRow("marker then its line-break twin")
        << QStringList{QStringLiteral("a@1@2@3b"), QStringLiteral("a\r\nb")}
        << QByteArray("000001a@1@2@3b\r\n000002a@1@2@3b\r\n")
        << QStringList{QStringLiteral("a\r\nb"), QStringLiteral("a@1@2@3b")};
    const QString xs = QString(210, QLatin1Char('x'));
    QTest::newRow("long texts differing after 200 characters")
        << QStringList{xs + QStringLiteral("-version-A"), xs + QStringLiteral("-version-B")}
        << ("000001" + xs.toUtf8() + "-version-A\r\n000002" + xs.toUtf8() + "-version-B\r\n")
        << QStringList{xs.left(200), xs.left(200)};
    QTest::newRow("empty text is no entry")
        << QStringList{QStringLiteral("x"), QString(), QStringLiteral("y")} << QByteArray("000001x\r\n000002y\r\n")
        << QStringList{QStringLiteral("y"), QStringLiteral("x")};
}

void TestFrmMain::recording()
{
    QFETCH(QStringList, copies);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, list);
    frmMain &w = start();
    for (const QString &c : copies)
        m_fakes->clipboard.put(text(c));
    QCOMPARE(historyBytes(), file);
    QCOMPARE(listTexts(), list);
    QCOMPARE(comboText(w), list.front());
    QCOMPARE(combo1(w)->toolTip(), list.front());
}

void TestFrmMain::numberingContinuesFromTheFile()
{
    fileio::writeFileAtomic(datafolder::historyFile(m_dir->path()), "000040a\r\n000041b\r\n");
    start();
    QCOMPARE(listTexts(), (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    m_fakes->clipboard.put(text(QStringLiteral("c")));
    QCOMPARE(historyBytes(), QByteArray("000040a\r\n000041b\r\n000042c\r\n"));
}

void TestFrmMain::typedTextMakesTheNewestEntryNewAgain()
{
    frmMain &w = start();
    m_fakes->clipboard.put(text(QStringLiteral("newest")));
    combo1(w)->lineEdit()->setText(QStringLiteral("typed"));
    m_fakes->clipboard.put(text(QStringLiteral("newest")));
    QCOMPARE(historyBytes(), QByteArray("000001newest\r\n000002newest\r\n"));
}

void TestFrmMain::watchingOffRecordsNothing()
{
    frmMain &w = start();
    trigger(w, "clipNoWatch");
    QVERIFY(!watching(w));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    m_fakes->clipboard.put({true, QStringLiteral("secret while off"), true, picture});
    QCOMPARE(historyBytes(), QByteArray());
    QCOMPARE(combo1(w)->count(), 0);
    QVERIFY(image1(w)->pixmap().isNull());
    trigger(w, "clipWatch");
    QVERIFY(watching(w));
    QCOMPARE(historyBytes(), QByteArray()); // not picked up until the clipboard changes again
    m_fakes->clipboard.put(text(QStringLiteral("after")));
    QCOMPARE(historyBytes(), QByteArray("000001after\r\n"));
}

void TestFrmMain::pictureOnlyChangesThePreview()
{
    frmMain &w = start();
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    // The compact bar hides the preview: the picture is not even asked for.
    m_fakes->clipboard.put({false, {}, true, picture});
    QCOMPARE(m_fakes->clipboard.pictureReads, 0);
    QVERIFY(image1(w)->pixmap().isNull());
    desktop(w)->extendedMode();
    QCOMPARE(image1(w)->pixmap().size(), QSize(8, 6));
    picture.fill(Qt::red);
    m_fakes->clipboard.put({false, {}, true, picture.scaled(4, 3)});
    QCOMPARE(image1(w)->pixmap().size(), QSize(4, 3));
    QCOMPARE(historyBytes(), QByteArray());
}

void TestFrmMain::aFullDiskIsToldOnce()
{
    start();
    m_fakes->clipboard.put(text(QStringLiteral("first")));
    const QByteArray before = historyBytes();
    std::optional<FileSizeLimit> full(std::in_place, before.size() + 4);
    m_fakes->clipboard.put(text(QStringLiteral("second")));
    m_fakes->clipboard.put(text(QStringLiteral("third")));
    QCOMPARE(historyBytes(), before);
    // The box is only a message: space comes back while it is open, and the next copy is recorded.
    m_fakes->messages.whileOpen = [&] {
        full.reset();
        m_fakes->clipboard.put(text(QStringLiteral("fourth")));
    };
    QTRY_COMPARE(m_fakes->messages.shown.size(), 1);
    m_fakes->messages.whileOpen = nullptr;
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("61"));
    // Numbering goes on with no number used twice, and a new failure is told again.
    QCOMPARE(historyBytes(), before + "000002fourth\r\n");
    full.emplace(0);
    m_fakes->clipboard.put(text(QStringLiteral("fifth")));
    full.reset();
    QTRY_COMPARE(m_fakes->messages.shown.size(), 2);
}

// What the clipboard could not give (a text not read whole, too little memory, a connection lost) is
// told once per kind, and recording goes on, also while the box is open.
void TestFrmMain::clipboardTroubleIsToldOncePerKind()
{
    start();
    int copies = 0;
    m_fakes->messages.whileOpen = [&] { m_fakes->clipboard.put(text(QStringLiteral("copy %1").arg(++copies))); };
    for (int round = 0; round < 2; ++round) {
        for (const ClipboardTrouble what :
             {ClipboardTrouble::NotWhole, ClipboardTrouble::OutOfMemory, ClipboardTrouble::ConnectionLost})
            emit m_fakes->clipboard.trouble(what);
    }
    QTRY_COMPARE(m_fakes->messages.shown.size(), 3);
    QStringList texts;
    for (const auto &box : m_fakes->messages.shown) {
        QCOMPARE(box.title, QStringLiteral("クリップボードの記録"));
        QCOMPARE(box.buttons, MsgButtons::Ok);
        texts << box.text;
    }
    QCOMPARE(texts,
             (QStringList{
                 QStringLiteral("クリップボードのテキストを最後まで読み取れなかったため、履歴に記録しませんでした。"),
                 QStringLiteral("メモリが不足しているため、クリップボードのテキストを履歴に記録しませんでした。"),
                 QStringLiteral("クリップボードとの接続が切れ、再接続できませんでした。"
                                "クリップボードの記録を停止しています。")}));
    m_fakes->messages.whileOpen = nullptr;
    QCOMPARE(historyBytes(), QByteArray("000001copy 1\r\n000002copy 2\r\n000003copy 3\r\n"));
}

void TestFrmMain::secretsAreNeverRecorded()
{
    ClipboardContent secret;
    secret.secret = true;
    m_fakes->clipboard.content = secret;
    frmMain &w = start();
    m_fakes->clipboard.put(text(QStringLiteral("before")));
    m_fakes->clipboard.put(secret);
    QCOMPARE(historyBytes(), QByteArray("000001before\r\n"));
    QCOMPARE(combo1(w)->count(), 1);
    QCOMPARE(comboText(w), QStringLiteral("before"));
    QVERIFY(image1(w)->pixmap().isNull());
}

void TestFrmMain::choosingAnEntryRestoresItWhole()
{
    frmMain &w = start();
    QString whole;
    for (int i = 0; i < 50; ++i)
        whole += QStringLiteral("line %1 \r\n").arg(i, 2, 10, QLatin1Char('0'));
    QCOMPARE(whole.size(), 500);
    m_fakes->clipboard.put(text(whole));
    m_fakes->clipboard.put(text(QStringLiteral("other")));
    QCOMPARE(combo1(w)->itemData(1, Qt::EditRole).toString(), whole.left(200));
    combo1(w)->setCurrentIndex(1);
    combo1(w)->Combo1_Click(1);
    QCOMPARE(m_fakes->clipboard.content.text, whole);
    // The restored text is the current entry: no new line in the file.
    QCOMPARE(historyBytes().count('\n'), 2);
    QCOMPARE(combo1(w)->count(), 2);
}

// Choosing an entry in the search window is choosing it in the list, also after newer copies.
void TestFrmMain::choosingInTheSearchWindowIsChoosingInTheList()
{
    frmMain &w = start();
    for (const char *copy : {"apple pie", "banana", "cherry"})
        m_fakes->clipboard.put(text(QString::fromUtf8(copy)));
    menuAction(w, QStringLiteral("search"))->trigger();
    frmSearch *search = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        search = search ? search : qobject_cast<frmSearch *>(window);
    QVERIFY(search);
    QSignalSpy finished(search, &frmSearch::searchFinished);
    search->findChild<QLineEdit *>(QStringLiteral("searchText"))->setText(QStringLiteral("apple"));
    QVERIFY(finished.wait(5000) || !finished.isEmpty());
    m_fakes->clipboard.put(text(QStringLiteral("date")));
    search->restore(0);
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("apple pie"));
    QCOMPARE(combo1(w)->currentIndex(), 3);
    QCOMPARE(comboText(w), QStringLiteral("apple pie"));
    QCOMPARE(historyBytes(), QByteArray("000001apple pie\r\n000002banana\r\n000003cherry\r\n000004date\r\n"));
}

void TestFrmMain::choosingANumberNoLineCarries()
{
    fileio::writeFileAtomic(datafolder::historyFile(m_dir->path()), "000001one\r\n000002two\r\n");
    frmMain &w = start();
    // The file is replaced behind the program's back: number 1 is gone.
    fileio::writeFileAtomic(datafolder::historyFile(m_dir->path()), "000007seven\r\n000008eight@1@2@3!\r\n");
    combo1(w)->Combo1_Click(1);
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("eight\r\n!"));
}

void TestFrmMain::enterNeverInsertsAnItem()
{
    frmMain &w = start();
    m_fakes->clipboard.put(text(QStringLiteral("a")));
    combo1(w)->lineEdit()->setText(QStringLiteral("typed text"));
    QTest::keyClick(combo1(w)->lineEdit(), Qt::Key_Return);
    QTest::keyClick(combo1(w)->lineEdit(), Qt::Key_Enter);
    QCOMPARE(combo1(w)->count(), 1);
    QCOMPARE(comboText(w), QStringLiteral("typed text"));
}

void TestFrmMain::droppedFiles_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("one file") << QStringList{QStringLiteral("/tmp/a b.txt")} << QStringLiteral("/tmp/a b.txt");
    QTest::newRow("two files") << QStringList{QStringLiteral("/tmp/a"), QStringLiteral("/tmp/日本")}
                               << QStringLiteral("/tmp/a\r\n/tmp/日本\r\n");
}

void TestFrmMain::droppedFiles()
{
    QFETCH(QStringList, paths);
    QFETCH(QString, clipboard);
    frmMain &w = start();
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(combo1(w), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(combo1(w), &drop);
    QCOMPARE(m_fakes->clipboard.content.text, clipboard);
    // The watcher records the paths as a new entry.
    QCOMPARE(combo1(w)->itemData(0, Qt::EditRole).toString(), clipboard);

    QMimeData plain;
    plain.setText(QStringLiteral("not files"));
    QDragEnterEvent other(QPoint(5, 5), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(combo1(w)->lineEdit(), &other);
    QVERIFY(!other.isAccepted());
}

void TestFrmMain::clearTheClipboard_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("yes") << int(MsgAnswer::Yes) << true;
    QTest::newRow("no") << int(MsgAnswer::No) << false;
}

void TestFrmMain::clearTheClipboard()
{
    QFETCH(int, answer);
    QFETCH(bool, cleared);
    frmMain &w = start();
    m_fakes->clipboard.put(text(QStringLiteral("keep?")));
    m_fakes->messages.answers.enqueue(static_cast<MsgAnswer>(answer));
    trigger(w, "clipClear");
    QCOMPARE(m_fakes->messages.shown.last().text, QStringLiteral("クリップボードの中身をクリアしてよろしいですか？"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("削除確認"));
    QCOMPARE(m_fakes->messages.shown.last().icon, MsgIcon::Question);
    QCOMPARE(m_fakes->clipboard.content.hasText, !cleared);
    QCOMPARE(historyBytes(), QByteArray("000001keep?\r\n"));
}

void TestFrmMain::exitQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("kept");
    QTest::newRow("yes keeps") << int(MsgAnswer::Yes) << true;
    QTest::newRow("no deletes") << int(MsgAnswer::No) << false;
    QTest::newRow("escape or the close box keeps") << int(MsgAnswer::Dismissed) << true;
}

void TestFrmMain::exitQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, kept);
    frmMain &w = start();
    w.move(100, 40);
    m_fakes->clipboard.put(text(QStringLiteral("one")));
    m_fakes->clipboard.put(text(QStringLiteral("two")));
    m_fakes->messages.answers.enqueue(static_cast<MsgAnswer>(answer));
    trigger(w, "quit");
    QVERIFY(w.isUnloaded());
    const auto &q = m_fakes->messages.shown.last();
    QCOMPARE(q.text, QStringLiteral("次回に履歴を残しておきますか？"));
    QCOMPARE(q.title, QStringLiteral("ID:Q0001"));
    QCOMPARE(q.buttons, MsgButtons::YesNo);
    QVERIFY(!m_fakes->tray.shown);
    QCOMPARE(fileio::exists(datafolder::historyFile(m_dir->path())), kept);
    const QByteArray ini = fileio::readWholeFile(datafolder::settingsFile(m_dir->path()));
    QVERIFY(ini.contains("[Main]\r\nPosX=1500\r\nPosY=600\r\n"));
    // The next start shows the same entries newest first, or an empty list and an empty file again.
    m_main.reset();
    start();
    QCOMPARE(listTexts(), (kept ? QStringList{QStringLiteral("two"), QStringLiteral("one")} : QStringList{}));
    QVERIFY(fileio::exists(datafolder::historyFile(m_dir->path())));
}

void TestFrmMain::applicationClosingAsksNothing()
{
    // Qt's own quit and close-all path (the end of the desktop session) closes the window without the
    // user: nothing is asked and nothing is deleted.
    frmMain &w = start();
    m_fakes->clipboard.put(text(QStringLiteral("kept")));
    const auto asked = m_fakes->messages.shown.size();
    m_fakes->messages.answers.enqueue(MsgAnswer::No); // would delete, were it asked
    QVERIFY(w.close());
    QVERIFY(w.isUnloaded());
    QCOMPARE(m_fakes->messages.shown.size(), asked);
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n"));
    QVERIFY(fileio::exists(datafolder::settingsFile(m_dir->path())));
}

void TestFrmMain::desktopEndKeepsTheHistoryWithoutAsking()
{
    frmMain &w = start();
    m_fakes->clipboard.put(text(QStringLiteral("kept")));
    const auto asked = m_fakes->messages.shown.size();
    w.Form_Unload(false);
    w.Form_Unload(true); // once only
    QCOMPARE(m_fakes->messages.shown.size(), asked);
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n"));
    QVERIFY(fileio::exists(datafolder::settingsFile(m_dir->path())));
    // Clipboard changes after the end are not recorded.
    m_fakes->clipboard.put(text(QStringLiteral("late")));
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n"));
}

void TestFrmMain::resetSwitch_data()
{
    QTest::addColumn<bool>("reset");
    QTest::newRow("reset") << true;
    QTest::newRow("no reset") << false;
}

void TestFrmMain::resetSwitch()
{
    QFETCH(bool, reset);
    const QString f = m_dir->path();
    fileio::writeFileAtomic(datafolder::settingsFile(f), "[Data]\r\nTitle=1\r\n");
    fileio::writeFileAtomic(datafolder::historyFile(f), "000001old\r\n");
    fileio::writeFileAtomic(datafolder::templateFile(f), "phrase\r\n");
    start(reset);
    QCOMPARE(fileio::exists(datafolder::templateFile(f)), !reset);
    QCOMPARE(combo1(*m_main)->count(), reset ? 0 : 1);
    QCOMPARE(historyBytes(), reset ? QByteArray() : QByteArray("000001old\r\n"));
    const QByteArray ini = fileio::readWholeFile(datafolder::settingsFile(f));
    QCOMPARE(ini.startsWith("[Main]\r\nPosX=0\r\n"), reset); // a fresh default file
}

void TestFrmMain::secondStartIsRefused_data()
{
    QTest::addColumn<bool>("popup");
    QTest::newRow("plain start") << false;
    QTest::newRow("--popup: the running copy opens it, no box") << true;
}

void TestFrmMain::secondStartIsRefused()
{
    QFETCH(bool, popup);
    m_fakes->instance.otherRunning = true;
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), true);
    if (popup)
        m_main->openPopupAfterStart();
    QSignalSpy popups(m_main.get(), &frmMain::popupRequested);
    QVERIFY(!m_main->Form_Load());
    QCOMPARE(m_fakes->messages.shown.size(), popup ? 0 : 1);
    if (!popup) {
        QCOMPARE(m_fakes->messages.shown[0].text, QStringLiteral("アプリケーションは起動中です。"));
        QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("重複起動"));
        QCOMPARE(m_fakes->messages.shown[0].icon, MsgIcon::Information);
    }
    QCOMPARE(m_fakes->instance.activations, popup ? 0 : 1);
    QCOMPARE(m_fakes->instance.popups, popup ? 1 : 0);
    QCOMPARE(popups.count(), 0);
    QVERIFY(QDir(m_dir->path()).isEmpty()); // no file touched, the reset not applied
    m_main->close();                        // and nothing is written on the way out
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

void TestFrmMain::popupRequests_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::newRow("plain start") << false;
    QTest::newRow("--popup") << true;
}

// The popup opens once the start is over when asked at start (without the window), and whenever a
// later start asks for it; never once the program is ending.
void TestFrmMain::popupRequests()
{
    QFETCH(bool, atStart);
    m_main = std::make_unique<frmMain>(m_fakes->platform(), m_dir->path(), false);
    QSignalSpy popups(m_main.get(), &frmMain::popupRequested);
    if (atStart)
        m_main->openPopupAfterStart();
    QVERIFY(m_main->Form_Load());
    m_main->showAtStart();
    QCOMPARE(m_main->isVisible(), !atStart); // a start for the popup shows the popup alone
    QCOMPARE(popups.count(), 0);             // not before the window is shown
    bool loopRan = false;
    QTimer::singleShot(0, m_main.get(), [&loopRan] { loopRan = true; });
    QTRY_VERIFY(loopRan);
    QCOMPARE(popups.count(), atStart ? 1 : 0);
    emit m_fakes->instance.popupRequested();
    QCOMPARE(popups.count(), atStart ? 2 : 1);
    m_main->Form_Unload(false);
    emit m_fakes->instance.popupRequested();
    QCOMPARE(popups.count(), atStart ? 2 : 1);
}

void TestFrmMain::historyFileThatCannotBeWritten()
{
    frmMain &w = start();
    // The history file turns into a folder: the entry cannot be written.
    fileio::removeFile(datafolder::historyFile(m_dir->path()));
    QDir(m_dir->path()).mkdir(QStringLiteral("temp.ifo"));
    m_fakes->clipboard.put(text(QStringLiteral("lost?")));
    QTRY_VERIFY(!m_fakes->messages.shown.isEmpty());
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("75"));
    QCOMPARE(combo1(w)->count(), 0);
}

// Places far off any screen are applied held in range, and written back at exit without overflowing
// on their way from pixels to twips.
void TestFrmMain::farPlacesComeBackInRange()
{
    const QString f = m_dir->path();
    QByteArray ini;
    for (const char *section : {"Main", "Picture", "Text", "Pro"})
        ini += QByteArray("[") + section + "]\r\nPosX=100000000\r\nPosY=-100000000\r\nWidth=100000000\r\n" +
               "Height=100000000\r\n";
    fileio::writeFileAtomic(datafolder::settingsFile(f), ini);
    frmMain &w = start();
    w.Form_Unload(false);
    const Settings s = iniRead(f);
    for (const int v : {s.main.left, s.picture.left, s.text.left, s.pro.left})
        QVERIFY2(v > 0 && v <= maxPlaceTwips + 15, qPrintable(QString::number(v)));
    for (const int v : {s.main.top, s.picture.top, s.text.top, s.pro.top})
        QVERIFY2(v < 0 && v >= -maxPlaceTwips - 15, qPrintable(QString::number(v)));
}

// The history shared through a folder: a copy is appended to this machine's own segments; what another
// machine appended arrives in the list in its order, neither on the clipboard nor in the field, and is
// never appended back; turning sharing off from the command line reaches the running program.
void TestFrmMain::sharedFolder()
{
    QTemporaryDir shared;
    iniWriteSyncFolder(m_dir->path(), shared.path());
    frmMain &w = start();
    const auto sharing = [&w] { return w.findChild<QAction *>(QStringLiteral("sync"))->text(); };
    QCOMPARE(sharing(), QStringLiteral("履歴の共有: オン"));
    m_fakes->clipboard.put(text(QStringLiteral("copied here")));
    syncfolder::SegmentWriter other(shared.path(), QStringLiteral("other"));
    QString error;
    QVERIFY(other.append(QStringLiteral("from there"), 1000, &error));
    // More than one batch: the rest is added on the next turns, in order.
    for (qsizetype i = 0; i < SyncService::batchSize; ++i)
        QVERIFY(other.append(QString::number(i), 1000, &error));
    QVERIFY(other.append(QStringLiteral("then\r\nthis"), 2000, &error));
    QSignalSpy batches(w.findChild<SyncService *>(), &SyncService::stateChanged);
    QTRY_COMPARE(listTexts().size(), SyncService::batchSize + 3);
    QVERIFY(batches.count() >= 2);
    QCOMPARE(listTexts().first(4),
             (QStringList{QStringLiteral("then\r\nthis"), QString::number(SyncService::batchSize - 1),
                          QString::number(SyncService::batchSize - 2), QString::number(SyncService::batchSize - 3)}));
    QCOMPARE(listTexts().last(3),
             (QStringList{QStringLiteral("0"), QStringLiteral("from there"), QStringLiteral("copied here")}));
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("copied here"));
    QCOMPARE(comboText(w), QStringLiteral("copied here"));
    QVERIFY(sharing().startsWith(QStringLiteral("履歴の共有: オン (最終受信 ")));
    m_fakes->clipboard.put(text(QStringLiteral("copied after")));
    iniWriteSyncFolder(m_dir->path(), QString());
    emit m_fakes->instance.syncChanged();
    QCOMPARE(sharing(), QStringLiteral("履歴の共有: オフ"));
    m_fakes->clipboard.put(text(QStringLiteral("not shared")));
    QCOMPARE(listTexts().size(), SyncService::batchSize + 5);
    QTemporaryDir state;
    syncfolder::PeerReader reader(shared.path(), QStringLiteral("third"), state.filePath(QStringLiteral("read")));
    QStringList ours;
    for (const syncfolder::Record &record : reader.readNew(nullptr)) {
        if (record.device != QStringLiteral("other"))
            ours << record.text;
    }
    QCOMPARE(ours, (QStringList{QStringLiteral("copied here"), QStringLiteral("copied after")}));
}

// Sharing moved to a new, empty folder: this machine's records start again there under a new id, so a
// machine that had read its earlier ones takes them; those earlier ones, copied along, are not read back.
void TestFrmMain::sharingMovesToAnotherFolder()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QTemporaryDir peer;
    const QString peerState = peer.filePath(QStringLiteral("read"));
    const auto peerReads = [&peerState](const QString &folder) {
        syncfolder::PeerReader reader(folder, QStringLiteral("peer"), peerState);
        QStringList texts;
        for (const syncfolder::Record &record : reader.readNew(nullptr))
            texts << record.text;
        QString error;
        return reader.commit(&error) ? texts : QStringList{error};
    };
    iniWriteSyncFolder(m_dir->path(), first.path());
    start();
    m_fakes->clipboard.put(text(QStringLiteral("one")));
    m_fakes->clipboard.put(text(QStringLiteral("two")));
    QCOMPARE(peerReads(first.path()), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    iniWriteSyncFolder(m_dir->path(), second.path());
    emit m_fakes->instance.syncChanged();
    m_fakes->clipboard.put(text(QStringLiteral("three")));
    QCOMPARE(peerReads(second.path()), QStringList{QStringLiteral("three")});
    // The first folder's records copied into the second: neither the peer nor this machine takes them again.
    std::filesystem::copy(first.path().toStdString() + "/vornkip", second.path().toStdString() + "/vornkip",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::skip_existing);
    QCOMPARE(peerReads(second.path()), QStringList{});
    QTest::qWait(SyncService::settleMs * 2);
    QCOMPARE(listTexts().size(), 3);
}

// A shared folder that is gone (an unmounted disk) or holds foreign files: each told once, in one box
// per read, the copies recorded all the same; once the folder is back, the copies made meanwhile reach
// it, in order, with the next one.
void TestFrmMain::sharingTroubleIsToldOnce()
{
    QTemporaryDir root;
    const QString shared = root.filePath(QStringLiteral("shared"));
    const QString devices = syncfolder::devicesFolder(shared);
    QVERIFY(QDir().mkpath(devices + QStringLiteral("/other")) && QDir().mkpath(devices + QStringLiteral("/a b")));
    fileio::writeFileAtomic(devices + QStringLiteral("/other/notes.txt"), "x");
    iniWriteSyncFolder(m_dir->path(), shared);
    start();
    QTRY_COMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("履歴の共有"));
    QCOMPARE(m_fakes->messages.shown[0].text.count(QLatin1Char('\n')), 1);
    m_fakes->clipboard.put(text(QStringLiteral("shared")));
    QVERIFY(QDir().rename(shared, root.filePath(QStringLiteral("away"))));
    m_fakes->clipboard.put(text(QStringLiteral("kept 1")));
    m_fakes->clipboard.put(text(QStringLiteral("kept 2")));
    QTRY_COMPARE(m_fakes->messages.shown.size(), 2);
    QCOMPARE(historyBytes(), QByteArray("000001shared\r\n000002kept 1\r\n000003kept 2\r\n"));
    QVERIFY(QDir().rename(root.filePath(QStringLiteral("away")), shared));
    m_fakes->clipboard.put(text(QStringLiteral("shared again")));
    QTemporaryDir state;
    syncfolder::PeerReader reader(shared, QStringLiteral("third"), state.filePath(QStringLiteral("read")));
    QStringList texts;
    for (const syncfolder::Record &record : reader.readNew(nullptr))
        texts << record.text;
    QCOMPARE(texts, (QStringList{QStringLiteral("shared"), QStringLiteral("kept 1"), QStringLiteral("kept 2"),
                                 QStringLiteral("shared again")}));
    QTest::qWait(SyncService::settleMs * 2); // the reads the changes caused tell nothing again
    QCOMPARE(m_fakes->messages.shown.size(), 2);
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
