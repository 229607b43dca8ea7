// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "common/Geometry.h"

#include <cstddef>
#include <vector>

namespace probnik {

enum class PenMode {
    Copy, // a drawn pixel takes the pen colour
    NotXor, // a drawn pixel becomes NOT (pen XOR pixel); drawing twice restores it
};

// A 32-bit raster with the drawing operations of the main window's surface. Also used for
// every other bitmap of the program (the picture, the screen copy, the magnifier).
//
// Reading outside the raster gives White and writing outside it does nothing, so callers
// never need to clip.
class Canvas {
public:
    Canvas() = default;
    Canvas(int width, int height, Color fill = White);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_width <= 0 || m_height <= 0; }
    Rect bounds() const { return { 0, 0, m_width, m_height }; }

    // New size; the content is lost and every pixel becomes fill. A width or height of 0 or
    // less gives an empty canvas.
    void reset(int width, int height, Color fill = White);

    Color pixel(int x, int y) const;
    void setPixel(int x, int y, Color color);
    // Row y of the raster, width() pixels; y must lie inside.
    const Color* row(int y) const
    {
        return m_pixels.data() + std::size_t(y) * std::size_t(m_width);
    }
    Color* row(int y) { return m_pixels.data() + std::size_t(y) * std::size_t(m_width); }

    Color brushColor = White;
    Color penColor = Black;
    int penWidth = 1;
    PenMode penMode = PenMode::Copy;

    // Fills Left <= x < Right, Top <= y < Bottom with the brush; the pen mode does not apply.
    void fillRect(Rect r);
    // A 1-pixel line in the pen mode from `from` up to, but not including, `to`.
    void line(Point from, Point to);
    // The outline of r as a band penWidth pixels wide centred on its edges (outer edges
    // Left - penWidth / 2 and Right - 1 + (penWidth - 1) / 2, likewise vertically), drawn in
    // the pen mode; every band pixel is drawn exactly once, the inside is left alone.
    // A band whose outer rectangle is empty draws nothing; a pen width below 1 counts as 1.
    void rectangleOutline(Rect r);
    // Draws src scaled into dst by nearest pixel: destination pixel (x, y) takes source pixel
    // ((x - Left) * srcWidth / dstWidth, (y - Top) * srcHeight / dstHeight). Copy mode.
    void stretchDraw(Rect dst, const Canvas& src);
    // Copies srcRect of src to the same-sized rectangle at dstTopLeft. Copy mode.
    void copyRect(Point dstTopLeft, const Canvas& src, Rect srcRect);
    // Copies the whole of src with its top-left corner at `at`.
    void draw(Point at, const Canvas& src) { copyRect(at, src, src.bounds()); }

private:
    void plot(int x, int y); // one pen pixel in the pen mode

    int m_width = 0;
    int m_height = 0;
    std::vector<Color> m_pixels;
};

} // namespace probnik
