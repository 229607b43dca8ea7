// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/TiffReader.h"

#include "picture/ByteSource.h"
#include "picture/RegionRows.h"
#include "picture/ShownPixels.h"
#include "picture/StoredSamples.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdarg>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace probnik {

namespace {

constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 40;
// The most libtiff or we allocate in one piece: a decoded row, tile or strip, a compressed
// strip or tile, a strip table. A few such pieces live at once, which keeps an open within
// 256 MiB beyond the box whatever the file declares.
constexpr std::uint64_t MaxPiece = std::uint64_t(64) << 20;
// Uncompressed rows read together for a rectangle come in pieces of about this many bytes.
constexpr std::uint64_t BlockBytes = 1 << 18;
// A directory's entries, and the bytes of the tags read other than the strip and tile tables.
constexpr std::uint64_t MaxEntries = 65535;
constexpr std::uint64_t MaxTagBytes = std::uint64_t(16) << 20;
// The largest ICC profile taken; a larger one is not shown to libtiff.
constexpr std::uint64_t MaxProfile = std::uint64_t(64) << 20;

// The tags the picture is decoded from, and its ICC profile, ascending. libtiff is shown only
// these: any other tag (private data, metadata, thumbnails) would be loaded whole when the
// directory is read.
constexpr std::array<std::uint16_t, 36> ReadTags { TIFFTAG_IMAGEWIDTH, TIFFTAG_IMAGELENGTH,
    TIFFTAG_BITSPERSAMPLE, TIFFTAG_COMPRESSION, TIFFTAG_PHOTOMETRIC, TIFFTAG_FILLORDER,
    TIFFTAG_STRIPOFFSETS, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_ROWSPERSTRIP, TIFFTAG_STRIPBYTECOUNTS,
    TIFFTAG_PLANARCONFIG, TIFFTAG_T4OPTIONS, TIFFTAG_T6OPTIONS, TIFFTAG_PREDICTOR, TIFFTAG_COLORMAP,
    TIFFTAG_TILEWIDTH, TIFFTAG_TILELENGTH, TIFFTAG_TILEOFFSETS, TIFFTAG_TILEBYTECOUNTS,
    TIFFTAG_EXTRASAMPLES, TIFFTAG_SAMPLEFORMAT, TIFFTAG_JPEGTABLES, TIFFTAG_JPEGPROC,
    TIFFTAG_JPEGIFOFFSET, TIFFTAG_JPEGIFBYTECOUNT, TIFFTAG_JPEGRESTARTINTERVAL,
    TIFFTAG_JPEGLOSSLESSPREDICTORS, TIFFTAG_JPEGPOINTTRANSFORM, TIFFTAG_JPEGQTABLES,
    TIFFTAG_JPEGDCTABLES, TIFFTAG_JPEGACTABLES, TIFFTAG_YCBCRCOEFFICIENTS, TIFFTAG_YCBCRSUBSAMPLING,
    TIFFTAG_YCBCRPOSITIONING, TIFFTAG_REFERENCEBLACKWHITE, TIFFTAG_ICCPROFILE };
static_assert(std::is_sorted(ReadTags.begin(), ReadTags.end()));

bool isTableTag(unsigned tag)
{
    return tag == TIFFTAG_STRIPOFFSETS || tag == TIFFTAG_STRIPBYTECOUNTS
        || tag == TIFFTAG_TILEOFFSETS || tag == TIFFTAG_TILEBYTECOUNTS;
}

// Bytes of one value of a TIFF field type; 0 for types libtiff does not know.
unsigned typeBytes(unsigned type)
{
    static constexpr std::array<std::uint8_t, 19> Bytes { 0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4,
        0, 0, 8, 8, 8 };
    return type < Bytes.size() ? Bytes[type] : 0;
}

// The first directory as libtiff is to see it: only the read tags, and no directory after it.
// It takes the place of the file's own directory, which is at least as long.
struct Directory {
    std::uint64_t at = 0;
    std::vector<std::uint8_t> bytes;
    std::uint64_t tableEntries = 0; // the most entries a strip or tile table declares
};

bool scanDirectory(ByteSource& source, Directory& directory)
{
    std::array<std::uint8_t, 16> head {};
    if (!source.seek(0) || source.readSome(head.data(), head.size()) < 8 || head[0] != head[1]
        || (head[0] != 'I' && head[0] != 'M'))
        return false;
    const bool bigEndian = head[0] == 'M';
    const auto number = [bigEndian](const std::uint8_t* p, int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= std::uint64_t(p[bigEndian ? bytes - 1 - i : i]) << (8 * i);
        return v;
    };
    const std::uint64_t version = number(&head[2], 2);
    const bool big = version == 43; // BigTIFF: 64-bit counts and offsets
    if (version != 42 && !(big && number(&head[4], 2) == 8))
        return false;
    directory.at = big ? number(&head[8], 8) : number(&head[4], 4);
    const int countBytes = big ? 8 : 2;
    const int valueBytes = big ? 8 : 4;
    const std::size_t entryBytes = big ? 20 : 12;
    std::array<std::uint8_t, 8> countField {};
    if (!source.seek(directory.at)
        || source.read(countField.data(), std::size_t(countBytes)) != std::size_t(countBytes))
        return false;
    const std::uint64_t count = number(countField.data(), countBytes);
    if (count > MaxEntries)
        return false;
    std::vector<std::uint8_t> entries(std::size_t(count) * entryBytes);
    if (source.read(entries.data(), entries.size()) != entries.size())
        return false;
    std::vector<std::uint8_t>& out = directory.bytes;
    out.assign(std::size_t(countBytes), 0);
    std::uint64_t kept = 0, tagBytes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = &entries[i * entryBytes];
        const auto tag = unsigned(number(e, 2));
        const unsigned size = typeBytes(unsigned(number(e + 2, 2)));
        const std::uint64_t values = number(e + 4, valueBytes);
        if (size == 0 || !std::binary_search(ReadTags.begin(), ReadTags.end(), tag))
            continue;
        if (isTableTag(tag)) {
            directory.tableEntries = std::max(directory.tableEntries, values);
        } else if (tag == TIFFTAG_ICCPROFILE) {
            if (values > MaxProfile / size)
                continue;
        } else {
            if (values > MaxTagBytes / size || (tagBytes += values * size) > MaxTagBytes)
                return false;
        }
        out.insert(out.end(), e, e + entryBytes);
        ++kept;
    }
    for (int i = 0; i < countBytes; ++i)
        out[std::size_t(i)] = std::uint8_t(kept >> (8 * (bigEndian ? countBytes - 1 - i : i)));
    out.insert(out.end(), std::size_t(valueBytes), 0); // no next directory
    return source.seek(0); // where libtiff starts
}

