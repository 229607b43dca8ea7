// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/PngReader.h"

#include "picture/ByteSource.h"
#include "picture/ShownPixels.h"
#include "picture/StoredSamples.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

namespace probnik {

namespace {

// libpng reports errors by calling this, which must not return: back to the setjmp of the
// function that called libpng. Nothing is printed.
[[noreturn]] void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) { }

void readBytes(png_structp png, png_bytep to, png_size_t count)
{
    auto* source = static_cast<ByteSource*>(png_get_io_ptr(png));
    if (source->read(to, count) != count)
        png_error(png, "short");
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

// What one row of the stored picture (or of an interlace pass) is for: the columns it holds
// of the shown ones, as a step through columns().
struct Pass {
    int startRow = 0, rowShift = 0; // picture row of pass row r: startRow + (r << rowShift)
    int startColumn = 0, columnShift = 0;
    png_uint_32 rows = 0;
};

bool readRows(png_structp png, const Pass* passes, int passCount, const ShownPixels& shown,
    const StoredSamples& format, std::uint8_t* row, Canvas& samples)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    const int lastRow = rows.back();
    for (int p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        std::size_t next = 0; // the first shown row not yet passed
        for (png_uint_32 r = 0; r < pass.rows; ++r) {
            const int y = pass.startRow + int(r << pass.rowShift);
            if (passCount == 1 && y > lastRow)
                return true; // nothing more is shown
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
                if (x >= 0 && (x & mask) == 0)
                    out[c] = format.pixel(row, std::uint64_t(x >> pass.columnShift));
            }
        }
    }
    return true;
}

} // namespace

Result<DisplayPicture> readPngForDisplay(ByteSource& source, int boxSide, Progress& /*progress*/)
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
    png_set_read_fn(png, &source, readBytes);

    Header header;
    StoredSamples format;
    if (!readHeader(png, info, header, format))
        return failure(source);
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
    if (shown.empty())
        return shown.place(samples);
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
    if (!readRows(png, passes, passCount, shown, format, row.data(), samples))
        return failure(source);
    return shown.place(samples);
}

} // namespace probnik
