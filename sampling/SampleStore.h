// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "common/Geometry.h"

#include <array>
#include <string>

namespace probnik {

// The channel values of one sample, 0..255 each.
struct SampleColor {
    int R = 0;
    int G = 0;
    int B = 0;
    friend constexpr bool operator==(const SampleColor&, const SampleColor&) = default;
};

// The point samples: sample n sits at index n - 1 and is row n of the sample list. Entries at
// SampleCount and beyond are stale and never read.
class SampleStore {
public:
    static constexpr int MaxSamples = 1000;

    int SampleCount = 0;
    std::array<Point, MaxSamples> SamplePoints {};
    std::array<SampleColor, MaxSamples> SampleColors {};

    // Whether a click mapped to this window point may be taken: the list is not full, the
    // point is a point (not (0, 0)) and it has not been sampled yet.
    bool accepts(Point mapped) const;
    // Stores a sample the store accepts and returns its row of the sample list.
    std::string add(Point mapped, Color color);
    // Only the count goes down: the entries are overwritten by the next samples.
    void removeLast();
    void clear() { SampleCount = 0; }

    // The sample list's row for sample n: "7.  R:5   G:120 B:7". Numbers below 10 get one
    // more space after ". ", and R and G are padded to three columns, so rows 1 to 99 line up.
    static std::string row(int n, const SampleColor& color);
    // The counter's caption: three spaces and the number.
    static std::string counterText(int count);
};

} // namespace probnik
