// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The BMP format as both readers decode it: headers, pixel formats, run-length codes, damage.
#include "picture/BmpReader.h"
#include "testing/BmpFiles.h"
#include "testing/BmpPathCheck.h"
#include "testing/BmpWholeReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace probnik;
using namespace bmptest;

namespace {

const std::string NotValid = "Bitmap image is not valid";
const std::string ReadError = "Stream read error";
const std::string Suite = std::string(PROBNIK_TEST_DATA) + "/bmpsuite/";

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << path;
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

Result<Canvas> decode(const std::string& bytes)
{
    return readBmpBytes(bytes);
}

Result<DisplayPicture> decodeForDisplay(const std::string& bytes)
{
    return readBmpBytesForDisplay(bytes, 400);
}

std::string outcome(const Result<Canvas>& r)
{
    return r
        ? "picture " + std::to_string(r.value().width()) + "x" + std::to_string(r.value().height())
        : r.error().message;
}

// The picture's full size, as for the whole picture.
std::string outcome(const Result<DisplayPicture>& r)
{
    return r ? "picture " + std::to_string(r.value().width) + "x" + std::to_string(r.value().height)
             : r.error().message;
}

Canvas good(const std::string& name)
{
    auto r = readBmpFile(Suite + name + ".bmp");
    if (!r) {
        ADD_FAILURE() << name << ": " << r.error().message;
        return {};
    }
    return std::move(r).value();
}

// Pixels where a and b differ after masking, or -1 when the sizes differ.
int differences(const Canvas& a, const Canvas& b, Color mask = 0xFFFFFF)
{
    if (a.width() != b.width() || a.height() != b.height())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += (a.pixel(x, y) & mask) != (b.pixel(x, y) & mask);
    return count;
}

// Pictures drawn in letters, top row first: R G B W are red, green, blue and white, '.' black.
const std::vector<Color> Letters = { rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 255), White };

