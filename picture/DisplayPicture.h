// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/ColourDescription.h"
#include "common/Result.h"
#include "picture/Canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace probnik {

// A picture as a box shows it: nearest-pixel scaled to fitInBox(width, height, side).
struct DisplayPicture {
    // The picture's size in the file (after any orientation the file asks for).
    int width = 0;
    int height = 0;
    // Exactly the size of the box; its pixel (i, j) is the picture's pixel
    // (i * width / shown.width(), j * height / shown.height()). Stretching it into the box
    // therefore draws what stretching the whole picture would. Empty when the box is.
    Canvas shown;

    // What the file says its values mean (none when it says nothing).
    ColourDescription colour;
    // The stored bits a channel (1 to 16; a palette's entries count as 8, 16-bit palette
    // entries as 16) and whether the stored pixels are grey.
    int bits = 8;
    bool grey = false;
    // For files of more than 8 bits a channel: shown's pixels at 16 bits, R, G, B for each
    // pixel, row by row (grey as R = G = B); empty otherwise. At most 400 x 400 x 3 values.
    std::vector<std::uint16_t> shown16;
};

// The failures every reader gives, as the user sees them.
inline const char* const NotValidMessage = "Bitmap image is not valid";
inline const char* const ReadErrorMessage = "Stream read error";
inline Error cannotOpen(const std::string& path)
{
    return Error { "Cannot open file " + path };
}

} // namespace probnik
