// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "core/twips.h"
#include "fakes/fakes.h"
#include "fakes/filedialogdriver.h"
#include "textwin/frmtext.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

// Message answers in the tables; noQuestion where no question may be asked.
constexpr int noQuestion = -1;

// The ways a user pastes into the editor.
enum class PasteRoute
{
    CtrlV,
    ShiftInsert,
    ContextMenu,
    MiddleClick
};

class TestFrmText final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void open_data();
    void open();
    void realDialogs_data();
    void realDialogs();
    void saveAsProposesClipboardTxtEveryTime_data();
    void saveAsProposesClipboardTxtEveryTime();
    void copyAndCut_data();
    void copyAndCut();
    void paste_data();
    void paste();
    void everyPasteIsTheWindowsPaste_data();
    void everyPasteIsTheWindowsPaste();
    void selectAllAndCopyAll();
    void shortcutsActOnTheWholeText_data();
    void shortcutsActOnTheWholeText();
    void layoutThresholds_data();
    void layoutThresholds();
    void maximizedEditorFillsTheWindow();
    void everyMenuIsOnTheBarAtEverySize_data();
    void everyMenuIsOnTheBarAtEverySize();
    void conversions_data();
    void conversions();
    void counts_data();
    void counts();
    void countThree_data();
    void countThree();
    void fonts_data();
    void fonts();
    void fontDialogStartsFromItsLastChoice();
    void drops_data();
    void drops();
    void fileManagerDrops_data();
    void fileManagerDrops();
    void dropIsHandledAfterTheDrag();
    void largeTexts_data();
    void largeTexts();
    void closeWhileALargeTextIsBuiltClosesAfterwards();
    void laterTextWinsOverALargeOneBeingBuilt();

private:
    frmText &make(const QString &text = {}, CodePage writePage = CodePage::Utf8);
    QString file(const QString &name) const { return m_dir->path() + QLatin1Char('/') + name; }
    bool trigger(const QString &name)
    {
        auto *a = m_w->findChild<QAction *>(name);
        if (a)
            a->trigger();
        return a;
    }
    // Shows the window for real geometry and key handling.
    bool showWindow()
    {
        m_w->show();
        m_w->activateWindow();
        return QTest::qWaitForWindowExposed(m_w.get());
    }
    int px(int t) const { return twips::toPixels(t, m_w->logicalDpiY()); }
    int tw(int pixels) const { return twips::fromPixels(pixels, m_w->logicalDpiY()); }
    // The editor's geometry the layout rule gives for the window's current inner area.
    QRect editorFor(const QSize &inner) const { return {0, 0, px(tw(inner.width()) - 15), px(tw(inner.height()))}; }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<frmText> m_w;
};

void TestFrmText::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
}

void TestFrmText::cleanup()
{
    m_w.reset();
}

frmText &TestFrmText::make(const QString &text, CodePage writePage)
{
    m_w = std::make_unique<frmText>(m_fakes->platform(), writePage);
    m_w->setText(text);
    return *m_w;
}

// --- File commands.

void TestFrmText::open_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveChosen");
    QTest::addColumn<bool>("openChosen");
    QTest::addColumn<QByteArray>("fileBytes"); // null: the chosen file is missing
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QByteArray>("saved"); // null: nothing saved
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("errorTitle");

    const QStringList none;
    const QStringList open{"open"};
    const QStringList saveOpen{"save", "open"};
    const QByteArray crlf("new\r\nline");
    QTest::newRow("empty editor: no question")
        << "" << noQuestion << false << true << crlf << open << QByteArray() << "new\r\nline"
        << "";
    QTest::newRow("cancel") << "old" << int(MsgAnswer::Cancel) << true << true << crlf << none << QByteArray() << "old"
                            << "";
    QTest::newRow("no, open cancelled") << "old" << int(MsgAnswer::No) << true << false << crlf << open << QByteArray()
                                        << "old"
                                        << "";
    QTest::newRow("no, opened") << "old" << int(MsgAnswer::No) << true << true << crlf << open << QByteArray()
                                << "new\r\nline"
                                << "";
    QTest::newRow("yes, save cancelled: no open dialog")
        << "old" << int(MsgAnswer::Yes) << false << true << crlf << QStringList{"save"} << QByteArray() << "old"
        << "";
    QTest::newRow("yes, saved, opened") << "old\r\ntext" << int(MsgAnswer::Yes) << true << true << crlf << saveOpen
                                        << QByteArray("old\r\ntext") << "new\r\nline"
                                        << "";
    QTest::newRow("yes, saved, open cancelled")
        << "old" << int(MsgAnswer::Yes) << true << false << crlf << saveOpen << QByteArray("old") << "old"
        << "";
    QTest::newRow("yes, saved, missing file: the save stays")
        << "old" << int(MsgAnswer::Yes) << true << true << QByteArray() << saveOpen << QByteArray("old") << "old"
        << "53";
    QTest::newRow("Shift_JIS file") << "" << noQuestion << false << true
                                    << QByteArray::fromHex("93fa967b8cea0d0a82a982c8") << open << QByteArray()
                                    << "日本語\r\nかな"
                                    << "";
    QTest::newRow("LF file") << "" << noQuestion << false << true << QByteArray("p\nq\n") << open << QByteArray()
                             << "p\r\nq\r\n"
                             << "";
}

