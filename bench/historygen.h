// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// A realistic history file of `entries` lines: mixed Japanese and ASCII texts, 5% of them with line
// breaks, 1% longer than 1,000 characters. The same seed gives the same bytes. `cp932PerMille` lines
// in a thousand are written in CP932, as a file written on Windows holds them (UTF-8 otherwise).
QByteArray generateHistory(int entries, quint32 seed = 1, int cp932PerMille = 0);
