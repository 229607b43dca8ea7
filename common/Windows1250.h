// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"

#include <string>
#include <string_view>
#include <vector>

// The code page of the sample list's CSV file and of its separator.
namespace probnik {

// Text converted from UTF-8 to Windows-1250, or an error for a character it cannot store.
Result<std::string> toWindows1250(std::string_view utf8);
// Whether text is valid UTF-8 made only of characters a separator may contain (empty text is).
bool isStorableSeparator(std::string_view utf8);
// Every character a separator may contain: tab and the printable characters of Windows-1250,
// as UTF-8.
std::vector<std::string> windows1250Characters();

} // namespace probnik
