// SPDX-License-Identifier: GPL-3.0-or-later
// The end of the program while a box or dialog has its own event loop: the real Qt message boxes and
// file dialogs, the other services faked.
#include "app/frmmain.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "fakes/fakes.h"
#include "mainparts.h"
#include "platform/filedialogs.h"
#include "platform/messages.h"
#include "platform/modal.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace mainparts;

class TestShutdown final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void signalWhileABoxIsOpen_data();
    void signalWhileABoxIsOpen();
    void signalDuringAStartBox();
    void escapeOnTheExitQuestionKeepsTheHistory();

private:
    Platform platform();
    frmMain &start();
    // Calls `then` once a modal window is up, from inside its event loop.
    void whenModal(std::function<void(QWidget *)> then);
    QByteArray historyBytes() const { return fileio::readWholeFile(datafolder::historyFile(m_dir->path())); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    QtMessageService m_messages;
    QtFileDialogs m_dialogs;
    std::unique_ptr<frmMain> m_main;
};

void TestShutdown::init()
{
    modal::reset();
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestShutdown::cleanup()
{
    m_main.reset();
    m_fakes.reset();
    m_dir.reset();
}

Platform TestShutdown::platform()
{
    Platform p = m_fakes->platform();
    p.messages = m_messages;
    p.dialogs = m_dialogs;
    return p;
}

frmMain &TestShutdown::start()
{
    m_main = std::make_unique<frmMain>(platform(), m_dir->path(), false);
    m_main->Form_Load();
    return *m_main;
}

void TestShutdown::whenModal(std::function<void(QWidget *)> then)
{
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll, then] {
        if (QWidget *modalWindow = QApplication::activeModalWidget(); modalWindow && modalWindow->isVisible()) {
            poll->stop();
            poll->deleteLater();
            then(modalWindow);
        }
    });
    poll->start(10);
}

void TestShutdown::signalWhileABoxIsOpen_data()
{
    QTest::addColumn<QString>("opens");
    QTest::newRow("exit question") << "quit";
    QTest::newRow("question of the main window") << "clipClear";
    QTest::newRow("count box of the text window") << "omake_Count_1";
    QTest::newRow("input box of the text window") << "omake_Count_3";
    QTest::newRow("file dialog of the text window") << "file_Open";
}

void TestShutdown::signalWhileABoxIsOpen()
{
    QFETCH(QString, opens);
    frmMain &w = start();
    m_fakes->clipboard.put({true, QStringLiteral("kept"), false, {}});
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n"));
    QAction *action = nullptr;
    if (opens.startsWith(QStringLiteral("omake")) || opens.startsWith(QStringLiteral("file"))) {
        commands(w)->Toolbar1_ButtonClick(QStringLiteral("text"));
        action = topLevel(QStringLiteral("frmText"))->findChild<QAction *>(opens);
    } else {
        action = menuAction(w, opens);
    }
    QVERIFY(action);
    const QPointer<QWidget> textWindow = topLevel(QStringLiteral("frmText"));
    QString boxTitle;
    whenModal([&](QWidget *box) {
        boxTitle = box->windowTitle();
        w.requestShutdown(); // what SIGTERM does
    });
    QTimer::singleShot(0, action, &QAction::trigger);
    QTRY_VERIFY_WITH_TIMEOUT(w.isUnloaded(), 10000);
    QVERIFY(!boxTitle.isNull());
    QVERIFY(!QApplication::activeModalWidget());
    // Nothing was answered: the clipboard is not emptied and the history is kept.
    QVERIFY(m_fakes->clipboard.content.hasText);
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n"));
    QVERIFY(fileio::exists(datafolder::settingsFile(m_dir->path())));
    // The secondary windows go once the event loop is back at the top.
    QTRY_VERIFY(textWindow.isNull());
}

void TestShutdown::signalDuringAStartBox()
{
    // The history file cannot be made (a folder stands in its place): the start shows an error box
    // before the program's event loop runs. The signal closes it, and the program ends once started.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("temp.ifo")));
    QString boxTitle;
    whenModal([&](QWidget *box) {
        boxTitle = box->windowTitle();
        m_main->requestShutdown();
    });
    m_main = std::make_unique<frmMain>(platform(), m_dir->path(), false);
    QVERIFY(m_main->Form_Load());
    QVERIFY(!boxTitle.isEmpty());
    QVERIFY(!m_main->isUnloaded()); // not from inside the box's loop
    QTRY_VERIFY(m_main->isUnloaded());
    QVERIFY(fileio::exists(datafolder::settingsFile(m_dir->path())));
}

void TestShutdown::escapeOnTheExitQuestionKeepsTheHistory()
{
    frmMain &w = start();
    m_fakes->clipboard.put({true, QStringLiteral("kept"), false, {}});
    QString question;
    whenModal([&](QWidget *box) {
        question = static_cast<QMessageBox *>(box)->text();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    trigger(w, "quit");
    QCOMPARE(question, QStringLiteral("次回に履歴を残しておきますか？"));
    QVERIFY(w.isUnloaded());
    QCOMPARE(historyBytes(), QByteArray("000001kept\r\n"));
}

QTEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
