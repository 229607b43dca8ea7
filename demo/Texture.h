// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "common/Geometry.h"

#include <string_view>
#include <vector>

// The colour demonstration: a drawing colour shown as stripes or circles over a background
// colour, and the reading of the channel values typed for the two colours.
namespace probnik::texture {

// The choices of the "Faktura" group, in its order.
enum class Pattern {
    None, // nothing chosen: the background only
    HorizontalLines,
    VerticalLines,
    Circles,
};

// A channel value as read from its edit. When the typed text is not kept, correction holds
// the text the edit must show instead ("0" or "255"); otherwise it is empty.
struct ChannelReading {
    int value = 0;
    std::string_view correction;
    friend bool operator==(const ChannelReading&, const ChannelReading&) = default;
};

// Reads a decimal number with an optional sign. Anything else, an empty text included, is 0
// and corrected to "0"; 256 or more is 255 and corrected to "255". Smaller values, negative
// ones too, are taken as they are (a negative beyond the int range becomes INT_MIN).
ChannelReading readChannel(std::string_view text);

// The colour painted for three channel values read by readChannel. A negative channel is
// painted as 0; channels above 255 do not reach here but are painted as 255.
Color paintedColour(int red, int green, int blue);

// A size or spacing below 1 is drawn as 1.
constexpr int atLeastOne(int value)
{
    return value < 1 ? 1 : value;
}

// The painted part of the window: from its left edge, 20 pixels below the colour rows'
// frame, 20 pixels left of the track bars and 20 pixels above the closing button.
Rect textureArea(int frameBottom, int trackBarLeft, int buttonTop);

// What one paint of the texture draws, in order: the area filled with the background, then
// every rectangle filled and every ellipse filled and outlined in the drawing colour.
// Rectangles and ellipse boxes have exclusive right and bottom edges; an ellipse whose box is
// empty draws nothing.
struct Texture {
    Rect area;
    Color background = White;
    Color drawing = White;
    std::vector<Rect> rectangles;
    std::vector<Rect> ellipses;
};

// The texture of the pattern over area. size is the stripe thickness or circle diameter,
// spacing the pitch from the start of one stripe (or the centre of one circle) to the next;
// values below 1 count as 1. Stripes start at the area's top or left edge, circles are centred
// one size in from both. An element is drawn only while its offset plus size stays below the
// area's height (and width, for vertical stripes and circles), so the last row of the area
// never takes a horizontal stripe. Circles go row by row.
Texture compose(Pattern pattern, Rect area, int size, int spacing, Color background, Color drawing);

} // namespace probnik::texture
