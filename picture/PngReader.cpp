// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/PngReader.h"

#include "picture/ByteSource.h"
#include "picture/ShownPixels.h"
#include "picture/StoredSamples.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <optional>
#include <vector>

namespace probnik {

namespace {

// libpng reports errors by calling this, which must not return: back to the setjmp of the
// function that called libpng. Nothing is printed.
[[noreturn]] void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// The largest ICC profile taken; one chunk may take it and its keyword (an ICC profile
// inflated is the largest kept). And the most compressed bytes read once every row is
// complete: the end of the stream needs a few.
constexpr png_uint_32 MaxProfile = 64 << 20;
constexpr png_alloc_size_t MaxChunkMemory = MaxProfile + 4096;
constexpr std::uint64_t MaxTail = 16 * 1024;
// Reading long ancillary data reports progress after about this many bytes.
constexpr std::uint64_t ReportEvery = 1 << 20;

// What libpng's callbacks share with the reader.
struct Reading {
    ByteSource& source;
    Progress& progress;
    double share = 0; // of the rows decoded
    std::uint64_t nextReport = ReportEvery;
    png_uint_32 rowsLeft = 0; // of every pass
    bool rowsComplete = false;
    std::uint64_t tailStart = 0; // bytes read when they were
    bool beyondRows = false; // the compressed data goes on after the last row
};

// libpng warns of data that inflates beyond the last row only once it has inflated all of
// it (a few bytes, as the rest is refused on reading): that picture is not valid either.
void onWarning(png_structp png, png_const_charp message)
{
    if (std::strstr(message, "Too much image data"))
        static_cast<Reading*>(png_get_io_ptr(png))->beyondRows = true;
}

void readBytes(png_structp png, png_bytep to, png_size_t count)
{
    auto& reading = *static_cast<Reading*>(png_get_io_ptr(png));
    ByteSource& source = reading.source;
    if (reading.rowsComplete && source.bytesRead() - reading.tailStart > MaxTail) {
        reading.beyondRows = true;
        png_error(png, "beyond");
    }
    if (source.bytesRead() >= reading.nextReport) {
        reading.nextReport = source.bytesRead() + ReportEvery;
        if (!reading.progress.advance(reading.share))
            png_error(png, "stopped");
    }
    if (source.read(to, count) != count)
        png_error(png, "short");
}

// Called for every row once its bytes are inflated and unfiltered, before libpng goes on to
// the end of the stream: from the last one on, little more may be read.
void onRow(png_structp png, png_row_infop, png_bytep)
{
    auto& reading = *static_cast<Reading*>(png_get_io_ptr(png));
    if (reading.rowsLeft > 0 && --reading.rowsLeft == 0) {
        reading.rowsComplete = true;
        reading.tailStart = reading.source.bytesRead();
    }
}

// What the header says.
struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
};

// The libpng calls stay in these small functions, whose frames hold nothing with a
// destructor, so that the jump back from an error skips no C++ clean-up.
bool readHeader(png_structp png, png_infop info, Header& header, StoredSamples& samples)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    png_get_IHDR(png, info, &header.width, &header.height, &header.bitDepth, &header.colorType,
        &header.interlace, nullptr, nullptr);
    if (header.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) && palette)
            for (int i = 0; i < std::min(count, 256); ++i)
                samples.palette[std::size_t(i)]
                    = rgb(palette[i].red, palette[i].green, palette[i].blue);
    }
    // No transformations, not even the interlace handling: rows (of each pass) come as stored,
    // so that a row costs its inflating and unfiltering only.
    png_read_update_info(png, info);
    return true;
}

// What the colour chunks say, in the order they count: iCCP, sRGB, then cHRM and gAMA.
// (libpng keeps only one of iCCP and sRGB, the first, and checks a profile's header.)
ColourDescription readColour(png_structp png, png_infop info)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile && length > 0
        && length <= MaxProfile)
        return ColourDescription::embedded(
            std::vector<std::uint8_t>(profile, profile + length), "PNG iCCP");
    int intent = 0;
    if (png_get_sRGB(png, info, &intent))
        return ColourDescription::srgb("PNG sRGB");
    std::optional<std::array<std::uint32_t, 8>> chromaticities;
    std::array<png_fixed_point, 8> c {};
    if (png_get_cHRM_fixed(png, info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7])
        && std::all_of(c.begin(), c.end(), [](png_fixed_point v) { return v >= 0; })) {
        chromaticities.emplace();
        std::copy(c.begin(), c.end(), chromaticities->begin());
    }
    std::optional<std::uint32_t> gamma;
    png_fixed_point g = 0;
    if (png_get_gAMA_fixed(png, info, &g) && g > 0)
        gamma = std::uint32_t(g);
    if (!chromaticities && !gamma)
        return ColourDescription::none();
    return ColourDescription::pngChromaticities(chromaticities, gamma);
}

// What one row of the stored picture (or of an interlace pass) is for: the columns it holds
// of the shown ones, as a step through columns().
struct Pass {
    int startRow = 0, rowShift = 0; // picture row of pass row r: startRow + (r << rowShift)
    int startColumn = 0, columnShift = 0;
    png_uint_32 rows = 0;
};

