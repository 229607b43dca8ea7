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

// Reads the first picture of a TIFF file display-sized (see readPictureForDisplay): grey
// (black or white as zero) of 1, 2, 4, 8 or 16 bits, palette of 1 to 8 bits, RGB of 8 or 16
// bits with any extra samples; in strips or tiles, with the planes contiguous or separate,
// with any compression libtiff decodes. JPEG-compressed (old and new style) and YCbCr pictures
// are decoded and converted to RGB by libtiff's RGBA interface. The stored values are kept;
// 16-bit samples, in either byte order, and the palette's 16-bit entries become 8 bits by
// eightBits. Colour under an associated (premultiplied) alpha is divided by it, rounded (alpha
// 0 gives black); any other alpha is ignored. 16-bit samples and palettes also give the box at
// 16 bits (shown16), the same way. The colour description is the ICC profile of tag 34675,
// up to 64 MiB (a larger one is not loaded). The orientation tag is not applied. Refused as
// not valid: CMYK, Lab, floating-point and signed samples, and other photometrics.
//
// Only the strips or tiles that hold shown rows are read and decoded, and of tiles only those
// that also hold shown columns, each down to its last shown row; one row or one tile is kept
// at a time. Bounds a file cannot stretch: libtiff sees only the tags the picture is decoded
// from and the ICC profile (any other tag is never loaded); strip and tile tables are read entry by
// entry, and one with more entries than the picture has strips or tiles is refused; libtiff's and
// our pieces (a row, tile or strip region, a compressed strip or tile) are each at most 64 MiB;
// pictures above 2^40 pixels are refused. Every row, strip or tile decoded advances `progress`;
// when it answers false the read ends with cancelled(). Failures: "Bitmap image is not valid",
// "Stream read error".
Result<DisplayPicture> readTiffForDisplay(ByteSource& source, int boxSide, Progress& progress);

// Reads the rectangles of a TIFF file (see readFileRegions), with the same tags, bounds,
// conversions and messages as the display, at 16 bits where the display keeps shown16. In
// strips, the rows the rectangles cross are read in file order: uncompressed ones where they
// lie, only the spans of columns the rectangles cover, compressed ones decoded from the start
// of their strip (or the row after the last one decoded), so only the strips that hold a
// rectangle are decoded, one row a plane kept; separate planes are decoded by one TIFF each,
// which reads its own strips in order. In tiles, only the tiles that hold part of a rectangle
// are decoded, each down to its last row wanted, one tile a plane kept (uncompressed, only the
// rectangles' bytes of each row are read). JPEG and YCbCr pictures go through libtiff's RGBA
// interface piece by piece, as the display does. Progress is reported at each row and each
// strip or tile.
Result<FilePixelsInfo> readTiffRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress);

} // namespace probnik
