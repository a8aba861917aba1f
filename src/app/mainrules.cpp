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

Language uiLanguage(const QStringList &uiLanguages)
{
    for (const QString &tag : uiLanguages) {
        const QString language = tag.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
        if (language == u"ja" || language == u"c" || language == u"posix")
            return Language::Japanese;
        if (language == u"en")
            return Language::English;
    }
    return Language::English;
}
} // namespace mainrules
