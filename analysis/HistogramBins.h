// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "colour/LabConversion.h"
#include "common/Color.h"
#include "common/Geometry.h"
#include "picture/Canvas.h"
#include "picture/FileRegions.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The numbers of the area's histograms: how many pixels have each channel value, how many lie
// within the area study's bounds, and how high a bin is drawn.
//
// Bins are whole values, bin k holding the values that round to k: 256 for each of R, G and B
// (a file's 16-bit values binned by the 8-bit value the box shows for them), 101 for L*
// (0 to 100), 151 for C* (0 to 150, the last one holding every C* above too) and 360 for h
// (1 degree each, 359.5 and above going to 0). A pixel without chroma has no hue: it is
// counted apart, not in bin 0.
namespace probnik::histogram {

constexpr int ChannelLevels = 256;
constexpr int LightnessBins = 101;
constexpr int ChromaBins = 151;
constexpr int HueBins = 360;
// Below this C* the a*, b* are a profile's rounding noise, as the colorimetry takes them.
constexpr double HuelessChroma = 1e-4;

using Bins = std::vector<std::uint64_t>;

struct RgbHistogram {
    std::array<Bins, 3> channels { Bins(ChannelLevels), Bins(ChannelLevels),
        Bins(ChannelLevels) }; // R, G, B
    std::uint64_t pixels = 0;
    // The pixels with some channel at 0 or at the depth's maximum.
    std::uint64_t clipped = 0;

    // An 8-bit pixel.
    void add(Color c)
    {
        const int r = red(c), g = green(c), b = blue(c);
        ++channels[0][std::size_t(r)];
        ++channels[1][std::size_t(g)];
        ++channels[2][std::size_t(b)];
        ++pixels;
        if (r == 0 || g == 0 || b == 0 || r == 255 || g == 255 || b == 255)
            ++clipped;
    }
    // count pixels of R, G, B values each at `depth` bits (8: 0 to 255, 16: 0 to 65535).
    void add(const std::uint16_t* values, int count, int depth);
    // Another histogram's pixels too.
    void merge(const RgbHistogram& other);
};

struct LchHistogram {
    Bins L = Bins(LightnessBins);
    Bins C = Bins(ChromaBins);
    Bins h = Bins(HueBins);
    std::uint64_t pixels = 0;
    std::uint64_t hueless = 0; // counted in L and C, not in h

    void add(colour::Lab lab);
};

// The pixels of area (Right and Bottom excluded) within source, the ones the area study visits.
RgbHistogram screenHistogram(const Canvas& source, Rect area);

// The picture's values at 16 bits as the main window keeps them: R, G, B of each pixel of its
// display box, row by row; empty for pictures of 8 bits or fewer.
struct DeepValues {
    const std::vector<std::uint16_t>* values = nullptr;
    Rect box;
};

// The L*, C*, h of the same pixels through converter; where deep holds a pixel and converter is
// made for 16 bits (`converterBits`), from its 16-bit values, as the colorimetry measures the
// area.
LchHistogram screenLch(const Canvas& source, Rect area, const colour::LabConverter& converter,
    int converterBits, const DeepValues& deep);

// Bins the file's own pixels as a region reader hands them over; the L*, C*, h too when given
// a converter, which must outlive the sink.
class HistogramSink : public PixelSink {
public:
    HistogramSink() = default;
    HistogramSink(const colour::LabConverter* converter, int converterBits)
        : m_converter(converter)
        , m_converterBits(converterBits)
    {
    }

    void begin(const FilePixelsInfo& info) override;
    void run(const PixelRun& run) override;

    const RgbHistogram& rgb() const { return m_rgb; }
    const LchHistogram& lch() const { return m_lch; }
    int depth() const { return m_depth; }

private:
    RgbHistogram m_rgb;
    LchHistogram m_lch;
    const colour::LabConverter* m_converter = nullptr;
    int m_converterBits = 8;
    int m_depth = 8;
    std::vector<colour::Lab> m_lab;
    std::vector<Color> m_colours;
    std::vector<std::uint16_t> m_grey;
};

// The bins within min..max (inclusive) and the rest; min above max leaves none within.
struct Split {
    std::uint64_t inside = 0;
    std::uint64_t outside = 0;
};
Split split(std::span<const std::uint64_t> bins, int min, int max);

// How a bin's count is drawn: as it is, or as log10(1 + count), so that an empty bin stays at
// the bottom and one pixel still shows above it.
enum class Scale { Linear, Logarithmic };
double height(std::uint64_t count, Scale scale);

// The marks of a logarithmic axis up to the highest count: 1, 10, 100, ... at the height a bin
// of that count is drawn, up to the first power of ten at or above it.
struct Tick {
    double at = 0;
    std::string label;
};
std::vector<Tick> logTicks(std::uint64_t highest);

// The share of clipped pixels as the window writes it: "0.25 %", two decimals; "–" without
// pixels.
std::string clippedShare(std::uint64_t clipped, std::uint64_t pixels);

} // namespace probnik::histogram
