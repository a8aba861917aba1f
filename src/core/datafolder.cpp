// SPDX-License-Identifier: GPL-3.0-or-later
#include "datafolder.h"

#include "fileio.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace datafolder {
QString resolve(const QString &home, const QString &executableFolder, const QString &userDataRoot)
{
    if (!home.isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    if (!executableFolder.isEmpty() && fileio::exists(settingsFile(executableFolder)))
        return QDir::cleanPath(executableFolder);
    return QDir::cleanPath(userDataRoot + QStringLiteral("/vornkip"));
}

QString prepare(const QString &executableFolder)
{
    const QString userRoot = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = resolve(qEnvironmentVariable("VORNKIP_HOME"), executableFolder, userRoot);
    fileio::makeDir(folder);
    // Our own per-user folder is always private, even when something else created it first.
    if (folder == QDir::cleanPath(userRoot + QStringLiteral("/vornkip")))
        ::chmod(QFile::encodeName(folder).constData(), fileio::privateDirMode);
    fileio::setDataFolder(folder);
    // Files left readable by others (copied in, or written under another program's umask) hold the
    // history and the settings: they are the user's alone.
    for (const QString &file : {settingsFile(folder), historyFile(folder), templateFile(folder)})
        fileio::narrowToOwner(file);
    return folder;
}
} // namespace datafolder
