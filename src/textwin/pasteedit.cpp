#include "pasteedit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextDocumentFragment>

PasteEdit::PasteEdit(QWidget *parent) : QPlainTextEdit(parent) {}

void PasteEdit::requestPaste()
{
    if (isReadOnly())
        return;
    emit pasteRequested();
    ensureCursorVisible();
}

// The editor's own copy and cut offer the selection as plain text only. Qt's rich-text copy would
// also build an HTML document of the selection when the text is asked for, which takes seconds for
// a selection of megabytes; the editor holds plain text, so nothing is lost.
QMimeData *PasteEdit::createMimeDataFromSelection() const
{
    auto *data = new QMimeData;
    data->setText(textCursor().selection().toPlainText());
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
