// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/codec.h"

#include <QString>
#include <QStringList>

// The template phrase file: one phrase per line, each line ended by CR LF. Reading ends a line at
// CR LF, at a lone CR or at a lone LF (files made with Linux editors); a last line without an end is
// still read. The editor writes exactly ten lines.
namespace templatefile {
inline constexpr int editorSlots = 10;

// The lines of a text; at most `maxLines` when that is not negative.
QStringList splitLines(QStringView text, int maxLines = -1);

// The lines of a template file. Throws CommandError.
QStringList read(const QString &path, int maxLines = -1);

// The file bytes for the given phrases: each followed by CR LF.
QByteArray encode(const QStringList &phrases, CodePage page);

// Writes the phrases to `path`, replacing it atomically. Throws CommandError.
void write(const QString &path, const QStringList &phrases, CodePage page);
} // namespace templatefile
