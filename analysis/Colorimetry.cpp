// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Colorimetry.h"

#include "colour/FastLabF.h"
#include "common/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <vector>

namespace probnik::lab {

namespace {

constexpr double Epsilon = 216.0 / 24389.0;
constexpr double Kappa = 24389.0 / 27.0;
constexpr double White[3] = { 95.047, 100.0, 108.883 };

// Linear sRGB to XYZ (rows X, Y, Z) for linear values 0..1: the sRGB primaries scaled so that
// white lands on White / 100. Each row sums to its White / 100 exactly, so a grey's X / Xn,
// Y / Yn and Z / Zn are one and the same number; the conversions below use that number for
// all three, because rounding the three sums apart would leave a grey a hue of noise.
constexpr double Matrix[3][3] = {
    { 0.4124564391, 0.3575760776, 0.1804374833 },
    { 0.2126728514, 0.7151521553, 0.0721749933 },
    { 0.0193338956, 0.1191920259, 0.9503040785 },
};

constexpr double DegreesPerRadian = 180.0 / std::numbers::pi;

double linearise(int value)
{
    const double v = value / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

const std::array<double, 256>& linearTable()
{
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t {};
        for (int v = 0; v < 256; ++v)
            t[v] = linearise(v);
        return t;
    }();
    return table;
}

double labF(double t)
{
    return t > Epsilon ? std::cbrt(t) : (Kappa * t + 16.0) / 116.0;
}

using colour::fast::fastLabF;
using colour::fast::rootPieces;
using colour::fast::RootPieces;

// The share of each channel value in X / Xn, Y / Yn and Z / Zn, per channel.
struct Ratios {
    double t[3];
};
using ChannelRatios = std::array<std::array<Ratios, 256>, 3>;

const ChannelRatios& channelRatios()
{
    static const ChannelRatios table = [] {
        ChannelRatios t {};
        for (int channel = 0; channel < 3; ++channel)
            for (int v = 0; v < 256; ++v)
                for (int row = 0; row < 3; ++row)
                    t[channel][v].t[row]
                        = Matrix[row][channel] * linearTable()[v] * 100.0 / White[row];
        return t;
    }();
    return table;
}

bool isGrey(int r, int g, int b)
{
    return r == g && g == b;
}

inline Lab fastLab(const ChannelRatios& ratios, const RootPieces& pieces, Color c)
{
    const Ratios& r = ratios[0][red(c)];
    const Ratios& g = ratios[1][green(c)];
    const Ratios& b = ratios[2][blue(c)];
    const double fy = fastLabF(pieces, r.t[1] + g.t[1] + b.t[1]);
    // Selects rather than branches, so that the loop over an area stays straight.
    const bool grey = isGrey(red(c), green(c), blue(c));
    const double fx = grey ? fy : fastLabF(pieces, r.t[0] + g.t[0] + b.t[0]);
    const double fz = grey ? fy : fastLabF(pieces, r.t[2] + g.t[2] + b.t[2]);
    return { 116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz) };
}

double hueDegrees(double b, double a)
{
    if (a == 0 && b == 0)
        return 0;
    double h = std::atan2(b, a) * DegreesPerRadian;
    if (h < 0)
        h += 360.0;
    // A tiny negative angle plus 360 rounds to 360 itself.
    return h >= 360.0 ? 0.0 : h;
}

double square(double v)
{
    return v * v;
}

bool breaksNumbers(char c)
{
    return c == '\r' || c == '\n' || c == '.' || c == '-' || (c >= '0' && c <= '9');
}

} // namespace

Lab labFromRgb(int r, int g, int b)
{
    r = std::clamp(r, 0, 255);
    g = std::clamp(g, 0, 255);
    b = std::clamp(b, 0, 255);
    const auto& linear = linearTable();
    const double rgb[3] = { linear[r], linear[g], linear[b] };
    double f[3];
    for (int row = 0; row < 3; ++row) {
        const double xyz
            = 100.0 * (Matrix[row][0] * rgb[0] + Matrix[row][1] * rgb[1] + Matrix[row][2] * rgb[2]);
        f[row] = labF(xyz / White[row]);
    }
    if (isGrey(r, g, b))
        f[0] = f[2] = f[1];
    return { 116.0 * f[1] - 16.0, 500.0 * (f[0] - f[1]), 200.0 * (f[1] - f[2]) };
}

LCh lchFromLab(Lab lab)
{
    return { lab.L, std::hypot(lab.a, lab.b), hueDegrees(lab.b, lab.a) };
}

double deltaE76(Lab x, Lab y)
{
    return std::sqrt(square(x.L - y.L) + square(x.a - y.a) + square(x.b - y.b));
}

