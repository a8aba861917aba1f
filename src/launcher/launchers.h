// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the launcher items start on a Linux desktop: for each key an ordered list of candidate
// commands (GNOME, KDE Plasma, Xfce and others, then a generic one through xdg-open where one
// makes sense). The first candidate whose program is found on PATH is started.
namespace launchers {
struct Command
{
    QString program;
    QStringList arguments;
};

// The candidates for a key of the `con` menu, or "con" for the button itself (the settings centre).
// Empty for a key that starts nothing.
QList<Command> candidates(const QString &key);

// The programs looked for, for an error message: "a, b, c".
QString lookedFor(const QList<Command> &commands);
} // namespace launchers
