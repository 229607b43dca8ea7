// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TIFF pictures made here with libtiff, read display-sized and compared with libtiff's own
// decode of the whole picture; hostile files made byte by byte, sparse where they are large.
#include "picture/TiffReader.h"
#include "picture/ShownPixels.h"
#include "testing/RegionCheck.h"

#include <tiffio.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace probnik;
namespace fs = std::filesystem;

namespace {

fs::path folder()
{
    static const fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "probnik-tiff-XXXXXX").string();
        return fs::path(::mkdtemp(pattern.data()) ? pattern : "");
    }();
    static const struct Remove {
        ~Remove() { fs::remove_all(dir); }
    } remove;
    return dir;
}

// The process's peak resident memory so far, in MiB.
double peakMiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

Result<DisplayPicture> readFile(const fs::path& path, int side, Progress progress = {})
{
    Result<std::unique_ptr<ByteSource>> source = ByteSource::open(path.string());
    if (!source)
        return source.error();
    return readTiffForDisplay(*source.value(), side, progress);
}

// Writes a picture with libtiff; `tags` sets all but its size. Every strip or tile is filled
// with seeded noise (any bytes are valid samples; for the JPEG coders, its RGB input) or zeros.
void makeTiff(const fs::path& path, const char* mode, std::uint32_t width, std::uint32_t height,
    std::uint32_t tile, const std::function<void(TIFF*)>& tags, bool noisy = true,
    bool lastFirst = false)
{
    TIFF* tif = TIFFOpen(path.c_str(), mode);
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    if (tile) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, tile);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16u);
    }
    tags(tif);
    std::mt19937 noise(7);
    const bool tiled = tile != 0;
    const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(size));
    const std::uint32_t count = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    for (std::uint32_t n = 0; n < count; ++n) {
        // Written last first, each piece lies in the file before the one it follows.
        const std::uint32_t i = lastFirst ? count - 1 - n : n;
        for (std::uint8_t& b : piece)
            b = noisy ? std::uint8_t(noise()) : 0;
        ASSERT_GE(tiled ? TIFFWriteEncodedTile(tif, i, piece.data(), size)
                        : TIFFWriteEncodedStrip(tif, i, piece.data(), size),
            0);
    }
    TIFFClose(tif);
}

// The box's pixel (i, j) shows the picture's pixel `expected(x, y)` under the nearest-pixel
// mapping.
void expectShown(const DisplayPicture& shown, const std::function<Color(int, int)>& expected)
{
    const Canvas& box = shown.shown;
    ASSERT_FALSE(box.isEmpty());
    for (int j = 0; j < box.height(); ++j)
        for (int i = 0; i < box.width(); ++i) {
            const int x = i * shown.width / box.width(), y = j * shown.height / box.height();
            ASSERT_EQ(box.pixel(i, j), expected(x, y)) << "pixel " << x << ", " << y;
        }
}

struct Case {
    const char* name;
    const char* mode; // libtiff's, with the byte order
    std::uint32_t tile; // 0: strips of 16 rows
    std::uint16_t photometric, compression, channels, bits;
};

