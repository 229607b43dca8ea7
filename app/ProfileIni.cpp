// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ProfileIni.h"

#include "common/WholeFile.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace probnik {

namespace {

// The blanks the profile functions skip around names and values.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

// The name of a "[name]" line, or nothing for any other line. Text after "]" is ignored.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
};

// A "name=value" line; comments and lines without "=" are not keys.
std::optional<KeyLine> keyLine(std::string_view line)
{
    const auto t = trimmed(line);
    if (t.empty() || t.front() == ';' || t.front() == '[')
        return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine { trimmed(t.substr(0, eq)), trimmed(t.substr(eq + 1)) };
}

bool quotedWith(std::string_view v, char quote)
{
    return v.size() >= 2 && v.front() == quote && v.back() == quote;
}

// The first MaxValueLength code points; a cut never splits a UTF-8 sequence.
std::string_view cutToLimit(std::string_view v)
{
    std::size_t codePoints = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const auto byte = static_cast<unsigned char>(v[i]);
        if ((byte & 0xC0) != 0x80 && ++codePoints > ProfileIni::MaxValueLength)
            return v.substr(0, i);
    }
    return v;
}

} // namespace

ProfileIni ProfileIni::load(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return {};
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof())
        return {};
    return parse(text.str());
}

ProfileIni ProfileIni::parse(std::string_view text)
{
    ProfileIni ini;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
        ini.m_byteOrderMark = true;
    }
    // The names and values trim a CR at the line's end like any blank.
    while (!text.empty()) {
        const auto end = text.find('\n');
        ini.m_lines.emplace_back(text.substr(0, end));
        ini.m_lastLineEnded = end != std::string_view::npos;
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return ini;
}

std::optional<std::string> ProfileIni::value(std::string_view section, std::string_view key) const
{
    bool inSection = false;
    for (const auto& line : m_lines) {
        if (const auto name = sectionName(line)) {
            if (inSection)
                return std::nullopt; // only the first section of that name counts
            inSection = sameName(*name, trimmed(section));
        } else if (inSection) {
            const auto k = keyLine(line);
            if (k && sameName(k->name, trimmed(key))) {
                auto v = k->value;
                if (quotedWith(v, '"') || quotedWith(v, '\''))
                    v = v.substr(1, v.size() - 2);
                return std::string(cutToLimit(v));
            }
        }
    }
    return std::nullopt;
}

void ProfileIni::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = trimmed(section);
    key = trimmed(key);
    // A line break would end the line early and turn the rest into a line of its own.
    value = value.substr(0, value.find_first_of("\r\n"));
    // A value read unchanged is written back as it stands, bytes the program could not show and
    // text beyond the longest value a reader gets included.
    if (this->value(section, key) == value)
        return;
    // Quotes keep blanks at the ends, and a value that is itself quoted, as they are when read.
    std::string stored(value);
    if (trimmed(value) != value || quotedWith(value, '"') || quotedWith(value, '\''))
        stored = '"' + stored + '"';

    std::optional<std::size_t> insertAt;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (const auto name = sectionName(m_lines[i])) {
            if (insertAt)
                break;
            if (sameName(*name, section))
                insertAt = i + 1;
        } else if (insertAt) {
            if (const auto k = keyLine(m_lines[i])) {
                if (sameName(k->name, key)) {
                    const bool crlf = m_lines[i].ends_with('\r');
                    m_lines[i] = std::string(k->name) + '=' + stored + (crlf ? "\r" : "");
                    return;
                }
                insertAt = i + 1;
            }
        }
    }
    // New lines end as the file's first line does.
    const std::string lineEnd = !m_lines.empty() && m_lines.front().ends_with('\r') ? "\r" : "";
    const auto line = std::string(key) + '=' + stored + lineEnd;
    if (insertAt && *insertAt < m_lines.size()) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*insertAt), line);
        return;
    }
    // The last line gets its line end before another follows it.
    if (!m_lastLineEnded && !m_lines.empty() && !m_lines.back().ends_with('\r'))
        m_lines.back() += lineEnd;
    m_lastLineEnded = true;
    if (!insertAt)
        m_lines.push_back('[' + std::string(section) + ']' + lineEnd);
    m_lines.push_back(line);
}

std::string ProfileIni::text() const
{
    std::string out = m_byteOrderMark ? "\xEF\xBB\xBF" : "";
    for (const auto& line : m_lines) {
        out += line;
        out += '\n';
    }
    if (!m_lastLineEnded && !out.empty())
        out.pop_back();
    return out;
}

std::optional<Error> ProfileIni::save(const std::filesystem::path& file) const
{
    if (!writeWholeFile(file, text()))
        return Error { "Unable to write to " + file.filename().string() };
    return std::nullopt;
}

} // namespace probnik
