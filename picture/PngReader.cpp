// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/PngReader.h"

#include "picture/ByteSource.h"
#include "picture/RegionRows.h"
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

// libpng's state for reading one file, with the reader's limits and callbacks.
class PngFile {
public:
    explicit PngFile(Reading& reading)
        : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning))
    {
        if (!png)
            return;
        info = png_create_info_struct(png);
        if (!info)
            return;
        png_set_read_fn(png, &reading, readBytes);
        png_set_user_limits(png, 1000000, 1000000);
        png_set_chunk_malloc_max(png, MaxChunkMemory);
        png_set_chunk_cache_max(png, 128);
        // Ancillary chunks are passed over unread, except those that say how to take the
        // colours.
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        static const png_byte colourChunks[] = "iCCP\0sRGB\0cHRM\0gAMA";
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, colourChunks, 4);
        png_set_read_user_transform_fn(png, onRow);
    }
    ~PngFile() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    PngFile(const PngFile&) = delete;
    PngFile& operator=(const PngFile&) = delete;

    bool created() const { return png && info; }

    // Reads the header: its sizes, how the stored samples become colours, and the rows of each
    // interlace pass, which the reading is told of. False when the file is not one read.
    bool begin(Reading& reading)
    {
        if (!readHeader(png, info, header, format))
            return false;
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
            return false;
        }
        passCount = 1;
        if (header.interlace == PNG_INTERLACE_ADAM7) {
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
        return true;
    }

    // The stored bits a channel as the display tells them, whether they are grey, and whether
    // the values are kept at 16 bits.
    int bits() const { return header.colorType == PNG_COLOR_TYPE_PALETTE ? 8 : header.bitDepth; }
    bool grey() const { return (header.colorType & PNG_COLOR_MASK_COLOR) == 0; }
    bool deep() const { return header.bitDepth > 8; }

    png_structp png = nullptr;
    png_infop info = nullptr;
    Header header;
    StoredSamples format;
    Pass passes[7];
    int passCount = 0;
};

// Pixel `index` of a row (of a pass) as three values at the depth handed over.
void pixelValues(const StoredSamples& format, bool deep, const std::uint8_t* row,
    std::uint64_t index, std::uint16_t* out)
{
    if (deep) {
        format.pixel16(row, index, out);
        return;
    }
    const Color c = format.pixel(row, index);
    out[0] = std::uint16_t(red(c));
    out[1] = std::uint16_t(green(c));
    out[2] = std::uint16_t(blue(c));
}

// Stored columns left to right of a row holding every pixel, as three values each.
void rowValues(const StoredSamples& format, bool deep, const std::uint8_t* row, int left, int right,
    std::uint16_t* out)
{
    if (!deep && format.bits == 8 && format.kind != StoredSamples::Palette) {
        // The common layouts, without the general path's choices at every sample.
        const auto channels = std::size_t(format.channels);
        const std::uint8_t* p = row + std::size_t(left) * channels;
        const auto count = std::size_t(right - left);
        if (format.kind == StoredSamples::Rgb && channels == 3) {
            std::copy(p, p + 3 * count, out);
        } else if (format.kind == StoredSamples::Rgb) {
            for (std::size_t x = 0; x < count; ++x, p += channels) {
                out[3 * x] = p[0];
                out[3 * x + 1] = p[1];
                out[3 * x + 2] = p[2];
            }
        } else {
            for (std::size_t x = 0; x < count; ++x, p += channels)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = p[0];
        }
        return;
    }
    for (int x = left; x < right; ++x, out += 3)
        pixelValues(format, deep, row, std::uint64_t(x), out);
}

