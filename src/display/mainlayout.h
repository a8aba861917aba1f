// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Places and sizes of the main window's controls, in twips.
namespace mainlayout {
struct Rect
{
    int left, top, width, height;
};

inline constexpr int clientWidth = 2745;
// The window heights are outer heights; the caption and borders of a tool window took 345 twips of
// them, so the client area is that much smaller.
inline constexpr int nonClientHeight = 345;
inline constexpr int compactHeight = 1065;
inline constexpr int extensionHeight = 1725;
inline constexpr int extendedHeight = compactHeight + extensionHeight;

inline constexpr Rect toolbar1{0, 0, clientWidth, 360};
inline constexpr Rect combo{0, 420, clientWidth, 300};
inline constexpr Rect picture1{0, 720, clientWidth, 1150};
inline constexpr Rect image1{0, 0, 2685, 1095};
inline constexpr Rect toolbar2{0, 1875, clientWidth, 330};
inline constexpr int statusBarHeight = 255; // along the client area's bottom edge
inline constexpr int hiddenTextLeft = 3500;
} // namespace mainlayout
