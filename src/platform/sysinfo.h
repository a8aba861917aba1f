// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

// What the title line and the status bar read from the system.
class SystemInfo
{
public:
    struct Memory
    {
        quint64 totalBytes = 0;
        quint64 availableBytes = 0;
    };

    virtual ~SystemInfo() = default;
    virtual QDateTime now() const = 0;
    // Milliseconds since the system started, as a 64-bit count.
    virtual qint64 uptimeMs() const = 0;
    virtual Memory memory() const = 0;
    // Whether Caps Lock is on.
    virtual bool capsLock() const = 0;
};

// Linux: /proc for uptime and memory, the X server's keyboard indicators for Caps Lock.
class LinuxSystemInfo final : public SystemInfo
{
public:
    QDateTime now() const override;
    qint64 uptimeMs() const override;
    Memory memory() const override;
    bool capsLock() const override;
};
