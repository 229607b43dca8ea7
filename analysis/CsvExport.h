// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/ChannelStats.h"
#include "common/Result.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace probnik::csv {

// The three fields cut from a row of the sample list: the R field runs from the first ":" to
// the first "G", the G field from there to the first "B", the B field is the rest. Nothing is
// trimmed, so the R and G fields keep the blanks that align the list.
struct Fields {
    std::string r;
    std::string g;
    std::string b;
};
Fields extractFields(std::string_view row);

// The lines of the file (UTF-8, without line ends): the header, one line per sample row, and
// the statistics to the right of the first three: the means, the deviations and the
// coefficients of red, green and blue.
std::vector<std::string> buildLines(const std::vector<std::string>& rows,
    std::string_view separator, const ColourStatistics& statistics);

// Writes the lines in Windows-1250, each ending in CR LF. Fails when a line holds a character
// the code page cannot store.
std::optional<Error> write(std::ostream& out, const std::vector<std::string>& lines);

} // namespace probnik::csv
