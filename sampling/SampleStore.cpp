// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sampling/SampleStore.h"

#include <algorithm>

namespace probnik {

bool SampleStore::accepts(Point mapped) const
{
    if (SampleCount >= MaxSamples || mapped == Point {})
        return false;
    const auto taken = SamplePoints.begin() + SampleCount;
    return std::find(SamplePoints.begin(), taken, mapped) == taken;
}

std::string SampleStore::add(Point mapped, Color color)
{
    const SampleColor sample { red(color), green(color), blue(color) };
    SamplePoints[std::size_t(SampleCount)] = mapped;
    SampleColors[std::size_t(SampleCount)] = sample;
    ++SampleCount;
    return row(SampleCount, sample);
}

void SampleStore::removeLast()
{
    if (SampleCount > 0)
        --SampleCount;
}

std::string SampleStore::row(int n, const SampleColor& color)
{
    auto channel = [](int value) {
        std::string text = std::to_string(value);
        if (value < 10)
            text += "  ";
        else if (value < 100)
            text += ' ';
        return text;
    };
    std::string text = std::to_string(n) + ". ";
    if (text.size() < 4)
        text += ' ';
    text += "R:" + channel(color.R) + " G:" + channel(color.G) + " B:" + std::to_string(color.B);
    return text;
}

std::string SampleStore::counterText(int count)
{
    return "   " + std::to_string(count);
}

} // namespace probnik
