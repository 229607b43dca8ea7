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
// The whole picture is decoded, so pictures above 2^28 pixels are refused as not valid.
Result<Canvas> readBmpFile(const std::string& path);
Result<Canvas> readBmp(std::istream& in);

// A picture as the main window shows it: nearest-pixel scaled into its display box.
struct DisplayPicture {
    // The picture's size in the file.
    int width = 0;
    int height = 0;
    // Exactly the size of display::displayBox(width, height); its pixel (i, j) is the
    // picture's pixel (i * width / shown.width(), j * height / shown.height()). Stretching it
    // into the box therefore draws what stretching the whole picture would. Empty when the
    // box is.
    Canvas shown;
};

// Decodes only what the display box shows: time and memory follow the box, not the file.
// Uncompressed and bit-field files are read row by row at the rows shown, converting only
// the columns shown; run-length files are read once from start to end, keeping only the rows
// shown. Pictures of up to 2^40 pixels are accepted. Same messages as readBmpFile.
Result<DisplayPicture> readBmpForDisplay(const std::string& path);
Result<DisplayPicture> readBmpForDisplay(std::istream& in);

} // namespace probnik
