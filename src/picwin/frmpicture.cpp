// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmpicture.h"

#include "core/commanderror.h"
#include "core/dropdata.h"
#include "core/fileio.h"
#include "display/appicon.h"
#include "display/previewpane.h"
#include "platform/clipboard.h"
#include "platform/guard.h"
#include "platform/messages.h"
#include "platform/widgettwips.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>

namespace {
const char *const windowTitleText = QT_TRANSLATE_NOOP("frmPicture", "クリップボードの中身（ピクチャ）");
const char *const filterPictures =
    QT_TRANSLATE_NOOP("frmPicture", "ピクチャ(*.bmp;*.jpg;*.jpeg;*.gif*.wmf)|*.bmp;*.jpg;*.jpeg;*.gif;*.wmf");
const char *const textClear = QT_TRANSLATE_NOOP("frmPicture", "現在表示されている画像をクリアしてもよろしいですか？");
const char *const titleClear = QT_TRANSLATE_NOOP("frmPicture", "クリア確認");
const char *const textDelete = QT_TRANSLATE_NOOP("frmPicture", "クリップボードの中身を削除してもよろしいですか？");
const char *const titleDelete = QT_TRANSLATE_NOOP("frmPicture", "削除確認");
const char *const textNew = QT_TRANSLATE_NOOP("frmPicture", "表示されている画像は破棄されます。よろしいですか？");
const char *const titleNew = QT_TRANSLATE_NOOP("frmPicture", "新規貼付");

// The display area's designed outer size, in twips.
constexpr int displayWidth = 4635;
constexpr int displayHeight = 3165;
} // namespace

