// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Opening PNG, TIFF and JPEG pictures for display: the program's path (display-sized decoding,
// then the stretch into the box) against QImageReader reading the whole picture plus a
// nearest-pixel scale to the same box, on 12000 x 9000 and 30000 x 20000 pictures of each
// format, in one run. After the timings it prints, per file, the ratio of the times, the peak
// resident memory of opening the file once in a fresh process, and the physical limit of the
// format: for PNG a plain zlib inflate of the file's IDAT stream, for uncompressed TIFF the
// bytes of the strips or tiles that hold shown rows against the bytes our open reads.
//
// Run:
//   cmake --preset bench && cmake --build --preset bench --target probnik_format_bench &&
//   build/bench/bench/probnik_format_bench
// The files (about 6 GB) are made once in $PROBNIK_BENCH_DIR (default: the temporary folder).
#include "app/Display.h"
#include "bench/BenchSupport.h"
#include "picture/Picture.h"
#include "picture/ShownPixels.h"

#include <QImageReader>
#include <benchmark/benchmark.h>

#include <png.h>
#include <tiffio.h>
#include <zlib.h>
// jpeglib.h needs the types of stdio.h declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <cstdint>
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
namespace bench = probnik::bench;

// Its name to itself when it runs again in helper mode, and the reader it times.
constexpr const char* Program = "probnik_format_bench";
constexpr bench::DisplayReader Reader = probnik::readPictureForDisplay;

enum class Kind { Png, PngInterlaced, TiffStrips, TiffTiles, Jpeg, JpegProgressive };

struct BenchFile {
    std::string name;
    Kind kind;
    int width = 0;
    int height = 0;
    std::string path;
    bool qt = true; // whether Qt is timed on it
    std::string skipped;
};

bool writePng(const BenchFile& f)
{
    std::FILE* out = std::fopen(f.path.c_str(), "wb");
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
    const bool interlaced = f.kind == Kind::PngInterlaced;
    png_set_IHDR(png, info, png_uint_32(f.width), png_uint_32(f.height), 8, PNG_COLOR_TYPE_RGB,
        interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    std::vector<std::uint8_t> row(std::size_t(f.width) * 3);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < f.height; ++y) {
            bench::photoRow(y, f.width, f.height, row);
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0;
}

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
    std::vector<std::uint8_t> row(std::size_t(f.width) * 3);
    bool ok = true;
    if (f.kind == Kind::TiffStrips) {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        for (int y = 0; y < f.height && ok; ++y) {
            bench::photoRow(y, f.width, f.height, row);
            ok = TIFFWriteScanline(tif, row.data(), std::uint32_t(y), 0) >= 0;
        }
    } else {
        constexpr int Tile = 256;
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, Tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, Tile);
        std::vector<std::uint8_t> band(std::size_t(f.width) * 3 * Tile);
        std::vector<std::uint8_t> tile(std::size_t(Tile) * Tile * 3);
        for (int top = 0; top < f.height && ok; top += Tile) {
            for (int y = top; y < top + Tile; ++y) {
                bench::photoRow(std::min(y, f.height - 1), f.width, f.height, row);
                std::copy(
                    row.begin(), row.end(), band.begin() + std::ptrdiff_t(y - top) * f.width * 3);
            }
            for (int left = 0; left < f.width && ok; left += Tile) {
                for (int y = 0; y < Tile; ++y)
                    for (int x = 0; x < Tile; ++x)
                        for (int c = 0; c < 3; ++c)
                            tile[(std::size_t(y) * Tile + x) * 3 + c] = left + x < f.width
                                ? band[(std::size_t(y) * f.width + left + x) * 3 + c]
                                : 0;
                ok = TIFFWriteTile(tif, tile.data(), std::uint32_t(left), std::uint32_t(top), 0, 0)
                    >= 0;
            }
        }
    }
    TIFFClose(tif);
    return ok;
}

