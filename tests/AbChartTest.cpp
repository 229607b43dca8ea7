// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/AbChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

using namespace probnik::lab;

// Four values at the ends of two perpendicular axes, sqrt(3/2) times the half-axes out: their
// covariance (divisor 3) is major^2 along the first axis and minor^2 along the second.
TEST(AbChart, SpreadEllipseOfKnownCovariances)
{
    constexpr double pi = std::numbers::pi;
    struct Case {
        AbPoint centre;
        double major, minor, angle;
    };
    const Case cases[] = {
        { { 0, 0 }, 3, 1, 0 },
        { { 10, -20 }, 5, 2, pi / 6 },
        { { -4, 7 }, 2, 0.5, -pi / 3 },
        { { 1, 1 }, 4, 4, 0 }, // a circle: no axis is longer, the angle stays 0
        { { 2, 3 }, 6, 0, pi / 4 }, // on one line: no spread across it
        { { 0, 0 }, 1, 0.999, pi / 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << " " << c.minor << " " << c.angle);
        const double k = std::sqrt(1.5);
        const double ua = std::cos(c.angle), ub = std::sin(c.angle);
        std::vector<Lab> values;
        for (const double sign : { 1.0, -1.0 }) {
            values.push_back(
                { 50, c.centre.a + sign * k * c.major * ua, c.centre.b + sign * k * c.major * ub });
            values.push_back(
                { 40, c.centre.a - sign * k * c.minor * ub, c.centre.b + sign * k * c.minor * ua });
        }
        const auto e = spreadEllipse(values);
        ASSERT_TRUE(e);
        EXPECT_NEAR(e->centre.a, c.centre.a, 1e-12);
        EXPECT_NEAR(e->centre.b, c.centre.b, 1e-12);
        EXPECT_NEAR(e->major, c.major, 1e-9);
        EXPECT_NEAR(e->minor, c.minor, 1e-6);
        EXPECT_NEAR(e->angle, c.angle, 1e-9);
        // Every outline point lies on the ellipse, the first at the end of the major axis.
        const auto outline = e->outline(64);
        ASSERT_EQ(outline.size(), 64U);
        EXPECT_NEAR(outline[0].a, c.centre.a + c.major * ua, 1e-9);
        EXPECT_NEAR(outline[0].b, c.centre.b + c.major * ub, 1e-9);
        if (c.minor > 0)
            for (const AbPoint& p : outline) {
                const double da = p.a - c.centre.a, db = p.b - c.centre.b;
                const double x = da * ua + db * ub, y = -da * ub + db * ua;
                EXPECT_NEAR(x * x / (c.major * c.major) + y * y / (c.minor * c.minor), 1, 1e-9);
            }
    }
    EXPECT_FALSE(spreadEllipse(std::vector<Lab> { { 50, 1, 2 } }));
    EXPECT_FALSE(spreadEllipse({}));
}

// Every contour point lies at dE00 = t; the pairs of Sharma, Wu and Dalal (2005) at one L* and
// dE00 1.0000 lie on the t = 1 contour of the first of them, in their own direction.
TEST(AbChart, ToleranceContourLiesAtDeltaE00)
{
    struct Case {
        Lab reference;
        double t;
    };
    const Case cases[] = {
        { { 50, 0, 0 }, 2 }, // neutral: no hue of its own
        { { 50, 0, -82.7485 }, 1 }, // blue, where the rotation term is strongest
        { { 50, 2.5, 0 }, 1 }, // near neutral, across the hue 0/360
        { { 90, -2, 1.5 }, 0.5 },
        { { 20, 40, 60 }, 5 },
        { { 60, -34, 36 }, 30 },
        { { 100, 0, 0 }, 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
            << c.reference.L << " " << c.reference.a << " " << c.reference.b << " t " << c.t);
        const ToleranceContour contour = toleranceContour(c.reference, c.t, 360);
        EXPECT_TRUE(contour.closed);
        ASSERT_EQ(contour.points.size(), 360U);
        double nearest = 1e9, farthest = 0;
        for (const AbPoint& p : contour.points) {
            EXPECT_NEAR(deltaE00({ c.reference.L, p.a, p.b }, c.reference), c.t, 1e-6);
            const double r = std::hypot(p.a - c.reference.a, p.b - c.reference.b);
            nearest = std::min(nearest, r);
            farthest = std::max(farthest, r);
        }
        // Not a circle: dE00 weighs chroma and hue apart.
        EXPECT_GT(farthest / nearest, 1.05);
    }

    const Lab published[][2] = {
        { { 50, 0, -82.7485 }, { 50, -1.3802, -84.2814 } },
        { { 50, 0, -82.7485 }, { 50, -1.1848, -84.8006 } },
        { { 50, 0, -82.7485 }, { 50, -0.9009, -85.5211 } },
        { { 50, 2.5, 0 }, { 50, 3.1736, 0.5854 } },
        { { 50, 2.5, 0 }, { 50, 3.2972, 0 } },
        { { 50, 2.5, 0 }, { 50, 1.8634, 0.5757 } },
        { { 50, 2.5, 0 }, { 50, 3.2592, 0.3350 } },
    };
    for (const auto& [reference, onContour] : published) {
        const double da = onContour.a - reference.a, db = onContour.b - reference.b;
        const auto r = toleranceRadius(reference, 1.0, std::atan2(db, da));
        ASSERT_TRUE(r);
        EXPECT_NEAR(*r, std::hypot(da, db), 1e-3) << onContour.a << " " << onContour.b;
    }

    // Beyond any colour's reach, and no tolerance at all: no crossing.
    EXPECT_FALSE(toleranceRadius({ 50, 0, 0 }, 100, 0));
    EXPECT_FALSE(toleranceRadius({ 50, 0, 0 }, 0, 0));
    EXPECT_FALSE(toleranceContour({ 50, 0, 0 }, 100, 8).closed);
}

