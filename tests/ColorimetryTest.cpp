// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Colorimetry.h"
#include "analysis/Reference.h"
#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

using namespace probnik;
using namespace probnik::lab;

namespace {

void expectLabNear(Lab actual, Lab expected, double tolerance, const std::string& what)
{
    EXPECT_NEAR(actual.L, expected.L, tolerance) << what;
    EXPECT_NEAR(actual.a, expected.a, tolerance) << what;
    EXPECT_NEAR(actual.b, expected.b, tolerance) << what;
}

} // namespace

// The published CIEDE2000 test data of Sharma, Wu and Dalal (2005), four decimals; pairs 7 to
// 16 are the hue-angle edge cases (achromatic, mean hue and hue difference across 0/360).
TEST(Colorimetry, DeltaE00MatchesSharmaWuDalal)
{
    struct Pair {
        Lab x, y;
        double dE00;
    };
    const Pair pairs[] = {
        { { 50.0000, 2.6772, -79.7751 }, { 50.0000, 0.0000, -82.7485 }, 2.0425 },
        { { 50.0000, 3.1571, -77.2803 }, { 50.0000, 0.0000, -82.7485 }, 2.8615 },
        { { 50.0000, 2.8361, -74.0200 }, { 50.0000, 0.0000, -82.7485 }, 3.4412 },
        { { 50.0000, -1.3802, -84.2814 }, { 50.0000, 0.0000, -82.7485 }, 1.0000 },
        { { 50.0000, -1.1848, -84.8006 }, { 50.0000, 0.0000, -82.7485 }, 1.0000 },
        { { 50.0000, -0.9009, -85.5211 }, { 50.0000, 0.0000, -82.7485 }, 1.0000 },
        { { 50.0000, 0.0000, 0.0000 }, { 50.0000, -1.0000, 2.0000 }, 2.3669 },
        { { 50.0000, -1.0000, 2.0000 }, { 50.0000, 0.0000, 0.0000 }, 2.3669 },
        { { 50.0000, 2.4900, -0.0010 }, { 50.0000, -2.4900, 0.0009 }, 7.1792 },
        { { 50.0000, 2.4900, -0.0010 }, { 50.0000, -2.4900, 0.0010 }, 7.1792 },
        { { 50.0000, 2.4900, -0.0010 }, { 50.0000, -2.4900, 0.0011 }, 7.2195 },
        { { 50.0000, 2.4900, -0.0010 }, { 50.0000, -2.4900, 0.0012 }, 7.2195 },
        { { 50.0000, -0.0010, 2.4900 }, { 50.0000, 0.0009, -2.4900 }, 4.8045 },
        { { 50.0000, -0.0010, 2.4900 }, { 50.0000, 0.0010, -2.4900 }, 4.8045 },
        { { 50.0000, -0.0010, 2.4900 }, { 50.0000, 0.0011, -2.4900 }, 4.7461 },
        { { 50.0000, 2.5000, 0.0000 }, { 50.0000, 0.0000, -2.5000 }, 4.3065 },
        { { 50.0000, 2.5000, 0.0000 }, { 73.0000, 25.0000, -18.0000 }, 27.1492 },
        { { 50.0000, 2.5000, 0.0000 }, { 61.0000, -5.0000, 29.0000 }, 22.8977 },
        { { 50.0000, 2.5000, 0.0000 }, { 56.0000, -27.0000, -3.0000 }, 31.9030 },
        { { 50.0000, 2.5000, 0.0000 }, { 58.0000, 24.0000, 15.0000 }, 19.4535 },
        { { 50.0000, 2.5000, 0.0000 }, { 50.0000, 3.1736, 0.5854 }, 1.0000 },
        { { 50.0000, 2.5000, 0.0000 }, { 50.0000, 3.2972, 0.0000 }, 1.0000 },
        { { 50.0000, 2.5000, 0.0000 }, { 50.0000, 1.8634, 0.5757 }, 1.0000 },
        { { 50.0000, 2.5000, 0.0000 }, { 50.0000, 3.2592, 0.3350 }, 1.0000 },
        { { 60.2574, -34.0099, 36.2677 }, { 60.4626, -34.1751, 39.4387 }, 1.2644 },
        { { 63.0109, -31.0961, -5.8663 }, { 62.8187, -29.7946, -4.0864 }, 1.2630 },
        { { 61.2901, 3.7196, -5.3901 }, { 61.4292, 2.2480, -4.9620 }, 1.8731 },
        { { 35.0831, -44.1164, 3.7933 }, { 35.0232, -40.0716, 1.5901 }, 1.8645 },
        { { 22.7233, 20.0904, -46.6940 }, { 23.0331, 14.9730, -42.5619 }, 2.0373 },
        { { 36.4612, 47.8580, 18.3852 }, { 36.2715, 50.5065, 21.2231 }, 1.4146 },
        { { 90.8027, -2.0831, 1.4410 }, { 91.1528, -1.6435, 0.0447 }, 1.4441 },
        { { 90.9257, -0.5406, -0.9208 }, { 88.6381, -0.8985, -0.7239 }, 1.5381 },
        { { 6.7747, -0.2908, -2.4247 }, { 5.8714, -0.0985, -2.2286 }, 0.6377 },
        { { 2.0776, 0.0795, -1.1350 }, { 0.9033, -0.0636, -0.5514 }, 0.9082 },
    };
    int nr = 0;
    for (const Pair& p : pairs) {
        ++nr;
        EXPECT_NEAR(deltaE00(p.x, p.y), p.dE00, 0.5e-4) << "pair " << nr;
        EXPECT_NEAR(deltaE00(p.y, p.x), p.dE00, 0.5e-4) << "pair " << nr << " swapped";
    }
}

