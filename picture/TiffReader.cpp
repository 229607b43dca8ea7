// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/TiffReader.h"

#include "picture/ByteSource.h"
#include "picture/ShownPixels.h"
#include "picture/StoredSamples.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <memory>
#include <vector>

namespace probnik {

namespace {

constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 40;
// The most libtiff or we allocate in one piece: a decoded row or tile, a compressed strip.
constexpr std::uint64_t MaxPiece = std::uint64_t(256) << 20;

// libtiff's messages are dropped: the failure comes back from the call that failed.
int quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing else is called
}

ByteSource& sourceOf(thandle_t handle)
{
    return *static_cast<ByteSource*>(handle);
}
tmsize_t readProc(thandle_t handle, void* to, tmsize_t count)
{
    return count < 0 ? -1 : tmsize_t(sourceOf(handle).read(to, std::size_t(count)));
}
tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return -1;
}
toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    ByteSource& source = sourceOf(handle);
    std::uint64_t position = offset;
    if (whence == SEEK_CUR)
        position += source.position();
    else if (whence == SEEK_END)
        position += source.size();
    return source.seek(position) ? position : toff_t(-1);
}
int closeProc(thandle_t)
{
    return 0;
}
toff_t sizeProc(thandle_t handle)
{
    return sourceOf(handle).size();
}
int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}
void unmapProc(thandle_t, void*, toff_t) { }

struct CloseTiff {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, CloseTiff>;

TIFF* openTiff(ByteSource& source)
{
    // Messages that come before a TIFF exists go to the global handlers.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(MaxPiece));
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    // "m": no memory mapping, every byte is read through the source.
    TIFF* tif = TIFFClientOpenExt("picture", "rm", &source, readProc, writeProc, seekProc,
        closeProc, sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// The stored layout, checked.
struct Layout {
    std::uint32_t width = 0, height = 0;
    bool separate = false; // one plane per sample
    int planes = 1; // planes read: the colour samples when separate
    StoredSamples format;
};

bool readLayout(TIFF* tif, Layout& layout)
{
    std::uint16_t bits = 0, channels = 0, planar = 0, sampleFormat = 0, photometric = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width)
        || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height)
        || !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &channels)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat))
        return false;
    if (layout.width == 0 || layout.height == 0 || layout.width > 0x7FFFFFFF
        || layout.height > 0x7FFFFFFF || std::uint64_t(layout.width) * layout.height > MaxPixels
        || channels == 0 || sampleFormat != SAMPLEFORMAT_UINT)
        return false;
    StoredSamples& format = layout.format;
    format.bits = bits;
    layout.separate = planar == PLANARCONFIG_SEPARATE && channels > 1;
    format.channels = layout.separate ? 1 : channels;
    const bool greyBits = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        format.kind = photometric == PHOTOMETRIC_MINISBLACK ? StoredSamples::Grey
                                                            : StoredSamples::GreyInverted;
        return greyBits;
    case PHOTOMETRIC_RGB:
        format.kind = StoredSamples::Rgb;
        layout.planes = layout.separate ? 3 : 1;
        return channels >= 3 && (bits == 8 || bits == 16);
    case PHOTOMETRIC_PALETTE: {
        format.kind = StoredSamples::Palette;
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (bits > 8 || !greyBits || !TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            return false;
        for (int i = 0; i < 1 << bits; ++i)
            format.palette[std::size_t(i)] = rgb(eightBits(r[i]), eightBits(g[i]), eightBits(b[i]));
        return true;
    }
    default:
        return false;
    }
}

// Where the shown pixels' samples go. With separate planes each plane gives one channel of
// the colour, gathered in `channels` until the last plane is read.
struct Gather {
    const Layout& layout;
    const ShownPixels& shown;
    Canvas& samples;
    std::vector<std::uint8_t> channels;

    // Pixel `x` of `row` of plane `plane` is shown sample (c, r).
    void put(int plane, const std::uint8_t* row, std::uint64_t x, std::size_t c, std::size_t r)
    {
        if (layout.planes == 1) {
            samples.row(int(r))[c] = layout.format.pixel(row, x);
            return;
        }
        const std::size_t at = (r * shown.columns().size() + c) * 3;
        channels[at + std::size_t(plane)] = std::uint8_t(layout.format.value(row, x));
        if (plane == 2)
            samples.row(int(r))[c] = rgb(channels[at], channels[at + 1], channels[at + 2]);
    }
};

// Uncompressed data is read straight from the file, and only the rows shown of each strip or
// tile: libtiff would read each strip or tile whole.
class Uncompressed {
public:
    Uncompressed(TIFF* tif, ByteSource& source)
        : m_source(source)
    {
        std::uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        const bool tiled = TIFFIsTiled(tif);
        m_count = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        m_direct = compression == COMPRESSION_NONE
            && TIFFGetField(tif, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &m_offsets)
            && TIFFGetField(
                tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &m_byteCounts)
            && m_offsets && m_byteCounts;
    }

    bool direct() const { return m_direct; }

