// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/codec.h"
#include "platform/filedialogs.h"
#include "platform/platform.h"
#include "textwin/pasteedit.h"

#include <QFont>
#include <QMainWindow>

#include <memory>

class QMimeData;

// The text window: the clipboard's text in an editor, with file, edit, style and extra commands.
class frmText final : public QMainWindow
{
    Q_OBJECT

public:
    frmText(const Platform &platform, CodePage writePage, QWidget *parent = nullptr);

    // The editor's text with CR LF line breaks, and its selection in editor positions (a line
    // break is one position).
    QString text() const;
    void setText(const QString &text);
    int selStart() const;
    int selLength() const;
    QString selText() const;
    void setSelText(const QString &text);
    void setSelection(int start, int length);
    QPlainTextEdit *richText() const { return m_richText; }

    // Menu commands.
    void file_Open_Click();
    void file_Save_Click();
    void edit_Copy_Click();
    void edit_All_Click();
    void edit_Paste_Click();
    void eidt_Erea_Click();
    void edit_Cut_Click();
    void edit_Clear_Click();
    void style_Edit_Click();
    void styleFont(int points);
    void setCopy();
    void fileOpen();

    // The extras: whole-text and selection conversions, and the three counts.
    void convertWhole(QString (*conversion)(QStringView));
    void convertSelection(QString (*conversion)(QStringView));
    void omake_Count_1_Click();
    void omake_Count_2_Click();
    void omake_Count_3_Click();

    // A drop of data onto the editor.
    void richText_OLEDragDrop(const QMimeData *data);
    bool cfType(const QMimeData *data, int format);
    void nullCheck();

    // The layout rule, in twips of the window's inner area.
    void applyLayout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void dropWhenIdle(std::shared_ptr<QMimeData> dropped);
    void buildMenus();
    void saveText(const QString &path) const;
    QString showSave();

    Platform m_platform;
    CodePage m_writePage;
    PasteEdit *m_richText = nullptr;
    QFont m_dialogFont;
    bool m_layingOut = false;
    // The window's one dialog object: what a command sets stays set for the next use.
    FileDialogSpec m_common;
};