// The file as libtiff reads it: the source, with the directory replaced. Each open TIFF has
// its own place in the file, so that several can read one source by turns.
struct Input {
    ByteSource& source;
    const Directory& directory;
    std::uint64_t position = 0;
};

// libtiff's messages are dropped: the failure comes back from the call that failed.
int quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing else is called
}

Input& inputOf(thandle_t handle)
{
    return *static_cast<Input*>(handle);
}
tmsize_t readProc(thandle_t handle, void* to, tmsize_t count)
{
    if (count < 0)
        return -1;
    Input& input = inputOf(handle);
    const std::uint64_t from = input.position;
    if (input.source.position() != from && !input.source.seek(from))
        return -1;
    const std::size_t got = input.source.read(to, std::size_t(count));
    input.position += got;
    const Directory& d = input.directory;
    const std::uint64_t begin = std::max(from, d.at);
    const std::uint64_t end = std::min(from + got, d.at + d.bytes.size());
    if (begin < end)
        std::copy(d.bytes.begin() + std::ptrdiff_t(begin - d.at),
            d.bytes.begin() + std::ptrdiff_t(end - d.at),
            static_cast<std::uint8_t*>(to) + (begin - from));
    return tmsize_t(got);
}
tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return -1;
}
toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    Input& input = inputOf(handle);
    std::uint64_t position = offset;
    if (whence == SEEK_CUR)
        position += input.position;
    else if (whence == SEEK_END)
        position += input.source.size();
    if (!input.source.seek(position))
        return toff_t(-1);
    input.position = position;
    return position;
}
int closeProc(thandle_t)
{
    return 0;
}
toff_t sizeProc(thandle_t handle)
{
    return inputOf(handle).source.size();
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

TIFF* openTiff(Input& input)
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
    // "m": no memory mapping, every byte is read through the source. "O": strip and tile
    // tables are read entry by entry as they are needed, never whole. "c": a single
    // uncompressed strip is not cut into a table of many.
    TIFF* tif = TIFFClientOpenExt("picture", "rmOc", &input, readProc, writeProc, seekProc,
        closeProc, sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// The stored layout, checked.
struct Layout {
    std::uint32_t width = 0, height = 0;
    bool separate = false; // one plane per sample
    int planes = 1; // planes read: the colour samples (and alpha) when separate
    // Decoded by libtiff's RGBA interface (JPEG, YCbCr): its colour conversion is the format's.
    bool rgba = false;
    // Where rows lie in the file as they are to be read: uncompressed, bits in stored order.
    bool direct = false;
    // The index among a pixel's samples of an associated (premultiplied) alpha, else -1.
    int alpha = -1;
    std::uint16_t photometric = 0;
    StoredSamples format;

    // Whether the box is kept at 16 bits too: 16-bit samples or a palette (of 16-bit entries).
    bool deep() const
    {
        return !rgba && (format.bits == 16 || format.kind == StoredSamples::Palette);
    }
    // The stored bits a channel and whether the pixels are grey, as the picture tells them.
    int bits() const { return rgba ? 8 : format.kind == StoredSamples::Palette ? 16 : format.bits; }
    bool grey() const
    {
        return photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    }
};

// The colour samples of the JPEG and YCbCr pictures libtiff converts.
bool convertedKind(std::uint16_t photometric)
{
    return photometric == PHOTOMETRIC_YCBCR || photometric == PHOTOMETRIC_RGB
        || photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
}

bool readLayout(TIFF* tif, Layout& layout)
{
    std::uint16_t bits = 0, channels = 0, planar = 0, sampleFormat = 0, photometric = 0;
    std::uint16_t compression = COMPRESSION_NONE, fillOrder = FILLORDER_MSB2LSB;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width)
        || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height)
        || !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &channels)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression)
        || !TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder))
        return false;
    layout.photometric = photometric;
    if (layout.width == 0 || layout.height == 0 || layout.width > 0x7FFFFFFF
        || layout.height > 0x7FFFFFFF || std::uint64_t(layout.width) * layout.height > MaxPixels
        || channels == 0 || sampleFormat != SAMPLEFORMAT_UINT)
        return false;
    if (compression == COMPRESSION_OJPEG || compression == COMPRESSION_JPEG
        || photometric == PHOTOMETRIC_YCBCR) {
        char message[1024];
        layout.rgba = true;
        return convertedKind(photometric) && TIFFRGBAImageOK(tif, message);
    }
    StoredSamples& format = layout.format;
    format.bits = bits;
    layout.separate = planar == PLANARCONFIG_SEPARATE && channels > 1;
    layout.direct = compression == COMPRESSION_NONE && fillOrder == FILLORDER_MSB2LSB;
    // libtiff hands decoded samples over in the machine's byte order.
    format.bigEndian
        = layout.direct ? TIFFIsBigEndian(tif) != 0 : std::endian::native == std::endian::big;
    format.channels = layout.separate ? 1 : channels;
    std::uint16_t extras = 0;
    std::uint16_t* extra = nullptr;
    const int colours = photometric == PHOTOMETRIC_RGB ? 3 : 1;
    if (photometric != PHOTOMETRIC_PALETTE && channels > colours
        && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &extra) && extras > 0
        && extra[0] == EXTRASAMPLE_ASSOCALPHA)
        layout.alpha = colours;
    if (layout.separate)
        layout.planes = colours + (layout.alpha < 0 ? 0 : 1);
    const bool greyBits = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        format.kind = photometric == PHOTOMETRIC_MINISBLACK ? StoredSamples::Grey
                                                            : StoredSamples::GreyInverted;
        return greyBits;
    case PHOTOMETRIC_RGB:
        format.kind = StoredSamples::Rgb;
        return channels >= 3 && (bits == 8 || bits == 16);
    case PHOTOMETRIC_PALETTE: {
        format.kind = StoredSamples::Palette;
        layout.planes = 1;
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (bits > 8 || !greyBits || !TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            return false;
        for (int i = 0; i < 1 << bits; ++i) {
            format.palette[std::size_t(i)] = rgb(eightBits(r[i]), eightBits(g[i]), eightBits(b[i]));
            format.palette16[std::size_t(i)] = { r[i], g[i], b[i] };
        }
        return true;
    }
    default:
        return false; // CMYK, Lab and the rest
    }
}

