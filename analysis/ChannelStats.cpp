// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/ChannelStats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace probnik {

void ChannelAccumulator::addDeviation(int value)
{
    // Values are 0..255, so the difference and its square fit an int with room to spare.
    const int difference = value - mean();
    const int square = difference * difference;
    // Stored back as a float after every value: this rounding is part of the result.
    m_squares = m_squares + static_cast<float>(square);
}

ChannelStatistics ChannelAccumulator::result() const
{
    ChannelStatistics s;
    s.Mean = mean();
    if (m_count < 2)
        return s;
    const float variance = m_squares / static_cast<float>(m_count - 1);
    s.StdDev = static_cast<float>(std::sqrt(static_cast<double>(variance)));
    // A mean of 0 gives no coefficient rather than a division by zero. Worked out in double
    // from the stored deviation, so that only storing it rounds.
    if (s.Mean != 0)
        s.VarCoef = static_cast<float>(static_cast<double>(s.StdDev) / s.Mean * 100.0);
    return s;
}

ChannelStatistics channelStatistics(std::span<const int> values)
{
    if (values.size() < 2)
        return {};
    ChannelAccumulator a;
    for (const int v : values)
        a.add(v);
    for (const int v : values)
        a.addDeviation(v);
    return a.result();
}

ColourStatistics sampleStatistics(std::span<const SampleColor> colors)
{
    if (colors.size() < 2)
        return {};
    ChannelAccumulator r, g, b;
    for (const SampleColor& c : colors) {
        r.add(c.R);
        g.add(c.G);
        b.add(c.B);
    }
    for (const SampleColor& c : colors) {
        r.addDeviation(c.R);
        g.addDeviation(c.G);
        b.addDeviation(c.B);
    }
    return { r.result(), g.result(), b.result() };
}

int wholeNumberWithin(std::string_view text, int min, int max)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return min;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; }))
        return min;
    // However far beyond the range a number lies, it goes to the same end; stopping early
    // keeps the value well within long long.
    constexpr long long Far = 1'000'000'000'000LL;
    long long value = 0;
    for (const char c : text)
        value = std::min(value * 10 + (c - '0'), Far);
    return int(std::clamp(negative ? -value : value, (long long)min, (long long)max));
}

AreaStudy studyArea(const Canvas& source, Rect area, const ChannelBounds& bounds, Canvas* marks)
{
    // A selection may reach beyond the window; there is no picture to count out there.
    const int left = std::max(area.Left, 0);
    const int top = std::max(area.Top, 0);
    const int right = std::min(area.Right, source.width());
    const int bottom = std::min(area.Bottom, source.height());

    ChannelAccumulator r, g, b;
    // The matches go to the L*a*b* sums in batches, which the accumulator converts fastest.
    lab::LabAccumulator labSums;
    std::array<Color, 256> batch;
    std::size_t held = 0;
    for (int x = left; x < right; ++x)
        for (int y = top; y < bottom; ++y) {
            const Color c = source.pixel(x, y);
            if (!bounds.admits(c))
                continue;
            r.add(red(c));
            g.add(green(c));
            b.add(blue(c));
            batch[held++] = c;
            if (held == batch.size()) {
                labSums.add(batch);
                held = 0;
            }
            if (marks)
                marks->setPixel(x, y, Black);
        }
    labSums.add(std::span(batch.data(), held));

    AreaStudy study;
    study.Count = r.count();
    study.Lab = labSums.result();
    if (study.Count == 0)
        return study;

    for (int x = left; x < right; ++x)
        for (int y = top; y < bottom; ++y) {
            const Color c = source.pixel(x, y);
            if (!bounds.admits(c))
                continue;
            r.addDeviation(red(c));
            g.addDeviation(green(c));
            b.addDeviation(blue(c));
        }
    study.Stats = { r.result(), g.result(), b.result() };
    return study;
}

std::optional<Band> autoRange(int mean, float stdDev, int k)
{
    const double d = std::floor(static_cast<double>(stdDev));
    if (!std::isfinite(d))
        return std::nullopt;
    // In double even the largest float deviation times k stays finite, and clamping before
    // the conversion keeps it within int.
    const double spread = d * k;
    return Band { int(std::clamp(mean - spread, 0.0, 255.0)),
        int(std::clamp(mean + spread, 0.0, 255.0)) };
}

namespace {

std::string fixed(double value, int decimals)
{
    char text[64];
    const auto [end, error]
        = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : std::string();
}

} // namespace

std::string deviationText(float stdDev)
{
    // Three decimals always make the text longer than the least width 3, so no padding.
    return fixed(stdDev, 3);
}

std::string coefficientText(float varCoef)
{
    return fixed(varCoef, 2) + " %";
}

} // namespace probnik