PictureBox::PictureBox(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    setAcceptDrops(true);
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::setLines(const std::array<picturefit::Line, 4> &lines, float twipsPerPixel)
{
    for (size_t i = 0; i < lines.size(); ++i)
        m_lines[i] = QLineF(lines[i].x1 / twipsPerPixel, lines[i].y1 / twipsPerPixel, lines[i].x2 / twipsPerPixel,
                            lines[i].y2 / twipsPerPixel);
    update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter p(this);
    const QRect inner = contentsRect();
    p.setClipRect(inner);
    if (!m_picture.isNull())
        p.drawImage(inner.topLeft(), m_picture);
    // The selection rectangle is drawn over the picture and is never part of it.
    p.setPen(QPen(palette().color(QPalette::WindowText), 0));
    p.translate(inner.topLeft());
    for (const QLineF &l : m_lines) {
        if (l.p1() != l.p2())
            p.drawLine(l);
    }
}

frmPicture::frmPicture(const Platform &platform, PreviewPane *preview, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_platform(platform), m_preview(preview)
{
    setObjectName(QStringLiteral("frmPicture"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *client = new QWidget(this);
    setCentralWidget(client);
    m_picture1 = new PictureBox(client);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(0, 0, twips::px(this, displayWidth), twips::px(this, displayHeight));
    m_picture1->installEventFilter(this);
    m_picture1->setMouseTracking(false);
    buildMenus();
    m_common.fileName = QStringLiteral("Clilpboard");
    Form_Load();
}

void frmPicture::buildMenus()
{
    const auto add = [this](QMenu *menu, const char *name, const QString &caption, const QKeySequence &key,
                            void (frmPicture::*slot)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1StringView(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
    };
    QMenu *file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->setObjectName(QStringLiteral("file"));
    add(file, "file_Save", tr("名前を付けて保存(&S)"), {}, &frmPicture::file_Save_Click);
    add(file, "file_Open", tr("ファイルを開く(&O)"), {}, &frmPicture::file_Open_Click);
    file->addSeparator()->setObjectName(QStringLiteral("file_Bar1"));
    add(file, "file_Quit", tr("閉じる(&Q)"), {}, &frmPicture::file_Quit_Click);
    QMenu *edit = menuBar()->addMenu(tr("編集(&E)"));
    edit->setObjectName(QStringLiteral("edit"));
    add(edit, "edit_New", tr("新規貼り付け(&P)"), QKeySequence(Qt::SHIFT | Qt::Key_Insert),
        &frmPicture::edit_New_Click);
    add(edit, "edit_Cut", tr("指定範囲をクリッピング"), QKeySequence(Qt::CTRL | Qt::Key_Insert),
        &frmPicture::edit_Cut_Click);
    add(edit, "edit_Copy", tr("指定範囲をコピー"), {}, &frmPicture::edit_Copy_Click);
    edit->addSeparator()->setObjectName(QStringLiteral("edit_Bar1"));
    add(edit, "edit_Del", tr("クリップボードを削除"), {}, &frmPicture::edit_Del_Click);
    add(edit, "edit_Clear", tr("画像のクリア"), {}, &frmPicture::edit_Clear_Click);
}

void frmPicture::Form_Load()
{
    // 1-8: topmost, places, dialog, title, icon, the rectangle hidden, the fit, the source picture.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_picture1->move(0, 0);
    m_common.overwritePrompt = true;
    m_common.defaultExtension = QStringLiteral(".bmp");
    setWindowTitle(tr(windowTitleText));
    setWindowIcon(applicationIcon());
    lineInitialize(0, 0);
    frmFit();
    const QImage preview = m_preview ? m_preview->picture() : QImage();
    m_source = preview.isNull() ? std::nullopt : std::optional<QImage>(preview);
    Picture1_Change();
}

picturefit::Size frmPicture::displayInner() const
{
    const QRect inner = m_picture1->contentsRect();
    return {twips::fromPxUnrounded(this, inner.width()), twips::fromPxUnrounded(this, inner.height())};
}

void frmPicture::frmFit()
{
    if (m_fitting || isMinimized() || isMaximized())
        return; // a minimised or maximised window is not resized
    m_fitting = true;
    const picturefit::Size outer{twips::fromPxUnrounded(this, width()) + twips::sizableFrameWidth,
                                 twips::fromPxUnrounded(this, height()) + twips::sizableFrameHeight};
    const picturefit::Size fitted = picturefit::frmFit(outer, displayInner());
    if (fitted.width != outer.width || fitted.height != outer.height)
        resize(twips::px(this, fitted.width - twips::sizableFrameWidth),
               twips::px(this, fitted.height - twips::sizableFrameHeight));
    m_picture2 = QImage(); // the scratch area follows the display's inner size
    m_fitting = false;
}

void frmPicture::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    frmFit();
}

void frmPicture::lineInitialize(float x, float y)
{
    for (auto &l : m_lines)
        l = {x, y, x, y};
    m_picture1->setLines(m_lines, twips::perPixel(this));
}

void frmPicture::setDisplayed(const QImage &picture)
{
    m_picture1->setPicture(picture);
    Picture1_Change();
}

void frmPicture::Picture1_Change()
{
    const bool shown = !displayed().isNull();
    for (const char *name : {"file_Save", "edit_Del", "edit_Clear"}) {
        if (QAction *a = findChild<QAction *>(QLatin1StringView(name)))
            a->setEnabled(shown);
    }
}

QImage frmPicture::readPicture(const QString &path) const
{
    // Read through fileio: a regular file of bounded size only, so a FIFO or a device is an error
    // instead of a wait that never ends.
    QByteArray bytes = fileio::readWholeFile(path);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoTransform(true);
    const QImage picture = reader.read();
    if (picture.isNull())
        throw commandError(ErrorNumber::InvalidPicture);
    return picture;
}

void frmPicture::file_Open_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                m_common.defaultExtension = QStringLiteral(".bmp");
                m_common.filter = tr(filterPictures);
                const auto chosen = m_platform.dialogs->open(this, m_common);
                if (!chosen)
                    throw commandError(ErrorNumber::Cancel);
                m_common.fileName = chosen->path;
                const QString path = QFileInfo(chosen->path).absoluteFilePath();
                setWindowTitle(path);
                m_tag = path;
                m_source = readPicture(path);
                setDisplayed(*m_source);
            },
            {ErrorNumber::Cancel});
}

void frmPicture::file_Save_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                m_common.filter = tr(filterPictures);
                m_common.fileName = m_tag;
                const auto chosen = m_platform.dialogs->save(this, m_common);
                if (!chosen)
                    throw commandError(ErrorNumber::Cancel);
                m_common.fileName = chosen->path;
                // A bitmap picture is written as a Windows bitmap, whatever the name's extension.
                QByteArray bytes;
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                if (displayed().isNull() || !displayed().save(&buffer, "BMP"))
                    throw commandError(ErrorNumber::InvalidPicture);
                fileio::writeFileAtomic(chosen->path, bytes, fileio::FileMode::KeepExisting);
            },
            {ErrorNumber::Cancel});
}

void frmPicture::file_Quit_Click()
{
    close();
}

