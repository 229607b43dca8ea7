// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/AbChart.h"

#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <system_error>

namespace probnik::lab {

std::vector<AbPoint> AbEllipse::outline(int count) const
{
    std::vector<AbPoint> points;
    if (count <= 0)
        return points;
    points.reserve(std::size_t(count));
    const double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < count; ++i) {
        const double u = 2.0 * std::numbers::pi * i / count;
        const double x = major * std::cos(u), y = minor * std::sin(u);
        points.push_back({ centre.a + x * c - y * s, centre.b + x * s + y * c });
    }
    return points;
}

std::optional<AbEllipse> spreadEllipse(std::span<const Lab> values)
{
    if (values.size() < 2)
        return std::nullopt;
    const double n = double(values.size());
    AbPoint mean;
    for (const Lab& v : values) {
        mean.a += v.a;
        mean.b += v.b;
    }
    mean = { mean.a / n, mean.b / n };
    double aa = 0, bb = 0, ab = 0;
    for (const Lab& v : values) {
        const double da = v.a - mean.a, db = v.b - mean.b;
        aa += da * da;
        bb += db * db;
        ab += da * db;
    }
    aa /= n - 1;
    bb /= n - 1;
    ab /= n - 1;
    // The eigenvalues of [[aa, ab], [ab, bb]] from their half-sum and half-difference: the
    // root is never below the difference, so neither value goes negative by cancellation.
    const double half = (aa + bb) / 2;
    const double root = std::hypot((aa - bb) / 2, ab);
    AbEllipse e;
    e.centre = mean;
    e.major = std::sqrt(half + root);
    e.minor = std::sqrt(std::max(0.0, half - root));
    e.angle = aa == bb && ab == 0 ? 0.0 : 0.5 * std::atan2(2 * ab, aa - bb);
    if (e.angle <= -std::numbers::pi / 2)
        e.angle += std::numbers::pi;
    return e;
}

std::optional<double> toleranceRadius(Lab reference, double t, double theta)
{
    if (!(t > 0))
        return std::nullopt;
    const double c = std::cos(theta), s = std::sin(theta);
    auto at = [&](double r) {
        return deltaE00({ reference.L, reference.a + r * c, reference.b + r * s }, reference);
    };
    double lo = 0, hi = 0;
    bool found = false;
    while (lo < MaxRadius) {
        hi = std::min(MaxRadius, lo + std::max(t, lo) / 8);
        if (at(hi) >= t) {
            found = true;
            break;
        }
        lo = hi;
    }
    if (!found)
        return std::nullopt;
    // at(lo) < t <= at(hi): narrowed by false position with the Illinois halving, which
    // takes a few steps where dE00 is smooth, and by plain halving wherever a step fails to
    // halve the bracket (across a jump of the hue terms), so that it always closes.
    double fLo = at(lo) - t, fHi = at(hi) - t;
    int side = 0;
    bool halve = false;
    for (int i = 0; i < 200 && hi - lo > 1e-12 * std::max(1.0, hi); ++i) {
        const double width = hi - lo;
        double x = halve ? (lo + hi) / 2 : hi - fHi * (hi - lo) / (fHi - fLo);
        if (!(x > lo && x < hi))
            x = (lo + hi) / 2;
        const double fx = at(x) - t;
        if (fx >= 0) {
            hi = x;
            fHi = fx;
            if (side == 1)
                fLo /= 2;
            side = 1;
        } else {
            lo = x;
            fLo = fx;
            if (side == -1)
                fHi /= 2;
            side = -1;
        }
        if (std::abs(fx) < 1e-14 * t)
            return x;
        halve = hi - lo > width / 2;
    }
    return (lo + hi) / 2;
}

ToleranceContour toleranceContour(Lab reference, double t, int count)
{
    ToleranceContour contour;
    if (count <= 0)
        return contour;
    contour.points.reserve(std::size_t(count));
    contour.closed = true;
    for (int i = 0; i < count; ++i) {
        const double theta = 2.0 * std::numbers::pi * i / count;
        if (const auto r = toleranceRadius(reference, t, theta))
            contour.points.push_back(
                { reference.a + *r * std::cos(theta), reference.b + *r * std::sin(theta) });
        else
            contour.closed = false;
    }
    return contour;
}

std::optional<double> ToleranceCounts::withinShare() const
{
    if (total() == 0)
        return std::nullopt;
    return double(within) / double(total());
}

ToleranceCounts countWithin(std::span<const Lab> values, Lab reference, double t)
{
    ToleranceCounts counts;
    for (const Lab& v : values)
        ++(withinTolerance(v, reference, t) ? counts.within : counts.beyond);
    return counts;
}

void ToleranceCounter::add(Lab value)
{
    // dE00 is never below its lightness term: the chroma and hue terms with the rotation
    // between them add (|c| - |h|)^2 at the least, as the rotation's factor stays within 2.
    const double dL = value.L - m_reference.L;
    const double lBar = (value.L + m_reference.L) / 2 - 50;
    const double sL = 1.0 + 0.015 * lBar * lBar / std::sqrt(20.0 + lBar * lBar);
    if (std::abs(dL) > m_t * sL) {
        ++m_counts.beyond;
        return;
    }
    ++(withinTolerance(value, m_reference, m_t) ? m_counts.within : m_counts.beyond);
}

void ToleranceCounter::add(std::span<const Lab> values)
{
    for (const Lab& v : values)
        add(v);
}

void ToleranceCounter::add(std::span<const colour::Lab> values)
{
    for (const colour::Lab& v : values)
        add(Lab { v.L, v.a, v.b });
}

std::optional<double> readTolerance(std::string_view text)
{
    const auto t = parseDecimal(text);
    if (!t || !(*t > 0) || *t > MaxTolerance)
        return std::nullopt;
    return t;
}

std::string toleranceText(double t)
{
    // Fixed notation reaches 1e-308 in about 330 characters.
    char text[400];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, t, std::chars_format::fixed);
    if (ec != std::errc())
        return fixed(t, 6);
    std::string s(text, end);
    if (s.find('.') == std::string::npos)
        s += ".0";
    return s;
}

std::string toleranceLine(double t, const ToleranceCounts& counts)
{
    return "Tolerancja ΔE00 " + toleranceText(t) + ": w tolerancji " + std::to_string(counts.within)
        + ", poza nią " + std::to_string(counts.beyond);
}

} // namespace probnik::lab
