// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Display-sized decoding against the whole picture stretched into the display box.
#include "picture/BmpReader.h"
#include "app/Display.h"
#include "picture/Picture.h"
#include "testing/BmpFiles.h"
#include "testing/BmpPathCheck.h"
#include "testing/BmpWholeReader.h"
#include "testing/RegionCheck.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace probnik;
using namespace bmptest;

namespace {

const std::string Suite = std::string(PROBNIK_TEST_DATA) + "/bmpsuite/";

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << path;
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// A file in the temporary folder for as long as it lives.
class TempFile {
public:
    explicit TempFile(const std::string& bytes)
        : m_path((std::filesystem::temp_directory_path()
            / ("probnik-display-test-" + std::to_string(getpid()) + ".bmp"))
                     .string())
    {
        std::ofstream(m_path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// The main window's screen after stretching `picture` into `box`.
Canvas screen(Rect box, const Canvas& picture)
{
    Canvas surface(display::ScreenCopyWidth, display::ScreenCopyHeight, WindowGrey);
    surface.stretchDraw(box, picture);
    return surface;
}

TEST(BmpReader, SuiteFilesShowWhatTheWholePictureShows)
{
    const char* const names[] = { "g/pal1", "g/pal1bg", "g/pal1wb", "g/pal4", "g/pal4gs",
        "g/pal4rle", "g/pal8-0", "g/pal8", "g/pal8gs", "g/pal8nonsquare", "g/pal8os2", "g/pal8rle",
        "g/pal8topdown", "g/pal8v4", "g/pal8v5", "g/pal8w124", "g/pal8w125", "g/pal8w126",
        "g/rgb16-565", "g/rgb16-565pal", "g/rgb16", "g/rgb16bfdef", "g/rgb24", "g/rgb24pal",
        "g/rgb32", "g/rgb32bf", "g/rgb32bfdef", "b/badbitssize", "b/baddens1", "b/baddens2",
        "b/badfilesize", "b/badrle", "b/badrle4", "b/badrle4bis", "b/badrle4ter", "b/badrlebis",
        "b/badrleter", "b/pal8badindex", "b/rgb16-880", "b/rletopdown" };
    for (const char* name : names) {
        const std::string path = Suite + name + ".bmp";
        const auto whole = readBmpFile(path);
        const auto reduced = readBmpFileForDisplay(path, 400);
        ASSERT_TRUE(whole && reduced) << name;
        const Rect box = display::displayBox(whole.value().width(), whole.value().height());
        const Canvas expected = screen(box, whole.value());
        const Canvas shown = screen(box, reduced.value().shown);
        int differing = 0;
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                differing += expected.pixel(x, y) != shown.pixel(x, y);
        EXPECT_EQ(differing, 0) << name;
        EXPECT_EQ(check::disagreement(fileBytes(path), whole, reduced), "") << name;
    }
}

struct Generated {
    const char* what;
    int width, height; // a negative height is stored top-down
    int bitCount;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> masks = {};
    int paletteSize = 0;
    bool cutInHalf = false;
};

std::string generate(const Generated& g, std::mt19937& random)
{
    BmpFile file;
    file.headerSize = g.headerSize;
    file.width = g.width;
    file.height = g.height;
    file.bitCount = std::uint16_t(g.bitCount);
    file.compression = g.compression;
    file.masks = g.masks;
    for (int i = 0; i < g.paletteSize; ++i)
        file.palette.push_back(Color(random() & 0xFFFFFF));
    file.colorsUsed = std::uint32_t(g.headerSize == 12 ? 0 : g.paletteSize);
    const int rows = std::abs(g.height);
    if (g.compression == 1 || g.compression == 2) {
        file.data = randomRunLength(g.width, rows, g.compression == 2, random);
    } else {
        const std::size_t stride = (std::size_t(g.width) * std::size_t(g.bitCount) + 31) / 32 * 4;
        file.data = randomRows(stride * std::size_t(rows), random);
    }
    if (g.cutInHalf)
        file.data.resize(file.data.size() / 2);
    return file.bytes();
}

// Pictures larger than the box in one or both directions (and some smaller), of every depth
// and encoding, with random pixels so that any row or column taken wrongly shows.
TEST(BmpReader, GeneratedPicturesShowWhatTheWholePictureShows)
{
    const std::vector<std::uint32_t> masks565 = { 0xF800, 0x07E0, 0x001F };
    const std::vector<std::uint32_t> masks1010 = { 0x3FF00000, 0x000FFC00, 0x000003FF };
    const Generated cases[] = {
        { "1 bit", 1237, 911, 1, 0, 40, {}, 2 },
        { "1 bit, two rows shown", 3001, 17, 1, 0, 40, {}, 2 },
        { "4 bits top-down", 1237, -911, 4, 0, 40, {}, 16 },
        { "8 bits, short palette, portrait", 911, 1237, 8, 0, 40, {}, 100 },
        { "8 bits, core header", 640, 480, 8, 0, 12, {}, 256 },
        { "16 bits", 1500, 1000, 16, 0, 40, {}, 0 },
        { "16 bits 5-6-5 top-down", 1025, -769, 16, 3, 40, masks565, 0 },
        { "24 bits", 2001, 1333, 24, 0, 40, {}, 0 },
        { "24 bits, enlarged", 97, 33, 24, 0, 40, {}, 0 },
        { "24 bits, no rows shown", 401, 1, 24, 0, 40, {}, 0 },
        { "24 bits, rows read in pieces", 25000, 63, 24, 0, 40, {}, 0 },
        { "32 bits", 1200, 800, 32, 0, 40, {}, 0 },
        { "32 bits, 10-bit fields, top-down", 1111, -555, 32, 3, 40, masks1010, 0 },
        { "32 bits, rows read in pieces", 20000, 100, 32, 0, 40, {}, 0 },
        { "RLE8", 1237, 911, 8, 1, 40, {}, 256 },
        { "RLE8 top-down", 1237, -911, 8, 1, 40, {}, 200 },
        { "RLE8, enlarged", 50, 40, 8, 1, 40, {}, 256 },
        { "RLE8, data cut in half", 999, 777, 8, 1, 40, {}, 256, true },
        { "RLE4", 1237, 911, 4, 2, 40, {}, 16 },
        { "RLE4 top-down, portrait", 333, -1001, 4, 2, 40, {}, 16 },
    };
    std::mt19937 random(2024);
    for (const Generated& g : cases) {
        SCOPED_TRACE(g.what);
        const std::string bytes = generate(g, random);
        const auto whole = readBmpBytes(bytes);
        ASSERT_TRUE(whole) << whole.error().message;

        const TempFile file(bytes);
        EXPECT_EQ(check::disagreement(bytes, whole, readBmpFileForDisplay(file.path(), 400)), "");
        EXPECT_EQ(check::disagreement(bytes, whole, readBmpBytesForDisplay(bytes, 400)), "");
    }
}

// Uncompressed pictures: the headers, the palette and the rows shown, nothing else. A
// run-length picture is read once, up to the end of its data.
TEST(BmpReader, ReadsOnlyTheRowsShown)
{
    const struct {
        Generated file;
        std::uint64_t rowsShown;
    } cases[] = {
        { { "24 bits", 2001, 1333, 24 }, 266 },
        { { "8 bits top-down", 3000, -2000, 8, 0, 40, {}, 256 }, 266 },
        { { "1 bit, two rows shown", 3001, 17, 1, 0, 40, {}, 2 }, 2 },
        { { "24 bits, enlarged", 97, 33, 24 }, 33 },
        { { "RLE8", 1237, 911, 8, 1, 40, {}, 256 }, 0 },
    };
    std::mt19937 random(7);
    for (const auto& c : cases) {
        const std::string bytes = generate(c.file, random);
        ByteSource counter(bytes);
        Progress unwatched;
        const auto r = readBmpForDisplay(counter, 400, unwatched);
        ASSERT_TRUE(r) << c.file.what << ": " << r.error().message;
        const std::uint64_t rowBytes
            = (std::uint64_t(c.file.width) * std::uint64_t(c.file.bitCount) + 7) / 8;
        const std::uint64_t headers = 14 + 40 + 4 * std::uint64_t(c.file.paletteSize);
        if (c.file.compression == 0) {
            EXPECT_LE(counter.bytesRead(), headers + c.rowsShown * rowBytes) << c.file.what;
            // Each row from its start to the last column shown, nearly all of it.
            EXPECT_GE(counter.bytesRead(), headers + c.rowsShown * (rowBytes * 99 / 100))
                << c.file.what;
        } else
            EXPECT_EQ(counter.bytesRead(), bytes.size()) << c.file.what;
    }
}

// A stop from the progress is obeyed at once: at the next shown row, or within a megabyte of
// run-length data, which is passed over unread from there.
TEST(BmpReader, StopsWhenTold)
{
    const struct {
        Generated file;
        int stopAt;
    } cases[] = {
        { { "24 bits", 2001, 1333, 24 }, 3 },
        { { "RLE8", 8000, 5000, 8, 1, 40, {}, 256 }, 2 },
    };
    std::mt19937 random(11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.what);
        const std::string bytes = generate(c.file, random);
        ByteSource source(bytes);
        int calls = 0;
        Progress stop([&](double) { return ++calls < c.stopAt; });
        const auto r = readBmpForDisplay(source, 400, stop);
        ASSERT_FALSE(r);
        EXPECT_TRUE(r.error().cancelled);
        EXPECT_EQ(calls, c.stopAt);
        EXPECT_LT(source.bytesRead(), bytes.size() / 2);
    }
}

// A few bytes of run-length data may declare a picture of 2^40 pixels: the box is all that
// is kept, and the moves that reach the shown rows cost no more than their bytes.
TEST(BmpReader, HugeRunLengthPictureFromATinyFile)
{
    for (const bool topDown : { false, true }) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        BmpFile file;
        file.width = 1 << 20;
        file.height = topDown ? -(1 << 20) : 1 << 20;
        file.bitCount = 8;
        file.compression = 1;
        file.palette = { Black, rgb(255, 0, 0), rgb(0, 255, 0) };
        const std::uint64_t side = std::uint64_t(1) << 20;
        // The picture row shown last and the picture column shown second.
        const std::uint64_t row = 399 * side / 400;
        const std::uint64_t column = side / 400;
        std::uint64_t fileRow = topDown ? row : side - 1 - row;
        file.data.clear();
        for (; fileRow > 0; fileRow -= std::min<std::uint64_t>(fileRow, 255))
            file.data.insert(
                file.data.end(), { 0, 2, 0, std::uint8_t(std::min<std::uint64_t>(fileRow, 255)) });
        // Red up to just before that column, then 255 green pixels.
        for (std::uint64_t x = 0; x < column; x += 255)
            file.data.insert(
                file.data.end(), { std::uint8_t(std::min<std::uint64_t>(column - x, 255)), 1 });
        file.data.insert(file.data.end(), { 255, 2, 0, 0, 0, 1 });

        const std::string bytes = file.bytes();
        ASSERT_LT(bytes.size(), 20000u);
        const auto r = readBmpBytesForDisplay(bytes, 400);
        ASSERT_TRUE(r) << r.error().message;
        const DisplayPicture& p = r.value();
        EXPECT_EQ(p.width, 1 << 20);
        EXPECT_EQ(p.height, 1 << 20);
        ASSERT_EQ(p.shown.width(), 400);
        ASSERT_EQ(p.shown.height(), 400);
        EXPECT_EQ(p.shown.pixel(0, 399), rgb(255, 0, 0));
        EXPECT_EQ(p.shown.pixel(1, 399), rgb(0, 255, 0));
        EXPECT_EQ(p.shown.pixel(2, 399), Black);
        EXPECT_EQ(p.shown.pixel(0, 398), Black);
        EXPECT_EQ(readBmpBytes(bytes).error().message, "Bitmap image is not valid");
    }
}

// Rectangles at the edges and corners, many in one pass, in every kind of bitmap: each pixel
// comes once per rectangle with what a box showing every pixel shows.
TEST(BmpReader, RectanglesShowWhatTheWholePictureShows)
{
    std::vector<std::pair<std::string, std::string>> files; // what, bytes
    for (const char* name :
        { "g/pal1", "g/pal1bg", "g/pal4", "g/pal4rle", "g/pal8-0", "g/pal8", "g/pal8nonsquare",
            "g/pal8os2", "g/pal8rle", "g/pal8topdown", "g/pal8v5", "g/pal8w126", "g/rgb16-565",
            "g/rgb16", "g/rgb16bfdef", "g/rgb24", "g/rgb32", "g/rgb32bf", "b/badrle",
            "b/badrle4bis", "b/badrleter", "b/pal8badindex", "b/rgb16-880", "b/rletopdown" })
        files.emplace_back(name, fileBytes(Suite + name + ".bmp"));
    const Generated generated[] = {
        { "1 bit, wide", 3001, 17, 1, 0, 40, {}, 2 },
        { "32 bits, 10-bit fields, top-down", 211, -155, 32, 3, 40,
            { 0x3FF00000, 0x000FFC00, 0x000003FF }, 0 },
        { "RLE8, data cut in half", 299, 177, 8, 1, 40, {}, 256, true },
        { "RLE4 top-down", 333, -201, 4, 2, 40, {}, 16 },
    };
    std::mt19937 random(5);
    for (const Generated& g : generated)
        files.emplace_back(g.what, generate(g, random));
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        const TempFile file(bytes);
        const auto size = readPictureForDisplay(file.path(), 1);
        ASSERT_TRUE(size) << size.error().message;
        const int w = size.value().width, h = size.value().height;
        check::RegionPixels got(check::edgeRegions(w, h));
        const std::vector<Rect> regions = check::edgeRegions(w, h);
        Progress unwatched;
        const auto read = readFileRegions(file.path(), regions, got, unwatched);
        EXPECT_EQ(
            got.disagreement(read, readPictureForDisplay(file.path(), check::everyPixel(w, h))),
            "");
    }
}

// Only the bytes of the rectangles' rows are read where rows lie; a run-length file up to the
// last row wanted. A stop from the progress ends the reading at once, with no more runs.
TEST(BmpReader, RectanglesReadOnlyTheirBytesAndStopWhenTold)
{
    constexpr std::uint64_t Everything = std::uint64_t(-1);
    const struct {
        Generated file;
        Rect region;
        std::uint64_t mostRead; // besides the headers
    } cases[] = {
        { { "24 bits", 2001, 1333, 24 }, { 1000, 600, 1015, 615 }, 15 * 15 * 3 },
        { { "8 bits top-down", 3000, -2000, 8, 0, 40, {}, 256 }, { 2990, 1990, 3000, 2000 },
            10 * 10 },
        { { "RLE8 bottom-up, the top rows", 1237, 911, 8, 1, 40, {}, 256 }, { 0, 0, 9, 9 },
            Everything },
        { { "RLE8 top-down, the top rows", 1237, -911, 8, 1, 40, {}, 256 }, { 0, 0, 9, 9 },
            2 * 65536 },
    };
    std::mt19937 random(13);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.what);
        const std::string bytes = generate(c.file, random);
        const std::uint64_t headers = 14 + 40 + 4 * std::uint64_t(c.file.paletteSize);
        ByteSource source(bytes);
        check::RegionPixels got({ c.region });
        Progress unwatched;
        const auto read = readBmpRegions(source, std::span(&c.region, 1), got, unwatched);
        ASSERT_TRUE(read);
        EXPECT_EQ(got.runs(), std::size_t(c.region.height()));
        if (c.mostRead != Everything) {
            EXPECT_LE(source.bytesRead(), headers + c.mostRead);
        }
        EXPECT_EQ(got.disagreement(read,
                      readBmpBytesForDisplay(
                          bytes, check::everyPixel(c.file.width, std::abs(c.file.height)))),
            "");

