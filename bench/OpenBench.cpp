// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Opening a picture for display: the program's path (display-sized decoding, then the stretch
// into the display box) against Qt's QImageReader reading the whole picture plus a
// nearest-pixel scale to the same box, on the same generated files, in one run. After the
// timings it prints, per file, the ratio of the times, the peak resident memory of opening
// the file once in a fresh process, and the bytes our path reads beside the bound; and, for
// the run-length file, our open against a plain sequential read of the same file.
//
// Run:
//   cmake --preset bench && cmake --build --preset bench && build/bench/bench/probnik_bench
// The files are made once in $PROBNIK_BENCH_DIR (default: the temporary folder).
#include "app/Display.h"
#include "bench/BenchSupport.h"
#include "picture/Picture.h"

#include <QImageReader>
#include <QString>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using probnik::Canvas;
using probnik::Rect;
namespace bench = probnik::bench;

// Its name to itself when it runs again in helper mode, and the reader it times.
constexpr const char* Program = "probnik_bench";
constexpr bench::DisplayReader Reader = probnik::readPictureForDisplay;

// One generated picture file.
struct BenchFile {
    std::string name; // also the benchmarks' names
    int width = 0;
    int height = 0;
    int bitCount = 24;
    bool runLength = false;
    bool sparse = false; // pixel data left as a hole: all black, no disk blocks
    std::string path;
    std::uint64_t size = 0;
    std::uint64_t dataOffset = 0;
    std::string skipped; // why it is not measured at all
    std::string qtSkipped; // why Qt is not timed on it
};

void put16(std::string& s, std::uint32_t v)
{
    s += char(v & 255);
    s += char(v >> 8 & 255);
}
void put32(std::string& s, std::uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// The file and bitmap headers, followed by a palette for 8 bits.
std::string headers(const BenchFile& f, std::uint64_t dataSize)
{
    const std::uint32_t offset = 14 + 40 + (f.bitCount == 8 ? 1024 : 0);
    std::string h = "BM";
    put32(h, std::uint32_t(std::min<std::uint64_t>(offset + dataSize, 0xFFFFFFFF)));
    put32(h, 0);
    put32(h, offset);
    put32(h, 40);
    put32(h, std::uint32_t(f.width));
    put32(h, std::uint32_t(f.height));
    put16(h, 1);
    put16(h, std::uint32_t(f.bitCount));
    put32(h, f.runLength ? 1 : 0);
    put32(h, std::uint32_t(std::min<std::uint64_t>(dataSize, 0xFFFFFFFF)));
    put32(h, 2835);
    put32(h, 2835);
    put32(h, 0);
    put32(h, 0);
    for (std::uint32_t i = 0; i < (f.bitCount == 8 ? 256u : 0u); ++i)
        put32(h, i * 0x010101 ^ (i & 7) * 0x200000);
    return h;
}

// A small, fast pseudo-random sequence, so the files are the same on every run.
struct Random {
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    std::uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return std::uint32_t(state >> 16);
    }
    int between(int from, int to) { return from + int(next() % std::uint32_t(to - from + 1)); }
};

// 24 bits: a colour gradient with noise in the low bits, like a photograph.
void writeRgb24(std::ofstream& out, const BenchFile& f, Random& random)
{
    const std::size_t stride = (std::size_t(f.width) * 3 + 3) & ~std::size_t(3);
    std::vector<char> row(stride, 0);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const std::uint32_t noise = random.next();
            row[std::size_t(x) * 3] = char((x * 255 / f.width) ^ (noise & 7));
            row[std::size_t(x) * 3 + 1] = char((y * 255 / f.height) ^ (noise >> 3 & 7));
            row[std::size_t(x) * 3 + 2] = char(((x + y) >> 4) ^ (noise >> 6 & 7));
        }
        out.write(row.data(), std::streamsize(stride));
    }
}

// 8-bit run-length data: each row is cut into stretches of 3 to 255 pixels, each stored at
// random as a run of one index or as literal indices, then an end-of-row code.
std::string rle8Data(const BenchFile& f, Random& random)
{
    std::string d;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width;) {
            const int n = std::min(f.width - x, random.between(3, 255));
            if (random.next() % 2 || n < 3) {
                d += char(n);
                d += char(random.next());
            } else {
                d += char(0);
                d += char(n);
                for (int i = 0; i < n; ++i)
                    d += char(random.next());
                if (n % 2)
                    d += char(0);
            }
            x += n;
        }
        d += std::string("\0\0", 2);
    }
    d += std::string("\0\1", 2);
    return d;
}

