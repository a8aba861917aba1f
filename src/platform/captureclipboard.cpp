// SPDX-License-Identifier: GPL-3.0-or-later
#include "captureclipboard.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdio>

CaptureClipboard::CaptureClipboard(std::unique_ptr<CaptureBackend> backend, const ClipboardContent &initial,
                                   QObject *parent)
    : Clipboard(parent), m_backend(std::move(backend)), m_current(initial)
{
    if (m_backend) {
        connect(m_backend.get(), &CaptureBackend::captured, this, &CaptureClipboard::take);
        connect(m_backend.get(), &CaptureBackend::trouble, this, &Clipboard::trouble);
    } else
        connect(&m_qt, &Clipboard::changed, this, &Clipboard::changed);
}

CaptureClipboard::~CaptureClipboard() = default;

void CaptureClipboard::take(const ClipboardContent &content)
{
    m_current = content;
    m_pictureRead = false;
    emit changed();
}

ClipboardContent CaptureClipboard::read(bool withPicture) const
{
    if (!m_backend)
        return m_qt.read(withPicture);
    if (withPicture && m_current.hasImage && !m_pictureRead) {
        m_current.image = m_backend->readPicture(pictureDeadlineMs);
        m_pictureRead = true;
    }
    ClipboardContent c = m_current;
    if (!withPicture)
        c.image = QImage();
    return c;
}

QList<OfferedFormat> CaptureClipboard::textFormats(const QString &text)
{
    const QByteArray utf8 = toDesktop(text).toUtf8();
    QList<OfferedFormat> formats;
    for (const char *type : {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"})
        formats.append({QByteArray(type), utf8});
    return formats;
}

void CaptureClipboard::clear()
{
    if (m_backend && m_backend->sets())
        m_backend->set({});
    else
        m_qt.clear();
}

void CaptureClipboard::setText(const QString &text)
{
    if (m_backend && m_backend->sets())
        m_backend->set(textFormats(text));
    else
        m_qt.setText(text);
}

void CaptureClipboard::setImage(const QImage &image)
{
    if (!m_backend || !m_backend->sets()) {
        m_qt.setImage(image);
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    m_backend->set({{QByteArrayLiteral("image/png"), png}});
}
