// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// PNG files that a few megabytes make costly: data that inflates to gigabytes, data going on
// past the last row, a chunk of gigabytes.
#include "picture/PngReader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

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

// An 8-bit grey picture whose image data is `data`.
std::string png(std::uint32_t width, std::uint32_t height, bool interlaced, const std::string& data)
{
    std::string header;
    put32(header, width);
    put32(header, height);
    header += std::string("\x08\x00\x00\x00", 4) + char(interlaced ? 1 : 0);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", data) + chunk("IEND", "");
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

} // namespace