void TestFrmText::open()
{
    QFETCH(QString, before);
    QFETCH(int, answer);
    QFETCH(bool, saveChosen);
    QFETCH(bool, openChosen);
    QFETCH(QByteArray, fileBytes);
    QFETCH(QStringList, dialogs);
    QFETCH(QByteArray, saved);
    QFETCH(QString, after);
    QFETCH(QString, errorTitle);
    frmText &w = make(before);
    if (!fileBytes.isNull())
        fileio::writeFileAtomic(file("in.txt"), fileBytes);
    if (answer != noQuestion) {
        m_fakes->messages.answers.enqueue(MsgAnswer(answer));
        if (answer == int(MsgAnswer::Yes)) {
            if (saveChosen)
                m_fakes->dialogs.answers.enqueue(FileDialogResult{file("saved.txt"), 2});
            else
                m_fakes->dialogs.answers.enqueue(std::nullopt);
        }
    }
    if (openChosen)
        m_fakes->dialogs.answers.enqueue(FileDialogResult{file("in.txt"), 1});
    else
        m_fakes->dialogs.answers.enqueue(std::nullopt);

    w.file_Open_Click();

    const auto &shown = m_fakes->messages.shown;
    QCOMPARE(shown.size(), (answer == noQuestion ? 0 : 1) + (errorTitle.isEmpty() ? 0 : 1));
    if (answer != noQuestion) {
        QCOMPARE(shown[0].text, QStringLiteral("作成中の文書は失われます。保存しますか？"));
        QCOMPARE(shown[0].title, QStringLiteral("ID:Q0001"));
        QCOMPARE(shown[0].icon, MsgIcon::Question);
        QCOMPARE(shown[0].buttons, MsgButtons::YesNoCancel);
    }
    if (!errorTitle.isEmpty())
        QCOMPARE(shown.last().title, errorTitle);
    QStringList asked;
    for (const auto &a : m_fakes->dialogs.asked) {
        asked << (a.save ? "save" : "open");
        QCOMPARE(a.request.defaultExtension, QStringLiteral(".txt"));
        QCOMPARE(a.request.filterIndex, 1); // the first entry: text files
        QCOMPARE(a.request.filter, a.save ? QStringLiteral("テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*")
                                          : QStringLiteral("テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*"));
    }
    QCOMPARE(asked, dialogs);
    QCOMPARE(fileio::exists(file("saved.txt")), !saved.isNull());
    if (!saved.isNull())
        QCOMPARE(fileio::readWholeFile(file("saved.txt")), saved);
    QCOMPARE(w.text(), after);
}

void TestFrmText::realDialogs_data()
{
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("pick");
    QTest::addColumn<int>("filter"); // the file type the person chooses first, 0: as proposed
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file"); // the file read or written

    QTest::newRow("open: README picked under all files") << false << true << 2 << "README"
                                                         << "README";
    QTest::newRow("open: README typed") << false << false << 0 << "README"
                                        << "README";
    QTest::newRow("save: a typed name gets .txt") << true << false << 0 << "notes"
                                                  << "notes.txt";
    QTest::newRow("save: README picked under all files") << true << true << 2 << "README"
                                                         << "README";
}

// The commands with the real dialogs, answered as a person would.
void TestFrmText::realDialogs()
{
    QFETCH(bool, save);
    QFETCH(bool, pick);
    QFETCH(int, filter);
    QFETCH(QString, name);
    QFETCH(QString, file);
    fileio::writeFileAtomic(this->file("README"), "readme\r\ntext");
    QtFileDialogs dialogs;
    Platform platform = m_fakes->platform();
    platform.dialogs = dialogs;
    m_w = std::make_unique<frmText>(platform, CodePage::Utf8);
    if (save)
        m_w->setText(QStringLiteral("saved\r\ntext"));
    FileDialogDriver driver(pick ? FileDialogDriver::How::Pick : FileDialogDriver::How::Type, this->file(name), filter);

    if (save)
        m_w->file_Save_Click();
    else
        m_w->file_Open_Click();

    QVERIFY(driver.answered());
    QVERIFY(!pick || driver.listed);
    QTRY_VERIFY(driver.finished());
    QCOMPARE(driver.boxes.size(), save && pick ? 1 : 0); // replacing README is asked about
    QCOMPARE(m_fakes->messages.shown.size(), 0);
    if (save) {
        QCOMPARE(fileio::readWholeFile(this->file(file)), QByteArray("saved\r\ntext"));
    } else {
        QCOMPARE(m_w->text(), QStringLiteral("readme\r\ntext"));
        QVERIFY(!QFileInfo::exists(this->file("README.txt")));
    }
}

void TestFrmText::saveAsProposesClipboardTxtEveryTime_data()
{
    QTest::addColumn<int>("writePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF line ends") << int(CodePage::Utf8) << "a\r\n\r\nb" << QByteArray("a\r\n\r\nb");
    QTest::newRow("Shift_JIS") << int(CodePage::Cp932) << "日本\r\n" << QByteArray::fromHex("93fa967b0d0a");
}

void TestFrmText::saveAsProposesClipboardTxtEveryTime()
{
    QFETCH(int, writePage);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    frmText &w = make(text, CodePage(writePage));
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file("other.txt"), 2});
    w.file_Save_Click();
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file("second.txt"), 1});
    w.file_Save_Click();
    QCOMPARE(m_fakes->dialogs.asked.size(), 2);
    for (const auto &a : m_fakes->dialogs.asked) {
        QVERIFY(a.save);
        QCOMPARE(a.request.fileName, QStringLiteral("Clipboard.txt"));
        QCOMPARE(a.request.filter, QStringLiteral("テキストファイル（*.txt)|*.txt|全てのファイル(*.*)|*.*"));
        QCOMPARE(a.request.filterIndex, 1);
        QCOMPARE(a.request.defaultExtension, QStringLiteral(".txt"));
        QVERIFY(a.request.overwritePrompt);
    }
    QCOMPARE(fileio::readWholeFile(file("other.txt")), bytes);
    QCOMPARE(fileio::readWholeFile(file("second.txt")), bytes);
    QCOMPARE(w.text(), text);
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

