// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/ChannelStats.h"
#include "analysis/AreaStudy.h"
#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace probnik;

namespace {

// The squared deviations about the truncated mean summed in a given precision, in list
// order, then divided and rooted as the program does. Used only to show that the precision
// and the order of the sum matter for a data set.
template <class Sum> float deviationSummedIn(const std::vector<int>& values)
{
    long long total = 0;
    for (const int v : values)
        total += v;
    const int mean = int(total / (long long)values.size());
    Sum squares = 0;
    for (const int v : values)
        squares = squares + Sum((v - mean) * (v - mean));
    const float variance = float(squares) / float(values.size() - 1);
    return float(std::sqrt(double(variance)));
}

std::string text(const ChannelStatistics& s)
{
    return std::to_string(s.Mean) + " " + deviationText(s.StdDev) + " "
        + coefficientText(s.VarCoef);
}

} // namespace

TEST(ChannelStatistics, WorkedExamplesAndEdgeCases)
{
    struct Case {
        std::vector<int> values;
        const char* shown; // mean, deviation and coefficient as the windows show them
    };
    const Case cases[] = {
        { { 200, 201, 203, 198 }, "200 2.160 1.08 %" }, // mean truncated, not 200.5
        { { 1, 2 }, "1 1.000 100.00 %" }, // deviation about 1, not 1.5
        { { 0, 1, 1 }, "0 1.000 0.00 %" }, // a mean of 0 has no coefficient
        { { 10, 20, 30 }, "20 10.000 50.00 %" }, // divisor n - 1
        { { 255, 0 }, "127 180.314 141.98 %" },
        { { 90, 205, 106, 206, 32 }, "127 76.092 59.91 %" }, // 59.92 with a second rounding
        { { 10, 11, 11 }, "10 1.000 10.00 %" },
        { { 0, 0, 0 }, "0 0.000 0.00 %" },
        { { 77, 77 }, "77 0.000 0.00 %" },
        { { 123 }, "0 0.000 0.00 %" }, // below two values even the mean is 0
        { {}, "0 0.000 0.00 %" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(channelStatistics(c.values)), c.shown) << c.shown;

    // To the last bit of single precision: the coefficient is worked out from the stored
    // deviation in double and rounded once, when it is stored.
    struct Exact {
        std::vector<int> values;
        float stdDev;
        float varCoef;
    };
    const Exact exact[] = {
        { { 200, 201, 203, 198 }, 2.16024684906006f, 1.08012342453003f },
        { { 90, 205, 106, 206, 32 }, 76.0920486450195f, 59.9149971008301f },
        { { 210, 242 }, 22.6274166107178f, 10.012131690979f },
        { { 0, 0, 19 }, 10.9772491455078f, 182.954147338867f },
    };
    for (const Exact& e : exact) {
        const ChannelStatistics s = channelStatistics(e.values);
        EXPECT_EQ(s.StdDev, e.stdDev) << e.varCoef;
        EXPECT_EQ(s.VarCoef, e.varCoef) << e.varCoef;
    }
}

TEST(ChannelStatistics, SquaresAreSummedInSinglePrecisionInListOrder)
{
    // Far from the mean first, so the sum passes 2^24 and later small squares round away.
    std::vector<int> values;
    for (int i = 0; i < 1500; ++i)
        values.push_back(i % 2 ? 255 : 0);
    for (int i = 0; i < 500; ++i)
        values.push_back(126 + i % 3);
    std::vector<int> reversed(values.rbegin(), values.rend());

    const float forward = deviationSummedIn<float>(values);
    const float backward = deviationSummedIn<float>(reversed);
    ASSERT_NE(forward, deviationSummedIn<double>(values));
    ASSERT_NE(forward, backward);
    EXPECT_EQ(channelStatistics(values).StdDev, forward);
    EXPECT_EQ(channelStatistics(reversed).StdDev, backward);
}

TEST(ChannelStatistics, SampleColoursKeepTheirChannelsApart)
{
    const SampleColor colors[] = { { 200, 1, 10 }, { 201, 2, 20 }, { 203, 1, 30 }, { 198, 2, 40 } };
    const ColourStatistics s = sampleStatistics(colors);
    EXPECT_EQ(s.R, channelStatistics(std::vector { 200, 201, 203, 198 }));
    EXPECT_EQ(s.G, channelStatistics(std::vector { 1, 2, 1, 2 }));
    EXPECT_EQ(s.B, channelStatistics(std::vector { 10, 20, 30, 40 }));
    EXPECT_EQ(s.B.Mean, 25);
    // One sample: everything 0, a black mean colour.
    EXPECT_EQ(sampleStatistics(std::span(colors, 1)), ColourStatistics {});
}

TEST(ChannelStatistics, AutozakresBands)
{
    struct Case {
        int mean;
        float stdDev;
        int k;
        Band band;
    };
    const Case cases[] = {
        { 10, 7.9f, 2, { 0, 24 } }, // d = 7: -4 raised to 0
        { 128, 3.0f, 100, { 0, 255 } }, { 0, 180.3f, 100, { 0, 255 } },
        { 100, 0.8f, 5, { 100, 100 } }, // d = 0
        { 100, 12.99f, 1, { 88, 112 } }, { 250, 3.5f, 2, { 244, 255 } },
        { 0, 0, 1, { 0, 0 } }, // fewer than two samples
    };
    for (const Case& c : cases)
        EXPECT_EQ(autoRange(c.mean, c.stdDev, c.k), c.band) << c.mean << " " << c.stdDev;
    EXPECT_FALSE(autoRange(10, std::numeric_limits<float>::quiet_NaN(), 2));
    EXPECT_FALSE(autoRange(10, std::numeric_limits<float>::infinity(), 2));
    EXPECT_EQ(autoRange(10, std::numeric_limits<float>::max(), 2), (Band { 0, 255 }));
}

TEST(ChannelStatistics, NumberTexts)
{
    EXPECT_EQ(deviationText(12.3456f), "12.346");
    EXPECT_EQ(deviationText(0), "0.000");
    EXPECT_EQ(deviationText(2.0625f), "2.062"); // an exact tie goes to the even digit
    EXPECT_EQ(deviationText(1000.5f), "1000.500");
    EXPECT_EQ(coefficientText(7.25f), "7.25 %");
    EXPECT_EQ(coefficientText(0), "0.00 %");
    EXPECT_EQ(coefficientText(141.979f), "141.98 %");
}

namespace {

// Two pixels in every colour that differ in all three channels.
Canvas board()
{
    Canvas c(8, 6);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            c.setPixel(x, y, rgb(10 * x, 20 * y, 5 * (x + y)));
    return c;
}

std::vector<Point> blackPoints(const Canvas& c)
{
    std::vector<Point> points;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.pixel(x, y) == Black)
                points.push_back({ x, y });
    return points;
}

} // namespace

