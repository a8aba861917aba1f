// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "version.h"

// The application id: the name of the installed desktop entry, its icon and the login entry.
inline constexpr char applicationId[] = VORNKIP_APP_ID;
