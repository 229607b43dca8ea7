// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Calibration.h"
#include "common/Md5.h"
#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace probnik;
using namespace probnik::calibration;

namespace {

using M3 = std::array<std::array<double, 3>, 3>;

M3 inverse(const M3& m)
{
    M3 r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = m[a][c] * m[b][d] - m[a][d] * m[b][c];
        }
    const double det = m[0][0] * r[0][0] + m[0][1] * r[1][0] + m[0][2] * r[2][0];
    for (auto& row : r)
        for (double& v : row)
            v /= det;
    return r;
}

std::array<double, 3> times(const M3& m, std::array<double, 3> v)
{
    return { m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
        m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
        m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2] };
}

// A photograph of the classic chart: `toPicture` takes chart coordinates (a patch a unit,
// patch r, c over [c + 0.1, c + 0.9] x [r + 0.1, r + 0.9], dark between) to pixels. The camera
// sees cone-like responses of the D50 XYZ (all positive for real colours), under a light
// that tilts them (white balance not matched), with its exposure, encodes them with the sRGB
// curve and adds noise of +-1.5 levels; the file says nothing of its colours, so it is read
// as sRGB.
struct Photograph {
    int width = 0, height = 0;
    std::vector<std::uint16_t> rgb;
    Corners corners;
};

Photograph photograph(const M3& toPicture, int width, int height)
{
    const M3 cones
        = { { { 0.38971, 0.68898, -0.07868 }, { -0.22981, 1.18340, 0.04641 }, { 0.0, 0.0, 1.0 } } };
    const double light[3] = { 1.05, 0.95, 1.25 };
    const double exposure = 0.9;
    const auto encode = [](double v) {
        v = std::clamp(v, 0.0, 1.0);
        return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    };
    const Chart& chart = classicChart();
    std::vector<std::array<double, 3>> patchValues;
    for (const Patch& p : chart.patches) {
        const Xyz xyz = colour::d50OfLab(
            { p.reference.L, p.reference.a, p.reference.b }, colour::ReferenceWhite::D50);
        const auto seen = times(cones, { xyz.X, xyz.Y, xyz.Z });
        std::array<double, 3> v {};
        for (int k = 0; k < 3; ++k)
            v[k] = 255.0 * encode(seen[k] * light[k] * exposure);
        patchValues.push_back(v);
    }
    Photograph ph;
    ph.width = width;
    ph.height = height;
    ph.rgb.resize(std::size_t(width) * height * 3);
    const M3 toChart = inverse(toPicture);
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto h = times(toChart, { double(x), double(y), 1.0 });
            const double u = h[0] / h[2], v = h[1] / h[2];
            const double cu = std::floor(u), cv = std::floor(v);
            std::array<double, 3> value = { 30, 30, 30 };
            if (cu >= 0 && cu < 6 && cv >= 0 && cv < 4 && u - cu > 0.1 && u - cu < 0.9
                && v - cv > 0.1 && v - cv < 0.9)
                value = patchValues[std::size_t(cv) * 6 + std::size_t(cu)];
            for (int k = 0; k < 3; ++k) {
                noise = noise * 1664525u + 1013904223u;
                const double n = (double(noise >> 8) / double(1 << 24) - 0.5) * 3.0;
                ph.rgb[(std::size_t(y) * width + x) * 3 + k]
                    = std::uint16_t(std::clamp(std::lround(value[k] + n), 1L, 254L));
            }
        }
    const double centres[4][2] = { { 0.5, 0.5 }, { 5.5, 0.5 }, { 5.5, 3.5 }, { 0.5, 3.5 } };
    for (int k = 0; k < 4; ++k) {
        const auto p = times(toPicture, { centres[k][0], centres[k][1], 1.0 });
        ph.corners[k] = { p[0] / p[2], p[1] / p[2] };
    }
    return ph;
}