// --- Edit commands.

void TestFrmText::copyAndCut_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("after");
    // The text is "ab\r\ncd"; the line break is one editor position.
    QTest::newRow("copy, nothing selected") << "eidt_Erea" << 1 << 0 << "before"
                                            << "ab\r\ncd";
    QTest::newRow("cut, nothing selected") << "edit_Cut" << 1 << 0 << "before"
                                           << "ab\r\ncd";
    QTest::newRow("copy across the line break") << "eidt_Erea" << 1 << 3 << "b\r\nc"
                                                << "ab\r\ncd";
    QTest::newRow("cut across the line break") << "edit_Cut" << 1 << 3 << "b\r\nc"
                                               << "ad";
}

void TestFrmText::copyAndCut()
{
    QFETCH(QString, command);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, clipboard);
    QFETCH(QString, after);
    frmText &w = make("ab\r\ncd");
    m_fakes->clipboard.put({true, "before", false, {}});
    QSignalSpy changes(&m_fakes->clipboard, &Clipboard::changed);
    w.setSelection(start, length);
    QVERIFY(trigger(command));
    const bool copied = length > 0;
    QCOMPARE(m_fakes->messages.shown.size(), copied ? 0 : 1);
    if (!copied) {
        QCOMPARE(m_fakes->messages.shown[0].text, QStringLiteral("範囲が指定されていません。"));
        QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("ID:I0002"));
        QCOMPARE(m_fakes->messages.shown[0].icon, MsgIcon::Information);
        QCOMPARE(m_fakes->messages.shown[0].buttons, MsgButtons::Ok);
    }
    QCOMPARE(changes.size(), copied ? 1 : 0);
    QCOMPARE(m_fakes->clipboard.content.text, clipboard);
    QCOMPARE(w.text(), after);
}

void TestFrmText::paste_data()
{
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("after");
    QTest::newRow("text") << true << "x\r\ny"
                          << "ax\r\nyd";
    QTest::newRow("picture: the selection goes") << false << ""
                                                 << "ad";
}

// A clipboard that holds the text, or else only a picture.
static ClipboardContent textOrPicture(bool hasText, const QString &text)
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    return {hasText, text, !hasText, hasText ? QImage() : picture};
}

void TestFrmText::paste()
{
    QFETCH(bool, hasText);
    QFETCH(QString, clipboard);
    QFETCH(QString, after);
    frmText &w = make("abc\r\nd");
    m_fakes->clipboard.put(textOrPicture(hasText, clipboard));
    w.setSelection(1, 3); // "bc", the line break
    QVERIFY(trigger("edit_Paste"));
    QCOMPARE(w.text(), after);
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestFrmText::everyPasteIsTheWindowsPaste_data()
{
    QTest::addColumn<PasteRoute>("route");
    QTest::addColumn<bool>("desktopOffersNothing"); // as the X11 clipboard does when nobody owns it
    QTest::addColumn<bool>("hasText");              // the program's clipboard holds text (else a picture)
    QTest::addColumn<QString>("after");
    // The text is "abc\r\nd" with "bc" and the line break selected; the middle click is below the text.
    const QList<std::pair<const char *, PasteRoute>> routes{{"Ctrl+V", PasteRoute::CtrlV},
                                                            {"Shift+Insert", PasteRoute::ShiftInsert},
                                                            {"context menu", PasteRoute::ContextMenu},
                                                            {"middle click", PasteRoute::MiddleClick}};
    for (const auto &[name, route] : routes) {
        const bool atEnd = route == PasteRoute::MiddleClick;
        const QString pasted = atEnd ? "abc\r\ndx\r\ny" : "ax\r\nyd";
        const QString nothing = atEnd ? "abc\r\nd" : "ad";
        QTest::addRow("%s, desktop holds other text", name) << route << false << true << pasted;
        QTest::addRow("%s, desktop offers nothing", name) << route << true << true << pasted;
        QTest::addRow("%s, no text, desktop offers nothing", name) << route << true << false << nothing;
    }
}

// Every paste into the editor is the edit menu's paste: the program's clipboard is read once, for
// its text only, and Qt's own paste never reads the desktop's clipboard, which may offer no formats
// at all (Qt 6.4 crashed on such a clipboard).
void TestFrmText::everyPasteIsTheWindowsPaste()
{
    QFETCH(PasteRoute, route);
    QFETCH(bool, desktopOffersNothing);
    QFETCH(bool, hasText);
    QFETCH(QString, after);
    frmText &w = make("abc\r\nd");
    m_fakes->clipboard.put(textOrPicture(hasText, hasText ? "x\r\ny" : ""));
    if (desktopOffersNothing)
        QGuiApplication::clipboard()->setMimeData(new QMimeData);
    else
        QGuiApplication::clipboard()->setText("desktop text");
    const auto restore = qScopeGuard([] { QGuiApplication::clipboard()->clear(); });
    QVERIFY(showWindow());
    w.richText()->setFocus();
    w.setSelection(1, 3);
    const int reads = m_fakes->clipboard.reads;

    QWidget *viewport = w.richText()->viewport();
    switch (route) {
    case PasteRoute::CtrlV:
        QTest::keyClick(w.richText(), Qt::Key_V, Qt::ControlModifier);
        break;
    case PasteRoute::ShiftInsert:
        QTest::keyClick(w.richText(), Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case PasteRoute::ContextMenu: {
        const QPoint at(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &event);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction *paste = menu->findChild<QAction *>("edit-paste");
        QVERIFY(paste);
        QVERIFY(paste->isEnabled());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(paste).center());
        break;
    }
    case PasteRoute::MiddleClick:
        QTest::mouseClick(viewport, Qt::MiddleButton, {}, QPoint(viewport->width() - 5, viewport->height() - 5));
        break;
    }

    QCOMPARE(w.text(), after);
    QCOMPARE(w.richText()->toPlainText(), QString(after).replace("\r\n", "\n"));
    QCOMPARE(m_fakes->clipboard.reads - reads, 1);
    QCOMPARE(m_fakes->clipboard.pictureReads, 0);
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestFrmText::selectAllAndCopyAll()
{
    frmText &w = make();
    QVERIFY(trigger("edit_All"));
    QCOMPARE(w.selStart(), 0);
    QCOMPARE(w.selLength(), 0);
    w.setText("ab\r\nc");
    QVERIFY(trigger("edit_All"));
    QCOMPARE(w.selText(), QStringLiteral("ab\r\nc"));
    w.setSelection(1, 1);
    QSignalSpy changes(&m_fakes->clipboard, &Clipboard::changed);
    QVERIFY(trigger("edit_Copy"));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("ab\r\nc"));
    w.setText(QString());
    QVERIFY(trigger("edit_Copy")); // an empty text is put on the clipboard too
    QCOMPARE(changes.size(), 2);
    QVERIFY(m_fakes->clipboard.content.hasText);
    QCOMPARE(m_fakes->clipboard.content.text, QString());
}

void TestFrmText::shortcutsActOnTheWholeText_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("after");
    QTest::newRow("Shift+Delete empties the text") << int(Qt::Key_Delete) << int(Qt::ShiftModifier) << "before"
                                                   << "";
    QTest::newRow("Ctrl+Insert copies the whole text") << int(Qt::Key_Insert) << int(Qt::ControlModifier) << "ab\r\ncd"
                                                       << "ab\r\ncd";
}

