// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QImage>

class QLabel;

// The main window's picture preview (`Picture1` with `Image1` inside): the clipboard's picture fitted
// to the pane, or at its natural size and panned by dragging. A double click switches between the
// two. Shown in extended mode only; the picture window reads and sets the picture it shows.
class PreviewPane final : public QFrame
{
    Q_OBJECT

public:
    explicit PreviewPane(QWidget *parent = nullptr);

    // Shows a picture (an empty picture clears the pane).
    void showPreview(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    // Whether the pane is part of the window now (extended mode), shown or not.
    bool inUse() const { return !isHidden(); }
    bool fitted() const { return m_fit; }

    // The mouse on the picture; positions in twips within the pane.
    void Image1_DblClick();
    void Image1_MouseDown(float x, float y);
    void Image1_MouseUp(float x, float y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeImage();

    QLabel *m_image1;
    QImage m_picture;
    bool m_fit = true;
    float m_dragX = 0, m_dragY = 0;
    float m_left = 0, m_top = 0; // the natural-size picture's offset, in twips
};