// Every row is read, so that data going on past the last one is found; the rows after the
// last one shown are few, at most those between two shown ones.
bool readRows(png_structp png, const Pass* passes, int passCount, const ShownPixels& shown,
    const StoredSamples& format, std::uint8_t* row, Canvas& samples,
    std::vector<std::uint16_t>* samples16, Reading& reading)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    double total = 0;
    for (int p = 0; p < passCount; ++p)
        total += passes[p].rows;
    double done = 0;
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        std::size_t next = 0; // the first shown row not yet passed
        for (png_uint_32 r = 0; r < pass.rows; ++r, ++done) {
            reading.share = done / total;
            if (!reading.progress.advance(reading.share))
                return false;
            const int y = pass.startRow + int(r << pass.rowShift);
            while (next < rows.size() && rows[next] < y)
                ++next;
            if (next == rows.size() || rows[next] != y) {
                png_read_row(png, nullptr, nullptr);
                continue;
            }
            png_read_row(png, row, nullptr);
            Color* out = samples.row(int(next));
            const int mask = (1 << pass.columnShift) - 1;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const int x = columns[c] - pass.startColumn;
                if (x < 0 || (x & mask) != 0)
                    continue;
                out[c] = format.pixel(row, std::uint64_t(x >> pass.columnShift));
                if (samples16)
                    format.pixel16(row, std::uint64_t(x >> pass.columnShift),
                        samples16->data() + 3 * (next * columns.size() + c));
            }
        }
    }
    return true;
}

} // namespace

Result<DisplayPicture> readPngForDisplay(ByteSource& source, int boxSide, Progress& progress)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return Error { NotValidMessage };
    png_infop info = png_create_info_struct(png);
    struct Destroy {
        png_structp& png;
        png_infop& info;
        ~Destroy() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    } destroy { png, info };
    if (!info)
        return Error { NotValidMessage };
    Reading reading { source, progress };
    png_set_read_fn(png, &reading, readBytes);
    png_set_user_limits(png, 1000000, 1000000);
    png_set_chunk_malloc_max(png, MaxChunkMemory);
    png_set_chunk_cache_max(png, 128);
    // Ancillary chunks are passed over unread, except those that say how to take the colours.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static const png_byte colourChunks[] = "iCCP\0sRGB\0cHRM\0gAMA";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, colourChunks, 4);
    png_set_read_user_transform_fn(png, onRow);

    Header header;
    StoredSamples format;
    if (!readHeader(png, info, header, format))
        return progress.stopped() ? cancelled() : failure(source);
    const bool interlaced = header.interlace == PNG_INTERLACE_ADAM7;
    format.bits = header.bitDepth;
    format.bigEndian = true;
    switch (header.colorType) {
    case PNG_COLOR_TYPE_GRAY:
        format.kind = StoredSamples::Grey;
        format.channels = 1;
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        format.kind = StoredSamples::Grey;
        format.channels = 2;
        break;
    case PNG_COLOR_TYPE_RGB:
        format.kind = StoredSamples::Rgb;
        format.channels = 3;
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        format.kind = StoredSamples::Rgb;
        format.channels = 4;
        break;
    case PNG_COLOR_TYPE_PALETTE:
        format.kind = StoredSamples::Palette;
        format.channels = 1;
        break;
    default:
        return Error { NotValidMessage };
    }
    // libpng has checked the sizes against its limit of 1,000,000 pixels a side, so the row
    // below is at most 8 MB.
    const ShownPixels shown(int(header.width), int(header.height), 1, boxSide);
    Canvas samples = shown.samples();
    const bool deep = header.bitDepth > 8;
    std::vector<std::uint16_t> samples16 = deep ? shown.samples16() : std::vector<std::uint16_t>();
    const auto picture = [&] {
        DisplayPicture p = shown.place(samples, deep && !shown.empty() ? &samples16 : nullptr);
        p.colour = readColour(png, info);
        p.bits = header.colorType == PNG_COLOR_TYPE_PALETTE ? 8 : header.bitDepth;
        p.grey = (header.colorType & PNG_COLOR_MASK_COLOR) == 0;
        return p;
    };
    if (shown.empty())
        return picture();
    std::vector<std::uint8_t> row(png_get_rowbytes(png, info));

    Pass passes[7];
    int passCount = 1;
    if (interlaced) {
        passCount = 0;
        for (int p = 0; p < 7; ++p) {
            const png_uint_32 columns = PNG_PASS_COLS(header.width, p);
            const png_uint_32 rows = PNG_PASS_ROWS(header.height, p);
            if (columns == 0 || rows == 0)
                continue; // libpng skips empty passes
            passes[passCount++] = { PNG_PASS_START_ROW(p), PNG_PASS_ROW_SHIFT(p),
                PNG_PASS_START_COL(p), PNG_PASS_COL_SHIFT(p), rows };
        }
    } else {
        passes[0].rows = header.height;
    }
    for (int p = 0; p < passCount; ++p)
        reading.rowsLeft += passes[p].rows;
    const bool read = readRows(png, passes, passCount, shown, format, row.data(), samples,
        deep ? &samples16 : nullptr, reading);
    if (progress.stopped())
        return cancelled();
    if (reading.beyondRows)
        return Error { NotValidMessage };
    if (!read)
        return failure(source);
    return picture();
}

Result<FilePixelsInfo> readPngRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress)
{
    // Not read yet.
    (void)source;
    (void)regions;
    (void)sink;
    (void)progress;
    return Error { NotValidMessage };
}

} // namespace probnik
