// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

class Clipboard;

// A one-line edit field whose paste (the paste keys, a middle click, the context menu) reads the
// clipboard through the program's `Clipboard`, which answers at once with what was captured. Qt's
// own paste, and the context menu Qt builds, ask the clipboard's owner directly and wait for it up to
// five seconds on the UI thread when it does not answer.
class PasteLineEdit final : public QLineEdit
{
    Q_OBJECT

public:
    PasteLineEdit(Clipboard *clipboard, QWidget *parent = nullptr);

    // Inserts the clipboard's text at the cursor in place of the selection, as Qt's paste does;
    // nothing when the clipboard holds no text or the field is read-only.
    void pasteClipboardText();

    // Makes every one-line field inside `dialog` paste as this field does: for the dialogs whose
    // fields Qt makes (the input box, the file and font dialogs), including those it makes while the
    // dialog is open (a file's name being edited in the file list). Lasts as long as the dialog.
    static void guardFields(QWidget *dialog, Clipboard *clipboard);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    Clipboard *m_clipboard;
};
