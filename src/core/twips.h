#pragma once

#include <cmath>

// Window and control lengths are kept in twips (1/1440 inch) and converted at the widget boundary
// with the screen's logical DPI (15 twips per pixel at 96 DPI).
namespace twips {
inline constexpr int perInch = 1440;

inline int toPixels(double twips, double dpi)
{
    return static_cast<int>(std::lround(twips * dpi / perInch));
}

inline int fromPixels(int pixels, double dpi)
{
    return static_cast<int>(std::lround(pixels * perInch / dpi));
}
} // namespace twips