// A stored sample of `bits` in 0..255, as StoredSamples scales it.
int eightOf(unsigned v, int bits)
{
    if (bits == 8)
        return int(v);
    if (bits == 16)
        return eightBits(v);
    return int(v * 255 / ((1u << bits) - 1));
}

// A premultiplied colour sample divided by its alpha, rounded: the colour itself, as a
// picture with straight alpha stores it. Nothing is left of a colour under alpha 0.
unsigned unpremultiplied(unsigned v, unsigned alpha, unsigned most)
{
    if (alpha == 0)
        return 0;
    return unsigned(std::min<std::uint64_t>(most, (std::uint64_t(v) * most + alpha / 2) / alpha));
}

// `count` pixels of three 8-bit samples, red, green, blue, as region values; the
// pointers do not overlap, so that the loop is vectorised, with AVX2 where the processor has it.
[[gnu::target_clones("avx2", "default")]] void rgb24Values(
    const std::uint8_t* __restrict bytes, std::size_t count, std::uint16_t* __restrict out)
{
    for (std::size_t i = 0; i < 3 * count; ++i)
        out[i] = bytes[i];
}

// How stored samples become the values shown: the colour, and at 16 bits when the layout is
// deep().
struct Converter {
    const Layout& layout;

    // The R, G, B of stored samples (the colour ones, then the associated alpha if any) at
    // the stored depth, without the alpha; grey as R = G = B, not yet inverted.
    std::array<unsigned, 3> straight(const unsigned* v) const
    {
        const StoredSamples& f = layout.format;
        const int colours = f.kind == StoredSamples::Rgb ? 3 : 1;
        std::array<unsigned, 3> c {};
        for (int i = 0; i < colours; ++i) {
            unsigned s = v[i];
            if (layout.alpha >= 0)
                s = unpremultiplied(s, v[layout.alpha], (1u << f.bits) - 1);
            c[std::size_t(i)] = s;
        }
        if (colours == 1)
            c[1] = c[2] = c[0];
        return c;
    }

    // The pixel of stored samples `v`: its colour, and its 16-bit values to out16 if given.
    void set(const unsigned* v, Color& colour, std::uint16_t* out16) const
    {
        const StoredSamples& f = layout.format;
        const std::array<unsigned, 3> s = straight(v);
        const bool inverted = f.kind == StoredSamples::GreyInverted;
        const auto eight
            = [&](unsigned x) { return inverted ? 255 - eightOf(x, f.bits) : eightOf(x, f.bits); };
        colour = rgb(eight(s[0]), eight(s[1]), eight(s[2]));
        if (!out16)
            return;
        for (std::size_t i = 0; i < 3; ++i)
            out16[i] = std::uint16_t(inverted ? 65535 - s[i] : s[i]);
    }

    // Pixel x of a row holding every sample of each pixel, or of one row a plane.
    void pixel(
        const std::uint8_t* const* rows, std::uint64_t x, Color& colour, std::uint16_t* out16) const
    {
        const StoredSamples& f = layout.format;
        std::array<unsigned, 4> v {};
        if (layout.planes == 1) {
            if (layout.alpha < 0) {
                colour = f.pixel(rows[0], x);
                if (out16)
                    f.pixel16(rows[0], x, out16);
                return;
            }
            const std::uint64_t first = x * unsigned(f.channels);
            for (int i = 0; i <= layout.alpha; ++i)
                v[std::size_t(i)] = f.raw(rows[0], first + unsigned(i));
        } else {
            for (int i = 0; i < layout.planes; ++i)
                v[std::size_t(i)] = f.raw(rows[i], x);
        }
        set(v.data(), colour, out16);
    }

    // Pixels [x, x + count) of the rows as region values: 8-bit colours, or the 16-bit values
    // when deep.
    void values(const std::uint8_t* const* rows, std::uint64_t x, std::size_t count,
        std::uint16_t* out) const
    {
        const StoredSamples& f = layout.format;
        // The common layouts without the general sample arithmetic.
        if (layout.planes == 1 && layout.alpha < 0 && f.kind == StoredSamples::Rgb) {
            const auto channels = std::size_t(f.channels);
            if (f.bits == 8 && channels == 3)
                return rgb24Values(rows[0] + x * channels, count, out);
            if (f.bits == 8) {
                const std::uint8_t* p = rows[0] + x * channels;
                for (std::size_t i = 0; i < count; ++i, p += channels, out += 3) {
                    out[0] = p[0];
                    out[1] = p[1];
                    out[2] = p[2];
                }
                return;
            }
            if (f.bits == 16) {
                for (std::size_t i = 0; i < count; ++i, out += 3)
                    for (unsigned k = 0; k < 3; ++k)
                        out[k] = std::uint16_t(f.raw(rows[0], (x + i) * channels + k));
                return;
            }
        }
        const bool deep = layout.deep();
        for (std::size_t i = 0; i < count; ++i, out += 3) {
            Color c = 0;
            pixel(rows, x + i, c, deep ? out : nullptr);
            if (!deep) {
                out[0] = std::uint16_t(red(c));
                out[1] = std::uint16_t(green(c));
                out[2] = std::uint16_t(blue(c));
            }
        }
    }
};

// Where the shown pixels' samples go. With separate planes each plane gives one sample of
// the pixel, gathered in `raw` until the last plane is read.
struct Gather {
    const Layout& layout;
    const ShownPixels& shown;
    Canvas& samples;
    std::vector<std::uint16_t> raw;

    std::vector<std::uint16_t>* samples16 = nullptr; // when the layout is deep()

    std::uint16_t* at16(std::size_t c, std::size_t r)
    {
        return samples16 ? samples16->data() + 3 * (r * shown.columns().size() + c) : nullptr;
    }

