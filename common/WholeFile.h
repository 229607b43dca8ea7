// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <string_view>

namespace probnik {

// Writes `bytes` as the whole content of `file`, or leaves the file as it was: the bytes go
// to a new file beside it, reach the disk, and only then take its name. A link is followed, so
// what it points at is replaced; a replaced file keeps its permissions. Returns whether the
// file now holds the bytes; callers word the failure in their own terms.
bool writeWholeFile(const std::filesystem::path& file, std::string_view bytes);

} // namespace probnik
