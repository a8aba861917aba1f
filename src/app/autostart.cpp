// SPDX-License-Identifier: GPL-3.0-or-later
#include "autostart.h"

#include "core/fileio.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace autostart {
namespace {
// A string value of a desktop entry: backslashes and line breaks escaped.
QString escapeValue(QString value)
{
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return value;
}

// One argument of the Exec key: a literal percent sign doubled; with any reserved character, the
// argument in double quotes with ", `, $ and \ escaped by a backslash.
QString execArgument(QString argument)
{
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quote = std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); });
    if (!quote)
        return argument;
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

QString entryPath(const QString &configHome, const QString &home)
{
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : home + QStringLiteral("/.config");
    return QDir::cleanPath(base) + QStringLiteral("/autostart/") + QLatin1String(applicationId) +
           QStringLiteral(".desktop");
}

QByteArray entry(const QString &program)
{
    const QString text =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Vornkip\n"
                       "Comment=Clipboard history\n"
                       "Comment[ja]=クリップボードの履歴\n"
                       "Exec=%1\n"
                       "TryExec=%2\n"
                       "Icon=%3\n"
                       "Terminal=false\n"
                       "StartupNotify=false\n"
                       "X-GNOME-Autostart-enabled=true\n"
                       "X-GNOME-Autostart-Delay=5\n"
                       "X-KDE-autostart-after=panel\n")
            .arg(escapeValue(execArgument(program)), escapeValue(program), QLatin1String(applicationId));
    return text.toUtf8();
}

void enable(const QString &path, const QString &program)
{
    fileio::makeDir(QFileInfo(path).path());
    fileio::writeFileAtomic(path, entry(program), fileio::FileMode::KeepExisting);
}

bool disable(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return false;
    fileio::removeFile(path);
    return true;
}
} // namespace autostart