// libtiff converts JPEG and YCbCr itself: shown as its whole-picture RGBA decode shows them.
TEST(TiffReader, ConvertedPicturesMatchLibtiffsWholeDecode)
{
    const Case cases[] = {
        { "jpeg_ycbcr_strips.tif", "w", 0, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, 3, 8 },
        { "jpeg_ycbcr_tiles.tif", "w", 32, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, 3, 8 },
        { "jpeg_rgb_strips.tif", "wb", 0, PHOTOMETRIC_RGB, COMPRESSION_JPEG, 3, 8 },
        { "ycbcr_strips.tif", "wb", 0, PHOTOMETRIC_YCBCR, COMPRESSION_NONE, 3, 8 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder() / c.name;
        const std::uint32_t width = 151, height = 109;
        makeTiff(path, c.mode, width, height, c.tile, [&c](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, c.compression);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, c.channels);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bits);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            if (c.photometric == PHOTOMETRIC_YCBCR)
                TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
            if (c.compression == COMPRESSION_JPEG && c.photometric == PHOTOMETRIC_YCBCR)
                TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        });
        std::vector<std::uint32_t> whole(std::size_t(width) * height);
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        ASSERT_TRUE(
            TIFFReadRGBAImageOriented(tif, width, height, whole.data(), ORIENTATION_TOPLEFT, 1));
        TIFFClose(tif);
        for (const int side : { 64, 400 }) {
            const Result<DisplayPicture> read = readFile(path, side);
            ASSERT_TRUE(read) << read.error().message;
            expectShown(read.value(), [&](int x, int y) {
                const std::uint32_t p = whole[std::size_t(y) * width + std::size_t(x)];
                return rgb(int(TIFFGetR(p)), int(TIFFGetG(p)), int(TIFFGetB(p)));
            });
        }
    }
}

// 16-bit samples of uncompressed files are read where they lie, in the file's byte order;
// the box keeps them at 16 bits as well, and the file's ICC profile comes with them.
TEST(TiffReader, SixteenBitSamplesInEitherByteOrderMatchLibtiff)
{
    const Case cases[] = {
        { "grey16_le.tif", "wl", 0, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 16 },
        { "grey16_be.tif", "wb", 0, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 16 },
        { "rgb16_le.tif", "wl", 0, PHOTOMETRIC_RGB, COMPRESSION_NONE, 3, 16 },
        { "rgb16_be.tif", "wb", 0, PHOTOMETRIC_RGB, COMPRESSION_NONE, 3, 16 },
        { "grey16_be_tiles.tif", "wb", 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 16 },
        { "rgb16_be_lzw.tif", "wb", 16, PHOTOMETRIC_RGB, COMPRESSION_LZW, 3, 16 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder() / c.name;
        const std::uint32_t width = 45, height = 37;
        makeTiff(path, c.mode, width, height, c.tile, [&c](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, c.compression);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, c.channels);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bits);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            const std::string profile = std::string("profile of ") + c.name;
            TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(profile.size()), profile.data());
        });
        // libtiff's decode, strip by strip or tile by tile, in the machine's byte order.
        std::vector<std::uint16_t> whole(std::size_t(width) * height * c.channels);
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        const std::uint32_t side = c.tile ? c.tile : width, rows = c.tile ? c.tile : 16;
        std::vector<std::uint16_t> piece(std::size_t(side) * rows * c.channels);
        for (std::uint32_t top = 0; top < height; top += rows)
            for (std::uint32_t left = 0; left < width; left += side) {
                ASSERT_GE(c.tile ? TIFFReadTile(tif, piece.data(), left, top, 0, 0)
                                 : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, 0),
                                     piece.data(), tmsize_t(piece.size() * 2)),
                    0);
                for (std::uint32_t y = top; y < std::min(top + rows, height); ++y)
                    for (std::uint32_t x = left; x < std::min(left + side, width); ++x)
                        for (std::uint32_t s = 0; s < c.channels; ++s)
                            whole[(std::size_t(y) * width + x) * c.channels + s]
                                = piece[(std::size_t(y - top) * side + (x - left)) * c.channels
                                    + s];
            }
        TIFFClose(tif);
        const Result<DisplayPicture> read = readFile(path, 400);
        ASSERT_TRUE(read) << read.error().message;
        expectShown(read.value(), [&](int x, int y) {
            const std::uint16_t* p = &whole[(std::size_t(y) * width + std::size_t(x)) * c.channels];
            return c.channels == 1 ? rgb(eightBits(p[0]), eightBits(p[0]), eightBits(p[0]))
                                   : rgb(eightBits(p[0]), eightBits(p[1]), eightBits(p[2]));
        });
        const DisplayPicture& shown = read.value();
        EXPECT_EQ(shown.bits, 16);
        EXPECT_EQ(shown.grey, c.channels == 1);
        EXPECT_EQ(shown.colour.kind, ColourDescription::Kind::Embedded);
        EXPECT_EQ(std::string(shown.colour.icc.begin(), shown.colour.icc.end()),
            std::string("profile of ") + c.name);
        const int boxWidth = shown.shown.width(), boxHeight = shown.shown.height();
        ASSERT_EQ(shown.shown16.size(), std::size_t(boxWidth) * std::size_t(boxHeight) * 3);
        for (int j = 0; j < boxHeight; ++j)
            for (int i = 0; i < boxWidth; ++i) {
                const std::size_t x = std::size_t(i) * width / std::size_t(boxWidth);
                const std::size_t y = std::size_t(j) * height / std::size_t(boxHeight);
                const std::uint16_t* p = &whole[(y * width + x) * c.channels];
                const std::uint16_t* got
                    = &shown.shown16[(std::size_t(j) * std::size_t(boxWidth) + std::size_t(i)) * 3];
                for (std::size_t k = 0; k < 3; ++k)
                    ASSERT_EQ(got[k], p[c.channels == 1 ? 0 : k]) << x << ", " << y;
            }
    }
}