    // Reads `size` bytes from `at` on within strip or tile `piece`, which must hold them.
    bool read(std::uint32_t piece, std::uint64_t at, std::uint8_t* to, std::uint64_t size)
    {
        return piece < m_count && at <= m_byteCounts[piece] && size <= m_byteCounts[piece] - at
            && m_offsets[piece] <= std::uint64_t(-1) - m_byteCounts[piece]
            && m_source.seek(m_offsets[piece] + at) && m_source.read(to, std::size_t(size)) == size;
    }

private:
    ByteSource& m_source;
    bool m_direct = false;
    std::uint32_t m_count = 0;
    std::uint64_t* m_offsets = nullptr;
    std::uint64_t* m_byteCounts = nullptr;
};

bool readStrips(TIFF* tif, const Layout& layout, const ShownPixels& shown, Gather& gather,
    Uncompressed& uncompressed)
{
    const std::uint64_t rowBytes = std::uint64_t(TIFFScanlineSize64(tif));
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowBytes == 0 || rowBytes > MaxPiece || rowsPerStrip == 0)
        return false;
    // Compressed rows can only be decoded from the start of their strip, each row after the
    // one before.
    const bool direct = uncompressed.direct();
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    for (int plane = 0; plane < layout.planes; ++plane) {
        std::uint32_t next = 0; // the row after the last one read from the current strip
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto y = std::uint32_t(rows[r]);
            const std::uint32_t stripStart = y / rowsPerStrip * rowsPerStrip;
            if (direct) {
                if (!uncompressed.read(TIFFComputeStrip(tif, y, std::uint16_t(plane)),
                        (y - stripStart) * rowBytes, row.data(), rowBytes))
                    return false;
            } else {
                // Within the strip read last, on from there; else from the strip's start.
                for (std::uint32_t k = std::max(next, stripStart); k <= y; ++k)
                    if (TIFFReadScanline(tif, row.data(), k, std::uint16_t(plane)) < 0)
                        return false;
            }
            next = y + 1;
            for (std::size_t c = 0; c < columns.size(); ++c)
                gather.put(plane, row.data(), std::uint64_t(columns[c]), c, r);
        }
    }
    return true;
}

bool readTiles(TIFF* tif, const Layout& layout, const ShownPixels& shown, Gather& gather,
    Uncompressed& uncompressed)
{
    std::uint32_t tileWidth = 0, tileHeight = 0;
    if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth)
        || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight) || tileWidth == 0 || tileHeight == 0)
        return false;
    const std::uint64_t tileBytes = std::uint64_t(TIFFTileSize64(tif));
    const std::uint64_t tileRowBytes = std::uint64_t(TIFFTileRowSize64(tif));
    if (tileBytes == 0 || tileBytes > MaxPiece || tileRowBytes == 0
        || tileRowBytes * tileHeight > tileBytes)
        return false;
    const bool direct = uncompressed.direct();
    // A whole decoded tile, or one row of an uncompressed one.
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(direct ? tileRowBytes : tileBytes));
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    for (int plane = 0; plane < layout.planes; ++plane)
        for (std::size_t r0 = 0; r0 < rows.size();) {
            // The shown rows [r0, r1) in this row of tiles.
            const std::uint32_t top = std::uint32_t(rows[r0]) / tileHeight * tileHeight;
            std::size_t r1 = r0;
            while (r1 < rows.size() && std::uint32_t(rows[r1]) - top < tileHeight)
                ++r1;
            for (std::size_t c0 = 0; c0 < columns.size();) {
                const std::uint32_t left = std::uint32_t(columns[c0]) / tileWidth * tileWidth;
                std::size_t c1 = c0;
                while (c1 < columns.size() && std::uint32_t(columns[c1]) - left < tileWidth)
                    ++c1;
                const ttile_t index = TIFFComputeTile(tif, left, top, 0, std::uint16_t(plane));
                if (!direct
                    && TIFFReadEncodedTile(tif, index, tile.data(), tmsize_t(tileBytes)) < 0)
                    return false;
                for (std::size_t r = r0; r < r1; ++r) {
                    const std::uint64_t at = (std::uint32_t(rows[r]) - top) * tileRowBytes;
                    if (direct && !uncompressed.read(index, at, tile.data(), tileRowBytes))
                        return false;
                    const std::uint8_t* row = tile.data() + (direct ? 0 : at);
                    for (std::size_t c = c0; c < c1; ++c)
                        gather.put(plane, row, std::uint32_t(columns[c]) - left, c, r);
                }
                c0 = c1;
            }
            r0 = r1;
        }
    return true;
}

} // namespace

Result<DisplayPicture> readTiffForDisplay(ByteSource& source, int boxSide, Progress& /*progress*/)
{
    const Tiff tif(openTiff(source));
    if (!tif)
        return failure(source);
    Layout layout;
    if (!readLayout(tif.get(), layout))
        return failure(source);
    const ShownPixels shown(int(layout.width), int(layout.height), 1, boxSide);
    Canvas samples = shown.samples();
    if (shown.empty())
        return shown.place(samples);
    Gather gather { layout, shown, samples, {} };
    if (layout.planes > 1)
        gather.channels.resize(shown.rows().size() * shown.columns().size() * 3);
    Uncompressed uncompressed(tif.get(), source);
    const bool read = TIFFIsTiled(tif.get())
        ? readTiles(tif.get(), layout, shown, gather, uncompressed)
        : readStrips(tif.get(), layout, shown, gather, uncompressed);
    if (!read)
        return failure(source);
    return shown.place(samples);
}

} // namespace probnik
