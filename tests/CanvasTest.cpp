// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/Canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace probnik;

namespace {

using i64 = std::int64_t;

// A canvas whose neighbouring pixels all differ, so a misplaced write shows.
Canvas noise(int w, int h)
{
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.setPixel(
                x, y, (std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u) & 0xFFFFFF);
    return c;
}

std::vector<Color> pixels(const Canvas& c)
{
    std::vector<Color> v;
    for (int y = 0; y < c.height(); ++y)
        v.insert(v.end(), c.row(y), c.row(y) + c.width());
    return v;
}

// '#' where the pixel is black, '.' elsewhere.
std::vector<std::string> picture(const Canvas& c)
{
    std::vector<std::string> rows;
    for (int y = 0; y < c.height(); ++y) {
        rows.emplace_back();
        for (int x = 0; x < c.width(); ++x)
            rows.back() += c.pixel(x, y) == Black ? '#' : '.';
    }
    return rows;
}

constexpr Color Inverted(Color pen, Color was)
{
    return ~(pen ^ was) & 0xFFFFFF;
}

} // namespace

TEST(Canvas, OutsideReadsWhiteAndIgnoresWrites)
{
    Canvas c = noise(7, 5);
    const auto before = pixels(c);
    for (const Point p : { Point { -1, 0 }, { 0, -1 }, { 7, 0 }, { 0, 5 }, { 7, 5 }, { -1, 4 },
             { INT_MIN, INT_MIN }, { INT_MAX, 2 }, { 3, INT_MAX } }) {
        EXPECT_EQ(c.pixel(p.x, p.y), White) << p.x << "," << p.y;
        c.setPixel(p.x, p.y, Black);
    }
    EXPECT_EQ(pixels(c), before);
    EXPECT_NE(c.pixel(6, 4), White);
}

TEST(Canvas, NonPositiveSizesGiveAnEmptyCanvasThatIgnoresEverything)
{
    const Canvas src = noise(3, 3);
    for (const auto& [w, h] :
        { std::pair { 0, 5 }, { 5, 0 }, { -3, 4 }, { 4, -3 }, { INT_MIN, INT_MIN } }) {
        Canvas c(w, h, Black);
        EXPECT_TRUE(c.isEmpty());
        EXPECT_EQ(c.width(), 0);
        EXPECT_EQ(c.height(), 0);
        EXPECT_EQ(c.pixel(0, 0), White);
        c.setPixel(0, 0, Black);
        c.fillRect({ INT_MIN, INT_MIN, INT_MAX, INT_MAX });
        c.line({ -5, -5 }, { 5, 5 });
        c.rectangleOutline({ -5, -5, 5, 5 });
        c.stretchDraw({ 0, 0, 10, 10 }, src);
        c.draw({ 0, 0 }, src);
        Canvas d(4, 4);
        d.stretchDraw({ 0, 0, 4, 4 }, c);
        d.draw({ 0, 0 }, c);
        EXPECT_EQ(pixels(d), pixels(Canvas(4, 4)));
    }
}

TEST(Canvas, FillRectFillsTheClippedRectangle)
{
    const Rect cases[] = { { 1, 1, 4, 3 }, { -2, -2, 2, 2 }, { 5, 3, 12, 9 }, { 3, 3, 3, 5 },
        { 4, 4, 2, 2 }, { INT_MIN, 2, INT_MAX, 3 }, { 8, 0, 20, 6 }, { -10, -10, -1, 3 } };
    for (const Rect& r : cases) {
        Canvas c = noise(8, 6);
        const Canvas before = c;
        c.brushColor = rgb(1, 2, 3);
        c.penMode = PenMode::NotXor; // the brush ignores the pen mode
        c.fillRect(r);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool in = r.Left <= x && x < r.Right && r.Top <= y && y < r.Bottom;
                ASSERT_EQ(c.pixel(x, y), in ? rgb(1, 2, 3) : before.pixel(x, y))
                    << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << " @" << x
                    << "," << y;
            }
    }
}

