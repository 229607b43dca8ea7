// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testing/BmpWholeReader.h"

#include "picture/BmpFormat.h"
#include "picture/BmpReader.h"

#include <algorithm>
#include <string>
#include <vector>

namespace probnik {

using namespace bmp;

namespace {

// Larger pictures are refused before anything is allocated: 2^28 pixels is a 1 GiB raster.
constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 28;

// Uncompressed rows, stored one after another from the data offset on.
Result<Canvas> readRows(Input& in, const Layout& layout, const PixelFormat& format)
{
    Canvas picture(layout.width, layout.height);
    std::vector<std::uint8_t> row(std::size_t(layout.rowBytes));
    for (int fileRow = 0; fileRow < layout.height; ++fileRow) {
        if (fileRow > 0 && !in.skip(layout.stride - layout.rowBytes))
            return Error { ReadErrorMessage };
        if (!in.read(row.data(), row.size()))
            return Error { ReadErrorMessage };
        format.decodeRow(row.data(), picture.row(pictureRow(layout, fileRow)), layout.width);
    }
    return picture;
}

// Run-length encoded rows (RLE8, or RLE4 with two pixels a byte). Rows are finished in file
// order and handed to `finishRow(fileRow, pixels)`. Runs that pass the end of the row are cut
// there; data that ends early, or an end-of-bitmap code, leaves the remaining pixels Undefined.
// Every code reads at least two bytes, so the work is bounded by the file and picture size.
template <class RowSink>
void decodeRle(Input& in, const Layout& layout, const PixelFormat& format, RowSink finishRow)
{
    const bool nibbles = layout.compression == Rle4;
    const int width = layout.width;
    std::vector<Color> row(std::size_t(width), Undefined);
    int x = 0, y = 0;
    const auto put = [&](unsigned index) {
        if (x < width)
            row[std::size_t(x++)] = format.palette[index];
    };
    const auto nextRow = [&] {
        finishRow(y++, row.data());
        std::fill(row.begin(), row.end(), Undefined);
    };

    while (y < layout.height) {
        const int count = in.get();
        const int value = in.get();
        if (count < 0 || value < 0)
            break;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            for (int i = 0; i < count && x < width; ++i)
                put(nibbles ? unsigned(i % 2 ? value & 15 : value >> 4) : unsigned(value));
        } else if (value == 0) { // end of row
            nextRow();
            x = 0;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and down
            const int right = in.get();
            const int down = in.get();
            if (right < 0 || down < 0)
                break;
            const int column = std::min(x + right, width);
            for (int i = 0; i < down && y < layout.height; ++i)
                nextRow();
            x = column;
        } else { // `value` indices stored literally, padded to an even number of bytes
            const int bytes = nibbles ? (value + 1) / 2 : value;
            bool complete = true;
            for (int i = 0; i < bytes && complete; ++i) {
                const int c = in.get();
                complete = c >= 0;
                if (complete && nibbles) {
                    put(unsigned(c >> 4));
                    if (2 * i + 1 < value)
                        put(unsigned(c & 15));
                } else if (complete) {
                    put(unsigned(c));
                }
            }
            if (!complete || (bytes % 2 && in.get() < 0))
                break;
        }
    }
    while (y < layout.height)
        nextRow();
}

} // namespace

Result<Canvas> readBmp(ByteSource& in)
{
    Input input(in);
    PixelFormat format;
    auto header = readHeaders(input, format, MaxPixels);
    if (!header)
        return header.error();
    const Layout& layout = header.value();

    // The file must hold the data the header promises before the picture is allocated.
    if (!holdsPixelData(input, layout) || !input.skipTo(layout.dataOffset))
        return Error { ReadErrorMessage };

    if (!isRle(layout))
        return readRows(input, layout, format);
    Canvas picture(layout.width, layout.height, Undefined);
    decodeRle(input, layout, format, [&](int fileRow, const Color* pixels) {
        std::copy_n(pixels, layout.width, picture.row(pictureRow(layout, fileRow)));
    });
    return picture;
}

Result<Canvas> readBmpFile(const std::string& path)
{
    auto opened = ByteSource::open(path);
    if (!opened)
        return opened.error();
    // Read whole into memory first: this reader takes its run-length codes byte by byte.
    ByteSource& file = *opened.value();
    std::string bytes(std::size_t(file.size()), '\0');
    bytes.resize(file.readSome(bytes.data(), bytes.size()));
    return readBmpBytes(bytes);
}

Result<Canvas> readBmpBytes(std::string_view bytes)
{
    ByteSource memory(bytes);
    return readBmp(memory);
}

Result<DisplayPicture> readBmpFileForDisplay(const std::string& path, int boxSide)
{
    auto opened = ByteSource::open(path);
    if (!opened)
        return opened.error();
    Progress unwatched;
    return readBmpForDisplay(*opened.value(), boxSide, unwatched);
}

Result<DisplayPicture> readBmpBytesForDisplay(std::string_view bytes, int boxSide)
{
    ByteSource memory(bytes);
    Progress unwatched;
    return readBmpForDisplay(memory, boxSide, unwatched);
}

} // namespace probnik
