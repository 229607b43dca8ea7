// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// PNG files that a few megabytes make costly: data that inflates to gigabytes, data going on
// past the last row, a chunk of gigabytes; rectangles of a file's pixels in every layout, as
// the whole picture shows them.
#include "picture/PngReader.h"
#include "testing/RegionCheck.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

using namespace probnik;

namespace {

void put32(std::string& s, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        s += char(v >> shift & 255);
}

std::string chunk(const char* type, const std::string& data)
{
    std::string c;
    put32(c, std::uint32_t(data.size()));
    c += std::string(type, 4) + data;
    const auto crc = crc32(
        crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4));
    put32(c, std::uint32_t(crc));
    return c;
}

// A zlib stream of `count` zero bytes, made by repeating one flushed block of a megabyte, so
// that gigabytes take a moment and a megabyte to make.
std::string zeros(std::uint64_t count)
{
    constexpr std::uint64_t Piece = 1 << 20;
    z_stream z {};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const auto deflatePiece = [&](std::uint64_t size, int flush) {
        std::string in(size, '\0'), out(size / 100 + 1024, '\0');
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, flush);
        out.resize(out.size() - z.avail_out);
        return out;
    };
    std::string stream = "\x78\x01";
    const std::uint64_t pieces = count / Piece;
    if (pieces > 0)
        stream += deflatePiece(Piece, Z_SYNC_FLUSH);
    if (pieces > 1) {
        const std::string again = deflatePiece(Piece, Z_SYNC_FLUSH); // with the window full
        for (std::uint64_t i = 1; i < pieces; ++i)
            stream += again;
    }
    stream += deflatePiece(count % Piece, Z_FINISH);
    deflateEnd(&z);
    put32(stream, std::uint32_t((count % 65521) << 16 | 1)); // Adler-32 of zeros
    return stream;
}

// An 8-bit grey picture whose image data is `data`, with `chunks` before it.
std::string png(std::uint32_t width, std::uint32_t height, bool interlaced, const std::string& data,
    const std::string& chunks = "")
{
    std::string header;
    put32(header, width);
    put32(header, height);
    header += std::string("\x08\x00\x00\x00", 4) + char(interlaced ? 1 : 0);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunks + chunk("IDAT", data)
        + chunk("IEND", "");
}

// A profile libpng takes: a header of a display profile of this colour space ("RGB " or
// "GRAY") with the D50 illuminant, and one tag of zeros to `size`; `mark` makes it this one.
std::string iccProfile(const char* space, char mark, std::uint32_t size = 4096)
{
    std::string p(size, '\0');
    const auto at = [&p](std::size_t i, std::uint32_t v) {
        std::string s;
        put32(s, v);
        p.replace(i, 4, s);
    };
    at(0, size);
    at(8, 0x04300000); // version 4.3
    p.replace(12, 4, "mntr");
    p.replace(16, 4, space);
    p.replace(20, 4, "XYZ ");
    p.replace(36, 4, "acsp");
    at(68, 0xF6D6);
    at(72, 0x10000);
    at(76, 0xD32D);
    p[100] = mark; // in the profile's identifier
    at(128, 1);
    p.replace(132, 4, "desc");
    at(136, 144);
    at(140, size - 144);
    return p;
}

// An iCCP chunk of `profile` deflated, or of this zlib stream.
std::string iccpChunk(const std::string& profile, const std::string& stream = "")
{
    std::string deflated = stream;
    if (stream.empty()) {
        uLongf size = compressBound(uLong(profile.size()));
        deflated.resize(size);
        compress2(reinterpret_cast<Bytef*>(deflated.data()), &size,
            reinterpret_cast<const Bytef*>(profile.data()), uLong(profile.size()), 1);
        deflated.resize(size);
    }
    return chunk("iCCP", std::string("icc\0\0", 5) + deflated);
}

std::string be32s(std::initializer_list<std::uint32_t> values)
{
    std::string s;
    for (const std::uint32_t v : values)
        put32(s, v);
    return s;
}

