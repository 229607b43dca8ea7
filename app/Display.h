// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "common/Geometry.h"
#include "picture/Canvas.h"
#include "picture/ShownPixels.h"

namespace probnik::display {

// The largest side of the displayed picture and the box's top-left corner.
constexpr int BoxSide = 400;
constexpr Point BoxOrigin { 10, 50 };
// The magnifier: a 100 x 100 bitmap drawn with its top-left corner here.
constexpr Point MagnifierOrigin { 600, 350 };
constexpr int MagnifierSize = 100;
// The size of ScreenCopy: the main window's client area at its design size.
constexpr int ScreenCopyWidth = 904;
constexpr int ScreenCopyHeight = 496;

// Where a picture of this size is shown (the main window's DoBitMap): long side 400, aspect
// kept, the division truncating. A picture with no pixels gets an all-zero box.
Rect displayBox(int imageWidth, int imageHeight);

// The 10 x 10 grid over the box: ten vertical and ten horizontal 1-pixel lines in the
// canvas's pen colour, drawn in not-xor (the pen mode is left at not-xor).
void drawGrid(Canvas& surface, Rect box);

// The colour shown at window point p: ScreenCopy strictly inside the box, the window's
// surface elsewhere (on the box's edges too).
Color colourAt(const Canvas& surface, const Canvas& screenCopy, Rect box, Point p);

// XY: maps a click to the window point it samples. A click in the magnifier (while it has a
// centre) maps back to the point it shows; a point outside the box (edges inside) becomes
// (0, 0).
Point mapClick(Point p, Point magnifierCentre, Rect box);

// RefreshMagnifier: fills the magnifier with the 50 x 50 window pixels from
// (cx - 30, cy - 30) at twice their size. Source: the surface when the centre lies in the
// magnifier's own area, ScreenCopy otherwise. A (0, 0) centre leaves the bitmap alone.
void refreshMagnifier(
    Canvas& magnifier, const Canvas& surface, const Canvas& screenCopy, Point centre);

} // namespace probnik::display