// Makes the file unless an earlier run left it; sets path, size and dataOffset, or skipped.
void prepare(BenchFile& f, const std::filesystem::path& folder)
{
    f.path = (folder / ("probnik-bench-" + f.name + ".bmp")).string();
    const std::uint64_t stride = (std::uint64_t(f.width) * std::uint64_t(f.bitCount) + 31) / 32 * 4;
    f.dataOffset = 14 + 40 + (f.bitCount == 8 ? 1024 : 0);
    std::error_code error;
    if (!f.runLength) {
        f.size = f.dataOffset + stride * std::uint64_t(f.height);
        if (std::filesystem::file_size(f.path, error) == f.size)
            return;
    } else if (std::filesystem::exists(f.path, error)) {
        f.size = std::filesystem::file_size(f.path, error);
        return;
    }
    std::printf("making %s ...\n", f.path.c_str());
    std::fflush(stdout);
    if (f.sparse) {
        // The headers, then a hole up to the end: no disk blocks where the file system
        // keeps holes. Where it does not, the whole size must fit on the disk.
        struct statvfs disk { };
        const bool known = statvfs(folder.c_str(), &disk) == 0;
        const int fd = open(f.path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        const std::string h = headers(f, f.size - f.dataOffset);
        const bool made = fd >= 0 && write(fd, h.data(), h.size()) == ssize_t(h.size())
            && ftruncate(fd, off_t(f.size)) == 0;
        struct stat st { };
        const bool holes
            = fd >= 0 && fstat(fd, &st) == 0 && std::uint64_t(st.st_blocks) * 512 < f.size / 2;
        if (fd >= 0)
            close(fd);
        if (!made || (!holes && known && std::uint64_t(disk.f_bavail) * disk.f_frsize < f.size)) {
            std::filesystem::remove(f.path, error);
            f.skipped = "no room for a " + std::to_string(f.size >> 20) + " MiB file in "
                + folder.string();
        }
        return;
    }
    Random random;
    std::ofstream out(f.path, std::ios::binary | std::ios::trunc);
    if (f.runLength) {
        const std::string data = rle8Data(f, random);
        out << headers(f, data.size()) << data;
        f.size = f.dataOffset + data.size();
    } else {
        out << headers(f, f.size - f.dataOffset);
        writeRgb24(out, f, random);
    }
    if (!out.flush()) {
        f.skipped = "could not write " + f.path;
        std::filesystem::remove(f.path, error);
    }
}

std::uint64_t memAvailable()
{
    return bench::procValue("/proc/meminfo", "MemAvailable:") << 10;
}

// Drops the file from the page cache, so that the next read comes from the disk.
void evict(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        close(fd);
    }
}

void benchOurs(benchmark::State& state, const BenchFile* f, bool cold)
{
    Canvas surface(probnik::display::ScreenCopyWidth, probnik::display::ScreenCopyHeight);
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evict(f->path);
            state.ResumeTiming();
        }
        if (!bench::openOurs(Reader, f->path, surface))
            state.SkipWithError("our reader refused the file");
    }
    if (f->runLength) // only then is the whole file read
        state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f->size));
}

void benchQt(benchmark::State& state, const BenchFile* f)
{
    for (auto _ : state)
        if (!bench::openQt(f->path, true))
            state.SkipWithError("Qt could not read the file");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f->size));
}

// The yardstick for run-length decoding: reading the same file from start to end in 64 KiB
// pieces and doing nothing with the bytes.
void benchSequentialRead(benchmark::State& state, const BenchFile* f, bool cold)
{
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evict(f->path);
            state.ResumeTiming();
        }
        const int fd = open(f->path.c_str(), O_RDONLY);
        std::uint64_t total = 0;
        for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) > 0;)
            total += std::uint64_t(got);
        close(fd);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f->size));
}

// The bytes our path reads from the file (the kernel's count for this process), and the
// bound: the headers and palette plus each row shown, or the whole file for run-length data.
std::pair<std::uint64_t, std::uint64_t> bytesRead(const BenchFile& f)
{
    const std::uint64_t read = bench::bytesReadByOurs(Reader, f.path);
    if (f.runLength)
        return { read, f.size };
    const Rect box = probnik::display::displayBox(f.width, f.height);
    std::set<std::int64_t> rows;
    for (int j = 0; j < box.height(); ++j)
        rows.insert(std::int64_t(j) * f.height / box.height());
    const std::uint64_t rowBytes = (std::uint64_t(f.width) * std::uint64_t(f.bitCount) + 7) / 8;
    return { read, f.dataOffset + rows.size() * rowBytes };
}

} // namespace

