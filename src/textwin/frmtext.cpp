// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmtext.h"

#include "core/commanderror.h"
#include "core/dropdata.h"
#include "core/fileio.h"
#include "core/textconv.h"
#include "display/appicon.h"
#include "platform/clipboard.h"
#include "platform/guard.h"
#include "platform/messages.h"
#include "platform/widgettwips.h"
#include "textwin/pasteedit.h"
#include "textwin/textlayout.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>

namespace {
const char *const textLost = QT_TRANSLATE_NOOP("frmText", "作成中の文書は失われます。保存しますか？");
const QString titleLost = QStringLiteral("ID:Q0001");
const char *const textNoRange = QT_TRANSLATE_NOOP("frmText", "範囲が指定されていません。");
const QString titleNoRange = QStringLiteral("ID:I0002");
const char *const filterSaveBeforeOpen =
    QT_TRANSLATE_NOOP("frmText", "テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*");
const char *const filterOpen = QT_TRANSLATE_NOOP("frmText", "テキストファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*");
const char *const filterSave = QT_TRANSLATE_NOOP("frmText", "テキストファイル（*.txt)|*.txt|全てのファイル(*.*)|*.*");
} // namespace

frmText::frmText(const Platform &platform, CodePage writePage, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_platform(platform), m_writePage(writePage)
{
    // 1. Topmost, caption, inner area, icon, editor, dialog settings.
    setObjectName(QStringLiteral("frmText"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowTitle(tr("クリップボードの内容"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(applicationIcon());
    auto *inner = new QWidget(this);
    setCentralWidget(inner);
    m_richText = new PasteEdit(inner);
    m_richText->setObjectName(QStringLiteral("richText"));
    // Every paste into the editor is the edit menu's paste.
    connect(m_richText, &PasteEdit::pasteRequested, this, &frmText::edit_Paste_Click);
    m_richText->setAcceptDrops(false); // drops are taken by the window's own handler
    m_richText->viewport()->setAcceptDrops(true);
    m_richText->installEventFilter(this);
    m_richText->viewport()->installEventFilter(this);
    buildMenus();
    // Each menu stays on the bar, where its access key reaches it: the window is never narrower than
    // the bar's items (they would go behind its extension button, out of reach of Alt and the key).
    setMinimumWidth(menuBar()->sizeHint().width());
    resize(twips::px(this, textlayout::initialInnerWidth),
           twips::px(this, textlayout::initialInnerHeight) + menuBar()->sizeHint().height());
    m_richText->setGeometry(0, 0, twips::px(this, 4665), twips::px(this, 3195));
    m_common.overwritePrompt = true;
    m_common.defaultExtension = QStringLiteral(".txt");
    m_dialogFont = m_richText->font();
}

void frmText::buildMenus()
{
    const auto add = [this](QMenu *menu, const char *name, const QString &caption, const QKeySequence &key, auto slot) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1StringView(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    const auto bar = [](QMenu *menu, const char *name) {
        menu->addSeparator()->setObjectName(QLatin1StringView(name));
    };

    QMenu *file = menuBar()->addMenu(tr("ファイル(&F)"));
    file->setObjectName(QStringLiteral("file"));
    add(file, "file_Open", tr("ファイルを開く(&O)"), QKeySequence(Qt::CTRL | Qt::Key_O), &frmText::file_Open_Click);
    add(file, "file_Save", tr("名前を付けて保存(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S), &frmText::file_Save_Click);
    bar(file, "file_Bar1");
    add(file, "file_Quit", tr("閉じる(&Q)"), {}, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(tr("編集(&E)"));
    edit->setObjectName(QStringLiteral("edit"));
    add(edit, "edit_Copy", tr("全文コピー(&C)"), QKeySequence(Qt::CTRL | Qt::Key_Insert), &frmText::edit_Copy_Click);
    bar(edit, "edit_bar2");
    add(edit, "edit_All", tr("すべて選択(&A)"), {}, &frmText::edit_All_Click);
    add(edit, "edit_Paste", tr("貼り付け(&P)"), {}, &frmText::edit_Paste_Click);
    add(edit, "eidt_Erea", tr("コピー(&H)"), {}, &frmText::eidt_Erea_Click);
    add(edit, "edit_Cut", tr("カット(&U)"), {}, &frmText::edit_Cut_Click);
    bar(edit, "edit_Bar1");
    add(edit, "edit_Clear", tr("表示テキストをクリア(&D)"), QKeySequence(Qt::SHIFT | Qt::Key_Delete),
        &frmText::edit_Clear_Click);

    QMenu *style = menuBar()->addMenu(tr("スタイル(&S)"));
    style->setObjectName(QStringLiteral("style"));
    QMenu *sizes = style->addMenu(tr("フォントサイズ"));
    sizes->menuAction()->setObjectName(QStringLiteral("style_Font"));
    for (const auto &[points, caption] :
         {std::pair{8, QT_TRANSLATE_NOOP("frmText", "8pt(&8)")}, std::pair{9, QT_TRANSLATE_NOOP("frmText", "9pt(&9)")},
          std::pair{10, QT_TRANSLATE_NOOP("frmText", "10pt(&1)")},
          std::pair{12, QT_TRANSLATE_NOOP("frmText", "12pt(&2)")},
          std::pair{14, QT_TRANSLATE_NOOP("frmText", "14pt(&4)")}}) {
        QAction *a = sizes->addAction(tr(caption));
        a->setObjectName(QStringLiteral("style_Font_%1").arg(points));
        const int p = points;
        connect(a, &QAction::triggered, this, [this, p] { styleFont(p); });
    }
    add(style, "style_Edit", tr("フォントの設定(&F)"), {}, &frmText::style_Edit_Click);

    QMenu *omake = menuBar()->addMenu(tr("おまけ(&O)"));
    omake->setObjectName(QStringLiteral("omake"));
    const auto whole = [&](const char *name, const QString &caption, QString (*conversion)(QStringView)) {
        QAction *a = omake->addAction(caption);
        a->setObjectName(QLatin1StringView(name));
        connect(a, &QAction::triggered, this, [this, conversion] { convertWhole(conversion); });
    };
    const auto selection = [&](const char *name, const QString &caption, QString (*conversion)(QStringView)) {
        QAction *a = omake->addAction(caption);
        a->setObjectName(QLatin1StringView(name));
        connect(a, &QAction::triggered, this, [this, conversion] { convertSelection(conversion); });
    };
    static const auto wideKanaView = [](QStringView t) { return textConv::wideKana(t.toString()); };
    add(omake, "omake_Count_1", tr("表示文字数"), {}, &frmText::omake_Count_1_Click);
    add(omake, "omake_Count_2", tr("指定範囲の文字数"), {}, &frmText::omake_Count_2_Click);
    bar(omake, "omake_bar1");
    add(omake, "omake_Count_3", tr("カーソル～文字数指定"), {}, &frmText::omake_Count_3_Click);
    bar(omake, "omake_bar2");
    whole("omake_pro", tr("単語の頭文字を大文字"), textConv::properCase);
    whole("omake_ucase", tr("小文字→大文字"), textConv::upperCase);
    whole("omake_lcase", tr("大文字→小文字"), textConv::lowerCase);
    bar(omake, "omake_bar4");
    whole("omake_hkzk", tr("半角カナ→全角カナ"), wideKanaView);
    whole("omake_wide", tr("半角文字→全角文字"), textConv::widen);
    whole("omake_narrow", tr("全角文字→半角文字"), textConv::narrow);
    whole("omake_hira", tr("カタカナ→ひらがな"), textConv::toHiragana);
    whole("omake_kana", tr("ひらがな→カタカナ"), textConv::toKatakana);
    bar(omake, "omake_bar3");
    selection("omake_hpro", tr("指定範囲の単語の頭文字を大文字"), textConv::properCase);
    selection("omake_kucase", tr("指定範囲の小文字→大文字"), textConv::upperCase);
    selection("omake_klcase", tr("指定範囲の大文字→小文字"), textConv::lowerCase);
    bar(omake, "omake_bar5");
    selection("omake_hhkzk", tr("指定範囲の半角カナ→全角カナ"), wideKanaView);
    selection("omake_hwide", tr("指定範囲の半角文字→全角文字"), textConv::widen);
    selection("omake_hnarrow", tr("指定範囲の全角文字→半角文字"), textConv::narrow);
    selection("omake_hhira", tr("指定範囲のカタカナ→ひらがな"), textConv::toHiragana);
    selection("omake_hkana", tr("指定範囲のひらがな→カタカナ"), textConv::toKatakana);
}

// --- The editor as the program sees it.

QString frmText::text() const
{
    return Clipboard::fromDesktop(m_richText->plainText());
}

void frmText::setText(const QString &text)
{
    m_richText->setWholeText(Clipboard::toDesktop(text));
}

int frmText::selStart() const
{
    return m_richText->textCursor().selectionStart();
}

int frmText::selLength() const
{
    const QTextCursor c = m_richText->textCursor();
    return c.selectionEnd() - c.selectionStart();
}

QString frmText::selText() const
{
    return Clipboard::fromDesktop(m_richText->selectedPlainText());
}

void frmText::setSelText(const QString &text)
{
    m_richText->replaceSelection(Clipboard::toDesktop(text));
}

void frmText::setSelection(int start, int length)
{
    const int end = m_richText->document()->characterCount() - 1;
    start = std::clamp(start, 0, end);
    QTextCursor c = m_richText->textCursor();
    c.setPosition(start);
    c.setPosition(std::clamp(start + length, start, end), QTextCursor::KeepAnchor);
    m_richText->setTextCursor(c);
}

// --- File commands.

QString frmText::showSave()
{
    const auto chosen = m_platform.dialogs->save(this, m_common);
    if (!chosen)
        throw commandError(ErrorNumber::Cancel);
    m_common.fileName = chosen->path;
    m_common.filterIndex = chosen->filterIndex;
    return chosen->path;
}

void frmText::saveText(const QString &path) const
{
    fileio::writeFileAtomic(path, codec::encode(text(), m_writePage), fileio::FileMode::KeepExisting);
}

void frmText::fileOpen()
{
    m_common.defaultExtension = QStringLiteral(".txt");
    m_common.filter = tr(filterOpen);
    m_common.filterIndex = 1;
    const auto chosen = m_platform.dialogs->open(this, m_common);
    if (!chosen)
        throw commandError(ErrorNumber::Cancel);
    m_common.fileName = chosen->path;
    setText(codec::decode(fileio::readWholeFile(chosen->path)));
}

void frmText::file_Open_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                if (!text().isEmpty()) {
                    const MsgAnswer answer = m_platform.messages->show(this, tr(textLost), titleLost, MsgIcon::Question,
                                                                       MsgButtons::YesNoCancel);
                    if (answer == MsgAnswer::Cancel)
                        return;
                    if (answer == MsgAnswer::Yes) {
                        m_common.defaultExtension = QStringLiteral(".txt");
                        m_common.filter = tr(filterSaveBeforeOpen);
                        m_common.filterIndex = 1;
                        saveText(showSave());
                    }
                }
                fileOpen();
            },
            {ErrorNumber::Cancel});
}

void frmText::file_Save_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                m_common.fileName = QStringLiteral("Clipboard.txt");
                m_common.defaultExtension = QStringLiteral(".txt");
                m_common.filter = tr(filterSave);
                m_common.filterIndex = 1;
                saveText(showSave());
            },
            {ErrorNumber::Cancel});
}

// --- Edit commands.

void frmText::edit_Copy_Click()
{
    m_platform.clipboard->setText(text());
}

void frmText::edit_All_Click()
{
    setSelection(0, m_richText->document()->characterCount() - 1);
}

void frmText::edit_Paste_Click()
{
    const ClipboardContent content = m_platform.clipboard->read(false);
    setSelText(content.hasText ? content.text : QString());
}

void frmText::setCopy()
{
    const QString selected = selText();
    if (selected.isEmpty()) {
        m_platform.messages->show(this, tr(textNoRange), titleNoRange, MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    m_platform.clipboard->setText(selected);
}

void frmText::eidt_Erea_Click()
{
    setCopy();
}

void frmText::edit_Cut_Click()
{
    setCopy();
    setSelText(QString());
}

void frmText::edit_Clear_Click()
{
    setText(QString());
}

// --- Style commands.

void frmText::style_Edit_Click()
{
    guarded(*m_platform.messages, this,
            [&] {
                const auto chosen = m_platform.dialogs->font(this, m_dialogFont);
                if (!chosen)
                    throw commandError(ErrorNumber::Cancel);
                m_dialogFont = *chosen;
                QFont f = m_richText->font();
                f.setFamily(chosen->family());
                f.setPointSizeF(chosen->pointSizeF());
                f.setBold(chosen->bold());
                f.setItalic(chosen->italic());
                m_richText->setFont(f);
            },
            {ErrorNumber::Cancel});
}

void frmText::styleFont(int points)
{
    m_richText->setUpdatesEnabled(false);
    QFont f = m_richText->font();
    f.setPointSize(points);
    m_richText->setFont(f);
    m_richText->setUpdatesEnabled(true);
}

// --- Extras.

void frmText::convertWhole(QString (*conversion)(QStringView))
{
    m_richText->rewrite(
        [conversion](const QString &plain) { return Clipboard::toDesktop(conversion(Clipboard::fromDesktop(plain))); });
}

void frmText::convertSelection(QString (*conversion)(QStringView))
{
    const int start = selStart();
    const int length = selLength();
    setSelText(conversion(selText()));
    setSelection(start, length);
}

void frmText::omake_Count_1_Click()
{
    m_platform.messages->show(this, textConv::countMessageWhole(textConv::displayedLength(text())),
                              tr("文字数チェックその１"), MsgIcon::None, MsgButtons::Ok);
}

void frmText::omake_Count_2_Click()
{
    m_platform.messages->show(this, textConv::countMessageSelection(textConv::displayedLength(selText())),
                              tr("文字数チェックその２"), MsgIcon::None, MsgButtons::Ok);
}

void frmText::omake_Count_3_Click()
{
    const int start = selStart();
    const qint64 after = (m_richText->document()->characterCount() - 1) - start;
    const auto answer =
        m_platform.messages->input(this, textConv::countPrompt(after), tr("文字数チェックその３"), QString());
    if (!answer)
        return;
    if (const auto length = textConv::selectionLengthFor(*answer, after))
        setSelection(start, *length);
}

// --- Events.

bool frmText::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_richText && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool copyAll = key->key() == Qt::Key_Insert && key->modifiers() == Qt::ControlModifier;
        const bool clear = key->key() == Qt::Key_Delete && key->modifiers() == Qt::ShiftModifier;
        if (copyAll || clear) {
            // The window's menu shortcuts act ahead of the editor's own copy and cut.
            if (event->type() == QEvent::KeyPress) {
                if (copyAll)
                    edit_Copy_Click();
                else
                    edit_Clear_Click();
            }
            event->accept();
            return true;
        }
    }
    if (watched == m_richText->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            static_cast<QDropEvent *>(event)->acceptProposedAction();
            return true;
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            drop->acceptProposedAction();
            // Handled once the drag is over: the handler may ask a question, and a box must not
            // run its loop inside the drag. The drag's data goes with it, so a copy is handled.
            if (drop->mimeData())
                dropWhenIdle(dropdata::copy(*drop->mimeData()));
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// The window closes only once the editor has its text: the command that set it is still running.
void frmText::closeEvent(QCloseEvent *event)
{
    if (m_richText->isBuilding()) {
        event->ignore();
        QTimer::singleShot(50, this, &QWidget::close);
        return;
    }
    QMainWindow::closeEvent(event);
}

void frmText::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void frmText::applyLayout()
{
    if (m_layingOut || isMinimized())
        return; // a minimised window is not resized
    m_layingOut = true;
    QWidget *inner = centralWidget();
    textlayout::Layout l =
        textlayout::onResize(twips::fromPx(this, inner->width()), twips::fromPx(this, inner->height()));
    const int menu = menuBar()->isVisible() ? menuBar()->height() : menuBar()->sizeHint().height();
    int w = width();
    int h = height();
    if (l.outerHeight)
        h = twips::px(this, *l.outerHeight - textlayout::frameHeight);
    if (l.outerWidth)
        w = twips::px(this, *l.outerWidth - textlayout::frameWidth);
    // A maximised window is not resized either, but its editor still fills it.
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) && (w != width() || h != height())) {
        resize(w, std::max(h, menu + 1));
        // The editor fills the inner area the correction left.
        l = textlayout::onResize(twips::fromPx(this, inner->width()), twips::fromPx(this, inner->height()));
    }
    m_richText->setGeometry(0, 0, twips::px(this, l.editorWidth), twips::px(this, l.editorHeight));
    m_layingOut = false;
}
