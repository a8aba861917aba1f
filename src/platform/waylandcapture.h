// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/capturebackend.h"

#include <memory>

// Clipboard capture on Wayland through the data-control protocol (ext_data_control_manager_v1, or
// the older zwlr_data_control_manager_v1 of wlroots compositors): it sees every change of the regular
// selection whatever window has the focus, and it can own the selection itself.
//
// It has its own connection to the compositor, and one thread makes every Wayland call: it reads
// the newest offer's content through a non-blocking pipe, serves the contents this program set, and
// hands the UI thread each change once it is completely read (one replaced before anything of it was
// read is left out). An owner that stops answering or answers slowly costs its own change its text
// (a newer change gives the older one up at once; a transfer is bounded in progress and in total
// time), never a later change, nor the windows their events. A connection lost is made again.
class WaylandCapture final : public CaptureBackend
{
    Q_OBJECT

public:
    explicit WaylandCapture(QObject *parent = nullptr);
    ~WaylandCapture() override;

    bool start(ClipboardContent *initial) override;
    QImage readPicture(int deadlineMs) override;
    bool sets() const override { return true; }
    void set(const QList<OfferedFormat> &formats) override;
    QString name() const override;

    class Worker;

private:
    std::unique_ptr<Worker> m_worker;
};

std::unique_ptr<CaptureBackend> makeWaylandCapture();
