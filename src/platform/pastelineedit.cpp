// SPDX-License-Identifier: GPL-3.0-or-later
#include "pastelineedit.h"

#include "platform/clipboard.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>

namespace {
QString capturedText(const Clipboard *clipboard)
{
    const ClipboardContent content = clipboard->read(false);
    // The desktop's form, as Qt's paste would have taken it.
    return content.hasText ? Clipboard::toDesktop(content.text) : QString();
}

void pasteCaptured(QLineEdit *field, const Clipboard *clipboard)
{
    if (field->isReadOnly())
        return;
    const QString text = capturedText(clipboard);
    if (!text.isEmpty() || field->hasSelectedText())
        field->insert(text);
}

// Qt's standard menu of an edit field, with the same texts and shortcuts, built without asking the
// clipboard's owner whether there is something to paste.
void showMenu(QLineEdit *field, const Clipboard *clipboard, const QPoint &at)
{
    auto *menu = new QMenu(field);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto add = [&](const char *text, const QKeySequence &keys, bool enabled, auto &&slot) {
        QString caption = QCoreApplication::translate("QLineEdit", text);
        if (!keys.isEmpty())
            caption += QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
        QAction *action = menu->addAction(caption);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, field, slot);
    };
    const bool plain = field->echoMode() == QLineEdit::Normal;
    const bool editable = !field->isReadOnly();
    if (editable) {
        add("&Undo", QKeySequence::Undo, field->isUndoAvailable(), &QLineEdit::undo);
        add("&Redo", QKeySequence::Redo, field->isRedoAvailable(), &QLineEdit::redo);
        menu->addSeparator();
        add("Cu&t", QKeySequence::Cut, field->hasSelectedText() && plain, &QLineEdit::cut);
    }
    add("&Copy", QKeySequence::Copy, field->hasSelectedText() && plain, &QLineEdit::copy);
    if (editable) {
        add("&Paste", QKeySequence::Paste, !capturedText(clipboard).isEmpty(),
            [field, clipboard] { pasteCaptured(field, clipboard); });
        add("Delete", QKeySequence(), field->hasSelectedText(), [field] { field->del(); });
    }
    if (!menu->isEmpty())
        menu->addSeparator();
    add("Select All", QKeySequence::SelectAll, !field->text().isEmpty() && field->selectedText() != field->text(),
        &QLineEdit::selectAll);
    menu->popup(at);
}

// Takes the events on which Qt's field would ask the clipboard's owner (the paste keys, a middle
// click, the context menu) and does the same with what was captured; false for any other event.
bool takePaste(QLineEdit *field, const Clipboard *clipboard, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (!static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste))
            return false;
        pasteCaptured(field, clipboard);
        break;
    // A middle click pastes where it was clicked, as on every Linux desktop: the clipboard's text, as
    // in the text window, not the primary selection.
    case QEvent::MouseButtonRelease: {
        const auto *click = static_cast<QMouseEvent *>(event);
        if (click->button() != Qt::MiddleButton)
            return false;
        if (!field->isReadOnly()) {
            field->deselect();
            field->setCursorPosition(field->cursorPositionAt(click->position().toPoint()));
            pasteCaptured(field, clipboard);
        }
        break;
    }
    case QEvent::ContextMenu:
        showMenu(field, clipboard, static_cast<QContextMenuEvent *>(event)->globalPos());
        break;
    default:
        return false;
    }
    event->accept();
    return true;
}

// Watches the application's events while the dialog lives, as fields of the dialog may be made at
// any time; only those sent to one of its fields are looked at.
class FieldGuard final : public QObject
{
public:
    FieldGuard(QWidget *dialog, Clipboard *clipboard) : QObject(dialog), m_dialog(dialog), m_clipboard(clipboard)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::MouseButtonRelease && type != QEvent::ContextMenu)
            return false;
        auto *field = qobject_cast<QLineEdit *>(watched);
        if (!field || qobject_cast<PasteLineEdit *>(field) || !m_dialog->isAncestorOf(field) ||
            (type == QEvent::ContextMenu && field->contextMenuPolicy() != Qt::DefaultContextMenu))
            return false;
        return takePaste(field, m_clipboard, event);
    }

private:
    QWidget *m_dialog;
    Clipboard *m_clipboard;
};
} // namespace

PasteLineEdit::PasteLineEdit(Clipboard *clipboard, QWidget *parent) : QLineEdit(parent), m_clipboard(clipboard) {}

void PasteLineEdit::pasteClipboardText()
{
    pasteCaptured(this, m_clipboard);
}

void PasteLineEdit::guardFields(QWidget *dialog, Clipboard *clipboard)
{
    new FieldGuard(dialog, clipboard);
}

void PasteLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (!takePaste(this, m_clipboard, event))
        QLineEdit::keyPressEvent(event);
}

void PasteLineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (!takePaste(this, m_clipboard, event))
        QLineEdit::mouseReleaseEvent(event);
}

void PasteLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    takePaste(this, m_clipboard, event);
}
