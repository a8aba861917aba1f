#pragma once

#include <QByteArray>

// A realistic history file of `entries` lines: mixed Japanese and ASCII texts, 5% of them with line
// breaks, 1% longer than 1,000 characters. The same seed gives the same bytes.
QByteArray generateHistory(int entries, quint32 seed = 1);
