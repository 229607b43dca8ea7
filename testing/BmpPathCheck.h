// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The two ways of reading a bitmap must show the same thing: the display-sized picture is
// what stretching the whole picture into the display box draws, and a file that one refuses
// the other refuses with the same message. Shared by the tests and the fuzzer.
#include "picture/BmpReader.h"
#include "picture/Picture.h"
#include "picture/ShownPixels.h"
#include "testing/BmpWholeReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace probnik::check {

// The number of pixels the header of `bytes` declares, 0 when it cannot tell.
inline std::uint64_t declaredPixels(const std::string& bytes)
{
    const auto byte = [&](std::size_t i) { return std::uint32_t(std::uint8_t(bytes[i])); };
    const auto le32 = [&](std::size_t i) {
        return byte(i) | byte(i + 1) << 8 | byte(i + 2) << 16 | byte(i + 3) << 24;
    };
    if (bytes.size() < 26)
        return 0;
    if (le32(14) == 12)
        return std::uint64_t(byte(18) | byte(19) << 8) * (byte(20) | byte(21) << 8);
    const std::int64_t width = std::int32_t(le32(18));
    const std::int64_t height = std::int32_t(le32(22));
    return width <= 0 || height == 0 ? 0 : std::uint64_t(width) * std::uint64_t(std::abs(height));
}

// What is wrong with a display-sized picture on its own; empty when nothing is: a real size
// and exactly the box's pixels.
inline std::string flaw(const Result<DisplayPicture>& shown)
{
    if (!shown)
        return {};
    const DisplayPicture& p = shown.value();
    if (p.width <= 0 || p.height <= 0
        || std::uint64_t(p.width) * std::uint64_t(p.height) > (std::uint64_t(1) << 40))
        return "display-sized picture of " + std::to_string(p.width) + "x"
            + std::to_string(p.height);
    // A canvas with no pixels is 0 x 0 whatever its box.
    const Size box = fitInBox(p.width, p.height, 400);
    const bool sizeRight = box.width <= 0 || box.height <= 0
        ? p.shown.isEmpty()
        : p.shown.width() == box.width && p.shown.height() == box.height;
    if (!sizeRight)
        return "shown part is " + std::to_string(p.shown.width()) + "x"
            + std::to_string(p.shown.height()) + ", the box " + std::to_string(box.width) + "x"
            + std::to_string(box.height);
    return {};
}

// What is wrong between the whole picture `full` and the display-sized `shown` read from
// `bytes`; empty when they agree.
inline std::string disagreement(
    const std::string& bytes, const Result<Canvas>& full, const Result<DisplayPicture>& shown)
{
    if (const std::string problem = flaw(shown); !problem.empty())
        return problem;
    const std::string fullText = full ? "a picture" : full.error().message;
    const std::string shownText = shown ? "a picture" : shown.error().message;
    if (!full) {
        // Only the whole-picture reader refuses pictures beyond 2^28 pixels.
        const std::uint64_t pixels = declaredPixels(bytes);
        const bool tooBigToDecodeWhole = full.error().message == "Bitmap image is not valid"
            && pixels > (std::uint64_t(1) << 28) && pixels <= (std::uint64_t(1) << 40);
        if (tooBigToDecodeWhole || fullText == shownText)
            return {};
        return "whole: " + fullText + ", display-sized: " + shownText;
    }
    if (!shown)
        return "whole: a picture, display-sized: " + shownText;

    const Canvas& picture = full.value();
    const DisplayPicture& reduced = shown.value();
    if (reduced.width != picture.width() || reduced.height != picture.height())
        return "display-sized picture has the size " + std::to_string(reduced.width) + "x"
            + std::to_string(reduced.height);
    // Stretching into the box takes picture pixel ((x - Left) * width / box width, ...) to
    // box point (x, y); the shown picture must hold exactly those pixels.
    const std::int64_t width = picture.width(), height = picture.height();
    const std::int64_t boxWidth = reduced.shown.width(), boxHeight = reduced.shown.height();
    for (std::int64_t y = 0; y < boxHeight; ++y) {
        const Color* from = picture.row(int(y * height / boxHeight));
        const Color* got = reduced.shown.row(int(y));
        for (std::int64_t x = 0; x < boxWidth; ++x)
            if (got[x] != from[x * width / boxWidth])
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " of the box";
    }
    return {};
}

// Reads `bytes` both ways from memory and compares.
inline std::string disagreement(const std::string& bytes)
{
    return disagreement(bytes, readBmpBytes(bytes), readBmpBytesForDisplay(bytes, 400));
}

} // namespace probnik::check
