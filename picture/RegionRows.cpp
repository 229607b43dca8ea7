// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/RegionRows.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace probnik {

namespace {

// How orientation o places stored pixel (sx, sy) in a picture of pw x ph: 5 to 8 swap the
// axes (a stored row becomes a picture column); 2, 3, 7, 8 run the stored columns backwards,
// 3, 4, 6, 7 the stored rows.
bool transposed(int o)
{
    return o >= 5 && o <= 8;
}
bool flipsColumns(int o)
{
    return o == 2 || o == 3 || o == 7 || o == 8;
}
bool flipsRows(int o)
{
    return o == 3 || o == 4 || o == 6 || o == 7;
}

} // namespace

RegionRows::RegionRows(
    std::span<const Rect> pictureRegions, int storedWidth, int storedHeight, int orientation)
    : m_storedWidth(storedWidth)
    , m_storedHeight(storedHeight)
    , m_orientation(orientation >= 1 && orientation <= 8 ? orientation : 1)
{
    const bool swap = transposed(m_orientation);
    // Stored columns run along the picture's x (its y when swapped), stored rows along the
    // other axis; each backwards where the orientation flips it.
    const int pictureWidth = swap ? storedHeight : storedWidth;
    const int pictureHeight = swap ? storedWidth : storedHeight;
    m_first = INT_MAX;
    m_last = INT_MIN;
    m_left = INT_MAX;
    m_right = INT_MIN;
    m_stored.reserve(pictureRegions.size());
    for (const Rect& r : pictureRegions) {
        const Rect cut { std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, pictureWidth),
            std::min(r.Bottom, pictureHeight) };
        if (cut.isEmpty()) {
            m_stored.push_back({});
            continue;
        }
        int x0 = swap ? cut.Top : cut.Left;
        int x1 = swap ? cut.Bottom : cut.Right;
        if (flipsColumns(m_orientation)) {
            const int from = storedWidth - x1;
            x1 = storedWidth - x0;
            x0 = from;
        }
        int y0 = swap ? cut.Left : cut.Top;
        int y1 = swap ? cut.Right : cut.Bottom;
        if (flipsRows(m_orientation)) {
            const int from = storedHeight - y1;
            y1 = storedHeight - y0;
            y0 = from;
        }
        const Rect s { x0, y0, x1, y1 };
        m_stored.push_back(s);
        m_first = std::min(m_first, s.Top);
        m_last = std::max(m_last, s.Bottom);
        m_left = std::min(m_left, s.Left);
        m_right = std::max(m_right, s.Right);
    }
    if (m_first >= m_last) {
        m_first = m_last = m_left = m_right = 0;
        return;
    }
    for (std::size_t i = 0; i < m_stored.size(); ++i)
        if (!m_stored[i].isEmpty())
            m_byTop.push_back(i);
    std::stable_sort(m_byTop.begin(), m_byTop.end(),
        [this](std::size_t a, std::size_t b) { return m_stored[a].Top < m_stored[b].Top; });
    m_edges.reserve(2 * m_byTop.size());
    for (const std::size_t i : m_byTop) {
        m_edges.push_back(m_stored[i].Top);
        m_edges.push_back(m_stored[i].Bottom);
    }
    std::sort(m_edges.begin(), m_edges.end());
}

const std::vector<std::size_t>& RegionRows::crossing(int y)
{
    if (y < m_row) {
        // Asked again from an earlier row (a pass of an interlaced file): start over.
        m_nextTop = 0;
        m_crossing.clear();
    }
    m_row = y;
    bool added = false;
    while (m_nextTop < m_byTop.size() && m_stored[m_byTop[m_nextTop]].Top <= y) {
        m_crossing.push_back(m_byTop[m_nextTop++]);
        added = true;
    }
    std::erase_if(m_crossing, [this, y](std::size_t i) { return m_stored[i].Bottom <= y; });
    if (added)
        std::sort(m_crossing.begin(), m_crossing.end());
    // Rectangles that begin further down are not there yet, and those that ended are gone; a
    // rectangle whose Top is above y but that was added on an earlier row has stayed.
    return m_crossing;
}

int RegionRows::sameUntil(int y) const
{
    const auto after = std::upper_bound(m_edges.begin(), m_edges.end(), y);
    return after == m_edges.end() ? std::max(y + 1, m_last) : *after;
}

PixelRun RegionRows::run(std::size_t region, int y, const std::uint16_t* values) const
{
    const Rect& s = m_stored[region];
    // Stored pixel (s.Left, y) along the two picture axes, and the step to the next column.
    const bool backwards = flipsColumns(m_orientation);
    const int along = backwards ? m_storedWidth - 1 - s.Left : s.Left;
    const int across = flipsRows(m_orientation) ? m_storedHeight - 1 - y : y;
    const int step = backwards ? -1 : 1;
    const bool swap = transposed(m_orientation);
    const int px = swap ? across : along;
    const int py = swap ? along : across;
    const int dx = swap ? 0 : step;
    const int dy = swap ? step : 0;
    PixelRun r;
    r.region = region;
    r.x = px;
    r.y = py;
    r.dx = dx;
    r.dy = dy;
    r.count = s.width();
    r.values = values;
    return r;
}

PixelRun RegionRows::part(
    std::size_t region, int y, int from, int count, const std::uint16_t* values) const
{
    PixelRun r = run(region, y, values);
    const int k = from - m_stored[region].Left;
    r.x += k * r.dx;
    r.y += k * r.dy;
    r.count = count;
    return r;
}

std::vector<Rect> RegionRows::allColumnSpans(int gap) const
{
    return columnSpans(m_byTop, gap);
}

std::vector<Rect> RegionRows::columnSpans(const std::vector<std::size_t>& crossing, int gap) const
{
    std::vector<Rect> spans;
    spans.reserve(crossing.size());
    for (const std::size_t i : crossing)
        spans.push_back({ m_stored[i].Left, 0, m_stored[i].Right, 0 });
    std::sort(
        spans.begin(), spans.end(), [](const Rect& a, const Rect& b) { return a.Left < b.Left; });
    std::size_t kept = 0;
    for (const Rect& s : spans) {
        if (kept > 0 && s.Left - spans[kept - 1].Right < gap)
            spans[kept - 1].Right = std::max(spans[kept - 1].Right, s.Right);
        else
            spans[kept++] = s;
    }
    spans.resize(kept);
    return spans;
}

RegionRows::SpanGroups RegionRows::groupedSpans(
    const std::vector<std::size_t>& crossing, int gap) const
{
    SpanGroups groups;
    groups.spans = columnSpans(crossing, gap);
    groups.regions.resize(groups.spans.size());
    for (const std::size_t k : crossing) {
        const auto after = std::upper_bound(groups.spans.begin(), groups.spans.end(),
            m_stored[k].Left, [](int x, const Rect& span) { return x < span.Left; });
        groups.regions[std::size_t(after - groups.spans.begin()) - 1].push_back(k);
    }
    return groups;
}

PackedSpans::PackedSpans(std::vector<Rect> spans)
    : m_spans(std::move(spans))
{
    m_start.reserve(m_spans.size());
    for (const Rect& s : m_spans) {
        m_start.push_back(m_pixels);
        m_pixels += std::size_t(s.width());
    }
}

std::size_t PackedSpans::indexOf(int x) const
{
    const auto after = std::upper_bound(
        m_spans.begin(), m_spans.end(), x, [](int v, const Rect& s) { return v < s.Left; });
    const auto i = std::size_t(after - m_spans.begin()) - 1;
    return m_start[i] + std::size_t(x - m_spans[i].Left);
}

} // namespace probnik
