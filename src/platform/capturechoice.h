// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/capturebackend.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

// The displays a session offers: WAYLAND_DISPLAY and DISPLAY, each set and not empty.
struct CaptureSession
{
    bool wayland = false;
    bool x11 = false;

    // This process's session, from its environment.
    static CaptureSession current()
    {
        return {!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"), !qEnvironmentVariableIsEmpty("DISPLAY")};
    }
};

// Makes a back-end, not started yet; null when it cannot be made at all.
using CaptureFactory = std::function<std::unique_ptr<CaptureBackend>()>;

// The back-end that can watch the clipboard in `session`, started: the Wayland compositor's
// data-control protocol where it offers it (`makeWayland`), else the X11 selection (`makeX11`: X11,
// and XWayland where the compositor has no data-control). Null when neither can; `problem` then
// receives a line for the user when copies made in other windows cannot be seen at all. `initial`
// receives what the clipboard holds.
std::unique_ptr<CaptureBackend> startCaptureBackend(CaptureSession session, const CaptureFactory &makeWayland,
                                                    const CaptureFactory &makeX11, ClipboardContent *initial,
                                                    QString *problem);