TEST(Colorimetry, KnownConversions)
{
    struct Case {
        Color rgb;
        Lab lab;
        double tolerance;
    };
    const Case cases[] = {
        { White, { 100, 0, 0 }, 1e-6 }, // the matrix puts white on the reference white
        { Black, { 0, 0, 0 }, 1e-12 },
        { rgb(255, 0, 0), { 53.24, 80.09, 67.20 }, 0.005 },
        { rgb(0, 255, 0), { 87.7347, -86.1827, 83.1793 }, 0.5e-4 },
        { rgb(0, 0, 255), { 32.2970, 79.1875, -107.8602 }, 0.5e-4 },
        { rgb(128, 128, 128), { 53.5850, 0, 0 }, 0.5e-4 },
        { rgb(200, 100, 50), { 53.6295, 36.3058, 45.3795 }, 0.5e-4 },
        // The straight parts of the transfer function and of f(t).
        { rgb(10, 20, 30), { 5.9485, -0.6687, -8.1375 }, 0.5e-4 },
        { rgb(1, 2, 3), { 0.5098, -0.1224, -0.4706 }, 0.5e-4 },
    };
    for (const Case& c : cases)
        expectLabNear(labFromColor(c.rgb), c.lab, c.tolerance, std::to_string(c.rgb));
    // Out-of-range channel values are clamped.
    EXPECT_EQ(labFromRgb(-5, 300, 0), labFromRgb(0, 255, 0));
    EXPECT_DOUBLE_EQ(deltaE76({ 50, 1, 2 }, { 53, 5, 2 }), 5.0);
}

TEST(Colorimetry, HueInEveryQuadrant)
{
    struct Case {
        double a, b, C, h;
    };
    const Case cases[] = {
        { 1, 0, 1, 0 }, { 3, 4, 5, 53.130102354156 }, { 0, 2, 2, 90 },
        { -1, 1, std::sqrt(2.0), 135 }, { -1, 0, 1, 180 }, { -1, -1, std::sqrt(2.0), 225 },
        { 0, -2, 2, 270 }, { 1, -1, std::sqrt(2.0), 315 }, { 0, 0, 0, 0 }, // achromatic
        { 1, -1e-17, 1, 0 }, // just below 360 rounds to 360, which is 0
    };
    for (const Case& c : cases) {
        const LCh lch = lchFromLab({ 40, c.a, c.b });
        EXPECT_EQ(lch.L, 40);
        EXPECT_NEAR(lch.C, c.C, 1e-12) << c.a << " " << c.b;
        EXPECT_NEAR(lch.h, c.h, 1e-9) << c.a << " " << c.b;
        EXPECT_LT(lch.h, 360);
    }
}

