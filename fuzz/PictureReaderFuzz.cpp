// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for one of the PNG, TIFF and JPEG readers, chosen when it is built
// (PROBNIK_FUZZ_READER): every input is read display-sized from memory. Besides the
// sanitizers' findings, a picture that is not exactly box-sized, or a failure with another
// message than the two a file's content can give, is a finding. Where the reader also reads
// rectangles of the file's own pixels (PROBNIK_FUZZ_REGIONS), each input is read as a few of
// them too, and for a small picture compared with a box showing every pixel.
#include "picture/JpegReader.h"
#include "picture/PngReader.h"
#include "picture/TiffReader.h"
#include "testing/BmpPathCheck.h"
#include "testing/RegionCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    probnik::ByteSource source(data, size);
    probnik::Progress unwatched;
    const auto shown = probnik::PROBNIK_FUZZ_READER(source, 400, unwatched);
    std::string problem = probnik::check::flaw(shown);
    if (!shown && shown.error().message != "Bitmap image is not valid"
        && shown.error().message != "Stream read error")
        problem = "unexpected message: " + shown.error().message;
#ifdef PROBNIK_FUZZ_REGIONS
    // Pictures above this are read only as a corner of each end and a rectangle off them.
    constexpr std::uint64_t WholeLimit = std::uint64_t(1) << 18;
    const int w = shown ? shown.value().width : 64;
    const int h = shown ? shown.value().height : 64;
    const bool small = shown && std::uint64_t(w) * std::uint64_t(h) <= WholeLimit;
    const std::vector<probnik::Rect> regions = small ? probnik::check::edgeRegions(w, h)
                                                     : std::vector<probnik::Rect> {
                                                           { 0, 0, 16, 16 },
                                                           { w - 16, h - 16, w, h },
                                                           { -20, -20, -4, -4 },
                                                       };
    probnik::check::RegionPixels got(regions);
    probnik::ByteSource again(data, size);
    const auto read = probnik::PROBNIK_FUZZ_REGIONS(again, regions, got, unwatched);
    if (!read && read.error().message != "Bitmap image is not valid"
        && read.error().message != "Stream read error")
        problem = "unexpected message of the rectangles: " + read.error().message;
    if (small && problem.empty()) {
        // The rectangles read no more than a box showing every pixel, so they may be read
        // where it fails (a tile short only past the picture's edge), but never fail where it
        // reads.
        probnik::ByteSource third(data, size);
        const auto every
            = probnik::PROBNIK_FUZZ_READER(third, probnik::check::everyPixel(w, h), unwatched);
        if (every)
            problem = got.disagreement(read, every);
    }
#endif
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
