// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Geometry.h"
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

// The size a picture of width x height takes in a square box of this side: the long side
// fills the box, the short one keeps the aspect, the division truncating (so a very thin
// picture can get no pixels at all). A picture with no pixels gets 0 x 0. Computed in 64 bits
// for any int sizes.
Size fitInBox(int width, int height, int side);

// Opens any picture the program reads, decoding only what a box of boxSide x boxSide shows:
// time and memory follow the box, not the file. The format is told by the file's first bytes
// (PNG, JPEG, TIFF); anything else is read as BMP. Every shown pixel is a stored pixel of the
// file, as stored, brought to 8 bits a channel (16-bit values v by the rounded v * 255 / 65535),
// grey as R = G = B, palettes looked up, alpha ignored; JPEG's EXIF orientation is applied.
// Failures carry the messages the user sees: "Cannot open file <path>", "Bitmap image is not
// valid" (for any picture that is not valid), "Stream read error" (for a short one).
Result<DisplayPicture> readPictureForDisplay(const std::string& path, int boxSide);

// Whether the Open command, the command line and a drop take this path: it contains one of
// the extensions of the pictures read (.bmp, .png, .tif, .tiff, .jpg, .jpeg) in any letter
// case. Other paths are ignored.
bool isPicturePath(const std::string& path);

} // namespace probnik