    // Pixel `x` of `row` of plane `plane` is shown sample (c, r).
    void put(int plane, const std::uint8_t* row, std::uint64_t x, std::size_t c, std::size_t r)
    {
        const Converter convert { layout };
        if (layout.planes == 1) {
            convert.pixel(&row, x, samples.row(int(r))[c], at16(c, r));
            return;
        }
        const std::size_t at = (r * shown.columns().size() + c) * 4;
        raw[at + std::size_t(plane)] = std::uint16_t(layout.format.raw(row, x));
        if (plane == layout.planes - 1) {
            std::array<unsigned, 4> v {};
            for (std::size_t i = 0; i < 4; ++i)
                v[i] = raw[at + i];
            convert.set(v.data(), samples.row(int(r))[c], at16(c, r));
        }
    }
};

// Tells how far the read has come, one step per piece decoded, and whether to go on.
class Steps {
public:
    Steps(Progress& progress, double total)
        : m_progress(progress)
        , m_total(std::max(total, 1.0))
    {
    }
    bool next()
    {
        m_done += 1;
        return m_progress.advance(std::min(1.0, m_done / m_total));
    }

private:
    Progress& m_progress;
    double m_total;
    double m_done = 0;
};

// Uncompressed data is read straight from the file, and only the rows shown of each strip or
// tile: libtiff would read each strip or tile whole.
class Uncompressed {
public:
    Uncompressed(TIFF* tif, ByteSource& source)
        : m_tif(tif)
        , m_source(source)
    {
    }

    // Where in the file the `size` bytes from `at` on within strip or tile `piece` lie, if
    // the piece holds them.
    std::optional<std::uint64_t> where(std::uint32_t piece, std::uint64_t at, std::uint64_t size)
    {
        int failed = 0;
        const std::uint64_t offset = TIFFGetStrileOffsetWithErr(m_tif, piece, &failed);
        const std::uint64_t bytes
            = failed ? 0 : TIFFGetStrileByteCountWithErr(m_tif, piece, &failed);
        if (failed || at > bytes || size > bytes - at || offset > std::uint64_t(-1) - bytes)
            return std::nullopt;
        return offset + at;
    }

    // Reads `size` bytes from the file's byte `offset` on.
    bool readAt(std::uint64_t offset, std::uint8_t* to, std::uint64_t size)
    {
        return m_source.seek(offset) && m_source.read(to, std::size_t(size)) == size;
    }

    // Reads `size` bytes from `at` on within strip or tile `piece`, which must hold them.
    bool read(std::uint32_t piece, std::uint64_t at, std::uint8_t* to, std::uint64_t size)
    {
        const std::optional<std::uint64_t> offset = where(piece, at, size);
        return offset && readAt(*offset, to, size);
    }

private:
    TIFF* m_tif;
    ByteSource& m_source;
};

bool readStrips(TIFF* tif, const Layout& layout, const ShownPixels& shown, Gather& gather,
    Uncompressed& uncompressed, Progress& progress)
{
    const std::uint64_t rowBytes = std::uint64_t(TIFFScanlineSize64(tif));
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowBytes == 0 || rowBytes > MaxPiece || rowsPerStrip == 0)
        return false;
    rowsPerStrip = std::min(rowsPerStrip, layout.height);
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    // A compressed strip is decoded row after row from its start (or from the row after the
    // last one read), which is first() of each shown row.
    const auto first = [&](std::uint32_t y, std::uint32_t next) {
        return layout.direct ? y : std::max(next, y / rowsPerStrip * rowsPerStrip);
    };
    double decoded = 0;
    for (std::uint32_t next = 0; const int y : rows) {
        decoded += double(std::uint32_t(y) + 1 - first(std::uint32_t(y), next));
        next = std::uint32_t(y) + 1;
    }
    Steps steps(progress, decoded * layout.planes);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
    for (int plane = 0; plane < layout.planes; ++plane) {
        std::uint32_t next = 0; // the row after the last one read
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto y = std::uint32_t(rows[r]);
            if (layout.direct) {
                if (!steps.next()
                    || !uncompressed.read(TIFFComputeStrip(tif, y, std::uint16_t(plane)),
                        y % rowsPerStrip * rowBytes, row.data(), rowBytes))
                    return false;
            } else {
                for (std::uint32_t k = first(y, next); k <= y; ++k)
                    if (!steps.next()
                        || TIFFReadScanline(tif, row.data(), k, std::uint16_t(plane)) < 0)
                        return false;
            }
            next = y + 1;
            for (std::size_t c = 0; c < columns.size(); ++c)
                gather.put(plane, row.data(), std::uint64_t(columns[c]), c, r);
        }
    }
    return true;
}

// The shown lines [first, end) from `first` on that lie in the band of `size` from `start`.
std::size_t bandEnd(
    const std::vector<int>& lines, std::size_t first, std::uint32_t start, std::uint32_t size)
{
    std::size_t end = first;
    while (end < lines.size() && std::uint32_t(lines[end]) - start < size)
        ++end;
    return end;
}

bool tileSize(TIFF* tif, std::uint32_t& width, std::uint32_t& height)
{
    return TIFFGetField(tif, TIFFTAG_TILEWIDTH, &width)
        && TIFFGetField(tif, TIFFTAG_TILELENGTH, &height) && width > 0 && height > 0;
}

// How many tiles hold shown pixels, of each plane.
double shownTiles(const ShownPixels& shown, std::uint32_t tileWidth, std::uint32_t tileHeight)
{
    const auto count = [](const std::vector<int>& lines, std::uint32_t size) {
        double n = 0;
        for (std::size_t i = 0; i < lines.size();
             i = bandEnd(lines, i, std::uint32_t(lines[i]) / size * size, size))
            ++n;
        return n;
    };
    return count(shown.rows(), tileHeight) * count(shown.columns(), tileWidth);
}