// A picture written by libpng: `channels` of `bits`, each sample its own function of the
// place, and `describe` setting its colour chunks.
std::string written(png_uint_32 width, png_uint_32 height, int colorType, int bits, bool interlaced,
    const std::function<unsigned(png_uint_32, png_uint_32, int)>& sample,
    const std::function<void(png_structp, png_infop)>& describe)
{
    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t size) {
            static_cast<std::string*>(png_get_io_ptr(p))
                ->append(reinterpret_cast<char*>(data), size);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, bits, colorType,
        interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    describe(png, info);
    const int channels = png_get_channels(png, info);
    std::vector<std::vector<png_byte>> rows(height);
    std::vector<png_bytep> pointers;
    for (png_uint_32 y = 0; y < height; ++y) {
        for (png_uint_32 x = 0; x < width; ++x)
            for (int s = 0; s < channels; ++s) {
                const unsigned v = sample(x, y, s);
                if (bits == 16)
                    rows[y].push_back(png_byte(v >> 8));
                rows[y].push_back(png_byte(v & 255));
            }
        pointers.push_back(rows[y].data());
    }
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// A file of 320 MB that is mostly a hole: 40 ancillary chunks of 8 MB before the image data
// of a small picture. Its name is gone once it is open.
std::unique_ptr<ByteSource> chunkyFile()
{
    const std::string picture = png(64, 64, false, zeros(64 * 65));
    const std::size_t afterHeader = 8 + 25;
    char path[] = "/tmp/probnik-png-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    off_t at = 0;
    const auto write = [&](const std::string& bytes) {
        EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), at), ssize_t(bytes.size()));
        at += off_t(bytes.size());
    };
    write(picture.substr(0, afterHeader));
    constexpr std::uint32_t ChunkSize = 8000000;
    for (int i = 0; i < 40; ++i) {
        std::string header;
        put32(header, ChunkSize);
        write(header + "zzZz");
        at += ChunkSize + 4; // the data and its CRC, left as a hole
    }
    write(picture.substr(afterHeader));
    close(fd);
    auto source = ByteSource::open(path);
    unlink(path);
    return source ? std::move(source).value() : nullptr;
}

// A progress that says stop at its `stopAt`th call and counts the calls.
struct StopAfter {
    int stopAt;
    int calls = 0;
    Progress progress { [this](double) { return ++calls < stopAt; } };
};

// Rows of 100,000 zeros, 20,000 of them: 2 GB to inflate, from 2 MB; or gigabytes of chunks
// to pass over. A stop is obeyed at once, long before the data is read.
TEST(PngReader, StopsWhenToldInHugeData)
{
    const std::string inflating = zeros(std::uint64_t(100001) * 20000);
    const std::string plain = png(100000, 20000, false, inflating);
    const std::string interlaced = png(100000, 20000, true, inflating);
    ByteSource plainSource(plain), interlacedSource(interlaced);
    const std::unique_ptr<ByteSource> chunky = chunkyFile();
    ASSERT_TRUE(chunky);
    const struct {
        const char* what;
        ByteSource& source;
    } cases[] = {
        { "plain", plainSource },
        { "interlaced", interlacedSource },
        { "chunks of 8 MB", *chunky },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StopAfter stop { 20 };
        const auto read = readPngForDisplay(c.source, 400, stop.progress);
        ASSERT_FALSE(read);
        EXPECT_TRUE(read.error().cancelled);
        EXPECT_EQ(stop.calls, stop.stopAt);
        EXPECT_LT(c.source.bytesRead(), c.source.size() / 10);
        // Read as one rectangle of all its pixels: nothing is handed over after the stop.
        ASSERT_TRUE(c.source.seek(0));
        struct : PixelSink {
            int runs = 0;
            void run(const PixelRun&) override { ++runs; }
        } counter;
        int calls = 0, runsAtStop = -1;
        Progress stopRegions([&](double) {
            if (++calls < 20)
                return true;
            runsAtStop = counter.runs;
            return false;
        });
        const Rect all[] = { { 0, 0, 100000, 20000 } };
        const auto regions = readPngRegions(c.source, all, counter, stopRegions);
        ASSERT_FALSE(regions);
        EXPECT_TRUE(regions.error().cancelled);
        EXPECT_EQ(calls, 20);
        EXPECT_EQ(counter.runs, runsAtStop);
        EXPECT_LT(c.source.bytesRead(), c.source.size() / 5);
    }
    // Unwatched, the chunks are passed over and the picture is shown.
    ASSERT_TRUE(chunky->seek(0));
    Progress unwatched;
    EXPECT_TRUE(readPngForDisplay(*chunky, 400, unwatched));
}

