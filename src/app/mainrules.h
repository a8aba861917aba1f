// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Rules of the main window that need no widget.
namespace mainrules {
// The text a file drop puts on the clipboard: one path alone, or every path followed by CR LF.
QString dropText(const QStringList &paths);

// Whether the command line (the arguments after the program) is the reset switch "/a".
bool isResetSwitch(const QStringList &arguments);
} // namespace mainrules