// Reads the rows (of each pass) up to the last one a rectangle needs and hands the
// rectangles' pixels to the sink: a row of every pixel as runs of each rectangle's width, a
// row of a pass that holds every few columns as runs of one pixel, those in the rectangles.
// `values` holds three values for each column the rectangles span.
bool readRegionRows(PngFile& file, RegionRows& regions, std::uint8_t* row, std::uint16_t* values,
    PixelSink& sink, Reading& reading)
{
    if (setjmp(png_jmpbuf(file.png)))
        return false;
    const int last = regions.lastRow();
    const int left = regions.firstColumn(), right = regions.lastColumn();
    const bool deep = file.deep();
    // Every pass but the last is read whole, as the next one follows it in the data; the last
    // one up to the rectangles' last row.
    double total = 0;
    for (int p = 0; p < file.passCount; ++p) {
        const Pass& pass = file.passes[p];
        const int needed = std::max(last - pass.startRow + (1 << pass.rowShift) - 1, 0);
        total += p + 1 < file.passCount
            ? double(pass.rows)
            : double(std::min(pass.rows, png_uint_32(needed) >> pass.rowShift));
    }
    double done = 0;
    for (int p = 0; p < file.passCount; ++p) {
        const Pass& pass = file.passes[p];
        const int step = 1 << pass.columnShift;
        for (png_uint_32 r = 0; r < pass.rows; ++r, ++done) {
            const int y = pass.startRow + int(r << pass.rowShift);
            if (y >= last && p + 1 == file.passCount)
                return true;
            reading.share = total > 0 ? done / total : 0;
            if (!reading.progress.advance(reading.share))
                return false;
            const std::vector<std::size_t>* crossing = y < last ? &regions.crossing(y) : nullptr;
            if (!crossing || crossing->empty()) {
                png_read_row(file.png, nullptr, nullptr);
                continue;
            }
            png_read_row(file.png, row, nullptr);
            if (step == 1) {
                rowValues(file.format, deep, row, left, right, values);
                for (const std::size_t i : *crossing)
                    sink.run(regions.run(
                        i, y, values + 3 * std::size_t(regions.stored()[i].Left - left)));
                continue;
            }
            for (const std::size_t i : *crossing) {
                // The columns of this pass from the rectangle's first on. The picture is not
                // turned, so its pixel is the stored one.
                const Rect& s = regions.stored()[i];
                int x = s.Left <= pass.startColumn
                    ? pass.startColumn
                    : pass.startColumn + ((s.Left - pass.startColumn + step - 1) & ~(step - 1));
                for (; x < s.Right; x += step) {
                    pixelValues(file.format, deep, row,
                        std::uint64_t(x - pass.startColumn) >> pass.columnShift, values);
                    PixelRun run = regions.run(i, y, values);
                    run.x = x;
                    run.count = 1;
                    sink.run(run);
                }
            }
        }
    }
    return true;
}

} // namespace

Result<DisplayPicture> readPngForDisplay(ByteSource& source, int boxSide, Progress& progress)
{
    Reading reading { source, progress };
    PngFile file(reading);
    if (!file.created())
        return Error { NotValidMessage };
    if (!file.begin(reading))
        return progress.stopped() ? cancelled() : failure(source);
    const Header& header = file.header;
    // libpng has checked the sizes against its limit of 1,000,000 pixels a side, so the row
    // below is at most 8 MB.
    const ShownPixels shown(int(header.width), int(header.height), 1, boxSide);
    Canvas samples = shown.samples();
    const bool deep = file.deep();
    std::vector<std::uint16_t> samples16 = deep ? shown.samples16() : std::vector<std::uint16_t>();
    const auto picture = [&] {
        DisplayPicture p = shown.place(samples, deep && !shown.empty() ? &samples16 : nullptr);
        p.colour = readColour(file.png, file.info);
        p.bits = file.bits();
        p.grey = file.grey();
        return p;
    };
    if (shown.empty())
        return picture();
    std::vector<std::uint8_t> row(png_get_rowbytes(file.png, file.info));
    const bool read = readRows(file.png, file.passes, file.passCount, shown, file.format,
        row.data(), samples, deep ? &samples16 : nullptr, reading);
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
    Reading reading { source, progress };
    PngFile file(reading);
    if (!file.created())
        return Error { NotValidMessage };
    if (!file.begin(reading))
        return progress.stopped() ? cancelled() : failure(source);
    const int width = int(file.header.width), height = int(file.header.height);
    RegionRows rows(regions, width, height);
    FilePixelsInfo info;
    info.width = width;
    info.height = height;
    info.bits = file.bits();
    info.grey = file.grey();
    info.depth = file.deep() ? 16 : 8;
    info.colour = readColour(file.png, file.info);
    sink.begin(info);
    if (rows.empty())
        return info;
    std::vector<std::uint8_t> row(png_get_rowbytes(file.png, file.info));
    std::vector<std::uint16_t> values(3 * std::size_t(rows.lastColumn() - rows.firstColumn()));
    const bool read = readRegionRows(file, rows, row.data(), values.data(), sink, reading);
    if (progress.stopped())
        return cancelled();
    if (reading.beyondRows)
        return Error { NotValidMessage };
    if (!read)
        return failure(source);
    return info;
}

} // namespace probnik
