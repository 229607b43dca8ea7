// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Geometry.h"
#include "picture/FileRegions.h"

#include <algorithm>
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
    // The first stored row after y that the rectangles crossing y do not all cross, or that
    // another one crosses (lastRow() at the most): the rows from y up to it are read alike.
    int sameUntil(int y) const;

    // The run of request `region` on stored row y: its pixels from stored column
    // stored()[region].Left on, count = stored()[region].width(), with values pointing at the
    // first of them.
    PixelRun run(std::size_t region, int y, const std::uint16_t* values) const;
    // The part of that run of `count` pixels from stored column `from` on, which the
    // rectangle holds, with values pointing at the first of them.
    PixelRun part(
        std::size_t region, int y, int from, int count, const std::uint16_t* values) const;

    // The stored columns the rectangles `crossing` cover, as ascending spans, Left to Right
    // exclusive (Top and Bottom 0); spans fewer than `gap` columns apart are joined, so that a
    // reader reads a row in a few pieces, and never the same byte twice.
    std::vector<Rect> columnSpans(const std::vector<std::size_t>& crossing, int gap) const;
    // The same for every rectangle.
    std::vector<Rect> allColumnSpans(int gap) const;
    // The spans columnSpans gives, each with the rectangles of `crossing` it holds.
    struct SpanGroups {
        std::vector<Rect> spans;
        std::vector<std::vector<std::size_t>> regions;
    };
    SpanGroups groupedSpans(const std::vector<std::size_t>& crossing, int gap) const;

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
    // Every rectangle's Top and Bottom, ascending.
    std::vector<int> m_edges;
    int m_first = 0;
    int m_last = 0;
    int m_left = 0;
    int m_right = 0;
};

// Pixels are converted and handed over in pieces of at most this many, whose values stay in
// the cache until the sink has them.
constexpr int HandOverPixels = 2048;

// Converts the stored pixels of `span` on stored row y piece by piece, by
// convert(x, count, values) for the pixels from column x on, into `values` (room for
// HandOverPixels), and hands each rectangle of `regions`, which the span holds, its part of
// each piece.
template <class Convert>
void handOverSpan(const RegionRows& rows, PixelSink& sink, int y, const Rect& span,
    const std::vector<std::size_t>& regions, std::uint16_t* values, Convert&& convert)
{
    for (int x = span.Left; x < span.Right; x += HandOverPixels) {
        const int end = x + std::min(span.Right - x, HandOverPixels);
        convert(x, std::size_t(end - x), values);
        for (const std::size_t k : regions) {
            const Rect& s = rows.stored()[k];
            const int left = std::max(s.Left, x);
            const int right = std::min(s.Right, end);
            if (left < right)
                sink.run(rows.part(k, y, left, right - left, values + 3 * std::size_t(left - x)));
        }
    }
}

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