// A value at exactly t is within, one a hair beyond is not; the area's counter, which skips
// values by their lightness, counts as the plain count does.
TEST(AbChart, CountsWithinTolerance)
{
    const Lab reference { 50, 2.5, 0 };
    const std::vector<Lab> values {
        { 50, 3.2972, 0 }, // dE00 1.0000
        { 73, 25, -18 }, // 27.1492
        { 50, 3.1736, 0.5854 }, // 1.0000
        { 61, -5, 29 }, // 22.8977
        reference,
    };
    struct Case {
        double t;
        std::int64_t within;
    };
    const double first = deltaE00(values[0], reference);
    const double third = deltaE00(values[2], reference);
    const double lower = std::min(first, third), upper = std::max(first, third);
    const Case cases[] = {
        { lower, first == third ? 3 : 2 },
        { std::nextafter(lower, 0.0), 1 },
        { upper, 3 },
        { 22.89, 3 },
        { 22.91, 4 },
        { 27.14, 4 },
        { 27.15, 5 },
        { 1e-9, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        const ToleranceCounts counts = countWithin(values, reference, c.t);
        EXPECT_EQ(counts.within, c.within);
        EXPECT_EQ(counts.beyond, 5 - c.within);
        ToleranceCounter counter(reference, c.t);
        counter.add(values);
        EXPECT_EQ(counter.counts().within, c.within);
        EXPECT_DOUBLE_EQ(*counter.counts().withinShare(), double(c.within) / 5);
    }
    EXPECT_FALSE(ToleranceCounts {}.withinShare());

    std::mt19937 random(22);
    std::uniform_real_distribution<double> L(0, 100), ab(-60, 60);
    for (const Lab& ref : { Lab { 50, 0, 0 }, Lab { 5, 10, -20 }, Lab { 97, -3, 40 } })
        for (const double t : { 0.5, 2.0, 10.0, 40.0 }) {
            std::vector<probnik::colour::Lab> pixels;
            std::vector<Lab> same;
            for (int i = 0; i < 5000; ++i) {
                // Half of them near the reference, so that both sides of t are crowded.
                const double spread = i % 2 ? 1.0 : 3 * t / 100;
                const Lab v { ref.L + (L(random) - 50) * spread, ref.a + ab(random) * spread,
                    ref.b + ab(random) * spread };
                same.push_back(v);
                pixels.push_back({ v.L, v.a, v.b });
            }
            ToleranceCounter counter(ref, t);
            counter.add(pixels);
            const ToleranceCounts want = countWithin(same, ref, t);
            EXPECT_EQ(counter.counts().within, want.within) << ref.L << " " << t;
            EXPECT_EQ(counter.counts().beyond, want.beyond) << ref.L << " " << t;
            EXPECT_GT(want.within, 0);
            EXPECT_GT(want.beyond, 0);
        }
}

TEST(AbChart, TypedTolerance)
{
    struct Case {
        const char* text;
        std::optional<double> t;
        const char* shown;
    };
    const Case cases[] = {
        { "2.0", 2.0, "2.0" },
        { " 2,5 ", 2.5, "2.5" },
        { "0.125", 0.125, "0.125" },
        { "100", 100.0, "100.0" },
        { ".5", 0.5, "0.5" },
        { "0.00001", 0.00001, "0.00001" },
        { "0", std::nullopt, "" },
        { "-1", std::nullopt, "" },
        { "100.01", std::nullopt, "" },
        { "1e2", std::nullopt, "" },
        { "", std::nullopt, "" },
        { "2 .0", std::nullopt, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(readTolerance(c.text), c.t);
        if (c.t) {
            EXPECT_EQ(toleranceText(*c.t), c.shown);
        }
    }
    EXPECT_EQ(toleranceLine(1.5, ToleranceCounts { 3, 1 }),
        "Tolerancja ΔE00 1.5: w tolerancji 3, poza nią 1");
}
