// SPDX-License-Identifier: GPL-3.0-or-later
#include "sysinfo.h"

#include <QFile>
#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <time.h>

QDateTime LinuxSystemInfo::now() const
{
    return QDateTime::currentDateTime();
}

qint64 LinuxSystemInfo::uptimeMs() const
{
    timespec ts{};
    // CLOCK_BOOTTIME counts the time since boot, suspended time included, like the system's uptime.
    if (::clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        return 0;
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

SystemInfo::Memory LinuxSystemInfo::memory() const
{
    Memory m;
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    const auto kb = [](const QByteArray &line) {
        return line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toULongLong() * 1024;
    };
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("MemTotal:"))
            m.totalBytes = kb(line);
        else if (line.startsWith("MemAvailable:"))
            m.availableBytes = kb(line);
    }
    return m;
}

bool LinuxSystemInfo::capsLock() const
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    unsigned int state = 0;
    if (XkbGetIndicatorState(x11->display(), XkbUseCoreKbd, &state) != Success)
        return false;
    return (state & 1u) != 0; // Caps Lock is the first indicator
}