double deltaE00(Lab x, Lab y)
{
    constexpr double Pow25To7 = 6103515625.0; // 25^7
    const double cBar = (std::hypot(x.a, x.b) + std::hypot(y.a, y.b)) / 2.0;
    const double cBar7 = std::pow(cBar, 7.0);
    const double g = 0.5 * (1.0 - std::sqrt(cBar7 / (cBar7 + Pow25To7)));
    const double a1 = (1.0 + g) * x.a;
    const double a2 = (1.0 + g) * y.a;
    const double c1 = std::hypot(a1, x.b);
    const double c2 = std::hypot(a2, y.b);
    const double h1 = hueDegrees(x.b, a1);
    const double h2 = hueDegrees(y.b, a2);

    const double dL = y.L - x.L;
    const double dC = c2 - c1;
    const bool achromatic = c1 * c2 == 0;
    double dh = 0;
    if (!achromatic) {
        dh = h2 - h1;
        if (dh > 180.0)
            dh -= 360.0;
        else if (dh < -180.0)
            dh += 360.0;
    }
    const double dH = 2.0 * std::sqrt(c1 * c2) * std::sin(dh / 2.0 / DegreesPerRadian);

    const double lBar = (x.L + y.L) / 2.0;
    const double cBarPrime = (c1 + c2) / 2.0;
    double hBar = h1 + h2;
    if (!achromatic) {
        if (std::abs(h1 - h2) <= 180.0)
            hBar /= 2.0;
        else
            hBar = hBar < 360.0 ? (hBar + 360.0) / 2.0 : (hBar - 360.0) / 2.0;
    }

    const auto cosDeg = [](double degrees) { return std::cos(degrees / DegreesPerRadian); };
    const double t = 1.0 - 0.17 * cosDeg(hBar - 30.0) + 0.24 * cosDeg(2.0 * hBar)
        + 0.32 * cosDeg(3.0 * hBar + 6.0) - 0.20 * cosDeg(4.0 * hBar - 63.0);
    const double dTheta = 30.0 * std::exp(-square((hBar - 275.0) / 25.0));
    const double cBarPrime7 = std::pow(cBarPrime, 7.0);
    const double rC = 2.0 * std::sqrt(cBarPrime7 / (cBarPrime7 + Pow25To7));
    const double sL = 1.0 + 0.015 * square(lBar - 50.0) / std::sqrt(20.0 + square(lBar - 50.0));
    const double sC = 1.0 + 0.045 * cBarPrime;
    const double sH = 1.0 + 0.015 * cBarPrime * t;
    const double rT = -std::sin(2.0 * dTheta / DegreesPerRadian) * rC;

    const double l = dL / sL, c = dC / sC, h = dH / sH;
    return std::sqrt(l * l + c * c + h * h + rT * c * h);
}

SampleLabStatistics sampleStatistics(std::span<const Lab> samples)
{
    SampleLabStatistics s;
    s.count = std::int64_t(samples.size());
    if (samples.empty())
        return s;
    const double n = double(samples.size());
    for (const Lab& v : samples) {
        s.mean.L += v.L;
        s.mean.a += v.a;
        s.mean.b += v.b;
    }
    s.mean = { s.mean.L / n, s.mean.a / n, s.mean.b / n };

    Lab squares;
    for (const Lab& v : samples) {
        squares.L += square(v.L - s.mean.L);
        squares.a += square(v.a - s.mean.a);
        squares.b += square(v.b - s.mean.b);
        s.largestDeltaE00 = std::max(s.largestDeltaE00, deltaE00(v, s.mean));
    }
    if (samples.size() >= 2)
        s.stdDev = Lab { std::sqrt(squares.L / (n - 1)), std::sqrt(squares.a / (n - 1)),
            std::sqrt(squares.b / (n - 1)) };
    return s;
}

