// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/twips.h"

#include <QWidget>

// Twips and pixels for a widget, at its screen's logical DPI. Every window and control converts
// here, in both directions with the same axis: the vertical logical DPI (with square pixels the
// horizontal one is the same number).
namespace twips {
inline double dpi(const QWidget *widget)
{
    return widget->logicalDpiY();
}

inline int px(const QWidget *widget, double twipsValue)
{
    return toPixels(twipsValue, dpi(widget));
}

inline int fromPx(const QWidget *widget, int pixels)
{
    return fromPixels(pixels, dpi(widget));
}

// Twips per pixel, and pixels in twips without rounding, for the picture window, which keeps
// fractions of twips (as single-precision numbers) in its selection and sizes.
inline float perPixel(const QWidget *widget)
{
    return static_cast<float>(perInch) / static_cast<float>(dpi(widget));
}

inline float fromPxUnrounded(const QWidget *widget, int pixels)
{
    return static_cast<float>(pixels) * perPixel(widget);
}
} // namespace twips
