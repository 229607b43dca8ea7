// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reading rectangles of a file's own pixels against the libraries doing the least that gives
// the same pixels, in one run, on a 12000 x 9000 JPEG (4:2:0) and PNG (RGB, 8 bits):
// - one 15 x 15 sample in the middle of the JPEG against libjpeg-turbo skipping to its rows and
//   cropping to its columns;
// - 1000 samples of 15 x 15 over the JPEG against one whole decode;
// - every pixel (one rectangle of the whole picture, into a sink that sums them) against the
//   whole decode for the JPEG, against inflating the IDAT stream for the PNG.
// Then the peak resident memory of reading every pixel of 30000 x 20000 files in a fresh
// process.
//
// Run:
//   cmake --preset bench && cmake --build --preset bench --target probnik_region_bench &&
//   build/bench/bench/probnik_region_bench
// The files (about 2 GB) are made once in $PROBNIK_BENCH_DIR (default: the temporary folder).
#include "bench/BenchSupport.h"
#include "picture/FileRegions.h"

#include <benchmark/benchmark.h>

#include <png.h>
#include <zlib.h>
// jpeglib.h needs the types of stdio.h declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <cinttypes>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using probnik::Rect;
namespace bench = probnik::bench;

constexpr const char* Program = "probnik_region_bench";
constexpr int Side = 15;

bool writeJpeg(const std::string& path, int width, int height)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info); // 4:2:0
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        bench::photoRow(y, width, height, row);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

bool writePng(const std::string& path, int width, int height)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fclose(out);
        return false;
    }
    png_init_io(png, out);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        bench::photoRow(y, width, height, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0;
}

// The file of this format and size in the bench folder, made when it is not there yet; empty
// when it could not be made.
std::string benchFile(bool jpeg, int width, int height)
{
    std::string path = (bench::benchFolder()
        / ("probnik-region-" + std::to_string(width) + "x" + std::to_string(height)
            + (jpeg ? ".jpg" : ".png")))
                           .string();
    std::error_code error;
    if (std::filesystem::exists(path, error))
        return path;
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    const std::string part = path + ".part";
    const bool made = jpeg ? writeJpeg(part, width, height) : writePng(part, width, height);
    if (made)
        std::filesystem::rename(part, path, error);
    return made && !error ? path : std::string();
}

// Sums every value handed over, as a statistic over the pixels would.
class SummingSink : public probnik::PixelSink {
public:
    void run(const probnik::PixelRun& run) override
    {
        // A run is one row of a rectangle of these files, at most 30000 values of 8 bits a
        // channel: their sum fits in 32 bits.
        const std::uint16_t* v = run.values;
        std::uint32_t r = 0, g = 0, b = 0;
        for (int k = 0; k < run.count; ++k, v += 3) {
            r += v[0];
            g += v[1];
            b += v[2];
        }
        sums[0] += r;
        sums[1] += g;
        sums[2] += b;
        pixels += std::uint64_t(run.count);
    }
    std::uint64_t sums[3] {};
    std::uint64_t pixels = 0;
};

bool readRegions(const std::string& path, const std::vector<Rect>& regions)
{
    SummingSink sink;
    probnik::Progress unwatched;
    const auto read = probnik::readFileRegions(path, regions, sink, unwatched);
    benchmark::DoNotOptimize(sink.sums);
    return read.ok() && sink.pixels > 0;
}

// libjpeg-turbo decoding the rows top to bottom (from `top` on, skipped to, when above 0),
// cropped to [left, left + width) when width is above 0.
bool libjpegRows(const std::string& path, int top, int rows, int left, int width)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (width > 0) {
        auto offset = JDIMENSION(left);
        auto cropped = JDIMENSION(width);
        jpeg_crop_scanline(&info, &offset, &cropped);
    }
    std::vector<JSAMPLE> row(std::size_t(info.output_width) * 3);
    if (top > 0)
        jpeg_skip_scanlines(&info, JDIMENSION(top));
    const auto end = JDIMENSION(rows > 0 ? top + rows : int(info.output_height));
    while (info.output_scanline < end) {
        JSAMPROW pointer = row.data();
        jpeg_read_scanlines(&info, &pointer, 1);
    }
    benchmark::DoNotOptimize(row.data());
    jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(in);
    return true;
}

