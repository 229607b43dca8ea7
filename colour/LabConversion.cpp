// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "colour/LabConversion.h"

#include "colour/FastLabF.h"
#include "colour/Lcms.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace probnik::colour {

namespace {

using fast::Epsilon;
using fast::fastLabF;
using fast::Kappa;
using fast::rootPieces;
using fast::RootPieces;

// The profile connection space's white, Y = 1.
constexpr double IccD50[3] = { 0.9642, 1.0, 0.8249 };

// Bradford's cone responses of X, Y, Z.
constexpr double Bradford[3][3] = {
    { 0.8951, 0.2664, -0.1614 },
    { -0.7502, 1.7135, 0.0367 },
    { 0.0389, -0.0685, 1.0296 },
};

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix inverse(const double (&m)[3][3])
{
    Matrix r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // The cofactor of m[j][i].
            const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
            r[i][j] = m[a][c] * m[b][d] - m[a][d] * m[b][c];
        }
    const double det = m[0][0] * r[0][0] + m[0][1] * r[1][0] + m[0][2] * r[2][0];
    for (auto& row : r)
        for (double& v : row)
            v /= det;
    return r;
}

// Pixels go through Little CMS this many at a time.
constexpr std::size_t Piece = 256;

double labF(double t)
{
    return t > Epsilon ? std::cbrt(t) : (Kappa * t + 16.0) / 116.0;
}

inline Lab fastLab(const RootPieces& pieces, double tx, double ty, double tz)
{
    const double fx = fastLabF(pieces, tx);
    const double fy = fastLabF(pieces, ty);
    const double fz = fastLabF(pieces, tz);
    return { 116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz) };
}

} // namespace

WhitePoint whitePoint(ReferenceWhite white)
{
    if (white == ReferenceWhite::D50)
        return { 96.42, 100.0, 82.49 };
    return { 95.047, 100.0, 108.883 };
}

std::string_view whiteName(ReferenceWhite white)
{
    return white == ReferenceWhite::D50 ? "D50" : "D65";
}

ReferenceWhite whiteFromName(std::string_view name)
{
    return name == "D50" ? ReferenceWhite::D50 : ReferenceWhite::D65;
}

namespace {

// D50 XYZ (Y = 1) to X / Xn, Y / Yn, Z / Zn at `white`. Bradford: cone responses of XYZ,
// scaled by those of the target white over those of D50, back to XYZ; then divided by the
// target white.
Matrix towardsWhite(ReferenceWhite white)
{
    const Matrix bradfordInverse = inverse(Bradford);
    const WhitePoint w = whitePoint(white);
    const double target[3] = { w.X / 100, w.Y / 100, w.Z / 100 };
    double scale[3];
    for (int i = 0; i < 3; ++i) {
        double from = 0, to = 0;
        for (int j = 0; j < 3; ++j) {
            from += Bradford[i][j] * IccD50[j];
            to += Bradford[i][j] * target[j];
        }
        scale[i] = to / from;
    }
    Matrix m {};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += bradfordInverse[row][k] * scale[k] * Bradford[k][col];
            m[row][col] = sum / target[row];
        }
    return m;
}

double labFInverse(double f)
{
    return f > 6.0 / 29.0 ? f * f * f : (116.0 * f - 16.0) / Kappa;
}

} // namespace

Lab labOfD50(const Xyz& d50, ReferenceWhite white)
{
    const Matrix m = towardsWhite(white);
    const double c[3] = { d50.X, d50.Y, d50.Z };
    double f[3];
    for (int row = 0; row < 3; ++row)
        f[row] = labF(m[row][0] * c[0] + m[row][1] * c[1] + m[row][2] * c[2]);
    return { 116.0 * f[1] - 16.0, 500.0 * (f[0] - f[1]), 200.0 * (f[1] - f[2]) };
}

