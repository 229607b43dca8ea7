// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/Colorimetry.h"
#include "colour/ColourProfile.h"
#include "colour/LabConversion.h"
#include "common/Geometry.h"
#include "common/Progress.h"
#include "common/Result.h"
#include "picture/FileRegions.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Calibration against a colour chart photographed beside the object: the chart's reference
// values, where its patches lie in the picture, their measured colours, a 3 x 3 matrix on
// XYZ (D50) from measured to reference fitted to the smallest mean dE00, the report, the
// correction of any later L*a*b*, and the file that keeps a calibration.
//
// All L*a*b* of the chart and of the report are relative to D50, as the reference values
// are; correct() takes and gives L*a*b* at the white the colorimetry window measures at.
namespace probnik::calibration {

using lab::Lab;
// CIE XYZ relative to the ICC's D50, white's Y = 1.
using colour::Xyz;

// ---------------------------------------------------------------------------------------------
// The chart

struct Patch {
    // "A1" to "D6" for the built-in chart (row letter, column number); SAMPLE_ID of a CGATS
    // file.
    std::string id;
    // The Polish name ("Ciemna skóra"); a CGATS file's SAMPLE_NAME, or the id without one.
    std::string name;
    // The English name of the built-in chart's patches ("Dark skin"), else empty.
    std::string englishName;
    Lab reference; // D50
};

inline constexpr int DefaultRows = 4;
inline constexpr int DefaultColumns = 6;

// The patches row by row, from the first patch along the first row; rows * columns of them.
struct Chart {
    // The built-in chart's name, or the CGATS file's name without its folder.
    std::string name;
    // The CGATS file it was read from (as given), empty for the built-in chart.
    std::string file;
    int rows = DefaultRows;
    int columns = DefaultColumns;
    std::vector<Patch> patches;
};

// The 24-patch classic chart, 4 rows of 6, with the maker's published L*a*b* (D50) of charts
// made from November 2014 on.
const Chart& classicChart();

// Reads a CGATS.17 text file's reference values: keywords, NUMBER_OF_FIELDS, the field names
// between BEGIN_DATA_FORMAT and END_DATA_FORMAT, SAMPLE_ID and either LAB_L LAB_A LAB_B (D50)
// or XYZ_X XYZ_Y XYZ_Z (D50, Y = 100 for white; converted to L*a*b* D50), SAMPLE_NAME if
// there, the rows between BEGIN_DATA and END_DATA; quoted strings, # comments, CR LF or LF.
// With both Lab and XYZ the Lab is taken. The first rows * columns patches are the chart, row
// by row; more are left unread. Fails (in Polish) naming a missing field or keyword, a row
// that does not read, fewer patches than rows * columns, and rows or columns below 2.
Result<Chart> readCgats(std::string_view text, int rows, int columns, std::string name = {});
// The same from a file (at most 16 MiB); the chart's name is the file's name.
Result<Chart> readCgatsFile(const std::filesystem::path& file, int rows, int columns);

// ---------------------------------------------------------------------------------------------
// Placing the chart

// A point in picture coordinates (after the orientation): (x, y) is pixel x, y's centre.
struct PointF {
    double x = 0;
    double y = 0;
};

// The centres of the corner patches in the order they are pointed at: the first patch, the
// last of the first row, the last patch, the first of the last row.
using Corners = std::array<PointF, 4>;

struct Placement {
    // Each patch's centre, row by row as the chart's patches.
    std::vector<PointF> centres;
    // The square of file pixels measured for each patch (Right and Bottom exclusive): side
    // 40 % of the patch spacing at that patch (at least one pixel), centred on its centre.
    std::vector<Rect> squares;
};

// Every patch centre from the corners by the projective mapping of the grid of patch
// centres onto them, so that a chart photographed at an angle is placed right. Fails (in
// Polish) when the corners do not make a convex quadrilateral (three on a line, two alike,
// the edges crossing because of the order), and when a square leaves the picture of
// `picture` size, naming the patch.
Result<Placement> placePatches(const Corners& corners, const Chart& chart, Size picture);

// ---------------------------------------------------------------------------------------------
// Measuring

// One square's pixels at the file's depth.
struct SquareMean {
    // R, G, B (grey pictures: three times the grey), 0 to 255 or 0 to 65535 by the depth.
    std::array<double, 3> mean {};
    std::int64_t count = 0;
    // Whether any pixel has a channel at 0 or at the depth's maximum.
    bool clipped = false;
};

// Sums the squares' pixels as readFileRegions hands them over, exactly (whole sums), in any
// order. Region indices out of range are ignored.
class SquareSink final : public PixelSink {
public:
    explicit SquareSink(std::size_t squares);
    void begin(const FilePixelsInfo& info) override;
    void run(const PixelRun& run) override;