TEST(Canvas, LineLeavesOutItsEndPoint)
{
    struct Case {
        Point from, to;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { { 0, 0 }, { 5, 0 }, { "#####.", "......", "......" } },
        { { 5, 2 }, { 0, 2 }, { "......", "......", ".#####" } },
        { { 3, 2 }, { 3, 0 }, { "......", "...#..", "...#.." } },
        { { 0, 0 }, { 6, 2 }, { "##....", "..###.", ".....#" } },
        { { 2, 2 }, { 0, 0 }, { "......", ".#....", "..#..." } },
        { { 4, 1 }, { 4, 1 }, { "......", "......", "......" } },
    };
    for (const Case& t : cases) {
        Canvas c(6, 3);
        c.line(t.from, t.to);
        EXPECT_EQ(picture(c), t.expected)
            << t.from.x << "," << t.from.y << " -> " << t.to.x << "," << t.to.y;
    }
}

// Ends in every octant, on the axes and diagonals, and between them.
std::vector<Point> octantEnds(Point centre)
{
    std::vector<Point> ends;
    for (const int a : { 0, 3, 7, 13, 20 })
        for (const int b : { 0, 5, 13, 20 })
            for (const int sx : { -1, 1 })
                for (const int sy : { -1, 1 }) {
                    ends.push_back({ centre.x + sx * a, centre.y + sy * b });
                    ends.push_back({ centre.x + sy * b, centre.y + sx * a });
                }
    return ends;
}

TEST(Canvas, LineTakesOnePixelPerStepNearestTheIdealLine)
{
    const Point from { 20, 20 };
    for (const Point to : octantEnds(from)) {
        Canvas c(41, 41);
        c.line(from, to);
        const i64 dx = to.x - from.x, dy = to.y - from.y;
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        const i64 n = std::max(std::abs(dx), std::abs(dy));
        const i64 da = xMajor ? dx : dy, db = xMajor ? dy : dx;
        std::vector<int> perStep(std::size_t(n), 0);
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 41; ++x) {
                if (c.pixel(x, y) != Black)
                    continue;
                const i64 a = (xMajor ? x - from.x : y - from.y),
                          b = (xMajor ? y - from.y : x - from.x);
                const i64 k = da < 0 ? -a : a;
                ASSERT_TRUE(k >= 0 && k < n) << x << "," << y;
                // Within half a pixel of the ideal line: |b - k * db / n| <= 1/2.
                ASSERT_LE(std::abs(2 * (b * n - k * db)), n) << x << "," << y;
                ++perStep[std::size_t(k)];
            }
        EXPECT_EQ(perStep, std::vector<int>(std::size_t(n), 1)) << to.x << "," << to.y;
    }
}

TEST(Canvas, LineFarOffTheCanvasDrawsWhatTheWholeLineDraws)
{
    struct Case {
        Point from, to;
    };
    // All pass through (15, 10), in the middle of the small canvas.
    const Case cases[] = { { { -970, -37 }, { 1000, 57 } }, { { -500, 700 }, { 530, -680 } },
        { { 25, -980 }, { 5, 1000 } }, { { 1000, 17 }, { -970, 3 } }, { { 29, -4 }, { 1, 24 } } };
    constexpr int Offset = 1000;
    for (const Case& t : cases) {
        Canvas small(30, 20), whole(2 * Offset + 1, 2 * Offset + 1);
        small.line(t.from, t.to);
        whole.line({ t.from.x + Offset, t.from.y + Offset }, { t.to.x + Offset, t.to.y + Offset });
        int drawn = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                drawn += small.pixel(x, y) == Black;
                ASSERT_EQ(small.pixel(x, y), whole.pixel(x + Offset, y + Offset)) << x << "," << y;
            }
        EXPECT_GT(drawn, 0);
    }
}

TEST(Canvas, LineBetweenExtremeCoordinates)
{
    struct Case {
        Point from, to;
        bool (*expected)(int x, int y);
    };
    const Case cases[] = {
        { { INT_MIN, INT_MIN }, { INT_MAX, INT_MAX }, [](int x, int y) { return x == y; } },
        { { INT_MAX, 2 }, { INT_MIN, 2 }, [](int, int y) { return y == 2; } },
        { { 3, INT_MIN }, { 3, INT_MAX }, [](int x, int) { return x == 3; } },
        { { INT_MIN, 0 }, { INT_MAX, 1 }, [](int, int y) { return y == 1; } }, // halfway is x = 0
    };
    for (const Case& t : cases) {
        Canvas c(9, 7);
        c.line(t.from, t.to);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(c.pixel(x, y) == Black, t.expected(x, y)) << x << "," << y;
    }
}

