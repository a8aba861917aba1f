// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/fileio.h"
#include "core/twips.h"
#include "display/previewpane.h"
#include "fakes/fakes.h"
#include "fakes/filedialogdriver.h"
#include "picwin/frmpicture.h"

#include <QAction>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestFrmPicture final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void menuStatesFollowThePicture();
    void openAndSave();
    void openAnExtensionlessPicture();
    void openACorruptPicture();
    void cancelledDialogsChangeNothing();
    void drops_data();
    void drops();
    void dropIsHandledAfterTheDrag();
    void clearAndDelete();
    void pasteNewShowsThePreviewPicture();
    void selection_data();
    void selection();
    void copyPutsExactlyTheSelection();
    void emptySelectionIsSilent();
    void clipShrinksTheDisplay();
    void clipWithoutAPictureOnlyHidesTheRectangle();
    void fitKeepsTheWindowAroundTheDisplay();

private:
    std::unique_ptr<frmPicture> make(const QImage &preview = {});
    QString file(const QString &name) const { return m_dir->path() + QLatin1Char('/') + name; }
    QString writePng(const QString &name, QSize size)
    {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        picture.setPixel(0, 0, qRgb(255, 0, 0));
        picture.save(file(name), "PNG");
        return file(name);
    }
    bool enabled(frmPicture &w, const char *name)
    {
        return w.findChild<QAction *>(QLatin1StringView(name))->isEnabled();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Fakes> m_fakes;
    std::unique_ptr<PreviewPane> m_preview; // the main window's, shown in extended mode
};

void TestFrmPicture::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_fakes = std::make_unique<Fakes>();
    m_preview = std::make_unique<PreviewPane>();
}

std::unique_ptr<frmPicture> TestFrmPicture::make(const QImage &preview)
{
    m_preview->showPreview(preview);
    auto w = std::make_unique<frmPicture>(m_fakes->platform(), m_preview.get());
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    return w;
}

void TestFrmPicture::menuStatesFollowThePicture()
{
    auto w = make();
    QCOMPARE(w->windowTitle(), QStringLiteral("クリップボードの中身（ピクチャ）"));
    for (const char *name : {"file_Save", "edit_Del", "edit_Clear"})
        QVERIFY(!enabled(*w, name));
    QVERIFY(enabled(*w, "edit_New"));
    w->setDisplayed(QImage(5, 5, QImage::Format_RGB32));
    for (const char *name : {"file_Save", "edit_Del", "edit_Clear"})
        QVERIFY(enabled(*w, name));
    QCOMPARE(w->findChild<QAction *>(QStringLiteral("edit_Cut"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Insert));
}

void TestFrmPicture::openAndSave()
{
    const QString png = writePng(QStringLiteral("in.png"), QSize(40, 30));
    auto w = make();
    m_fakes->dialogs.answers.enqueue(FileDialogResult{png, 1});
    w->file_Open_Click();
    QCOMPARE(m_fakes->dialogs.asked.last().request.filter,
             QStringLiteral("ピクチャ(*.bmp;*.jpg;*.jpeg;*.gif*.wmf)|*.bmp;*.jpg;*.jpeg;*.gif;*.wmf"));
    QCOMPARE(m_fakes->dialogs.asked.last().request.fileName, QStringLiteral("Clilpboard"));
    QCOMPARE(w->windowTitle(), png);
    QCOMPARE(w->pictureFileName(), png);
    QCOMPARE(w->displayed().size(), QSize(40, 30));
    QVERIFY(w->source().has_value());
    // Saving proposes the picture's file and writes a bitmap whatever the name says.
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file(QStringLiteral("out.jpg")), 1});
    w->file_Save_Click();
    QCOMPARE(m_fakes->dialogs.asked.last().request.fileName, png);
    QCOMPARE(m_fakes->dialogs.asked.last().request.defaultExtension, QStringLiteral(".bmp"));
    QVERIFY(m_fakes->dialogs.asked.last().request.overwritePrompt);
    const QByteArray saved = fileio::readWholeFile(file(QStringLiteral("out.jpg")));
    QVERIFY(saved.startsWith("BM"));
    QCOMPARE(QImage::fromData(saved).size(), QSize(40, 30));
    QVERIFY(m_fakes->messages.shown.isEmpty());
}

