// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/capturebackend.h"

#include <memory>

// Watches the CLIPBOARD selection of the X display (DISPLAY) through a connection of its own, told of
// every change of owner by XFixes and reading each new owner at once on a thread of its own: every
// request has a deadline, and a newer change ends an older change's transfer, so no owner (slow, hung,
// trickling, or gone in the middle of a transfer) holds up anything but its own change; changes are
// delivered in the order they happened. Large texts arrive through INCR transfers; a text is delivered
// whole or not at all (then trouble() says so). A lost connection is made again.
class X11Capture final : public CaptureBackend
{
    Q_OBJECT

public:
    explicit X11Capture(QObject *parent = nullptr);
    ~X11Capture() override;

    bool start(ClipboardContent *initial) override;
    QImage readPicture(int deadlineMs) override;
    QString name() const override { return QStringLiteral("x11"); }

private:
    struct Worker;
    std::unique_ptr<Worker> m_worker;
};

std::unique_ptr<CaptureBackend> makeX11Capture();
