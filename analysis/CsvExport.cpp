// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/CsvExport.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <iconv.h>
#include <memory>

namespace probnik::csv {

namespace {

// Deletes the first `count` characters of text (all of them when it is shorter).
void dropFront(std::string_view& text, std::size_t count)
{
    text.remove_prefix(std::min(count, text.size()));
}

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

Result<std::string> convert(const char* to, const char* from, std::string_view text)
{
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Error { std::string("Brak przekształcenia z ") + from + " na " + to };
    const Converter guard(cd);
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == std::size_t(-1))
        return Error { "Tekstu nie da się zapisać w stronie kodowej Windows-1250" };
    out.resize(out.size() - outLeft);
    return out;
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

std::vector<std::string> buildLines(
    const std::vector<std::string>& rows, std::string_view separator, const Statistics& statistics)
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
            for (int channel = 0; channel < 3; ++channel) {
                line += sep;
                if (i == 0)
                    line += std::to_string(statistics.mean[channel]);
                else if (i == 1)
                    line += floatToDotStr(statistics.stdDev[channel]);
                else
                    line += floatToDotStr(statistics.varCoef[channel]);
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

Result<std::string> toWindows1250(std::string_view utf8)
{
    return convert("CP1250", "UTF-8", utf8);
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

namespace {

// The bytes of the code page a separator may hold: tab and the printable characters.
bool isSeparatorByte(unsigned char byte)
{
    return byte == '\t' || (byte >= 0x20 && byte != 0x7F);
}

} // namespace

bool isStorableSeparator(std::string_view utf8)
{
    const Result<std::string> bytes = toWindows1250(utf8);
    return bytes && std::all_of(bytes.value().begin(), bytes.value().end(), [](char c) {
        return isSeparatorByte(static_cast<unsigned char>(c));
    });
}

std::vector<std::string> windows1250Characters()
{
    std::vector<std::string> characters;
    for (int byte = 0; byte <= 0xFF; ++byte) {
        if (!isSeparatorByte(static_cast<unsigned char>(byte)))
            continue;
        const char c = char(byte);
        Result<std::string> utf8 = convert("UTF-8", "CP1250", std::string_view(&c, 1));
        // Bytes the code page leaves undefined have no character.
        if (utf8 && !utf8.value().empty())
            characters.push_back(std::move(utf8).value());
    }
    return characters;
}

} // namespace probnik::csv
