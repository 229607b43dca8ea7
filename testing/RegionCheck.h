// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Rectangles of a file's own pixels must be the pixels a box showing every pixel shows: each
// pixel of a rectangle's part on the picture handed over once, with the box's value (at depth
// 16 the one shown16 holds). Shared by the tests and the fuzzers.
#include "picture/DisplayPicture.h"
#include "picture/FileRegions.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace probnik::check {

// Takes the runs of a region read and remembers the first thing wrong with them, beside
// `whole`, the picture read display-sized in a box of side max(width, height).
class RegionSink : public PixelSink {
public:
    RegionSink(const DisplayPicture& whole, std::span<const Rect> regions)
        : m_whole(whole)
        , m_regions(regions.begin(), regions.end())
    {
        for (Rect& r : m_regions) {
            r = { std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, whole.width),
                std::min(r.Bottom, whole.height) };
            if (r.isEmpty())
                r = {};
            m_hits.emplace_back(std::size_t(r.width()) * std::size_t(r.height()), 0);
        }
    }

    void begin(const FilePixelsInfo& info) override
    {
        if (m_begun)
            note("begin called twice");
        m_begun = true;
        m_info = info;
        if (info.width != m_whole.width || info.height != m_whole.height)
            note("size " + std::to_string(info.width) + " x " + std::to_string(info.height));
        if (info.bits != m_whole.bits || info.grey != m_whole.grey)
            note("bits or greyness differ");
        if (info.depth != (m_whole.shown16.empty() ? 8 : 16))
            note("depth " + std::to_string(info.depth));
        if (info.colour.kind != m_whole.colour.kind || info.colour.icc != m_whole.colour.icc)
            note("colour description differs");
    }

    void run(const PixelRun& run) override
    {
        ++runs;
        if (!m_begun)
            note("a run before begin");
        if (run.region >= m_regions.size()) {
            note("a run of no rectangle");
            return;
        }
        if (std::abs(run.dx) + std::abs(run.dy) != 1 || run.count <= 0) {
            note("a run's step or count");
            return;
        }
        const Rect& r = m_regions[run.region];
        const int w = m_whole.shown.width();
        for (int k = 0; k < run.count; ++k) {
            const int x = run.x + k * run.dx, y = run.y + k * run.dy;
            if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom) {
                note("pixel " + where(run, x, y) + " outside its rectangle");
                return;
            }
            ++m_hits[run.region]
                    [std::size_t(y - r.Top) * std::size_t(r.width()) + std::size_t(x - r.Left)];
            const std::uint16_t* v = run.values + 3 * std::size_t(k);
            std::uint16_t expected[3];
            if (m_info.depth == 16 && !m_whole.shown16.empty()) {
                const std::size_t at = 3 * (std::size_t(y) * std::size_t(w) + std::size_t(x));
                std::copy_n(m_whole.shown16.begin() + std::ptrdiff_t(at), 3, expected);
            } else {
                const Color c = m_whole.shown.pixel(x, y);
                expected[0] = std::uint16_t(red(c));
                expected[1] = std::uint16_t(green(c));
                expected[2] = std::uint16_t(blue(c));
            }
            if (!std::equal(v, v + 3, expected))
                note("pixel " + where(run, x, y) + " is " + std::to_string(v[0]) + ","
                    + std::to_string(v[1]) + "," + std::to_string(v[2]) + ", the box shows "
                    + std::to_string(expected[0]) + "," + std::to_string(expected[1]) + ","
                    + std::to_string(expected[2]));
        }
    }

    // What was wrong, once the read has ended well; empty when nothing.
    std::string flaw()
    {
        if (!m_begun)
            note("begin never called");
        for (std::size_t i = 0; i < m_regions.size() && m_problem.empty(); ++i)
            for (std::size_t k = 0; k < m_hits[i].size(); ++k)
                if (m_hits[i][k] != 1) {
                    const int x = m_regions[i].Left + int(k % std::size_t(m_regions[i].width()));
                    const int y = m_regions[i].Top + int(k / std::size_t(m_regions[i].width()));
                    note("pixel " + std::to_string(x) + "," + std::to_string(y) + " of rectangle "
                        + std::to_string(i) + " handed " + std::to_string(m_hits[i][k]) + " times");
                    break;
                }
        return m_problem;
    }

    int runs = 0;

private:
    void note(const std::string& problem)
    {
        if (m_problem.empty())
            m_problem = problem;
    }
    static std::string where(const PixelRun& run, int x, int y)
    {
        return std::to_string(x) + "," + std::to_string(y) + " of rectangle "
            + std::to_string(run.region);
    }

    const DisplayPicture& m_whole;
    std::vector<Rect> m_regions; // cut to the picture
    std::vector<std::vector<int>> m_hits;
    FilePixelsInfo m_info;
    bool m_begun = false;
    std::string m_problem;
};

// A few rectangles every picture of width x height is read in: all of it, its corners and
// edges, one pixel in the middle, one reaching far off the picture and one wholly off it.
inline std::vector<Rect> testRegions(int width, int height)
{
    const int w = width, h = height;
    return {
        { 0, 0, w, h },
        { 0, 0, 3, 2 },
        { w - 5, h - 4, w, h },
        { w - 17, -3, w + 2, 9 },
        { -10, h - 3, 19, h + 40 },
        { w / 2, h / 2, w / 2 + 1, h / 2 + 1 },
        { w / 3, 0, w / 3 + 20, h },
        { 0, h / 3, w, h / 3 + 1 },
        { -2000000000, -2000000000, 2000000000, 2000000000 },
        { w, 0, w + 10, h },
    };
}

} // namespace probnik::check