// Hands the squares to a sink as a reader does: row by row, every other row from its end.
std::vector<SquareMean> measure(const Photograph& ph, const Placement& placement)
{
    SquareSink sink(placement.squares.size());
    FilePixelsInfo info;
    info.width = ph.width;
    info.height = ph.height;
    sink.begin(info);
    std::vector<std::uint16_t> reversed;
    for (std::size_t i = 0; i < placement.squares.size(); ++i) {
        const Rect& r = placement.squares[i];
        for (int y = r.Top; y < r.Bottom; ++y) {
            PixelRun run;
            run.region = i;
            run.y = y;
            run.count = r.width();
            const std::uint16_t* row = &ph.rgb[(std::size_t(y) * ph.width + r.Left) * 3];
            if (y % 2) {
                reversed.clear();
                for (int x = r.width() - 1; x >= 0; --x)
                    reversed.insert(reversed.end(), row + 3 * x, row + 3 * x + 3);
                run.x = r.Right - 1;
                run.dx = -1;
                run.values = reversed.data();
            } else {
                run.x = r.Left;
                run.values = row;
            }
            sink.run(run);
        }
    }
    return sink.means();
}

Result<Fit> fitPhotograph(const Photograph& ph)
{
    const Chart& chart = classicChart();
    auto placement = placePatches(ph.corners, chart, { ph.width, ph.height });
    if (!placement)
        return placement.error();
    const auto means = measure(ph, placement.value());
    const colour::LabConverter converter(
        colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb), colour::ReferenceWhite::D50);
    const auto xyz = xyzOfMeans(means, converter);
    const auto clipped = std::make_unique<bool[]>(means.size());
    for (std::size_t i = 0; i < means.size(); ++i)
        clipped[i] = means[i].clipped;
    return fitChart(chart, xyz, std::span<const bool>(clipped.get(), means.size()));
}

const M3 Straight = { { { 70, 0, 30 }, { 0, 70, 30 }, { 0, 0, 1 } } };
// Turned, sheared and seen at an angle: the far side of the chart is smaller.
const M3 Angled = { { { 62, 9, 40 }, { -6, 58, 60 }, { 0.012, 0.03, 1 } } };

std::string errorOf(const std::function<std::optional<Error>()>& attempt)
{
    const auto e = attempt();
    return e ? e->message : std::string("(bez błędu)");
}

template <class T> std::optional<Error> failure(const Result<T>& r)
{
    if (r)
        return std::nullopt;
    return r.error();
}

// A CGATS file of the classic chart's values; `format` the field names.
std::string cgats(const std::string& format, int sets, bool xyz, const std::string& eol = "\n")
{
    std::string text = "CGATS.17" + eol + "ORIGINATOR \"Probnik # test\"" + eol + "# a comment"
        + eol + "NUMBER_OF_FIELDS 5" + eol + "BEGIN_DATA_FORMAT" + eol + format + eol
        + "END_DATA_FORMAT" + eol + "NUMBER_OF_SETS " + std::to_string(sets) + eol + "BEGIN_DATA"
        + eol;
    for (int i = 0; i < sets; ++i) {
        const Patch& p = classicChart().patches[std::size_t(i % 24)];
        double v[3] = { p.reference.L, p.reference.a, p.reference.b };
        if (xyz) {
            const Xyz x = colour::d50OfLab({ v[0], v[1], v[2] }, colour::ReferenceWhite::D50);
            v[0] = x.X * 100;
            v[1] = x.Y * 100;
            v[2] = x.Z * 100;
        }
        text += std::to_string(i + 1) + " \"" + p.englishName + "\" " + std::to_string(v[0]) + " "
            + std::to_string(v[1]) + eol + "  " + std::to_string(v[2]) + eol;
    }
    return text + "END_DATA" + eol;
}

} // namespace

