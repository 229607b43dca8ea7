// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/Colorimetry.h"
#include "colour/LabConversion.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The numbers of the a*b* chart and of the dE00 tolerance: the samples' spread as an ellipse,
// the tolerance's contour around the reference, and which values lie within it.
namespace probnik::lab {

struct AbPoint {
    double a = 0;
    double b = 0;
};

// The one-standard-deviation ellipse of values in the a*b* plane: centred on their mean, its
// axes along the eigenvectors of the a*, b* covariance (divisor n - 1, as the deviations the
// window shows), each half-axis the square root of its eigenvalue.
struct AbEllipse {
    AbPoint centre;
    double major = 0; // the longer half-axis
    double minor = 0; // the shorter one
    double angle = 0; // radians, of the major axis from +a* towards +b*, in (-pi/2, pi/2]
    // `count` points of the outline, evenly spaced in the ellipse's own parameter, the first
    // at the end of the major axis.
    std::vector<AbPoint> outline(int count) const;
};
// None below two values: the spread is not defined.
std::optional<AbEllipse> spreadEllipse(std::span<const Lab> values);

// Within a tolerance means dE00 <= t: a value exactly at t is within.
inline bool withinTolerance(Lab value, Lab reference, double t)
{
    return deltaE00(value, reference) <= t;
}

// How far from the reference, in the a*b* plane at its L* and in direction theta (radians from
// +a* towards +b*), dE00 first reaches t. dE00 is not monotonic along every ray (its hue
// terms turn as the hue does), so this is the first crossing met walking outward in steps of
// an eighth of the larger of t and the distance walked, then narrowed to 1e-12 of the radius
// (or of dE00 to 1e-14 of t). None where dE00 stays below t up to MaxRadius.
inline constexpr double MaxRadius = 400; // across the whole a*, b* range of -200 .. 200
std::optional<double> toleranceRadius(Lab reference, double t, double theta);

// The contour dE00 = t around the reference at its L*: `count` directions evenly spaced from
// theta 0, each giving its first crossing. A direction without one is left out, so the contour
// is closed only when `closed` says so.
struct ToleranceContour {
    std::vector<AbPoint> points;
    bool closed = false;
};
ToleranceContour toleranceContour(Lab reference, double t, int count);

// How many values lie within t of the reference and how many beyond it.
struct ToleranceCounts {
    std::int64_t within = 0;
    std::int64_t beyond = 0;
    std::int64_t total() const { return within + beyond; }
    // The share within, 0..1; none without values.
    std::optional<double> withinShare() const;
};
ToleranceCounts countWithin(std::span<const Lab> values, Lab reference, double t);

// The same counts fed in any number of pieces, for an area's pixels: the study's matches or
// every pixel of the file, in the converter's L*a*b*. A pixel whose lightness alone puts it
// beyond t costs one square root.
class ToleranceCounter {
public:
    ToleranceCounter(Lab reference, double t)
        : m_reference(reference)
        , m_t(t)
    {
    }
    void add(Lab value);
    void add(std::span<const Lab> values);
    void add(std::span<const colour::Lab> values);
    const ToleranceCounts& counts() const { return m_counts; }

private:
    Lab m_reference;
    double m_t;
    ToleranceCounts m_counts;
};

// A tolerance as a person types it: a number (a point or a comma) above 0 and at most
// MaxTolerance, the dE00 of black from white. None otherwise.
inline constexpr double DefaultTolerance = 2.0;
inline constexpr double MaxTolerance = 100;
std::optional<double> readTolerance(std::string_view text);
// The shortest text that reads back as t, with a point and at least one decimal: "2.0",
// "0.125".
std::string toleranceText(double t);

// The part of the CSV file's last line that names the tolerance and the counts.
std::string toleranceLine(double t, const ToleranceCounts& counts);

} // namespace probnik::lab
