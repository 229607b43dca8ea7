// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reading every stored pixel of a BMP and of an uncompressed TIFF as one rectangle, summed by a
// sink as the area statistics sum them, against reading the file's bytes in the same run
// (target: at most 1.5x); then the peak resident memory of that reading of a 30000 x 20000
// picture of each, in a fresh process (target: below 64 MiB).
//
// Run:
//   cmake --preset bench && cmake --build --preset bench --target probnik_stored_region_bench &&
//   build/bench/bench/probnik_stored_region_bench
// The files (about 4.3 GB) are made once in $PROBNIK_BENCH_DIR (default: the temporary folder).
#include "bench/BenchSupport.h"
#include "picture/FileRegions.h"

#include <benchmark/benchmark.h>

#include <tiffio.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace bench = probnik::bench;

constexpr const char* Program = "probnik_stored_region_bench";

struct BenchFile {
    std::string name;
    bool tiff = false;
    int width = 0;
    int height = 0;
    std::string path;
    bool made = false;
};

void put(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

// A 24-bit bottom-up bitmap; rows of the large one are left zero (a sparse file), as only its
// memory is measured.
bool writeBmp(const BenchFile& f, bool content)
{
    const std::uint64_t stride = (std::uint64_t(f.width) * 3 + 3) / 4 * 4;
    const std::uint64_t data = stride * std::uint64_t(f.height);
    std::vector<std::uint8_t> h { 'B', 'M' };
    put(h, std::uint32_t(std::min<std::uint64_t>(54 + data, 0xFFFFFFFF)), 4);
    put(h, 0, 4);
    put(h, 54, 4);
    put(h, 40, 4);
    put(h, std::uint32_t(f.width), 4);
    put(h, std::uint32_t(f.height), 4);
    put(h, 1, 2);
    put(h, 24, 2);
    for (int i = 0; i < 6; ++i)
        put(h, 0, 4);
    std::FILE* out = std::fopen(f.path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = std::fwrite(h.data(), 1, h.size(), out) == h.size();
    std::vector<std::uint8_t> row(std::size_t(stride), 0);
    for (int n = 0; content && ok && n < f.height; ++n) {
        bench::photoRow(f.height - 1 - n, f.width, f.height, row);
        for (std::size_t x = 0; x < std::size_t(f.width); ++x)
            std::swap(row[3 * x], row[3 * x + 2]);
        ok = std::fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    ok = ok && (content || ::ftruncate(fileno(out), off_t(54 + data)) == 0);
    return std::fclose(out) == 0 && ok;
}

// An uncompressed RGB TIFF in strips of 16 rows.
bool writeTiff(const BenchFile& f)
{
    TIFF* tif = TIFFOpen(f.path.c_str(), "w8"); // BigTIFF: the 30000 x 20000 file is 1.8 GB
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(f.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(f.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<std::uint8_t> row(std::size_t(f.width) * 3);
    bool ok = true;
    for (int y = 0; y < f.height && ok; ++y) {
        bench::photoRow(y, f.width, f.height, row);
        ok = TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

void prepare(BenchFile& f, const std::filesystem::path& folder)
{
    f.path = (folder / ("probnik-region-" + f.name + (f.tiff ? ".tif" : ".bmp"))).string();
    std::error_code error;
    if (std::filesystem::file_size(f.path, error) > 0 && !error) {
        f.made = true;
        return;
    }
    std::fprintf(stderr, "making %s\n", f.path.c_str());
    f.made = f.tiff ? writeTiff(f) : writeBmp(f, f.width < 30000);
    if (!f.made)
        std::filesystem::remove(f.path, error);
}

// Adds every value of v[0, n) to sums[channel], blocks of Block values at a time, and
// returns how many it added (whole blocks; the rest is left). Each place in a block holds one
// channel (Block is a multiple of 3) and has its own sum of type Lane, of at most Most blocks,
// so that the loop vectorises without overflow.
template <class Lane, std::size_t Block, std::size_t Most>
[[gnu::always_inline]] inline std::size_t addBlocks(
    const std::uint16_t* __restrict v, std::size_t n, std::uint64_t* __restrict sums)
{
    std::size_t i = 0;
    while (n - i >= Block) {
        const std::size_t end = i + std::min((n - i) / Block, Most) * Block;
        std::array<Lane, Block> lanes {};
        for (; i < end; i += Block)
            for (std::size_t j = 0; j < Block; ++j)
                lanes[j] = Lane(lanes[j] + v[i + j]);
        for (std::size_t j = 0; j < Block; ++j)
            sums[j % 3] += lanes[j];
    }
    return i;
}
// 8-bit values: 16-bit sums of 257 blocks at most (257 * 255 = 65535).
[[gnu::target_clones("avx2", "default")]] std::size_t addEightBit(
    const std::uint16_t* v, std::size_t n, std::uint64_t* sums)
{
    return addBlocks<std::uint16_t, 48, 257>(v, n, sums);
}
// Any values: 32-bit sums of 65536 blocks at most.
[[gnu::target_clones("avx2", "default")]] std::size_t addSixteenBit(
    const std::uint16_t* v, std::size_t n, std::uint64_t* sums)
{
    return addBlocks<std::uint32_t, 24, 65536>(v, n, sums);
}

// The statistics' first pass over every pixel: a count and the sums of the three channels,
// every value handed over added.
class Sums : public probnik::PixelSink {
public:
    void begin(const probnik::FilePixelsInfo& info) override { m_eightBit = info.depth == 8; }
    void run(const probnik::PixelRun& run) override
    {
        const std::size_t n = 3 * std::size_t(run.count);
        std::size_t i = m_eightBit ? addEightBit(run.values, n, m_sums.data())
                                   : addSixteenBit(run.values, n, m_sums.data());
        for (; i < n; ++i)
            m_sums[i % 3] += run.values[i];
        m_count += std::uint64_t(run.count);
    }
    std::uint64_t total() const { return m_sums[0] + m_sums[1] + m_sums[2] + m_count; }
    std::uint64_t count() const { return m_count; }

private:
    bool m_eightBit = false;
    std::array<std::uint64_t, 3> m_sums {};
    std::uint64_t m_count = 0;
};

// The whole picture as one rectangle.
bool readWhole(const std::string& path, Sums& sums)
{
    const probnik::Rect whole { 0, 0, 1 << 30, 1 << 30 };
    probnik::Progress unwatched;
    return bool(probnik::readFileRegions(path, std::span(&whole, 1), sums, unwatched));
}

void benchRegion(benchmark::State& state, const BenchFile* f)
{
    for (auto _ : state) {
        Sums sums;
        if (!readWhole(f->path, sums)
            || sums.count() != std::uint64_t(f->width) * std::uint64_t(f->height)) {
            state.SkipWithError("the rectangle was not read");
            return;
        }
        benchmark::DoNotOptimize(sums.total());
    }
}

// The file's bytes, read in 1 MiB pieces: what any reading of every pixel costs at least.
void benchBytes(benchmark::State& state, const BenchFile* f)
{
    std::vector<std::uint8_t> buffer(1 << 20);
    for (auto _ : state) {
        std::FILE* in = std::fopen(f->path.c_str(), "rb");
        if (!in) {
            state.SkipWithError("cannot open");
            return;
        }
        std::uint64_t total = 0;
        for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
            total += got + buffer[got - 1];
        std::fclose(in);
        benchmark::DoNotOptimize(total);
    }
}

// The helper mode: reads the whole picture once in this fresh process and prints the resident
// memory just before and at its peak, in KiB, and whether it was read.
int peakHelper(const std::string& path)
{
    const std::uint64_t before = bench::procValue("/proc/self/status", "VmRSS:");
    Sums sums;
    const bool read = readWhole(path, sums);
    benchmark::DoNotOptimize(sums.total());
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
    const std::filesystem::path folder = bench::benchFolder();
    std::vector<BenchFile> files;
    for (const auto& [w, h] : { std::pair { 12000, 9000 }, std::pair { 30000, 20000 } })
        for (const bool tiff : { false, true }) {
            BenchFile f;
            f.name = std::string(tiff ? "tiff" : "bmp") + "_" + std::to_string(w) + "x"
                + std::to_string(h);
            f.tiff = tiff;
            f.width = w;
            f.height = h;
            files.push_back(f);
        }
    for (BenchFile& f : files) {
        prepare(f, folder);
        // The large pictures are only measured for memory.
        if (!f.made || f.width >= 30000)
            continue;
        benchmark::RegisterBenchmark(("region/" + f.name).c_str(), benchRegion, &f)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
        benchmark::RegisterBenchmark(("bytes/" + f.name).c_str(), benchBytes, &f)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true);
    }
    bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    std::printf("\n%-20s %10s %10s %14s %22s\n", "file", "region ms", "bytes ms", "region/bytes",
        "peak MiB (growth)");
    for (const BenchFile& f : files) {
        if (!f.made) {
            std::printf("%-20s not made\n", f.name.c_str());
            continue;
        }
        const double region = recorder.milliseconds("region/" + f.name);
        const double bytes = recorder.milliseconds("bytes/" + f.name);
        const std::optional<bench::Peak> peak
            = f.width >= 30000 ? bench::measurePeak(Program, "regions", f.path) : std::nullopt;
        std::printf("%-20s %10s %10s %14s %22s\n", f.name.c_str(),
            bench::number(region, "%.1f").c_str(), bench::number(bytes, "%.1f").c_str(),
            region > 0 && bytes > 0 ? bench::number(region / bytes, "%.2fx").c_str() : "-",
            bench::peakText(peak).c_str());
    }
    return 0;
}
