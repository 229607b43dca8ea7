// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Rectangles of a file's own pixels against the display-sized picture read with a box that
// shows every pixel: each pixel of each rectangle must come once, with the value the box
// shows for it. Shared by the tests and the fuzzers.
#include "picture/DisplayPicture.h"
#include "picture/FileRegions.h"
#include "picture/ShownPixels.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace probnik::check {

inline bool sameColour(const ColourDescription& a, const ColourDescription& b)
{
    return a.kind == b.kind && a.source == b.source && a.icc == b.icc
        && a.chromaticities == b.chromaticities && a.gamma == b.gamma && a.endpoints == b.endpoints
        && a.gammas == b.gammas && a.linkedName == b.linkedName;
}

// A box side that shows every pixel of the picture.
inline int everyPixel(int width, int height)
{
    return std::max(width, height);
}

// What a region read handed over: each rectangle's pixels, cut to the picture, and how often
// each came. Nothing may come before begin() nor outside its rectangle.
class RegionPixels : public PixelSink {
public:
    explicit RegionPixels(std::vector<Rect> regions)
        : m_regions(std::move(regions))
    {
    }

    void begin(const FilePixelsInfo& info) override
    {
        ++m_begun;
        m_info = info;
        m_cut.clear();
        m_values.clear();
        m_times.clear();
        for (const Rect& r : m_regions) {
            const Rect c { std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, info.width),
                std::min(r.Bottom, info.height) };
            m_cut.push_back(c.isEmpty() ? Rect {} : c);
            const std::size_t n
                = c.isEmpty() ? 0 : std::size_t(c.width()) * std::size_t(c.height());
            m_values.emplace_back(3 * n, std::uint16_t(0));
            m_times.emplace_back(n, 0);
        }
    }

    void run(const PixelRun& run) override
    {
        ++m_runs;
        if (m_begun != 1 || run.region >= m_regions.size()) {
            note("a run before begin or of no rectangle");
            return;
        }
        if (run.count <= 0 || std::abs(run.dx) + std::abs(run.dy) != 1)
            note("a run of " + std::to_string(run.count) + " pixels stepping ("
                + std::to_string(run.dx) + ", " + std::to_string(run.dy) + ")");
        const Rect& c = m_cut[run.region];
        for (int k = 0; k < run.count; ++k) {
            const int x = run.x + k * run.dx;
            const int y = run.y + k * run.dy;
            if (x < c.Left || x >= c.Right || y < c.Top || y >= c.Bottom) {
                note("pixel (" + std::to_string(x) + ", " + std::to_string(y)
                    + ") outside rectangle " + std::to_string(run.region));
                return;
            }
            const std::size_t at
                = std::size_t(y - c.Top) * std::size_t(c.width()) + std::size_t(x - c.Left);
            ++m_times[run.region][at];
            std::copy_n(run.values + 3 * k, 3, &m_values[run.region][3 * at]);
        }
    }

    // What is wrong with the read, `read` being its result and `display` the picture read with
    // a box of everyPixel(); empty when nothing is. A display that failed must fail the same
    // way when the rectangles hold every pixel; else nothing is compared.
    std::string disagreement(
        const Result<FilePixelsInfo>& read, const Result<DisplayPicture>& display) const
    {
        if (!m_problem.empty())
            return m_problem;
        if (!display) {
            if (!holdsEveryPixel(read))
                return {};
            if (read)
                return "the rectangles were read, the display failed: " + display.error().message;
            return read.error().message == display.error().message ? std::string()
                                                                   : "the rectangles failed with "
                    + read.error().message + ", the display with " + display.error().message;
        }
        if (!read)
            return "the display was read, the rectangles failed: " + read.error().message;
        const FilePixelsInfo& info = read.value();
        const DisplayPicture& p = display.value();
        if (m_begun != 1)
            return "begin came " + std::to_string(m_begun) + " times";
        if (info.width != p.width || info.height != p.height || info.bits != p.bits
            || info.grey != p.grey || info.depth != (p.shown16.empty() ? 8 : 16)
            || !sameColour(info.colour, p.colour))
            return "the rectangles' description differs from the display's";
        if (p.shown.width() != p.width || p.shown.height() != p.height)
            return "the display does not show every pixel";
        for (std::size_t r = 0; r < m_regions.size(); ++r) {
            const Rect& c = m_cut[r];
            for (int y = c.Top; y < c.Bottom; ++y)
                for (int x = c.Left; x < c.Right; ++x) {
                    const std::size_t at
                        = std::size_t(y - c.Top) * std::size_t(c.width()) + std::size_t(x - c.Left);
                    const std::string where = "rectangle " + std::to_string(r) + " pixel ("
                        + std::to_string(x) + ", " + std::to_string(y) + ")";
                    if (m_times[r][at] != 1)
                        return where + " came " + std::to_string(m_times[r][at]) + " times";
                    const std::uint16_t* v = &m_values[r][3 * at];
                    const std::size_t i = std::size_t(y) * std::size_t(p.width) + std::size_t(x);
                    const Color shown = p.shown.pixel(x, y);
                    const std::uint16_t expected[3] = {
                        info.depth == 16 ? p.shown16[3 * i] : std::uint16_t(red(shown)),
                        info.depth == 16 ? p.shown16[3 * i + 1] : std::uint16_t(green(shown)),
                        info.depth == 16 ? p.shown16[3 * i + 2] : std::uint16_t(blue(shown)),
                    };
                    if (!std::equal(v, v + 3, expected))
                        return where + " is " + std::to_string(v[0]) + " " + std::to_string(v[1])
                            + " " + std::to_string(v[2]) + ", shown " + std::to_string(expected[0])
                            + " " + std::to_string(expected[1]) + " " + std::to_string(expected[2]);
                }
        }
        return {};
    }

    std::size_t runs() const { return m_runs; }

