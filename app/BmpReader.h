#pragma once

#include "Canvas.h"
#include "Result.h"

#include <istream>
#include <string>

namespace probnik {

// Reads Windows and OS/2 bitmaps (1, 4, 8, 16, 24 and 32 bits, RLE4, RLE8, bit fields, core,
// info, V4 and V5 headers, bottom-up and top-down) into a Canvas of 0x00BBGGRR pixels.
// Every header field is checked before anything is allocated. Failures carry the messages
// the user sees: "Cannot open file <path>", "Bitmap image is not valid", "Stream read error".
Result<Canvas> readBmpFile(const std::string& path);
Result<Canvas> readBmp(std::istream& in);

} // namespace probnik
