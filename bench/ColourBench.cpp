// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The L*a*b* statistics of a full 400 x 400 area through a colour profile, fed row by row as
// the area study reads a picture: through a matrix-and-curve profile (per-channel tables) and
// through a look-up profile (Little CMS a row at a time), at 8 and 16 bits, beside Little CMS
// converting the same pixels one by one to L*a*b*; and the cost of making the converter.
// Prints the time of each at the end.
// Run:
//   cmake --preset bench && cmake --build build/bench --target probnik_colour_bench -j2
//   build/bench/bench/probnik_colour_bench --benchmark_repetitions=5
#include "colour/ColourProfile.h"
#include "colour/LabConversion.h"

#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace probnik;
using namespace probnik::colour;

constexpr int Side = 400;

std::vector<std::uint8_t> bytesOf(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Adobe RGB (1998) as a matrix with curves.
std::vector<std::uint8_t> matrixProfile()
{
    const cmsCIExyY white = { 0.3127, 0.3290, 1 };
    const cmsCIExyYTRIPLE primaries = { { 0.64, 0.33, 1 }, { 0.21, 0.71, 1 }, { 0.15, 0.06, 1 } };
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 563.0 / 256);
    cmsToneCurve* curves[3] = { curve, curve, curve };
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return bytesOf(p);
}

// Curves, then a 33-point cube of a matrix a little off linear, then identity curves, as
// scanner and camera profiles hold: the curves as tables of 4096 points (most such profiles),
// or as formulas, which Little CMS works out with a power for every channel of every pixel.
std::vector<std::uint8_t> lookUpProfile(bool formulas)
{
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 4.3);
    cmsSetDeviceClass(p, cmsSigInputClass);
    cmsSetColorSpace(p, cmsSigRgbData);
    cmsSetPCS(p, cmsSigXYZData);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 3, 3);
    std::vector<cmsUInt16Number> table(4096);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = cmsUInt16Number(std::lround(65535 * std::pow(double(i) / 4095, 2.2)));
    cmsToneCurve* gamma = formulas ? cmsBuildGamma(nullptr, 2.2)
                                   : cmsBuildTabulatedToneCurve16(nullptr, 4096, table.data());
    cmsToneCurve* curves[3] = { gamma, gamma, gamma };
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 33, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        grid,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void*) -> cmsInt32Number {
            constexpr double m[3][3] = { { 0.4361, 0.3851, 0.1431 }, { 0.2225, 0.7169, 0.0606 },
                { 0.0139, 0.0971, 0.7142 } };
            const double v[3] = { in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0 };
            for (int i = 0; i < 3; ++i) {
                const double xyz = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
                out[i] = cmsUInt16Number(std::lround(32768 * xyz * (1 - 0.05 * v[i] * v[2])));
            }
            return 1;
        },
        nullptr, 0);
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    const cmsUInt16Number line[2] = { 0, 65535 };
    cmsToneCurve* identity
        = formulas ? cmsBuildGamma(nullptr, 1.0) : cmsBuildTabulatedToneCurve16(nullptr, 2, line);
    cmsToneCurve* identities[3] = { identity, identity, identity };
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, identities));
    cmsWriteTag(p, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    cmsFreeToneCurve(gamma);
    cmsFreeToneCurve(identity);
    return bytesOf(p);
}

enum class Kind { Matrix, Tables, Formulas };

const std::vector<std::uint8_t>& profileBytes(Kind kind)
{
    static const std::vector<std::uint8_t> matrix = matrixProfile();
    static const std::vector<std::uint8_t> tables = lookUpProfile(false);
    static const std::vector<std::uint8_t> formulas = lookUpProfile(true);
    return kind == Kind::Matrix ? matrix : kind == Kind::Tables ? tables : formulas;
}

