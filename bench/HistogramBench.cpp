// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The histograms of the area, against peers in the same run:
// - a full 400 x 400 display box of screen pixels, R, G, B (and L*, C*, h through sRGB),
//   against one plain pass that only adds up the channels; the target is under 5 ms;
// - every pixel of a 12000 x 9000 JPEG read from the file and binned, against the same read
//   handing its pixels to a sink that only counts them (one decode); the target is 1.2 times.
// Prints the times and the ratios. The JPEG is made once in $PROBNIK_BENCH_DIR (or the
// temporary folder).
// Run:
//   cmake --preset bench && cmake --build --preset bench --target probnik_histogram_bench
//   build/bench/bench/probnik_histogram_bench
#include "analysis/HistogramBins.h"
#include "app/Display.h"
#include "colour/ColourProfile.h"
#include "colour/LabConversion.h"
#include "common/Progress.h"
#include "picture/FileRegions.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// jpeglib.h needs the types of stdio.h declared before it.
#include <jpeglib.h>

namespace {

using namespace probnik;
using namespace probnik::histogram;

constexpr int FileWidth = 12000;
constexpr int FileHeight = 9000;

Canvas screenCopy()
{
    Canvas canvas(display::ScreenCopyWidth, display::ScreenCopyHeight);
    const Rect box = display::displayBox(400, 400);
    for (int y = box.Top; y < box.Bottom; ++y)
        for (int x = box.Left; x < box.Right; ++x)
            canvas.setPixel(x, y, rgb(x * 7 + y, y * 3 - x, (x ^ y) * 5));
    return canvas;
}

const Canvas& source()
{
    static const Canvas canvas = screenCopy();
    return canvas;
}

const colour::LabConverter& srgb()
{
    static const colour::LabConverter converter(
        colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb), colour::ReferenceWhite::D65);
    return converter;
}

void ScreenRgb(benchmark::State& state)
{
    const Rect box = display::displayBox(400, 400);
    for (auto _ : state) {
        const RgbHistogram h = screenHistogram(source(), box);
        benchmark::DoNotOptimize(h.clipped);
    }
}

void ScreenLch(benchmark::State& state)
{
    const Rect box = display::displayBox(400, 400);
    for (auto _ : state) {
        const LchHistogram h = screenLch(source(), box, srgb(), 8, DeepValues {});
        benchmark::DoNotOptimize(h.hueless);
    }
}

void OnePlainPass(benchmark::State& state)
{
    const Rect box = display::displayBox(400, 400);
    for (auto _ : state) {
        long long sum = 0;
        for (int y = box.Top; y < box.Bottom; ++y) {
            const Color* row = source().row(y);
            for (int x = box.Left; x < box.Right; ++x)
                sum += red(row[x]) + green(row[x]) + blue(row[x]);
        }
        benchmark::DoNotOptimize(sum);
    }
}

std::string bigJpeg()
{
    const char* folder = std::getenv("PROBNIK_BENCH_DIR");
    const std::filesystem::path dir
        = folder && *folder ? folder : std::filesystem::temp_directory_path();
    const std::string path = (dir / "probnik-histogram-12000x9000.jpg").string();
    if (std::filesystem::exists(path))
        return path;
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    const std::string part = path + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (!out)
        return {};
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(FileWidth);
    info.image_height = JDIMENSION(FileHeight);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(std::size_t(FileWidth) * 3);
    for (int y = 0; y < FileHeight; ++y) {
        for (int x = 0; x < FileWidth; ++x) {
            // Smooth like a photograph, with some grain.
            row[std::size_t(x) * 3] = std::uint8_t((x / 47 + y / 31) & 0xFF);
            row[std::size_t(x) * 3 + 1] = std::uint8_t((x * 3 / 101 + (x ^ y) % 13) & 0xFF);
            row[std::size_t(x) * 3 + 2] = std::uint8_t((y / 37 + ((x * 7 + y * 3) % 17)) & 0xFF);
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    if (std::fclose(out) != 0)
        return {};
    std::filesystem::rename(part, path);
    return path;
}

const std::string& bigFile()
{
    static const std::string path = bigJpeg();
    return path;
}

// Counts the pixels: what reading them costs with nothing done to them.
class CountingSink : public PixelSink {
public:
    std::uint64_t pixels = 0;
    void run(const PixelRun& run) override
    {
        pixels += std::uint64_t(run.count);
        benchmark::DoNotOptimize(run.values);
    }
};

void readAll(benchmark::State& state, PixelSink& sink)
{
    const Rect whole { 0, 0, FileWidth, FileHeight };
    Progress progress;
    const auto read = readFileRegions(bigFile(), std::span(&whole, 1), sink, progress);
    if (!read)
        state.SkipWithError(read.error().message.c_str());
}

void FileDecodeOnly(benchmark::State& state)
{
    for (auto _ : state) {
        CountingSink sink;
        readAll(state, sink);
    }
}

void FileRgb(benchmark::State& state)
{
    for (auto _ : state) {
        HistogramSink sink;
        readAll(state, sink);
        benchmark::DoNotOptimize(sink.rgb().clipped);
    }
}

void FileLch(benchmark::State& state)
{
    for (auto _ : state) {
        HistogramSink sink(&srgb(), 8);
        readAll(state, sink);
        benchmark::DoNotOptimize(sink.lch().hueless);
    }
}

class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms; // -1 where the run failed
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            // Keyed by the function's name, without "/iterations:N".
            ms[run.benchmark_name().substr(0, run.benchmark_name().find('/'))] = run.error_occurred
                ? -1
                : run.GetAdjustedRealTime()
                    * (run.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(ScreenRgb)->Unit(benchmark::kMillisecond);
BENCHMARK(ScreenLch)->Unit(benchmark::kMillisecond);
BENCHMARK(OnePlainPass)->Unit(benchmark::kMillisecond);
BENCHMARK(FileDecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(FileRgb)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(FileLch)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    auto ms = [&](const char* name) {
        const auto it = collector.ms.find(name);
        return it == collector.ms.end() ? -1.0 : it->second;
    };
    auto ratio = [&](const char* a, const char* b) {
        return ms(a) > 0 && ms(b) > 0 ? ms(a) / ms(b) : -1.0;
    };
    std::printf(
        "\nhistogram of a 400 x 400 box: R, G, B %.3f ms (target < 5 ms), L*, C*, h %.3f ms;"
        " %.2f x one plain pass\n",
        ms("ScreenRgb"), ms("ScreenLch"), ratio("ScreenRgb", "OnePlainPass"));
    if (ms("FileDecodeOnly") < 0 || ms("FileRgb") < 0)
        std::printf("every pixel of 12000 x 9000: not measured, the file's pixels could not be "
                    "read\n");
    else
        std::printf("every pixel of 12000 x 9000: decode %.0f ms, R, G, B histogram %.0f ms = "
                    "%.2f x one decode (target 1.2), with L*, C*, h %.0f ms = %.2f x\n",
            ms("FileDecodeOnly"), ms("FileRgb"), ratio("FileRgb", "FileDecodeOnly"), ms("FileLch"),
            ratio("FileLch", "FileDecodeOnly"));
    benchmark::Shutdown();
    return 0;
}
