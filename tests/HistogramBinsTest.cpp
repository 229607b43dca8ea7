// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/HistogramBins.h"
#include "analysis/AreaStudy.h"
#include "colour/ColourProfile.h"
#include "colour/LabConversion.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using namespace probnik;
using namespace probnik::histogram;

namespace {

// Bin k of `bins` for each listed k; every other bin 0.
void expectBins(const Bins& bins, const std::vector<std::pair<int, std::uint64_t>>& expected,
    const std::string& what)
{
    Bins want(bins.size());
    for (auto [k, n] : expected)
        want[std::size_t(k)] += n;
    EXPECT_EQ(bins, want) << what;
}

} // namespace

// A file's pixels as a reader hands them over: binned by the value the box shows, clipped by
// the file's own depth.
TEST(Histogram, BinsAndClippedPixelsOfFileRuns)
{
    struct Case {
        const char* name;
        int depth;
        std::vector<std::uint16_t> values; // R, G, B of each pixel
        std::vector<std::pair<int, std::uint64_t>> r, g, b;
        std::uint64_t clipped;
    };
    const Case cases[] = {
        { "8 bits, mid grey", 8, { 128, 128, 128 }, { { 128, 1 } }, { { 128, 1 } }, { { 128, 1 } },
            0 },
        { "8 bits, one channel at each end", 8, { 0, 10, 20, 30, 255, 40, 50, 60, 70 },
            { { 0, 1 }, { 30, 1 }, { 50, 1 } }, { { 10, 1 }, { 255, 1 }, { 60, 1 } },
            { { 20, 1 }, { 40, 1 }, { 70, 1 } }, 2 },
        // 128 of 65535 shows as 0 yet is no clipped value; 65535 is.
        { "16 bits, dark but not clipped", 16, { 128, 300, 25700 }, { { 0, 1 } }, { { 1, 1 } },
            { { 100, 1 } }, 0 },
        { "16 bits, at the ends", 16, { 65535, 65534, 1, 0, 32768, 32767 },
            { { 255, 1 }, { 0, 1 } }, { { 255, 1 }, { 128, 1 } }, { { 0, 1 }, { 127, 1 } }, 2 },
    };
    for (const Case& c : cases) {
        HistogramSink sink;
        FilePixelsInfo info;
        info.depth = c.depth;
        sink.begin(info);
        // Split in two runs, as rows of a rectangle come.
        const int pixels = int(c.values.size() / 3);
        PixelRun first;
        first.count = pixels / 2;
        first.values = c.values.data();
        PixelRun second;
        second.count = pixels - first.count;
        second.values = c.values.data() + std::size_t(first.count) * 3;
        sink.run(first);
        sink.run(second);
        expectBins(sink.rgb().channels[0], c.r, std::string(c.name) + ": R");
        expectBins(sink.rgb().channels[1], c.g, std::string(c.name) + ": G");
        expectBins(sink.rgb().channels[2], c.b, std::string(c.name) + ": B");
        EXPECT_EQ(sink.rgb().pixels, std::uint64_t(pixels)) << c.name;
        EXPECT_EQ(sink.rgb().clipped, c.clipped) << c.name;
    }
}

// The screen's pixels: exactly those the area study visits, however the area lies.
TEST(Histogram, ScreenAreaIsTheStudiedOne)
{
    Canvas screen(20, 10, rgb(10, 20, 30));
    for (int x = 0; x < 20; ++x)
        screen.setPixel(x, 5, rgb(x, 255, 0));
    struct Case {
        const char* name;
        Rect area;
    };
    const Case cases[] = {
        { "whole", { 0, 0, 20, 10 } },
        { "inside", { 3, 4, 8, 7 } },
        { "beyond every edge", { -5, -5, 30, 30 } },
        { "off the screen", { 25, 0, 30, 10 } },
        { "empty", { 5, 5, 5, 9 } },
    };
    for (const Case& c : cases) {
        const RgbHistogram h = screenHistogram(screen, c.area);
        const AreaStudy study = studyArea(screen, c.area, ChannelBounds {}, nullptr);
        EXPECT_EQ(h.pixels, std::uint64_t(study.Count)) << c.name;
        // Only row 5 holds a 0 or a 255, in G and B of each of its pixels.
        EXPECT_EQ(h.clipped, h.channels[1][255]) << c.name;
        EXPECT_EQ(h.clipped, h.channels[2][0]) << c.name;
        EXPECT_EQ(split(h.channels[0], 0, 255).inside, h.pixels) << c.name;
    }
}