void TestFrmText::shortcutsActOnTheWholeText()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, clipboard);
    QFETCH(QString, after);
    frmText &w = make("ab\r\ncd");
    m_fakes->clipboard.put({true, "before", false, {}});
    QVERIFY(showWindow());
    w.richText()->setFocus();
    w.setSelection(1, 3);
    QTest::keyClick(w.richText(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(w.text(), after);
    QCOMPARE(m_fakes->clipboard.content.text, clipboard);
}

// --- Layout.

void TestFrmText::layoutThresholds_data()
{
    // Inner sizes in twips; "+1 px" rows take the first pixel above the twips value.
    QTest::addColumn<int>("innerWidth");
    QTest::addColumn<int>("widthNudge");
    QTest::addColumn<int>("innerHeight");
    QTest::addColumn<int>("heightNudge");
    QTest::addColumn<bool>("widthCorrected");
    QTest::addColumn<bool>("heightCorrected");
    QTest::newRow("roomy") << 4680 << 0 << 3195 << 0 << false << false;
    QTest::newRow("height 2500") << 4680 << 0 << 2500 << 0 << false << true;
    QTest::newRow("height 2500 +1 px") << 4680 << 0 << 2500 << 1 << false << false;
    QTest::newRow("height 1200") << 4680 << 0 << 1200 << 0 << false << true;
    QTest::newRow("width 2500") << 2500 << 0 << 3195 << 0 << true << false;
    QTest::newRow("width 2500 +1 px") << 2500 << 1 << 3195 << 0 << false << false;
    QTest::newRow("both low") << 1500 << 0 << 1500 << 0 << true << true;
}

void TestFrmText::layoutThresholds()
{
    QFETCH(int, innerWidth);
    QFETCH(int, widthNudge);
    QFETCH(int, innerHeight);
    QFETCH(int, heightNudge);
    QFETCH(bool, widthCorrected);
    QFETCH(bool, heightCorrected);
    frmText &w = make("text");
    QVERIFY(showWindow());
    // The most pixels that still come to no more than the twips value.
    const auto atMost = [&](int t) {
        int p = px(t);
        while (tw(p) > t)
            --p;
        return p;
    };
    const int width = atMost(innerWidth) + widthNudge;
    const int height = atMost(innerHeight) + heightNudge;
    w.resize(width, height + w.menuBar()->height());
    // The window's own height and width stand for the outer size less 405 and 120 twips; it is never
    // narrower than its menu bar.
    const int narrowest = w.menuBar()->sizeHint().width();
    QCOMPARE(w.width(), std::max(widthCorrected ? px(2680 - 120) : width, narrowest));
    QCOMPARE(w.height(), heightCorrected ? px(2500 - 405) : height + w.menuBar()->height());
    if (!widthCorrected && !heightCorrected && width >= narrowest)
        QCOMPARE(w.centralWidget()->size(), QSize(width, height));
    QCOMPARE(w.richText()->geometry(), editorFor(w.centralWidget()->size()));
}

void TestFrmText::maximizedEditorFillsTheWindow()
{
    frmText &w = make("text");
    w.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.isMaximized());
    QTRY_VERIFY(w.centralWidget()->width() > px(4680));
    QTRY_COMPARE(w.richText()->geometry(), editorFor(w.centralWidget()->size()));
}

