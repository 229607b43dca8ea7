// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"
#include "picture/Canvas.h"

#include <string>

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
};

// The failures every reader gives, as the user sees them.
inline const char* const NotValidMessage = "Bitmap image is not valid";
inline const char* const ReadErrorMessage = "Stream read error";
inline Error cannotOpen(const std::string& path)
{
    return Error { "Cannot open file " + path };
}

} // namespace probnik
