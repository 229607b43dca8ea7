// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Calibration.h"

namespace probnik::calibration {

namespace {
Error notYet()
{
    return Error { "Kalibracja nie jest jeszcze dostępna" };
}
} // namespace

const Chart& classicChart()
{
    static const Chart chart;
    return chart;
}

Result<Chart> readCgats(std::string_view, int, int, std::string)
{
    return notYet();
}
Result<Chart> readCgatsFile(const std::filesystem::path&, int, int)
{
    return notYet();
}
Result<Placement> placePatches(const Corners&, const Chart&, Size)
{
    return notYet();
}
SquareSink::SquareSink(std::size_t squares)
    : m_sums(squares)
{
}
void SquareSink::begin(const FilePixelsInfo&) { }
void SquareSink::run(const PixelRun&) { }
std::vector<SquareMean> SquareSink::means() const
{
    return {};
}
std::vector<Xyz> xyzOfMeans(std::span<const SquareMean>, const colour::LabConverter&)
{
    return {};
}
Result<Fit> fitChart(const Chart&, std::span<const Xyz>, std::span<const bool>)
{
    return notYet();
}
Result<Fit> calibrate(
    const Chart&, const Corners&, const std::string&, Size, const colour::ColourProfile&, Progress&)
{
    return notYet();
}
Lab correct(const Matrix3&, Lab value, colour::ReferenceWhite)
{
    return value;
}
Calibration calibrationOf(
    const Fit&, const Chart&, const colour::ColourProfile&, colour::ReferenceWhite)
{
    return {};
}
std::string calibrationText(const Calibration&)
{
    return {};
}
Result<Calibration> parseCalibration(std::string_view)
{
    return notYet();
}
std::optional<Error> saveCalibration(const std::filesystem::path&, const Calibration&)
{
    return notYet();
}
Result<Calibration> loadCalibration(const std::filesystem::path&)
{
    return notYet();
}
std::optional<Error> writeReportCsv(std::ostream&, const Fit&, std::string_view)
{
    return notYet();
}

} // namespace probnik::calibration
