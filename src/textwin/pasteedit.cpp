// SPDX-License-Identifier: GPL-3.0-or-later
#include "pasteedit.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextDocumentLayout>
#include <QPointer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

#include <algorithm>

namespace {
// A new empty plain-text document with the settings of the one it replaces.
QTextDocument *emptyLike(const QTextDocument *model)
{
    auto *doc = new QTextDocument;
    doc->setDefaultFont(model->defaultFont());
    doc->setDefaultTextOption(model->defaultTextOption());
    doc->setDocumentMargin(model->documentMargin());
    return doc;
}

// Text as a document holds it (a paragraph separator between lines) with LF line breaks.
QString withLineFeeds(QString raw)
{
    return raw.replace(QChar::ParagraphSeparator, u'\n');
}
} // namespace

// The editor's documents are its own from the start, so Qt never deletes one in passing (it deletes
// its internal document when another is set) and a large one can always be freed off the UI thread.
PasteEdit::PasteEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    QTextDocument *own = emptyLike(document());
    own->setParent(this);
    own->setDocumentLayout(new QPlainTextDocumentLayout(own));
    setDocument(own);
}

// A document still being freed is waited for: nothing may run past the program's end.
PasteEdit::~PasteEdit()
{
    for (const QPointer<QThread> &disposer : std::as_const(m_disposers)) {
        if (disposer) {
            disposer->wait();
            delete disposer;
        }
    }
}

// Frees a document on a thread of its own: taking a document of megabytes apart costs a UI thread
// as long as building one.
void PasteEdit::disposeOffThread(QTextDocument *doc)
{
    doc->setParent(nullptr);
    QThread *disposer = QThread::create([doc] { delete doc; });
    doc->moveToThread(disposer);
    connect(disposer, &QThread::finished, disposer, &QObject::deleteLater);
    m_disposers.removeAll(nullptr);
    m_disposers.append(disposer);
    disposer->start();
}

void PasteEdit::adopt(QTextDocument *doc)
{
    QTextDocument *previous = document();
    doc->setParent(this);
    doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
    setDocument(doc);
    if (previous->parent() == this)
        disposeOffThread(previous);
}

void PasteEdit::setWholeText(const QString &text)
{
    if (text.size() < largeText) {
        ++m_generation;
        setPlainText(text);
        return;
    }
    build([text] { return text; });
}

QString PasteEdit::plainText() const
{
    return withLineFeeds(document()->toRawText());
}

void PasteEdit::rewrite(const std::function<QString(const QString &)> &make)
{
    const QString plain = plainText();
    if (plain.size() < largeText)
        setWholeText(make(plain));
    else
        build([plain, make] { return make(plain); });
}

void PasteEdit::replaceSelection(const QString &text)
{
    QTextCursor cursor = textCursor();
    // Qt's cost is in the lines inserted and removed, not in the rest of the document: a small change
    // in a large text stays in place, with its undo.
    if (text.size() < largeText && cursor.selectionEnd() - cursor.selectionStart() < largeText) {
        cursor.insertText(text);
        return;
    }
    // The rest of the text is taken as the document holds it, so nothing outside the selection changes.
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const bool shown = build([raw = document()->toRawText(), start, end, text] {
        QString whole = raw;
        whole.replace(start, end - start, text);
        return withLineFeeds(std::move(whole));
    });
    if (!shown)
        return;
    cursor = textCursor();
    cursor.setPosition(std::min<qsizetype>(start + text.size(), document()->characterCount() - 1));
    setTextCursor(cursor);
}

bool PasteEdit::build(std::function<QString()> make)
{
    const quint64 generation = ++m_generation;
    // The text is made and the document built with no layout and no undo history, on a thread that
    // hands the document back here once it is done.
    QTextDocument *doc = emptyLike(document());
    QThread *ui = thread();
    QThread *builder = QThread::create([doc, make = std::move(make), ui] {
        doc->setUndoRedoEnabled(false);
        doc->setPlainText(make());
        // Every line's layout object is made here too; the editor would make them all at once
        // when the document is set, one allocation after another.
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            block.layout();
        doc->setUndoRedoEnabled(true);
        doc->setModified(false);
        doc->moveToThread(ui);
    });
    doc->moveToThread(builder);
    QPointer<PasteEdit> self(this);
    ++m_building;
    {
        QEventLoop wait;
        connect(builder, &QThread::finished, &wait, &QEventLoop::quit);
        builder->start();
        // The loop may end early when the program quits; the document is finished all the same.
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        builder->wait();
    }
    delete builder;
    if (!self) { // the editor went away meanwhile: nothing to show the text in
        delete doc;
        return false;
    }
    --m_building;
    if (generation != m_generation) { // a later text was set meanwhile, and stands
        disposeOffThread(doc);
        return false;
    }
    adopt(doc);
    return true;
}

void PasteEdit::requestPaste()
{
    if (isReadOnly())
        return;
    emit pasteRequested();
    ensureCursorVisible();
}

QString PasteEdit::selectedPlainText() const
{
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int length = cursor.selectionEnd() - start;
    // Qt gathers a selection piece by piece; a large one is cut out of the whole text in one go.
    return withLineFeeds(length < largeText ? cursor.selectedText() : document()->toRawText().mid(start, length));
}

// The editor's own copy and cut, and on X11 every selection it makes (Ctrl+A, a drag), offer the
// selection as plain text only, taken straight from the cursor. Qt's own copy first builds a second
// document of the selection and, when asked, HTML from it: seconds for a selection of megabytes. The
// editor holds plain text, so nothing is lost. Line breaks are the document's paragraph separators.
QMimeData *PasteEdit::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(selectedPlainText());
    return data;
}

// Asked by the context menu (is its paste available?) and, for a drag, by Qt's drop handling. The
// window's paste reads the clipboard itself, so it is always available; drops never get here, the
// window takes them at the viewport.
bool PasteEdit::canInsertFromMimeData(const QMimeData *) const
{
    return !isReadOnly();
}

// What is left of Qt's paste (the context menu's action, paste()) ends here with the clipboard's
// data, which may be an empty, ownerless one: it is ignored.
void PasteEdit::insertFromMimeData(const QMimeData *)
{
    requestPaste();
}

// The paste keys are taken before Qt looks at the clipboard at all; which keys they are is the
// platform's choice, as for every other editor.
void PasteEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        requestPaste();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

// A middle click puts the caret where it was clicked and pastes there, as on every Linux desktop, but
// the clipboard's text (the window's paste), not the primary selection.
void PasteEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        if (!isReadOnly()) {
            setTextCursor(cursorForPosition(event->position().toPoint()));
            requestPaste();
        }
        event->accept();
        return;
    }
    QPlainTextEdit::mouseReleaseEvent(event);
}
