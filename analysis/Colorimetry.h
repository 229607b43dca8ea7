// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "colour/LabConversion.h"
#include "common/Color.h"
#include "common/Result.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

// The colour model of the colorimetry table:
// - A picture's 8-bit values are sRGB (IEC 61966-2-1): each is linearised by the sRGB transfer
//   function (v / 12.92 up to 0.04045, else ((v + 0.055) / 1.055)^2.4, v = value / 255).
// - Linear RGB goes to XYZ (Y of white = 100) through the matrix of the sRGB primaries scaled to
//   the reference white below, to ten decimals, so that white lands on a* = b* = 0. (The
//   four-decimal matrix printed in IEC 61966-2-1 would put white at a* 0.005, b* -0.010.)
// - Reference white D65: Xn 95.047, Yn 100, Zn 108.883.
// - CIE 1976 L*a*b* with f(t) = cbrt(t) above 216/24389, else (24389/27 t + 16) / 116.
// - C* = sqrt(a*^2 + b*^2); h in degrees, 0 <= h < 360, and h = 0 where a* = b* = 0.
// - dE*ab (1976): the Euclidean distance in L*a*b*. dE00: CIEDE2000 with kL = kC = kH = 1, in
//   the formulation of Sharma, Wu and Dalal (2005), with its hue-angle cases.
namespace probnik::lab {

struct Lab {
    double L = 0;
    double a = 0;
    double b = 0;
    friend constexpr bool operator==(const Lab&, const Lab&) = default;
};

struct LCh {
    double L = 0;
    double C = 0;
    double h = 0; // degrees, 0 <= h < 360
};

// The model in one line, for the end of the CSV file and for the window that shows the table.
inline constexpr std::string_view ColourModel
    = "Model barw: sRGB (IEC 61966-2-1), biel odniesienia D65 (Xn 95.047, Yn 100, Zn 108.883), "
      "CIE 1976 L*a*b*, ΔE00 CIEDE2000 (kL = kC = kH = 1)";

// The model of the window and the CSV file in one line: the profile and where it came from,
// the reference white, the depth of the values measured, then the L*a*b* and dE00 formulas.
std::string colourModel(
    const colour::ColourProfile& profile, colour::ReferenceWhite white, int bitsPerChannel);

// The conversion at full double precision. Channel values are clamped to 0..255.
Lab labFromRgb(int r, int g, int b);
inline Lab labFromColor(Color c)
{
    return labFromRgb(red(c), green(c), blue(c));
}
LCh lchFromLab(Lab lab);

double deltaE76(Lab x, Lab y);
double deltaE00(Lab x, Lab y);

// Count, mean and sample standard deviation (divisor n - 1) of each of L*, a*, b*, the means
// taken in L*a*b*. Without values the mean is 0, 0, 0; below two values the deviation is not
// defined and left empty (the windows show "–").
struct LabStatistics {
    std::int64_t count = 0;
    Lab mean;
    std::optional<Lab> stdDev;
};

// The statistics of the samples, with the largest dE00 of a sample from their mean Lab (0
// without samples).
struct SampleLabStatistics : LabStatistics {
    double largestDeltaE00 = 0;
};
SampleLabStatistics sampleStatistics(std::span<const Lab> samples);

// The statistics of a studied area, fed in any number of pieces in any order. Each colour is
// converted with a fast cube root that agrees with labFromRgb() to within 1e-9, so a
// 400 x 400 area takes a few milliseconds whatever its colours.
class LabAccumulator {
public:
    void add(std::span<const Color> colors);
    void add(Color c) { add(std::span<const Color>(&c, 1)); }
    LabStatistics result() const;

private:
    std::int64_t m_count = 0;
    // Sums of the differences from the first colour and of their squares: exact zero
    // deviations for a plain area and no cancellation between large sums.
    Lab m_origin;
    double m_sum[3] = {};
    double m_squares[3] = {};
};

inline LabStatistics areaStatistics(std::span<const Color> colors)
{
    LabAccumulator accumulator;
    accumulator.add(colors);
    return accumulator.result();
}

// Writes the colorimetry table as CSV: UTF-8 with a byte-order mark, CR LF line ends, the
// header Nr, R, G, B, L*, a*, b*, C*, h, dE00, one row per sample in order (Nr from 1; R, G, B
// as integers; the rest with four decimals; dE00 to `reference`), then ColourModel as the last
// line. Fails for a separator that is empty or holds a line end, a digit, a point or a minus
// sign (the numbers would run into it), and when the stream fails.
std::optional<Error> writeCsv(
    std::ostream& out, std::span<const Color> samples, Lab reference, std::string_view separator);

// The same table with each sample's channel values as shown (at the picture's depth) and its
// L*a*b* as measured, and `model` as the last line.
struct CsvSample {
    int r = 0, g = 0, b = 0;
    Lab lab;
};
std::optional<Error> writeCsv(std::ostream& out, std::span<const CsvSample> samples, Lab reference,
    std::string_view separator, std::string_view model);

// The last area study, as a line before the last: "Obszar", where its pixels came from
// ("ekran" or "plik"), their count, mean L*, a*, b*, their deviations (empty below two
// pixels), the dE00 of the mean from the reference and the share of clipped pixels in percent.
struct CsvArea {
    std::string source;
    std::int64_t count = 0;
    Lab mean;
    std::optional<Lab> stdDev;
    double clippedPercent = 0;
};
// The same table with the area line when given, and the last line made of `lastLine`'s
// parts joined by "; ": the model first, then whatever else the values depend on.
std::optional<Error> writeCsv(std::ostream& out, std::span<const CsvSample> samples, Lab reference,
    std::string_view separator, const std::optional<CsvArea>& area,
    std::span<const std::string> lastLine);

} // namespace probnik::lab