bool readTiles(TIFF* tif, const Layout& layout, const ShownPixels& shown, Gather& gather,
    Uncompressed& uncompressed, Progress& progress)
{
    std::uint32_t tileWidth = 0, tileHeight = 0;
    if (!tileSize(tif, tileWidth, tileHeight))
        return false;
    const std::uint64_t tileBytes = std::uint64_t(TIFFTileSize64(tif));
    const std::uint64_t tileRowBytes = std::uint64_t(TIFFTileRowSize64(tif));
    if (tileBytes == 0 || tileBytes > MaxPiece || tileRowBytes == 0
        || tileRowBytes * tileHeight > tileBytes)
        return false;
    const bool direct = layout.direct;
    Steps steps(progress, shownTiles(shown, tileWidth, tileHeight) * layout.planes);
    // A decoded tile down to its last shown row, or one row of an uncompressed one.
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(direct ? tileRowBytes : tileBytes));
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    for (int plane = 0; plane < layout.planes; ++plane)
        for (std::size_t r0 = 0; r0 < rows.size();) {
            // The shown rows [r0, r1) in this row of tiles.
            const std::uint32_t top = std::uint32_t(rows[r0]) / tileHeight * tileHeight;
            const std::size_t r1 = bandEnd(rows, r0, top, tileHeight);
            // Decoding stops after the last shown row of the tile.
            const std::uint64_t decoded = (std::uint32_t(rows[r1 - 1]) - top + 1) * tileRowBytes;
            for (std::size_t c0 = 0; c0 < columns.size();) {
                const std::uint32_t left = std::uint32_t(columns[c0]) / tileWidth * tileWidth;
                const std::size_t c1 = bandEnd(columns, c0, left, tileWidth);
                const ttile_t index = TIFFComputeTile(tif, left, top, 0, std::uint16_t(plane));
                if (!steps.next()
                    || (!direct
                        && TIFFReadEncodedTile(tif, index, tile.data(), tmsize_t(decoded)) < 0))
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

// The pieces libtiff's RGBA interface decodes: tiles, or bands of a strip's rows as wide as
// the picture.
bool convertedBand(TIFF* tif, const Layout& layout, std::uint32_t& width, std::uint32_t& height)
{
    width = layout.width;
    height = 0;
    if (TIFFIsTiled(tif)
            ? !tileSize(tif, width, height)
            : !TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &height) || height == 0)
        return false;
    height = std::min(height, layout.height);
    width = std::min(width, layout.width);
    return std::uint64_t(width) * height * 4 <= MaxPiece;
}

// The colour of a pixel of libtiff's RGBA interface: any alpha comes premultiplied, and the
// colour is shown without it.
void rgbaValues(std::uint32_t p, std::uint16_t* out)
{
    const unsigned a = TIFFGetA(p);
    out[0] = std::uint16_t(unpremultiplied(TIFFGetR(p), a, 255));
    out[1] = std::uint16_t(unpremultiplied(TIFFGetG(p), a, 255));
    out[2] = std::uint16_t(unpremultiplied(TIFFGetB(p), a, 255));
}

// libtiff's RGBA interface over one picture: a band at a time (a strip's rows or a tile) into
// raster, rows top down as stored, for the region is not turned.
class Converted {
public:
    Converted() = default;
    Converted(const Converted&) = delete;
    Converted& operator=(const Converted&) = delete;
    ~Converted()
    {
        if (m_begun)
            TIFFRGBAImageEnd(&m_image);
    }

    bool begin(TIFF* tif, const Layout& layout)
    {
        char message[1024];
        if (!TIFFRGBAImageBegin(&m_image, tif, 1, message))
            return false;
        m_begun = true;
        m_image.req_orientation = m_image.orientation;
        if (!convertedBand(tif, layout, bandWidth, bandHeight))
            return false;
        raster.assign(std::size_t(bandWidth) * bandHeight, 0);
        return true;
    }

    // The width x height pixels from (left, top) into raster, width a row.
    bool get(std::uint32_t left, std::uint32_t top, std::uint32_t width, std::uint32_t height)
    {
        m_image.row_offset = int(top);
        m_image.col_offset = int(left);
        return TIFFRGBAImageGet(&m_image, raster.data(), width, height) != 0;
    }

    std::uint32_t bandWidth = 0;
    std::uint32_t bandHeight = 0;
    std::vector<std::uint32_t> raster;

private:
    TIFFRGBAImage m_image {};
    bool m_begun = false;
};

// JPEG and YCbCr pictures through libtiff's RGBA interface, which decodes and converts a
// region of strips or tiles: for each strip with shown rows, its rows down to the last shown
// one; for each tile with shown pixels, the tile down to its last shown row.
bool readConverted(
    TIFF* tif, const Layout& layout, const ShownPixels& shown, Canvas& samples, Progress& progress)
{
    Converted image;
    if (!image.begin(tif, layout))
        return false;
    const std::uint32_t bandWidth = image.bandWidth;
    const std::uint32_t bandHeight = image.bandHeight;
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    Steps steps(progress, shownTiles(shown, bandWidth, bandHeight));
    for (std::size_t r0 = 0; r0 < rows.size();) {
        const std::uint32_t top = std::uint32_t(rows[r0]) / bandHeight * bandHeight;
        const std::size_t r1 = bandEnd(rows, r0, top, bandHeight);
        const std::uint32_t height = std::uint32_t(rows[r1 - 1]) - top + 1;
        for (std::size_t c0 = 0; c0 < columns.size();) {
            const std::uint32_t left = std::uint32_t(columns[c0]) / bandWidth * bandWidth;
            const std::size_t c1 = bandEnd(columns, c0, left, bandWidth);
            const std::uint32_t width = std::min(bandWidth, layout.width - left);
            if (!steps.next() || !image.get(left, top, width, height))
                return false;
            for (std::size_t r = r0; r < r1; ++r) {
                const std::uint32_t* row
                    = &image.raster[std::size_t(std::uint32_t(rows[r]) - top) * width];
                for (std::size_t c = c0; c < c1; ++c) {
                    std::array<std::uint16_t, 3> v {};
                    rgbaValues(row[std::uint32_t(columns[c]) - left], v.data());
                    samples.row(int(r))[c] = rgb(v[0], v[1], v[2]);
                }
            }
            c0 = c1;
        }
        r0 = r1;
    }
    return true;
}

// The ICC profile the directory holds, if libtiff took it.
ColourDescription profileOf(TIFF* tif)
{
    std::uint32_t size = 0;
    const void* data = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &data) || !data || size == 0
        || size > MaxProfile)
        return ColourDescription::none();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return ColourDescription::embedded(std::vector<std::uint8_t>(bytes, bytes + size), "TIFF");
}

