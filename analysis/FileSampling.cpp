// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/FileSampling.h"

#include "picture/ShownPixels.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace probnik {

std::vector<SampleMode> sampleModes()
{
    std::vector<SampleMode> modes;
    modes.push_back({});
    SampleMode block;
    block.kind = SampleKind::Block;
    modes.push_back(block);
    for (const int side : SquareSides) {
        SampleMode square;
        square.kind = SampleKind::Square;
        square.side = side;
        modes.push_back(square);
    }
    return modes;
}

SampleMode sampleModeFromText(std::string_view text)
{
    for (const SampleMode& mode : sampleModes())
        if (sampleModeText(mode) == text)
            return mode;
    return {};
}

std::string sampleModeText(SampleMode mode)
{
    switch (mode.kind) {
    case SampleKind::Block:
        return "blok";
    case SampleKind::Square:
        return std::to_string(mode.side);
    case SampleKind::Screen:
        break;
    }
    return "0";
}

std::string sampleModeCaption(SampleMode mode)
{
    switch (mode.kind) {
    case SampleKind::Block:
        return "blok pikseli pliku za pikselem ekranu";
    case SampleKind::Square:
        return std::to_string(mode.side) + " × " + std::to_string(mode.side)
            + " pikseli pliku wokół piksela pokazanego";
    case SampleKind::Screen:
        break;
    }
    return "piksel ekranu";
}

AreaSource areaSourceFromText(std::string_view text)
{
    return text == "plik" ? AreaSource::File : AreaSource::Screen;
}

std::string_view areaSourceText(AreaSource source)
{
    return source == AreaSource::File ? "plik" : "ekran";
}

int shownAlong(int i, int box, int picture)
{
    return int(std::int64_t(i) * picture / box);
}

Stretch blockAlong(int i, int box, int picture)
{
    Stretch s;
    if (box <= 0 || picture <= 0 || i < 0 || i >= box)
        return s;
    s.first = shownAlong(i, box, picture);
    s.end = i + 1 < box ? shownAlong(i + 1, box, picture) : picture;
    s.end = std::max(s.end, s.first + 1);
    return s;
}

Rect sampleRegion(SampleMode mode, Point at, Size box, Size picture)
{
    if (!mode.fromFile() || at.x < 0 || at.y < 0 || at.x >= box.width || at.y >= box.height
        || picture.width <= 0 || picture.height <= 0)
        return {};
    const Stretch across = blockAlong(at.x, box.width, picture.width);
    const Stretch down = blockAlong(at.y, box.height, picture.height);
    if (mode.kind == SampleKind::Block)
        return { across.first, down.first, across.end, down.end };
    const int half = mode.side / 2;
    return { std::max(across.first - half, 0), std::max(down.first - half, 0),
        std::min(across.first + half + 1, picture.width),
        std::min(down.first + half + 1, picture.height) };
}

Rect areaRegion(Rect area, Size box, Size picture)
{
    const int left = std::max(area.Left, 0);
    const int top = std::max(area.Top, 0);
    const int right = std::min(area.Right, box.width);
    const int bottom = std::min(area.Bottom, box.height);
    if (left >= right || top >= bottom || picture.width <= 0 || picture.height <= 0)
        return {};
    // The blocks of a side lie side by side in order: the union runs from the first one's
    // start to the last one's end.
    return { blockAlong(left, box.width, picture.width).first,
        blockAlong(top, box.height, picture.height).first,
        blockAlong(right - 1, box.width, picture.width).end,
        blockAlong(bottom - 1, box.height, picture.height).end };
}

std::int64_t clippedCount(std::span<const Color> colours)
{
    return std::count_if(colours.begin(), colours.end(), [](Color c) {
        const int v[3] = { red(c), green(c), blue(c) };
        return std::any_of(v, v + 3, [](int x) { return x == 0 || x == 255; });
    });
}

std::int64_t clippedCount16(std::span<const std::uint16_t> values)
{
    std::int64_t n = 0;
    for (std::size_t i = 0; i + 2 < values.size(); i += 3)
        if (std::any_of(values.begin() + std::ptrdiff_t(i), values.begin() + std::ptrdiff_t(i + 3),
                [](std::uint16_t x) { return x == 0 || x == 65535; }))
            ++n;
    return n;
}

namespace {

// The run's values as the converter takes them: channels() values a pixel at 16 bits when
// both are 16-bit, else 8-bit colours.
bool deepFor(const colour::LabConverter& converter, int depth)
{
    return depth == 16 && converter.bits() == 16;
}

void pack(const PixelRun& run, int channels, std::vector<std::uint16_t>& out)
{
    out.resize(std::size_t(run.count) * std::size_t(channels));
    for (std::size_t i = 0; i < std::size_t(run.count); ++i)
        for (std::size_t c = 0; c < std::size_t(channels); ++c)
            out[i * std::size_t(channels) + c] = run.values[3 * i + c];
}

Color colourOf(const std::uint16_t* v, int depth)
{
    if (depth == 16)
        return rgb(eightBits(v[0]), eightBits(v[1]), eightBits(v[2]));
    return rgb(v[0], v[1], v[2]);
}

} // namespace