void TestFrmText::everyMenuIsOnTheBarAtEverySize_data()
{
    // Outer sizes in twips, as form.ini keeps them; a menu, and its access key.
    QTest::addColumn<int>("outerWidth");
    QTest::addColumn<int>("outerHeight");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("key");
    QTest::newRow("first start: style") << 3000 << 2000 << "style" << int(Qt::Key_S);
    QTest::newRow("first start: extras") << 3000 << 2000 << "omake" << int(Qt::Key_O);
    QTest::newRow("as narrow as it goes: extras") << 1000 << 1000 << "omake" << int(Qt::Key_O);
    QTest::newRow("as narrow as it goes: file") << 1000 << 1000 << "file" << int(Qt::Key_F);
    QTest::newRow("roomy: edit") << 9000 << 6000 << "edit" << int(Qt::Key_E);
}

void TestFrmText::everyMenuIsOnTheBarAtEverySize()
{
    QFETCH(int, outerWidth);
    QFETCH(int, outerHeight);
    QFETCH(QString, menu);
    QFETCH(int, key);
    frmText &w = make("text");
    w.resize(px(outerWidth - 120), px(outerHeight - 405));
    QVERIFY(showWindow());
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QMenuBar *bar = w.menuBar();
    // None behind the bar's extension button.
    for (QAction *a : bar->actions())
        QVERIFY2(bar->rect().contains(bar->actionGeometry(a)), qPrintable(a->text()));
    auto *opened = w.findChild<QMenu *>(menu);
    QVERIFY(opened);
    QTest::keyClick(&w, Qt::Key(key), Qt::AltModifier);
    QTRY_VERIFY(opened->isVisible());
    opened->close();
}

// --- Extras.

void TestFrmText::conversions_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("startAfter");
    QTest::addColumn<int>("lengthAfter");
    // The selection is put back by its old numbers, so it may cover more or less than the result.
    QTest::newRow("narrow selection") << "omake_hnarrow"
                                      << "ガギ" << 0 << 2 << "ｶﾞｷﾞ" << 0 << 2;
    QTest::newRow("whole text keeps no-break spaces") << "omake_ucase"
                                                      << "a\u00A0b\r\nc" << 0 << 0 << "A\u00A0B\r\nC" << 0 << 0;
    QTest::newRow("narrow, nothing selected") << "omake_hnarrow"
                                              << "ガギ" << 1 << 0 << "ガギ" << 1 << 0;
    QTest::newRow("katakana selection across a line") << "omake_hkana"
                                                      << "ひら\r\nがな" << 1 << 3 << "ひラ\r\nガな" << 1 << 3;
    QTest::newRow("upper case selection") << "omake_kucase"
                                          << "abc def" << 4 << 3 << "abc DEF" << 4 << 3;
    QTest::newRow("wide kana selection") << "omake_hhkzk"
                                         << "ｶﾞｷ a" << 0 << 5 << "ガキ a" << 0 << 4;
    QTest::newRow("katakana, whole text") << "omake_kana"
                                          << "ひら\r\nがな" << 1 << 1 << "ヒラ\r\nガナ" << 0 << 0;
    QTest::newRow("proper case, whole text") << "omake_pro"
                                             << "hELLO\r\nwORLD" << 0 << 0 << "Hello\r\nWorld" << 0 << 0;
}

void TestFrmText::conversions()
{
    QFETCH(QString, command);
    QFETCH(QString, before);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, after);
    QFETCH(int, startAfter);
    QFETCH(int, lengthAfter);
    frmText &w = make(before);
    w.setSelection(start, length);
    QVERIFY(trigger(command));
    QCOMPARE(w.text(), after);
    QCOMPARE(w.selStart(), startAfter);
    QCOMPARE(w.selLength(), lengthAfter);
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestFrmText::counts_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    const QString one = "文字数チェックその１";
    const QString two = "文字数チェックその２";
    QTest::newRow("count 1: CR LF not counted, space counted")
        << "omake_Count_1"
        << "ab\r\nc d" << 0 << 0 << "テキストボックス内の、表示文字数(空白込み)は、5文字でした。" << one;
    QTest::newRow("count 1: empty") << "omake_Count_1"
                                    << "" << 0 << 0 << "テキストボックス内の、表示文字数(空白込み)は、文字でした。"
                                    << one;
    QTest::newRow("count 1: grouped") << "omake_Count_1" << QString(1234, 'x') << 0 << 0
                                      << "テキストボックス内の、表示文字数(空白込み)は、1,234文字でした。" << one;
    QTest::newRow("count 2: nothing selected")
        << "omake_Count_2"
        << "abc" << 1 << 0 << "指定範囲内の文字数（空白込み）は、文字でした。" << two;
    QTest::newRow("count 2: across a line, tab and wide space")
        << "omake_Count_2"
        << "ab\r\n\t　d" << 1 << 4 << "指定範囲内の文字数（空白込み）は、3文字でした。" << two;
}

void TestFrmText::counts()
{
    QFETCH(QString, command);
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, message);
    QFETCH(QString, title);
    frmText &w = make(text);
    w.setSelection(start, length);
    QVERIFY(trigger(command));
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].text, message);
    QCOMPARE(m_fakes->messages.shown[0].title, title);
    QCOMPARE(m_fakes->messages.shown[0].icon, MsgIcon::None);
    QCOMPARE(m_fakes->messages.shown[0].buttons, MsgButtons::Ok);
    QCOMPARE(w.text(), text);
}

