// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "demo/Texture.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace probnik::texture {

ChannelReading readChannel(std::string_view text)
{
    constexpr ChannelReading notANumber { 0, "0" };
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    if (i == text.size())
        return notANumber;
    // Digits past the int range change nothing but the size, so the sum stops growing there
    // and a long number cannot overflow it.
    constexpr std::int64_t cap = std::int64_t(INT_MAX) + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return notANumber;
        magnitude = std::min(cap, magnitude * 10 + (c - '0'));
    }
    if (negative)
        return { int(-magnitude), {} };
    if (magnitude >= 256)
        return { 255, "255" };
    return { int(magnitude), {} };
}

Color paintedColour(int red, int green, int blue)
{
    return rgb(std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255));
}

Rect textureArea(int frameBottom, int trackBarLeft, int buttonTop)
{
    constexpr int margin = 20;
    return { 0, frameBottom + margin, trackBarLeft - margin, buttonTop - margin };
}

Texture compose(Pattern pattern, Rect area, int size, int spacing, Color background, Color drawing)
{
    Texture t { area, background, drawing, {}, {} };
    size = atLeastOne(size);
    spacing = atLeastOne(spacing);
    // Offsets stay below the area's size, but offset + size is compared in 64 bits so that
    // any size is safe.
    const std::int64_t width = area.width();
    const std::int64_t height = area.height();
    switch (pattern) {
    case Pattern::None:
        break;
    case Pattern::HorizontalLines:
        for (std::int64_t v = 0; v + size < height; v += spacing) {
            const int top = area.Top + int(v);
            t.rectangles.push_back({ area.Left, top, area.Right, top + size });
        }
        break;
    case Pattern::VerticalLines:
        for (std::int64_t v = 0; v + size < width; v += spacing) {
            const int left = area.Left + int(v);
            t.rectangles.push_back({ left, area.Top, left + size, area.Bottom });
        }
        break;
    case Pattern::Circles: {
        const int r = size / 2;
        for (std::int64_t y = size; y + size < height; y += spacing) {
            const int cy = area.Top + int(y);
            for (std::int64_t x = size; x + size < width; x += spacing) {
                const int cx = area.Left + int(x);
                t.ellipses.push_back({ cx - r, cy - r, cx + r, cy + r });
            }
        }
        break;
    }
    }
    return t;
}

} // namespace probnik::texture