int main(int argc, char** argv)
{
    QImageReader::setAllocationLimit(0); // Qt refuses large pictures otherwise
    if (argc == 4 && std::strcmp(argv[1], bench::PeakRssOption) == 0)
        return bench::peakHelper(Reader, true, argv[2], argv[3]);

    benchmark::Initialize(&argc, argv);

    const std::filesystem::path folder = bench::benchFolder();
    const auto file = [](const char* name, int width, int height, int bitCount,
                          bool runLength = false, bool sparse = false) {
        BenchFile f;
        f.name = name;
        f.width = width;
        f.height = height;
        f.bitCount = bitCount;
        f.runLength = runLength;
        f.sparse = sparse;
        return f;
    };
    // Qt's BMP reader refuses pictures above 16384 x 16384 pixels whatever its allocation
    // limit, so it is also timed on that largest picture it reads: a lower bound of what the
    // 30000 x 20000 one would cost it.
    std::vector<BenchFile> files = {
        file("4000x3000_24bit", 4000, 3000, 24),
        file("12000x9000_24bit", 12000, 9000, 24),
        file("8000x8000_8bit_rle", 8000, 8000, 8, true),
        file("16384x16384_24bit", 16384, 16384, 24, false, true),
        file("30000x20000_24bit", 30000, 20000, 24, false, true),
    };
    const BenchFile& largestForQt = files[3];
    for (BenchFile& f : files) {
        prepare(f, folder);
        if (!f.skipped.empty()) {
            std::printf("skipping %s: %s\n", f.name.c_str(), f.skipped.c_str());
            continue;
        }
        // Qt holds the whole picture at 4 bytes a pixel, and more while converting.
        const std::uint64_t qtNeeds = std::uint64_t(f.width) * std::uint64_t(f.height) * 5;
        if (!QImageReader(QString::fromStdString(f.path)).size().isValid())
            f.qtSkipped = "QImageReader refuses it";
        else if (memAvailable() < qtNeeds)
            f.qtSkipped = "Qt would need " + std::to_string(qtNeeds >> 20) + " MiB of memory";
        benchmark::RegisterBenchmark(("ours/" + f.name).c_str(), benchOurs, &f, false)
            ->Unit(benchmark::kMillisecond);
        if (f.qtSkipped.empty()) // at least two reads even of the largest pictures
            benchmark::RegisterBenchmark(("qt/" + f.name).c_str(), benchQt, &f)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(2.0);
        // Run-length data is read whole: our open against reading the same bytes, from the
        // page cache and from the disk.
        if (f.runLength)
            for (const bool cold : { false, true }) {
                const std::string cache = cold ? "_cold/" : "/";
                benchmark::RegisterBenchmark(
                    ("sequential_read" + cache + f.name).c_str(), benchSequentialRead, &f, cold)
                    ->Unit(benchmark::kMillisecond);
                if (cold)
                    benchmark::RegisterBenchmark(
                        ("ours" + cache + f.name).c_str(), benchOurs, &f, cold)
                        ->Unit(benchmark::kMillisecond);
            }
    }

    bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    const auto time = [&](const std::string& kind, const BenchFile& f) {
        return recorder.milliseconds(kind + "/" + f.name);
    };
    std::printf(
        "\nOpening for display: ours (reads what the box shows, stretches it) against Qt\n"
        "(QImageReader reads the whole picture, nearest-pixel scale to the same box).\n"
        "Peak: resident MiB of a fresh process that opens the file once, in brackets\n"
        "its growth while opening. Read: MB our open reads from the file; bound: the\n"
        "headers and palette plus the rows shown (the whole file for run-length data).\n\n");
    std::printf("%-19s %8s %8s %7s %14s %14s %8s %8s\n", "file", "ours ms", "Qt ms", "Qt/ours",
        "ours peak", "Qt peak", "read", "bound");
    for (const BenchFile& f : files) {
        if (!f.skipped.empty()) {
            std::printf("%-19s skipped: %s\n", f.name.c_str(), f.skipped.c_str());
            continue;
        }
        const double ours = time("ours", f);
        const double qt = time("qt", f);
        const auto oursPeak = bench::measurePeak(Program, "ours", f.path);
        const auto qtPeak
            = f.qtSkipped.empty() ? bench::measurePeak(Program, "qt", f.path) : std::nullopt;
        const auto [read, bound] = bytesRead(f);
        std::string ratio = ours > 0 && qt > 0 ? bench::number(qt / ours, "%.0fx") : "-";
        const double qtOnLargest = time("qt", largestForQt);
        if (qt < 0 && ours > 0 && qtOnLargest > 0 && f.width * 1.0 * f.height > 16384.0 * 16384)
            ratio = ">" + bench::number(qtOnLargest / ours, "%.0fx");
        const std::string qtText = qt >= 0 ? bench::number(qt, "%.0f") : "refuses";
        std::printf("%-19s %8s %8s %7s %14s %14s %8s %8s\n", f.name.c_str(),
            bench::number(ours, "%.2f").c_str(), qtText.c_str(), ratio.c_str(),
            bench::peakText(oursPeak).c_str(), bench::peakText(qtPeak).c_str(),
            bench::number(double(read) / 1e6, "%.2f").c_str(),
            bench::number(double(bound) / 1e6, "%.2f").c_str());
        if (f.runLength)
            for (const char* cache : { "", "_cold" }) {
                const double decode = time(std::string("ours") + cache, f);
                const double plain = time(std::string("sequential_read") + cache, f);
                if (decode > 0 && plain > 0)
                    std::printf("%19s from the %s: our open %.2f ms, plain sequential read "
                                "%.2f ms: %.2fx\n",
                        "", *cache ? "disk" : "page cache", decode, plain, decode / plain);
            }
    }
    for (const BenchFile& f : files)
        if (!f.qtSkipped.empty() && f.skipped.empty())
            std::printf("%s: Qt not timed: %s. \">N\": Qt's time on %s, the largest picture it "
                        "reads, over ours.\n",
                f.name.c_str(), f.qtSkipped.c_str(), largestForQt.name.c_str());
    return 0;
}
