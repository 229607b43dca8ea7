// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The a*b* chart of 1000 samples redrawn: the series, the ellipse and the axes brought up to
// date and both charts painted into a picture, beside the same chart of no samples. A new
// tolerance also works out its contour again. Prints the time per redraw against 30 ms.
// Run:
//   cmake --preset bench && cmake --build build/bench --target probnik_chart_bench -j2
//   build/bench/bench/probnik_chart_bench --benchmark_repetitions=5
#include "analysis/Wykres.h"

#include <QApplication>
#include <QChartView>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

namespace {

using namespace probnik;

TWykres::Shown samples(int count)
{
    TWykres::Shown shown;
    std::mt19937 random(1000);
    std::normal_distribution<double> spread(0, 4);
    for (int i = 0; i < count; ++i) {
        shown.samples.push_back({ 55 + spread(random), 20 + spread(random), 30 + spread(random) });
        shown.colours.push_back(rgb(180 + i % 60, 120 + i % 40, 90 + i % 30));
    }
    shown.reference = lab::Lab { 55, 20, 30 };
    shown.tolerance = 2.0;
    return shown;
}

void Redraw(benchmark::State& state, int count, bool newTolerance)
{
    TWykres chart;
    chart.resize(800, 600);
    chart.show();
    QApplication::processEvents();
    TWykres::Shown shown = samples(count);
    int round = 0;
    for (auto _ : state) {
        if (newTolerance)
            shown.tolerance = 2.0 + (++round % 2) * 0.5;
        chart.draw(shown);
        const QPixmap picture = chart.Plot->grab();
        benchmark::DoNotOptimize(picture.cacheKey());
    }
}

BENCHMARK_CAPTURE(Redraw, NoSamples, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, Samples1000, 1000, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Redraw, Samples1000NewTolerance, 1000, true)->Unit(benchmark::kMillisecond);

class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            // With repetitions, their median; else the one run.
            if (run.run_type == Run::RT_Iteration ? !m_ms.count(run.run_name.str())
                                                  : run.aggregate_name == "median")
                m_ms[run.run_name.str()] = run.GetAdjustedRealTime();
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& [name, ms] : m_ms)
            std::printf(
                "%s: %.2f ms a redraw, %.2f of the 30 ms allowed\n", name.c_str(), ms, ms / 30.0);
    }

private:
    std::map<std::string, double> m_ms;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
