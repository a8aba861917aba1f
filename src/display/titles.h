#pragma once

#include <QString>

namespace titles {
// Title mode 1: the program's name and version, "VornkipVer." major "." minor and revision.
QString versionTitle();
} // namespace titles
