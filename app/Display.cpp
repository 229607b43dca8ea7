// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Display.h"

#include <cstdint>
#include <limits>

namespace probnik::display {

namespace {

using i64 = std::int64_t;

bool inMagnifier(Point p)
{
    return p.x >= MagnifierOrigin.x && p.x <= MagnifierOrigin.x + MagnifierSize
        && p.y >= MagnifierOrigin.y && p.y <= MagnifierOrigin.y + MagnifierSize;
}

// A window coordinate computed in 64 bits; one beyond int's range is off every raster.
int coordinate(i64 v)
{
    return v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max() ? -1 : int(v);
}

} // namespace

Rect displayBox(int imageWidth, int imageHeight)
{
    if (imageWidth <= 0 || imageHeight <= 0)
        return {};
    const Size shown = fitInBox(imageWidth, imageHeight, BoxSide);
    return { BoxOrigin.x, BoxOrigin.y, BoxOrigin.x + shown.width, BoxOrigin.y + shown.height };
}

void drawGrid(Canvas& surface, Rect box)
{
    surface.penMode = PenMode::NotXor;
    const i64 stepX = (i64(box.Right) - box.Left) / 10;
    const i64 stepY = (i64(box.Bottom) - box.Top) / 10;
    // Nine steps stay between the edges, so every line position fits an int.
    for (int i = 0; i < 10; ++i) {
        const int x = int(box.Left + i * stepX);
        surface.line({ x, box.Top }, { x, box.Bottom });
    }
    for (int i = 0; i < 10; ++i) {
        const int y = int(box.Top + i * stepY);
        surface.line({ box.Left, y }, { box.Right, y });
    }
}

Color colourAt(const Canvas& surface, const Canvas& screenCopy, Rect box, Point p)
{
    const bool inside = box.Left < p.x && p.x < box.Right && box.Top < p.y && p.y < box.Bottom;
    return inside ? screenCopy.pixel(p.x, p.y) : surface.pixel(p.x, p.y);
}

Point mapClick(Point p, Point magnifierCentre, Rect box)
{
    const Point c = magnifierCentre;
    if (c.x != 0 && c.y != 0 && inMagnifier(p))
        return { coordinate(i64(p.x - MagnifierOrigin.x) / 2 + c.x - 30),
            coordinate(i64(p.y - MagnifierOrigin.y) / 2 + c.y - 30) };
    if (p.x < box.Left || p.x > box.Right || p.y < box.Top || p.y > box.Bottom)
        return {};
    return p;
}

void refreshMagnifier(
    Canvas& magnifier, const Canvas& surface, const Canvas& screenCopy, Point centre)
{
    if (centre == Point {})
        return;
    // Clicked on the magnifier itself: magnify what the window shows there.
    const Canvas& source = inMagnifier(centre) ? surface : screenCopy;
    for (int j = 0; j < 50; ++j) {
        for (int i = 0; i < 50; ++i) {
            const Color c = source.pixel(
                coordinate(i64(centre.x) - 30 + i), coordinate(i64(centre.y) - 30 + j));
            magnifier.setPixel(2 * i, 2 * j, c);
            magnifier.setPixel(2 * i + 1, 2 * j, c);
            magnifier.setPixel(2 * i, 2 * j + 1, c);
            magnifier.setPixel(2 * i + 1, 2 * j + 1, c);
        }
    }
}

} // namespace probnik::display
