// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "sampling/SampleStore.h"

#include <cstdint>
#include <span>

namespace probnik {

// The statistics of one colour channel: the mean truncated to an integer, the sample standard
// deviation about that integer mean and the coefficient of variation in percent.
struct ChannelStatistics {
    int Mean = 0;
    float StdDev = 0;
    float VarCoef = 0;
    friend constexpr bool operator==(const ChannelStatistics&, const ChannelStatistics&) = default;
};

struct ColourStatistics {
    ChannelStatistics R;
    ChannelStatistics G;
    ChannelStatistics B;
    friend constexpr bool operator==(const ColourStatistics&, const ColourStatistics&) = default;
};

// The nine results as the statistics window and the area study keep them, named as in their
// designs; the coefficients in the order red, blue, green.
struct StatisticsFields {
    int MeanR = 0;
    int MeanG = 0;
    int MeanB = 0;
    float StdDevR = 0;
    float StdDevG = 0;
    float StdDevB = 0;
    float VarCoefR = 0;
    float VarCoefB = 0;
    float VarCoefG = 0;

    void setStatistics(const ColourStatistics& s)
    {
        MeanR = s.R.Mean;
        MeanG = s.G.Mean;
        MeanB = s.B.Mean;
        StdDevR = s.R.StdDev;
        StdDevG = s.G.StdDev;
        StdDevB = s.B.StdDev;
        VarCoefR = s.R.VarCoef;
        VarCoefB = s.B.VarCoef;
        VarCoefG = s.G.VarCoef;
    }
    ColourStatistics statistics() const
    {
        return { { MeanR, StdDevR, VarCoefR }, { MeanG, StdDevG, VarCoefG },
            { MeanB, StdDevB, VarCoefB } };
    }
    Color meanColour() const { return rgb(MeanR, MeanG, MeanB); }
};

// The statistics of one channel, gathered in two passes over the same values in the same
// order, so that a caller can feed values straight from where they lie without collecting
// them first:
//   first pass:  add(v) for every value;
//   second pass: addDeviation(v) for every value again;
//   then result().
// The squared deviations are summed in single precision, rounded after every value, so the
// result depends on the order of the values exactly as the program has always shown it.
class ChannelAccumulator {
public:
    void add(int value)
    {
        m_sum += value;
        ++m_count;
    }
    int count() const { return m_count; }
    // The sum divided by the count, truncated; 0 before any value.
    int mean() const { return m_count > 0 ? int(m_sum / m_count) : 0; }

    void addDeviation(int value);

    // The mean of the values; the deviation and the coefficient are 0 below two values, where
    // a sample deviation has no value.
    ChannelStatistics result() const;

private:
    std::int64_t m_sum = 0;
    int m_count = 0;
    float m_squares = 0;
};

// The statistics of a list of channel values, in list order. Below two values everything is
// 0, the mean included.
ChannelStatistics channelStatistics(std::span<const int> values);
// The same for each channel of the sample colours.
ColourStatistics sampleStatistics(std::span<const SampleColor> colors);

} // namespace probnik