        // Stopped at the fourth row.
        const Rect whole { 0, 0, c.file.width, std::abs(c.file.height) };
        ByteSource again(bytes);
        check::RegionPixels stopped({ whole });
        int calls = 0;
        std::size_t runsWhenStopped = 0;
        Progress stop([&](double) {
            runsWhenStopped = stopped.runs();
            return ++calls < 4;
        });
        const auto r = readBmpRegions(again, std::span(&whole, 1), stopped, stop);
        ASSERT_FALSE(r);
        EXPECT_TRUE(r.error().cancelled);
        EXPECT_EQ(calls, 4);
        EXPECT_EQ(stopped.runs(), runsWhenStopped);
        EXPECT_LT(again.bytesRead(), bytes.size() / 2);
    }
}

// Inputs that once broke the reader: both ways of reading must agree on each.
TEST(BmpReader, FuzzRegressions)
{
    const std::filesystem::path folder = std::string(PROBNIK_TEST_DATA) + "/fuzz-regressions";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        const std::string bytes = fileBytes(path);
        EXPECT_EQ(check::disagreement(bytes), "") << path;
        EXPECT_EQ(
            check::disagreement(bytes, readBmpFile(path), readBmpFileForDisplay(path, 400)), "")
            << path;
        ++count;
    }
    EXPECT_GT(count, 0);
}