TEST(Colorimetry, SampleStatistics)
{
    // Grey samples: dE00 is dL / SL, SL = 1 + 0.015 (Lm - 50)^2 / sqrt(20 + (Lm - 50)^2); the
    // farthest from the mean 55 is 50, at Lm = 52.5.
    const SampleLabStatistics grey
        = sampleStatistics(std::vector<Lab> { { 50, 0, 0 }, { 60, 0, 0 }, { 55, 0, 0 } });
    EXPECT_EQ(grey.count, 3);
    expectLabNear(grey.mean, { 55, 0, 0 }, 1e-12, "grey mean");
    ASSERT_TRUE(grey.stdDev);
    expectLabNear(*grey.stdDev, { 5, 0, 0 }, 1e-12, "grey deviation");
    EXPECT_NEAR(grey.largestDeltaE00, 5 / (1 + 0.015 * 6.25 / std::sqrt(26.25)), 1e-12);

    const SampleLabStatistics chroma = sampleStatistics(
        std::vector<Lab> { { 50, 1, -3 }, { 50, 3, -1 }, { 50, 5, 1 }, { 50, 3, -1 } });
    expectLabNear(chroma.mean, { 50, 3, -1 }, 1e-12, "chroma mean");
    ASSERT_TRUE(chroma.stdDev);
    expectLabNear(*chroma.stdDev, { 0, 2 / std::sqrt(1.5), 2 / std::sqrt(1.5) }, 1e-12, "chroma");

    const SampleLabStatistics one = sampleStatistics(std::vector<Lab> { { 20, 1, 2 } });
    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(one.mean, (Lab { 20, 1, 2 }));
    EXPECT_FALSE(one.stdDev);
    EXPECT_EQ(one.largestDeltaE00, 0);
    const SampleLabStatistics none = sampleStatistics({});
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.mean, Lab {});
    EXPECT_FALSE(none.stdDev);
}

// The area's fast conversion against the exact one, colour by colour, over every fifth colour
// (each channel meets every value).
TEST(Colorimetry, AreaConversionAgreesWithTheExactOne)
{
    double worst = 0;
    for (Color c = 0; c < 1u << 24; c += 5) {
        LabAccumulator one;
        one.add(c);
        const Lab fast = one.result().mean;
        const Lab exact = labFromColor(c);
        worst = std::max({ worst, std::abs(fast.L - exact.L), std::abs(fast.a - exact.a),
            std::abs(fast.b - exact.b) });
    }
    EXPECT_LT(worst, 1e-9);
}

// A grey has no hue: a* and b* exactly 0 on both conversions, so h is 0 in the table, the
// statistics and the CSV rather than the angle of rounding noise.
TEST(Colorimetry, EveryGreyHasNoHue)
{
    std::vector<Color> greys;
    for (int v = 0; v < 256; ++v) {
        const Color grey = rgb(v, v, v);
        greys.push_back(grey);
        const Lab exact = labFromColor(grey);
        LabAccumulator area;
        area.add(grey);
        const Lab fast = area.result().mean;
        const LCh lch = lchFromLab(exact);
        EXPECT_TRUE(exact.a == 0 && exact.b == 0 && fast.a == 0 && fast.b == 0)
            << v << ": " << exact.a << " " << exact.b << " " << fast.a << " " << fast.b;
        EXPECT_EQ(lch.h, 0) << v;
        EXPECT_EQ(lch.C, 0) << v;
    }
    std::ostringstream csv;
    ASSERT_FALSE(writeCsv(csv, greys, labFromRgb(255, 255, 255), ";"));
    std::istringstream lines(csv.str());
    std::string line;
    std::getline(lines, line);
    for (int v = 0; v < 256 && std::getline(lines, line); ++v) {
        const std::string tail = ";0.0000;0.0000;0.0000;0.0000;";
        EXPECT_NE(line.find(tail), std::string::npos) << line;
    }
}

