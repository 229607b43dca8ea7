// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace probnik::csv {

// The statistics written beside the first three samples, red, green and blue in turn.
struct Statistics {
    int mean[3] = {};
    float stdDev[3] = {};
    float varCoef[3] = {};
};

// The three fields cut from a row of the sample list: the R field runs from the first ":" to
// the first "G", the G field from there to the first "B", the B field is the rest. Nothing is
// trimmed, so the R and G fields keep the blanks that align the list.
struct Fields {
    std::string r;
    std::string g;
    std::string b;
};
Fields extractFields(std::string_view row);

// A single-precision value widened exactly, with at most 15 significant digits, in fixed
// notation, without trailing zeros or a bare decimal point, and always a point as the decimal
// separator, whatever the user's locale.
std::string floatToDotStr(float value);

// The lines of the file (UTF-8, without line ends): the header, one line per sample row, and
// the statistics to the right of the first three.
std::vector<std::string> buildLines(
    const std::vector<std::string>& rows, std::string_view separator, const Statistics& statistics);

// Writes the lines in Windows-1250, each ending in CR LF. Fails when a line holds a character
// the code page cannot store.
std::optional<Error> write(std::ostream& out, const std::vector<std::string>& lines);

// Text converted from UTF-8 to Windows-1250, or an error for a character it cannot store.
Result<std::string> toWindows1250(std::string_view utf8);
// Whether text is valid UTF-8 made only of characters a separator may contain (empty text is).
bool isStorableSeparator(std::string_view utf8);
// Every character a separator may contain: tab and the printable characters of Windows-1250,
// as UTF-8.
std::vector<std::string> windows1250Characters();

} // namespace probnik::csv
