#pragma once

#include <QString>
#include <QStringList>

// File dialog settings written the classic way: filters as "description|pattern|description|pattern",
// a 1-based filter index, a default extension with its dot.
namespace dialogfilter {
// Qt name filters, one per description/pattern pair: "description (pattern)", or the description
// alone when it already ends with its pattern in parentheses.
QStringList toQtFilters(const QString &filter);

// `path` with `defaultExtension` (".ifo") added when its file name has no extension.
QString withDefaultExtension(const QString &path, const QString &defaultExtension);
} // namespace dialogfilter
