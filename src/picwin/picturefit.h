// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>

#include <array>

// The picture window's arithmetic, in twips held in single precision.
namespace picturefit {
struct Size
{
    float width = 0;
    float height = 0;
};

// Outer window sizes are the window's own area plus its frame: 740 twips of height for the title
// bar, the menu bar and the borders, 200 of width for the borders. Minimum 2220 by 1000.
inline constexpr float frameWidth = 200;
inline constexpr float frameHeight = 740;
inline constexpr float minimumWidth = 2220;
inline constexpr float minimumHeight = 1000;

// The fit: the outer window size that keeps the window no larger than the display area plus its
// frame, and no smaller than the minimum.
Size frmFit(Size window, Size displayInner);

struct Selection
{
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float width() const { return x1 - x0; }
    float height() const { return y1 - y0; }
};

// After mouse-up the corners are ordered: x0 <= x1 and y0 <= y1.
Selection normalised(Selection s);

struct Line
{
    float x1, y1, x2, y2;
};

// The four lines of the rectangle while dragging from (x0, y0) to (x, y).
std::array<Line, 4> dragLines(float x0, float y0, float x, float y);

// The pixels of a picture of `picture` size that a selection covers, at `twipsPerPixel`; a selection
// reaching outside the picture (or starting at negative coordinates) is cut to it. Empty when
// nothing is covered.
QRect pictureRect(const Selection &s, QSize picture, float twipsPerPixel);
} // namespace picturefit
