// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

// The title line and the status bar texts.
namespace titles {
// Title mode 1: the program's name and version, "VornkipVer." major "." minor and revision.
QString versionTitle();

// Formats a date and time with the patterns the title line and the status bar use:
// "gg"/"ggg" era (first character / full name), "e" year of the era, "yyyy", "m"/"mm" month (minutes
// right after an hour field), "d"/"dd", "aaa"/"aaaa" weekday, "hh", "ss", "ampm" (午前/午後 and a
// 12-hour clock); every other character is copied.
QString formatDateTime(const QDateTime &when, QStringView pattern);

// Mode 5: the time since the system started.
QString uptimeTitle(qint64 uptimeMs);

// Modes 6 and 7: physical memory in use and in total, in kilobytes or megabytes.
QString memoryTitle(quint64 totalBytes, quint64 availableBytes, bool megabytes);

// The timer interval a title mode's menu item sets (ms; 0 stops the timer).
int intervalForMode(int mode);

// What the title line shows for a mode ("1".."7"), or nothing for any other mode (title unchanged).
struct System
{
    QDateTime now;
    qint64 uptimeMs = 0;
    quint64 memTotal = 0;
    quint64 memAvailable = 0;
};
std::optional<QString> titleFor(const QString &mode, const System &system);
} // namespace titles
