// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for the BMP reader: every input is read both ways, the whole picture from
// memory and the display-sized picture from a file, as the Open command reads it, and as a few
// rectangles of its own pixels. Besides the sanitizers' findings, a disagreement between the
// whole picture and the display, or between the rectangles and a box showing every pixel, is
// a finding.
#include "picture/BmpReader.h"
#include "testing/BmpPathCheck.h"
#include "testing/BmpWholeReader.h"
#include "testing/RegionCheck.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Whole pictures above this are only read display-sized: filling a gigabyte for every input
// would slow the fuzzing to a crawl without reaching any other code.
constexpr std::uint64_t WholeLimit = std::uint64_t(1) << 18;

// Where each input is written for the reader to open; removed when the fuzzing ends.
struct ScratchFile {
    std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/probnik-fuzz-" + std::to_string(getpid())
            + ".bmp";
    }();
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& scratchFile()
{
    static const ScratchFile file;
    return file.path;
}

// Whether two display-sized reads gave the same, pixels included.
bool same(const probnik::Result<probnik::DisplayPicture>& a,
    const probnik::Result<probnik::DisplayPicture>& b)
{
    if (!a || !b)
        return !a && !b && a.error().message == b.error().message;
    const probnik::Canvas& p = a.value().shown;
    const probnik::Canvas& q = b.value().shown;
    if (a.value().width != b.value().width || a.value().height != b.value().height
        || p.width() != q.width() || p.height() != q.height())
        return false;
    for (int y = 0; y < p.height(); ++y)
        if (!std::equal(p.row(y), p.row(y) + p.width(), q.row(y)))
            return false;
    return true;
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "readers disagree: %s\n", what.c_str());
    std::abort();
}

// Reads rectangles of the file: for a small picture the whole of it among the edge
// rectangles, compared with a box showing every pixel; for a large one a corner of each end
// and one off the picture, which must not fail where the display did not.
void readRegions(const probnik::Result<probnik::DisplayPicture>& shown, bool small)
{
    const int w = shown ? shown.value().width : 64;
    const int h = shown ? shown.value().height : 64;
    const std::vector<probnik::Rect> regions = small ? probnik::check::edgeRegions(w, h)
                                                     : std::vector<probnik::Rect> {
                                                           { 0, 0, 16, 16 },
                                                           { w - 16, h - 16, w, h },
                                                           { -20, -20, -4, -4 },
                                                       };
    probnik::check::RegionPixels got(regions);
    probnik::Progress unwatched;
    const auto read = probnik::readFileRegions(scratchFile(), regions, got, unwatched);
    if (small) {
        const auto every
            = probnik::readPictureForDisplay(scratchFile(), probnik::check::everyPixel(w, h));
        if (const std::string problem = got.disagreement(read, every); !problem.empty())
            fail("rectangles: " + problem);
    } else if (shown && !read) {
        fail("rectangles failed: " + read.error().message);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    const auto shown = probnik::readBmpFileForDisplay(scratchFile(), 400);
    if (!same(shown, probnik::readBmpBytesForDisplay(bytes, 400)))
        fail("display-sized from a file and from memory");

    if (probnik::check::declaredPixels(bytes) > WholeLimit) {
        if (const std::string problem = probnik::check::flaw(shown); !problem.empty())
            fail(problem);
        readRegions(shown, false);
        return 0;
    }
    readRegions(shown, true);
    const std::string problem
        = probnik::check::disagreement(bytes, probnik::readBmpBytes(bytes), shown);
    if (!problem.empty())
        fail(problem);
    return 0;
}