// Premultiplied colour is shown divided by its alpha; straight alpha leaves the colour alone.
TEST(TiffReader, AssociatedAlphaIsDividedOut)
{
    // The straight colour, multiples of 15 so that alpha 255 / 3 and 255 / 5 divide exactly.
    const int straight[3] = { 150, 75, 225 };
    const int alphas[4] = { 255, 85, 51, 0 };
    struct Layout {
        std::uint16_t extra, planar;
    };
    for (const Layout l : { Layout { EXTRASAMPLE_ASSOCALPHA, PLANARCONFIG_CONTIG },
             Layout { EXTRASAMPLE_ASSOCALPHA, PLANARCONFIG_SEPARATE },
             Layout { EXTRASAMPLE_UNASSALPHA, PLANARCONFIG_CONTIG } }) {
        const bool associated = l.extra == EXTRASAMPLE_ASSOCALPHA;
        SCOPED_TRACE(std::to_string(l.extra) + " planar " + std::to_string(l.planar));
        const fs::path path = folder() / "alpha.tif";
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1u);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, l.planar);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &l.extra);
        std::uint8_t stored[4][4]; // pixel, sample
        for (int x = 0; x < 4; ++x) {
            for (int s = 0; s < 3; ++s)
                stored[x][s]
                    = std::uint8_t(associated ? straight[s] * alphas[x] / 255 : straight[s]);
            stored[x][3] = std::uint8_t(alphas[x]);
        }
        if (l.planar == PLANARCONFIG_CONTIG) {
            ASSERT_EQ(TIFFWriteScanline(tif, stored, 0, 0), 1);
        } else {
            for (int s = 0; s < 4; ++s) {
                std::uint8_t plane[4] = { stored[0][s], stored[1][s], stored[2][s], stored[3][s] };
                ASSERT_EQ(TIFFWriteScanline(tif, plane, 0, std::uint16_t(s)), 1);
            }
        }
        TIFFClose(tif);
        const Result<DisplayPicture> read = readFile(path, 400);
        ASSERT_TRUE(read) << read.error().message;
        expectShown(read.value(), [&](int x, int) {
            if (associated && alphas[x] == 0)
                return Black;
            return associated ? rgb(straight[0], straight[1], straight[2])
                              : rgb(stored[x][0], stored[x][1], stored[x][2]);
        });
    }
}

