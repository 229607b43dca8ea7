// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Geometry.h"
#include "picture/FileRegions.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace probnik {

// The requested rectangles as the readers meet them: in stored coordinates, cut to the stored
// pixels, and row by row. The orientation (EXIF values 1 to 8, any other counting as 1) turns
// the picture's rectangles into stored ones and a stored row's pixels back into picture runs.
class RegionRows {
public:
    RegionRows(std::span<const Rect> pictureRegions, int storedWidth, int storedHeight,
        int orientation = 1);

    // No rectangle holds a pixel.
    bool empty() const { return m_first >= m_last; }
    // The stored rows holding any rectangle: firstRow() to lastRow(), exclusive.
    int firstRow() const { return m_first; }
    int lastRow() const { return m_last; }
    // The stored columns holding any rectangle, Right exclusive.
    int firstColumn() const { return m_left; }
    int lastColumn() const { return m_right; }
    // The stored rectangle of each request (empty where nothing of it is on the picture).
    const std::vector<Rect>& stored() const { return m_stored; }

    // The rectangles crossing stored row y, by their index in the request, ascending.
    const std::vector<std::size_t>& crossing(int y);

    // The run of request `region` on stored row y: its pixels from stored column
    // stored()[region].Left on, count = stored()[region].width(), with values pointing at the
    // first of them.
    PixelRun run(std::size_t region, int y, const std::uint16_t* values) const;

    // The stored columns the rectangles `crossing` cover, as ascending spans, Left to Right
    // exclusive (Top and Bottom 0); spans fewer than `gap` columns apart are joined, so that a
    // reader reads a row in a few pieces, and never the same byte twice.
    std::vector<Rect> columnSpans(const std::vector<std::size_t>& crossing, int gap) const;
    // The same for every rectangle.
    std::vector<Rect> allColumnSpans(int gap) const;

private:
    int m_storedWidth;
    int m_storedHeight;
    int m_orientation;
    std::vector<Rect> m_stored;
    // Request indices by their first stored row, and the ones crossing the row last asked.
    std::vector<std::size_t> m_byTop;
    std::size_t m_nextTop = 0;
    int m_row = -1;
    std::vector<std::size_t> m_crossing;
    int m_first = 0;
    int m_last = 0;
    int m_left = 0;
    int m_right = 0;
};

// Ascending column spans whose pixels lie side by side in one buffer, so that a buffer for
// rectangles far apart holds only their columns.
class PackedSpans {
public:
    PackedSpans() = default;
    explicit PackedSpans(std::vector<Rect> spans);

    const std::vector<Rect>& spans() const { return m_spans; }
    // The buffer index of span i's first pixel, and of stored column x, which a span holds.
    std::size_t start(std::size_t i) const { return m_start[i]; }
    std::size_t indexOf(int x) const;
    // The pixels of all spans.
    std::size_t pixels() const { return m_pixels; }

private:
    std::vector<Rect> m_spans;
    std::vector<std::size_t> m_start;
    std::size_t m_pixels = 0;
};

} // namespace probnik
