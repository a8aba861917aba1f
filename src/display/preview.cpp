// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview.h"

namespace preview {
Offset pan(Offset at, float dx, float dy, float frameWidth, float frameHeight, float pictureWidth, float pictureHeight)
{
    at.top += dy;
    at.left += dx;
    if (at.top > 0)
        at.top = 0;
    if (at.left > 0)
        at.left = 0;
    // Applied after the rules above, so a small picture ends at the bottom-right edges.
    if (at.top < frameHeight - pictureHeight)
        at.top = frameHeight - pictureHeight;
    if (at.left < frameWidth - pictureWidth)
        at.left = frameWidth - pictureWidth;
    return at;
}
} // namespace preview