// Varied colours, as 8-bit colours and as 16-bit values with low bits of their own.
const std::vector<Color>& box8()
{
    static const std::vector<Color> pixels = [] {
        std::vector<Color> p;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                p.push_back(rgb(x * 7 + y, y * 3 - x, (x ^ y) * 5));
        return p;
    }();
    return pixels;
}
const std::vector<std::uint16_t>& box16()
{
    static const std::vector<std::uint16_t> values = [] {
        std::vector<std::uint16_t> v;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                for (const int c : { x * 1789 + y * 7, y * 1201 - x, (x ^ y) * 331 })
                    v.push_back(std::uint16_t(c));
        return v;
    }();
    return values;
}

ColourProfile profile(Kind kind)
{
    return ColourProfile::fromDescription(
        ColourDescription::embedded(profileBytes(kind), "bench"), PixelKind::Rgb);
}

void Statistics8(benchmark::State& state, Kind kind)
{
    const LabConverter converter(profile(kind), ReferenceWhite::D65);
    if (converter.tableBased() != (kind == Kind::Matrix))
        state.SkipWithError("the profile did not take the path it stands for");
    const std::vector<Color>& pixels = box8();
    for (auto _ : state) {
        LabAccumulator accumulator(converter);
        for (int y = 0; y < Side; ++y)
            accumulator.add(std::span(pixels).subspan(std::size_t(y) * Side, Side));
        benchmark::DoNotOptimize(accumulator.result());
    }
}

void Statistics16(benchmark::State& state, Kind kind)
{
    const LabConverter converter(profile(kind), ReferenceWhite::D65, 16);
    const std::vector<std::uint16_t>& values = box16();
    for (auto _ : state) {
        LabAccumulator accumulator(converter);
        for (int y = 0; y < Side; ++y)
            accumulator.add16(std::span(values).subspan(std::size_t(y) * Side * 3, Side * 3));
        benchmark::DoNotOptimize(accumulator.result());
    }
}

// Little CMS alone: each pixel through a transform to L*a*b* (D50), summed the same way.
void LittleCmsPerPixel(benchmark::State& state, Kind kind)
{
    const auto& bytes = profileBytes(kind);
    cmsHPROFILE in = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(
        in, TYPE_RGBA_8, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
    const std::vector<Color>& pixels = box8();
    for (auto _ : state) {
        double sum[3] = {}, squares[3] = {};
        for (const Color& c : pixels) {
            cmsCIELab v;
            cmsDoTransform(t, &c, &v, 1);
            const double d[3] = { v.L, v.a, v.b };
            for (int i = 0; i < 3; ++i) {
                sum[i] += d[i];
                squares[i] += d[i] * d[i];
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(squares);
    }
    cmsDeleteTransform(t);
    cmsCloseProfile(lab);
    cmsCloseProfile(in);
}

// What a picture pays once: opening its profile and filling the tables at one white; and
// what another white then costs, the profile's own pass being kept.
void FirstWhite(benchmark::State& state, int bits)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(
            LabConverter(profile(Kind::Matrix), ReferenceWhite::D65, bits).tableBased());
}

void SecondWhite(benchmark::State& state, int bits)
{
    const ColourProfile p = profile(Kind::Matrix);
    const LabConverter first(p, ReferenceWhite::D65, bits);
    for (auto _ : state)
        benchmark::DoNotOptimize(LabConverter(p, ReferenceWhite::D50, bits).tableBased());
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

BENCHMARK_CAPTURE(Statistics8, matrix, Kind::Matrix)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Statistics16, matrix, Kind::Matrix)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Statistics8, look_up, Kind::Tables)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Statistics16, look_up, Kind::Tables)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Statistics8, look_up_formulas, Kind::Formulas)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LittleCmsPerPixel, matrix, Kind::Matrix)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LittleCmsPerPixel, look_up, Kind::Tables)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LittleCmsPerPixel, look_up_formulas, Kind::Formulas)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FirstWhite, bits_8, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FirstWhite, bits_16, 16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SecondWhite, bits_8, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SecondWhite, bits_16, 16)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    for (const auto& [name, ms] : collector.times)
        std::printf("%-32s %8.3f ms\n", name.c_str(), ms);
    benchmark::Shutdown();
    return 0;
}