void frmPicture::edit_Clear_Click()
{
    if (m_platform.messages->show(this, tr(textClear), tr(titleClear), MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes)
        return;
    setDisplayed(QImage());
    m_source.reset();
}

void frmPicture::edit_Del_Click()
{
    if (m_platform.messages->show(this, tr(textDelete), tr(titleDelete), MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes)
        return;
    m_platform.clipboard->clear();
    if (m_preview)
        m_preview->showPreview(QImage());
}

void frmPicture::edit_New_Click()
{
    if (m_platform.messages->show(this, tr(textNew), tr(titleNew), MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes)
        return;
    Form_Load();
    // The question says the shown picture is discarded: the new one is shown in its place.
    setDisplayed(m_source.value_or(QImage()));
}

void frmPicture::Picture1_OLEDragDrop(const QMimeData *data)
{
    guarded(*m_platform.messages, this,
            [&] {
                const QStringList files = Clipboard::localFiles(data);
                if (!data->hasImage() && files.isEmpty())
                    return;
                m_platform.clipboard->clear();
                const QImage dropped = data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
                if (!dropped.isNull())
                    m_platform.clipboard->setImage(dropped);
                if (files.isEmpty()) {
                    // Pictures without a file: the dropped picture is shown.
                    m_source = dropped;
                    setDisplayed(dropped);
                    return;
                }
                m_tag = QFileInfo(files.front()).absoluteFilePath();
                m_source = readPicture(m_tag);
                setDisplayed(*m_source);
            },
            {ErrorNumber::InvalidPicture});
}

void frmPicture::Picture1_MouseDown(float x, float y)
{
    m_selection.x0 = x;
    m_selection.y0 = y;
    lineInitialize(x, y);
}

void frmPicture::Picture1_MouseMove(Qt::MouseButtons buttons, float x, float y)
{
    if (buttons != Qt::LeftButton)
        return;
    m_lines = picturefit::dragLines(m_selection.x0, m_selection.y0, x, y);
    m_picture1->setLines(m_lines, twips::perPixel(this));
}

void frmPicture::Picture1_MouseUp(float x, float y)
{
    m_selection.x1 = x;
    m_selection.y1 = y;
    m_selection = picturefit::normalised(m_selection);
}

QImage frmPicture::selectedPart() const
{
    // Only the source picture's own pixels are read; a selection reaching outside it is cut.
    if (!m_source || m_source->isNull())
        throw commandError(ErrorNumber::InvalidArgument);
    const QRect covered = picturefit::pictureRect(m_selection, m_source->size(), twips::perPixel(this));
    if (covered.isEmpty())
        throw commandError(ErrorNumber::InvalidArgument);
    return m_source->copy(covered);
}

void frmPicture::edit_Copy_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                m_picture2 = QImage();
                m_picture2 = selectedPart();
                m_platform.clipboard->clear();
                m_platform.clipboard->setImage(m_picture2);
                m_picture2 = QImage();
                m_source = displayed().isNull() ? std::nullopt : std::optional<QImage>(displayed());
            },
            {ErrorNumber::InvalidArgument});
}

void frmPicture::edit_Cut_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                lineInitialize(0, 0);
                if (displayed().isNull())
                    return;
                // An empty selection is refused before the display is touched.
                const QImage part = selectedPart();
                const QMargins frame = m_picture1->contentsMargins();
                m_picture1->resize(part.width() + frame.left() + frame.right(),
                                   part.height() + frame.top() + frame.bottom());
                m_platform.clipboard->clear();
                m_platform.clipboard->setImage(part);
                m_source = part;
                if (m_preview && m_preview->inUse())
                    m_preview->showPreview(part);
                setDisplayed(part);
            },
            {ErrorNumber::InvalidArgument});
}

bool frmPicture::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture1) {
        const auto at = [this](QEvent *e) {
            const QPointF p = static_cast<QMouseEvent *>(e)->position() - QPointF(m_picture1->contentsRect().topLeft());
            return QPointF(twips::fromPxUnrounded(this, qRound(p.x())), twips::fromPxUnrounded(this, qRound(p.y())));
        };
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const QPointF t = at(event);
            Picture1_MouseDown(float(t.x()), float(t.y()));
            return true;
        }
        case QEvent::MouseMove: {
            const QPointF t = at(event);
            Picture1_MouseMove(static_cast<QMouseEvent *>(event)->buttons(), float(t.x()), float(t.y()));
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const QPointF t = at(event);
            Picture1_MouseUp(float(t.x()), float(t.y()));
            return true;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDropEvent *>(event);
            if (drag->mimeData()->hasImage() || drag->mimeData()->hasUrls())
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            drop->acceptProposedAction();
            // Handled once the drag is over, from a copy of its data: an unreadable file opens the
            // error box, which must not run its loop inside the drag.
            if (drop->mimeData()) {
                const std::shared_ptr<QMimeData> dropped = dropdata::copy(*drop->mimeData());
                QTimer::singleShot(0, this, [this, dropped] { Picture1_OLEDragDrop(dropped.get()); });
            }
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
