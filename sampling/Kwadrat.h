// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "common/Geometry.h"
#include "picture/Canvas.h"

namespace probnik {

// The marker square of area mode: a rectangle from a fixed anchor to a moving corner, drawn as
// a not-xor band about three pixels wide, so drawing the same outline again removes it and the
// inside of the rectangle is never touched. Deleting it removes its outline.
class TSqr {
public:
    TSqr(probnik::Canvas* canvas, int X, int Y);
    virtual ~TSqr();
    TSqr(const TSqr&) = delete;
    TSqr& operator=(const TSqr&) = delete;

    Point Anchor;
    Point Corner;
    probnik::Color Color = White; // the brush while drawing: leaves the inside as it is
    probnik::Canvas* Canvas; // the main window's surface, not owned
    int Left;
    int Top;
    int Right;
    int Bottom;

    // Draws the outline from Anchor to p, makes p the corner and recomputes the bounds.
    void DrawTo(Point p);
    // Draws the current outline once more, which removes it.
    void Erase();
    // One step of a drag: moves the outline to (X, Y) unless the cursor moved less than three
    // pixels along both axes since the last drawn corner.
    void MoveTo(int X, int Y);
    // Puts the outline back after the window was repainted.
    virtual void Draw();

private:
    void outline(Point p);
};

} // namespace probnik
