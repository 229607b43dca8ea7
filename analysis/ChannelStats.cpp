// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/ChannelStats.h"

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

} // namespace probnik
