// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/FileSampling.h"
#include "analysis/Colorimetry.h"
#include "app/Settings.h"
#include "common/NumberText.h"
#include "picture/ShownPixels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using namespace probnik;

namespace {

// A picture held in memory, its pixels handed to a sink as a reader hands them: row by row,
// every other row backwards, only the parts inside each rectangle.
struct FakePicture {
    int width = 0;
    int height = 0;
    int depth = 8;
    std::vector<std::uint16_t> values; // R, G, B a pixel, row by row

    void read(std::span<const Rect> regions, PixelSink& sink) const
    {
        FilePixelsInfo info;
        info.width = width;
        info.height = height;
        info.depth = depth;
        info.bits = depth;
        sink.begin(info);
        std::vector<std::uint16_t> run;
        for (std::size_t r = 0; r < regions.size(); ++r) {
            const Rect a = regions[r];
            const int left = std::max(a.Left, 0), right = std::min(a.Right, width);
            for (int y = std::max(a.Top, 0); y < std::min(a.Bottom, height); ++y) {
                if (left >= right)
                    break;
                const bool back = y % 2 == 1;
                run.clear();
                for (int k = 0; k < right - left; ++k) {
                    const int x = back ? right - 1 - k : left + k;
                    const std::size_t at
                        = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
                    run.insert(run.end(), values.begin() + std::ptrdiff_t(at),
                        values.begin() + std::ptrdiff_t(at + 3));
                }
                PixelRun p;
                p.region = r;
                p.x = back ? right - 1 : left;
                p.y = y;
                p.dx = back ? -1 : 1;
                p.count = right - left;
                p.values = run.data();
                sink.run(p);
            }
        }
    }
};

} // namespace

// Along a side, the blocks of the box pixels lie side by side from the picture's first pixel to
// its last, each holding the pixel the box shows (as ShownPixels picks it), so that every file
// pixel stands behind one screen pixel; a picture smaller than its box gives each box pixel the
// one pixel it shows.
TEST(FileSampling, BlockBehindAScreenPixelFollowsTheBoxRule)
{
    struct Case {
        int picture, box, smallest, largest;
    };
    const Case cases[] = {
        { 12000, 400, 30, 30 },
        { 401, 400, 1, 2 },
        { 7, 400, 1, 1 },
        { 400, 400, 1, 1 },
        { 9000, 267, 33, 34 },
        { 1, 1, 1, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.picture) + " -> " + std::to_string(c.box));
        const ShownPixels shown(c.picture, c.picture, 1, c.box);
        std::vector<int> covered(std::size_t(c.picture), 0);
        int smallest = c.picture, largest = 0, previousEnd = 0;
        for (int i = 0; i < c.box; ++i) {
            const Stretch s = blockAlong(i, c.box, c.picture);
            const int pixel = shownAlong(i, c.box, c.picture);
            ASSERT_LE(s.first, pixel);
            ASSERT_LT(pixel, s.end);
            if (c.picture >= c.box) {
                // The box's own pick: every column it shows is a different one.
                ASSERT_EQ(shown.columns()[std::size_t(i)], pixel);
                ASSERT_EQ(s.first, previousEnd);
            }
            previousEnd = s.end;
            smallest = std::min(smallest, s.end - s.first);
            largest = std::max(largest, s.end - s.first);
            for (int x = s.first; x < s.end; ++x)
                ++covered[std::size_t(x)];
        }
        EXPECT_EQ(previousEnd, c.picture);
        EXPECT_EQ(smallest, c.smallest);
        EXPECT_EQ(largest, c.largest);
        for (const int times : covered)
            ASSERT_GE(times, 1);
    }
    // The whole box stands for the whole picture; outside the box there is nothing.
    EXPECT_EQ(areaRegion({ -5, -5, 900, 900 }, { 400, 267 }, { 12000, 8000 }),
        (Rect { 0, 0, 12000, 8000 }));
    EXPECT_EQ(areaRegion({ 10, 20, 11, 21 }, { 400, 267 }, { 12000, 8000 }),
        (Rect { 300, 599, 330, 629 }));
    EXPECT_EQ(areaRegion({ 400, 0, 500, 10 }, { 400, 267 }, { 12000, 8000 }), Rect {});
}

