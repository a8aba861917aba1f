// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainrules.h"

namespace mainrules {
QString dropText(const QStringList &paths)
{
    if (paths.size() == 1)
        return paths.front();
    QString text;
    for (const QString &p : paths)
        text += p + QStringLiteral("\r\n");
    return text;
}

bool isResetSwitch(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' ')).compare(QStringLiteral("/a"), Qt::CaseInsensitive) == 0;
}
} // namespace mainrules
