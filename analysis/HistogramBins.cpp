// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/HistogramBins.h"

#include "common/NumberText.h"
#include "picture/ShownPixels.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace probnik::histogram {

namespace {

// Enough pixels for a conversion call to pay, few enough to stay in the cache.
constexpr std::size_t Batch = 4096;

int nearestBin(double value, int bins)
{
    if (!(value > 0)) // NaN too
        return 0;
    if (value >= bins - 1.5)
        return bins - 1;
    return int(std::lround(value));
}

} // namespace

void RgbHistogram::add(const std::uint16_t* values, int count, int depth)
{
    auto& r = channels[0];
    auto& g = channels[1];
    auto& b = channels[2];
    if (depth <= 8 && count > 0) {
        // Neighbouring pixels of a photograph mostly fall in one bin: counting odd and even
        // pixels apart, in 32 bits, keeps each increment from waiting on the one before.
        std::array<std::array<std::uint32_t, ChannelLevels>, 6> local {};
        std::uint64_t edges = 0;
        const auto edge = [](unsigned v) { return unsigned(v == 0 || v == 255); };
        int i = 0;
        for (; i + 1 < count; i += 2, values += 6) {
            const unsigned r0 = values[0] & 0xFF, g0 = values[1] & 0xFF, b0 = values[2] & 0xFF;
            const unsigned r1 = values[3] & 0xFF, g1 = values[4] & 0xFF, b1 = values[5] & 0xFF;
            ++local[0][r0];
            ++local[1][g0];
            ++local[2][b0];
            ++local[3][r1];
            ++local[4][g1];
            ++local[5][b1];
            edges += (edge(r0) | edge(g0) | edge(b0)) + (edge(r1) | edge(g1) | edge(b1));
        }
        if (i < count) {
            const unsigned r0 = values[0] & 0xFF, g0 = values[1] & 0xFF, b0 = values[2] & 0xFF;
            ++local[0][r0];
            ++local[1][g0];
            ++local[2][b0];
            edges += edge(r0) | edge(g0) | edge(b0);
        }
        for (std::size_t k = 0; k < std::size_t(ChannelLevels); ++k) {
            r[k] += local[0][k] + local[3][k];
            g[k] += local[1][k] + local[4][k];
            b[k] += local[2][k] + local[5][k];
        }
        clipped += edges;
        pixels += std::uint64_t(count);
        return;
    }
    if (count <= 0)
        return;
    for (int i = 0; i < count; ++i, values += 3) {
        const unsigned vr = values[0], vg = values[1], vb = values[2];
        ++r[std::size_t(eightBits(vr))];
        ++g[std::size_t(eightBits(vg))];
        ++b[std::size_t(eightBits(vb))];
        if (vr == 0 || vg == 0 || vb == 0 || vr == 65535 || vg == 65535 || vb == 65535)
            ++clipped;
    }
    pixels += std::uint64_t(std::max(count, 0));
}

void RgbHistogram::merge(const RgbHistogram& other)
{
    for (std::size_t c = 0; c < channels.size(); ++c)
        for (std::size_t k = 0; k < channels[c].size(); ++k)
            channels[c][k] += other.channels[c][k];
    pixels += other.pixels;
    clipped += other.clipped;
}

void LchHistogram::add(colour::Lab lab)
{
    // Plain roots and a single-precision angle: far finer than a bin, and a box of them
    // binned within the time a redraw may take.
    const double chroma = std::sqrt(lab.a * lab.a + lab.b * lab.b);
    ++L[std::size_t(nearestBin(lab.L, LightnessBins))];
    ++C[std::size_t(nearestBin(chroma, ChromaBins))];
    ++pixels;
    if (!(chroma >= HuelessChroma)) {
        ++hueless;
        return;
    }
    double degrees
        = double(std::atan2(float(lab.b), float(lab.a))) * (180.0 / 3.14159265358979323846);
    if (degrees < 0)
        degrees += 360.0;
    int k = int(std::lround(degrees));
    if (k >= HueBins)
        k -= HueBins;
    ++h[std::size_t(std::clamp(k, 0, HueBins - 1))];
}

namespace {

struct Clipped {
    int left, top, right, bottom;
};

Clipped clip(const Canvas& source, Rect area)
{
    return { std::max(area.Left, 0), std::max(area.Top, 0), std::min(area.Right, source.width()),
        std::min(area.Bottom, source.height()) };
}

} // namespace

RgbHistogram screenHistogram(const Canvas& source, Rect area)
{
    RgbHistogram histogram;
    const Clipped c = clip(source, area);
    for (int y = c.top; y < c.bottom; ++y) {
        const Color* row = source.row(y);
        for (int x = c.left; x < c.right; ++x)
            histogram.add(row[x]);
    }
    return histogram;
}

