// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace probnik {

// The MD5 digest of RFC 1321: what ICC profiles are identified by.
std::array<std::uint8_t, 16> md5(std::span<const std::uint8_t> bytes);
// Bytes as lowercase hexadecimal digits, two a byte.
std::string hexDigits(std::span<const std::uint8_t> bytes);

} // namespace probnik