TEST(Canvas, NotXorLineTwiceRestores)
{
    const Point from { 10, 8 };
    for (const Point to : octantEnds(from)) {
        Canvas c = noise(24, 18); // ends reach off the canvas on every side
        const Canvas before = c;
        c.penMode = PenMode::NotXor;
        c.penColor = rgb(10, 200, 30);
        c.line(from, to);
        int changed = 0;
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 24; ++x)
                if (c.pixel(x, y) != before.pixel(x, y)) {
                    ++changed;
                    ASSERT_EQ(c.pixel(x, y), Inverted(c.penColor, before.pixel(x, y)));
                }
        EXPECT_EQ(changed > 0, to != from);
        c.line(from, to);
        EXPECT_EQ(pixels(c), pixels(before)) << to.x << "," << to.y;
    }
}

TEST(Canvas, OutlineBandPictures)
{
    struct Case {
        Rect r;
        int width;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { { 2, 1, 6, 4 }, 1, { "......", "..####", "..#..#", "..####", "......" } },
        { { 2, 2, 6, 6 }, 2,
            { ".......", ".#####.", ".#####.", ".##.##.", ".#####.", ".#####.", "......." } },
        { { 2, 2, 9, 8 }, 3,
            { "...........", ".#########.", ".#########.", ".#########.", ".###...###.",
                ".###...###.", ".#########.", ".#########.", ".#########.", "..........." } },
        { { 3, 2, 3, 2 }, 3, { "......", "..##..", "..##..", "......" } }, // a point
    };
    for (const Case& t : cases) {
        Canvas c(int(t.expected[0].size()), int(t.expected.size()));
        c.penWidth = t.width;
        c.rectangleOutline(t.r);
        EXPECT_EQ(picture(c), t.expected) << t.width;
    }
}

TEST(Canvas, NotXorOutlineInvertsItsBandOnceAndTwiceRestores)
{
    const Rect rects[] = { { 4, 3, 15, 11 }, { 5, 5, 6, 6 }, { 5, 5, 5, 5 }, { 7, 2, 7, 12 },
        { 3, 6, 16, 6 }, { 12, 9, 4, 3 }, { -6, -4, 8, 7 }, { 10, 8, 30, 25 }, { -30, -30, 60, 60 },
        { -9, 3, -1, 9 }, { INT_MIN, INT_MIN, INT_MAX, INT_MAX } };
    for (const Rect& r : rects)
        for (int w = 1; w <= 4; ++w) {
            Canvas c = noise(20, 14);
            const Canvas before = c;
            c.penMode = PenMode::NotXor;
            c.penWidth = w;
            c.rectangleOutline(r);
            const i64 left = i64(r.Left) - w / 2, right = i64(r.Right) - 1 + (w - 1) / 2;
            const i64 top = i64(r.Top) - w / 2, bottom = i64(r.Bottom) - 1 + (w - 1) / 2;
            for (int y = 0; y < 14; ++y)
                for (int x = 0; x < 20; ++x) {
                    const bool outer = left <= x && x <= right && top <= y && y <= bottom;
                    const bool inner
                        = left + w <= x && x <= right - w && top + w <= y && y <= bottom - w;
                    ASSERT_EQ(c.pixel(x, y),
                        outer && !inner ? Inverted(Black, before.pixel(x, y)) : before.pixel(x, y))
                        << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << " w" << w
                        << " @" << x << "," << y;
                }
            c.rectangleOutline(r);
            ASSERT_EQ(pixels(c), pixels(before));
        }
}

