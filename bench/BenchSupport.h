// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the picture-opening benchmarks share: opening a file our way and Qt's way, the peak
// resident memory of one opening in a fresh process, the bytes an opening reads, the timings
// kept from a run, and the folder the generated files go in.
#pragma once

#include "common/Result.h"
#include "picture/Canvas.h"
#include "picture/Picture.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace probnik::bench {

// The display-sized reader a benchmark times as "ours".
using DisplayReader = Result<DisplayPicture> (*)(const std::string& path, int boxSide);

// $PROBNIK_BENCH_DIR, or the temporary folder when it is unset or empty.
std::filesystem::path benchFolder();

// A number from a "key: value" line of a /proc file ("VmHWM:" of /proc/self/status is in
// KiB, "rchar:" of /proc/self/io in bytes); 0 when the key is not there.
std::uint64_t procValue(const char* file, const std::string& key);

// Our open-and-display path, as the Open command runs it: the display-sized reading, then the
// stretch into the display box.
bool openOurs(DisplayReader read, const std::string& path, Canvas& surface);

// Qt's: QImageReader reads the whole picture, then a nearest-pixel scale to the same box. With
// tellErrors, a failure prints the reader's message on stderr.
bool openQt(const std::string& path, bool tellErrors);

// The bytes our path reads from the file in one opening (the kernel's count for this process).
std::uint64_t bytesReadByOurs(DisplayReader read, const std::string& path);

// The helper mode a benchmark runs in when its arguments are "--peak-rss <which> <path>":
// in a fresh process it opens the file once (which is "qt" or "ours") and prints the resident
// memory just before and at its peak, in KiB, and whether the file opened.
inline constexpr const char* PeakRssOption = "--peak-rss";
int peakHelper(
    DisplayReader read, bool tellQtErrors, const std::string& which, const std::string& path);

struct Peak {
    double processMiB = 0; // the whole process's peak resident memory
    double openingMiB = 0; // its growth from just before opening the file
};

// Runs this program (shown to itself as program) in helper mode and reads what it printed;
// nothing when the helper failed or the file did not open.
std::optional<Peak> measurePeak(
    const char* program, const std::string& which, const std::string& path);

// value with a printf format, or "-" when it is negative (not measured).
std::string number(double value, const char* format);

// "peak (growth)" in MiB with one decimal, or "-".
std::string peakText(const std::optional<Peak>& peak);

// Keeps every benchmark's time per iteration (the median when repeated) and prints as usual.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // The time of the named benchmark in milliseconds, or -1 when it did not run or failed.
    double milliseconds(const std::string& name) const;

private:
    std::map<std::string, double> m_seconds;
};

// A colour gradient with noise in the low bits, like a photograph; the same on every run: row
// y of a width x height picture, R, G, B, into row (width * 3 bytes).
void photoRow(int y, int width, int height, std::vector<std::uint8_t>& row);

// The IDAT stream of a PNG file, joined: what inflating the file's data starts from.
std::string idatStream(const std::string& path);

} // namespace probnik::bench
