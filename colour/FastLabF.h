// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

// The L*a*b* function f(t) at table speed, for the per-pixel paths of every area statistic.
namespace probnik::colour::fast {

inline constexpr double Epsilon = 216.0 / 24389.0;
inline constexpr double Kappa = 24389.0 / 27.0;

// The cube root on 1/128..2 in pieces of 1/64 of a power of two, each the chord through the
// true roots at its ends (within 7e-6 of the root); one Halley step then leaves it within
// 1e-15 of std::cbrt.
struct RootPiece {
    double start, root, slope;
};
inline constexpr int PieceBits = 6;
inline constexpr int PieceShift = 52 - PieceBits;
inline constexpr std::uint64_t FirstPiece = std::bit_cast<std::uint64_t>(1.0 / 128) >> PieceShift;
using RootPieces = std::array<RootPiece, 8 << PieceBits>;

inline const RootPieces& rootPieces()
{
    static const RootPieces table = [] {
        RootPieces t {};
        for (std::size_t i = 0; i < t.size(); ++i) {
            const double start = std::bit_cast<double>((FirstPiece + i) << PieceShift);
            const double end = std::bit_cast<double>((FirstPiece + i + 1) << PieceShift);
            t[i] = { start, std::cbrt(start), (std::cbrt(end) - std::cbrt(start)) / (end - start) };
        }
        return t;
    }();
    return table;
}

inline double fastLabF(const RootPieces& pieces, double t)
{
    // Far above white (only a look-up profile gets there) the plain root.
    if (t >= 2.0) [[unlikely]]
        return std::cbrt(t);
    // Both sides are worked out so that the choice compiles to a select; the root is taken
    // of a value within its range, not a number (NaN) included.
    const double r = t > Epsilon ? t : Epsilon;
    const RootPiece& p = pieces[(std::bit_cast<std::uint64_t>(r) >> PieceShift) - FirstPiece];
    const double y = p.root + (r - p.start) * p.slope;
    const double y3 = y * y * y;
    const double root = y * (y3 + 2.0 * r) / (2.0 * y3 + r);
    const double line = t * (Kappa / 116.0) + 16.0 / 116.0;
    return t > Epsilon ? root : line;
}

} // namespace probnik::colour::fast
