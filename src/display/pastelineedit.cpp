#include "pastelineedit.h"

#include "platform/clipboard.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>

PasteLineEdit::PasteLineEdit(Clipboard *clipboard, QWidget *parent) : QLineEdit(parent), m_clipboard(clipboard) {}

QString PasteLineEdit::clipboardText() const
{
    if (!m_clipboard)
        return {};
    const ClipboardContent content = m_clipboard->read(false);
    // The desktop's form, as Qt's paste would have taken it.
    return content.hasText ? Clipboard::toDesktop(content.text) : QString();
}

void PasteLineEdit::pasteClipboardText()
{
    if (isReadOnly())
        return;
    const QString text = clipboardText();
    if (!text.isEmpty() || hasSelectedText())
        insert(text);
}

void PasteLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        pasteClipboardText();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// A middle click pastes where it was clicked, as on every Linux desktop: the clipboard's text, as in
// the text window, not the primary selection.
void PasteLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        if (!isReadOnly()) {
            deselect();
            setCursorPosition(cursorPositionAt(event->position().toPoint()));
            pasteClipboardText();
        }
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

// Qt's standard menu of an edit field, with the same texts and shortcuts, built without asking the
// clipboard's owner whether there is something to paste.
void PasteLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [&](const char *text, const QKeySequence &keys, bool enabled, auto &&slot) {
        QString caption = QCoreApplication::translate("QLineEdit", text);
        if (!keys.isEmpty())
            caption += QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
        QAction *action = menu->addAction(caption);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, slot);
    };
    const bool plain = echoMode() == QLineEdit::Normal;
    if (!isReadOnly()) {
        add("&Undo", QKeySequence::Undo, isUndoAvailable(), &QLineEdit::undo);
        add("&Redo", QKeySequence::Redo, isRedoAvailable(), &QLineEdit::redo);
        menu->addSeparator();
        add("Cu&t", QKeySequence::Cut, hasSelectedText() && plain, &QLineEdit::cut);
    }
    add("&Copy", QKeySequence::Copy, hasSelectedText() && plain, &QLineEdit::copy);
    if (!isReadOnly()) {
        add("&Paste", QKeySequence::Paste, !clipboardText().isEmpty(), &PasteLineEdit::pasteClipboardText);
        add("Delete", QKeySequence(), hasSelectedText(), [this] { del(); });
    }
    if (!menu->isEmpty())
        menu->addSeparator();
    add("Select All", QKeySequence::SelectAll, !text().isEmpty() && selectedText() != text(), &QLineEdit::selectAll);
    menu->popup(event->globalPos());
}