// A photographed chart, straight or at an angle, calibrates to a mean dE00 under 0.5, and a
// patch covered by a foreign colour stands out of the report.
TEST(Calibration, FitsPhotographedCharts)
{
    struct Case {
        const char* name;
        const M3* toPicture;
        int width, height;
        int covered; // the patch under a foreign colour, or -1
    };
    const Case cases[] = {
        { "prosto", &Straight, 500, 340, -1 },
        { "pod kątem", &Angled, 520, 360, -1 },
        { "pod kątem, pole zasłonięte", &Angled, 520, 360, 7 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Photograph ph = photograph(*c.toPicture, c.width, c.height);
        if (c.covered >= 0) {
            auto placement = placePatches(ph.corners, classicChart(), { ph.width, ph.height });
            ASSERT_TRUE(placement);
            const Rect r = placement.value().squares[std::size_t(c.covered)];
            for (int y = r.Top - 2; y < r.Bottom + 2; ++y)
                for (int x = r.Left - 2; x < r.Right + 2; ++x) {
                    std::uint16_t* px = &ph.rgb[(std::size_t(y) * ph.width + x) * 3];
                    px[0] = 70, px[1] = 190, px[2] = 60;
                }
        }
        const auto fit = fitPhotograph(ph);
        ASSERT_TRUE(fit) << fit.error().message;
        const Fit& f = fit.value();
        EXPECT_EQ(f.used, 24);
        EXPECT_GT(f.before.mean, 5.0); // the camera's colours are far off before
        if (c.covered < 0) {
            EXPECT_LT(f.after.mean, 0.5);
            EXPECT_LT(f.after.largest, 1.5);
        } else {
            const auto worst = std::max_element(
                f.patches.begin(), f.patches.end(), [](const PatchReport& a, const PatchReport& b) {
                    return a.deltaE00Corrected < b.deltaE00Corrected;
                });
            EXPECT_EQ(worst - f.patches.begin(), c.covered);
            EXPECT_GT(worst->deltaE00Corrected, 20.0);
            EXPECT_LT(f.after.median, 1.0);
        }

        // The correction of a later reading at either white is the fit's own.
        for (std::size_t i = 0; i < f.patches.size(); i += 5) {
            const PatchReport& p = f.patches[i];
            const Lab d50 = correct(f.matrix, p.measured, colour::ReferenceWhite::D50);
            EXPECT_NEAR(d50.L, p.corrected.L, 1e-6);
            EXPECT_NEAR(d50.a, p.corrected.a, 1e-6);
            EXPECT_NEAR(d50.b, p.corrected.b, 1e-6);
            const Xyz measured = colour::d50OfLab(
                { p.measured.L, p.measured.a, p.measured.b }, colour::ReferenceWhite::D50);
            const colour::Lab at65 = colour::labOfD50(measured, colour::ReferenceWhite::D65);
            const colour::Lab want
                = colour::labOfD50(f.matrix.apply(measured), colour::ReferenceWhite::D65);
            const Lab d65
                = correct(f.matrix, { at65.L, at65.a, at65.b }, colour::ReferenceWhite::D65);
            EXPECT_NEAR(d65.L, want.L, 1e-6);
            EXPECT_NEAR(d65.a, want.a, 1e-6);
            EXPECT_NEAR(d65.b, want.b, 1e-6);
        }
    }
}

TEST(Calibration, ReadsCgats)
{
    const Patch& white = classicChart().patches[18];
    struct Case {
        const char* name;
        std::string text;
        int rows, columns;
        std::size_t check; // the patch compared
        const char* id;
        const char* sampleName;
        Lab lab;
    };
    const Lab orange = classicChart().patches[6].reference;
    const Case cases[] = {
        { "Lab, LF", cgats("SAMPLE_ID SAMPLE_NAME LAB_L LAB_A LAB_B", 24, false), 4, 6, 6, "7",
            "Orange", orange },
        { "Lab, CR LF, pola w innej kolejności",
            cgats("SAMPLE_ID SAMPLE_NAME LAB_L LAB_A LAB_B", 24, false, "\r\n"), 4, 6, 18, "19",
            "White 9.5", white.reference },
        { "XYZ (Y bieli 100) do Lab D50",
            cgats("SAMPLE_ID SAMPLE_NAME XYZ_X XYZ_Y XYZ_Z", 24, true), 4, 6, 18, "19", "White 9.5",
            white.reference },
        { "więcej pól niż trzeba: pierwsze",
            cgats("SAMPLE_ID SAMPLE_NAME LAB_L LAB_A LAB_B", 30, false), 3, 4, 11, "12",
            "Orange yellow", classicChart().patches[11].reference },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto chart = readCgats(c.text, c.rows, c.columns, "wzorzec.txt");
        ASSERT_TRUE(chart) << chart.error().message;
        ASSERT_EQ(chart.value().patches.size(), std::size_t(c.rows * c.columns));
        const Patch& p = chart.value().patches[c.check];
        EXPECT_EQ(p.id, c.id);
        EXPECT_EQ(p.name, c.sampleName);
        // The values are written with six decimals.
        EXPECT_NEAR(p.reference.L, c.lab.L, 1e-4);
        EXPECT_NEAR(p.reference.a, c.lab.a, 1e-4);
        EXPECT_NEAR(p.reference.b, c.lab.b, 1e-4);
    }
}

// Bad input is refused with a message naming what is wrong.
TEST(Calibration, RefusesBadInput)
{
    const Photograph ph = photograph(Straight, 500, 340);
    const Size size { ph.width, ph.height };
    const Chart& chart = classicChart();
    const auto place = [&](Corners c, Size s) { return failure(placePatches(c, chart, s)); };
    const std::string lab = "SAMPLE_ID SAMPLE_NAME LAB_L LAB_A LAB_B";
    const auto read = [](const std::string& text, int rows = 4, int columns = 6) {
        return failure(readCgats(text, rows, columns));
    };
    std::vector<Xyz> measured;
    for (const Patch& p : chart.patches)
        measured.push_back(colour::d50OfLab(
            { p.reference.L * 0.9, p.reference.a, p.reference.b }, colour::ReferenceWhite::D50));
    bool clippedAllButTwo[24];
    bool none[24];
    std::fill(std::begin(clippedAllButTwo), std::end(clippedAllButTwo), true);
    clippedAllButTwo[3] = clippedAllButTwo[9] = false;
    std::fill(std::begin(none), std::end(none), false);
    const std::vector<Xyz> alike(24, measured[5]);
    Corners crossed = ph.corners;
    std::swap(crossed[2], crossed[3]);
    Corners onALine = ph.corners;
    onALine[2] = { (onALine[1].x + onALine[3].x) / 2, (onALine[1].y + onALine[3].y) / 2 };
    Corners same = ph.corners;
    same[1] = same[0];
    Corners nearEdge = ph.corners;
    for (PointF& p : nearEdge)
        p.x -= 60;

    struct Case {
        const char* name;
        std::function<std::optional<Error>()> attempt;
        const char* message;
    };
    const Case cases[] = {
        { "narożniki w złej kolejności", [&] { return place(crossed, size); },
            "nie tworzą czworokąta wypukłego" },
        { "trzy narożniki na prostej", [&] { return place(onALine, size); },
            "nie tworzą czworokąta wypukłego" },
        { "dwa narożniki w jednym miejscu", [&] { return place(same, size); },
            "nie tworzą czworokąta wypukłego" },
        { "kwadrat poza obrazem", [&] { return place(nearEdge, size); },
            "Kwadrat pomiaru pola A1 (Ciemna skóra) wychodzi poza obraz" },
        { "kwadrat za prawym brzegiem",
            [&] {
                return place(ph.corners, { 420, 340 });
            },
            "pola A6 (Niebieskawa zieleń) wychodzi poza obraz" },
        { "bez SAMPLE_ID",
            [&] { return read(cgats("NR SAMPLE_NAME LAB_L LAB_A LAB_B", 24, false)); },
            "brak pola: SAMPLE_ID" },
        { "bez LAB_B",
            [&] { return read(cgats("SAMPLE_ID SAMPLE_NAME LAB_L LAB_A LAB", 24, false)); },
            "brak pól: LAB_B" },
        { "XYZ bez XYZ_Z",
            [&] { return read(cgats("SAMPLE_ID SAMPLE_NAME XYZ_X XYZ_Y Z", 24, true)); },
            "brak pól: XYZ_Z" },
        { "ani Lab, ani XYZ", [&] { return read(cgats("SAMPLE_ID SAMPLE_NAME R G B", 24, false)); },
            "brak pól: LAB_L, LAB_A, LAB_B (ani XYZ_X, XYZ_Y, XYZ_Z)" },
        { "bez END_DATA",
            [&] {
                std::string t = cgats(lab, 24, false);
                return read(t.substr(0, t.find("END_DATA\n", t.find("BEGIN_DATA\n"))));
            },
            "brak END_DATA" },
        { "za mało pól", [&] { return read(cgats(lab, 20, false)); },
            "jest 20 pól, a 4 × 6 wymaga 24" },
        { "wartość nie jest liczbą",
            [&] {
                std::string t = cgats(lab, 24, false);
                return read(t.replace(t.find("37.54"), 5, "37,54"));
            },
            "„37,540000” nie jest liczbą" },
        { "za mało pól nieprzyciętych",
            [&] { return failure(fitChart(chart, measured, clippedAllButTwo)); },
            "nieprzyciętych jest 2 z 24, potrzeba co najmniej 3" },
        { "wszystkie pola jednakowe", [&] { return failure(fitChart(chart, alike, none)); },
            "zbyt podobne" },
        { "plik kalibracji obcy", [&] { return failure(parseCalibration("[Kalibracja]\n")); },
            "To nie jest plik kalibracji Probnika" },
        { "plik kalibracji z ośmioma liczbami macierzy",
            [&] {
                return failure(
                    parseCalibration("Probnik kalibracja 1\nmacierz = 1 0 0 0 1 0 0 0\n"));
            },
            "wiersz 2 („macierz”): oczekiwano 9 liczb, jest 8" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NE(errorOf(c.attempt).find(c.message), std::string::npos) << errorOf(c.attempt);
    }
}

// What is kept of a fit reads back as written, and the report CSV has its lines.
TEST(Calibration, KeepsTheCalibrationAndTheReport)
{
    const auto fit = fitPhotograph(photograph(Angled, 520, 360));
    ASSERT_TRUE(fit);
    const auto profile = colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb);
    const Calibration kept
        = calibrationOf(fit.value(), classicChart(), profile, colour::ReferenceWhite::D65);
    EXPECT_EQ(kept.profileId.size(), 32u);
    EXPECT_EQ(
        kept.profileId, colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb).identifier());

    const auto file = std::filesystem::temp_directory_path() / "probnik-kalibracja-test.txt";
    ASSERT_FALSE(saveCalibration(file, kept));
    const auto read = loadCalibration(file);
    std::filesystem::remove(file);
    ASSERT_TRUE(read) << read.error().message;
    const Calibration& back = read.value();
    EXPECT_EQ(back.matrix.m, kept.matrix.m);
    EXPECT_EQ(back.white, colour::ReferenceWhite::D65);
    EXPECT_EQ(back.chartName, kept.chartName);
    EXPECT_EQ(back.profileId, kept.profileId);
    EXPECT_EQ(back.date, kept.date);
    ASSERT_EQ(back.reference.size(), 24u);
    EXPECT_EQ(back.reference[23].name, "Czarny 2");
    EXPECT_EQ(back.reference[23].reference, classicChart().patches[23].reference);
    EXPECT_NEAR(back.after.mean, kept.after.mean, 5e-5);

    std::ostringstream csv;
    ASSERT_FALSE(writeReportCsv(csv, fit.value(), ";"));
    const std::string text = csv.str();
    EXPECT_EQ(
        text.rfind("\xEF\xBB\xBFPole;L*ref;a*ref;b*ref;L*;a*;b*;L*kal;a*kal;b*kal;dE00;dE00kal\r\n"
                   "A1;37.5400;14.3700;14.9200;",
            0),
        0u);
    const std::string last = "Największa;;;;;;;;;;" + fourDecimals(fit.value().before.largest) + ";"
        + fourDecimals(fit.value().after.largest) + "\r\n";
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_NE(text.find("\r\nŚrednia;;;;;;;;;;"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 24 + 3);
}

TEST(Calibration, Md5AsIccIdentifiesProfiles)
{
    struct Case {
        std::string text;
        const char* digest;
    };
    const Case cases[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a" },
    };
    for (const Case& c : cases) {
        const auto digest
            = md5({ reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size() });
        EXPECT_EQ(hexDigits(digest), c.digest) << c.text;
    }
}