// Rectangles at the edges and corners, many in one pass, in every layout the reader has: each
// pixel comes once per rectangle with what a box showing every pixel shows (which the tests
// above hold to libtiff's decode), at 16 bits where the box keeps them. A stop from the
// progress ends the reading with no more runs.
TEST(TiffReader, RectanglesShowWhatTheWholePictureShows)
{
    struct RegionCase {
        const char* name;
        const char* mode;
        std::uint32_t tile; // 0: strips of 16 rows
        std::uint16_t photometric, compression, channels, bits;
        std::uint16_t planar = PLANARCONFIG_CONTIG;
        std::uint16_t extra = 0; // the kind of the alpha, if any
        std::uint16_t fillOrder = FILLORDER_MSB2LSB;
        bool lastFirst = false; // strips of one row, written last first
    };
    const RegionCase cases[] = {
        { "grey 8, strips", "wl", 0, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 8 },
        { "grey 1, white zero, big-endian", "wb", 0, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, 1,
            1 },
        { "grey 4, tiles", "wl", 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 4 },
        { "grey 4, reversed fill order", "wl", 0, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 4,
            PLANARCONFIG_CONTIG, 0, FILLORDER_LSB2MSB },
        { "grey 16 big-endian, tiles", "wb", 16, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 1, 16 },
        { "RGB 8 big-endian", "wb", 0, PHOTOMETRIC_RGB, COMPRESSION_NONE, 3, 8 },
        { "RGB 8, strips of a row, last first", "wl", 0, PHOTOMETRIC_RGB, COMPRESSION_NONE, 3, 8,
            PLANARCONFIG_CONTIG, 0, FILLORDER_MSB2LSB, true },
        { "RGB 8, tiles, deflate", "wl", 32, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, 3, 8 },
        { "RGB 8, planes, LZW", "wl", 0, PHOTOMETRIC_RGB, COMPRESSION_LZW, 3, 8,
            PLANARCONFIG_SEPARATE },
        { "RGB 8, planes, tiles", "wb", 16, PHOTOMETRIC_RGB, COMPRESSION_NONE, 3, 8,
            PLANARCONFIG_SEPARATE },
        { "RGBA 8 associated, planes", "wl", 0, PHOTOMETRIC_RGB, COMPRESSION_NONE, 4, 8,
            PLANARCONFIG_SEPARATE, EXTRASAMPLE_ASSOCALPHA },
        { "RGBA 16 associated, LZW", "wb", 0, PHOTOMETRIC_RGB, COMPRESSION_LZW, 4, 16,
            PLANARCONFIG_CONTIG, EXTRASAMPLE_ASSOCALPHA },
        { "RGB 16 little-endian", "wl", 0, PHOTOMETRIC_RGB, COMPRESSION_NONE, 3, 16 },
        { "RGB 16 big-endian, tiles, LZW", "wb", 16, PHOTOMETRIC_RGB, COMPRESSION_LZW, 3, 16 },
        { "palette 8, deflate", "wl", 0, PHOTOMETRIC_PALETTE, COMPRESSION_ADOBE_DEFLATE, 1, 8 },
        { "palette 4, tiles", "wb", 16, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, 1, 4 },
        { "JPEG YCbCr, strips", "w", 0, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, 3, 8 },
        { "JPEG YCbCr, tiles", "w", 32, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG, 3, 8 },
        { "YCbCr, uncompressed", "wb", 0, PHOTOMETRIC_YCBCR, COMPRESSION_NONE, 3, 8 },
    };
    for (const RegionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder() / "regions.tif";
        const std::uint32_t width = 151, height = 109;
        makeTiff(
            path, c.mode, width, height, c.tile,
            [&c](TIFF* tif) {
                if (c.lastFirst)
                    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1u);
                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, c.photometric);
                TIFFSetField(tif, TIFFTAG_COMPRESSION, c.compression);
                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, c.channels);
                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, c.bits);
                TIFFSetField(tif, TIFFTAG_PLANARCONFIG, c.planar);
                TIFFSetField(tif, TIFFTAG_FILLORDER, c.fillOrder);
                if (c.extra)
                    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &c.extra);
                if (c.photometric == PHOTOMETRIC_YCBCR)
                    TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
                if (c.compression == COMPRESSION_JPEG)
                    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
                if (c.photometric == PHOTOMETRIC_PALETTE) {
                    std::vector<std::uint16_t> map(3 << c.bits);
                    std::mt19937 random(c.bits);
                    for (std::uint16_t& v : map)
                        v = std::uint16_t(random());
                    TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + (1 << c.bits),
                        map.data() + (2 << c.bits));
                }
            },
            true, c.lastFirst);
        const std::vector<Rect> regions = check::edgeRegions(int(width), int(height));
        check::RegionPixels got(regions);
        Result<std::unique_ptr<ByteSource>> source = ByteSource::open(path.string());
        ASSERT_TRUE(source);
        Progress unwatched;
        const auto read = readTiffRegions(*source.value(), regions, got, unwatched);
        EXPECT_EQ(got.disagreement(read, readFile(path, check::everyPixel(width, height))), "");

        Result<std::unique_ptr<ByteSource>> again = ByteSource::open(path.string());
        ASSERT_TRUE(again);
        check::RegionPixels stopped(regions);
        int calls = 0;
        std::size_t runsWhenStopped = 0;
        Progress stop([&](double) {
            runsWhenStopped = stopped.runs();
            return ++calls < 3;
        });
        const auto r = readTiffRegions(*again.value(), regions, stopped, stop);
        ASSERT_FALSE(r);
        EXPECT_TRUE(r.error().cancelled);
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(stopped.runs(), runsWhenStopped);
    }
}