// The real dialog: a picture file named without extension is read as it is named.
void TestFrmPicture::openAnExtensionlessPicture()
{
    const QString png = writePng(QStringLiteral("in.png"), QSize(40, 30));
    const QString photo = file(QStringLiteral("photo"));
    QVERIFY(QFile::rename(png, photo));
    QtFileDialogs dialogs;
    Platform platform = m_fakes->platform();
    platform.dialogs = dialogs;
    frmPicture w(platform, nullptr);
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    FileDialogDriver driver(FileDialogDriver::How::Type, photo);
    w.file_Open_Click();
    QVERIFY(driver.answered());
    QTRY_VERIFY(driver.finished());
    QCOMPARE(driver.boxes, QStringList());
    QCOMPARE(m_fakes->messages.shown.size(), 0);
    QCOMPARE(w.pictureFileName(), photo);
    QCOMPARE(w.displayed().size(), QSize(40, 30));
}

void TestFrmPicture::openACorruptPicture()
{
    fileio::writeFileAtomic(file(QStringLiteral("bad.bmp")), "not a picture");
    auto w = make();
    m_fakes->dialogs.answers.enqueue(FileDialogResult{file(QStringLiteral("bad.bmp")), 1});
    w->file_Open_Click();
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("481"));
    QCOMPARE(w->pictureFileName(), file(QStringLiteral("bad.bmp"))); // steps already done stay done
}

void TestFrmPicture::cancelledDialogsChangeNothing()
{
    auto w = make();
    w->setDisplayed(QImage(5, 5, QImage::Format_RGB32));
    w->file_Open_Click();
    w->file_Save_Click();
    QVERIFY(m_fakes->messages.shown.isEmpty());
    QCOMPARE(m_fakes->dialogs.asked.last().request.fileName, QString()); // never opened from a file
    QCOMPARE(w->displayed().size(), QSize(5, 5));
}

void TestFrmPicture::drops_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("fileKind");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<bool>("clipboardPicture");
    QTest::newRow("picture file") << false << "png" << QSize(20, 10) << false;
    QTest::newRow("text file: clipboard emptied, display kept") << false << "text" << QSize(5, 5) << false;
    QTest::newRow("picture without a file") << true << "" << QSize(7, 3) << true;
}

void TestFrmPicture::drops()
{
    QFETCH(bool, picture);
    QFETCH(QString, fileKind);
    QFETCH(QSize, shown);
    QFETCH(bool, clipboardPicture);
    auto w = make();
    w->setDisplayed(QImage(5, 5, QImage::Format_RGB32));
    m_fakes->clipboard.put({true, QStringLiteral("before"), false, {}});
    QMimeData data;
    QString path;
    if (fileKind == QStringLiteral("png"))
        path = writePng(QStringLiteral("d.png"), QSize(20, 10));
    else if (fileKind == QStringLiteral("text")) {
        path = file(QStringLiteral("d.txt"));
        fileio::writeFileAtomic(path, "hello");
    }
    if (!path.isEmpty())
        data.setUrls({QUrl::fromLocalFile(path)});
    if (picture)
        data.setImageData(QImage(7, 3, QImage::Format_RGB32));
    w->Picture1_OLEDragDrop(&data);
    QVERIFY(m_fakes->messages.shown.isEmpty());
    QCOMPARE(w->displayed().size(), shown);
    QVERIFY(!m_fakes->clipboard.content.hasText);
    QCOMPARE(m_fakes->clipboard.content.hasImage, clipboardPicture);
    if (!path.isEmpty())
        QCOMPARE(w->pictureFileName(), path);
}