// A TIFF's first picture, opened and checked: the directory libtiff is shown, the input it
// reads through, and the layout.
struct Opened {
    explicit Opened(ByteSource& s)
        : source(s)
        , input { s, directory }
    {
    }
    ByteSource& source;
    Directory directory;
    Input input;
    Tiff tif;
    Layout layout;
};

Result<std::unique_ptr<Opened>> openPicture(ByteSource& source)
{
    auto opened = std::make_unique<Opened>(source);
    if (!scanDirectory(source, opened->directory))
        return failure(source);
    opened->tif.reset(openTiff(opened->input));
    TIFF* const tif = opened->tif.get();
    if (!tif || !readLayout(tif, opened->layout))
        return failure(source);
    // A table with more entries than the picture has strips or tiles is not a picture's.
    const std::uint64_t pieces
        = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (opened->directory.tableEntries > pieces)
        return Error { NotValidMessage };
    return opened;
}

// Hands over the part of stored row y of rectangle `region` from stored column `from` on,
// `count` pixels, whose values `values` points at.
void handOver(PixelSink& sink, const RegionRows& rows, std::size_t region, int y, int from,
    int count, const std::uint16_t* values)
{
    sink.run(rows.part(region, y, from, count, values));
}

// The share of the rectangles' rows done at stored row y.
double shareAt(const RegionRows& rows, std::int64_t y)
{
    const double done = double(std::max<std::int64_t>(y - rows.firstRow(), 0));
    return std::min(1.0, done / double(rows.lastRow() - rows.firstRow()));
}

// The rows of the rectangles in strips, in file order, each read once: uncompressed ones only
// in the spans of columns the rectangles crossing it cover, compressed ones decoded from
// their strip's start (or the row after the last one decoded). Uncompressed rows whose spans
// hold most of the row and that lie one after another in the file are read together, about
// BlockBytes at a time. Separate planes are decoded by one TIFF each, so that each goes
// through its own strips in order.
bool readRegionStrips(Opened& opened, RegionRows& rows, Uncompressed& uncompressed, PixelSink& sink,
    Progress& progress)
{
    TIFF* const tif = opened.tif.get();
    const Layout& layout = opened.layout;
    const std::uint64_t rowBytes = std::uint64_t(TIFFScanlineSize64(tif));
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowBytes == 0 || rowBytes > MaxPiece || rowsPerStrip == 0)
        return false;
    rowsPerStrip = std::min(rowsPerStrip, layout.height);
    const auto planes = std::size_t(layout.planes);
    std::vector<std::unique_ptr<Input>> inputs;
    std::vector<Tiff> others;
    std::vector<TIFF*> decoders(planes, tif);
    if (!layout.direct)
        for (std::size_t p = 1; p < planes; ++p) {
            inputs.push_back(std::make_unique<Input>(Input { opened.source, opened.directory }));
            others.emplace_back(openTiff(*inputs.back()));
            if (!others.back())
                return false;
            decoders[p] = others.back().get();
        }
    // The rows read, a plane: row r of them from planeRows[p][r * rowBytes] on.
    std::vector<std::vector<std::uint8_t>> planeRows(
        planes, std::vector<std::uint8_t>(std::size_t(rowBytes)));
    std::vector<const std::uint8_t*> planeRow(planes);
    std::vector<std::uint32_t> next(planes, 0); // the row after the last one decoded
    const StoredSamples& f = layout.format;
    const auto pixelBits = std::uint64_t(f.bits) * std::uint64_t(f.channels);
    const int gap = int(std::max<std::uint64_t>(1, 32768 / pixelBits));
    const auto byteFrom = [&](int x) { return std::uint64_t(x) * pixelBits / 8; };
    const auto byteTo = [&](int x) { return (std::uint64_t(x) * pixelBits + 7) / 8; };
    std::vector<std::uint16_t> values(3 * std::size_t(HandOverPixels));
    const Converter convert { layout };
    std::vector<std::size_t> spansFor;
    RegionRows::SpanGroups groups;
    const std::vector<Rect>& spans = groups.spans;
    std::uint64_t useful = 0; // the bytes of the spans in a row
    std::vector<std::uint64_t> offsets; // of the rows read together, at the spans' first byte
    for (int y = rows.firstRow(); y < rows.lastRow();) {
        const std::vector<std::size_t>& crossing = rows.crossing(y);
        const int until = rows.sameUntil(y);
        if (crossing.empty()) {
            if (!progress.advance(shareAt(rows, y)))
                return false;
            y = until;
            continue;
        }
        if (crossing != spansFor) {
            groups = rows.groupedSpans(crossing, gap);
            spansFor = crossing;
            useful = 0;
            for (const Rect& span : spans)
                useful += byteTo(span.Right) - byteFrom(span.Left);
        }
        const std::uint64_t from = byteFrom(spans.front().Left);
        const std::uint64_t to = byteTo(spans.back().Right);
        // The bytes between the spans are read along with them when they are fewer than the
        // spans' own.
        const bool together
            = layout.direct && rowBytes - (to - from) + (to - from - useful) <= useful;
        const auto most
            = int(std::clamp<std::uint64_t>(BlockBytes / rowBytes, 1, std::uint64_t(until - y)));
        int block = 1;
        if (together) {
            // The rows that follow each other in the file, for every plane.
            for (std::size_t p = 0; p < planes; ++p) {
                offsets.clear();
                for (int r = 0; r < (p == 0 ? most : block); ++r) {
                    const auto row = std::uint32_t(y + r);
                    const std::optional<std::uint64_t> at
                        = uncompressed.where(TIFFComputeStrip(tif, row, std::uint16_t(p)),
                            row % rowsPerStrip * rowBytes + from, to - from);
                    if (!at)
                        return false;
                    if (r > 0 && *at != offsets.back() + rowBytes)
                        break;
                    offsets.push_back(*at);
                }
                block = int(offsets.size());
                const std::uint64_t size = std::uint64_t(block - 1) * rowBytes + (to - from);
                std::vector<std::uint8_t>& buffer = planeRows[p];
                buffer.resize(std::max(buffer.size(), std::size_t(from + size)));
                if (!uncompressed.readAt(offsets.front(), buffer.data() + from, size))
                    return false;
            }
        }
        for (int r = 0; r < block; ++r, ++y) {
            if (!progress.advance(shareAt(rows, y)))
                return false;
            const auto row = std::uint32_t(y);
            for (std::size_t p = 0; p < planes; ++p) {
                std::uint8_t* const read = planeRows[p].data();
                planeRow[p] = read + std::size_t(r) * rowBytes;
                if (together)
                    continue;
                if (layout.direct) {
                    const std::uint32_t strip = TIFFComputeStrip(tif, row, std::uint16_t(p));
                    for (const Rect& span : spans) {
                        const std::uint64_t start = byteFrom(span.Left);
                        const std::uint64_t end = byteTo(span.Right);
                        if (!uncompressed.read(strip, row % rowsPerStrip * rowBytes + start,
                                read + start, end - start))
                            return false;
                    }
                    continue;
                }
                for (std::uint32_t k = std::max(next[p], row / rowsPerStrip * rowsPerStrip);
                     k <= row; ++k)
                    if (TIFFReadScanline(decoders[p], read, k, std::uint16_t(p)) < 0)
                        return false;
                next[p] = row + 1;
            }
            for (std::size_t i = 0; i < spans.size(); ++i)
                handOverSpan(rows, sink, y, spans[i], groups.regions[i], values.data(),
                    [&](int x, std::size_t count, std::uint16_t* out) {
                        convert.values(planeRow.data(), std::uint64_t(x), count, out);
                    });
        }
    }
    return true;
}

