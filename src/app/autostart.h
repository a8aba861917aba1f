// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include "core/identity.h"

// The entry that starts Vornkip when the user logs in: a desktop entry in the XDG autostart folder.
namespace autostart {
// $XDG_CONFIG_HOME/autostart/io.github.vornkip.Vornkip.desktop; ~/.config when the variable is unset,
// empty or not an absolute path, as the XDG base directory rules say.
QString entryPath(const QString &configHome, const QString &home);

// The entry for the program at `program` (an absolute path), quoted for the Exec key as the desktop
// entry rules require. It starts a little after login, once the panel with its notification area is up.
QByteArray entry(const QString &program);

// Writes the entry (atomically, creating the folder when missing). Throws CommandError.
void enable(const QString &path, const QString &program);

// Removes the entry; false when there was none. Throws CommandError.
bool disable(const QString &path);
} // namespace autostart
