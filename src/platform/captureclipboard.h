// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/capturebackend.h"
#include "platform/clipboard.h"

#include <memory>

// The desktop's clipboard as the program sees it: every change as a capture back-end read it on its
// own thread, so that asking what the clipboard holds never waits for another program. Without a
// back-end (none can watch in this session) it reads and watches through QClipboard instead.
class CaptureClipboard final : public Clipboard
{
    Q_OBJECT

public:
    // Takes a started `backend` over (or none), with what the clipboard held when it started.
    CaptureClipboard(std::unique_ptr<CaptureBackend> backend, const ClipboardContent &initial,
                     QObject *parent = nullptr);
    ~CaptureClipboard() override;

    // The back-end that watches, or null when QClipboard does.
    const CaptureBackend *backend() const { return m_backend.get(); }

    using Clipboard::read;
    // The content of the last change; its picture is read now when asked for and not read yet.
    ClipboardContent read(bool withPicture) const override;
    void clear() override;
    void setText(const QString &text) override;
    void setImage(const QImage &image) override;
    // Through QClipboard always: the back-ends watch and set the clipboard only.
    void setSelection(const QString &text) override { m_qt.setSelection(text); }

    // How long a picture is waited for before the content is taken without it.
    static constexpr int pictureDeadlineMs = 1000;

    // The formats a text is offered in, as UTF-8 with the desktop's line breaks.
    static QList<OfferedFormat> textFormats(const QString &text);

private:
    void take(const ClipboardContent &content);

    std::unique_ptr<CaptureBackend> m_backend;
    QtClipboard m_qt; // sets contents where the back-end does not, and watches where there is none
    mutable ClipboardContent m_current;
    mutable bool m_pictureRead = false;
};
