#pragma once

#include "platform/capturebackend.h"

#include <QString>

#include <memory>

// The back-end that can watch the clipboard in this session, started: the Wayland compositor's
// data-control protocol where it offers it, else the X11 selection (X11, and XWayland where the
// compositor has no data-control). Null when neither can; `problem` then receives a line for the user
// when copies made in other windows cannot be seen at all. `initial` receives what the clipboard holds.
std::unique_ptr<CaptureBackend> startCaptureBackend(ClipboardContent *initial, QString *problem);
