// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

// Numbers as the program writes and reads them in text: a point is the decimal separator
// whatever the locale.
namespace probnik {

// A number with `places` decimals; empty for a value too long to write.
std::string fixed(double value, int places);

// The same, and never "-0.00": a negative number that rounds to zero is zero.
std::string decimals(double value, int places);
inline std::string fourDecimals(double value)
{
    return decimals(value, 4);
}
// A hue the same way: one just below 360 degrees that rounds to 360 is the same hue as 0.
std::string hueDecimals(double degrees, int places);

// A deviation as the statistics show it: three decimals, "12.346". A coefficient of variation:
// two decimals, a blank and a percent sign, "7.25 %".
std::string deviationText(float stdDev);
std::string coefficientText(float varCoef);

// A single-precision value widened exactly, with at most 15 significant digits, in fixed
// notation, without trailing zeros or a bare decimal point.
std::string floatToDotStr(float value);

// A number as a person types it into a window: blanks around it, an optional minus sign, and
// digits with at most one decimal point or comma ("-12,5", "3.", ".5"). None for anything
// else (exponents, "inf", two signs).
std::optional<double> parseDecimal(std::string_view text);

// What a typed whole number stands for: the whole number in text (blanks around it and a sign
// allowed), brought to the nearer end of min..max; min when text is not a whole number, the
// empty text included.
int wholeNumberWithin(std::string_view text, int min, int max);

} // namespace probnik
