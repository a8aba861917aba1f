// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturefit.h"

#include <cmath>
#include <utility>

namespace picturefit {
Size frmFit(Size window, Size displayInner)
{
    if (displayInner.height + frameHeight < window.height && window.height > minimumHeight)
        window.height = displayInner.height + frameHeight;
    if (displayInner.width + frameWidth < window.width && window.width > minimumWidth)
        window.width = displayInner.width + frameWidth;
    if (window.width < minimumWidth)
        window.width = minimumWidth;
    if (window.height < minimumHeight)
        window.height = minimumHeight;
    return window;
}

Selection normalised(Selection s)
{
    if (s.x0 > s.x1)
        std::swap(s.x0, s.x1);
    if (s.y0 > s.y1)
        std::swap(s.y0, s.y1);
    return s;
}

std::array<Line, 4> dragLines(float x0, float y0, float x, float y)
{
    return {{
        {x0, y0, x0, y}, // first vertical edge
        {x0, y0, x, y0}, // first horizontal edge
        {x, y0, x, y},   // second vertical edge
        {x0, y, x, y},   // second horizontal edge
    }};
}

QRect pictureRect(const Selection &s, QSize picture, float twipsPerPixel)
{
    const auto px = [twipsPerPixel](float t) { return static_cast<int>(std::lround(t / twipsPerPixel)); };
    const int left = px(s.x0);
    const int top = px(s.y0);
    const QRect wanted(left, top, px(s.x1) - left, px(s.y1) - top);
    if (wanted.width() <= 0 || wanted.height() <= 0)
        return {};
    const QRect covered = wanted.intersected(QRect(QPoint(0, 0), picture));
    return covered.isEmpty() ? QRect() : covered;
}
} // namespace picturefit
