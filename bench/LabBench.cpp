// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The L*a*b* statistics of a full 400 x 400 area, fed row by row as the area study reads a
// picture: a box of varied colours, a box in which all 160000 colours differ, and the same
// statistics worked out with the exact per-pixel conversion for comparison. Prints the time
// per area at the end.
// Run:
//   cmake --preset bench && cmake --build build/bench --target probnik_lab_bench -j2
//   build/bench/bench/probnik_lab_bench --benchmark_repetitions=5
#include "analysis/Colorimetry.h"
#include "picture/Canvas.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

using namespace probnik;

constexpr int Side = 400;

Canvas varied()
{
    Canvas canvas(Side, Side);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            canvas.setPixel(x, y, rgb(x * 7 + y, y * 3 - x, (x ^ y) * 5));
    return canvas;
}

// An odd multiplier makes i -> i * m a one-to-one map of 24-bit numbers, spread over the cube.
Canvas allDistinct()
{
    Canvas canvas(Side, Side);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x)
            canvas.setPixel(x, y, Color(std::uint32_t(y * Side + x) * 2654435761u & 0xFFFFFF));
    return canvas;
}

void AreaStatistics(benchmark::State& state, const Canvas& (*picture)())
{
    const Canvas& canvas = picture();
    for (auto _ : state) {
        lab::LabAccumulator accumulator;
        for (int y = 0; y < Side; ++y)
            accumulator.add(std::span(canvas.row(y), Side));
        const lab::LabStatistics s = accumulator.result();
        benchmark::DoNotOptimize(s.mean);
    }
}

// The same sums over labFromColor(), which takes std::cbrt for every pixel.
void ExactPerPixel(benchmark::State& state, const Canvas& (*picture)())
{
    const Canvas& canvas = picture();
    for (auto _ : state) {
        double sum[3] = {}, squares[3] = {};
        for (int y = 0; y < Side; ++y)
            for (const Color c : std::span(canvas.row(y), Side)) {
                const lab::Lab v = lab::labFromColor(c);
                const double d[3] = { v.L, v.a, v.b };
                for (int i = 0; i < 3; ++i) {
                    sum[i] += d[i];
                    squares[i] += d[i] * d[i];
                }
            }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(squares);
    }
}

const Canvas& variedBox()
{
    static const Canvas canvas = varied();
    return canvas;
}
const Canvas& distinctBox()
{
    static const Canvas canvas = allDistinct();
    return canvas;
}

// Keeps each run's time per iteration (the median when repeated) for the summary.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times; // milliseconds
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration ? !times.count(run.run_name.str())
                                                  : run.aggregate_name == "median")
                times[run.run_name.str()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK_CAPTURE(AreaStatistics, varied, variedBox)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AreaStatistics, all_distinct, distinctBox)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ExactPerPixel, varied, variedBox)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ExactPerPixel, all_distinct, distinctBox)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    for (const auto& [name, ms] : collector.times)
        std::printf("%-28s %8.3f ms per 400 x 400 area\n", name.c_str(), ms);
    benchmark::Shutdown();
    return 0;
}
