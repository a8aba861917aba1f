// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPlainTextEdit>
#include <QPointer>
#include <QThread>

#include <functional>

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
    ~PasteEdit() override;

    // From this many characters on, a text is laid out into a new document on a worker thread:
    // building a document costs about 0.1 s per megabyte, all of it in Qt's block structure.
    static constexpr qsizetype largeText = qsizetype(1) << 20;

    // Replaces the whole text, as setPlainText() does: the undo history starts again. A large text
    // is built off the UI thread while the program keeps answering (windows repaint, the clipboard
    // is still recorded); input waits until the text is in place. Returns once it is.
    void setWholeText(const QString &text);
    // The whole text, lines separated by LF, every other character as typed. (toPlainText() turns
    // no-break spaces into spaces.)
    QString plainText() const;
    // Replaces the whole text with what `make` makes of plainText(); for a large text `make` runs
    // off the UI thread too, so it must only compute.
    void rewrite(const std::function<QString(const QString &)> &make);
    // Replaces the selection with the text and puts the caret after it. When either is large, the
    // whole text is spliced and built off the UI thread; the undo history then starts again.
    void replaceSelection(const QString &text);
    // The selected text, lines separated by LF.
    QString selectedPlainText() const;
    // True while a large text is being built (see setWholeText()).
    bool isBuilding() const { return m_building > 0; }

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
    // Builds a document of what `make` makes, off the UI thread, and installs it. False when it was
    // not installed: a later text stands, or the editor is gone (then nothing of it may be touched).
    bool build(std::function<QString()> make);
    void disposeOffThread(QTextDocument *doc);
    // Installs the document and lets the previous one of ours go, freed off the UI thread.
    void adopt(QTextDocument *document);

    QList<QPointer<QThread>> m_disposers;
    int m_building = 0;
    quint64 m_generation = 0;
};
