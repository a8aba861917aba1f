// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/twips.h"

#include <optional>

// The text window's geometry, in twips. Outer sizes include the caption and the sizable borders.
namespace textlayout {
inline constexpr int initialInnerWidth = 4680;
inline constexpr int initialInnerHeight = 3195;
inline constexpr int frameWidth = twips::sizableFrameWidth;
inline constexpr int frameHeight = twips::sizableFrameHeight;

struct Layout
{
    std::optional<int> outerWidth;  // set when the window is too narrow
    std::optional<int> outerHeight; // set when the window is too low
    int editorWidth = 0;
    int editorHeight = 0;
};

// The layout rule applied on every resize: an inner height of 2500 or less sets the outer height
// to 2500; an inner width of 2500 or less sets the outer width to 2680; the editor fills the inner
// area but for 15 twips of width.
inline Layout onResize(int innerWidth, int innerHeight)
{
    Layout l;
    if (innerHeight <= 2500)
        l.outerHeight = 2500;
    if (innerWidth <= 2500)
        l.outerWidth = 2680;
    l.editorWidth = innerWidth - 15;
    l.editorHeight = innerHeight;
    return l;
}
} // namespace textlayout