void LabAccumulator::add(std::span<const Color> colors)
{
    if (colors.empty())
        return;
    const ChannelRatios& ratios = channelRatios();
    const RootPieces& pieces = rootPieces();
    if (m_count == 0)
        m_origin = fastLab(ratios, pieces, colors.front());
    const double origin[3] = { m_origin.L, m_origin.a, m_origin.b };
    double sum[3] = { m_sum[0], m_sum[1], m_sum[2] };
    double squares[3] = { m_squares[0], m_squares[1], m_squares[2] };
    for (const Color c : colors) {
        const Lab lab = fastLab(ratios, pieces, c);
        const double d[3] = { lab.L - origin[0], lab.a - origin[1], lab.b - origin[2] };
        for (int i = 0; i < 3; ++i) {
            sum[i] += d[i];
            squares[i] += d[i] * d[i];
        }
    }
    for (int i = 0; i < 3; ++i) {
        m_sum[i] = sum[i];
        m_squares[i] = squares[i];
    }
    m_count += std::int64_t(colors.size());
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

namespace {

// The shortest text that reads back as the value, whatever the locale.
std::string shortest(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return { text, end };
}

std::string bitsText(int bits)
{
    const int last = bits % 10;
    const bool few = last >= 2 && last <= 4 && (bits % 100 < 12 || bits % 100 > 14);
    return std::to_string(bits) + (bits == 1 ? " bit" : few ? " bity" : " bitów") + " na kanał";
}

} // namespace

std::string colourModel(
    const colour::ColourProfile& profile, colour::ReferenceWhite white, int bitsPerChannel)
{
    // A file that says nothing is read as the program always read it, and the line says so
    // as it always did.
    const std::string model = profile.origin() == colour::ProfileOrigin::Assumed
        ? "sRGB (IEC 61966-2-1), przyjęty: plik nie opisuje swoich barw"
        : profile.text();
    const colour::WhitePoint w = colour::whitePoint(white);
    return "Model barw: " + model + ", biel odniesienia " + std::string(colour::whiteName(white))
        + " (Xn " + shortest(w.X) + ", Yn " + shortest(w.Y) + ", Zn " + shortest(w.Z) + "), "
        + bitsText(bitsPerChannel) + ", CIE 1976 L*a*b*, ΔE00 CIEDE2000 (kL = kC = kH = 1)";
}

std::optional<Error> writeCsv(
    std::ostream& out, std::span<const Color> samples, Lab reference, std::string_view separator)
{
    std::vector<CsvSample> rows;
    for (const Color c : samples)
        rows.push_back({ red(c), green(c), blue(c), labFromColor(c) });
    return writeCsv(out, rows, reference, separator, ColourModel);
}

std::optional<Error> writeCsv(std::ostream& out, std::span<const CsvSample> samples, Lab reference,
    std::string_view separator, std::string_view model)
{
    const std::string last[] = { std::string(model) };
    return writeCsv(out, samples, reference, separator, std::nullopt, last);
}

std::optional<Error> writeCsv(std::ostream& out, std::span<const CsvSample> samples, Lab reference,
    std::string_view separator, const std::optional<CsvArea>& area,
    std::span<const std::string> lastLine)
{
    if (separator.empty() || std::any_of(separator.begin(), separator.end(), breaksNumbers))
        return Error { "Tego separatora nie da się użyć w pliku CSV z liczbami" };

    const std::string sep(separator);
    std::string text = "\xEF\xBB\xBF";
    for (const char* name : { "Nr", "R", "G", "B", "L*", "a*", "b*", "C*", "h", "dE00" }) {
        if (text.size() > 3)
            text += sep;
        text += name;
    }
    text += "\r\n";

    int nr = 0;
    for (const CsvSample& s : samples) {
        const LCh lch = lchFromLab(s.lab);
        const std::string h = hueDecimals(lch.h, 4);
        text += std::to_string(++nr) + sep + std::to_string(s.r) + sep + std::to_string(s.g) + sep
            + std::to_string(s.b) + sep + fourDecimals(s.lab.L) + sep + fourDecimals(s.lab.a) + sep
            + fourDecimals(s.lab.b) + sep + fourDecimals(lch.C) + sep + h + sep
            + fourDecimals(deltaE00(s.lab, reference)) + "\r\n";
    }
    if (area) {
        text += "Obszar" + sep + area->source + sep + std::to_string(area->count);
        for (const double v : { area->mean.L, area->mean.a, area->mean.b })
            text += sep + (area->count > 0 ? fourDecimals(v) : std::string());
        for (const double v : { area->stdDev ? area->stdDev->L : 0.0,
                 area->stdDev ? area->stdDev->a : 0.0, area->stdDev ? area->stdDev->b : 0.0 })
            text += sep + (area->stdDev ? fourDecimals(v) : std::string());
        text += sep + (area->count > 0 ? fourDecimals(deltaE00(area->mean, reference)) : "");
        text += sep + (area->count > 0 ? fourDecimals(area->clippedPercent) : "") + "\r\n";
    }
    for (std::size_t i = 0; i < lastLine.size(); ++i)
        text += (i > 0 ? "; " : "") + lastLine[i];
    text += "\r\n";

    out.write(text.data(), std::streamsize(text.size()));
    out.flush();
    if (!out)
        return Error { "Błąd zapisu pliku" };
    return std::nullopt;
}

} // namespace probnik::lab