// Squares centred on the pixel shown, cut by the picture's edges, and the sink's count, mean
// values and L* deviation over them, whatever the order of the runs.
TEST(FileSampling, EdgeCutSquaresGiveTheirPixelsMeanAndDeviation)
{
    // 1000 x 800 in a 400 x 320 box: box pixel i shows picture pixel 2.5 i, rounded down.
    FakePicture picture { 1000, 800, 8, {} };
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const auto v = std::uint16_t((x * 7 + y * 3) % 256);
            picture.values.insert(picture.values.end(), { v, std::uint16_t(255 - v), 40 });
        }
    struct Case {
        SampleMode mode;
        Point at;
        Rect region;
    };
    const SampleMode block { SampleKind::Block, 0 };
    const auto square = [](int n) { return SampleMode { SampleKind::Square, n }; };
    const Case cases[] = {
        { square(5), { 0, 0 }, { 0, 0, 3, 3 } },
        { square(61), { 399, 319 }, { 967, 767, 1000, 800 } },
        { square(15), { 200, 160 }, { 493, 393, 508, 408 } },
        { square(9), { 1, 0 }, { 0, 0, 7, 5 } },
        { square(3), { 1, 1 }, { 1, 1, 4, 4 } },
        { block, { 1, 1 }, { 2, 2, 5, 5 } },
        { block, { 399, 0 }, { 997, 0, 1000, 2 } },
        { {}, { 1, 1 }, {} },
        { square(3), { 400, 0 }, {} },
    };
    std::vector<Rect> regions;
    for (const Case& c : cases) {
        const Rect got = sampleRegion(c.mode, c.at, { 400, 320 }, { 1000, 800 });
        EXPECT_EQ(got, c.region) << sampleModeText(c.mode) << " at " << c.at.x << "," << c.at.y;
        regions.push_back(got);
    }

    const colour::LabConverter converter(
        colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb), colour::ReferenceWhite::D65);
    SampleSink sink(converter, regions.size());
    picture.read(regions, sink);
    const std::vector<FileSample> got = sink.results();
    ASSERT_EQ(got.size(), regions.size());
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const Rect r = regions[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].count, std::int64_t(r.width()) * r.height());
        if (got[i].count == 0)
            continue;
        double sum[3] = {}, sumL = 0;
        std::vector<double> ls;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                const std::uint16_t* v
                    = &picture.values[(std::size_t(y) * 1000 + std::size_t(x)) * 3];
                for (int c = 0; c < 3; ++c)
                    sum[c] += v[c];
                ls.push_back(converter.lab(rgb(v[0], v[1], v[2])).L);
                sumL += ls.back();
            }
        const double n = double(ls.size());
        double squares = 0;
        for (const double l : ls)
            squares += (l - sumL / n) * (l - sumL / n);
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(got[i].mean[c], sum[c] / n, 1e-9);
        ASSERT_TRUE(got[i].stdDevL);
        EXPECT_NEAR(*got[i].stdDevL, std::sqrt(squares / (n - 1)), 1e-6);
        const colour::Lab mean = converter.labOfMean(got[i].mean);
        EXPECT_NEAR(got[i].lab.L, mean.L, 1e-9);
        EXPECT_NEAR(got[i].lab.b, mean.b, 1e-9);
    }
}

