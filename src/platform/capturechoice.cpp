#include "capturechoice.h"

#include "platform/waylandcapture.h"
#include "platform/x11capture.h"

#include <QByteArray>

std::unique_ptr<CaptureBackend> startCaptureBackend(ClipboardContent *initial, QString *problem)
{
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    // The back-ends in the order they are tried: each connects on its own and says whether it can watch.
    using Factory = std::unique_ptr<CaptureBackend> (*)();
    QList<Factory> factories;
    if (wayland)
        factories << makeWaylandCapture;
    if (x11)
        factories << makeX11Capture;
    for (const Factory &make : factories) {
        std::unique_ptr<CaptureBackend> backend = make();
        if (backend && backend->start(initial))
            return backend;
    }
    *initial = ClipboardContent();
    if (wayland && !x11)
        *problem = QStringLiteral("this Wayland session offers no data-control protocol and no X display: "
                                  "texts copied in other windows are recorded only while Vornkip has the focus");
    return nullptr;
}
