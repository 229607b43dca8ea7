// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Progress.h"
#include "common/Result.h"
#include "picture/ByteSource.h"
#include "picture/DisplayPicture.h"
#include "picture/FileRegions.h"

#include <cstdint>
#include <string>

namespace probnik {

// Reads PNG files display-sized (see readPictureForDisplay): every colour type and bit depth
// (grey 1 to 16 bits, palette, RGB, with or without alpha, which is ignored), interlaced or
// not. The stored values are kept without gamma or colour management; 16-bit samples become
// 8 bits by eightBits. Rows are inflated one at a time and only the shown columns of the shown
// rows are kept. An interlaced file is read pass by pass, each pixel of a pass that the box
// shows going straight to its place, so it needs no more memory than a plain one. Sides up to
// libpng's limit of 1,000,000 pixels. Compressed data that goes on past the last row is not
// valid, found once 16 KiB of it are read; nothing after the image data is read. Ancillary
// chunks are passed over, except iCCP, sRGB, cHRM and gAMA, and no chunk may take more than
// 64 MiB and a little (an ICC profile of 64 MiB inflated). The colour description is the iCCP
// profile (which libpng takes only when it suits the pixels and comes before any sRGB), else
// sRGB, else cHRM and gAMA. A 16-bit file keeps the box at 16 bits too (shown16). Progress is
// reported at every row (and every megabyte of chunks passed over).
// Failures: "Bitmap image is not valid", "Stream read error".
Result<DisplayPicture> readPngForDisplay(ByteSource& source, int boxSide, Progress& progress);

// Reads the rectangles of a PNG file (see readFileRegions), each pixel as the box shows it:
// 16-bit values as shown16 holds them, fewer bits scaled, palettes looked up. The data is
// inflated and unfiltered row by row up to the last row a rectangle holds, and no further; an
// interlaced file is read pass by pass, every pass but the last whole, and the pixels of a
// pass that holds every few columns are handed over one by one. Memory is two rows of the
// file (what libpng needs) and the rectangles' width. Progress is reported at every row of
// every pass read. When the rectangles reach the last row, image data going on past it is
// refused as for the display; data after their last row is not looked at.
Result<FilePixelsInfo> readPngRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress);

} // namespace probnik