// A rectangle's part in one strip or tile, in stored coordinates.
struct Part {
    std::size_t region = 0;
    Rect part;
};

// Visits each piece of the grid of pieceWidth x pieceHeight (tiles, or bands of strips as wide
// as the picture) that holds part of a rectangle, in file order, with the parts it holds;
// stops when `visit` answers false.
template <class Visit>
bool forEachPiece(
    const RegionRows& rows, std::uint32_t pieceWidth, std::uint32_t pieceHeight, Visit&& visit)
{
    const std::vector<Rect>& stored = rows.stored();
    const auto width = std::int64_t(pieceWidth);
    const auto height = std::int64_t(pieceHeight);
    std::vector<std::size_t> inBand;
    std::vector<Part> parts;
    for (std::int64_t top = rows.firstRow() / height * height; top < rows.lastRow();
         top += height) {
        const std::int64_t bottom = std::min<std::int64_t>(top + height, rows.lastRow());
        inBand.clear();
        for (std::size_t i = 0; i < stored.size(); ++i)
            if (!stored[i].isEmpty() && stored[i].Top < bottom && stored[i].Bottom > top)
                inBand.push_back(i);
        for (std::int64_t left = rows.firstColumn() / width * width;
             !inBand.empty() && left < rows.lastColumn(); left += width) {
            const std::int64_t right = std::min<std::int64_t>(left + width, rows.lastColumn());
            parts.clear();
            for (const std::size_t i : inBand) {
                const Rect& s = stored[i];
                const Rect c { int(std::max<std::int64_t>(s.Left, left)),
                    int(std::max<std::int64_t>(s.Top, top)),
                    int(std::min<std::int64_t>(s.Right, right)),
                    int(std::min<std::int64_t>(s.Bottom, bottom)) };
                if (!c.isEmpty())
                    parts.push_back({ i, c });
            }
            if (!parts.empty()
                && !visit(std::uint32_t(left), std::uint32_t(top), std::as_const(parts)))
                return false;
        }
    }
    return true;
}

// The last stored row of the parts, exclusive.
int bottomOf(const std::vector<Part>& parts)
{
    int bottom = 0;
    for (const Part& p : parts)
        bottom = std::max(bottom, p.part.Bottom);
    return bottom;
}

// The columns the parts holding stored row y cover, as ascending joined spans.
void spansAt(const std::vector<Part>& parts, int y, std::vector<Rect>& spans)
{
    spans.clear();
    for (const Part& p : parts)
        if (p.part.Top <= y && y < p.part.Bottom)
            spans.push_back({ p.part.Left, 0, p.part.Right, 0 });
    std::sort(
        spans.begin(), spans.end(), [](const Rect& a, const Rect& b) { return a.Left < b.Left; });
    std::size_t kept = 0;
    for (const Rect& s : spans) {
        if (kept > 0 && s.Left <= spans[kept - 1].Right)
            spans[kept - 1].Right = std::max(spans[kept - 1].Right, s.Right);
        else
            spans[kept++] = s;
    }
    spans.resize(kept);
}

