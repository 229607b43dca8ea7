// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace probnik {

// A private-profile (INI) file as the Windows profile functions see it: "[section]" lines,
// "key=value" lines, section and key names compared without regard to letter case, blanks
// around names and values ignored, a value in matching quotes unquoted. Written back, every
// line the program did not change keeps its bytes, its line end (LF or CR LF) included.
class ProfileIni {
public:
    // The longest value a reader gets; longer values are cut.
    static constexpr std::size_t MaxValueLength = 2047;

    // A missing or unreadable file reads as an empty profile.
    static ProfileIni load(const std::filesystem::path& file);
    static ProfileIni parse(std::string_view text);

    // The value, or nothing when the section or the key is missing. A key present with an
    // empty value gives empty text.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Replaces the key's value, or adds the key (and the section) at the end of its section.
    // Setting the value the key already reads as leaves its line as it is.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    std::string text() const;
    // Writes the whole file atomically (a temporary file renamed over it), so a failed
    // write leaves the old file whole. The error names the file by its bare name.
    std::optional<Error> save(const std::filesystem::path& file) const;

private:
    // Each line without its LF; a CR before the LF stays part of the line.
    std::vector<std::string> m_lines;
    bool m_byteOrderMark = false;
    bool m_lastLineEnded = true; // whether the last line has its LF
};

} // namespace probnik
