// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/AreaStudy.h"

#include <algorithm>
#include <cmath>

namespace probnik {

AreaStudy studyArea(const Canvas& source, Rect area, const ChannelBounds& bounds, Canvas* marks)
{
    // A selection may reach beyond the window; there is no picture to count out there.
    const int left = std::max(area.Left, 0);
    const int top = std::max(area.Top, 0);
    const int right = std::min(area.Right, source.width());
    const int bottom = std::min(area.Bottom, source.height());

    AreaStudy study;
    study.Area = area;
    study.Bounds = bounds;
    ChannelAccumulator r, g, b;
    for (int x = left; x < right; ++x)
        for (int y = top; y < bottom; ++y) {
            const Color c = source.pixel(x, y);
            if (!bounds.admits(c))
                continue;
            r.add(red(c));
            g.add(green(c));
            b.add(blue(c));
            study.Matches.push_back(c);
            study.MatchPoints.push_back({ x, y });
            if (marks)
                marks->setPixel(x, y, Black);
        }
    study.Count = r.count();
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

} // namespace probnik