    // The depth of the values handed over (8 before begin()).
    int depth() const { return m_depth; }
    std::vector<SquareMean> means() const;

private:
    struct Sum {
        std::uint64_t values[3] = {};
        std::int64_t count = 0;
        bool clipped = false;
    };
    std::vector<Sum> m_sums;
    int m_depth = 8;
    std::uint16_t m_top = 255;
};

// Each square's mean through the converter (made for the picture's profile at the depth of
// the means) to XYZ D50.
std::vector<Xyz> xyzOfMeans(
    std::span<const SquareMean> means, const colour::LabConverter& converter);

// ---------------------------------------------------------------------------------------------
// The fit

// Row by row: reference XYZ = m * measured XYZ.
struct Matrix3 {
    std::array<std::array<double, 3>, 3> m { { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } } };
    Xyz apply(const Xyz& v) const
    {
        return { m[0][0] * v.X + m[0][1] * v.Y + m[0][2] * v.Z,
            m[1][0] * v.X + m[1][1] * v.Y + m[1][2] * v.Z,
            m[2][0] * v.X + m[2][1] * v.Y + m[2][2] * v.Z };
    }
};

// The fewest usable patches a fit is made from: three whose colours are not alike.
inline constexpr int MinimumPatches = 3;

struct PatchReport {
    std::string id;
    std::string name;
    Lab reference; // D50
    Lab measured; // D50, as the picture's profile gives it
    Lab corrected; // D50, through the matrix
    double deltaE00 = 0; // measured to reference
    double deltaE00Corrected = 0; // corrected to reference
    // A clipped patch is left out of the fit and of the figures, and still reported.
    bool clipped = false;
};

// Over the patches used (those not clipped).
struct Figures {
    double mean = 0;
    double median = 0;
    double largest = 0;
};

struct Fit {
    Matrix3 matrix;
    std::vector<PatchReport> patches;
    Figures before;
    Figures after;
    int used = 0;
};

// The matrix from the measured XYZ (one per patch, in the chart's order) to the reference's:
// least squares first, then refined to the smallest mean dE00 of the used patches
// (deterministic; never worse than the least-squares start). Clipped patches (clipped[i]) are
// left out. Fails (in Polish) with fewer than MinimumPatches usable patches, or when their
// colours are too alike to fix a matrix.
Result<Fit> fitChart(
    const Chart& chart, std::span<const Xyz> measured, std::span<const bool> clipped);

// Everything at once: places the patches, reads their squares from the picture file in one
// pass, converts their means through `profile` and fits. `picture` is the picture's size
// after the orientation.
Result<Fit> calibrate(const Chart& chart, const Corners& corners, const std::string& path,
    Size picture, const colour::ColourProfile& profile, Progress& progress);

// ---------------------------------------------------------------------------------------------
// Using it

// L*a*b* at `white` (as the colorimetry window measured it) through the matrix: to XYZ,
// Bradford to D50, the matrix, back to `white` and L*a*b*.
Lab correct(const Matrix3& matrix, Lab value, colour::ReferenceWhite white);

// ---------------------------------------------------------------------------------------------
// The calibration file

// A calibration as kept: UTF-8 text, the first line "Probnik kalibracja 1", then one
// "key = value" a line (numbers with a point), # comments and blank lines ignored.
struct Calibration {
    Matrix3 matrix;
    // The white the colorimetry window measured at when the chart was fitted.
    colour::ReferenceWhite white = colour::ReferenceWhite::D50;
    std::string chartName;
    std::string chartFile; // the CGATS file, empty for the built-in chart
    int rows = DefaultRows;
    int columns = DefaultColumns;
    std::vector<Patch> reference; // the values fitted to, in the chart's order
    std::string profileName; // the picture's profile's description
    std::string profileId; // its MD5 identifier, 32 hexadecimal digits
    Figures before;
    Figures after;
    int used = 0;
    std::string date; // "2026-03-14 09:30"
};

// The calibration of a fit, with the date now.
Calibration calibrationOf(const Fit& fit, const Chart& chart, const colour::ColourProfile& profile,
    colour::ReferenceWhite white);
std::string calibrationText(const Calibration& calibration);
// Fails (in Polish) naming the line or key that is wrong or missing.
Result<Calibration> parseCalibration(std::string_view text);
// Written whole or not at all.
std::optional<Error> saveCalibration(
    const std::filesystem::path& file, const Calibration& calibration);
Result<Calibration> loadCalibration(const std::filesystem::path& file);

// ---------------------------------------------------------------------------------------------
// The report as CSV

// UTF-8 with a byte-order mark, CR LF, `separator`, a point and four decimals: the header
// Pole, L*ref, a*ref, b*ref, L*, a*, b*, L*kal, a*kal, b*kal, dE00, dE00kal; one row per patch
// (Pole is its id); then the lines "Średnia", "Mediana" and "Największa" with the figures
// before and after in the last two columns. Fails as lab::writeCsv() does.
std::optional<Error> writeReportCsv(std::ostream& out, const Fit& fit, std::string_view separator);

} // namespace probnik::calibration
