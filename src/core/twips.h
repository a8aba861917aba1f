// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

// Window and control lengths are kept in twips (1/1440 inch) and converted at the widget boundary
// with the screen's logical DPI (15 twips per pixel at 96 DPI).
namespace twips {
inline constexpr int perInch = 1440;

// A sizable window's caption and borders, around the window's own area (menu bar included): the
// difference between its outer size and what the window itself lays out.
inline constexpr int sizableFrameWidth = 120;
inline constexpr int sizableFrameHeight = 405;

// The nearest int to `value`, the int range's end for anything beyond it.
inline int roundToInt(double value)
{
    constexpr double low = std::numeric_limits<int>::min();
    constexpr double high = std::numeric_limits<int>::max();
    return static_cast<int>(std::lround(std::clamp(value, low, high)));
}

inline int toPixels(double twips, double dpi)
{
    return roundToInt(twips * dpi / perInch);
}

// Computed in double: a window far off the screen must not overflow int on its way to twips.
inline int fromPixels(int pixels, double dpi)
{
    return roundToInt(static_cast<double>(pixels) * perInch / dpi);
}
} // namespace twips