// The whole area counts the pixels whose 8-bit values lie within the bounds, and of them those
// with a channel at 0 or at the top of the file's depth.
TEST(FileSampling, AreaFiltersByEightBitValuesAndCountsClippedPixels)
{
    struct Case {
        const char* name;
        int depth;
        std::vector<std::uint16_t> values;
        ChannelBounds bounds;
        std::int64_t count;
        double clipped;
        std::vector<std::array<std::uint16_t, 3>> counted;
    };
    const ChannelBounds all;
    ChannelBounds noDark;
    noDark.Rmin = 5;
    ChannelBounds dimGreen;
    dimGreen.Gmax = 254;
    const Case cases[] = {
        { "8-bit, all", 8, { 0, 10, 10, 255, 9, 9, 10, 10, 10, 20, 30, 40 }, all, 4, 0.5,
            { { 0, 10, 10 }, { 255, 9, 9 }, { 10, 10, 10 }, { 20, 30, 40 } } },
        { "8-bit, R from 5", 8, { 0, 10, 10, 255, 9, 9, 10, 10, 10, 20, 30, 40 }, noDark, 3,
            1.0 / 3, { { 255, 9, 9 }, { 10, 10, 10 }, { 20, 30, 40 } } },
        // 65534 is 255 at 8 bits, so outside G up to 254, yet not clipped at 16 bits.
        { "16-bit, all", 16, { 100, 65534, 100, 100, 65535, 100, 100, 200, 300 }, all, 3, 1.0 / 3,
            { { 100, 65534, 100 }, { 100, 65535, 100 }, { 100, 200, 300 } } },
        { "16-bit, G to 254", 16, { 100, 65534, 100, 100, 65535, 100, 100, 200, 300 }, dimGreen, 1,
            0.0, { { 100, 200, 300 } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const colour::LabConverter converter(
            colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb), colour::ReferenceWhite::D65,
            c.depth);
        const FakePicture picture { int(c.values.size() / 3), 1, c.depth, c.values };
        AreaSink sink(converter, c.bounds);
        const Rect whole[] = { { 0, 0, picture.width, 1 } };
        picture.read(whole, sink);
        const FileAreaStatistics s = sink.result();
        EXPECT_EQ(s.lab.count, c.count);
        EXPECT_NEAR(s.clippedShare, c.clipped, 1e-12);
        double meanL = 0;
        for (const auto& v : c.counted)
            meanL += (c.depth == 16 ? converter.lab16(v) : converter.lab(rgb(v[0], v[1], v[2]))).L
                / double(c.counted.size());
        EXPECT_NEAR(s.lab.mean.L, meanL, 1e-9);
    }
}

// "Probka" and "Obszar" read as the modes they name, anything else as the default, and a
// file that never had them stays without them.
TEST(FileSampling, SettingsValuesNameTheModes)
{
    const std::pair<const char*, std::string> samples[] = {
        { "0", "0" },
        { "blok", "blok" },
        { "3", "3" },
        { "61", "61" },
        { "7", "0" },
        { "03", "0" },
        { "Blok", "0" },
        { "", "0" },
    };
    for (const auto& [text, mode] : samples)
        EXPECT_EQ(sampleModeText(sampleModeFromText(text)), mode) << text;
    EXPECT_EQ(sampleModes().size(), 8u);
    EXPECT_EQ(areaSourceFromText("plik"), AreaSource::File);
    EXPECT_EQ(areaSourceFromText("Plik"), AreaSource::Screen);
    EXPECT_EQ(areaSourceFromText("ekran"), AreaSource::Screen);

    const auto file = std::filesystem::temp_directory_path()
        / ("probnik-sampling-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())
            + ".ini");
    const std::string texts[] = {
        "[Kolorymetria]\nProbka=15\nObszar=plik\n",
        "[Kolorymetria]\nProbka= x\nObszar=dysk\n",
        "[DEFAULTS]\nInitialDir=\nSeparator=;\n",
    };
    for (const std::string& text : texts) {
        {
            std::ofstream(file, std::ios::binary) << text;
        }
        ASSERT_EQ(Settings::read(file).write(file), std::nullopt);
        std::ifstream in(file, std::ios::binary);
        const std::string back((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(back.find(text.substr(text.find('\n') + 1)), std::string::npos) << back;
    }
    {
        std::ofstream(file, std::ios::binary) << texts[0];
    }
    EXPECT_EQ(Settings::read(file).sampleMode(), (SampleMode { SampleKind::Square, 15 }));
    EXPECT_EQ(Settings::read(file).areaSource(), AreaSource::File);
    Settings changed;
    changed.Sample = "blok";
    ASSERT_EQ(changed.write(file), std::nullopt);
    EXPECT_EQ(Settings::read(file).sampleMode().kind, SampleKind::Block);
    EXPECT_EQ(Settings::read(file).areaSource(), AreaSource::Screen);
    std::filesystem::remove(file);
}

// After an area study the CSV file holds the area's line before the last one, and the last
// line is made of its parts.
TEST(FileSampling, CsvGainsTheAreaLine)
{
    const lab::CsvSample rows[] = { { 10, 20, 30, { 50, 1, -2 } } };
    lab::CsvArea area;
    area.source = "plik";
    area.count = 225;
    area.mean = { 50.5, 1.25, -2 };
    area.stdDev = lab::Lab { 0.5, 0.25, 0.125 };
    area.clippedPercent = 12.5;
    const std::string last[] = { "Model barw: x", "próbka: 15 × 15" };
    std::ostringstream out;
    ASSERT_EQ(lab::writeCsv(out, rows, { 50, 1, -2 }, ";", area, last), std::nullopt);
    const std::string text = out.str();
    const std::string deltaE = fourDecimals(lab::deltaE00(area.mean, { 50, 1, -2 }));
    EXPECT_NE(text.find("\r\n1;10;20;30;50.0000;1.0000;-2.0000;"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nObszar;plik;225;50.5000;1.2500;-2.0000;0.5000;0.2500;0.1250;" + deltaE
                  + ";12.5000\r\nModel barw: x; próbka: 15 × 15\r\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.size() - text.rfind("Model barw"),
        std::string("Model barw: x; próbka: 15 × 15\r\n").size());

    // One pixel has no deviation; without a study there is no line.
    area.count = 1;
    area.stdDev.reset();
    std::ostringstream one;
    ASSERT_EQ(lab::writeCsv(one, rows, { 50, 1, -2 }, ";", area, last), std::nullopt);
    EXPECT_NE(one.str().find("\r\nObszar;plik;1;50.5000;1.2500;-2.0000;;;;"), std::string::npos)
        << one.str();
    std::ostringstream none;
    ASSERT_EQ(lab::writeCsv(none, rows, { 50, 1, -2 }, ";", std::nullopt, last), std::nullopt);
    EXPECT_EQ(none.str().find("Obszar"), std::string::npos);
}

TEST(FileSampling, AreaRegionOfABoxArea)
{
    const Rect box { 10, 20, 410, 320 }; // 400 x 300 shown
    struct Case {
        const char* name;
        Rect area;
        int width, height;
        Rect expected;
    };
    const Case cases[] = {
        { "whole box, shrunk", box, 4000, 3000, { 0, 0, 4000, 3000 } },
        { "beyond the box", { 0, 0, 500, 500 }, 4000, 3000, { 0, 0, 4000, 3000 } },
        { "one box pixel, shrunk", { 11, 21, 12, 22 }, 4000, 3000, { 10, 10, 20, 20 } },
        { "one box pixel, enlarged", { 11, 21, 12, 22 }, 100, 75, { 0, 0, 1, 1 } },
        { "last box pixel, enlarged", { 409, 319, 410, 320 }, 100, 75, { 99, 74, 100, 75 } },
        { "a third, shrunk unevenly", { 10, 20, 143, 320 }, 1000, 750, { 0, 0, 332, 750 } },
        { "outside", { 0, 0, 10, 20 }, 4000, 3000, {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(areaRegion({ c.area.Left - box.Left, c.area.Top - box.Top,
                                 c.area.Right - box.Left, c.area.Bottom - box.Top },
                      { box.width(), box.height() }, { c.width, c.height }),
            c.expected)
            << c.name;
}