void TestFrmText::countThree_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("answer"); // null: cancelled
    QTest::addColumn<int>("after");      // R in the prompt
    QTest::addColumn<int>("lengthAfter");
    QTest::newRow("caret at the end") << "abcdef" << 6 << 0 << QString() << 0 << 0;
    QTest::newRow("not a number") << "abcdef" << 0 << 0 << "abc" << 6 << 0;
    QTest::newRow("2.5 selects 2") << "abcdef" << 0 << 0 << "2.5" << 6 << 2;
    QTest::newRow("3.5 selects 4") << "abcdef" << 0 << 0 << " 3.5 " << 6 << 4;
    QTest::newRow("cancelled") << "abcdef" << 0 << 1 << QString() << 6 << 1;
    QTest::newRow("past the end: to the end") << "abcdef" << 2 << 0 << "99" << 4 << 4;
    QTest::newRow("from the start of a selection") << "abcdef" << 1 << 2 << "1" << 5 << 1;
    QTest::newRow("a line break is one") << "ab\r\ncd" << 1 << 0 << "3" << 4 << 3;
}

void TestFrmText::countThree()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, answer);
    QFETCH(int, after);
    QFETCH(int, lengthAfter);
    frmText &w = make(text);
    w.setSelection(start, length);
    if (!answer.isNull())
        m_fakes->messages.inputAnswers.enqueue(answer);
    QVERIFY(trigger("omake_Count_3"));
    QCOMPARE(m_fakes->messages.inputs.size(), 1);
    const auto &asked = m_fakes->messages.inputs[0];
    QCOMPARE(asked.title, QStringLiteral("文字数チェックその３"));
    QCOMPARE(asked.defaultAnswer, QString());
    QCOMPARE(asked.prompt,
             QStringLiteral("カーソルから何文字目までを指定しますか？\r\nカーソル後の文字数は、%1文字です。"
                            "\r\n\r\n改行と空白は１文字と数えます。")
                 .arg(after));
    QCOMPARE(w.selStart(), start);
    QCOMPARE(w.selLength(), lengthAfter);
    QCOMPARE(w.text(), text);
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

// --- Style.

void TestFrmText::fonts_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    // Rows with an empty family keep the editor's family; points 0 keeps its size.
    QTest::newRow("size 12") << "style_Font_12" << false << "" << 12 << false << false;
    QTest::newRow("size 8") << "style_Font_8" << false << "" << 8 << false << false;
    QTest::newRow("font dialog") << "style_Edit" << true << "Serif Test" << 17 << true << true;
    QTest::newRow("font dialog cancelled") << "style_Edit" << false << "" << 0 << false << false;
}

void TestFrmText::fonts()
{
    QFETCH(QString, command);
    QFETCH(bool, chosen);
    QFETCH(QString, family);
    QFETCH(int, points);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    frmText &w = make("text");
    const QFont before = w.richText()->font();
    if (chosen) {
        QFont f(family, points);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(true); // not taken over
        f.setStrikeOut(true);
        m_fakes->dialogs.fontAnswers.enqueue(f);
    }
    QVERIFY(trigger(command));
    const QFont now = w.richText()->font();
    QCOMPARE(now.family(), family.isEmpty() ? before.family() : family);
    QCOMPARE(now.pointSize(), points ? points : before.pointSize());
    QCOMPARE(now.bold(), bold);
    QCOMPARE(now.italic(), italic);
    QVERIFY(!now.underline());
    QVERIFY(!now.strikeOut());
    QVERIFY(w.richText()->isVisibleTo(&w));
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestFrmText::fontDialogStartsFromItsLastChoice()
{
    frmText &w = make("text");
    QFont chosen("Serif Test", 15);
    chosen.setItalic(true);
    m_fakes->dialogs.fontAnswers.enqueue(chosen);
    w.style_Edit_Click();
    w.styleFont(9);
    w.style_Edit_Click(); // cancelled
    QCOMPARE(m_fakes->dialogs.fontsAsked.size(), 2);
    QCOMPARE(m_fakes->dialogs.fontsAsked[1].family(), QStringLiteral("Serif Test"));
    QCOMPARE(m_fakes->dialogs.fontsAsked[1].pointSize(), 15); // not the editor's 9
    QVERIFY(m_fakes->dialogs.fontsAsked[1].italic());
    QCOMPARE(w.richText()->font().pointSize(), 9);
}

// --- Drops.

void TestFrmText::drops_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("dropped"); // null: no text in the data
    QTest::addColumn<QByteArrayList>("files");
    QTest::addColumn<bool>("missing"); // a missing file ends the list
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("errorTitle");

    const int yes = int(MsgAnswer::Yes);
    const int no = int(MsgAnswer::No);
    const QByteArrayList noFiles;
    const QString noText;
    QTest::newRow("text onto empty") << "" << noQuestion << "new\nline" << noFiles << false << false << "new\r\nline"
                                     << "";
    QTest::newRow("text, yes") << "old" << yes << "new" << noFiles << false << false << "old\r\nnew"
                               << "";
    QTest::newRow("text, no") << "old" << no << "new" << noFiles << false << false << "new"
                              << "";
    QTest::newRow("text and a file: the text")
        << "" << noQuestion << "t" << QByteArrayList{"a"} << false << false << "t"
        << "";
    QTest::newRow("one empty file, yes") << "old" << yes << noText << QByteArrayList{""} << false << false << "old\r\n"
                                         << "";
    QTest::newRow("one file, no") << "old" << no << noText << QByteArrayList{"a\r\nb"} << false << false << "a\r\nb\r\n"
                                  << "";
    QTest::newRow("two files onto empty")
        << "" << noQuestion << noText << QByteArrayList{"a", "b"} << false << false << "a\r\nb\r\n"
        << "";
    QTest::newRow("three files, the empty one skipped, yes")
        << "old" << yes << noText << QByteArrayList{"a\r\n", "", "b\r\nc"} << false << false << "old\r\na\r\nb\r\nc\r\n"
        << "";
    QTest::newRow("lone CR ends a line") << "" << noQuestion << noText << QByteArrayList{"x\ry"} << false << false
                                         << "x\r\ny\r\n"
                                         << "";
    // A lone LF stays in the file's one line, but the editor has a single kind of line break: there
    // it shows as a line break, and the text read back from the editor has CR LF for it.
    QTest::newRow("lone LF stays in the line")
        << "" << noQuestion << noText << QByteArrayList{"x\ny\n"} << false << false << "x\r\ny\r\n\r\n"
        << "";
    QTest::newRow("Shift_JIS file") << "" << noQuestion << noText
                                    << QByteArrayList{QByteArray::fromHex("93fa967b8cea0d0a82a982c8")} << false << false
                                    << "日本語\r\nかな\r\n"
                                    << "";
    QTest::newRow("picture only, no: emptied, silent") << "old" << no << noText << noFiles << false << true << ""
                                                       << "";
    QTest::newRow("picture only onto empty") << "" << noQuestion << noText << noFiles << false << true << ""
                                             << "";
    QTest::newRow("missing file, yes") << "old" << yes << noText << noFiles << true << false << "old\r\n"
                                       << "53";
}

