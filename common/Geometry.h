// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace probnik {

// A point in window client coordinates; (0, 0) means "no point".
struct Point {
    int x = 0;
    int y = 0;
    friend constexpr bool operator==(Point, Point) = default;
};

// A width and a height in pixels.
struct Size {
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(Size, Size) = default;
};

// A rectangle by its edges. Right and Bottom are exclusive where pixels are filled, as the
// window system does it; the display rules also use them as plain numbers.
struct Rect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int width() const { return Right - Left; }
    constexpr int height() const { return Bottom - Top; }
    constexpr bool isEmpty() const { return Right <= Left || Bottom <= Top; }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace probnik
