#pragma once

#include <cmath>

// Window and control lengths are kept in twips (1/1440 inch) and converted at the widget boundary
// with the screen's logical DPI (15 twips per pixel at 96 DPI).
namespace twips {
inline constexpr int perInch = 1440;

// A sizable window's caption and borders, around the window's own area (menu bar included): the
// difference between its outer size and what the window itself lays out.
inline constexpr int sizableFrameWidth = 120;
inline constexpr int sizableFrameHeight = 405;

inline int toPixels(double twips, double dpi)
{
    return static_cast<int>(std::lround(twips * dpi / perInch));
}

inline int fromPixels(int pixels, double dpi)
{
    return static_cast<int>(std::lround(pixels * perInch / dpi));
}
} // namespace twips
