// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace textConv {
// The text a dropped file adds: its lines, each followed by CR LF. A line ends at CR LF or at a
// lone CR; a lone LF stays in the line.
QString fileLines(QStringView text);
} // namespace textConv
