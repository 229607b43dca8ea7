// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Progress.h"
#include "common/Result.h"
#include "picture/ByteSource.h"
#include "picture/DisplayPicture.h"

#include <cstdint>
#include <string>

namespace probnik {

// Reads the first picture of a TIFF file display-sized (see readPictureForDisplay): grey
// (black or white as zero) of 1, 2, 4, 8 or 16 bits, palette of 1 to 8 bits, RGB of 8 or 16
// bits with any extra samples (alpha, ignored); in strips or tiles, with the planes contiguous
// or separate, with any compression libtiff decodes. The stored values are kept; 16-bit
// samples and the palette's 16-bit entries become 8 bits by eightBits. The orientation tag is
// not applied. Only the strips or tiles that hold shown rows are read and decoded, and of
// tiles only those that also hold shown columns; one row or one tile is kept at a time, and
// a row or tile of more than 256 MiB is refused as not valid, as are pictures above 2^40
// pixels. Failures: "Bitmap image is not valid", "Stream read error".
Result<DisplayPicture> readTiffForDisplay(ByteSource& source, int boxSide, Progress& progress);

} // namespace probnik
