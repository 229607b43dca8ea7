// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "demo/Texture.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace probnik;
using namespace probnik::texture;

namespace {

// The area of the demonstration window at its design positions: 374 x 227.
constexpr Rect DesignArea { 0, 88, 374, 315 };
constexpr Color Back = rgb(200, 150, 100);
constexpr Color Ink = rgb(10, 20, 30);

std::vector<Rect> horizontalStripes(Rect area, std::vector<int> offsets, int size)
{
    std::vector<Rect> stripes;
    for (const int v : offsets)
        stripes.push_back({ area.Left, area.Top + v, area.Right, area.Top + v + size });
    return stripes;
}

std::vector<int> steps(int first, int last, int step)
{
    std::vector<int> values;
    for (int v = first; v <= last; v += step)
        values.push_back(v);
    return values;
}

} // namespace

TEST(Texture, ChannelTextsAreReadAndCorrected)
{
    struct Case {
        std::string text;
        ChannelReading reading;
    };
    const Case cases[] = {
        { "0", { 0, {} } }, { "128", { 128, {} } }, { "255", { 255, {} } }, { "007", { 7, {} } },
        { "+7", { 7, {} } }, { "256", { 255, "255" } }, { "300", { 255, "255" } },
        { "2147483648", { 255, "255" } }, { "99999999999999999999999", { 255, "255" } },
        // Negatives stay as typed.
        { "-5", { -5, {} } }, { "-0", { 0, {} } }, { "-300", { -300, {} } },
        { "-2147483647", { -2147483647, {} } }, { "-2147483648", { INT_MIN, {} } },
        { "-99999999999999999999999", { INT_MIN, {} } },
        // Not numbers.
        { "", { 0, "0" } }, { "-", { 0, "0" } }, { "+", { 0, "0" } }, { "--5", { 0, "0" } },
        { "+-5", { 0, "0" } }, { "abc", { 0, "0" } }, { "12a", { 0, "0" } }, { " 12", { 0, "0" } },
        { "12 ", { 0, "0" } }, { "1.5", { 0, "0" } }, { "1,5", { 0, "0" } }, { "1e3", { 0, "0" } },
        { "0x10", { 0, "0" } }, { "\xd9\xa3", { 0, "0" } }, // a digit of another script
    };
    for (const Case& c : cases)
        EXPECT_EQ(readChannel(c.text), c.reading) << '"' << c.text << '"';
}

