// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Progress.h"
#include "common/Result.h"
#include "picture/ByteSource.h"
#include "picture/DisplayPicture.h"
#include "picture/FileRegions.h"

namespace probnik {

// Reads Windows and OS/2 bitmaps (1, 4, 8, 16, 24 and 32 bits, RLE4, RLE8, bit fields, core,
// info, V4 and V5 headers, bottom-up and top-down) as a box of boxSide x boxSide shows them
// (see fitInBox), decoding only that: time and memory follow the box, not the file.
// Uncompressed and bit-field files are read row by row at the rows shown, converting only the
// columns shown; run-length files are read once from start to end, keeping only the rows
// shown. Every header field is checked before anything is allocated; pictures of up to 2^40
// pixels are accepted. The picture starts where `source` stands. Progress is reported at each
// shown row, or after each megabyte of run-length data. The colour description is the V4 or
// V5 header's colour space: sRGB ("sRGB", "Win "), calibrated endpoints and gammas (none when
// they are all 0, as writers that know nothing of the colours leave them), or in V5 an
// embedded profile ("MBED", as far as the file holds it, up to 64 MiB) or a linked file's
// name ("LINK", never opened), read after the pixels. Failures carry the messages the user
// sees: "Bitmap image is not valid", "Stream read error".
Result<DisplayPicture> readBmpForDisplay(ByteSource& source, int boxSide, Progress& progress);

// Reads the rectangles of a BMP file (see readFileRegions), with the same headers, checks and
// messages, at the display's 8 bits a channel. Uncompressed and bit-field rows are read where
// they lie, in file order, and of each row only the spans of columns the rectangles crossing
// it cover; run-length data is decoded once from its start up to the last row a rectangle
// holds, keeping one row of the rectangles' columns. Pixels the data never sets are black, as
// shown. Progress is reported at each row read, and for run-length data also after each
// megabyte; a bottom-up file's first stored row is the picture's last.
Result<FilePixelsInfo> readBmpRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress);

} // namespace probnik