SampleSink::SampleSink(const colour::LabConverter& converter, std::size_t regions)
    : m_converter(&converter)
    , m_sums(regions)
{
}

void SampleSink::begin(const FilePixelsInfo& info)
{
    m_depth = info.depth;
}

void SampleSink::run(const PixelRun& run)
{
    if (run.region >= m_sums.size() || run.count <= 0 || !run.values)
        return;
    Sums& s = m_sums[run.region];
    const std::size_t n = std::size_t(run.count);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            s.channel[c] += run.values[3 * i + c];
    m_labs.resize(n);
    if (deepFor(*m_converter, m_depth)) {
        pack(run, m_converter->channels(), m_values);
        m_converter->convert16(m_values, m_labs);
    } else {
        std::vector<Color> colours(n);
        for (std::size_t i = 0; i < n; ++i)
            colours[i] = colourOf(run.values + 3 * i, m_depth);
        m_converter->convert(colours, m_labs);
    }
    if (m_correction)
        for (colour::Lab& v : m_labs)
            v = m_correction(v);
    if (s.count == 0)
        s.originL = m_labs.front().L;
    for (const colour::Lab& v : m_labs) {
        const double d = v.L - s.originL;
        s.sumL += d;
        s.squaresL += d * d;
    }
    s.count += std::int64_t(n);
}

std::vector<FileSample> SampleSink::results() const
{
    std::vector<FileSample> out;
    const double top = m_depth == 16 ? 65535.0 : 255.0;
    const double converterTop = m_converter->bits() == 16 ? 65535.0 : 255.0;
    for (const Sums& s : m_sums) {
        FileSample f;
        f.count = s.count;
        f.depth = m_depth;
        if (s.count > 0) {
            const double n = double(s.count);
            std::array<double, 3> scaled {};
            for (std::size_t c = 0; c < 3; ++c) {
                f.mean[c] = double(s.channel[c]) / n;
                scaled[c] = f.mean[c] * converterTop / top;
            }
            // A grey picture's converter reads its one value first.
            f.lab = m_converter->labOfMean(scaled);
            if (s.count >= 2)
                f.stdDevL = std::sqrt(std::max(0.0, (s.squaresL - s.sumL * s.sumL / n) / (n - 1)));
        }
        out.push_back(f);
    }
    return out;
}

AreaSink::AreaSink(const colour::LabConverter& converter, const ChannelBounds& bounds)
    : m_converter(&converter)
    , m_bounds(bounds)
    , m_lab(converter)
{
}

void AreaSink::begin(const FilePixelsInfo& info)
{
    m_depth = info.depth;
}

void AreaSink::run(const PixelRun& run)
{
    if (run.count <= 0 || !run.values)
        return;
    const bool deep = deepFor(*m_converter, m_depth);
    const std::size_t channels = std::size_t(m_converter->channels());
    const unsigned top = m_depth == 16 ? 65535u : 255u;
    m_colours.clear();
    m_values.clear();
    for (std::size_t i = 0; i < std::size_t(run.count); ++i) {
        const std::uint16_t* v = run.values + 3 * i;
        const Color c = colourOf(v, m_depth);
        if (!m_bounds.admits(c))
            continue;
        if (v[0] == 0 || v[1] == 0 || v[2] == 0 || v[0] == top || v[1] == top || v[2] == top)
            ++m_clipped;
        if (deep)
            m_values.insert(m_values.end(), v, v + channels);
        else
            m_colours.push_back(c);
    }
    if (!m_correction && !m_within) {
        m_lab.add(m_colours);
        m_lab.add16(m_values);
        return;
    }
    // Pixel by pixel: each corrected, counted against the tolerance, summed.
    const auto add = [this](std::vector<colour::Lab>& labs) {
        for (colour::Lab& v : labs) {
            if (m_correction)
                v = m_correction(v);
            m_lab.add(v);
        }
        if (m_within)
            m_within->add(std::span<const colour::Lab>(labs));
    };
    m_labs.resize(m_colours.size());
    m_converter->convert(m_colours, m_labs);
    add(m_labs);
    m_labs.resize(m_values.size() / channels);
    m_converter->convert16(m_values, m_labs);
    add(m_labs);
}

FileAreaStatistics AreaSink::result() const
{
    FileAreaStatistics s;
    s.lab = m_lab.result();
    if (m_within)
        s.within = FileAreaStatistics::Within { m_withinReference, m_withinT, m_within->counts() };
    if (s.lab.count > 0)
        s.clippedShare = double(m_clipped) / double(s.lab.count);
    return s;
}

} // namespace probnik
