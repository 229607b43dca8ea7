#pragma once

#include "common/Result.h"
#include "picture/Canvas.h"
#include "picture/Picture.h"

#include <istream>
#include <string>

namespace probnik {

// Reads Windows and OS/2 bitmaps (1, 4, 8, 16, 24 and 32 bits, RLE4, RLE8, bit fields, core,
// info, V4 and V5 headers, bottom-up and top-down) into a Canvas of 0x00BBGGRR pixels.
// Every header field is checked before anything is allocated. Failures carry the messages
// the user sees: "Cannot open file <path>", "Bitmap image is not valid", "Stream read error".
// The whole picture is decoded, so pictures above 2^28 pixels are refused as not valid.
Result<Canvas> readBmpFile(const std::string& path);
Result<Canvas> readBmp(std::istream& in);

// Decodes only what a box of boxSide x boxSide shows (see fitInBox): time and memory follow the
// box, not the file. Uncompressed and bit-field files are read row by row at the rows shown,
// converting only the columns shown; run-length files are read once from start to end, keeping only
// the rows shown. Pictures of up to 2^40 pixels are accepted. Same messages as readBmpFile.
Result<DisplayPicture> readBmpForDisplay(const std::string& path, int boxSide);
Result<DisplayPicture> readBmpForDisplay(std::istream& in, int boxSide);

} // namespace probnik
