// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/BmpReader.h"

#include "picture/BmpFormat.h"
#include "picture/ByteReader.h"

#include "picture/RegionRows.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

namespace probnik {

using namespace bmp;

namespace {

// Display-sized decoding keeps only the box in memory, so it takes far larger pictures than
// a whole-picture decode could. The limit keeps every byte count of the pixel data below
// 2^43, far from overflowing.
constexpr std::uint64_t MaxDisplayPixels = std::uint64_t(1) << 40;
// The most bytes of a row read in one go; wider rows are read in several pieces.
constexpr std::uint64_t MaxChunk = 64 * 1024;
// Consecutive rows read together for a rectangle come in pieces of about this many bytes.
constexpr std::uint64_t BlockBytes = 1 << 18;
// Run-length data reports its progress after about this many bytes.
constexpr std::uint64_t ReportEvery = 1 << 20;

// Nearest-pixel sampling of `size` picture positions by `count` shown ones: shown position i
// takes picture position i * size / count, as stretching does.
struct Sampling {
    std::uint64_t size = 1;
    std::uint64_t count = 0;

    std::uint64_t source(std::uint64_t i) const { return i * size / count; }
    // The first shown position whose picture position is `s` or more; count if none.
    // (floor(i * size / count) >= s exactly when i * size >= s * count.)
    std::uint64_t firstFrom(std::uint64_t s) const { return (s * count + size - 1) / size; }
};

// The display box's rows of an uncompressed picture: each picture row shown is read once,
// in file order, with forward seeks over the rows in between, and only its shown columns are
// converted. A row wider than MaxChunk bytes is read in pieces around the shown columns.
Result<Canvas> readShownRows(Input& in, const Layout& layout, const PixelFormat& format,
    const Sampling& columns, const Sampling& rows, Progress& progress)
{
    const int shownWidth = int(columns.count);
    const int shownHeight = int(rows.count);
    const auto bits = std::uint64_t(format.bitCount);
    Canvas shown(shownWidth, shownHeight);
    // The first bit of each shown column within a row.
    std::vector<std::uint64_t> bitOf(columns.count);
    for (std::size_t i = 0; i < bitOf.size(); ++i)
        bitOf[i] = columns.source(i) * bits;
    // The first byte of shown column i, and the byte just past it.
    const auto startOf = [&](int i) { return bitOf[std::size_t(i)] / 8; };
    const auto endOf = [&](int i) { return (bitOf[std::size_t(i)] + bits + 7) / 8; };
    std::vector<std::uint8_t> chunk;
    std::uint64_t previousRow = UnknownSize;
    int previousJ = 0;
    for (int n = 0; n < shownHeight; ++n) {
        if (!progress.advance(double(n) / shownHeight))
            return cancelled();
        // Bottom-up files store the last picture row first.
        const int j = layout.topDown ? n : shownHeight - 1 - n;
        const std::uint64_t row = rows.source(std::uint64_t(j));
        Color* out = shown.row(j);
        if (row == previousRow) { // an enlarged picture shows a row several times
            std::copy_n(shown.row(previousJ), shownWidth, out);
            continue;
        }
        const std::uint64_t fileRow = layout.topDown ? row : std::uint64_t(layout.height) - 1 - row;
        const std::uint64_t rowStart = layout.dataOffset + fileRow * layout.stride;
        for (int i = 0; i < shownWidth;) {
            const std::uint64_t from = startOf(i);
            // Columns join the piece while it stays small, and always when they share a byte
            // with it, so that the pieces never overlap and reads only move forward.
            int last = i;
            while (last + 1 < shownWidth
                && (endOf(last + 1) - from <= MaxChunk || startOf(last + 1) < endOf(last)))
                ++last;
            chunk.resize(std::size_t(endOf(last) - from));
            if (!in.skipTo(rowStart + from) || !in.read(chunk.data(), chunk.size()))
                return Error { ReadErrorMessage };
            for (; i <= last; ++i) {
                const std::uint64_t bit = bitOf[std::size_t(i)];
                // An enlarged picture shows a column several times: convert it once.
                out[i] = i > 0 && bit == bitOf[std::size_t(i) - 1]
                    ? out[i - 1]
                    : format.pixelAt(chunk.data(), bit - from * 8);
            }
        }
        previousRow = row;
        previousJ = j;
    }
    return shown;
}

// Passes over the runs and literals of a row that is not shown, which move x and change
// nothing else, up to the next other code. Most rows are not shown, so this loop decides the
// speed of a large run-length file: each code's place depends on the code before, so the
// loop is short and has no branch on the kind of code, which would be mispredicted at every
// other code. Codes near the end of the data, which may be cut short, are left to the
// careful loop, and so is what comes at or after the offset `until` once it is reached.
void passRunsAndLiterals(
    ByteReader& bytes, bool nibbles, std::uint64_t width, std::uint64_t& x, std::uint64_t until)
{
    constexpr std::size_t LongestCode = 2 + 256;
    const unsigned shift = nibbles ? 1 : 0;
    for (;;) {
        const std::size_t present = bytes.available(16 * LongestCode);
        if (present < LongestCode)
            return;
        const std::uint8_t* d = bytes.data();
        const std::size_t last = present - LongestCode; // a code starting here still fits
        std::size_t at = 0;
        std::uint64_t pixels = 0;
        while (at <= last) {
            const std::size_t count = d[at];
            const std::size_t value = d[at + 1];
            if (count == 0 && value <= 2) // end of row or bitmap, or a move
                break;
            // All ones for a literal: its indices, padded to whole bytes and an even count.
            const std::size_t literal = 0 - std::size_t(count == 0);
            at += 2 + ((value + 1 + 2 * shift) >> shift & ~std::size_t(1) & literal);
            pixels += count + (value & literal);
        }
        bytes.advance(at);
        // Runs and literals are cut at the row's end; cutting the sum cuts each.
        x += std::min(pixels, width - x);
        if (at <= last || bytes.offset() >= until)
            return;
    }
}

// Hands over a kept row of a run-length walk (its index among the kept rows and its pixels
// at the kept columns); false stops the walk.
using KeptRow = std::function<bool(std::size_t kept, const Color* row)>;

// One pass over run-length data, keeping the pixels of the stored rows `fileRows` (ascending)
// at the picture columns `columns` (ascending). The codes mean what they mean to decodeRle.
// Each kept row goes to `deliver` once, in file order, when the data leaves it; pixels the
// data never sets, in rows it moves past or never reaches, are Undefined. Only one row of the
// kept columns is stored, so a small file that declares a huge picture costs no more memory
// than that, and time in proportion to the file.
std::optional<Error> walkRle(Input& in, const Layout& layout, const PixelFormat& format,
    const std::vector<std::uint64_t>& fileRows, const std::vector<std::uint64_t>& columns,
    const KeptRow& deliver, Progress& progress)
{
    const bool nibbles = layout.compression == Rle4;
    const auto width = std::uint64_t(layout.width);
    const auto height = std::uint64_t(layout.height);
    std::vector<Color> row(columns.size(), Undefined);
    ByteReader bytes([&in](std::uint8_t* to, std::size_t count) { return in.readSome(to, count); });

    std::size_t nextKept = 0; // the first of fileRows not handed over yet
    bool stopped = false;
    std::uint64_t x = 0;
    std::uint64_t y = 0; // the row in file order
    bool kept = false; // y is among fileRows
    // In a kept row: the first kept column whose picture column is x or more.
    std::size_t column = 0;
    const auto handOver = [&] {
        stopped = stopped || !deliver(nextKept, row.data());
        ++nextKept;
    };
    const auto enterRow = [&](std::uint64_t fileRow, std::uint64_t newX) {
        y = fileRow;
        x = newX;
        // Kept rows the data moved past are left as they are, undefined.
        while (nextKept < fileRows.size() && fileRows[nextKept] < y && !stopped)
            handOver();
        kept = nextKept < fileRows.size() && fileRows[nextKept] == y;
        column = kept
            ? std::size_t(std::lower_bound(columns.begin(), columns.end(), x) - columns.begin())
            : 0;
    };
    const auto finishRow = [&] {
        if (!kept)
            return;
        handOver();
        std::fill(row.begin(), row.end(), Undefined);
        kept = false;
    };
    Color* const out = row.data();
    const std::uint64_t* const source = columns.data();
    const std::size_t keptWidth = row.size();
    // Covers the next `count` pixels, cut at the row's end: moves x past them and `column`
    // past the kept columns among them, and returns the first of those.
    const auto cover = [&](std::uint64_t count) {
        count = std::min(count, width - x);
        const std::size_t first = column;
        if (kept)
            while (column < keptWidth && source[column] < x + count)
                ++column;
        x += count;
        return first;
    };

    enterRow(0, 0);
    std::uint64_t nextReport = 0;
    // Nothing after the last kept row is decoded.
    while (y < height && !stopped && nextKept < fileRows.size()) {
        if (bytes.offset() >= nextReport) {
            if (!progress.advance(in.share()))
                return cancelled();
            nextReport = bytes.offset() + ReportEvery;
        }
        if (!kept)
            passRunsAndLiterals(bytes, nibbles, width, x, nextReport);
        if (bytes.available(2) < 2)
            break;
        const unsigned count = bytes.data()[0];
        const unsigned value = bytes.data()[1];
        bytes.advance(2);
        if (count > 0) { // a run of one index, or of two alternating nibbles
            const Color even = format.palette[nibbles ? value >> 4 : value];
            const Color odd = format.palette[nibbles ? value & 15 : value];
            const std::uint64_t start = x;
            for (std::size_t i = cover(count); i < column; ++i)
                out[i] = (source[i] - start) % 2 ? odd : even;
        } else if (value == 0) { // end of row
            finishRow();
            enterRow(y + 1, 0);
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and down
            if (bytes.available(2) < 2)
                break;
            const unsigned right = bytes.data()[0];
            const unsigned down = bytes.data()[1];
            bytes.advance(2);
            if (down > 0)
                finishRow();
            enterRow(y + down, std::min(x + right, width));
        } else { // `value` indices stored literally, padded to an even number of bytes
            const std::size_t stored = nibbles ? (value + 1) / 2 : value;
            const std::size_t padded = stored + stored % 2;
            const std::size_t present = std::min(bytes.available(padded), stored);
            const std::uint8_t* d = bytes.data();
            const std::uint64_t pixels
                = nibbles ? std::min<std::uint64_t>(value, 2 * present) : present;
            const std::uint64_t start = x;
            for (std::size_t i = cover(pixels); i < column; ++i) {
                const std::uint64_t k = source[i] - start;
                out[i] = format.palette[nibbles ? (k % 2 ? d[k / 2] & 15 : d[k / 2] >> 4) : d[k]];
            }
            if (bytes.available(padded) < padded)
                break;
            bytes.advance(padded);
        }
    }
    if (!stopped)
        finishRow();
    // The kept rows the data never reached.
    while (nextKept < fileRows.size() && !stopped)
        handOver();
    if (stopped)
        return cancelled();
    return std::nullopt;
}

// The display box's rows of a run-length picture, in one pass over the data: the result is
// what stretching decodeRle's picture gives.
Result<Canvas> decodeShownRle(Input& in, const Layout& layout, const PixelFormat& format,
    const Sampling& columns, const Sampling& rows, Progress& progress)
{
    Canvas shown(int(columns.count), int(rows.count), Undefined);
    if (shown.isEmpty())
        return shown;
    const auto height = std::uint64_t(layout.height);
    // The picture column of each shown column.
    std::vector<std::uint64_t> sourceColumn(columns.count);
    for (std::size_t i = 0; i < sourceColumn.size(); ++i)
        sourceColumn[i] = columns.source(i);
    // The file rows shown, in file order, each with the shown rows [jFrom, jTo) it fills.
    struct ShownRow {
        std::uint64_t jFrom, jTo;
    };
    std::vector<std::uint64_t> fileRows;
    std::vector<ShownRow> shownRows;
    for (std::uint64_t n = 0; n < rows.count; ++n) {
        const std::uint64_t j = layout.topDown ? n : rows.count - 1 - n;
        const std::uint64_t picture = rows.source(j);
        const std::uint64_t fileRow = layout.topDown ? picture : height - 1 - picture;
        if (!fileRows.empty() && fileRows.back() == fileRow) {
            shownRows.back()
                = { std::min(shownRows.back().jFrom, j), std::max(shownRows.back().jTo, j + 1) };
        } else {
            fileRows.push_back(fileRow);
            shownRows.push_back({ j, j + 1 });
        }
    }
    const auto deliver = [&](std::size_t kept, const Color* row) {
        for (std::uint64_t j = shownRows[kept].jFrom; j < shownRows[kept].jTo; ++j)
            std::copy_n(row, shown.width(), shown.row(int(j)));
        return true;
    };
    if (auto failed = walkRle(in, layout, format, fileRows, sourceColumn, deliver, progress))
        return *failed;
    return shown;
}

// The 8-bit colours of `count` pixels as the values a region hands over.
void putValues(const Color* colours, std::size_t count, std::uint16_t* out)
{
    for (std::size_t i = 0; i < count; ++i, out += 3) {
        out[0] = std::uint16_t(red(colours[i]));
        out[1] = std::uint16_t(green(colours[i]));
        out[2] = std::uint16_t(blue(colours[i]));
    }
}

// Sixteen bytes in a vector register, and taking bytes of one.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));

[[gnu::always_inline]] inline Bytes16 load16(const std::uint8_t* bytes)
{
    Bytes16 v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

// Bytes I0 to I7 of v as eight 16-bit values at out: on a little-endian processor, each byte
// with a zero byte after it, a single byte shuffle.
template <int I0, int I1, int I2, int I3, int I4, int I5, int I6, int I7>
[[gnu::always_inline]] inline void widen8(Bytes16 v, std::uint16_t* out)
{
    constexpr int Z = 16; // the first byte of the zero vector
    const Bytes16 words = __builtin_shufflevector(
        v, Bytes16 {}, I0, Z, I1, Z, I2, Z, I3, Z, I4, Z, I5, Z, I6, Z, I7, Z);
    std::memcpy(out, &words, sizeof words);
}

// `count` pixels of `Step` bytes (3 or 4), blue, green, red (and one unused), as region
// values. Eight pixels at a time are taken by shuffles from three loads of sixteen bytes
// that stay within their 24 or 32 bytes; the compiler does not find this for the reversed
// channels. The pointers do not overlap.
template <std::size_t Step>
[[gnu::always_inline]] inline void bgrValues(
    const std::uint8_t* __restrict bytes, std::size_t count, std::uint16_t* __restrict out)
{
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= count; i += 8, bytes += 8 * Step, out += 24) {
            if constexpr (Step == 3) {
                // Bytes 0-15, 4-19 and 8-23 of the 24.
                widen8<2, 1, 0, 5, 4, 3, 8, 7>(load16(bytes), out);
                widen8<2, 7, 6, 5, 10, 9, 8, 13>(load16(bytes + 4), out + 8);
                widen8<8, 7, 12, 11, 10, 15, 14, 13>(load16(bytes + 8), out + 16);
            } else {
                // Bytes 0-15, 8-23 and 16-31 of the 32.
                widen8<2, 1, 0, 6, 5, 4, 10, 9>(load16(bytes), out);
                widen8<0, 6, 5, 4, 10, 9, 8, 14>(load16(bytes + 8), out + 8);
                widen8<5, 4, 10, 9, 8, 14, 13, 12>(load16(bytes + 16), out + 16);
            }
        }
    }
    for (; i < count; ++i, bytes += Step, out += 3) {
        out[0] = bytes[2];
        out[1] = bytes[1];
        out[2] = bytes[0];
    }
}
[[gnu::target_clones("avx2", "default")]] void bgr24Values(
    const std::uint8_t* bytes, std::size_t count, std::uint16_t* out)
{
    bgrValues<3>(bytes, count, out);
}
[[gnu::target_clones("avx2", "default")]] void bgr32Values(
    const std::uint8_t* bytes, std::size_t count, std::uint16_t* out)
{
    bgrValues<4>(bytes, count, out);
}

// `count` pixels of a stored row from its bit `bit` on, as region values.
void convertPixels(const PixelFormat& format, bool standard, const std::uint8_t* bytes,
    std::uint64_t bit, std::size_t count, std::uint16_t* out)
{
    const int bits = format.bitCount;
    // The common layouts without the general bit-field arithmetic.
    if (standard && bits == 24)
        return bgr24Values(bytes + bit / 8, count, out);
    if (standard && bits == 32)
        return bgr32Values(bytes + bit / 8, count, out);
    if (bits == 8) {
        const std::uint8_t* p = bytes + bit / 8;
        for (std::size_t i = 0; i < count; ++i, out += 3) {
            const Color c = format.palette[p[i]];
            out[0] = std::uint16_t(red(c));
            out[1] = std::uint16_t(green(c));
            out[2] = std::uint16_t(blue(c));
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i, bit += std::uint64_t(bits)) {
        const Color c = format.pixelAt(bytes, bit);
        putValues(&c, 1, out + 3 * i);
    }
}

// The rectangles' rows of an uncompressed picture, each read where it lies: of each row only
// the spans of columns the rectangles crossing it cover. Where those spans hold most of the
// row, consecutive rows with the same rectangles are read together, about BlockBytes at a
// time, so that a large rectangle costs few system calls.
std::optional<Error> readRegionRows(Input& in, const Layout& layout, const PixelFormat& format,
    RegionRows& regions, PixelSink& sink, Progress& progress)
{
    const auto bits = std::uint64_t(format.bitCount);
    const bool standard = layout.compression != BitFields;
    const std::uint64_t stride = layout.stride;
    // Spans closer than about 4 KiB are read as one.
    const int gap = int(32768 / bits);
    std::vector<std::uint16_t> values(3 * std::size_t(HandOverPixels));
    // Rows read together, and a span read alone.
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> piece;
    // The spans of the rectangles crossing the rows, with the rectangles each holds, the
    // first byte of each within a row, and how many bytes they have.
    std::vector<std::size_t> spansFor;
    RegionRows::SpanGroups groups;
    const std::vector<Rect>& spans = groups.spans;
    std::vector<std::uint64_t> spanFrom;
    std::uint64_t useful = 0;
    const int first = regions.firstRow();
    const double rowCount = double(regions.lastRow() - first);
    for (int y = first; y < regions.lastRow();) {
        const std::vector<std::size_t>& crossing = regions.crossing(y);
        const int until = regions.sameUntil(y);
        if (crossing.empty()) {
            if (!progress.advance(double(y - first) / rowCount))
                return cancelled();
            y = until;
            continue;
        }
        if (crossing != spansFor) {
            spansFor = crossing;
            groups = regions.groupedSpans(crossing, gap);
            spanFrom.clear();
            useful = 0;
            for (const Rect& span : spans) {
                spanFrom.push_back(std::uint64_t(span.Left) * bits / 8);
                useful += (std::uint64_t(span.Right) * bits + 7) / 8 - spanFrom.back();
            }
        }
        const std::uint64_t from = spanFrom.front();
        const std::uint64_t to = (std::uint64_t(spans.back().Right) * bits + 7) / 8;
        // The bytes between the spans are read along with them when they are fewer than the
        // spans' own: then the whole stretch of rows is one read.
        const bool together = stride - (to - from) + (to - from - useful) <= useful;
        const int block = together
            ? int(std::clamp<std::uint64_t>(BlockBytes / stride, 1, std::uint64_t(until - y)))
            : 1;
        if (together) {
            const std::uint64_t rowStart = layout.dataOffset + std::uint64_t(y) * stride;
            // Row r of the block begins at bytes[r * stride]; its bytes before `from` and
            // after `to` are not read, nor those of the last row's padding.
            const std::uint64_t size = std::uint64_t(block - 1) * stride + (to - from);
            bytes.resize(std::size_t(from + size));
            if (in.readSomeAt(rowStart + from, bytes.data() + from, std::size_t(size)) != size)
                return Error { ReadErrorMessage };
        }
        for (int r = 0; r < block; ++r, ++y) {
            if (!progress.advance(double(y - first) / rowCount))
                return cancelled();
            for (std::size_t i = 0; i < spans.size(); ++i) {
                const Rect& span = spans[i];
                const std::uint64_t at = spanFrom[i];
                const std::uint8_t* data = nullptr;
                if (together) {
                    data = bytes.data() + std::size_t(std::uint64_t(r) * stride + at);
                } else {
                    const std::uint64_t end = (std::uint64_t(span.Right) * bits + 7) / 8;
                    piece.resize(std::size_t(end - at));
                    if (in.readSomeAt(layout.dataOffset + std::uint64_t(y) * stride + at,
                            piece.data(), piece.size())
                        != piece.size())
                        return Error { ReadErrorMessage };
                    data = piece.data();
                }
                handOverSpan(regions, sink, y, span, groups.regions[i], values.data(),
                    [&](int x, std::size_t count, std::uint16_t* out) {
                        convertPixels(
                            format, standard, data, std::uint64_t(x) * bits - at * 8, count, out);
                    });
            }
        }
    }
    return std::nullopt;
}

// The rectangles' rows of a run-length picture, in one pass over the data up to the last of
// them: one row of the rectangles' columns is kept.
std::optional<Error> readRegionRle(Input& in, const Layout& layout, const PixelFormat& format,
    RegionRows& regions, PixelSink& sink, Progress& progress)
{
    // The rows and the columns the rectangles hold, ascending, from their joined spans: a
    // file that declares a huge picture costs nothing between rectangles far apart.
    std::vector<std::pair<int, int>> bands;
    for (const Rect& s : regions.stored())
        if (!s.isEmpty())
            bands.emplace_back(s.Top, s.Bottom);
    std::sort(bands.begin(), bands.end());
    std::vector<std::uint64_t> fileRows;
    for (const auto& [top, bottom] : bands)
        for (auto y = std::max<std::uint64_t>(
                 std::uint64_t(top), fileRows.empty() ? 0 : fileRows.back() + 1);
             y < std::uint64_t(bottom); ++y)
            fileRows.push_back(y);
    const PackedSpans kept(regions.allColumnSpans(1));
    std::vector<std::uint64_t> columns;
    columns.reserve(kept.pixels());
    for (const Rect& span : kept.spans())
        for (int x = span.Left; x < span.Right; ++x)
            columns.push_back(std::uint64_t(x));
    std::vector<std::uint16_t> values(3 * columns.size());
    const double rowCount = double(fileRows.size());
    const auto deliver = [&](std::size_t row, const Color* colours) {
        if (!progress.advance(double(row) / rowCount))
            return false;
        const int y = int(fileRows[row]);
        for (const std::size_t r : regions.crossing(y)) {
            const Rect& s = regions.stored()[r];
            const std::size_t at = kept.indexOf(s.Left);
            putValues(colours + at, std::size_t(s.width()), values.data() + 3 * at);
            sink.run(regions.run(r, y, values.data() + 3 * at));
        }
        return true;
    };
    return walkRle(in, layout, format, fileRows, columns, deliver, progress);
}

} // namespace

Result<DisplayPicture> readBmpForDisplay(ByteSource& source, int boxSide, Progress& progress)
{
    Input input(source);
    PixelFormat format;
    ColourSpace space;
    auto header = readHeaders(input, format, MaxDisplayPixels, &space);
    if (!header)
        return header.error();
    const Layout& layout = header.value();
    if (!holdsPixelData(input, layout))
        return Error { ReadErrorMessage };

    const Size box = fitInBox(layout.width, layout.height, boxSide);
    const Sampling columns { std::uint64_t(layout.width), std::uint64_t(box.width) };
    const Sampling rows { std::uint64_t(layout.height), std::uint64_t(box.height) };
    DisplayPicture picture;
    picture.width = layout.width;
    picture.height = layout.height;
    // The profile is read after the pixels, which come first in the file as writers make it
    // and are read forward only.
    if (box.width > 0 && box.height > 0) {
        if (isRle(layout) && !input.skipTo(layout.dataOffset))
            return Error { ReadErrorMessage };
        auto shown = isRle(layout) ? decodeShownRle(input, layout, format, columns, rows, progress)
                                   : readShownRows(input, layout, format, columns, rows, progress);
        if (!shown)
            return shown.error();
        picture.shown = std::move(shown).value();
    }
    picture.colour = readColourSpace(input, space);
    return picture;
}

Result<FilePixelsInfo> readBmpRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress)
{
    Input input(source);
    PixelFormat format;
    ColourSpace space;
    auto header = readHeaders(input, format, MaxDisplayPixels, &space);
    if (!header)
        return header.error();
    const Layout& layout = header.value();
    if (!holdsPixelData(input, layout))
        return Error { ReadErrorMessage };
    FilePixelsInfo info;
    info.width = layout.width;
    info.height = layout.height;
    // The sink learns the colours before the pixels, so the profile, which writers put after
    // them, is read first.
    info.colour = readColourSpace(input, space);
    sink.begin(info);
    // Stored rows in file order; a bottom-up file stores the picture's last row first.
    RegionRows rows(regions, layout.width, layout.height, layout.topDown ? 1 : 4);
    if (rows.empty())
        return info;
    std::optional<Error> failed;
    if (isRle(layout)) {
        if (!input.moveTo(layout.dataOffset))
            return Error { ReadErrorMessage };
        failed = readRegionRle(input, layout, format, rows, sink, progress);
    } else {
        failed = readRegionRows(input, layout, format, rows, sink, progress);
    }
    if (failed)
        return *failed;
    return info;
}

} // namespace probnik