private:
    void note(const std::string& problem)
    {
        if (m_problem.empty())
            m_problem = problem;
    }

    // Whether the rectangles together cover the picture: then the read meets what the
    // display meets.
    bool holdsEveryPixel(const Result<FilePixelsInfo>& read) const
    {
        return std::any_of(m_regions.begin(), m_regions.end(), [&](const Rect& r) {
            return r.Left <= 0 && r.Top <= 0
                && (read ? r.Right >= read.value().width && r.Bottom >= read.value().height
                         : r.Right == std::numeric_limits<int>::max()
                            && r.Bottom == std::numeric_limits<int>::max());
        });
    }

    std::vector<Rect> m_regions;
    std::vector<Rect> m_cut;
    std::vector<std::vector<std::uint16_t>> m_values;
    std::vector<std::vector<int>> m_times;
    FilePixelsInfo m_info;
    int m_begun = 0;
    std::size_t m_runs = 0;
    std::string m_problem;
};

// Rectangles that try the edges and corners of a picture of width x height, all read in one
// pass: the whole picture (as far as any rectangle can reach), corners and edge strips partly
// off the picture, a single pixel, overlapping ones, and ones wholly off it or empty.
inline std::vector<Rect> edgeRegions(int width, int height)
{
    const int w = width, h = height;
    return {
        { std::numeric_limits<int>::min(), std::numeric_limits<int>::min(),
            std::numeric_limits<int>::max(), std::numeric_limits<int>::max() },
        { 0, 0, 5, 3 },
        { w - 4, h - 3, w + 5, h + 5 },
        { -3, h / 3, 2, h / 2 + 1 },
        { w - 1, -2, w + 1, 1 },
        { -7, h - 2, 3, h + 1 },
        { w / 2, h / 2, w / 2 + 1, h / 2 + 1 },
        { w / 3, 0, w / 3 + 9, h },
        { w + 1, 0, w + 5, 5 },
        { 3, 3, 3, 9 },
        { 0, -9, w, 0 },
    };
}

} // namespace probnik::check
