// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/BmpReader.h"

#include "picture/BmpFormat.h"
#include "picture/ByteReader.h"

#include <algorithm>
#include <cstdint>
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

// The display box's rows of a run-length picture, in one pass over the data. The codes mean
// what they mean to decodeRle, and the result is what stretching its picture gives; but only
// the shown columns of the shown rows are ever stored, so a small file that declares a huge
// picture costs no more memory than the box, and time in proportion to the file.
Result<Canvas> decodeShownRle(Input& in, const Layout& layout, const PixelFormat& format,
    const Sampling& columns, const Sampling& rows, Progress& progress)
{
    Canvas shown(int(columns.count), int(rows.count), Undefined);
    if (shown.isEmpty())
        return shown;
    const bool nibbles = layout.compression == Rle4;
    const auto width = std::uint64_t(layout.width);
    const auto height = std::uint64_t(layout.height);
    std::vector<Color> row(std::size_t(columns.count), Undefined);
    ByteReader bytes([&in](std::uint8_t* to, std::size_t count) { return in.readSome(to, count); });

    // The picture column of each shown column.
    std::vector<std::uint64_t> sourceColumn(columns.count);
    for (std::size_t i = 0; i < sourceColumn.size(); ++i)
        sourceColumn[i] = columns.source(i);
    // The file rows shown, in file order, each with the shown rows [jFrom, jTo) it fills.
    struct ShownRow {
        std::uint64_t fileRow, jFrom, jTo;
    };
    std::vector<ShownRow> shownRows;
    for (std::uint64_t n = 0; n < rows.count; ++n) {
        const std::uint64_t j = layout.topDown ? n : rows.count - 1 - n;
        const std::uint64_t picture = rows.source(j);
        const std::uint64_t fileRow = layout.topDown ? picture : height - 1 - picture;
        if (!shownRows.empty() && shownRows.back().fileRow == fileRow)
            shownRows.back() = { fileRow, std::min(shownRows.back().jFrom, j),
                std::max(shownRows.back().jTo, j + 1) };
        else
            shownRows.push_back({ fileRow, j, j + 1 });
    }
    std::size_t nextShown = 0; // the first of shownRows at or after y

    std::uint64_t x = 0;
    std::uint64_t y = 0; // the row in file order
    // Shown rows [jFrom, jTo) show file row y; none when they are equal.
    std::uint64_t jFrom = 0, jTo = 0;
    // In a shown row: the first shown column whose picture column is x or more.
    std::size_t column = 0;
    const auto enterRow = [&](std::uint64_t fileRow, std::uint64_t newX) {
        y = fileRow;
        x = newX;
        while (nextShown < shownRows.size() && shownRows[nextShown].fileRow < y)
            ++nextShown;
        const bool isShown = nextShown < shownRows.size() && shownRows[nextShown].fileRow == y;
        jFrom = isShown ? shownRows[nextShown].jFrom : 0;
        jTo = isShown ? shownRows[nextShown].jTo : 0;
        column = isShown ? std::size_t(columns.firstFrom(x)) : 0;
    };
    const auto finishRow = [&] {
        if (jFrom == jTo)
            return;
        for (std::uint64_t j = jFrom; j < jTo; ++j)
            std::copy(row.begin(), row.end(), shown.row(int(j)));
        std::fill(row.begin(), row.end(), Undefined);
    };
    Color* const out = row.data();
    const std::uint64_t* const source = sourceColumn.data();
    const std::size_t shownWidth = row.size();
    // Covers the next `count` pixels, cut at the row's end: moves x past them and `column`
    // past the shown columns among them, and returns the first of those.
    const auto cover = [&](std::uint64_t count) {
        count = std::min(count, width - x);
        const std::size_t first = column;
        if (jFrom != jTo)
            while (column < shownWidth && source[column] < x + count)
                ++column;
        x += count;
        return first;
    };

    enterRow(0, 0);
    std::uint64_t nextReport = 0;
    while (y < height) {
        if (bytes.offset() >= nextReport) {
            if (!progress.advance(in.share()))
                return cancelled();
            nextReport = bytes.offset() + ReportEvery;
        }
        if (jFrom == jTo)
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
    if (y < height)
        finishRow();
    return shown;
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
    // Not read yet.
    (void)source;
    (void)regions;
    (void)sink;
    (void)progress;
    return Error { NotValidMessage };
}

} // namespace probnik