TEST(Histogram, BoundsSplitTheBins)
{
    Bins bins(ChannelLevels);
    bins[0] = 5;
    bins[10] = 7;
    bins[11] = 1;
    bins[255] = 2;
    struct Case {
        int min, max;
        std::uint64_t inside, outside;
    };
    const Case cases[] = {
        { 0, 255, 15, 0 }, { 0, 0, 5, 10 }, { 10, 10, 7, 8 }, { 10, 11, 8, 7 }, { 1, 254, 8, 7 },
        { 255, 255, 2, 13 }, { 11, 10, 0, 15 }, // min above max: the study finds nothing
    };
    for (const Case& c : cases) {
        const Split s = split(bins, c.min, c.max);
        EXPECT_EQ(s.inside, c.inside) << c.min << ".." << c.max;
        EXPECT_EQ(s.outside, c.outside) << c.min << ".." << c.max;
    }
}

TEST(Histogram, LogarithmicScaleAndItsMarks)
{
    const struct {
        std::uint64_t count;
        double linear, logarithmic;
    } heights[] = { { 0, 0, 0 }, { 9, 9, 1 }, { 99, 99, 2 }, { 999999, 999999, 6 } };
    for (const auto& c : heights) {
        EXPECT_DOUBLE_EQ(height(c.count, Scale::Linear), c.linear) << c.count;
        EXPECT_NEAR(height(c.count, Scale::Logarithmic), c.logarithmic, 1e-12) << c.count;
    }
    const struct {
        std::uint64_t highest;
        std::vector<std::string> labels;
    } marks[] = {
        { 0, { "1" } },
        { 1, { "1" } },
        { 10, { "1", "10" } },
        { 11, { "1", "10", "100" } },
        { 160000, { "1", "10", "100", "1000", "10000", "100000", "1000000" } },
    };
    for (const auto& m : marks) {
        const std::vector<Tick> ticks = logTicks(m.highest);
        std::vector<std::string> labels;
        labels.reserve(ticks.size());
        for (const Tick& t : ticks)
            labels.push_back(t.label);
        EXPECT_EQ(labels, m.labels) << m.highest;
        EXPECT_NEAR(
            ticks.back().at, height(std::stoull(ticks.back().label), Scale::Logarithmic), 1e-12);
    }
    EXPECT_EQ(clippedShare(1, 400), "0.25 %");
    EXPECT_EQ(clippedShare(0, 0), "–");
}

// sRGB primaries and neutrals at D65 (published CIELAB values of sRGB: red L* 53.24, C* 104.58,
// h 40.0; green 87.73, 119.78, 136.0; blue 32.30, 133.81, 306.3).
TEST(Histogram, LightnessChromaHueBinsOfKnownColours)
{
    const colour::LabConverter converter(
        colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb), colour::ReferenceWhite::D65);
    struct Case {
        Color colour;
        int L, C, h; // h -1: no hue
    };
    const Case cases[] = {
        { rgb(255, 0, 0), 53, 105, 40 },
        { rgb(0, 255, 0), 88, 120, 136 },
        { rgb(0, 0, 255), 32, 134, 306 },
        { rgb(255, 255, 255), 100, 0, -1 },
        { rgb(0, 0, 0), 0, 0, -1 },
        { rgb(128, 128, 128), 54, 0, -1 },
    };
    Canvas screen(int(std::size(cases)), 1);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        screen.setPixel(int(i), 0, cases[i].colour);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const LchHistogram h
            = screenLch(screen, { int(i), 0, int(i) + 1, 1 }, converter, 8, DeepValues {});
        expectBins(h.L, { { c.L, 1 } }, "L* of " + std::to_string(i));
        expectBins(h.C, { { c.C, 1 } }, "C* of " + std::to_string(i));
        if (c.h < 0)
            expectBins(h.h, {}, "h of " + std::to_string(i));
        else
            expectBins(h.h, { { c.h, 1 } }, "h of " + std::to_string(i));
        EXPECT_EQ(h.hueless, c.h < 0 ? 1u : 0u) << i;
    }
    // A chroma beyond the last bin lands in it; a hue just below 360 is 0.
    LchHistogram edges;
    edges.add({ 50, 200, 0 });
    edges.add({ 50, 10, -0.05 });
    edges.add({ 100.4, 0, 0 });
    expectBins(edges.C, { { ChromaBins - 1, 1 }, { 10, 1 }, { 0, 1 } }, "C* edges");
    expectBins(edges.h, { { 0, 2 } }, "h edges");
    expectBins(edges.L, { { 50, 2 }, { 100, 1 } }, "L* edges");
}