TEST(Texture, NegativeChannelsArePaintedAsZero)
{
    struct Case {
        int r, g, b;
        Color painted;
    };
    const Case cases[] = {
        { 255, 255, 255, White },
        { 10, 20, 30, 0x1E140A },
        { -1, 128, 0, rgb(0, 128, 0) },
        { 5, -300, INT_MIN, rgb(5, 0, 0) },
        { 256, INT_MAX, 7, rgb(255, 255, 7) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(paintedColour(c.r, c.g, c.b), c.painted) << c.r << "," << c.g << "," << c.b;
}

TEST(Texture, AreaKeepsItsMarginsToTheControls)
{
    EXPECT_EQ(textureArea(68, 394, 335), DesignArea);
    EXPECT_EQ(textureArea(0, 100, 50), (Rect { 0, 20, 80, 30 }));
}

TEST(Texture, Stripes)
{
    struct Case {
        const char* name;
        Pattern pattern;
        int size, spacing;
        std::vector<Rect> rectangles;
    };
    const Case cases[] = {
        { "eight stripes", Pattern::HorizontalLines, 10, 30,
            horizontalStripes(DesignArea, { 0, 30, 60, 90, 120, 150, 180, 210 }, 10) },
        { "overlapping", Pattern::HorizontalLines, 10, 5,
            horizontalStripes(DesignArea, steps(0, 215, 5), 10) },
        { "size and spacing 0 drawn as 1", Pattern::HorizontalLines, 0, 0,
            horizontalStripes(DesignArea, steps(0, 225, 1), 1) },
        { "negative drawn as 1", Pattern::HorizontalLines, -3, -40,
            horizontalStripes(DesignArea, steps(0, 225, 1), 1) },
        { "one stripe short of the edge", Pattern::HorizontalLines, 226, 1,
            horizontalStripes(DesignArea, { 0 }, 226) },
        { "too thick for the area", Pattern::HorizontalLines, 227, 1, {} },
        { "pitch beyond the area", Pattern::HorizontalLines, 40, INT_MAX,
            horizontalStripes(DesignArea, { 0 }, 40) },
        { "vertical", Pattern::VerticalLines, 10, 30,
            { { 0, 88, 10, 315 }, { 30, 88, 40, 315 }, { 60, 88, 70, 315 }, { 90, 88, 100, 315 },
                { 120, 88, 130, 315 }, { 150, 88, 160, 315 }, { 180, 88, 190, 315 },
                { 210, 88, 220, 315 }, { 240, 88, 250, 315 }, { 270, 88, 280, 315 },
                { 300, 88, 310, 315 }, { 330, 88, 340, 315 }, { 360, 88, 370, 315 } } },
        { "vertical, last column free", Pattern::VerticalLines, 373, 40, { { 0, 88, 373, 315 } } },
        { "vertical, too wide", Pattern::VerticalLines, INT_MAX, 1, {} },
        { "nothing chosen", Pattern::None, 10, 30, {} },
    };
    for (const Case& c : cases) {
        const Texture t = compose(c.pattern, DesignArea, c.size, c.spacing, Back, Ink);
        EXPECT_EQ(t.rectangles, c.rectangles) << c.name;
        EXPECT_TRUE(t.ellipses.empty()) << c.name;
        EXPECT_EQ(t.area, DesignArea) << c.name;
        EXPECT_EQ(t.background, Back) << c.name;
        EXPECT_EQ(t.drawing, Ink) << c.name;
    }
}

TEST(Texture, Circles)
{
    struct Case {
        const char* name;
        Rect area;
        int size, spacing;
        std::size_t count;
        // The first ellipse, the second of the first row and the first of the second row.
        std::vector<std::pair<std::size_t, Rect>> boxes;
    };
    const Case cases[] = {
        { "size 10, spacing 20: 11 rows of 18", DesignArea, 10, 20, 11 * 18,
            { { 0, { 5, 93, 15, 103 } }, { 1, { 25, 93, 35, 103 } }, { 18, { 5, 113, 15, 123 } },
                { 197, { 345, 293, 355, 303 } } } },
        { "size 1: radius 0", DesignArea, 1, 1, 225 * 372,
            { { 0, { 1, 89, 1, 89 } }, { 1, { 2, 89, 2, 89 } }, { 372, { 1, 90, 1, 90 } } } },
        { "size 2: 2 by 2", DesignArea, 2, 3, 75 * 124,
            { { 0, { 1, 89, 3, 91 } }, { 1, { 4, 89, 6, 91 } }, { 124, { 1, 92, 3, 94 } } } },
        { "odd size: the radius truncated", DesignArea, 7, 40, 6 * 9,
            { { 0, { 4, 92, 10, 98 } }, { 1, { 44, 92, 50, 98 } }, { 9, { 4, 132, 10, 138 } } } },
        { "size 0 drawn as 1", { 10, 10, 14, 13 }, 0, 0, 2,
            { { 0, { 11, 11, 11, 11 } }, { 1, { 12, 11, 12, 11 } } } },
        { "centre one size in, far edge free", { 0, 0, 21, 21 }, 10, 5, 1,
            { { 0, { 5, 5, 15, 15 } } } },
        { "too small an area", { 0, 0, 20, 40 }, 10, 5, 0, {} },
        { "pitch beyond the area", DesignArea, 4, INT_MAX, 1, { { 0, { 2, 90, 6, 94 } } } },
        { "size beyond the area", DesignArea, INT_MAX, 1, 0, {} },
    };
    for (const Case& c : cases) {
        const Texture t = compose(Pattern::Circles, c.area, c.size, c.spacing, Back, Ink);
        EXPECT_TRUE(t.rectangles.empty()) << c.name;
        ASSERT_EQ(t.ellipses.size(), c.count) << c.name;
        for (const auto& [index, box] : c.boxes)
            EXPECT_EQ(t.ellipses[index], box) << c.name << ", ellipse " << index;
    }
}
