// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sampling/Kwadrat.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace probnik;

namespace {

// A canvas with a distinct colour in every pixel, so any change shows.
Canvas patterned()
{
    Canvas canvas(60, 50);
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            canvas.setPixel(x, y, rgb(x * 4, y * 5, (x + y) % 256));
    return canvas;
}

// The points whose colour differs between the two canvases.
std::vector<Point> changed(const Canvas& a, const Canvas& b)
{
    std::vector<Point> points;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                points.push_back({ x, y });
    return points;
}

bool same(const Canvas& a, const Canvas& b)
{
    return changed(a, b).empty();
}

} // namespace

TEST(TSqr, OutlineIsAThreePixelNotXorBandThatLeavesTheInsideAlone)
{
    const Canvas before = patterned();
    Canvas canvas = before;
    TSqr square(&canvas, 10, 10);
    EXPECT_TRUE(same(canvas, before)); // a new square draws nothing
    square.DrawTo({ 30, 25 });

    for (const Point p : changed(canvas, before)) {
        EXPECT_EQ(canvas.pixel(p.x, p.y), ~before.pixel(p.x, p.y) & 0xFFFFFF);
        const bool nearVertical = (p.x >= 9 && p.x <= 11) || (p.x >= 28 && p.x <= 30);
        const bool nearHorizontal = (p.y >= 9 && p.y <= 11) || (p.y >= 23 && p.y <= 25);
        EXPECT_TRUE(nearVertical || nearHorizontal) << p.x << "," << p.y;
    }
    // The band crosses each edge: inverted on it, untouched well inside and outside.
    for (const Point p : { Point { 10, 17 }, Point { 29, 17 }, Point { 20, 10 }, Point { 20, 24 } })
        EXPECT_NE(canvas.pixel(p.x, p.y), before.pixel(p.x, p.y)) << p.x << "," << p.y;
    for (const Point p : { Point { 20, 17 }, Point { 13, 13 }, Point { 5, 5 }, Point { 35, 30 } })
        EXPECT_EQ(canvas.pixel(p.x, p.y), before.pixel(p.x, p.y)) << p.x << "," << p.y;

    EXPECT_EQ(
        (Rect { square.Left, square.Top, square.Right, square.Bottom }), (Rect { 10, 10, 30, 25 }));
    square.Erase();
    EXPECT_TRUE(same(canvas, before));
}

TEST(TSqr, BoundsFollowTheCornerOnEitherSideOfTheAnchor)
{
    struct Case {
        std::vector<Point> drags;
        Rect bounds;
    };
    const Case cases[] = {
        { { { 10, 30 }, { 45, 30 } }, { 20, 20, 45, 30 } }, // left of the anchor, then right
        { { { 5, 8 } }, { 5, 8, 20, 20 } }, // up and to the left
        { { { 20, 40 } }, { 20, 20, 20, 40 } }, // straight down: no width
    };
    for (const Case& c : cases) {
        const Canvas before = patterned();
        Canvas canvas = before;
        {
            TSqr square(&canvas, 20, 20);
            for (const Point p : c.drags)
                square.MoveTo(p.x, p.y);
            EXPECT_EQ((Rect { square.Left, square.Top, square.Right, square.Bottom }), c.bounds);
            EXPECT_FALSE(same(canvas, before));
        }
        // Deleting the square removes its outline.
        EXPECT_TRUE(same(canvas, before));
    }
}

TEST(TSqr, SmallMovesDoNotRedraw)
{
    const Canvas before = patterned();
    Canvas canvas = before;
    TSqr square(&canvas, 20, 20);
    struct Step {
        Point to;
        Point corner;
    };
    const Step steps[] = {
        { { 22, 22 }, { 20, 20 } }, // under three pixels both ways
        { { 18, 21 }, { 20, 20 } },
        { { 23, 20 }, { 23, 20 } }, // three along x
        { { 25, 22 }, { 23, 20 } },
        { { 25, 17 }, { 25, 17 } }, // three along y
        { { 40, 35 }, { 40, 35 } },
    };
    for (const Step& s : steps) {
        const Canvas drawn = canvas;
        square.MoveTo(s.to.x, s.to.y);
        EXPECT_EQ(square.Corner, s.corner) << s.to.x << "," << s.to.y;
        EXPECT_EQ(same(canvas, drawn), s.corner != s.to) << s.to.x << "," << s.to.y;
    }
    square.Erase();
    EXPECT_TRUE(same(canvas, before));
}

TEST(TSqr, AClickLeavesNoMarkAndDrawPutsTheOutlineBack)
{
    const Canvas before = patterned();
    Canvas canvas = before;
    {
        TSqr click(&canvas, 15, 15);
        click.Draw();
        EXPECT_TRUE(same(canvas, before));
    }
    EXPECT_TRUE(same(canvas, before));

    auto square = std::make_unique<TSqr>(&canvas, 5, 5);
    square->DrawTo({ 40, 30 });
    const Canvas outlined = canvas;
    canvas = before; // the window repainted the picture
    square->Draw();
    EXPECT_TRUE(same(canvas, outlined));
    EXPECT_EQ(canvas.penMode, PenMode::Copy);
    EXPECT_EQ(canvas.penWidth, 1);
    EXPECT_EQ(canvas.brushColor, White);
    square.reset();
    EXPECT_TRUE(same(canvas, before));
}