void TestFrmText::drops()
{
    QFETCH(QString, before);
    QFETCH(int, answer);
    QFETCH(QString, dropped);
    QFETCH(QByteArrayList, files);
    QFETCH(bool, missing);
    QFETCH(bool, picture);
    QFETCH(QString, after);
    QFETCH(QString, errorTitle);
    frmText &w = make(before);
    QMimeData data;
    QList<QUrl> urls;
    for (int i = 0; i < files.size(); ++i) {
        const QString path = file(QStringLiteral("drop%1.txt").arg(i));
        fileio::writeFileAtomic(path, files[i]);
        urls << QUrl::fromLocalFile(path);
    }
    if (missing)
        urls << QUrl::fromLocalFile(file("missing.txt"));
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!dropped.isNull())
        data.setText(dropped);
    if (picture) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::blue);
        data.setImageData(image);
    }
    if (answer != noQuestion)
        m_fakes->messages.answers.enqueue(MsgAnswer(answer));

    w.richText_OLEDragDrop(&data);

    const auto &shown = m_fakes->messages.shown;
    QCOMPARE(shown.size(), (answer == noQuestion ? 0 : 1) + (errorTitle.isEmpty() ? 0 : 1));
    if (answer != noQuestion) {
        QCOMPARE(shown[0].text, QStringLiteral("表示されている文章に追加しますか？"));
        QCOMPARE(shown[0].title, QStringLiteral("新規確認"));
        QCOMPARE(shown[0].icon, MsgIcon::Information);
        QCOMPARE(shown[0].buttons, MsgButtons::YesNo);
    }
    if (!errorTitle.isEmpty())
        QCOMPARE(shown.last().title, errorTitle);
    QCOMPARE(w.text(), after);
    const bool fileText =
        dropped.isNull() && std::any_of(files.begin(), files.end(), [](const auto &f) { return !f.isEmpty(); });
    if (fileText) // the caret goes to the end of what the files added
        QCOMPARE(w.selStart(), w.richText()->document()->characterCount() - 1);
}

void TestFrmText::fileManagerDrops_data()
{
    QTest::addColumn<QString>("text"); // %1 and %2: the two files' paths, %3 and %4: their URLs
    QTest::addColumn<QString>("after");
    const QString files = "a\r\nb c\r\n";
    QTest::newRow("paths, LF") << "%1\n%2" << files;
    QTest::newRow("paths, CR LF, trailing line break") << "%1\r\n%2\r\n" << files;
    QTest::newRow("file URLs") << "%3\r\n%4\r\n" << files;
    QTest::newRow("blanks around") << "  %1 \n\n %2\n" << files;
    QTest::newRow("unrelated text: the text") << "hello"
                                              << "hello";
    QTest::newRow("a path and more: the text") << "%1\nmore"
                                               << "%1\r\nmore";
}

// File managers offer the dropped files' names as text beside the files.
void TestFrmText::fileManagerDrops()
{
    QFETCH(QString, text);
    QFETCH(QString, after);
    const QString a = file("a.txt");
    const QString b = file("b c.txt");
    fileio::writeFileAtomic(a, "a");
    fileio::writeFileAtomic(b, "b c");
    const QUrl ua = QUrl::fromLocalFile(a);
    const QUrl ub = QUrl::fromLocalFile(b);
    frmText &w = make();
    QMimeData data;
    data.setUrls({ua, ub});
    data.setText(text.arg(a, b, ua.toString(QUrl::FullyEncoded), ub.toString(QUrl::FullyEncoded)));
    w.richText_OLEDragDrop(&data);
    QCOMPARE(m_fakes->messages.shown.size(), 0);
    QCOMPARE(w.text(), after.arg(a));
}