// A classic little-endian TIFF: the entries (tag, type, count, value), then `data` from
// dataAt(entries) on.
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};
std::uint32_t dataAt(std::size_t entries)
{
    return std::uint32_t(8 + 2 + 12 * entries + 4);
}
std::vector<std::uint8_t> classicTiff(
    const std::vector<Entry>& entries, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out { 'I', 'I', 42, 0, 8, 0, 0, 0 };
    const auto put = [&out](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(std::uint8_t(v >> (8 * i)));
    };
    put(entries.size(), 2);
    for (const Entry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        put(e.value, 4);
    }
    put(0, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}
// Written, then stretched with a hole to `size` bytes.
fs::path sparseFile(const char* name, const std::vector<std::uint8_t>& bytes, std::uint64_t size)
{
    fs::path path = folder() / name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_TRUE(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    EXPECT_EQ(::ftruncate(fileno(f), off_t(std::max<std::uint64_t>(size, bytes.size()))), 0);
    std::fclose(f);
    return path;
}

// Tags the picture is not decoded from cost nothing, however large; a strip table longer than
// the picture's strips is refused before it is read.
TEST(TiffReader, HostileTablesAndTagsAreNeverLoaded)
{
    struct Hostile {
        const char* name;
        std::uint32_t tags, tagBytes, strips;
        bool shown;
    };
    for (const Hostile h : { Hostile { "tags_4000x1MB.tif", 4000, 1000000, 1, true },
             Hostile { "tags_8x250MB.tif", 8, 250000000, 1, true },
             Hostile { "strips_33M.tif", 0, 0, 33000000, false } }) {
        SCOPED_TRACE(h.name);
        const std::size_t n = 9 + h.tags;
        const std::uint32_t pixels = dataAt(n), table = pixels + 64 * 64;
        std::vector<Entry> entries { { 256, 3, 1, 64 }, { 257, 3, 1, 64 }, { 258, 3, 1, 8 },
            { 259, 3, 1, 1 }, { 262, 3, 1, 1 }, { 273, 4, h.strips, h.strips > 1 ? table : pixels },
            { 277, 3, 1, 1 }, { 278, 3, 1, 64 },
            { 279, 4, h.strips, h.strips > 1 ? table : 64 * 64 } };
        for (std::uint32_t i = 0; i < h.tags; ++i) // all of them at the same bytes
            entries.push_back({ std::uint16_t(40000 + i), 7, h.tagBytes, table });
        const fs::path path
            = sparseFile(h.name, classicTiff(entries, std::vector<std::uint8_t>(64 * 64, 0x80)),
                std::uint64_t(table)
                    + std::max<std::uint64_t>(h.tagBytes, std::uint64_t(h.strips) * 4));
        const double before = peakMiB();
        const Result<DisplayPicture> read = readFile(path, 400);
        EXPECT_LT(peakMiB() - before, 16.0) << "MiB more at the peak";
        if (h.shown) {
            ASSERT_TRUE(read) << read.error().message;
            expectShown(read.value(), [](int, int) { return rgb(128, 128, 128); });
        } else {
            ASSERT_FALSE(read);
            EXPECT_EQ(read.error().message, NotValidMessage);
        }
        fs::remove(path);
    }
}

// The compressed piece of a picture of width x rows zeros, as libtiff's deflate writes it.
std::vector<std::uint8_t> deflatedZeros(std::uint32_t width, std::uint32_t rows, bool tiled)
{
    const fs::path path = folder() / "zeros.tif";
    makeTiff(
        path, "w", width, rows, tiled ? width : 0,
        [rows](TIFF* tif) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
        },
        false);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(TIFFGetStrileByteCount(tif, 0)));
    const auto size = tmsize_t(raw.size());
    EXPECT_EQ(tiled ? TIFFReadRawTile(tif, 0, raw.data(), size)
                    : TIFFReadRawStrip(tif, 0, raw.data(), size),
        size);
    TIFFClose(tif);
    return raw;
}

