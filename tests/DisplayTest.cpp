// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Display.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>

using namespace probnik;
using namespace probnik::display;

namespace {

// Window-sized rasters whose pixels tell where they came from: never white, and the two
// never agree.
Color screenPixel(int x, int y)
{
    return rgb(x, y, (x >> 8) | (y >> 8) << 2);
}
Color surfacePixel(int x, int y)
{
    return screenPixel(x, y) | 0x400000;
}

Canvas window(Color (*pixel)(int, int))
{
    Canvas c(ScreenCopyWidth, ScreenCopyHeight);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            c.setPixel(x, y, pixel(x, y));
    return c;
}

enum Source { Screen, Surface, None, Kept };

} // namespace

TEST(Display, BoxKeepsTheProportionsWithTheLongSide400)
{
    struct Case {
        int w, h;
        Rect box;
    };
    const Case cases[] = {
        { 300, 600, { 10, 50, 210, 450 } },
        { 600, 300, { 10, 50, 410, 250 } },
        { 500, 500, { 10, 50, 410, 450 } },
        { 1, 1, { 10, 50, 410, 450 } },
        { 401, 1, { 10, 50, 410, 50 } },
        { 1, 401, { 10, 50, 10, 450 } },
        { 395, 400, { 10, 50, 405, 450 } },
        { 3, 7, { 10, 50, 181, 450 } }, // 171.43 truncated
        { 2000000000, 1999999999, { 10, 50, 410, 449 } }, // the product needs 64 bits
        { 1999999999, INT_MAX, { 10, 50, 382, 450 } },
        { 0, 5, {} },
        { 5, 0, {} },
        { -4, 3, {} },
        { 3, -4, {} },
        { INT_MIN, INT_MIN, {} },
    };
    for (const Case& t : cases)
        EXPECT_EQ(displayBox(t.w, t.h), t.box) << t.w << " x " << t.h;
}

TEST(Display, GridInvertsTenColumnsAndTenRows)
{
    struct Case {
        Rect box;
        std::set<int> columns, rows; // inverted once each; crossings are inverted twice
    };
    const Case cases[] = {
        { { 10, 50, 405, 450 }, { 10, 49, 88, 127, 166, 205, 244, 283, 322, 361 },
            { 50, 90, 130, 170, 210, 250, 290, 330, 370, 410 } },
        { { 10, 50, 410, 250 }, { 10, 50, 90, 130, 170, 210, 250, 290, 330, 370 },
            { 50, 70, 90, 110, 130, 150, 170, 190, 210, 230 } },
        { { 10, 50, 410, 50 }, {}, {} }, // ten lines on one row cancel out
        { {}, {}, {} },
    };
    for (const Case& t : cases) {
        Canvas surface = window(surfacePixel);
        surface.penColor = rgb(0, 0, 0);
        drawGrid(surface, t.box);
        EXPECT_EQ(surface.penMode, PenMode::NotXor);
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x) {
                const bool inBox
                    = x >= t.box.Left && x < t.box.Right && y >= t.box.Top && y < t.box.Bottom;
                const bool inverted = inBox && (t.columns.count(x) != t.rows.count(y));
                const Color was = surfacePixel(x, y);
                ASSERT_EQ(surface.pixel(x, y), inverted ? ~was & 0xFFFFFF : was) << x << "," << y;
            }
        drawGrid(surface, t.box);
        EXPECT_EQ(surface.pixel(t.box.Left, t.box.Top), surfacePixel(t.box.Left, t.box.Top));
        EXPECT_EQ(surface.pixel(361, 100), surfacePixel(361, 100));
    }
}

TEST(Display, ColourAtReadsScreenCopyOnlyStrictlyInsideTheBox)
{
    const Canvas surface = window(surfacePixel);
    const Canvas screen = window(screenPixel);
    const Rect box { 10, 50, 210, 450 };
    const std::pair<Point, Source> cases[] = {
        { { 11, 51 }, Screen },
        { { 209, 449 }, Screen },
        { { 100, 300 }, Screen },
        { { 10, 300 }, Surface },
        { { 210, 300 }, Surface },
        { { 100, 50 }, Surface },
        { { 100, 450 }, Surface },
        { { 9, 49 }, Surface },
        { { 650, 400 }, Surface }, // the magnifier shows what the window shows
        { { 5, 5 }, Surface },
        { { -1, 60 }, None },
        { { 904, 496 }, None },
    };
    for (const auto& [p, source] : cases) {
        const Color expected = source == Screen ? screenPixel(p.x, p.y)
            : source == Surface                 ? surfacePixel(p.x, p.y)
                                                : White;
        EXPECT_EQ(colourAt(surface, screen, box, p), expected) << p.x << "," << p.y;
    }
}

