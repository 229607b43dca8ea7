// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/CsvExport.h"

#include "common/NumberText.h"
#include "common/Windows1250.h"

#include <algorithm>

namespace probnik::csv {

namespace {

// Deletes the first `count` characters of text (all of them when it is shorter).
void dropFront(std::string_view& text, std::size_t count)
{
    text.remove_prefix(std::min(count, text.size()));
}

} // namespace

Fields extractFields(std::string_view row)
{
    Fields fields;
    const std::size_t colon = row.find(':');
    if (colon != std::string_view::npos)
        row.remove_prefix(colon + 1);
    const std::size_t g = row.find('G');
    fields.r = std::string(row.substr(0, g));
    dropFront(row, g == std::string_view::npos ? row.size() : g + 2);
    const std::size_t b = row.find('B');
    fields.g = std::string(row.substr(0, b));
    dropFront(row, b == std::string_view::npos ? row.size() : b + 2);
    fields.b = std::string(row);
    return fields;
}

std::vector<std::string> buildLines(const std::vector<std::string>& rows,
    std::string_view separator, const ColourStatistics& statistics)
{
    const std::string sep(separator);
    static const char* const captions[3]
        = { "Średnia", "Odchylenie standardowe", "Współczynnik zmienności" };
    std::vector<std::string> lines;
    lines.reserve(rows.size() + 1);
    lines.push_back(
        "R" + sep + "G" + sep + "B" + sep + sep + sep + sep + "R" + sep + "G" + sep + "B");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Fields f = extractFields(rows[i]);
        std::string line = f.r + sep + f.g + sep + f.b;
        if (i < 3) {
            line += sep + sep + sep + captions[i];
            for (const ChannelStatistics* channel :
                { &statistics.R, &statistics.G, &statistics.B }) {
                line += sep;
                if (i == 0)
                    line += std::to_string(channel->Mean);
                else if (i == 1)
                    line += floatToDotStr(channel->StdDev);
                else
                    line += floatToDotStr(channel->VarCoef);
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::optional<Error> write(std::ostream& out, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        Result<std::string> bytes = toWindows1250(line);
        if (!bytes)
            return bytes.error();
        out << bytes.value() << "\r\n";
    }
    out.flush();
    if (!out)
        return Error { "Błąd zapisu pliku" };
    return std::nullopt;
}

} // namespace probnik::csv