bool writeJpeg(const BenchFile& f)
{
    std::FILE* out = std::fopen(f.path.c_str(), "wb");
    if (!out)
        return false;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(f.width);
    info.image_height = JDIMENSION(f.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info); // 4:2:0
    jpeg_set_quality(&info, 90, TRUE);
    if (f.kind == Kind::JpegProgressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(std::size_t(f.width) * 3);
    for (int y = 0; y < f.height; ++y) {
        bench::photoRow(y, f.width, f.height, row);
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

void prepare(BenchFile& f, const std::filesystem::path& folder)
{
    const char* extension = f.kind == Kind::Jpeg || f.kind == Kind::JpegProgressive ? ".jpg"
        : f.kind == Kind::TiffStrips || f.kind == Kind::TiffTiles                   ? ".tif"
                                                                                    : ".png";
    f.path = (folder / ("probnik-bench-" + f.name + extension)).string();
    std::error_code error;
    if (std::filesystem::exists(f.path, error))
        return;
    std::printf("making %s ...\n", f.path.c_str());
    std::fflush(stdout);
    const std::string part = f.path + ".part";
    const std::string final = f.path;
    f.path = part;
    const bool made = f.kind == Kind::Png || f.kind == Kind::PngInterlaced ? writePng(f)
        : f.kind == Kind::TiffStrips || f.kind == Kind::TiffTiles          ? writeTiff(f)
                                                                           : writeJpeg(f);
    f.path = final;
    if (made)
        std::filesystem::rename(part, final, error);
    if (!made || error)
        f.skipped = "could not write " + final;
}

// The yardstick for PNG: inflating the IDAT stream read from the file, into a 64 KiB buffer
// used over and over.
void benchInflate(benchmark::State& state, const BenchFile* f)
{
    std::vector<unsigned char> out(64 * 1024);
    for (auto _ : state) {
        const std::string stream = bench::idatStream(f->path);
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
        if (status != Z_STREAM_END)
            state.SkipWithError("inflate failed");
    }
}

void benchOurs(benchmark::State& state, const BenchFile* f)
{
    Canvas surface(probnik::display::ScreenCopyWidth, probnik::display::ScreenCopyHeight);
    for (auto _ : state)
        if (!bench::openOurs(Reader, f->path, surface))
            state.SkipWithError("our reader refused the file");
}

void benchQt(benchmark::State& state, const BenchFile* f)
{
    for (auto _ : state)
        if (!bench::openQt(f->path, false))
            state.SkipWithError("Qt could not read the file");
}

// For an uncompressed TIFF: the bytes our open reads, and the bytes of the strips or tiles
// that hold shown rows (of tiles, also shown columns).
std::pair<std::uint64_t, std::uint64_t> tiffBytes(const BenchFile& f)
{
    const std::uint64_t read = bench::bytesReadByOurs(Reader, f.path);
    const probnik::Size box = probnik::fitInBox(f.width, f.height, 400);
    std::set<std::int64_t> pieces;
    TIFF* tif = TIFFOpen(f.path.c_str(), "r");
    if (!tif)
        return { read, 0 };
    std::uint64_t* counts = nullptr;
    const bool tiled = TIFFIsTiled(tif);
    TIFFGetField(tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts);
    for (int j = 0; j < box.height; ++j) {
        const auto y = std::uint32_t(std::int64_t(j) * f.height / box.height);
        if (!tiled)
            pieces.insert(TIFFComputeStrip(tif, y, 0));
        else
            for (int i = 0; i < box.width; ++i)
                pieces.insert(TIFFComputeTile(
                    tif, std::uint32_t(std::int64_t(i) * f.width / box.width), y, 0, 0));
    }
    std::uint64_t bound = 0;
    for (const std::int64_t p : pieces)
        bound += counts[p];
    TIFFClose(tif);
    return { read, bound };
}

} // namespace

int main(int argc, char** argv)
{
    QImageReader::setAllocationLimit(0);
    if (argc == 4 && std::strcmp(argv[1], bench::PeakRssOption) == 0)
        return bench::peakHelper(Reader, false, argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    const std::filesystem::path folder = bench::benchFolder();

    std::vector<BenchFile> files;
    const auto file = [](std::string name, Kind kind, int width, int height) {
        BenchFile f;
        f.name = std::move(name);
        f.kind = kind;
        f.width = width;
        f.height = height;
        return f;
    };
    for (const auto& [w, h] : { std::pair { 12000, 9000 }, std::pair { 30000, 20000 } }) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        files.push_back(file("png_" + size, Kind::Png, w, h));
        files.push_back(file("png_interlaced_" + size, Kind::PngInterlaced, w, h));
        files.push_back(file("tiff_strips_" + size, Kind::TiffStrips, w, h));
        files.push_back(file("tiff_tiles_" + size, Kind::TiffTiles, w, h));
        files.push_back(file("jpeg_420_" + size, Kind::Jpeg, w, h));
        if (w < 30000) // its coefficients would pass the reader's 1 GiB limit
            files.push_back(file("jpeg_progressive_" + size, Kind::JpegProgressive, w, h));
    }
    for (BenchFile& f : files) {
        prepare(f, folder);
        if (!f.skipped.empty())
            continue;
        benchmark::RegisterBenchmark(("ours/" + f.name).c_str(), benchOurs, &f)
            ->Unit(benchmark::kMillisecond);
        if (f.kind == Kind::Png)
            benchmark::RegisterBenchmark(("inflate/" + f.name).c_str(), benchInflate, &f)
                ->Unit(benchmark::kMillisecond);
        // One read of the largest pictures is seconds long and takes gigabytes.
        if (f.qt)
            benchmark::RegisterBenchmark(("qt/" + f.name).c_str(), benchQt, &f)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(f.width >= 30000 ? 1 : 2);
    }
    bench::Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    const auto time = [&](const std::string& kind, const BenchFile& f) {
        return recorder.milliseconds(kind + "/" + f.name);
    };
    std::printf("\n%-28s %9s %9s %7s %16s %16s  %s\n", "file", "ours ms", "Qt ms", "Qt/ours",
        "ours peak MiB", "Qt peak MiB", "physical limit");
    for (const BenchFile& f : files) {
        if (!f.skipped.empty()) {
            std::printf("%-28s skipped: %s\n", f.name.c_str(), f.skipped.c_str());
            continue;
        }
        const double ours = time("ours", f), qt = time("qt", f);
        std::string limit;
        char text[160] = "";
        if (f.kind == Kind::Png) {
            const double inflate = time("inflate", f);
            std::snprintf(text, sizeof text, "zlib inflate %.0f ms, ours/inflate %.2fx", inflate,
                ours / inflate);
            limit = text;
        } else if (f.kind == Kind::TiffStrips || f.kind == Kind::TiffTiles) {
            const auto [read, bound] = tiffBytes(f);
            std::snprintf(text, sizeof text, "read %.2f MB of %.2f MB in the shown %s",
                double(read) / 1e6, double(bound) / 1e6,
                f.kind == Kind::TiffTiles ? "tiles" : "strips");
            limit = text;
        }
        std::printf("%-28s %9.1f %9.0f %6.1fx %16s %16s  %s\n", f.name.c_str(), ours, qt,
            ours > 0 && qt > 0 ? qt / ours : 0.0,
            bench::peakText(bench::measurePeak(Program, "ours", f.path)).c_str(),
            bench::peakText(f.qt ? bench::measurePeak(Program, "qt", f.path) : std::nullopt)
                .c_str(),
            limit.c_str());
    }
    return 0;
}
