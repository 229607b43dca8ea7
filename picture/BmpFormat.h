// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The parts of the BMP format that every way of reading a bitmap shares: the file as bytes,
// the headers, the pixel formats. Used by the display reader and by the whole-picture reader
// of the tests; nothing outside pictures needs it.

#include "common/Color.h"
#include "common/ColourDescription.h"
#include "common/Result.h"
#include "picture/ByteSource.h"
#include "picture/DisplayPicture.h"
#include "picture/ShownPixels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

namespace probnik::bmp {

// What pixels that compressed data never sets look like.
constexpr Color Undefined = Black;

constexpr std::uint64_t UnknownSize = std::numeric_limits<std::uint64_t>::max();

enum Compression : std::uint32_t { Uncompressed = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

// The file as a sequence of bytes, counted from where the picture starts, so the data offset
// of the file header can be reached by skipping forward.
class Input {
public:
    explicit Input(ByteSource& source)
        : m_source(source)
        , m_start(source.position())
        , m_size(source.size() - std::min(source.size(), m_start))
    {
    }

    std::uint64_t position() const { return m_position; }
    // Bytes from the start of the picture to the end of the file.
    std::uint64_t size() const { return m_size; }
    // How far through the file the reading is, 0 to 1.
    double share() const { return m_size == 0 ? 1.0 : double(m_position) / double(m_size); }

    bool read(std::uint8_t* to, std::size_t count) { return readSome(to, count) == count; }

    // Reads up to `count` bytes; fewer only at the end of the file.
    std::size_t readSome(std::uint8_t* to, std::size_t count)
    {
        if (count == 0)
            return 0;
        const std::size_t got = m_source.readSome(to, count);
        m_position += got;
        return got;
    }

    // The next byte, or -1 at the end.
    int get()
    {
        std::uint8_t byte = 0;
        return readSome(&byte, 1) == 1 ? int(byte) : -1;
    }

    // Reads up to `count` bytes from `position` (counted like position()), wherever the
    // reading is; it goes on from after them.
    std::size_t readSomeAt(std::uint64_t position, std::uint8_t* to, std::size_t count)
    {
        if (position > m_size || !m_source.seek(m_start + position))
            return 0;
        m_position = position;
        return readSome(to, std::size_t(std::min<std::uint64_t>(count, m_size - position)));
    }

    bool skip(std::uint64_t count)
    {
        if (count == 0)
            return true;
        if (count > m_size - std::min(m_size, m_position)
            || !m_source.seek(m_start + m_position + count))
            return false;
        m_position += count;
        return true;
    }

    // Moves to `position`, counted like position(), forward or back.
    bool moveTo(std::uint64_t position)
    {
        if (position > m_size || !m_source.seek(m_start + position))
            return false;
        m_position = position;
        return true;
    }

    // Moves forward to `position`, counted like position().
    bool skipTo(std::uint64_t position)
    {
        return position >= m_position && skip(position - m_position);
    }

private:
    ByteSource& m_source;
    std::uint64_t m_start;
    std::uint64_t m_position = 0;
    std::uint64_t m_size;
};

// One colour channel of a direct-colour pixel, brought to 0..255. A field of up to 8 bits is
// multiplied by 256 / (maximum + 1) without filling the low bits, as Qt does, so 5 bits give
// 0..248; a wider field keeps its top 8 bits. A channel with an empty mask is 0.
class Channel {
public:
    Channel() = default;
    explicit Channel(std::uint32_t mask)
        : m_mask(mask)
        , m_shift(mask ? std::countr_zero(mask) : 0)
    {
        const std::uint32_t maximum = mask >> m_shift;
        if (maximum < 256)
            m_factor = 256 / (maximum + 1);
        else
            m_drop = int(std::bit_width(maximum)) - 8;
    }

