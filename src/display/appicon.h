// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/identity.h"

#include <QIcon>

// The windows' icon: the one the desktop has installed for the application id; ours inside the
// program when there is none (a build that is not installed).
inline QIcon applicationIcon()
{
    return QIcon::fromTheme(QLatin1String(applicationId), QIcon(QStringLiteral(":/icons/app.svg")));
}
