// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace probnik {

std::string fixed(double value, int places)
{
    char text[400]; // room for the largest double in fixed notation
    const auto [end, ec]
        = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, places);
    return ec == std::errc {} ? std::string(text, end) : std::string();
}

std::string decimals(double value, int places)
{
    std::string s = fixed(value, places);
    if (!s.empty() && s.front() == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string hueDecimals(double degrees, int places)
{
    const std::string s = decimals(degrees, places);
    return s.compare(0, 4, "360.") == 0 ? decimals(0, places) : s;
}

std::string deviationText(float stdDev)
{
    return fixed(stdDev, 3);
}

std::string coefficientText(float varCoef)
{
    return fixed(varCoef, 2) + " %";
}

std::string floatToDotStr(float value)
{
    const double wide = value;
    if (wide == 0 || !std::isfinite(wide))
        return wide == 0 ? "0" : std::string(std::isnan(wide) ? "nan" : wide < 0 ? "-inf" : "inf");
    // Fifteen significant digits from the scientific form, then placed in fixed notation.
    char text[64];
    const auto [end, ec] = std::to_chars(
        text, text + sizeof text, std::fabs(wide), std::chars_format::scientific, 14);
    const std::string_view sci(text, ec == std::errc() ? std::size_t(end - text) : 0);
    const std::size_t e = sci.find('e');
    std::string digits(sci.substr(0, 1));
    digits.append(sci.substr(2, e - 2));
    int exponent = 0;
    std::from_chars(
        sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    digits.erase(digits.find_last_not_of('0') + 1);

    std::string result = wide < 0 ? "-" : "";
    const std::size_t whole = std::size_t(exponent) + 1; // digits before the point
    if (exponent < 0)
        result.append("0.").append(std::size_t(-exponent - 1), '0').append(digits);
    else if (whole >= digits.size())
        result.append(digits).append(whole - digits.size(), '0');
    else
        result.append(digits, 0, whole).append(".").append(digits, whole);
    return result;
}

std::optional<double> parseDecimal(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    std::string number(text);
    int digits = 0, points = 0;
    for (std::size_t i = 0; i < number.size(); ++i) {
        char& c = number[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' || c == ',') {
            c = '.';
            ++points;
        } else if (!(c == '-' && i == 0))
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;
    double value = 0;
    const char* const last = number.data() + number.size();
    const auto [end, ec] = std::from_chars(number.data(), last, value);
    if (ec != std::errc {} || end != last)
        return std::nullopt;
    return value;
}

int wholeNumberWithin(std::string_view text, int min, int max)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return min;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || !std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; }))
        return min;
    // However far beyond the range a number lies, it goes to the same end; stopping early
    // keeps the value well within long long.
    constexpr long long Far = 1'000'000'000'000LL;
    long long value = 0;
    for (const char c : text)
        value = std::min(value * 10 + (c - '0'), Far);
    return int(std::clamp(negative ? -value : value, (long long)min, (long long)max));
}

} // namespace probnik
