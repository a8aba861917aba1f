// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The picture preview of the main window, in twips.
namespace preview {
struct Offset
{
    float left = 0;
    float top = 0;
};

// A natural-size picture dragged by (dx, dy) inside its frame. It never uncovers the frame's top-left
// corner, and never leaves a gap at the bottom-right when it is larger than the frame; a picture
// smaller than the frame ends aligned with the frame's bottom and right edges.
Offset pan(Offset at, float dx, float dy, float frameWidth, float frameHeight, float pictureWidth, float pictureHeight);
} // namespace preview
