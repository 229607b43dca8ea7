// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/ColourDescription.h"
#include "common/Geometry.h"
#include "common/Progress.h"
#include "common/Result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace probnik {

// What a file's own pixels are, as the region reader hands them over.
struct FilePixelsInfo {
    // The picture's size after the orientation, as DisplayPicture gives it.
    int width = 0;
    int height = 0;
    // The stored bits a channel and whether the pixels are grey, as DisplayPicture gives them.
    int bits = 8;
    bool grey = false;
    // The depth of the values handed over: 16 where the display keeps shown16 (files of more
    // than 8 bits a channel), else 8.
    int depth = 8;
    ColourDescription colour;
};

// A stretch of one requested rectangle's pixels, as the file stores them side by side: `count`
// pixels from the picture pixel (x, y), each next one at (x + dx, y + dy). The orientation can
// turn a stored row into a picture column, either way, so (dx, dy) is (1, 0), (-1, 0), (0, 1)
// or (0, -1).
struct PixelRun {
    std::size_t region = 0; // the rectangle's index in the request
    int x = 0;
    int y = 0;
    int dx = 1;
    int dy = 0;
    int count = 0;
    // count pixels of three values each, R, G, B (grey as R = G = B): at depth 8 the values
    // the display shows (0 to 255, palettes looked up, fewer bits scaled as the display scales
    // them); at depth 16 the values shown16 holds.
    const std::uint16_t* values = nullptr;
};

// Receives the pixels of a region read. The runs come in the file's order, not the picture's;
// what sums them needs no order.
class PixelSink {
public:
    virtual ~PixelSink() = default;
    // Once, before any run.
    virtual void begin(const FilePixelsInfo& info) { (void)info; }
    virtual void run(const PixelRun& run) = 0;
};

// Reads every pixel of each rectangle (in picture coordinates, after the orientation; Right
// and Bottom exclusive; the part off the picture is cut away, an empty rest gives no runs) at
// full resolution and the file's depth, handing each pixel once per rectangle that holds it.
// All rectangles are read in one pass through the file, and only what holds them is decoded;
// memory follows the rectangles' width, not the picture's. Each pixel has the value the box
// shows for it (readPictureForDisplay with a box that shows every pixel gives the same).
// Progress is reported at least every row; when it says stop, the reading fails with
// cancelled() and nothing more reaches the sink. Failures are those of readPictureForDisplay.
Result<FilePixelsInfo> readFileRegions(
    const std::string& path, std::span<const Rect> regions, PixelSink& sink, Progress& progress);

} // namespace probnik
