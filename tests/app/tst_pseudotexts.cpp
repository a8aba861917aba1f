// SPDX-License-Identifier: GPL-3.0-or-later
// Every window under a catalogue that shows each of its texts as "[[text]]": a text shown without the
// brackets never went through the catalogue, and a user who does not read Japanese meets it untranslated.

#include "app/frmmain.h"
#include "core/datafolder.h"
#include "core/fileio.h"
#include "display/previewpane.h"
#include "fakes/fakes.h"
#include "fakes/pseudotexts.h"
#include "mainparts.h"
#include "picwin/frmpicture.h"
#include "popup/frmpopup.h"
#include "search/frmsearch.h"
#include "templates/frmpro.h"
#include "textwin/frmtext.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace mainparts;

namespace {
// Shown as they are in every language: the user's own texts (the history, the clipboard) and the
// number a box carries as its title.
const QStringList asTheyAre{"first entry", "second entry", "on the clipboard", "ID:Q0001"};
} // namespace

class TestPseudoTexts final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_catalogue.loaded()); }
    void init();
    void cleanup();
    void everyShownTextIsFromTheCatalogue_data();
    void everyShownTextIsFromTheCatalogue();

private:
    QWidget *make(const QString &window);
    Platform platform()
    {
        Platform p = m_fakes->platform();
        if (m_realBoxes)
            p.messages = m_boxes;
        return p;
    }

    pseudotexts::PseudoCatalogue m_catalogue;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmMain> m_main;
    std::unique_ptr<PreviewPane> m_preview;
    historysearch::Options m_options;
    std::unique_ptr<QWidget> m_window;
    QtMessageService m_boxes;
    bool m_realBoxes = false;
};

void TestPseudoTexts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
    m_fakes->clipboard.content = {true, asTheyAre[2], false, {}};
    m_fakes->system.caps = true;
    fileio::writeFileAtomic(datafolder::historyFile(m_dir->path()), "000001first entry\r\n000002second entry\r\n");
}

void TestPseudoTexts::cleanup()
{
    m_window.reset();
    m_main.reset();
    m_preview.reset();
    m_fakes.reset();
    m_dir.reset();
}

// Each window made as the program makes it; the popup through the running bar, as the shortcut opens it.
QWidget *TestPseudoTexts::make(const QString &window)
{
    if (window == "bar" || window == "popup") {
        m_main = std::make_unique<frmMain>(platform(), m_dir->path(), false);
        m_main->Form_Load();
        if (window == "bar")
            return m_main.get();
        emit m_fakes->shortcut.activated();
        const auto popup = [] { return topLevel("frmPopup"); };
        return QTest::qWaitFor([&] { return popup() && popup()->isVisible(); }) ? popup() : nullptr;
    }
    if (window == "text")
        m_window = std::make_unique<frmText>(platform(), CodePage::Utf8);
    else if (window == "picture") {
        m_preview = std::make_unique<PreviewPane>();
        m_window = std::make_unique<frmPicture>(platform(), m_preview.get());
        m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    } else if (window == "template") {
        m_window = std::make_unique<frmPro>(platform(), CodePage::Utf8);
    } else if (window == "search") {
        const QString path = datafolder::historyFile(m_dir->path());
        auto *search = new frmSearch(
            platform(), [path] { return path; }, m_options);
        m_window.reset(search);
        search->open();
    }
    m_window->show();
    return m_window.get();
}

void TestPseudoTexts::everyShownTextIsFromTheCatalogue_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("asking"); // a command that asks a question, answered no (then maybe a file)
    QTest::addColumn<bool>("realBox");   // the question in the program's own box, read while it is open
    QTest::newRow("bar, its menus, the tray and title menus") << "bar"
                                                              << "clipClear" << false;
    QTest::newRow("bar's question in its box") << "bar"
                                               << "clipClear" << true;
    QTest::newRow("text window") << "text"
                                 << "file_Open" << false;
    QTest::newRow("picture window") << "picture"
                                    << "edit_New" << false;
    QTest::newRow("template editor") << "template"
                                     << "file_Add" << false;
    QTest::newRow("search window") << "search"
                                   << "" << false;
    QTest::newRow("popup") << "popup"
                           << "" << false;
}

void TestPseudoTexts::everyShownTextIsFromTheCatalogue()
{
    QFETCH(QString, window);
    QFETCH(QString, asking);
    QFETCH(bool, realBox);
    m_realBoxes = realBox;
    QWidget *root = make(window);
    QVERIFY(root);
    pseudotexts::Reader reader(asTheyAre);
    QStringList unwrapped;
    if (!asking.isEmpty()) {
        if (auto *text = qobject_cast<frmText *>(root))
            text->setText(asTheyAre[0]); // a text that would be lost
        m_fakes->messages.answers.enqueue(MsgAnswer::No);
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                poll.stop();
                unwrapped = pseudotexts::Reader(asTheyAre).unwrapped(box);
                box->reject();
            }
        });
        if (realBox)
            poll.start(10);
        root->findChild<QAction *>(asking)->trigger();
        QVERIFY(!poll.isActive());
        QCOMPARE(m_fakes->messages.shown.size(), realBox ? 0 : 1);
        for (const FakeMessages::Shown &box : m_fakes->messages.shown) {
            reader.check("question", box.text);
            reader.check("question's title", box.title);
        }
        for (const FakeDialogs::Asked &dialog : m_fakes->dialogs.asked)
            reader.check("file dialog's filter", dialog.request.filter);
    }
    unwrapped += reader.unwrapped(root);
    for (const QString &text : unwrapped)
        qInfo("not from the catalogue: %s", qPrintable(text));
    QVERIFY2(unwrapped.isEmpty(), "texts not from the catalogue, listed above");
}

QTEST_MAIN(TestPseudoTexts)
#include "tst_pseudotexts.moc"