Xyz d50OfLab(const Lab& lab, ReferenceWhite white)
{
    const double fy = (lab.L + 16.0) / 116.0;
    const double t[3]
        = { labFInverse(fy + lab.a / 500.0), labFInverse(fy), labFInverse(fy - lab.b / 200.0) };
    const Matrix m = towardsWhite(white);
    double plain[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            plain[i][j] = m[i][j];
    const Matrix back = inverse(plain);
    double c[3];
    for (int row = 0; row < 3; ++row)
        c[row] = back[row][0] * t[0] + back[row][1] * t[1] + back[row][2] * t[2];
    return { c[0], c[1], c[2] };
}

LabConverter::LabConverter(const ColourProfile& profile, ReferenceWhite white, int bitsPerChannel)
    : m_profile(profile)
    , m_engine(&m_profile.engine())
    , m_white(white)
    , m_channels(profile.pixelKind() == PixelKind::Rgb ? 3 : 1)
    , m_bits(bitsPerChannel)
{
    const Matrix adapt = towardsWhite(white);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m_adapt[row][col] = adapt[row][col];
    if (m_engine->separable) {
        fill(m_table8, 256);
        if (m_bits == 16)
            fill(m_table16, 65536);
    }
}

bool LabConverter::tableBased() const
{
    return m_engine->separable;
}

void LabConverter::fill(std::vector<Ratios>& table, int levels) const
{
    const std::vector<double>& xyz = m_engine->channelXyz(levels > 256);
    const std::size_t count = std::size_t(m_channels) * std::size_t(levels) + 1;
    table.assign(std::size_t(m_channels) * levels, Ratios {});
    if (m_channels == 1) {
        // Grey: L* of Y alone; the white's Y is 1 at every white.
        for (int v = 0; v < levels; ++v)
            table[v][0] = 116.0 * labF(xyz[3 * std::size_t(v) + 1]) - 16.0;
        return;
    }
    const double* black = &xyz[(count - 1) * 3];
    for (int channel = 0; channel < 3; ++channel)
        for (int v = 0; v < levels; ++v) {
            const std::size_t at = std::size_t(channel) * levels + v;
            const double* c = &xyz[at * 3];
            for (int row = 0; row < 3; ++row) {
                double sum = 0;
                for (int k = 0; k < 3; ++k)
                    sum += m_adapt[row][k] * (c[k] - black[k] + (channel == 0 ? black[k] : 0));
                table[at][row] = sum;
            }
        }
}

template <class Sink>
void LabConverter::throughEngine(
    const void* values, std::size_t count, bool sixteen, Sink&& sink) const
{
    const RootPieces& pieces = rootPieces();
    double xyz[Piece * 3];
    const std::size_t step = std::size_t(m_channels) * (sixteen ? 2 : 1);
    const auto* bytes = static_cast<const std::uint8_t*>(values);
    for (std::size_t done = 0; done < count; done += Piece) {
        const std::size_t n = std::min(Piece, count - done);
        m_engine->toXyz(bytes + done * step, xyz, n, sixteen);
        for (std::size_t i = 0; i < n; ++i) {
            const double* c = &xyz[3 * i];
            if (m_channels == 1) {
                sink(Lab { 116.0 * labF(std::isfinite(c[1]) ? c[1] : 0.0) - 16.0, 0.0, 0.0 });
                continue;
            }
            double t[3];
            for (int row = 0; row < 3; ++row) {
                const double v
                    = m_adapt[row][0] * c[0] + m_adapt[row][1] * c[1] + m_adapt[row][2] * c[2];
                t[row] = std::isfinite(v) ? v : 0.0;
            }
            sink(fastLab(pieces, t[0], t[1], t[2]));
        }
    }
}

template <class Sink> void LabConverter::each(std::span<const Color> pixels, Sink&& sink) const
{
    if (m_channels == 1) {
        const Ratios* grey = m_table8.data();
        for (const Color c : pixels)
            sink(Lab { grey[red(c)][0], 0.0, 0.0 });
        return;
    }
    if (m_engine->separable) {
        const RootPieces& pieces = rootPieces();
        const Ratios* r = m_table8.data();
        const Ratios* g = r + 256;
        const Ratios* b = g + 256;
        for (const Color c : pixels) {
            const Ratios& x = r[red(c)];
            const Ratios& y = g[green(c)];
            const Ratios& z = b[blue(c)];
            sink(fastLab(pieces, x[0] + y[0] + z[0], x[1] + y[1] + z[1], x[2] + y[2] + z[2]));
        }
        return;
    }
    std::uint8_t rgb[Piece * 3];
    for (std::size_t done = 0; done < pixels.size(); done += Piece) {
        const std::size_t n = std::min(Piece, pixels.size() - done);
        for (std::size_t i = 0; i < n; ++i) {
            const Color c = pixels[done + i];
            rgb[3 * i] = std::uint8_t(red(c));
            rgb[3 * i + 1] = std::uint8_t(green(c));
            rgb[3 * i + 2] = std::uint8_t(blue(c));
        }
        throughEngine(rgb, n, false, sink);
    }
}

template <class Sink>
void LabConverter::each16(std::span<const std::uint16_t> values, Sink&& sink) const
{
    const std::size_t count = values.size() / std::size_t(m_channels);
    if (m_table16.empty()) {
        throughEngine(values.data(), count, true, sink);
        return;
    }
    if (m_channels == 1) {
        for (std::size_t i = 0; i < count; ++i)
            sink(Lab { m_table16[values[i]][0], 0.0, 0.0 });
        return;
    }
    const RootPieces& pieces = rootPieces();
    const Ratios* r = m_table16.data();
    const Ratios* g = r + 65536;
    const Ratios* b = g + 65536;
    for (std::size_t i = 0; i < count; ++i) {
        const Ratios& x = r[values[3 * i]];
        const Ratios& y = g[values[3 * i + 1]];
        const Ratios& z = b[values[3 * i + 2]];
        sink(fastLab(pieces, x[0] + y[0] + z[0], x[1] + y[1] + z[1], x[2] + y[2] + z[2]));
    }
}

Lab LabConverter::lab(Color c) const
{
    Lab result;
    each(std::span(&c, 1), [&](Lab v) { result = v; });
    return result;
}

void LabConverter::convert(std::span<const Color> pixels, std::span<Lab> out) const
{
    Lab* next = out.data();
    each(pixels.first(std::min(pixels.size(), out.size())), [&](Lab v) { *next++ = v; });
}

Lab LabConverter::lab16(std::span<const std::uint16_t> pixel) const
{
    Lab result;
    each16(
        pixel.first(std::min(pixel.size(), std::size_t(m_channels))), [&](Lab v) { result = v; });
    return result;
}

void LabConverter::convert16(std::span<const std::uint16_t> values, std::span<Lab> out) const
{
    Lab* next = out.data();
    const std::size_t count = std::min(values.size() / std::size_t(m_channels), out.size());
    each16(values.first(count * std::size_t(m_channels)), [&](Lab v) { *next++ = v; });
}

Xyz LabConverter::xyzOfMean(std::span<const double> values) const
{
    const double top = m_bits == 16 ? 65535.0 : 255.0;
    double in[3] = { 0, 0, 0 };
    const std::size_t n = std::min(values.size(), std::size_t(m_channels));
    for (std::size_t i = 0; i < n; ++i) {
        const double v = values[i];
        in[i] = std::isfinite(v) ? std::clamp(v / top, 0.0, 1.0) : 0.0;
    }
    double out[3] = { 0, 0, 0 };
    if (!m_engine->toXyzFractional(in, out, 1)) {
        // Without the fine transform the nearest 16-bit level is close enough.
        std::uint16_t wide[3];
        for (int i = 0; i < 3; ++i)
            wide[i] = std::uint16_t(std::lround(in[i] * 65535.0));
        m_engine->toXyz(wide, out, 1, true);
    }
    for (double& v : out)
        if (!std::isfinite(v))
            v = 0.0;
    return { out[0], out[1], out[2] };
}

Lab LabConverter::labOfXyz(const Xyz& d50) const
{
    if (m_channels == 1)
        return { 116.0 * labF(d50.Y) - 16.0, 0.0, 0.0 };
    const double c[3] = { d50.X, d50.Y, d50.Z };
    double f[3];
    for (int row = 0; row < 3; ++row)
        f[row] = labF(m_adapt[row][0] * c[0] + m_adapt[row][1] * c[1] + m_adapt[row][2] * c[2]);
    return { 116.0 * f[1] - 16.0, 500.0 * (f[0] - f[1]), 200.0 * (f[1] - f[2]) };
}

Lab LabConverter::labOfMean(std::span<const double> values) const
{
    return labOfXyz(xyzOfMean(values));
}

void LabAccumulator::add(Lab value)
{
    if (m_count == 0)
        m_origin = value;
    const double d[3] = { value.L - m_origin.L, value.a - m_origin.a, value.b - m_origin.b };
    for (int i = 0; i < 3; ++i) {
        m_sum[i] += d[i];
        m_squares[i] += d[i] * d[i];
    }
    ++m_count;
}

void LabAccumulator::add(std::span<const Color> pixels)
{
    if (pixels.empty())
        return;
    if (m_count == 0)
        m_origin = m_converter->lab(pixels.front());
    const double origin[3] = { m_origin.L, m_origin.a, m_origin.b };
    double sum[3] = { m_sum[0], m_sum[1], m_sum[2] };
    double squares[3] = { m_squares[0], m_squares[1], m_squares[2] };
    m_converter->each(pixels, [&](Lab v) {
        const double d[3] = { v.L - origin[0], v.a - origin[1], v.b - origin[2] };
        for (int i = 0; i < 3; ++i) {
            sum[i] += d[i];
            squares[i] += d[i] * d[i];
        }
    });
    for (int i = 0; i < 3; ++i) {
        m_sum[i] = sum[i];
        m_squares[i] = squares[i];
    }
    m_count += std::int64_t(pixels.size());
}

void LabAccumulator::add16(std::span<const std::uint16_t> values)
{
    const std::size_t channels = std::size_t(m_converter->channels());
    const std::size_t count = values.size() / channels;
    if (count == 0)
        return;
    if (m_count == 0)
        m_origin = m_converter->lab16(values.first(channels));
    const double origin[3] = { m_origin.L, m_origin.a, m_origin.b };
    double sum[3] = { m_sum[0], m_sum[1], m_sum[2] };
    double squares[3] = { m_squares[0], m_squares[1], m_squares[2] };
    m_converter->each16(values.first(count * channels), [&](Lab v) {
        const double d[3] = { v.L - origin[0], v.a - origin[1], v.b - origin[2] };
        for (int i = 0; i < 3; ++i) {
            sum[i] += d[i];
            squares[i] += d[i] * d[i];
        }
    });
    for (int i = 0; i < 3; ++i) {
        m_sum[i] = sum[i];
        m_squares[i] = squares[i];
    }
    m_count += std::int64_t(count);
}

LabStatistics LabAccumulator::result() const
{
    LabStatistics s;
    s.count = m_count;
    if (m_count == 0)
        return s;
    const double n = double(m_count);
    s.mean = { m_origin.L + m_sum[0] / n, m_origin.a + m_sum[1] / n, m_origin.b + m_sum[2] / n };
    if (m_count >= 2) {
        double sd[3];
        for (int i = 0; i < 3; ++i)
            sd[i] = std::sqrt(std::max(0.0, (m_squares[i] - m_sum[i] * m_sum[i] / n) / (n - 1)));
        s.stdDev = Lab { sd[0], sd[1], sd[2] };
    }
    return s;
}

} // namespace probnik::colour
