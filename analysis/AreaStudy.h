// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/ChannelStats.h"
#include "common/Color.h"
#include "common/Geometry.h"
#include "picture/Canvas.h"

#include <optional>
#include <vector>

namespace probnik {

// The area study's inclusive channel bounds.
struct ChannelBounds {
    int Rmin = 0;
    int Rmax = 255;
    int Gmin = 0;
    int Gmax = 255;
    int Bmin = 0;
    int Bmax = 255;

    bool admits(Color c) const
    {
        const int r = red(c), g = green(c), b = blue(c);
        return Rmin <= r && r <= Rmax && Gmin <= g && g <= Gmax && Bmin <= b && b <= Bmax;
    }
};

struct AreaStudy {
    // What was studied: the area asked for and the bounds, for a second look at the file.
    Rect Area;
    ChannelBounds Bounds;
    int Count = 0; // the pixels within the bounds
    ColourStatistics Stats; // their statistics; all 0 without a match
    // The matches themselves, in the order visited: their colours and their points, for
    // the colorimetry to measure through the picture's profile.
    std::vector<Color> Matches;
    std::vector<Point> MatchPoints;
};

// Studies the pixels of source in area (Right and Bottom excluded) that lie within the bounds,
// column by column from the left, each column from the top. Each match is set black on marks
// at once, when marks is given; marks must not be source, whose pixels are read twice. Only
// the part of area inside source is visited: points beyond it hold no picture. With one match
// the means are its values and the deviations and coefficients 0.
AreaStudy studyArea(const Canvas& source, Rect area, const ChannelBounds& bounds, Canvas* marks);

// The band of bounds that "Autozakres" k puts around a channel: mean -/+ k times the
// deviation rounded down, kept within 0..255. None when the deviation is not a usable number.
struct Band {
    int Min = 0;
    int Max = 0;
    friend constexpr bool operator==(const Band&, const Band&) = default;
};
std::optional<Band> autoRange(int mean, float stdDev, int k);

} // namespace probnik
