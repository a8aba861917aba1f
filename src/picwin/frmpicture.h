// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "picwin/picturefit.h"
#include "platform/filedialogs.h"
#include "platform/platform.h"

#include <QFrame>
#include <QImage>
#include <QMainWindow>

#include <QPointer>

#include <functional>
#include <optional>

class PreviewPane;
class QMimeData;

// The display area: the displayed picture at its natural size from the inner top-left corner, cut
// off at the edges, with the selection rectangle drawn over it.
class PictureBox final : public QFrame
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    void setLines(const std::array<picturefit::Line, 4> &lines, float twipsPerPixel);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    std::array<QLineF, 4> m_lines{};
};

// The picture window: shows, opens, saves and clips the clipboard picture.
class frmPicture final : public QMainWindow
{
    Q_OBJECT

public:
    // `preview` is the main window's preview: its picture is the one shown first, and the window sets it.
    frmPicture(const Platform &platform, PreviewPane *preview, QWidget *parent = nullptr);

    void Form_Load();
    void frmFit();
    void lineInitialize(float x, float y);

    void file_Open_Click();
    void file_Save_Click();
    void file_Quit_Click();
    void edit_New_Click();
    void edit_Cut_Click();
    void edit_Copy_Click();
    void edit_Del_Click();
    void edit_Clear_Click();
    void Picture1_OLEDragDrop(const QMimeData *data);

    // Mouse events of the display area, positions in twips of its inner area.
    void Picture1_MouseDown(float x, float y);
    void Picture1_MouseMove(Qt::MouseButtons buttons, float x, float y);
    void Picture1_MouseUp(float x, float y);

    // The displayed picture (may be empty); replacing it updates the menu states.
    void setDisplayed(const QImage &picture);
    const QImage &displayed() const { return m_picture1->picture(); }
    const std::optional<QImage> &source() const { return m_source; }
    void setSource(const std::optional<QImage> &picture) { m_source = picture; }
    const QString &pictureFileName() const { return m_tag; }
    const picturefit::Selection &selection() const { return m_selection; }
    const std::array<picturefit::Line, 4> &lines() const { return m_lines; }
    PictureBox *picture1() const { return m_picture1; }
    // The display's inner size in twips.
    picturefit::Size displayInner() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void Picture1_Change();
    QImage readPicture(const QString &path) const;
    QImage selectedPart() const;

    Platform m_platform;
    QPointer<PreviewPane> m_preview;
    PictureBox *m_picture1 = nullptr;
    QImage m_picture2; // the scratch area copy renders into
    std::optional<QImage> m_source;
    QString m_tag; // the picture file name
    picturefit::Selection m_selection;
    std::array<picturefit::Line, 4> m_lines{};
    FileDialogSpec m_common;
    bool m_fitting = false;
};