TEST(Colorimetry, AreaStatisticsMatchTheSampleStatistics)
{
    std::mt19937 random(7);
    std::vector<Color> colors(5000);
    for (Color& c : colors)
        c = random() & 0xFFFFFF;
    std::vector<Lab> labs;
    for (const Color c : colors)
        labs.push_back(labFromColor(c));
    const SampleLabStatistics expected = sampleStatistics(labs);

    LabAccumulator pieces; // fed in uneven pieces
    pieces.add(std::span(colors).first(1));
    pieces.add(std::span(colors).subspan(1, 1999));
    pieces.add(std::span(colors).subspan(2000));
    for (const LabStatistics& s : { areaStatistics(colors), pieces.result() }) {
        EXPECT_EQ(s.count, 5000);
        expectLabNear(s.mean, expected.mean, 1e-9, "mean");
        ASSERT_TRUE(s.stdDev);
        expectLabNear(*s.stdDev, *expected.stdDev, 1e-9, "deviation");
    }

    const LabStatistics plain = areaStatistics(std::vector<Color>(1000, rgb(12, 200, 77)));
    EXPECT_EQ(plain.stdDev, (Lab { 0, 0, 0 })); // exactly
    EXPECT_FALSE(areaStatistics(std::vector<Color> { Black }).stdDev);
    EXPECT_EQ(areaStatistics({}).count, 0);
}

TEST(Colorimetry, CsvFile)
{
    const std::vector<Color> samples { rgb(255, 0, 0), rgb(10, 20, 30) };
    std::ostringstream out;
    EXPECT_FALSE(writeCsv(out, samples, labFromRgb(255, 0, 0), "; "));
    EXPECT_EQ(out.str(),
        "\xEF\xBB\xBFNr; R; G; B; L*; a*; b*; C*; h; dE00\r\n"
        "1; 255; 0; 0; 53.2408; 80.0925; 67.2032; 104.5518; 39.9990; 0.0000\r\n"
        "2; 10; 20; 30; 5.9485; -0.6687; -8.1375; 8.1649; 265.3021; 52.0580\r\n"
        "Model barw: sRGB (IEC 61966-2-1), biel odniesienia D65 (Xn 95.047, Yn 100, "
        "Zn 108.883), CIE 1976 L*a*b*, \xCE\x94"
        "E00 CIEDE2000 (kL = kC = kH = 1)\r\n");

    for (const char* separator : { "", ".", "1", "-", "\r\n" }) {
        std::ostringstream unused;
        EXPECT_TRUE(writeCsv(unused, samples, {}, separator)) << separator;
    }
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_TRUE(writeCsv(failed, samples, {}, ";"));

    EXPECT_EQ(fourDecimals(-0.00004), "0.0000");
    EXPECT_EQ(fourDecimals(-1.23456), "-1.2346");
}

// What a typed reference takes: the three values when each is a number within its range,
// else which are not and why, the reference unchanged.
TEST(Colorimetry, TypedReference)
{
    const struct {
        const char *l, *a, *b;
        std::optional<Lab> lab;
        std::array<bool, 3> wrong;
    } cases[] = {
        { "53.2408", "80,0925", " 67.2032 ", Lab { 53.2408, 80.0925, 67.2032 }, {} },
        { "0", "-200", "200", Lab { 0, -200, 200 }, {} },
        { "100", ".5", "-0", Lab { 100, 0.5, 0 }, {} },
        { "100.001", "0", "0", {}, { true, false, false } },
        { "-0.5", "200.01", "-200.01", {}, { true, true, true } },
        { "50", "abc", "1e2", {}, { false, true, true } },
        { "", "0", "inf", {}, { true, false, true } },
    };
    for (const auto& c : cases) {
        const TypedReference typed = readTypedReference(c.l, c.a, c.b);
        EXPECT_EQ(typed.lab, c.lab) << c.l << " " << c.a << " " << c.b;
        EXPECT_EQ(typed.wrong, c.wrong) << c.l << " " << c.a << " " << c.b;
        EXPECT_EQ(typed.note.empty(), bool(c.lab)) << typed.note;
    }
    EXPECT_EQ(readTypedReference("50", "x", "y").note,
        "Niepoprawne a*, b* – odniesienie bez zmian. L* od 0 do 100, a* i b* od -200 do 200, np. "
        "52,5 lub -12.25.");
}