// A V5 picture of this colour space type whose profile data (or file name) `trailer` follows
// the pixels, declared `declared` bytes long (its length when 0), at `offset` past them.
std::string v5(std::uint32_t type, const std::string& trailer, std::uint32_t declared = 0,
    std::uint32_t offset = 0)
{
    BmpFile f;
    f.headerSize = 124;
    f.masks = { 0, 0, 0, 0 };
    std::string bytes = f.bytes();
    const auto set = [&bytes](std::size_t at, std::uint32_t v) {
        std::string le;
        put32(le, v);
        bytes.replace(14 + at, 4, le);
    };
    set(56, type);
    for (std::size_t i = 0; i < 12; ++i) // endpoints and gammas: i + 1 each
        set(60 + 4 * i, std::uint32_t(i + 1));
    set(112, std::uint32_t(bytes.size() - 14 + offset));
    set(116, declared ? declared : std::uint32_t(trailer.size()));
    return bytes + trailer;
}

// The colour space of V4 and V5 headers: sRGB, an embedded profile as far as the file holds
// it, a linked file's name, calibrated endpoints and gammas (none when they are empty).
TEST(BmpReader, ColourSpaceOfTheHeader)
{
    using Kind = ColourDescription::Kind;
    const std::string profile = "profile bytes, any";
    const struct {
        const char* what;
        std::string bytes;
        Kind kind;
        std::string icc, linked;
    } cases[] = {
        { "suite V5 sRGB", fileBytes(Suite + "g/pal8v5.bmp"), Kind::Srgb, "", "" },
        { "suite V4 calibrated", fileBytes(Suite + "g/pal8v4.bmp"), Kind::Calibrated, "", "" },
        { "Win ", v5(0x57696E20, ""), Kind::Srgb, "", "" },
        { "MBED", v5(0x4D424544, profile), Kind::Embedded, profile, "" },
        { "MBED cut short", v5(0x4D424544, profile, 100), Kind::Embedded, profile, "" },
        { "MBED past the end", v5(0x4D424544, profile, 0, 1000), Kind::Embedded, "", "" },
        { "MBED of 65 MiB", v5(0x4D424544, profile, 65 << 20), Kind::None, "", "" },
        { "LINK", v5(0x4C494E4B, std::string("C:\\icc\\wide.icm\0junk", 20)), Kind::Linked, "",
            "C:\\icc\\wide.icm" },
        { "calibrated", v5(0, ""), Kind::Calibrated, "", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ByteSource source(c.bytes);
        Progress unwatched;
        const auto r = readBmpForDisplay(source, 400, unwatched);
        ASSERT_TRUE(r) << r.error().message;
        const ColourDescription& colour = r.value().colour;
        EXPECT_EQ(colour.kind, c.kind);
        EXPECT_EQ(std::string(colour.icc.begin(), colour.icc.end()), c.icc);
        EXPECT_EQ(colour.linkedName, c.linked);
        EXPECT_EQ(colour.source,
            c.kind == Kind::None                                      ? ""
                : std::string(c.what).find("V4") != std::string::npos ? "BMP V4"
                                                                      : "BMP V5");
        EXPECT_FALSE(r.value().grey);
        EXPECT_EQ(r.value().bits, 8);
    }
    // The calibrated fields as stored: the suite's sRGB-like endpoints, and ours.
    ByteSource suite(cases[1].bytes), ours(cases[8].bytes);
    Progress unwatched;
    const ColourDescription fromSuite = readBmpForDisplay(suite, 400, unwatched).value().colour;
    EXPECT_EQ(fromSuite.endpoints[0], 687194767);
    EXPECT_EQ(fromSuite.endpoints[8], 848256041);
    const ColourDescription fromOurs = readBmpForDisplay(ours, 400, unwatched).value().colour;
    EXPECT_EQ(fromOurs.endpoints, (std::array<std::int32_t, 9> { 1, 2, 3, 4, 5, 6, 7, 8, 9 }));
    EXPECT_EQ(fromOurs.gammas, (std::array<std::uint32_t, 3> { 10, 11, 12 }));
}

} // namespace
