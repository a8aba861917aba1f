#include "dialogfilter.h"

#include <QFileInfo>

namespace dialogfilter {
QStringList toQtFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString pattern = parts[i + 1].trimmed();
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString parenthesised = QLatin1Char('(') + pattern + QLatin1Char(')');
        out << (description.endsWith(parenthesised) ? description : description + QLatin1Char(' ') + parenthesised);
    }
    return out;
}

QString withDefaultExtension(const QString &path, const QString &defaultExtension)
{
    if (path.isEmpty() || defaultExtension.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return defaultExtension.startsWith(QLatin1Char('.')) ? path + defaultExtension
                                                         : path + QLatin1Char('.') + defaultExtension;
}
} // namespace dialogfilter
