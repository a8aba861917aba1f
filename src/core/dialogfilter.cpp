#include "dialogfilter.h"

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

QString defaultSuffix(DialogMode mode, const QString &defaultExtension)
{
    if (mode == DialogMode::Open)
        return {};
    QString suffix = defaultExtension.trimmed();
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    return suffix;
}
} // namespace dialogfilter
