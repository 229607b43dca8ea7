// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Calibration against the colour chart: the fit alone (to be under 10 ms), and measuring the
// 24 patches of a 12000 x 9000 JPEG and fitting beside one whole decode of that file with
// libjpeg-turbo (to be at most 1.3 times it; the ratio is printed as a counter).

#include "analysis/Calibration.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

// jpeglib.h needs the types of stdio.h declared before it.
#include <jpeglib.h>

using namespace probnik;
using namespace probnik::calibration;

namespace {

constexpr int Width = 12000, Height = 9000;

// The chart's patches as a camera sees them: a mixing of the reference XYZ, a light that
// tilts it, a little noise.
std::vector<Xyz> cameraXyz()
{
    std::vector<Xyz> out;
    std::uint32_t noise = 7;
    for (const Patch& p : classicChart().patches) {
        const Xyz x = colour::d50OfLab(
            { p.reference.L, p.reference.a, p.reference.b }, colour::ReferenceWhite::D50);
        noise = noise * 1664525u + 1013904223u;
        const double n = 1.0 + (double(noise >> 8) / double(1 << 24) - 0.5) * 0.01;
        out.push_back({ (0.9 * x.X + 0.15 * x.Y - 0.05 * x.Z) * 1.1 * n,
            (0.1 * x.X + 0.85 * x.Y + 0.05 * x.Z) * n,
            (0.02 * x.X - 0.1 * x.Y + 1.0 * x.Z) * 0.8 * n });
    }
    return out;
}

void BM_Fit(benchmark::State& state)
{
    const std::vector<Xyz> measured = cameraXyz();
    const bool clipped[24] = {};
    double mean = 0;
    for (auto _ : state) {
        auto fit = fitChart(classicChart(), measured, clipped);
        if (!fit) {
            state.SkipWithError(fit.error().message.c_str());
            return;
        }
        mean = fit.value().after.mean;
        benchmark::DoNotOptimize(fit);
    }
    state.counters["dE00_after_mean"] = mean;
}
BENCHMARK(BM_Fit)->Unit(benchmark::kMillisecond);

// A chart over the middle of a large photograph: patches of the camera's sRGB values on grey.
const std::string& chartJpeg()
{
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "probnik-bench-chart.jpg";
        std::error_code error;
        if (std::filesystem::exists(file, error))
            return file.string();
        std::FILE* out = std::fopen(file.string().c_str(), "wb");
        if (!out)
            return std::string();
        jpeg_compress_struct info {};
        jpeg_error_mgr errors {};
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        jpeg_stdio_dest(&info, out);
        info.image_width = Width;
        info.image_height = Height;
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 90, TRUE);
        jpeg_start_compress(&info, TRUE);
        std::vector<std::uint8_t> row(std::size_t(Width) * 3);
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                const int u = (x - 3000) / 1000, v = (y - 2500) / 1000;
                const bool patch = x >= 3000 && y >= 2500 && u < 6 && v < 4
                    && (x - 3000) % 1000 > 100 && (y - 2500) % 1000 > 100;
                const int i = v * 6 + u;
                for (int k = 0; k < 3; ++k)
                    row[std::size_t(x) * 3 + k] = std::uint8_t(
                        patch ? 40 + (i * 37 + k * 71) % 180 : 90 + (x * 7 + y * 3 + k) % 20);
            }
            JSAMPROW pointer = row.data();
            jpeg_write_scanlines(&info, &pointer, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        std::fclose(out);
        return file.string();
    }();
    return path;
}

double decodeWhole(const std::string& path)
{
    const auto start = std::chrono::steady_clock::now();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return -1;
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    std::vector<std::uint8_t> row(std::size_t(info.output_width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW pointer = row.data();
        jpeg_read_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(in);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WholeDecode(benchmark::State& state)
{
    const std::string& path = chartJpeg();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeWhole(path));
}
BENCHMARK(BM_WholeDecode)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MeasureAndFit(benchmark::State& state)
{
    const std::string& path = chartJpeg();
    const Corners corners = { { { 3550, 3050 }, { 8550, 3050 }, { 8550, 6050 }, { 3550, 6050 } } };
    const auto profile = colour::ColourProfile::assumedSrgb(colour::PixelKind::Rgb);
    double ours = 0, whole = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Progress progress;
        auto fit = calibrate(classicChart(), corners, path, { Width, Height }, profile, progress);
        ours += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!fit) {
            state.SkipWithError(("calibrate: " + fit.error().message).c_str());
            return;
        }
        state.PauseTiming();
        whole += decodeWhole(path);
        state.ResumeTiming();
    }
    state.counters["ratio_to_whole_decode"] = ours / whole;
}
BENCHMARK(BM_MeasureAndFit)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