// A drop is handled once the drag is over, from its own copy of the data: the question is not asked
// inside the drop event. A drop is never taken for a paste.
void TestFrmText::dropIsHandledAfterTheDrag()
{
    frmText &w = make("old");
    m_fakes->clipboard.put({true, "clipboard", false, {}});
    const QString a = file("a.txt");
    const QString b = file("b.txt");
    fileio::writeFileAtomic(a, "a");
    fileio::writeFileAtomic(b, "b");
    auto data = std::make_unique<QMimeData>();
    data->setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
    data->setText(a + QLatin1Char('\n') + b);
    m_fakes->messages.answers.enqueue(MsgAnswer::Yes);
    // The drag enters, as Qt delivers a drop only to the widget that accepted the drag.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.richText()->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.richText()->viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(m_fakes->messages.shown.size(), 0);
    QCOMPARE(w.text(), QStringLiteral("old"));
    data.reset(); // the drag's data goes with it

    QTRY_COMPARE(w.text(), QStringLiteral("old\r\na\r\nb\r\n"));
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("新規確認"));
    QCOMPARE(m_fakes->clipboard.reads, 0);
}
// --- Texts of megabytes: built off the UI thread, with the same results as small ones.

namespace {
// A first line of 100 characters (editor positions and text indexes agree there), then lines with
// a no-break space and kana, until the text is large.
QString largeText(QChar letter = u'a')
{
    QString t = QString(100, letter) + QStringLiteral("\r\n");
    const QString line = QStringLiteral("x\u00A0y かな %1\r\n").arg(letter);
    while (t.size() < 2 * PasteEdit::largeText) // large still with one character per line break
        t += line;
    return t;
}

// Editor positions of a text: a CR LF is one.
int positions(const QString &t)
{
    return int(t.size() - t.count(QStringLiteral("\r\n")));
}
} // namespace

void TestFrmText::largeTexts_data()
{
    QTest::addColumn<QString>("command"); // setText, paste, or a menu action
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("startAfter");
    QTest::addColumn<int>("lengthAfter");
    QTest::addColumn<bool>("built"); // off the UI thread, the undo history starting again

    const QString big = largeText();
    QString pastedInto = big;
    pastedInto.replace(10, 5, QStringLiteral("P\r\nQ"));
    QString upperHead = big;
    upperHead.replace(0, 50, QString(50, u'A'));
    QString upperAll = big;
    upperAll.replace(u'a', u'A').replace(u'x', u'X').replace(u'y', u'Y');

    QTest::newRow("whole text set") << "setText" << big << 0 << 0 << "" << big << 0 << 0 << true;
    QTest::newRow("large paste into a small text")
        << "paste"
        << "abc" << 1 << 1 << big << ("a" + big + "c") << 1 + positions(big) << 0 << true;
    QTest::newRow("small paste over a large selection") << "paste" << big << 0 << positions(big) << "P\r\nQ"
                                                        << "P\r\nQ" << 3 << 0 << true;
    QTest::newRow("whole-text conversion") << "omake_ucase" << big << 3 << 0 << "" << upperAll << 0 << 0 << true;
    // A small change in a large text is made in place, at once, and can be undone.
    QTest::newRow("small paste into a large text")
        << "paste" << big << 10 << 5 << "P\r\nQ" << pastedInto << 13 << 0 << false;
    QTest::newRow("selection conversion in a large text")
        << "omake_kucase" << big << 0 << 50 << "" << upperHead << 0 << 50 << false;
}

void TestFrmText::largeTexts()
{
    QFETCH(QString, command);
    QFETCH(QString, before);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, clipboard);
    QFETCH(QString, after);
    QFETCH(int, startAfter);
    QFETCH(int, lengthAfter);
    QFETCH(bool, built);
    frmText &w = make(command == "setText" ? QString() : before);
    w.styleFont(14);
    w.setSelection(start, length);
    m_fakes->clipboard.put({true, clipboard, false, {}});
    // The program keeps answering while a text is built: an event queued now is handled before the
    // command returns.
    bool returned = false;
    bool answeredMeanwhile = false;
    QTimer::singleShot(0, &w, [&] { answeredMeanwhile = !returned; });
    if (command == "setText")
        w.setText(before);
    else if (command == "paste")
        w.edit_Paste_Click();
    else
        QVERIFY(trigger(command));
    returned = true;
    QCOMPARE(answeredMeanwhile, built);
    QCOMPARE(w.richText()->document()->isUndoAvailable(), !built);
    QCOMPARE(w.text(), after);
    QCOMPARE(w.selStart(), startAfter);
    QCOMPARE(w.selLength(), lengthAfter);
    // The new document keeps the editor's font.
    QCOMPARE(w.richText()->document()->defaultFont().pointSize(), 14);
    QVERIFY(!w.richText()->isReadOnly());
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

void TestFrmText::closeWhileALargeTextIsBuiltClosesAfterwards()
{
    m_w = std::make_unique<frmText>(m_fakes->platform(), CodePage::Utf8);
    QPointer<frmText> w = m_w.release(); // it deletes itself once closed
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTimer::singleShot(0, w, [&] { w->close(); });
    w->setText(largeText());
    QVERIFY(w); // still there, and with its text
    QCOMPARE(w->text(), largeText());
    QTRY_VERIFY(!w);
}

void TestFrmText::laterTextWinsOverALargeOneBeingBuilt()
{
    frmText &w = make();
    QTimer::singleShot(0, &w, [&] { w.setText(QStringLiteral("later")); });
    w.setText(largeText());
    QCOMPARE(w.text(), QStringLiteral("later"));
    // and the build's document was let go: typing lands in the document shown
    w.setSelection(5, 0);
    w.setSelText(QStringLiteral("!"));
    QCOMPARE(w.text(), QStringLiteral("later!"));
}

QTEST_MAIN(TestFrmText)
#include "tst_frmtext.moc"