TEST(Canvas, StretchDrawTakesTheNearestPixel)
{
    const Canvas src = noise(4, 6);
    struct Case {
        Rect dst;
        Point (*source)(int x, int y); // source pixel of destination pixel (x, y)
    };
    const Case cases[] = {
        { { 0, 0, 4, 6 },
            [](int x, int y) {
                return Point { x, y };
            } },
        { { 0, 0, 8, 18 },
            [](int x, int y) {
                return Point { x / 2, y / 3 };
            } },
        { { 0, 0, 2, 3 },
            [](int x, int y) {
                return Point { 2 * x, 2 * y };
            } },
        { { -3, -2, 5, 10 },
            [](int x, int y) {
                return Point { (x + 3) / 2, (y + 2) / 2 };
            } },
    };
    for (const Case& t : cases) {
        Canvas c = noise(9, 9);
        const Canvas before = c;
        c.penMode = PenMode::NotXor; // copies regardless
        c.stretchDraw(t.dst, src);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                const bool in
                    = t.dst.Left <= x && x < t.dst.Right && t.dst.Top <= y && y < t.dst.Bottom;
                const Point s = t.source(x, y);
                ASSERT_EQ(c.pixel(x, y), in ? src.pixel(s.x, s.y) : before.pixel(x, y))
                    << x << "," << y;
            }
    }
}

TEST(Canvas, StretchDrawDoesNotOverflowOnBigSizes)
{
    Canvas src(100000, 1);
    for (int x = 0; x < src.width(); ++x)
        src.setPixel(x, 0, Color(x));
    Canvas c(30000, 1);
    c.stretchDraw({ 0, 0, 30000, 1 }, src); // 29999 * 100000 does not fit 32 bits
    EXPECT_EQ(c.pixel(0, 0), 0u);
    EXPECT_EQ(c.pixel(3, 0), 10u);
    EXPECT_EQ(c.pixel(29999, 0), 99996u);

    // A destination 2^32 - 1 wide whose visible part starts 2^31 in: source column 1 of 2.
    Canvas two(2, 1);
    two.setPixel(1, 0, Black);
    Canvas d(5, 3);
    d.stretchDraw({ INT_MIN, INT_MIN, INT_MAX, INT_MAX }, two);
    EXPECT_EQ(pixels(d), std::vector<Color>(15, Black));
}

TEST(Canvas, CopyRectClipsSourceAndDestination)
{
    const Canvas src = noise(6, 5);
    struct Case {
        Point at;
        Rect from;
    };
    const Case cases[] = { { { 0, 0 }, { 0, 0, 6, 5 } }, { { 2, 1 }, { 1, 1, 4, 3 } },
        { { 3, 3 }, { -2, -1, 4, 4 } }, { { -2, 4 }, { 0, 0, 6, 5 } },
        { { 5, -3 }, { 2, 0, 9, 8 } }, { { 1, 1 }, { 3, 3, 3, 4 } },
        { { INT_MAX, 0 }, { 0, 0, 6, 5 } }, { { 0, 0 }, { INT_MIN, INT_MIN, INT_MAX, INT_MAX } } };
    for (const Case& t : cases) {
        Canvas c = noise(8, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 8; ++x)
                c.setPixel(x, y, c.pixel(x, y) ^ 0x808080); // unlike src everywhere
        const Canvas before = c;
        c.copyRect(t.at, src, t.from);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 8; ++x) {
                const i64 sx = i64(x) - t.at.x + t.from.Left, sy = i64(y) - t.at.y + t.from.Top;
                const bool in = t.from.Left <= sx && sx < t.from.Right && t.from.Top <= sy
                    && sy < t.from.Bottom && sx >= 0 && sx < 6 && sy >= 0 && sy < 5;
                ASSERT_EQ(c.pixel(x, y), in ? src.pixel(int(sx), int(sy)) : before.pixel(x, y))
                    << x << "," << y;
            }
    }
}

TEST(Canvas, CopyWithinOneCanvasReadsTheOldPixels)
{
    Canvas c = noise(6, 4);
    const Canvas before = c;
    c.copyRect({ 1, 1 }, c, { 0, 0, 5, 3 });
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 6; ++x)
            ASSERT_EQ(c.pixel(x, y), before.pixel(x - 1, y - 1));
}