// The rectangles' parts in tiles: each tile that holds one is decoded down to its last row
// a rectangle holds (uncompressed, only the bytes of the rectangles' columns are read, row by
// row), one tile a plane at a time.
bool readRegionTiles(Opened& opened, RegionRows& rows, Uncompressed& uncompressed, PixelSink& sink,
    Progress& progress)
{
    TIFF* const tif = opened.tif.get();
    const Layout& layout = opened.layout;
    std::uint32_t tileWidth = 0, tileHeight = 0;
    if (!tileSize(tif, tileWidth, tileHeight))
        return false;
    const std::uint64_t tileBytes = std::uint64_t(TIFFTileSize64(tif));
    const std::uint64_t tileRowBytes = std::uint64_t(TIFFTileRowSize64(tif));
    if (tileBytes == 0 || tileBytes > MaxPiece || tileRowBytes == 0
        || tileRowBytes * tileHeight > tileBytes)
        return false;
    const bool direct = layout.direct;
    const auto planes = std::size_t(layout.planes);
    // A decoded tile down to its last row wanted, or one row of an uncompressed one, a plane.
    std::vector<std::vector<std::uint8_t>> tiles(
        planes, std::vector<std::uint8_t>(std::size_t(direct ? tileRowBytes : tileBytes)));
    std::vector<const std::uint8_t*> planeRow(planes);
    const StoredSamples& f = layout.format;
    const auto pixelBits = std::uint64_t(f.bits) * std::uint64_t(f.channels);
    std::vector<std::uint16_t> values(3 * std::size_t(tileWidth));
    const Converter convert { layout };
    std::vector<Rect> spans;
    return forEachPiece(rows, tileWidth, tileHeight,
        [&](std::uint32_t left, std::uint32_t top, const std::vector<Part>& parts) {
            const int bottom = bottomOf(parts);
            if (!progress.advance(shareAt(rows, top)))
                return false;
            if (!direct)
                for (std::size_t p = 0; p < planes; ++p) {
                    const ttile_t index = TIFFComputeTile(tif, left, top, 0, std::uint16_t(p));
                    const std::uint64_t decoded = std::uint64_t(bottom - int(top)) * tileRowBytes;
                    if (TIFFReadEncodedTile(tif, index, tiles[p].data(), tmsize_t(decoded)) < 0)
                        return false;
                }
            for (int y = int(top); y < bottom; ++y) {
                if (!progress.advance(shareAt(rows, top)))
                    return false;
                spansAt(parts, y, spans);
                if (spans.empty())
                    continue;
                const std::uint64_t at = std::uint64_t(y - int(top)) * tileRowBytes;
                for (std::size_t p = 0; p < planes; ++p) {
                    planeRow[p] = tiles[p].data() + (direct ? 0 : at);
                    if (!direct)
                        continue;
                    const ttile_t index = TIFFComputeTile(tif, left, top, 0, std::uint16_t(p));
                    for (const Rect& span : spans) {
                        const std::uint64_t from
                            = std::uint64_t(span.Left - int(left)) * pixelBits / 8;
                        const std::uint64_t end
                            = (std::uint64_t(span.Right - int(left)) * pixelBits + 7) / 8;
                        if (!uncompressed.read(
                                index, at + from, tiles[p].data() + from, end - from))
                            return false;
                    }
                }
                for (const Rect& span : spans)
                    convert.values(planeRow.data(), std::uint64_t(span.Left - int(left)),
                        std::size_t(span.width()),
                        values.data() + 3 * std::size_t(span.Left - int(left)));
                for (const Part& p : parts)
                    if (p.part.Top <= y && y < p.part.Bottom)
                        handOver(sink, rows, p.region, y, p.part.Left, p.part.width(),
                            values.data() + 3 * std::size_t(p.part.Left - int(left)));
            }
            return true;
        });
}

// JPEG and YCbCr pictures through libtiff's RGBA interface, piece by piece as the display
// reads them: each strip band or tile that holds a rectangle, down to its last row wanted.
bool readRegionConverted(Opened& opened, RegionRows& rows, PixelSink& sink, Progress& progress)
{
    TIFF* const tif = opened.tif.get();
    const Layout& layout = opened.layout;
    Converted image;
    if (!image.begin(tif, layout))
        return false;
    const std::uint32_t bandWidth = image.bandWidth;
    const std::uint32_t bandHeight = image.bandHeight;
    std::vector<std::uint16_t> values(3 * std::size_t(bandWidth));
    return forEachPiece(rows, bandWidth, bandHeight,
        [&](std::uint32_t left, std::uint32_t top, const std::vector<Part>& parts) {
            const int bottom = bottomOf(parts);
            const std::uint32_t width = std::min(bandWidth, layout.width - left);
            if (!progress.advance(shareAt(rows, top))
                || !image.get(left, top, width, std::uint32_t(bottom) - top))
                return false;
            for (int y = int(top); y < bottom; ++y) {
                if (!progress.advance(shareAt(rows, top)))
                    return false;
                const std::uint32_t* row
                    = &image.raster[std::size_t(std::uint32_t(y) - top) * width];
                for (const Part& p : parts) {
                    if (y < p.part.Top || y >= p.part.Bottom)
                        continue;
                    std::uint16_t* out = values.data();
                    for (int x = p.part.Left; x < p.part.Right; ++x, out += 3)
                        rgbaValues(row[std::uint32_t(x) - left], out);
                    handOver(sink, rows, p.region, y, p.part.Left, p.part.width(), values.data());
                }
            }
            return true;
        });
}

} // namespace

Result<DisplayPicture> readTiffForDisplay(ByteSource& source, int boxSide, Progress& progress)
{
    auto opened = openPicture(source);
    if (!opened)
        return opened.error();
    TIFF* const tif = opened.value()->tif.get();
    const Layout& layout = opened.value()->layout;
    const ShownPixels shown(int(layout.width), int(layout.height), 1, boxSide);
    Canvas samples = shown.samples();
    std::vector<std::uint16_t> samples16
        = layout.deep() ? shown.samples16() : std::vector<std::uint16_t>();
    const auto picture = [&] {
        DisplayPicture p
            = shown.place(samples, layout.deep() && !shown.empty() ? &samples16 : nullptr);
        p.colour = profileOf(tif);
        p.bits = layout.bits();
        p.grey = layout.grey();
        return p;
    };
    if (shown.empty())
        return picture();
    Gather gather { layout, shown, samples, {}, layout.deep() ? &samples16 : nullptr };
    if (layout.planes > 1)
        gather.raw.resize(shown.rows().size() * shown.columns().size() * 4);
    Uncompressed uncompressed(tif, source);
    bool read = false;
    if (layout.rgba)
        read = readConverted(tif, layout, shown, samples, progress);
    else if (TIFFIsTiled(tif))
        read = readTiles(tif, layout, shown, gather, uncompressed, progress);
    else
        read = readStrips(tif, layout, shown, gather, uncompressed, progress);
    if (progress.stopped())
        return cancelled();
    if (!read)
        return failure(source);
    return picture();
}

Result<FilePixelsInfo> readTiffRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress)
{
    auto opened = openPicture(source);
    if (!opened)
        return opened.error();
    Opened& o = *opened.value();
    const Layout& layout = o.layout;
    FilePixelsInfo info;
    info.width = int(layout.width);
    info.height = int(layout.height);
    info.bits = layout.bits();
    info.grey = layout.grey();
    info.depth = layout.deep() ? 16 : 8;
    info.colour = profileOf(o.tif.get());
    sink.begin(info);
    RegionRows rows(regions, info.width, info.height);
    if (rows.empty())
        return info;
    Uncompressed uncompressed(o.tif.get(), source);
    bool read = false;
    if (layout.rgba)
        read = readRegionConverted(o, rows, sink, progress);
    else if (TIFFIsTiled(o.tif.get()))
        read = readRegionTiles(o, rows, uncompressed, sink, progress);
    else
        read = readRegionStrips(o, rows, uncompressed, sink, progress);
    if (progress.stopped())
        return cancelled();
    if (!read)
        return failure(source);
    return info;
}

} // namespace probnik