TEST(Display, MapClickThroughTheMagnifierAndTheBox)
{
    struct Case {
        Point click, centre;
        Rect box;
        Point mapped;
    };
    const Rect box { 10, 50, 210, 450 };
    const Case cases[] = {
        { { 601, 351 }, { 100, 200 }, box, { 70, 170 } },
        { { 600, 350 }, { 100, 200 }, box, { 70, 170 } },
        { { 660, 410 }, { 100, 200 }, box, { 100, 200 } }, // the centre, at magnifier (60, 60)
        { { 700, 450 }, { 100, 200 }, box, { 120, 220 } },
        { { 650, 400 }, { 5, 5 }, box, { 0, 0 } }, // not tested against the box
        { { 599, 400 }, { 100, 200 }, box, { 0, 0 } },
        { { 701, 400 }, { 100, 200 }, box, { 0, 0 } },
        { { 650, 451 }, { 100, 200 }, box, { 0, 0 } }, { { 650, 400 }, { 0, 0 }, box, { 0, 0 } },
        { { 650, 400 }, { 0, 200 }, box, { 0, 0 } }, // both coordinates must be set
        { { 650, 400 }, { 0, 0 }, { 10, 50, 700, 450 }, { 650, 400 } },
        { { 10, 50 }, { 100, 200 }, box, { 10, 50 } }, // the edges count as inside
        { { 210, 450 }, { 100, 200 }, box, { 210, 450 } },
        { { 9, 100 }, { 100, 200 }, box, { 0, 0 } }, { { 211, 100 }, { 0, 0 }, box, { 0, 0 } },
        { { 100, 49 }, { 0, 0 }, box, { 0, 0 } }, { { 100, 451 }, { 0, 0 }, box, { 0, 0 } },
        { { 5, 5 }, { 0, 0 }, {}, { 0, 0 } }, // no picture yet
    };
    for (const Case& t : cases)
        EXPECT_EQ(mapClick(t.click, t.centre, t.box), t.mapped)
            << t.click.x << "," << t.click.y << " centre " << t.centre.x << "," << t.centre.y;
}

TEST(Display, MagnifierShowsFiftyPixelsSquareAtTwiceTheirSize)
{
    const Canvas surface = window(surfacePixel);
    const Canvas screen = window(screenPixel);
    struct Case {
        Point centre;
        Source source;
        Point magnifier, shows; // a magnifier pixel and the window pixel it shows
    };
    const Case cases[] = {
        { { 100, 200 }, Screen, { 0, 0 }, { 70, 170 } },
        { { 100, 200 }, Screen, { 1, 1 }, { 70, 170 } },
        { { 100, 200 }, Screen, { 59, 59 }, { 99, 199 } },
        { { 100, 200 }, Screen, { 60, 61 }, { 100, 200 } },
        { { 100, 200 }, Screen, { 99, 98 }, { 119, 219 } },
        { { 605, 355 }, Surface, { 0, 0 }, { 575, 325 } }, // the magnifier's own area
        { { 605, 355 }, Surface, { 99, 99 }, { 624, 374 } },
        { { 600, 350 }, Surface, { 2, 4 }, { 571, 322 } },
        { { 700, 450 }, Surface, { 99, 0 }, { 719, 420 } },
        { { 701, 450 }, Screen, { 0, 0 }, { 671, 420 } },
        { { 650, 349 }, Screen, { 0, 0 }, { 620, 319 } },
        { { 10, 10 }, None, { 0, 0 }, { -20, -20 } }, // beyond the window: white
        { { 10, 10 }, Screen, { 99, 99 }, { 29, 29 } },
        { { 0, 0 }, Kept, { 60, 60 }, {} }, // no centre: the old image stays
    };
    for (const Case& t : cases) {
        Canvas magnifier(MagnifierSize, MagnifierSize, WindowGrey);
        refreshMagnifier(magnifier, surface, screen, t.centre);
        const Color expected = t.source == Screen ? screenPixel(t.shows.x, t.shows.y)
            : t.source == Surface                 ? surfacePixel(t.shows.x, t.shows.y)
            : t.source == None                    ? White
                                                  : WindowGrey;
        EXPECT_EQ(magnifier.pixel(t.magnifier.x, t.magnifier.y), expected)
            << "centre " << t.centre.x << "," << t.centre.y << " at " << t.magnifier.x << ","
            << t.magnifier.y;
    }
}
