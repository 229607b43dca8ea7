// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The area study over a full 400 x 400 display box, against a peer in the same run: two plain
// passes over the same pixels that only add up their channels (the least two passes can cost).
// Prints the time per study and the ratio to the peer.
// Run:
//   cmake --preset bench && cmake --build --preset bench && build/bench/bench/probnik_area_bench
#include "analysis/AreaStudy.h"
#include "app/Display.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

using namespace probnik;

// A screen copy whose display box holds a picture with every kind of colour.
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

void StudyArea(benchmark::State& state, ChannelBounds bounds)
{
    Canvas marks(display::ScreenCopyWidth, display::ScreenCopyHeight);
    const Rect box = display::displayBox(400, 400);
    for (auto _ : state) {
        const probnik::AreaStudy study = studyArea(source(), box, bounds, &marks);
        benchmark::DoNotOptimize(study.Count);
    }
}

void TwoPlainPasses(benchmark::State& state)
{
    const Rect box = display::displayBox(400, 400);
    for (auto _ : state) {
        long long sum = 0;
        for (int pass = 0; pass < 2; ++pass)
            for (int x = box.Left; x < box.Right; ++x)
                for (int y = box.Top; y < box.Bottom; ++y) {
                    const Color c = source().pixel(x, y);
                    sum += red(c) + green(c) + blue(c);
                }
        benchmark::DoNotOptimize(sum);
    }
}

// Keeps each run's time per iteration for the ratios printed at the end.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times; // in each run's own unit
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK_CAPTURE(StudyArea, all_match, ChannelBounds {})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StudyArea, red_half, (ChannelBounds { 128, 255, 0, 255, 0, 255 }))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(TwoPlainPasses)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    const double peer = collector.times["TwoPlainPasses"];
    for (const char* name : { "StudyArea/all_match", "StudyArea/red_half" }) {
        const double ms = collector.times[name];
        if (peer > 0 && ms > 0)
            std::printf("%-22s %8.3f ms per 400 x 400 study, %.2f x two plain passes\n", name, ms,
                ms / peer);
    }
    benchmark::Shutdown();
    return 0;
}
