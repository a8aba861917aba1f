// SPDX-License-Identifier: GPL-3.0-or-later
#include "capturechoice.h"

#include <QCoreApplication>

std::unique_ptr<CaptureBackend> startCaptureBackend(CaptureSession session, const CaptureFactory &makeWayland,
                                                    const CaptureFactory &makeX11, ClipboardContent *initial,
                                                    QString *problem)
{
    // The back-ends in the order they are tried: each connects on its own and says whether it can watch.
    QList<const CaptureFactory *> factories;
    if (session.wayland)
        factories << &makeWayland;
    if (session.x11)
        factories << &makeX11;
    for (const CaptureFactory *make : factories) {
        std::unique_ptr<CaptureBackend> backend = (*make)();
        if (backend && backend->start(initial))
            return backend;
    }
    *initial = ClipboardContent();
    if (session.wayland && !session.x11)
        *problem = QCoreApplication::translate(
            "CaptureChoice", "this Wayland session offers no data-control protocol and no X display: "
                             "texts copied in other windows are recorded only while Vornkip has the focus");
    return nullptr;
}
