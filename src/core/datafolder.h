// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The data folder holds form.ini, temp.ifo and templ.txt. It is $VORNKIP_HOME when set; otherwise the
// executable's folder when a form.ini is already there (portable use); otherwise the per-user data
// folder (~/.local/share/vornkip).
namespace datafolder {
// The folder chosen by the rule above; `home` is the value of VORNKIP_HOME.
QString resolve(const QString &home, const QString &executableFolder, const QString &userDataRoot);

// The folder for this process: resolved from the environment, created (0700, its missing parents
// too) when missing, and marked as the data folder for fileio (no symbolic links followed there).
// form.ini, temp.ifo and templ.txt in it are narrowed to 0600. Throws CommandError when the folder
// cannot be created.
QString prepare(const QString &executableFolder);

inline QString settingsFile(const QString &folder)
{
    return folder + QStringLiteral("/form.ini");
}
inline QString historyFile(const QString &folder)
{
    return folder + QStringLiteral("/temp.ifo");
}
inline QString templateFile(const QString &folder)
{
    return folder + QStringLiteral("/templ.txt");
}
} // namespace datafolder