LchHistogram screenLch(const Canvas& source, Rect area, const colour::LabConverter& converter,
    int converterBits, const DeepValues& deep)
{
    LchHistogram histogram;
    const Clipped c = clip(source, area);
    const bool useDeep = converterBits == 16 && deep.values && !deep.values->empty();
    const bool grey = converter.channels() == 1;
    const int boxWidth = deep.box.width();
    std::vector<Color> colours;
    std::vector<std::uint16_t> values;
    std::vector<colour::Lab> lab(Batch);
    auto flush = [&] {
        if (!colours.empty()) {
            converter.convert(colours, std::span(lab).first(colours.size()));
            for (std::size_t i = 0; i < colours.size(); ++i)
                histogram.add(lab[i]);
            colours.clear();
        }
        if (!values.empty()) {
            const std::size_t n = values.size() / (grey ? 1 : 3);
            converter.convert16(values, std::span(lab).first(n));
            for (std::size_t i = 0; i < n; ++i)
                histogram.add(lab[i]);
            values.clear();
        }
    };
    for (int y = c.top; y < c.bottom; ++y) {
        const Color* row = source.row(y);
        const bool rowInBox = y >= deep.box.Top && y < deep.box.Bottom;
        for (int x = c.left; x < c.right; ++x) {
            const std::size_t at = (std::size_t(y - deep.box.Top) * std::size_t(boxWidth)
                                       + std::size_t(x - deep.box.Left))
                * 3;
            if (useDeep && rowInBox && x >= deep.box.Left && x < deep.box.Right
                && at + 2 < deep.values->size()) {
                const std::uint16_t* v = deep.values->data() + at;
                if (grey)
                    values.push_back(v[0]);
                else
                    values.insert(values.end(), v, v + 3);
            } else {
                colours.push_back(row[x]);
            }
            if (colours.size() == Batch || values.size() >= Batch)
                flush();
        }
    }
    flush();
    return histogram;
}

void HistogramSink::begin(const FilePixelsInfo& info)
{
    m_depth = info.depth;
}

void HistogramSink::run(const PixelRun& run)
{
    m_rgb.add(run.values, run.count, m_depth);
    if (!m_converter || run.count <= 0)
        return;
    const bool grey = m_converter->channels() == 1;
    const bool deep = m_depth > 8 && m_converterBits == 16;
    for (int start = 0; start < run.count; start += int(Batch)) {
        const int n = std::min(run.count - start, int(Batch));
        const std::uint16_t* v = run.values + std::size_t(start) * 3;
        m_lab.resize(std::size_t(n));
        if (deep && !grey) {
            m_converter->convert16(std::span(v, std::size_t(n) * 3), m_lab);
        } else if (deep) {
            m_grey.resize(std::size_t(n));
            for (int i = 0; i < n; ++i)
                m_grey[std::size_t(i)] = v[std::size_t(i) * 3];
            m_converter->convert16(m_grey, m_lab);
        } else {
            m_colours.resize(std::size_t(n));
            for (int i = 0; i < n; ++i) {
                const std::uint16_t* p = v + std::size_t(i) * 3;
                m_colours[std::size_t(i)] = m_depth > 8
                    ? probnik::rgb(eightBits(p[0]), eightBits(p[1]), eightBits(p[2]))
                    : probnik::rgb(p[0] & 0xFF, p[1] & 0xFF, p[2] & 0xFF);
            }
            m_converter->convert(m_colours, m_lab);
        }
        for (const colour::Lab& lab : m_lab)
            m_lch.add(lab);
    }
}

Split split(std::span<const std::uint64_t> bins, int min, int max)
{
    Split s;
    for (std::size_t k = 0; k < bins.size(); ++k) {
        const bool within = min <= int(k) && int(k) <= max;
        (within ? s.inside : s.outside) += bins[k];
    }
    return s;
}

double height(std::uint64_t count, Scale scale)
{
    return scale == Scale::Linear ? double(count) : std::log10(1.0 + double(count));
}

std::vector<Tick> logTicks(std::uint64_t highest)
{
    std::vector<Tick> ticks;
    std::uint64_t power = 1;
    std::string label = "1";
    for (;;) {
        ticks.push_back({ height(power, Scale::Logarithmic), label });
        if (power >= highest || power > UINT64_MAX / 10)
            break;
        power *= 10;
        label += '0';
    }
    return ticks;
}

std::string clippedShare(std::uint64_t clipped, std::uint64_t pixels)
{
    if (pixels == 0)
        return "–";
    return decimals(100.0 * double(clipped) / double(pixels), 2) + " %";
}

} // namespace probnik::histogram
