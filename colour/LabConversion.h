// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "colour/ColourProfile.h"
#include "common/Color.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// A picture's values as L*a*b*: through the profile to XYZ relative to the ICC's D50 (relative
// colorimetric), then to the chosen reference white by Bradford adaptation, then CIE 1976
// L*a*b* with f(t) = cbrt(t) above 216/24389, else (24389/27 t + 16) / 116. Grey pixels give
// L* through the profile's curve and a* = b* = 0 exactly.
namespace probnik::colour {

struct Lab {
    double L = 0;
    double a = 0;
    double b = 0;
    friend constexpr bool operator==(const Lab&, const Lab&) = default;
};

// CIE XYZ relative to the ICC's D50, white's Y = 1: what a profile gives before the white.
struct Xyz {
    double X = 0;
    double Y = 0;
    double Z = 0;
};

enum class ReferenceWhite { D65, D50 };

// A white's X, Y, Z with Y = 100: D65 as the program has always used it, D50 as the ICC
// states it.
struct WhitePoint {
    double X, Y, Z;
};
WhitePoint whitePoint(ReferenceWhite white);
// "D65" or "D50"; any other name reads as D65.
std::string_view whiteName(ReferenceWhite white);
ReferenceWhite whiteFromName(std::string_view name);

// D50 XYZ to L*a*b* at a white and back, through the Bradford adaptation the converters use
// (labOfD50() gives what LabConverter::labOfXyz() gives for an RGB picture).
Lab labOfD50(const Xyz& d50, ReferenceWhite white);
Xyz d50OfLab(const Lab& lab, ReferenceWhite white);

// The conversion of one picture's values at one white. Matrix-and-curve profiles (and every
// grey one) are worked out once into per-channel tables, so a pixel costs three table reads
// and three cube roots; other profiles go through Little CMS a row at a time. Made once per
// picture and white: the 16-bit tables take a moment to fill.
class LabConverter {
public:
    // bitsPerChannel 8 or 16: the depth of the values given to the 16-bit functions (8-bit
    // colours are always accepted).
    LabConverter(const ColourProfile& profile, ReferenceWhite white, int bitsPerChannel = 8);

    const ColourProfile& profile() const { return m_profile; }
    ReferenceWhite white() const { return m_white; }
    // Values per pixel in the 16-bit functions: 3 (R, G, B) or 1 (grey).
    int channels() const { return m_channels; }
    // Whether the per-channel tables do the work.
    bool tableBased() const;

    // 8-bit colours; grey pixels are read from the red channel.
    Lab lab(Color c) const;
    void convert(std::span<const Color> pixels, std::span<Lab> out) const;
    // 16-bit values, channels() per pixel, one pixel's values together. Only for a converter
    // made for 16 bits.
    Lab lab16(std::span<const std::uint16_t> pixel) const;
    void convert16(std::span<const std::uint16_t> values, std::span<Lab> out) const;

    // A colour between levels, such as the mean of many pixels: channels() values (further
    // ones are not read; a grey picture's from the first) at the converter's depth, 0 to
    // 255 or 0 to 65535, fractions allowed. Through the profile at full precision, to D50
    // XYZ; then to L*a*b* at the converter's white as lab() and lab16() do, which give the
    // same at whole values.
    Xyz xyzOfMean(std::span<const double> values) const;
    Lab labOfMean(std::span<const double> values) const;
    // D50 XYZ to L*a*b* at the converter's white.
    Lab labOfXyz(const Xyz& d50) const;

    // The parts of X / Xn, Y / Yn, Z / Zn each channel value adds (RGB), or L* (grey).
    using Ratios = std::array<double, 3>;

private:
    template <class Sink> void each(std::span<const Color> pixels, Sink&& sink) const;
    template <class Sink> void each16(std::span<const std::uint16_t> values, Sink&& sink) const;
    template <class Sink>
    void throughEngine(const void* values, std::size_t count, bool sixteen, Sink&& sink) const;
    void fill(std::vector<Ratios>& table, int levels) const;

    friend class LabAccumulator;

    ColourProfile m_profile;
    const ColourProfile::Engine* m_engine;
    ReferenceWhite m_white;
    int m_channels;
    int m_bits;
    // D50 XYZ (Y = 1) to X / Xn, Y / Yn, Z / Zn at the chosen white.
    double m_adapt[3][3];
    // Per channel, levels entries each (RGB; black's share in the red table); L* per value
    // (grey).
    std::vector<Ratios> m_table8;
    std::vector<Ratios> m_table16;
};

// Count, mean and sample standard deviation (divisor n - 1) of each of L*, a*, b*.
struct LabStatistics {
    std::int64_t count = 0;
    Lab mean;
    std::optional<Lab> stdDev; // below two values none
};

// The statistics of a studied area through one converter, which must outlive it, fed in any
// number of pieces in any order.
class LabAccumulator {
public:
    explicit LabAccumulator(const LabConverter& converter)
        : m_converter(&converter)
    {
    }
    void add(std::span<const Color> pixels);
    void add16(std::span<const std::uint16_t> values);
    void add(Lab value);
    LabStatistics result() const;

private:
    const LabConverter* m_converter;
    std::int64_t m_count = 0;
    // Sums of the differences from the first value and of their squares: exact zero
    // deviations for a plain area and no cancellation between large sums.
    Lab m_origin;
    double m_sum[3] = {};
    double m_squares[3] = {};
};

} // namespace probnik::colour
