// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewpane.h"

#include "display/mainlayout.h"
#include "display/preview.h"
#include "platform/widgettwips.h"

#include <QLabel>
#include <QMouseEvent>

PreviewPane::PreviewPane(QWidget *parent) : QFrame(parent), m_image1(new QLabel(this))
{
    setObjectName(QStringLiteral("Picture1"));
    setFrameShape(QFrame::Box);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    installEventFilter(this);
    m_image1->installEventFilter(this);
    placeImage();
}

void PreviewPane::showPreview(const QImage &picture)
{
    m_picture = picture;
    m_image1->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    placeImage();
}

void PreviewPane::placeImage()
{
    if (m_fit) {
        m_image1->setScaledContents(true);
        m_image1->setGeometry(twips::px(this, mainlayout::image1.left), twips::px(this, mainlayout::image1.top),
                              twips::px(this, mainlayout::image1.width), twips::px(this, mainlayout::image1.height));
    } else {
        m_image1->setScaledContents(false);
        const QSize natural = m_picture.isNull() ? QSize(0, 0) : m_picture.size();
        m_image1->setGeometry(twips::px(this, m_left), twips::px(this, m_top), natural.width(), natural.height());
    }
}

void PreviewPane::Image1_DblClick()
{
    if (!m_fit) {
        m_left = 0;
        m_top = 0;
        m_fit = true;
    } else {
        m_fit = false;
    }
    placeImage();
}

void PreviewPane::Image1_MouseDown(float x, float y)
{
    if (m_fit)
        return;
    m_image1->setCursor(Qt::SizeAllCursor);
    m_dragX = x;
    m_dragY = y;
}

void PreviewPane::Image1_MouseUp(float x, float y)
{
    if (!m_fit) {
        const QSize natural = m_picture.isNull() ? QSize(0, 0) : m_picture.size();
        const preview::Offset moved =
            preview::pan({m_left, m_top}, x - m_dragX, y - m_dragY, float(twips::fromPx(this, width())),
                         float(twips::fromPx(this, height())), float(twips::fromPx(this, natural.width())),
                         float(twips::fromPx(this, natural.height())));
        m_left = moved.left;
        m_top = moved.top;
        placeImage();
    }
    m_image1->unsetCursor();
}

bool PreviewPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_image1 && watched != this)
        return QFrame::eventFilter(watched, event);
    const auto twipsAt = [this, watched](QEvent *e) {
        const QPointF at = static_cast<QMouseEvent *>(e)->position();
        const QPointF inPreview = watched == m_image1 ? at : at - QPointF(m_image1->pos());
        return QPointF(twips::fromPx(this, qRound(inPreview.x())), twips::fromPx(this, qRound(inPreview.y())));
    };
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        Image1_DblClick();
        return true;
    case QEvent::MouseButtonPress: {
        const QPointF t = twipsAt(event);
        Image1_MouseDown(float(t.x()), float(t.y()));
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const QPointF t = twipsAt(event);
        Image1_MouseUp(float(t.x()), float(t.y()));
        return true;
    }
    default:
        return QFrame::eventFilter(watched, event);
    }
}
