// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for one of the PNG, TIFF and JPEG readers, chosen when it is built
// (PROBNIK_FUZZ_READER): every input is read display-sized from memory. Besides the
// sanitizers' findings, a picture that is not exactly box-sized, or a failure with another
// message than the two a file's content can give, is a finding. Where the format's region
// reader is named too (PROBNIK_FUZZ_REGIONS), the input is also read as a few rectangles of
// its pixels; those of a small picture must be the pixels a box showing every pixel shows.
#include "picture/JpegReader.h"
#include "picture/PngReader.h"
#include "picture/TiffReader.h"
#include "testing/BmpPathCheck.h"
#include "testing/RegionCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool expectedMessage(const probnik::Error& error)
{
    return error.message == "Bitmap image is not valid" || error.message == "Stream read error";
}

#ifdef PROBNIK_FUZZ_REGIONS
// Hands nothing on, but finds runs off the picture or of no rectangle.
class BoundsSink : public probnik::PixelSink {
public:
    explicit BoundsSink(std::size_t regions)
        : m_regions(regions)
    {
    }
    void begin(const probnik::FilePixelsInfo& info) override
    {
        m_width = info.width;
        m_height = info.height;
    }
    void run(const probnik::PixelRun& run) override
    {
        const int lastX = run.x + (run.count - 1) * run.dx,
                  lastY = run.y + (run.count - 1) * run.dy;
        if (run.region >= m_regions || run.count <= 0 || std::min(run.x, lastX) < 0
            || std::max(run.x, lastX) >= m_width || std::min(run.y, lastY) < 0
            || std::max(run.y, lastY) >= m_height)
            problem = "a run off the picture";
    }
    std::string problem;

private:
    std::size_t m_regions;
    int m_width = 0;
    int m_height = 0;
};

// The input read as rectangles: all of it (for pictures of up to 4 million pixels), a corner
// and one off the picture; for a picture of up to 65536 pixels each compared with the box
// showing every pixel.
std::string regionProblem(const std::uint8_t* data, std::size_t size,
    const probnik::Result<probnik::DisplayPicture>& shown)
{
    using probnik::Rect;
    probnik::Progress unwatched;
    const int w = shown ? shown.value().width : 1 << 20;
    const int h = shown ? shown.value().height : 1 << 20;
    const bool whole = shown && std::int64_t(w) * h <= 4 << 20;
    std::vector<Rect> regions { { 0, 0, 7, 5 }, { -20, -20, -1, -1 },
        { w - 3, h - 2, w + 9, h + 9 } };
    if (whole)
        regions.push_back({ 0, 0, w, h });
    if (whole && std::int64_t(w) * h <= 1 << 16) {
        probnik::ByteSource everySource(data, size);
        const auto every = probnik::PROBNIK_FUZZ_READER(everySource, std::max(w, h), unwatched);
        if (every) {
            probnik::ByteSource source(data, size);
            probnik::check::RegionSink sink(every.value(), regions);
            const auto read = probnik::PROBNIK_FUZZ_REGIONS(source, regions, sink, unwatched);
            if (!read)
                return "regions not read where the box is: " + read.error().message;
            const std::string flaw = sink.flaw();
            return flaw.empty() ? "" : "regions differ from the box: " + flaw;
        }
    }
    probnik::ByteSource source(data, size);
    BoundsSink sink(regions.size());
    const auto read = probnik::PROBNIK_FUZZ_REGIONS(source, regions, sink, unwatched);
    if (!read && !expectedMessage(read.error()))
        return "unexpected message of regions: " + read.error().message;
    return sink.problem;
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    probnik::ByteSource source(data, size);
    probnik::Progress unwatched;
    const auto shown = probnik::PROBNIK_FUZZ_READER(source, 400, unwatched);
    std::string problem = probnik::check::flaw(shown);
    if (!shown && !expectedMessage(shown.error()))
        problem = "unexpected message: " + shown.error().message;
#ifdef PROBNIK_FUZZ_REGIONS
    if (problem.empty())
        problem = regionProblem(data, size, shown);
#endif
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
