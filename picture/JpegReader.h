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
#include <string_view>

namespace probnik {

// Reads JPEG files display-sized (see readPictureForDisplay): baseline and progressive, grey
// and YCbCr colour with any subsampling, decoded by libjpeg-turbo's accurate integer
// transform and smooth upsampling (its defaults), without colour management. The EXIF
// orientation is applied, so the picture appears as cameras show it; width and height are
// then the turned picture's. Rows not shown are skipped (jpeg_skip_scanlines), which spares
// them the inverse transform, the upsampling and the colour conversion. A progressive file
// keeps the coefficients of its whole picture (two bytes a sample) until its last scan, so
// one that would need more than 200 MiB for them is refused as not valid (about 100 million
// samples: 10000 x 10000 grey, 8000 x 8000 colour of subsampled chroma, 5900 x 5900 colour
// of full chroma), and so is one of more than 100 scans. Of the APP segments only the first
// EXIF one and the ICC profile's are kept, an ICC profile of 64 MiB at most; the others are
// passed over unread. The colour description is the ICC profile of the APP2 segments when
// every piece of it is there once, else what EXIF says (ColorSpace 1, interoperability "R03").
// CMYK files are not read. A file that ends early gives "Stream read error", whatever was
// decoded of it. Progress is reported at every shown row, and while the scans of a
// progressive file are taken in. Failures: "Bitmap image is not valid", "Stream read error".
Result<DisplayPicture> readJpegForDisplay(ByteSource& source, int boxSide, Progress& progress);

// The orientation (1 to 8) an APP1 segment's EXIF data gives in its first directory, 1 when it
// gives none or is not EXIF. Only the bytes of `segment` are read.
int exifOrientation(std::string_view segment);

// Reads the rectangles of a JPEG file (see readFileRegions), after its EXIF orientation, with
// the settings of readJpegForDisplay, so that each pixel is the one the box shows. The stored
// rows no rectangle crosses are skipped (jpeg_skip_scanlines) and the rows decoded are cropped
// (jpeg_crop_scanline) to the stored columns the rectangles span, widened by one iMCU on each
// side where the picture goes on: libjpeg's smooth upsampling of subsampled chroma treats a
// cropped row's ends as the picture's, which would change the pixels there. Memory follows
// that width; a progressive file is limited as for the display. Progress is reported at
// every stored row from the first rectangle's to the last one's. Nothing made up after the
// data ended early reaches the sink.
Result<FilePixelsInfo> readJpegRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress);

} // namespace probnik
