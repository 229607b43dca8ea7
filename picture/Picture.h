// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Progress.h"
#include "common/Result.h"
#include "picture/DisplayPicture.h"

#include <string>

namespace probnik {

// Opens any picture the program reads, decoding only what a box of boxSide x boxSide shows:
// time and memory follow the box, not the file. The format is told by the file's first bytes
// (PNG, JPEG, TIFF); anything else is read as BMP. Every shown pixel is a stored pixel of the
// file, as stored, brought to 8 bits a channel (16-bit values v by the rounded v * 255 / 65535),
// grey as R = G = B, palettes looked up, alpha ignored; JPEG's EXIF orientation is applied.
// Failures carry the messages the user sees: "Cannot open file <path>", "Bitmap image is not
// valid" (for any picture that is not valid), "Stream read error" (for a short one).
// Decoding reports to `progress` and stops, failing with cancelled(), when it says so.
Result<DisplayPicture> readPictureForDisplay(
    const std::string& path, int boxSide, Progress& progress);
Result<DisplayPicture> readPictureForDisplay(const std::string& path, int boxSide);

// Whether the Open command, the command line and a drop take this path: it contains one of
// the extensions of the pictures read (.bmp, .png, .tif, .tiff, .jpg, .jpeg) in any letter
// case. Other paths are ignored.
bool isPicturePath(const std::string& path);

} // namespace probnik