// A 2^20 x 2^20 picture whose 65536 tiles or strips all share one deflate stream of zeros
// stops at the first refusal of its progress, with little memory.
TEST(TiffReader, SharedStreamBombStopsWhenCancelled)
{
    for (const bool tiled : { true, false }) {
        SCOPED_TRACE(tiled ? "tiles" : "strips");
        const std::uint32_t side = 1u << 20, pieces = 65536;
        const std::vector<std::uint8_t> stream
            = tiled ? deflatedZeros(4096, 4096, true) : deflatedZeros(side, 16, false);
        const std::uint32_t offsets = dataAt(tiled ? 10 : 9), counts = offsets + 4 * pieces,
                            streamAt = counts + 4 * pieces;
        std::vector<Entry> entries { { 256, 4, 1, side }, { 257, 4, 1, side }, { 258, 3, 1, 8 },
            { 259, 3, 1, COMPRESSION_ADOBE_DEFLATE }, { 262, 3, 1, 1 } };
        if (tiled)
            entries.insert(entries.end(),
                { { 322, 3, 1, 4096 }, { 323, 3, 1, 4096 }, { 324, 4, pieces, offsets },
                    { 325, 4, pieces, counts } });
        else
            entries.insert(entries.end(),
                { { 273, 4, pieces, offsets }, { 277, 3, 1, 1 }, { 278, 3, 1, 16 },
                    { 279, 4, pieces, counts } });
        if (tiled)
            entries.insert(entries.begin() + 5, { 277, 3, 1, 1 });
        std::vector<std::uint8_t> data;
        for (const std::uint32_t v : { streamAt, std::uint32_t(stream.size()) })
            for (std::uint32_t i = 0; i < pieces; ++i)
                for (int b = 0; b < 4; ++b)
                    data.push_back(std::uint8_t(v >> (8 * b)));
        data.insert(data.end(), stream.begin(), stream.end());
        const std::vector<std::uint8_t> file = classicTiff(entries, data);
        ByteSource source(file.data(), file.size());
        int calls = 0;
        Progress progress([&calls](double) { return ++calls < 3; });
        const double before = peakMiB();
        const Result<DisplayPicture> read = readTiffForDisplay(source, 400, progress);
        EXPECT_LT(peakMiB() - before, 256.0) << "MiB more at the peak";
        ASSERT_FALSE(read);
        EXPECT_TRUE(read.error().cancelled);
        EXPECT_EQ(calls, 3);
    }
}

} // namespace
