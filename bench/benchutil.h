// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers the benchmarks share: a clock in milliseconds, the process's memory figures, percentiles.
#pragma once

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace benchutil {
using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A figure of /proc/self/status, or of another process's status, in kB ("VmRSS:", "VmHWM:"), or -1.
inline long statusKb(const char *field, qint64 pid = 0)
{
    QFile f(pid == 0 ? QStringLiteral("/proc/self/status") : QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The value at fraction p (0..1) of the sorted values, nearest rank; 0 for none.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}
} // namespace benchutil