// Image data that inflates to more than the rows need is not valid, whatever the amount:
// found after little more than the rows' own data, not after the whole gigabyte.
TEST(PngReader, DataPastTheLastRowIsNotValid)
{
    const struct {
        const char* what;
        bool interlaced;
        std::uint64_t extra;
        bool valid;
    } cases[] = {
        { "exactly the rows", false, 0, true },
        { "exactly the rows, interlaced", true, 0, true },
        { "a byte more", false, 1, false },
        { "a gigabyte more", false, 1 << 30, false },
        { "a gigabyte more, interlaced", true, 1 << 30, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // 64 x 64 grey: 65 bytes a row with the filter byte, 64 x 65 once interlaced (the
        // passes' rows add filter bytes: 8 + 8 + 8 + 16 + 16 + 32 + 32 rows of 8 to 32 bytes).
        const std::uint64_t rows = c.interlaced
            ? 8 * 9 + 8 * 9 + 8 * 17 + 16 * 17 + 16 * 33 + 32 * 33 + 32 * 65
            : 64 * 65;
        const std::string bytes = png(64, 64, c.interlaced, zeros(rows + c.extra));
        ByteSource source(bytes);
        Progress unwatched;
        const auto read = readPngForDisplay(source, 400, unwatched);
        EXPECT_EQ(read.ok(), c.valid) << (read ? "" : read.error().message);
        if (!c.valid) {
            EXPECT_EQ(read.error().message, "Bitmap image is not valid");
        }
        EXPECT_LT(source.bytesRead(), 256 * 1024u);
    }
}

// The colour chunks count in their order: an iCCP profile, else sRGB, else cHRM and gAMA; a
// profile of more than 64 MiB is not taken, nor one that does not suit the pixels.
TEST(PngReader, ColourChunksInTheirOrder)
{
    using Kind = ColourDescription::Kind;
    const std::string grey = iccProfile("GRAY", 'g');
    const std::string large = iccProfile("GRAY", 'l', 20 << 20);
    const std::string srgb = chunk("sRGB", std::string(1, '\0'));
    const std::array<std::uint32_t, 8> srgbPoints { 31270, 32900, 64000, 33000, 30000, 60000, 15000,
        6000 };
    const std::string chrm = chunk("cHRM",
        be32s({ srgbPoints[0], srgbPoints[1], srgbPoints[2], srgbPoints[3], srgbPoints[4],
            srgbPoints[5], srgbPoints[6], srgbPoints[7] }));
    const std::string gama = chunk("gAMA", be32s({ 45455 }));
    const struct {
        const char* what;
        std::string chunks;
        Kind kind;
        bool chromaticities, gamma;
        const std::string* profile = nullptr;
    } cases[] = {
        { "all four", iccpChunk(grey) + srgb + chrm + gama, Kind::Embedded, false, false, &grey },
        { "sRGB, cHRM, gAMA", srgb + chrm + gama, Kind::Srgb, false, false },
        { "cHRM and gAMA", chrm + gama, Kind::Chromaticities, true, true },
        { "gAMA", gama, Kind::Chromaticities, false, true },
        { "a profile of 20 MiB", iccpChunk(large), Kind::Embedded, false, false, &large },
        { "a profile of 80 MiB", iccpChunk(iccProfile("GRAY", 'h', 80 << 20)), Kind::None, false,
            false },
        { "an RGB profile on grey", iccpChunk(iccProfile("RGB ", 'c')), Kind::None, false, false },
        { "nothing", "", Kind::None, false, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = png(8, 8, false, zeros(8 * 9), c.chunks);
        ByteSource source(bytes);
        Progress unwatched;
        const auto read = readPngForDisplay(source, 400, unwatched);
        ASSERT_TRUE(read) << read.error().message;
        const ColourDescription& colour = read.value().colour;
        EXPECT_EQ(colour.kind, c.kind);
        EXPECT_EQ(std::string(colour.icc.begin(), colour.icc.end()), c.profile ? *c.profile : "");
        EXPECT_EQ(colour.chromaticities.has_value(), c.chromaticities);
        if (c.chromaticities) {
            EXPECT_EQ(*colour.chromaticities, srgbPoints);
        }
        EXPECT_EQ(colour.gamma.has_value(), c.gamma);
        if (c.gamma) {
            EXPECT_EQ(*colour.gamma, 45455u);
        }
        EXPECT_TRUE(read.value().grey);
        EXPECT_EQ(read.value().bits, 8);
    }
}

// Files libpng writes: their profile, depth and greyness, and for 16 bits a channel the box at
// the file's own values, also when interlaced.
TEST(PngReader, WrittenFilesKeepProfileAndFullDepth)
{
    const std::string rgbProfile = iccProfile("RGB ", 'r');
    const auto withProfile = [&rgbProfile](png_structp png, png_infop info) {
        png_set_iCCP(png, info, "icc", PNG_COMPRESSION_TYPE_BASE,
            reinterpret_cast<png_const_bytep>(rgbProfile.data()), png_uint_32(rgbProfile.size()));
    };
    const struct {
        const char* what;
        int colorType, bits;
        bool interlaced;
    } cases[] = {
        { "RGB 16", PNG_COLOR_TYPE_RGB, 16, false },
        { "RGBA 16, interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true },
        { "grey 16", PNG_COLOR_TYPE_GRAY, 16, false },
        { "RGB 8", PNG_COLOR_TYPE_RGB, 8, false },
    };
    const png_uint_32 width = 37, height = 23;
    // Every sample differs from its neighbours and from the other channels.
    const auto sample = [](png_uint_32 x, png_uint_32 y, int s) {
        return (x * 1777 + y * 313 + unsigned(s) * 20011) % 65536;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool grey = c.colorType == PNG_COLOR_TYPE_GRAY;
        const auto value = [&](png_uint_32 x, png_uint_32 y, int s) {
            const unsigned v = sample(x, y, s);
            return c.bits == 16 ? v : v & 255;
        };
        const std::string bytes = written(width, height, c.colorType, c.bits, c.interlaced, value,
            grey ? [](png_structp, png_infop) {}
                 : std::function<void(png_structp, png_infop)>(withProfile));
        ByteSource source(bytes);
        Progress unwatched;
        const auto read = readPngForDisplay(source, 400, unwatched);
        ASSERT_TRUE(read) << read.error().message;
        const DisplayPicture& shown = read.value();
        EXPECT_EQ(shown.bits, c.bits);
        EXPECT_EQ(shown.grey, grey);
        EXPECT_EQ(shown.colour.kind,
            grey ? ColourDescription::Kind::None : ColourDescription::Kind::Embedded);
        EXPECT_EQ(
            std::string(shown.colour.icc.begin(), shown.colour.icc.end()), grey ? "" : rgbProfile);
        const int boxWidth = shown.shown.width(), boxHeight = shown.shown.height();
        ASSERT_EQ(shown.shown16.size(),
            c.bits == 16 ? std::size_t(boxWidth) * std::size_t(boxHeight) * 3 : 0);
        for (std::size_t k = 0; k < shown.shown16.size(); ++k) {
            const auto i = png_uint_32(k / 3 % std::size_t(boxWidth));
            const auto j = png_uint_32(k / 3 / std::size_t(boxWidth));
            const png_uint_32 x = i * width / png_uint_32(boxWidth);
            const png_uint_32 y = j * height / png_uint_32(boxHeight);
            ASSERT_EQ(shown.shown16[k], value(x, y, grey ? 0 : int(k % 3))) << x << ", " << y;
        }
    }
}

// Rectangles at the edges and corners of pictures in every layout, read together and each on
// its own, are the whole picture's pixels: fewer bits scaled, palettes looked up, 16 bits kept,
// the interlace passes' pixels put where they belong.
TEST(PngReader, RegionsAreTheWholePicturesPixels)
{
    const struct {
        const char* what;
        int colorType, bits;
        bool interlaced;
        png_uint_32 width = 83, height = 58;
    } cases[] = {
        { "grey 1", PNG_COLOR_TYPE_GRAY, 1, false },
        { "grey 2", PNG_COLOR_TYPE_GRAY, 2, false },
        { "grey 4", PNG_COLOR_TYPE_GRAY, 4, false },
        { "grey 8", PNG_COLOR_TYPE_GRAY, 8, false },
        { "grey 16", PNG_COLOR_TYPE_GRAY, 16, false },
        { "grey and alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false },
        { "grey and alpha 16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false },
        { "palette 1", PNG_COLOR_TYPE_PALETTE, 1, false },
        { "palette 2", PNG_COLOR_TYPE_PALETTE, 2, false },
        { "palette 4", PNG_COLOR_TYPE_PALETTE, 4, false },
        { "palette 8", PNG_COLOR_TYPE_PALETTE, 8, false },
        { "RGB 8", PNG_COLOR_TYPE_RGB, 8, false },
        { "RGB 16", PNG_COLOR_TYPE_RGB, 16, false },
        { "RGBA 8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false },
        { "RGBA 16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false },
        { "interlaced grey 1", PNG_COLOR_TYPE_GRAY, 1, true },
        { "interlaced grey 16", PNG_COLOR_TYPE_GRAY, 16, true },
        { "interlaced palette 4", PNG_COLOR_TYPE_PALETTE, 4, true },
        { "interlaced RGB 8", PNG_COLOR_TYPE_RGB, 8, true },
        { "interlaced RGBA 16", PNG_COLOR_TYPE_RGB_ALPHA, 16, true },
        { "interlaced RGB 8, 5 x 3", PNG_COLOR_TYPE_RGB, 8, true, 5, 3 },
    };
    // A palette of distinct colours, up to 200 entries as the depth allows.
    std::vector<png_color> palette(200);
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = { png_byte(i * 37), png_byte(255 - i), png_byte(i * 11 + 5) };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool indexed = c.colorType == PNG_COLOR_TYPE_PALETTE;
        const unsigned top = indexed ? std::min(1u << c.bits, 200u) : 1u << c.bits;
        const auto withPalette = [&palette, top](png_structp png, png_infop info) {
            png_set_PLTE(png, info, palette.data(), int(top));
        };
        const auto value = [&](png_uint_32 x, png_uint_32 y, int s) {
            return ((x * 1777 + y * 313 + unsigned(s) * 20011) ^ (x * y)) % top;
        };
        const std::string bytes = written(
            c.width, c.height, c.colorType, c.bits, c.interlaced, value,
            indexed ? std::function<void(png_structp, png_infop)>(withPalette)
                    : [](png_structp, png_infop) {});
        ByteSource wholeSource(bytes);
        Progress unwatched;
        const auto whole
            = readPngForDisplay(wholeSource, int(std::max(c.width, c.height)), unwatched);
        ASSERT_TRUE(whole) << whole.error().message;
        const std::vector<Rect> regions = check::edgeRegions(int(c.width), int(c.height));
        std::vector<std::vector<Rect>> requests { regions };
        for (const Rect& r : regions)
            requests.push_back({ r });
        for (const std::vector<Rect>& request : requests) {
            SCOPED_TRACE(std::to_string(request.size()) + " rectangles from "
                + std::to_string(request[0].Left) + "," + std::to_string(request[0].Top));
            ByteSource source(bytes);
            check::RegionPixels sink(request);
            const auto read = readPngRegions(source, request, sink, unwatched);
            ASSERT_TRUE(read) << read.error().message;
            EXPECT_EQ(sink.disagreement(read, whole), "");
        }
    }
}

} // namespace