// A drop is handled once the drag is over, from its own copy of the data: the error box for a
// file that is gone is not shown inside the drop event.
void TestFrmPicture::dropIsHandledAfterTheDrag()
{
    auto w = make();
    const QString missing = file(QStringLiteral("gone.bmp"));
    const QString good = writePng(QStringLiteral("good.png"), QSize(20, 10));
    for (const QString &path : {missing, good}) {
        const qsizetype boxes = m_fakes->messages.shown.size();
        auto data = std::make_unique<QMimeData>();
        data->setUrls({QUrl::fromLocalFile(path)});
        // The drag enters, as Qt delivers a drop only to the widget that accepted the drag.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w->picture1(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w->picture1(), &drop);
        QVERIFY(drop.isAccepted());
        data.reset(); // the drag's data goes with it
        QCOMPARE(w->pictureFileName(), path == good ? missing : QString());
        QCOMPARE(m_fakes->messages.shown.size(), boxes);
        QTRY_COMPARE(w->pictureFileName(), path);
    }
    QCOMPARE(m_fakes->messages.shown.size(), 1);
    QCOMPARE(m_fakes->messages.shown[0].title, QStringLiteral("53"));
    QCOMPARE(w->displayed().size(), QSize(20, 10));
}

void TestFrmPicture::clearAndDelete()
{
    auto w = make();
    w->setDisplayed(QImage(5, 5, QImage::Format_RGB32));
    w->setSource(QImage(5, 5, QImage::Format_RGB32));
    m_preview->showPreview(QImage(9, 9, QImage::Format_RGB32));
    m_fakes->clipboard.put({true, QStringLiteral("x"), false, {}});
    m_fakes->messages.answers.enqueue(MsgAnswer::No);
    w->edit_Clear_Click();
    QCOMPARE(w->displayed().size(), QSize(5, 5));
    w->edit_Del_Click(); // Yes
    QCOMPARE(m_fakes->messages.shown.last().text, QStringLiteral("クリップボードの中身を削除してもよろしいですか？"));
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("削除確認"));
    QVERIFY(!m_fakes->clipboard.content.hasText);
    QVERIFY(m_preview->picture().isNull());
    QCOMPARE(w->displayed().size(), QSize(5, 5)); // the window's own display is kept
    w->edit_Clear_Click();                        // Yes
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("クリア確認"));
    QVERIFY(w->displayed().isNull());
    QVERIFY(!w->source().has_value());
    QVERIFY(!enabled(*w, "file_Save"));
}

void TestFrmPicture::pasteNewShowsThePreviewPicture()
{
    auto w = make();
    w->setWindowTitle(QStringLiteral("/some/file.bmp"));
    m_preview->showPreview(QImage(12, 8, QImage::Format_RGB32));
    w->edit_New_Click();
    QCOMPARE(m_fakes->messages.shown.last().title, QStringLiteral("新規貼付"));
    QCOMPARE(w->windowTitle(), QStringLiteral("クリップボードの中身（ピクチャ）"));
    QCOMPARE(w->displayed().size(), QSize(12, 8));
    QCOMPARE(w->source()->size(), QSize(12, 8));
}

void TestFrmPicture::selection_data()
{
    QTest::addColumn<QPointF>("down");
    QTest::addColumn<QPointF>("up");
    QTest::addColumn<QRectF>("selected"); // x0, y0, x1 - x0, y1 - y0
    QTest::newRow("dragged up-left") << QPointF(3000, 2000) << QPointF(600, 300) << QRectF(600, 300, 2400, 1700);
    QTest::newRow("click without drag") << QPointF(750, 450) << QPointF(750, 450) << QRectF(750, 450, 0, 0);
}

void TestFrmPicture::selection()
{
    QFETCH(QPointF, down);
    QFETCH(QPointF, up);
    QFETCH(QRectF, selected);
    auto w = make();
    w->Picture1_MouseDown(float(down.x()), float(down.y()));
    w->Picture1_MouseMove(Qt::RightButton, float(up.x()), float(up.y())); // not the left button alone
    QCOMPARE(w->lines()[2].x1, float(down.x()));
    w->Picture1_MouseMove(Qt::LeftButton, float(up.x()), float(up.y()));
    QCOMPARE(w->lines()[2].x1, float(up.x()));
    w->Picture1_MouseUp(float(up.x()), float(up.y()));
    const auto &s = w->selection();
    QCOMPARE(QRectF(s.x0, s.y0, s.width(), s.height()), selected);
}