TEST(AreaStudy, OpenBoundsCountTheRectangleWithoutItsRightColumnAndBottomRow)
{
    const Canvas source = board();
    Canvas marks(8, 6, White);
    const AreaStudy study = studyArea(source, { 2, 1, 5, 4 }, ChannelBounds {}, &marks);
    EXPECT_EQ(study.Count, 3 * 3);
    std::vector<Point> expected;
    for (int y = 1; y < 4; ++y)
        for (int x = 2; x < 5; ++x)
            expected.push_back({ x, y });
    EXPECT_EQ(blackPoints(marks), expected);
    // Red 20, 30, 40 in each row: mean 30 and deviation 10 * sqrt(6 / 8).
    EXPECT_EQ(study.Stats.R.Mean, 30);
    EXPECT_EQ(deviationText(study.Stats.R.StdDev), "8.660");
    EXPECT_EQ(study.Stats.G.Mean, 40);
    EXPECT_EQ(coefficientText(study.Stats.G.VarCoef), "43.30 %");
}

TEST(AreaStudy, BoundsAreInclusiveAndEachChannelFilters)
{
    const Canvas source = board();
    struct Case {
        ChannelBounds bounds;
        std::vector<Point> matches;
    };
    const Case cases[] = {
        { { 30, 30, 0, 255, 0, 255 },
            { { 3, 0 }, { 3, 1 }, { 3, 2 }, { 3, 3 }, { 3, 4 }, { 3, 5 } } },
        { { 30, 40, 20, 20, 0, 255 }, { { 3, 1 }, { 4, 1 } } },
        { { 0, 255, 0, 255, 25, 25 },
            { { 5, 0 }, { 4, 1 }, { 3, 2 }, { 2, 3 }, { 1, 4 }, { 0, 5 } } },
        { { 0, 255, 100, 100, 25, 25 }, { { 0, 5 } } },
        { { 31, 39, 0, 255, 0, 255 }, {} },
    };
    for (const Case& c : cases) {
        Canvas marks(8, 6, White);
        const AreaStudy study = studyArea(source, source.bounds(), c.bounds, &marks);
        EXPECT_EQ(study.Count, int(c.matches.size()));
        std::vector<Point> expected = c.matches;
        std::sort(expected.begin(), expected.end(),
            [](Point a, Point b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
        EXPECT_EQ(blackPoints(marks), expected) << c.bounds.Rmin << " " << c.bounds.Gmin;
    }
}

TEST(AreaStudy, EmptyRectanglesAndOneMatch)
{
    const Canvas source = board();
    for (const Rect r : { Rect { 3, 1, 3, 5 }, Rect { 1, 2, 7, 2 }, Rect { 5, 5, 2, 2 } }) {
        Canvas marks(8, 6, White);
        const AreaStudy study = studyArea(source, r, ChannelBounds {}, &marks);
        EXPECT_EQ(study.Count, 0);
        EXPECT_EQ(study.Stats, ColourStatistics {});
        EXPECT_TRUE(blackPoints(marks).empty());
    }
    // One match: its own values as the means, no deviation, and no division by zero.
    const AreaStudy one = studyArea(source, { 0, 0, 8, 6 }, { 70, 70, 100, 100, 0, 255 }, nullptr);
    EXPECT_EQ(one.Count, 1);
    EXPECT_EQ(one.Stats.R, (ChannelStatistics { 70, 0, 0 }));
    EXPECT_EQ(one.Stats.G, (ChannelStatistics { 100, 0, 0 }));
    EXPECT_EQ(one.Stats.B, (ChannelStatistics { 60, 0, 0 }));
}

TEST(AreaStudy, TheIntegerMeanExampleAndARectangleBeyondThePicture)
{
    Canvas source(3, 2, rgb(200, 200, 200));
    source.setPixel(0, 0, rgb(10, 0, 5));
    source.setPixel(1, 1, rgb(11, 0, 5));
    source.setPixel(2, 0, rgb(11, 0, 5));
    const ChannelBounds dark { 0, 50, 0, 255, 0, 255 };
    const AreaStudy study = studyArea(source, source.bounds(), dark, nullptr);
    EXPECT_EQ(study.Count, 3);
    EXPECT_EQ(text(study.Stats.R), "10 1.000 10.00 %");
    EXPECT_EQ(text(study.Stats.G), "0 0.000 0.00 %");

    // Beyond the raster there is nothing to read: open bounds count only the real pixels.
    Canvas marks(3, 2, White);
    EXPECT_EQ(studyArea(source, { -5, -5, 50, 50 }, ChannelBounds {}, &marks).Count, 6);
    EXPECT_EQ(blackPoints(marks).size(), 6u);
}

TEST(AreaStudy, PixelsAreTakenColumnByColumn)
{
    // Column 0 close to the mean, the rest far from it: column by column the small squares
    // enter the sum while it is small, row by row most of them round away.
    Canvas source(64, 48);
    std::vector<int> byColumn, byRow;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            source.setPixel(x, y, x == 0 ? rgb(126, 0, 0) : rgb((x + y) % 2 ? 255 : 0, 0, 0));
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 48; ++y)
            byColumn.push_back(red(source.pixel(x, y)));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            byRow.push_back(red(source.pixel(x, y)));

    const float columnwise = deviationSummedIn<float>(byColumn);
    ASSERT_NE(columnwise, deviationSummedIn<float>(byRow));
    EXPECT_EQ(
        studyArea(source, source.bounds(), ChannelBounds {}, nullptr).Stats.R.StdDev, columnwise);
}
