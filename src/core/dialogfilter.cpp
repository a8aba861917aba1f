// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogfilter.h"

namespace dialogfilter {
QStringList toQtFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = p.trimmed();
            // "*.*" means every file; as a glob it would leave out every name without a dot.
            if (!pattern.isEmpty())
                patterns << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
        }
        out << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

int filterIndexOf(const QStringList &qtFilters, const QString &selected)
{
    for (qsizetype i = 0; i < qtFilters.size(); ++i) {
        const QString &filter = qtFilters[i];
        const qsizetype patterns = filter.lastIndexOf(QStringLiteral(" ("));
        if (filter == selected || (patterns >= 0 && filter.left(patterns).simplified() == selected.simplified()))
            return static_cast<int>(i) + 1;
    }
    return 0;
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
