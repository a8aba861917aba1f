#pragma once

#include <QPlainTextEdit>

// The text window's editor. Every way of pasting into it — the paste keys (Ctrl+V, Shift+Insert and,
// on X11, Ctrl+Shift+Insert), the context menu's paste, a middle click, paste() — asks for the window's
// own paste command through pasteRequested() instead of inserting the clipboard's data itself.
//
// Qt's own insertion must not run: Qt 6.4 takes the first of the offered formats without checking
// that there is one, and an X11 clipboard nobody owns (emptied, or its owner gone) offers none, so a
// paste then crashed the program. The data Qt hands over is never looked at here.
class PasteEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit PasteEdit(QWidget *parent = nullptr);

signals:
    // A paste was asked for; the window inserts the clipboard's text over the selection.
    void pasteRequested();

protected:
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void requestPaste();
};
