// Opening a picture for display: the program's reader plus the stretch into the display box,
// against Qt's reader plus a nearest-pixel scale to the same box, on the same generated file.
// Run:
//   cmake --preset bench && cmake --build --preset bench && build/bench/bench/probnik_bench
#include "BmpReader.h"
#include "Display.h"

#include <QImage>
#include <QImageReader>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void put32(std::ofstream& out, std::uint32_t v)
{
    const char bytes[4] = { char(v), char(v >> 8), char(v >> 16), char(v >> 24) };
    out.write(bytes, 4);
}
void put16(std::ofstream& out, std::uint16_t v)
{
    const char bytes[2] = { char(v), char(v >> 8) };
    out.write(bytes, 2);
}

// A 24-bit bottom-up BMP with a colour gradient, written once per run.
std::string makeBmp24(int width, int height)
{
    const auto path = std::filesystem::temp_directory_path()
        / ("probnik-bench-" + std::to_string(width) + "x" + std::to_string(height) + ".bmp");
    const std::uint32_t stride = (std::uint32_t(width) * 3 + 3) & ~3u;
    const std::uint32_t dataSize = stride * std::uint32_t(height);
    if (std::filesystem::exists(path) && std::filesystem::file_size(path) == 54 + dataSize)
        return path.string();
    std::ofstream out(path, std::ios::binary);
    out.write("BM", 2);
    put32(out, 54 + dataSize);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, std::uint32_t(width));
    put32(out, std::uint32_t(height));
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i)
        put32(out, 0);
    std::vector<char> row(stride, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[std::size_t(x) * 3] = char(x * 7 + y);
            row[std::size_t(x) * 3 + 1] = char(y * 3);
            row[std::size_t(x) * 3 + 2] = char(x ^ y);
        }
        out.write(row.data(), stride);
    }
    return path.string();
}

void ProbnikOpen(benchmark::State& state, int width, int height)
{
    const std::string path = makeBmp24(width, height);
    const probnik::Rect box = probnik::display::displayBox(width, height);
    probnik::Canvas surface(904, 496);
    for (auto _ : state) {
        auto picture = probnik::readBmpFile(path);
        if (!picture)
            state.SkipWithError(picture.error().message.c_str());
        surface.stretchDraw(box, picture.value());
        benchmark::DoNotOptimize(surface.pixel(100, 100));
    }
}

void QtOpen(benchmark::State& state, int width, int height)
{
    const std::string path = makeBmp24(width, height);
    const probnik::Rect box = probnik::display::displayBox(width, height);
    QImageReader::setAllocationLimit(0);
    for (auto _ : state) {
        QImageReader reader(QString::fromStdString(path));
        const QImage image = reader.read();
        if (image.isNull())
            state.SkipWithError("Qt could not read the picture");
        const QImage shown = image.scaled(
            box.width(), box.height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        benchmark::DoNotOptimize(shown.pixel(10, 10));
    }
}

} // namespace

BENCHMARK_CAPTURE(ProbnikOpen, 4000x3000_24bit, 4000, 3000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QtOpen, 4000x3000_24bit, 4000, 3000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
