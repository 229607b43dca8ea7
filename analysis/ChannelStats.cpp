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
    // A mean of 0 gives no coefficient rather than a division by zero.
    if (s.Mean != 0)
        s.VarCoef = s.StdDev / static_cast<float>(s.Mean) * 100.0f;
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