void TestFrmPicture::copyPutsExactlyTheSelection()
{
    auto w = make();
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    w->setDisplayed(picture);
    w->setSource(picture);
    const float tpp = float(twips::perInch) / float(w->logicalDpiY());
    w->Picture1_MouseDown(0, 0);
    w->Picture1_MouseUp(100 * tpp, 60 * tpp);
    w->edit_Copy_Click();
    QVERIFY(m_fakes->clipboard.content.hasImage);
    QCOMPARE(m_fakes->clipboard.content.image.size(), QSize(100, 60));
    QCOMPARE(m_fakes->clipboard.content.image.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(w->displayed().size(), QSize(300, 200));
}

void TestFrmPicture::emptySelectionIsSilent()
{
    auto w = make();
    w->setDisplayed(QImage(50, 50, QImage::Format_RGB32));
    w->setSource(QImage(50, 50, QImage::Format_RGB32));
    m_fakes->clipboard.put({true, QStringLiteral("kept"), false, {}});
    w->Picture1_MouseDown(300, 300);
    w->Picture1_MouseUp(300, 300);
    w->edit_Copy_Click();
    w->edit_Cut_Click();
    QVERIFY(m_fakes->messages.shown.isEmpty());
    QCOMPARE(m_fakes->clipboard.content.text, QStringLiteral("kept"));
    QCOMPARE(w->displayed().size(), QSize(50, 50)); // checked before the display is emptied
}

void TestFrmPicture::clipShrinksTheDisplay()
{
    auto w = make();
    m_preview->show();
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::white);
    w->setDisplayed(picture);
    w->setSource(picture);
    const QSize windowBefore = w->size();
    const float tpp = float(twips::perInch) / float(w->logicalDpiY());
    w->Picture1_MouseDown(0, 0);
    w->Picture1_MouseMove(Qt::LeftButton, 100 * tpp, 60 * tpp);
    w->Picture1_MouseUp(100 * tpp, 60 * tpp);
    w->edit_Cut_Click();
    QCOMPARE(w->picture1()->contentsRect().size(), QSize(100, 60));
    QCOMPARE(w->displayed().size(), QSize(100, 60));
    QCOMPARE(m_fakes->clipboard.content.image.size(), QSize(100, 60));
    QCOMPARE(m_preview->picture().size(), QSize(100, 60)); // the main window's preview, in extended mode
    QCOMPARE(w->lines()[2].x2, 0.f);                       // the rectangle is gone
    QCOMPARE(w->size(), windowBefore);                     // until the next resize
    // A second clip uses the old coordinates against the clipped picture.
    w->edit_Cut_Click();
    QCOMPARE(w->displayed().size(), QSize(100, 60));
}

void TestFrmPicture::clipWithoutAPictureOnlyHidesTheRectangle()
{
    auto w = make();
    w->Picture1_MouseDown(0, 0);
    w->Picture1_MouseMove(Qt::LeftButton, 900, 900);
    w->Picture1_MouseUp(900, 900);
    const QSize before = w->picture1()->size();
    w->edit_Cut_Click();
    QCOMPARE(w->lines()[3].x2, 0.f);
    QCOMPARE(w->picture1()->size(), before);
    QVERIFY(!m_fakes->clipboard.content.hasImage);
}

void TestFrmPicture::fitKeepsTheWindowAroundTheDisplay()
{
    auto w = make();
    w->show();
    const auto px = [&](float t) { return twips::toPixels(t, w->logicalDpiY()); };
    const picturefit::Size inner = w->displayInner();
    w->resize(px(20000), px(20000));
    QCOMPARE(w->width(), px(inner.width + 200 - twips::sizableFrameWidth));
    QCOMPARE(w->height(), px(inner.height + 740 - twips::sizableFrameHeight));
    w->resize(px(500), px(300));
    QCOMPARE(w->width(), px(2220 - twips::sizableFrameWidth));
    QCOMPARE(w->height(), px(1000 - twips::sizableFrameHeight));
}

QTEST_MAIN(TestFrmPicture)
#include "tst_frmpicture.moc"
