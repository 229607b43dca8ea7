// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>

namespace probnik {

// A colour packed as 0x00BBGGRR: red in bits 0-7, green in 8-15, blue in 16-23.
using Color = std::uint32_t;

constexpr Color rgb(int r, int g, int b)
{
    return Color(r & 255) | Color(g & 255) << 8 | Color(b & 255) << 16;
}

constexpr int red(Color c)
{
    return int(c & 255);
}
constexpr int green(Color c)
{
    return int(c >> 8 & 255);
}
constexpr int blue(Color c)
{
    return int(c >> 16 & 255);
}

constexpr Color White = rgb(255, 255, 255);
constexpr Color Black = rgb(0, 0, 0);
// The main window's background brush.
constexpr Color WindowGrey = rgb(128, 128, 128);

} // namespace probnik