    std::uint32_t operator()(std::uint32_t pixel) const
    {
        return ((pixel & m_mask) >> m_shift) * m_factor >> m_drop;
    }

private:
    std::uint32_t m_mask = 0;
    int m_shift = 0;
    std::uint32_t m_factor = 1;
    int m_drop = 0;
};

// Everything a stored row needs to become pixels: the same for every row of the picture.
struct PixelFormat {
    int bitCount = 0;
    // Padded with black to 256 entries, so that no index can reach outside it.
    std::array<Color, 256> palette {};
    Channel redField, greenField, blueField;

    // The pixel whose first bit is bit `bit` of `bytes`, counting from the top bit of the
    // first byte, as the rows are stored.
    Color pixelAt(const std::uint8_t* bytes, std::uint64_t bit) const
    {
        const std::uint8_t* p = bytes + bit / 8;
        if (bitCount <= 8) {
            const unsigned mask = (1u << bitCount) - 1;
            return palette[*p >> (8 - bitCount - int(bit % 8)) & mask];
        }
        std::uint32_t pixel = 0;
        for (int i = 0; i < bitCount / 8; ++i)
            pixel |= std::uint32_t(p[i]) << (8 * i);
        return rgb(int(redField(pixel)), int(greenField(pixel)), int(blueField(pixel)));
    }

    // Turns one stored row into `width` pixels.
    void decodeRow(const std::uint8_t* row, Color* out, int width) const
    {
        for (int x = 0; x < width; ++x)
            out[x] = pixelAt(row, std::uint64_t(x) * std::uint64_t(bitCount));
    }
};

// The header fields that decide how the pixels are stored, already checked for sense.
struct Layout {
    std::uint32_t dataOffset = 0;
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint32_t compression = Uncompressed;
    std::uint64_t stride = 0; // bytes of a stored row, with its padding to 4 bytes
    std::uint64_t rowBytes = 0; // bytes of a stored row that hold pixels
};

// What a V4 or V5 header says of the colours, as stored.
struct ColourSpace {
    std::uint32_t type = 0; // bV5CSType; Calibrated without a V4 or V5 header
    std::array<std::int32_t, 9> endpoints {}; // 2.30 fixed point
    std::array<std::uint32_t, 3> gammas {}; // 16.16 fixed point
    // V5: where the profile or the linked file's name lies, from the start of the bitmap
    // header (right after the 14-byte file header), and its size.
    std::uint32_t profileData = 0;
    std::uint32_t profileSize = 0;
    bool present = false; // the header has the fields
    bool v5 = false; // and is a V5 one, else V4

    static constexpr std::uint32_t Calibrated = 0;
    static constexpr std::uint32_t Srgb = 0x73524742; // "sRGB"
    static constexpr std::uint32_t Windows = 0x57696E20; // "Win "
    static constexpr std::uint32_t Embedded = 0x4D424544; // "MBED"
    static constexpr std::uint32_t Linked = 0x4C494E4B; // "LINK"
};

// The description of the colours a header's colour space gives, the profile or the file name
// read from `in` (which is left wherever they lie). A profile is read as far as the file
// holds it, up to 64 MiB; a larger one is not taken.
ColourDescription readColourSpace(Input& in, const ColourSpace& space);

inline bool isRle(const Layout& layout)
{
    return layout.compression == Rle8 || layout.compression == Rle4;
}

// The row of the picture that the stored row `fileRow` becomes.
inline int pictureRow(const Layout& layout, int fileRow)
{
    return layout.topDown ? fileRow : layout.height - 1 - fileRow;
}

// Reads the file header, the bitmap header, the bit-field masks and the palette, leaving the
// input right after them. Pictures of more than `maxPixels` pixels are not valid. Nothing is
// allocated here that the file could make large.
Result<Layout> readHeaders(
    Input& in, PixelFormat& format, std::uint64_t maxPixels, ColourSpace* space = nullptr);

// The file must hold the pixel data the header promises: checked before any of it is read
// or anything is allocated for it.
bool holdsPixelData(const Input& in, const Layout& layout);

} // namespace probnik::bmp
