// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// File dialog settings written the classic way: filters as "description|pattern|description|pattern",
// a 1-based filter index, a default extension with its dot.
namespace dialogfilter {
// Qt name filters, one per description/pattern pair: "description (patterns)", patterns separated by
// blanks and "*.*" (every file) as "*". A dialog shows the description alone (its own
// HideNameFilterDetails), word for word.
QStringList toQtFilters(const QString &filter);

// The 1-based place in `qtFilters` of the filter a dialog reports as selected: the whole filter, or
// its description alone as a dialog hiding the patterns reports it. 0 when it is none of them.
int filterIndexOf(const QStringList &qtFilters, const QString &selected);

enum class DialogMode
{
    Open,
    Save
};

// The suffix a dialog adds to a name typed without one ("ifo" for ".ifo"). Only a save dialog adds
// it: the file picked or named in an open dialog is the file read, extension or not.
QString defaultSuffix(DialogMode mode, const QString &defaultExtension);
} // namespace dialogfilter