std::vector<std::string> drawing(const Canvas& c)
{
    std::vector<std::string> rows;
    for (int y = 0; y < c.height(); ++y) {
        std::string row;
        for (int x = 0; x < c.width(); ++x) {
            const auto at = std::find(Letters.begin(), Letters.end(), c.pixel(x, y));
            row += c.pixel(x, y) == Black ? '.'
                : at == Letters.end()     ? '?'
                                          : "RGBW"[at - Letters.begin()];
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(BmpFormat, GoodFilesDecodeWithTheirSizes)
{
    const std::pair<const char*, const char*> cases[]
        = { { "pal1", "127x64" }, { "pal1bg", "127x64" }, { "pal1wb", "127x64" },
              { "pal4", "127x64" }, { "pal4gs", "127x64" }, { "pal4rle", "127x64" },
              { "pal8-0", "127x64" }, { "pal8", "127x64" }, { "pal8gs", "127x64" },
              { "pal8nonsquare", "127x32" }, { "pal8os2", "127x64" }, { "pal8rle", "127x64" },
              { "pal8topdown", "127x64" }, { "pal8v4", "127x64" }, { "pal8v5", "127x64" },
              { "pal8w124", "124x61" }, { "pal8w125", "125x62" }, { "pal8w126", "126x63" },
              { "rgb16-565", "127x64" }, { "rgb16-565pal", "127x64" }, { "rgb16", "127x64" },
              { "rgb16bfdef", "127x64" }, { "rgb24", "127x64" }, { "rgb24pal", "127x64" },
              { "rgb32", "127x64" }, { "rgb32bf", "127x64" }, { "rgb32bfdef", "127x64" } };
    for (const auto& [name, size] : cases)
        EXPECT_EQ(
            outcome(readBmpFile(Suite + "g/" + name + ".bmp")), std::string("picture ") + size)
            << name;
}

// The suite draws one picture in many encodings, so these decodes must be equal; rgb16-880
// has 8-bit red and green fields and no blue.
TEST(BmpFormat, EncodingsOfOnePictureAgree)
{
    const std::pair<const char*, const char*> cases[] = { { "g/rgb24pal", "g/rgb24" },
        { "g/rgb32", "g/rgb24" }, { "g/rgb32bf", "g/rgb24" }, { "g/rgb32bfdef", "g/rgb24" },
        { "g/rgb16bfdef", "g/rgb16" }, { "g/rgb16-565pal", "g/rgb16-565" },
        { "g/pal8-0", "g/pal8" }, { "g/pal8os2", "g/pal8" }, { "g/pal8rle", "g/pal8" },
        { "g/pal8topdown", "g/pal8" }, { "g/pal8v4", "g/pal8" }, { "g/pal8v5", "g/pal8" },
        { "b/rletopdown", "g/pal8" }, { "g/pal4rle", "g/pal4" }, { "g/pal1wb", "g/pal1" },
        { "b/badbitssize", "g/pal1" }, { "b/baddens1", "g/pal1" }, { "b/baddens2", "g/pal1" },
        { "b/badfilesize", "g/pal1" } };
    for (const auto& [name, reference] : cases)
        EXPECT_EQ(differences(good(name), good(reference)), 0) << name;
    EXPECT_EQ(differences(good("b/rgb16-880"), good("g/rgb24"), rgb(255, 255, 0)), 0);
    EXPECT_EQ(differences(good("b/rgb16-880"), Canvas(127, 64, Black), rgb(0, 0, 255)), 0);
}

// The largest difference of one channel between two pictures of the same size.
int worstChannelDifference(const Canvas& a, const Canvas& b)
{
    EXPECT_EQ(differences(a, b, 0), 0) << "sizes differ";
    int worst = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            const Color p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({ worst, std::abs(red(p) - red(q)), std::abs(green(p) - green(q)),
                std::abs(blue(p) - blue(q)) });
        }
    return worst;
}

// Fewer bits per pixel approximate the true-colour picture: the 16-bit files are within two
// 5-bit steps, the palettes are dithered; a flipped, shifted or mis-masked decode is far off.
TEST(BmpFormat, ReducedEncodingsApproximateTheTrueColourPicture)
{
    const Canvas truth = good("g/rgb24");
    const struct {
        const char* name;
        int tolerance;
    } cases[] = {
        { "g/rgb16", 16 },
        { "g/rgb16-565", 16 },
        { "g/pal8", 64 },
        { "g/pal8rle", 64 },
        { "g/pal8os2", 64 },
        { "g/pal8topdown", 64 },
    };
    for (const auto& c : cases) {
        const int worst = worstChannelDifference(good(c.name), truth);
        EXPECT_GT(worst, 0) << c.name;
        EXPECT_LE(worst, c.tolerance) << c.name;
    }
}

TEST(BmpFormat, KnownPixels)
{
    const struct {
        const char* name;
        int x, y;
        Color expected;
    } cases[] = {
        { "g/rgb24", 0, 0, rgb(255, 0, 0) }, { "g/rgb24", 126, 0, rgb(0x9F, 0x9F, 0xBD) },
        { "g/rgb24", 0, 63, Black }, { "g/rgb24", 126, 63, rgb(0x60, 0x60, 0x7E) },
        { "g/pal8", 126, 0, rgb(0x99, 0xAA, 0xCC) }, { "g/pal8", 126, 63, rgb(0x66, 0x55, 0x66) },
        { "g/rgb16-565", 0, 0, rgb(0xF8, 0, 0) }, // 5-bit fields are not widened to 255
        { "g/rgb16-565", 126, 0, rgb(0x98, 0x9C, 0xB8) }, { "g/pal1", 0, 0, White },
        { "g/pal1", 0, 63, Black }, { "g/pal1bg", 0, 0, rgb(0x40, 0xFF, 0x40) },
        { "g/pal1bg", 0, 63, rgb(0x40, 0x40, 0xFF) }, { "g/pal4", 126, 0, rgb(0xFF, 0x80, 0xFF) },
        { "b/pal8badindex", 0, 0, rgb(255, 0, 0) },
        { "b/pal8badindex", 126, 0, Black }, // index beyond the palette
    };
    for (const auto& c : cases)
        EXPECT_EQ(good(c.name).pixel(c.x, c.y), c.expected) << c.name << " " << c.x << "," << c.y;
}

TEST(BmpFormat, BadFilesAreRefusedOrDecodedSanely)
{
    const std::string picture = "picture 127x64";
    const std::pair<const char*, std::string> cases[]
        = { { "badbitcount", NotValid }, { "badbitssize", picture }, { "baddens1", picture },
              { "baddens2", picture }, { "badfilesize", picture }, { "badheadersize", NotValid },
              { "badpalettesize", NotValid }, { "badplanes", NotValid }, { "badrle", picture },
              { "badrle4", picture }, { "badrle4bis", picture }, { "badrle4ter", picture },
              { "badrlebis", picture }, { "badrleter", picture }, { "badwidth", NotValid },
              { "pal8badindex", picture }, { "reallybig", NotValid }, { "rgb16-880", picture },
              { "rletopdown", picture }, { "shortfile", ReadError } };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(outcome(readBmpFile(Suite + "b/" + name + ".bmp")), expected) << name;
        EXPECT_EQ(outcome(readBmpFileForDisplay(Suite + "b/" + name + ".bmp", 400)), expected)
            << name;
    }
}

TEST(BmpFormat, FilesThatCannotBeOpened)
{
    for (const std::string& path : { Suite + "g/missing.bmp", Suite + "g", std::string() }) {
        EXPECT_EQ(outcome(readBmpFile(path)), "Cannot open file " + path);
        EXPECT_EQ(outcome(readBmpFileForDisplay(path, 400)), "Cannot open file " + path);
    }
}

TEST(BmpFormat, TruncatedFilesAreStreamReadErrors)
{
    for (const char* name :
        { "g/rgb24", "g/pal1", "g/pal8", "g/pal8os2", "g/pal8v5", "g/rgb16-565" }) {
        const std::string bytes = fileBytes(Suite + name + ".bmp");
        const std::size_t offset = std::uint8_t(bytes[10]) | std::uint8_t(bytes[11]) << 8;
        for (std::size_t length : { std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(13),
                 std::size_t(14), std::size_t(17), std::size_t(30), offset - 1, offset,
                 (offset + bytes.size()) / 2, bytes.size() - 400 }) {
            EXPECT_EQ(outcome(decode(bytes.substr(0, length))), ReadError)
                << name << " cut at " << length;
            EXPECT_EQ(outcome(decodeForDisplay(bytes.substr(0, length))), ReadError)
                << name << " cut at " << length;
        }
    }
}

TEST(BmpFormat, GarbageIsNotValid)
{
    for (const std::string& bytes : { std::string("GIF89a, certainly not a bitmap"),
             std::string("MB") + std::string(60, '\0'), std::string("BM") + std::string(60, '\xFF'),
             std::string("BM") + std::string(60, '\0'), std::string("bm") })
        EXPECT_EQ(outcome(decode(bytes)), NotValid) << bytes;
}

// Runs cut by the end of the file keep the rows that were complete; the rest is black.
TEST(BmpFormat, TruncatedRunLengthDataKeepsWhatIsThere)
{
    const std::string bytes = fileBytes(Suite + "g/pal8rle.bmp");
    const Canvas whole = good("g/pal8");
    auto r = decode(bytes.substr(0, bytes.size() / 2));
    ASSERT_TRUE(r) << r.error().message;
    const Canvas& half = r.value();
    ASSERT_EQ(differences(half, whole, 0), 0);
    for (int x = 0; x < whole.width(); ++x) {
        ASSERT_EQ(half.pixel(x, 63), whole.pixel(x, 63)) << x; // the first row stored
        ASSERT_EQ(half.pixel(x, 0), Black) << x; // the last row stored
    }
}

TEST(BmpFormat, HostileHeaders)
{
    const struct {
        const char* what;
        std::function<void(BmpFile&)> change;
        std::string expected;
        std::string forDisplay = {}; // when it differs: only the whole picture has to fit in memory
    } cases[] = {
        { "unchanged", [](BmpFile&) {}, "picture 2x2" },
        { "zero width", [](BmpFile& f) { f.width = 0; }, NotValid },
        { "zero height", [](BmpFile& f) { f.height = 0; }, NotValid },
        { "negative width", [](BmpFile& f) { f.width = -2; }, NotValid },
        { "most negative height", [](BmpFile& f) { f.height = INT32_MIN; }, NotValid },
        { "largest sizes", [](BmpFile& f) { f.width = f.height = INT32_MAX; }, NotValid },
        { "2^32 pixels", [](BmpFile& f) { f.width = f.height = 65536; }, NotValid, ReadError },
        { "a row beyond 2^28 pixels", [](BmpFile& f) { f.width = 16384, f.height = 16385; },
            NotValid, ReadError },
        { "2^40 pixels, short file", [](BmpFile& f) { f.width = f.height = 1 << 20; }, NotValid,
            ReadError },
        { "a row beyond 2^40 pixels",
            [](BmpFile& f) { f.width = 1 << 20, f.height = (1 << 20) + 1; }, NotValid },
        { "2^40 pixels in 4 run-length bytes",
            [](BmpFile& f) {
                f.width = f.height = 1 << 20, f.bitCount = 8, f.compression = 1,
                f.data = { 0, 0, 0, 1 };
            },
            NotValid, "picture 1048576x1048576" },
        { "2^28 pixels, short file", [](BmpFile& f) { f.width = f.height = 16384; }, ReadError },
        { "2^28 pixels top-down, short file",
            [](BmpFile& f) { f.width = 16384, f.height = -16384; }, ReadError },
        { "one row of 2^28 pixels, short file", [](BmpFile& f) { f.width = 1 << 28, f.height = 1; },
            ReadError },
        { "huge bit count", [](BmpFile& f) { f.bitCount = 30000; }, NotValid },
        { "bit count 0", [](BmpFile& f) { f.bitCount = 0; }, NotValid },
        { "bit count 2", [](BmpFile& f) { f.bitCount = 2; }, NotValid },
        { "bit count 64", [](BmpFile& f) { f.bitCount = 64; }, NotValid },
        { "no planes", [](BmpFile& f) { f.planes = 0; }, NotValid },
        { "two planes", [](BmpFile& f) { f.planes = 2; }, NotValid },
        { "compression 4 (JPEG)", [](BmpFile& f) { f.compression = 4; }, NotValid },
        { "compression 5 (PNG)", [](BmpFile& f) { f.compression = 5; }, NotValid },
        { "compression 2^32-1", [](BmpFile& f) { f.compression = 0xFFFFFFFF; }, NotValid },
        { "RLE8 on 24 bits", [](BmpFile& f) { f.compression = 1; }, NotValid },
        { "RLE4 on 8 bits", [](BmpFile& f) { f.bitCount = 8, f.compression = 2; }, NotValid },
        { "bit fields on 24 bits",
            [](BmpFile& f) {
                f.compression = 3, f.masks = { 255, 255, 255 };
            },
            NotValid },
        { "bit fields on 8 bits", [](BmpFile& f) { f.bitCount = 8, f.compression = 3; }, NotValid },
        { "bit-field masks all 0",
            [](BmpFile& f) {
                f.bitCount = 32, f.compression = 3, f.masks = { 0, 0, 0 };
            },
            NotValid },
        { "bit-field masks missing",
            [](BmpFile& f) { f.bitCount = 32, f.compression = 3, f.data.resize(8); }, ReadError },
        { "257 palette entries",
            [](BmpFile& f) { f.bitCount = 8, f.colorsUsed = 257, f.palette.assign(257, White); },
            NotValid },
        { "2^32-1 palette entries", [](BmpFile& f) { f.bitCount = 8, f.colorsUsed = 0xFFFFFFFF; },
            NotValid },
        { "palette cut by the end of the file",
            [](BmpFile& f) {
                f.bitCount = 8, f.palette.assign(2, White), f.dataOffset = 14 + 40 + 1024;
                f.data.clear();
            },
            ReadError },
        { "data offset past the end", [](BmpFile& f) { f.dataOffset = 100000; }, ReadError },
        { "data offset 2^32-1", [](BmpFile& f) { f.dataOffset = 0xFFFFFFFF; }, ReadError },
        { "data offset inside the header", [](BmpFile& f) { f.dataOffset = 20; }, NotValid },
        { "one byte of pixels missing", [](BmpFile& f) { f.data.resize(13); }, ReadError },
        { "no run-length data",
            [](BmpFile& f) { f.bitCount = 8, f.compression = 1, f.data.clear(); }, ReadError },
        { "header size 0", [](BmpFile& f) { f.headerSize = 0; }, NotValid },
        { "header size 11", [](BmpFile& f) { f.headerSize = 11; }, NotValid },
        { "header size 41", [](BmpFile& f) { f.headerSize = 41; }, NotValid },
        { "header size 2^32-1", [](BmpFile& f) { f.headerSize = 0xFFFFFFFF; }, NotValid },
    };
    for (const auto& c : cases) {
        BmpFile file;
        c.change(file);
        EXPECT_EQ(outcome(decode(file.bytes())), c.expected) << c.what;
        EXPECT_EQ(outcome(decodeForDisplay(file.bytes())),
            c.forDisplay.empty() ? c.expected : c.forDisplay)
            << c.what;
    }
}

// Header kinds the suite does not cover, and a last row stored without its padding.
TEST(BmpFormat, OtherHeaderKindsAndShortLastRow)
{
    const std::vector<std::string> expected = { "RGB", "W.B" };
    const auto bgra = [](std::vector<std::uint8_t> pixels) {
        std::vector<std::uint8_t> bytes;
        for (std::uint8_t p : pixels) {
            const Color c = p == 4 ? Black : Letters[p];
            bytes.insert(bytes.end(),
                { std::uint8_t(blue(c)), std::uint8_t(green(c)), std::uint8_t(red(c)), 0 });
        }
        return bytes;
    };
    const std::vector<std::uint8_t> bottomUp = { 3, 4, 2, 0, 1, 2 };
    const std::vector<std::uint32_t> masks = { 0xFF0000, 0xFF00, 0xFF, 0xFF000000 };
    const struct {
        const char* what;
        std::function<void(BmpFile&)> change;
    } cases[] = {
        { "52-byte header with bit fields",
            [&](BmpFile& f) {
                f.headerSize = 52, f.bitCount = 32, f.compression = 3,
                f.masks = { masks[0], masks[1], masks[2] }, f.data = bgra(bottomUp);
            } },
        { "56-byte header with bit fields",
            [&](BmpFile& f) {
                f.headerSize = 56, f.bitCount = 32, f.compression = 3, f.masks = masks,
                f.data = bgra(bottomUp);
            } },
        { "64-byte OS/2 header with a palette",
            [&](BmpFile& f) {
                f.headerSize = 64, f.bitCount = 8, f.palette = Letters, f.palette.push_back(Black);
                f.data = { 3, 4, 2, 0, 0, 1, 2, 0 };
            } },
        { "24 bits, last row without padding",
            [&](BmpFile& f) {
                f.data = { 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0,
                    0 };
            } },
        { "core header, last row without padding",
            [&](BmpFile& f) {
                f.headerSize = 12, f.bitCount = 4, f.palette = Letters, f.palette.resize(16, Black);
                f.data = { 0x3F, 0x20, 0, 0, 0x01, 0x20 };
            } },
    };
    for (const auto& c : cases) {
        BmpFile file;
        file.width = 3;
        c.change(file);
        auto r = decode(file.bytes());
        ASSERT_TRUE(r) << c.what << ": " << r.error().message;
        EXPECT_EQ(drawing(r.value()), expected) << c.what;
    }
}

// Channel values of every mask width come to 0..255: fields of up to 8 bits are multiplied
// by 256 / (maximum + 1), wider ones keep their top 8 bits.
TEST(BmpFormat, BitFieldScaling)
{
    const struct {
        std::uint32_t mask, pixel;
        int expected;
    } cases[] = {
        { 0x7C00, 0x7C00, 248 }, // 5 bits
        { 0xF800, 0x0800, 8 }, { 0x07E0, 0x07E0, 252 }, // 6 bits
        { 0x0001, 0x0001, 128 }, // 1 bit
        { 0x00E0, 0x00A0, 160 }, // 3 bits
        { 0x0005, 0x0005, 210 }, // bits 0 and 2: maximum 5, 5 * (256 / 6)
        { 0xFF000000, 0x80FFFFFF, 128 }, { 0x3FF00000, 0x3FF00000, 255 }, // 10 bits
        { 0x3FF00000, 0x20000000, 128 }, { 0x3FF00000, 0x000FFFFF, 0 },
        { 0xFFFFFFFF, 0x12345678, 0x12 }, // 32 bits
        { 0x00000000, 0xFFFFFFFF, 0 }, // no red at all
    };
    for (const auto& c : cases) {
        BmpFile file;
        file.width = file.height = 1;
        file.bitCount = 32;
        file.compression = 3;
        file.masks = { c.mask, 0x0000FF00, 0 };
        file.data = { std::uint8_t(c.pixel), std::uint8_t(c.pixel >> 8),
            std::uint8_t(c.pixel >> 16), std::uint8_t(c.pixel >> 24) };
        auto r = decode(file.bytes());
        ASSERT_TRUE(r) << std::hex << c.mask << ": " << r.error().message;
        EXPECT_EQ(red(r.value().pixel(0, 0)), c.expected) << std::hex << c.mask << " " << c.pixel;
    }
}

// Run-length data of a 4 x 3 picture with palette R G B W; rows are drawn top first.
TEST(BmpFormat, RunLengthCodes)
{
    const struct {
        const char* what;
        int bitCount;
        std::vector<std::uint8_t> data;
        std::vector<std::string> expected;
    } cases[] = {
        { "runs and ends of rows", 8, { 4, 1, 0, 0, 2, 2, 2, 3, 0, 0, 1, 0, 0, 1 },
            { "R...", "BBWW", "GGGG" } },
        { "a move leaves pixels black", 8, { 1, 0, 0, 2, 2, 1, 1, 1, 0, 1 },
            { "....", "...G", "R..." } },
        { "a run past the row end is cut", 8, { 9, 1, 0, 0, 1, 2, 0, 1 },
            { "....", "B...", "GGGG" } },
        { "literal indices with padding", 8, { 0, 3, 1, 2, 3, 0, 1, 0, 0, 1 },
            { "....", "....", "GBWR" } },
        { "literal indices past the row end are all consumed", 8,
            { 0, 5, 1, 1, 1, 1, 0, 0, 0, 0, 1, 3, 0, 1 }, { "....", "W...", "GGGG" } },
        { "data ending early", 8, { 4, 1, 2 }, { "....", "....", "GGGG" } },
        { "a move below the last row", 8, { 0, 2, 0, 5, 1, 1 }, { "....", "....", "...." } },
        { "a move beyond the row end", 8, { 0, 2, 200, 1, 1, 1, 0, 0, 1, 2 },
            { "B...", "....", "...." } },
        { "end of bitmap", 8, { 0, 1, 4, 1 }, { "....", "....", "...." } },
        { "nibble runs", 4, { 4, 0x12, 0, 0, 3, 0x30, 0, 1 }, { "....", "WRW.", "GBGB" } },
        { "literal nibbles", 4, { 0, 3, 0x12, 0x30, 0, 0, 0, 5, 0x12, 0x31, 0x20, 0, 0, 1 },
            { "....", "GBWG", "GBW." } },
        { "nibble data ending inside literals", 4, { 0, 6, 0x12 }, { "....", "....", "GB.." } },
    };
    for (const auto& c : cases) {
        BmpFile file;
        file.width = 4;
        file.height = 3;
        file.bitCount = std::uint16_t(c.bitCount);
        file.compression = c.bitCount == 8 ? 1 : 2;
        file.palette = Letters;
        file.colorsUsed = 4;
        file.data = c.data;
        auto r = decode(file.bytes());
        ASSERT_TRUE(r) << c.what << ": " << r.error().message;
        EXPECT_EQ(drawing(r.value()), c.expected) << c.what;
    }
}

// Every byte of each header set to values that break it: the reader must answer with one of
// its messages or a picture, never crash or read out of bounds (the sanitizers watch this).
TEST(BmpFormat, DamagedHeadersAndRunsNeverCrash)
{
    // Also compared with the display-sized decode, where `compare` says so.
    const auto check = [](const std::string& bytes, const std::string& where, bool compare) {
        auto r = decode(bytes);
        if (r) {
            const Canvas& c = r.value();
            ASSERT_TRUE(c.width() > 0 && c.height() > 0) << where;
            ASSERT_LE(std::int64_t(c.width()) * c.height(), std::int64_t(1) << 28) << where;
        } else {
            ASSERT_TRUE(r.error().message == NotValid || r.error().message == ReadError)
                << where << ": " << r.error().message;
        }
        if (compare) {
            ASSERT_EQ(check::disagreement(bytes, r, decodeForDisplay(bytes)), "") << where;
        }
    };
    for (const char* name :
        { "g/pal1", "g/pal4rle", "g/pal8os2", "g/pal8v5", "g/rgb16-565", "g/rgb32bf" }) {
        const std::string bytes = fileBytes(Suite + name + ".bmp");
        for (std::size_t at = 0; at < 160; ++at)
            for (char value : { '\x00', '\x01', '\x7F', '\x80', '\xFF' }) {
                std::string damaged = bytes;
                damaged[at] = value;
                check(damaged, std::string(name) + " byte " + std::to_string(at), true);
            }
    }
    // Run-length data damaged throughout; one place in four is compared, to keep the test
    // quick under the sanitizers (the generated pictures and the fuzzer compare far more).
    for (const char* name : { "g/pal4rle", "g/pal8rle" }) {
        const std::string bytes = fileBytes(Suite + name + ".bmp");
        const std::size_t offset = std::uint8_t(bytes[10]) | std::uint8_t(bytes[11]) << 8;
        for (std::size_t at = offset; at < bytes.size(); at += 3)
            for (char value : { '\x00', '\x01', '\x02', '\xFF' }) {
                std::string damaged = bytes;
                damaged[at] = value;
                check(damaged, std::string(name) + " byte " + std::to_string(at),
                    (at - offset) % 12 == 0);
            }
    }
}

} // namespace
