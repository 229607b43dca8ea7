// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/AbChart.h"
#include "analysis/AreaStudy.h"
#include "colour/LabConversion.h"
#include "common/Geometry.h"
#include "picture/FileRegions.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Samples and area statistics over the file's own pixels at full resolution, instead of the
// one pixel the display box shows for each screen pixel.
namespace probnik {

// What a sample of the colorimetry measures: the screen pixel itself, the block of file pixels
// the screen pixel stands for, or N x N file pixels centred on the file pixel it shows.
enum class SampleKind { Screen, Block, Square };
struct SampleMode {
    SampleKind kind = SampleKind::Screen;
    int side = 0; // N of a square, else 0
    bool fromFile() const { return kind != SampleKind::Screen; }
    friend constexpr bool operator==(const SampleMode&, const SampleMode&) = default;
};
inline constexpr std::array<int, 6> SquareSides = { 3, 5, 9, 15, 31, 61 };

// Every mode in the order the window lists them: the screen pixel, the block, the squares.
std::vector<SampleMode> sampleModes();
// The settings' text: "0", "blok" or N. Any other text reads as the screen pixel.
SampleMode sampleModeFromText(std::string_view text);
std::string sampleModeText(SampleMode mode);
// The mode in words, for the window and the CSV file.
std::string sampleModeCaption(SampleMode mode);

// Where the area statistics come from: the screen pixels studied or every file pixel behind
// them. The settings' text: "ekran" or "plik"; any other text reads as "ekran".
enum class AreaSource { Screen, File };
AreaSource areaSourceFromText(std::string_view text);
std::string_view areaSourceText(AreaSource source);

// The box shows a picture of `picture` pixels along a side in `box` pixels, its pixel i being
// the picture's i * picture / box. The pixels it stands for run from there up to the next box
// pixel's: so the blocks of a side's box pixels lie side by side, each holding the pixel shown,
// and cover the side. Where the box is the larger, a block is the one pixel shown.
struct Stretch {
    int first = 0;
    int end = 0; // exclusive
};
int shownAlong(int i, int box, int picture);
Stretch blockAlong(int i, int box, int picture);

// The file pixels a sample at box pixel `at` (0-based, inside a box of `box` size) reads in
// the mode: the block, or the square centred on the pixel shown cut by the picture's edges.
// Empty for the screen pixel or a point off the box.
Rect sampleRegion(SampleMode mode, Point at, Size box, Size picture);
// The file pixels behind the box pixels of `area` (box coordinates, Right and Bottom
// exclusive, cut to the box): the union of their blocks.
Rect areaRegion(Rect area, Size box, Size picture);

// The pixels with a channel at 0 or at the top: 8-bit colours, and 16-bit R, G, B values.
std::int64_t clippedCount(std::span<const Color> colours);
std::int64_t clippedCount16(std::span<const std::uint16_t> values);

// One sample measured over file pixels.
struct FileSample {
    std::int64_t count = 0; // pixels read: fewer than N x N at the picture's edges
    std::array<double, 3> mean {}; // R, G, B at the file's depth
    int depth = 8; // of the values read
    colour::Lab lab; // of the mean colour, through the profile
    std::optional<double> stdDevL; // of the pixels' L*; below two pixels none
};

// Sums each requested rectangle's pixels: their mean values and the deviation of their L*,
// through `converter`, which must outlive the sink.
class SampleSink : public PixelSink {
public:
    SampleSink(const colour::LabConverter& converter, std::size_t regions);
    void begin(const FilePixelsInfo& info) override;
    void run(const PixelRun& run) override;
    // One per rectangle, in the order asked for; a rectangle with no pixel has count 0.
    std::vector<FileSample> results() const;
    // A correction each pixel's L*a*b* goes through before its L* is summed (a calibration).
    void setCorrection(std::function<colour::Lab(const colour::Lab&)> correction)
    {
        m_correction = std::move(correction);
    }

private:
    struct Sums {
        std::int64_t count = 0;
        std::uint64_t channel[3] = {};
        double originL = 0;
        double sumL = 0;
        double squaresL = 0;
    };
    const colour::LabConverter* m_converter;
    int m_depth = 8;
    std::vector<Sums> m_sums;
    std::vector<std::uint16_t> m_values;
    std::vector<colour::Lab> m_labs;
    std::function<colour::Lab(const colour::Lab&)> m_correction;
};

// The statistics of every file pixel of an area whose 8-bit values lie within the bounds.
struct FileAreaStatistics {
    colour::LabStatistics lab;
    // Those within a tolerance of a reference, where the pass was asked to count them.
    struct Within {
        lab::Lab reference;
        double t = 0;
        lab::ToleranceCounts counts;
    };
    std::optional<Within> within;
    double clippedShare = 0; // of the pixels counted, those with a channel at 0 or at the top
};

// Sums the pixels of one rectangle (the region index is not looked at) within the bounds,
// through `converter`, which must outlive the sink.
class AreaSink : public PixelSink {
public:
    AreaSink(const colour::LabConverter& converter, const ChannelBounds& bounds);
    void begin(const FilePixelsInfo& info) override;
    void run(const PixelRun& run) override;
    FileAreaStatistics result() const;
    // Counts the pixels (corrected, where a correction is set) within dE00 t of the reference.
    void countWithin(lab::Lab reference, double t)
    {
        m_within.emplace(reference, t);
        m_withinReference = reference;
        m_withinT = t;
    }
    // A correction each pixel's L*a*b* goes through before it is summed (a calibration).
    void setCorrection(std::function<colour::Lab(const colour::Lab&)> correction)
    {
        m_correction = std::move(correction);
    }

private:
    const colour::LabConverter* m_converter;
    ChannelBounds m_bounds;
    colour::LabAccumulator m_lab;
    int m_depth = 8;
    std::int64_t m_clipped = 0;
    std::vector<Color> m_colours;
    std::vector<std::uint16_t> m_values;
    std::vector<colour::Lab> m_labs;
    std::function<colour::Lab(const colour::Lab&)> m_correction;
    std::optional<lab::ToleranceCounter> m_within;
    lab::Lab m_withinReference;
    double m_withinT = 0;
};

} // namespace probnik