// Inflating the IDAT stream read from the file into a 64 KiB buffer used over and over.
bool inflateIdat(const std::string& path)
{
    std::vector<unsigned char> out(64 * 1024);
    const std::string stream = bench::idatStream(path);
    z_stream z {};
    inflateInit(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = uInt(stream.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        status = inflate(&z, Z_NO_FLUSH);
    }
    benchmark::DoNotOptimize(z.total_out);
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

// 1000 samples on a grid of 40 x 25 over a picture of width x height.
std::vector<Rect> thousandSamples(int width, int height)
{
    std::vector<Rect> samples;
    for (int j = 0; j < 25; ++j)
        for (int i = 0; i < 40; ++i) {
            const int x = (2 * i + 1) * width / 80 - Side / 2;
            const int y = (2 * j + 1) * height / 50 - Side / 2;
            samples.push_back({ x, y, x + Side, y + Side });
        }
    return samples;
}

// Keeps each benchmark's real and CPU time per iteration: the machine may be shared, and then
// the CPU time tells the work better.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                m_times[run.run_name.function_name]
                    = { run.GetAdjustedRealTime(), run.GetAdjustedCPUTime() };
        ConsoleReporter::ReportRuns(runs);
    }
    // The ratio of the two benchmarks' times, real or CPU; -1 when one did not run.
    double ratio(const std::string& ours, const std::string& peer, bool cpu) const
    {
        const auto a = m_times.find(ours), b = m_times.find(peer);
        if (a == m_times.end() || b == m_times.end())
            return -1;
        return cpu ? a->second.second / b->second.second : a->second.first / b->second.first;
    }

private:
    std::map<std::string, std::pair<double, double>> m_times;
};

template <typename Work> void timed(benchmark::State& state, Work work)
{
    for (auto _ : state)
        if (!work())
            state.SkipWithError("failed");
}

// In a fresh process: reads every pixel of the file and prints the resident memory before
// and at its peak, in KiB, as measurePeak reads them.
int peakHelper(const std::string& path)
{
    const std::uint64_t before = bench::procValue("/proc/self/status", "VmRSS:");
    SummingSink sink;
    probnik::Progress unwatched;
    const Rect all[] = { { 0, 0, 1 << 30, 1 << 30 } };
    const bool read = probnik::readFileRegions(path, all, sink, unwatched).ok();
    const std::uint64_t peak = bench::procValue("/proc/self/status", "VmHWM:");
    std::printf("%" PRIu64 " %" PRIu64 " %d\n", before, peak, read ? 1 : 0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], bench::PeakRssOption) == 0)
        return peakHelper(argv[3]);
    benchmark::Initialize(&argc, argv);
    const int w = 12000, h = 9000;
    const std::string jpeg = benchFile(true, w, h), png = benchFile(false, w, h);
    const std::string bigJpeg = benchFile(true, 30000, 20000);
    const std::string bigPng = benchFile(false, 30000, 20000);
    if (jpeg.empty() || png.empty() || bigJpeg.empty() || bigPng.empty()) {
        std::fprintf(stderr, "could not write the files\n");
        return 1;
    }
    const Rect middle { w / 2 - Side / 2, h / 2 - Side / 2, w / 2 - Side / 2 + Side,
        h / 2 - Side / 2 + Side };
    const std::vector<Rect> one { middle }, thousand = thousandSamples(w, h);
    const std::vector<Rect> all { { 0, 0, w, h } };
    const auto add = [](const char* name, auto work, int iterations) {
        benchmark::RegisterBenchmark(name, [work](benchmark::State& s) { timed(s, work); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations);
    };
    add(
        "ours/jpeg_one_sample", [&] { return readRegions(jpeg, one); }, 20);
    add(
        "libjpeg/skip_to_sample",
        [&] { return libjpegRows(jpeg, middle.Top, Side, middle.Left, Side); }, 20);
    add(
        "ours/jpeg_1000_samples", [&] { return readRegions(jpeg, thousand); }, 3);
    add(
        "ours/jpeg_every_pixel", [&] { return readRegions(jpeg, all); }, 3);
    add(
        "libjpeg/whole_decode", [&] { return libjpegRows(jpeg, 0, 0, 0, 0); }, 3);
    add(
        "ours/png_every_pixel", [&] { return readRegions(png, all); }, 3);
    add(
        "zlib/png_inflate", [&] { return inflateIdat(png); }, 3);
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    std::printf("\n%-44s %10s %10s %8s\n", "12000 x 9000", "real", "CPU", "target");
    const auto line
        = [&](const char* what, const char* ours, const char* peer, const char* target) {
              std::printf("%-44s %10s %10s %8s\n", what,
                  bench::number(recorder.ratio(ours, peer, false), "%.2fx").c_str(),
                  bench::number(recorder.ratio(ours, peer, true), "%.2fx").c_str(), target);
          };
    line("one 15 x 15 sample / libjpeg skipping to it", "ours/jpeg_one_sample",
        "libjpeg/skip_to_sample", "1.1x");
    line("1000 samples / libjpeg whole decode", "ours/jpeg_1000_samples", "libjpeg/whole_decode",
        "1.2x");
    line("JPEG every pixel / libjpeg whole decode", "ours/jpeg_every_pixel", "libjpeg/whole_decode",
        "1.2x");
    line("PNG every pixel / zlib inflate", "ours/png_every_pixel", "zlib/png_inflate", "1.2x");
    std::printf("\n%-44s %s\n", "every pixel of 30000 x 20000", "peak MiB (growth)");
    std::printf("%-44s %s\n", "JPEG",
        bench::peakText(bench::measurePeak(Program, "regions", bigJpeg)).c_str());
    std::printf("%-44s %s\n", "PNG",
        bench::peakText(bench::measurePeak(Program, "regions", bigPng)).c_str());
    return 0;
}
