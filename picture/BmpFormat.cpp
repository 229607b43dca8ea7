// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/BmpFormat.h"

#include <string>
#include <vector>

namespace probnik::bmp {

namespace {

constexpr std::uint32_t CoreHeader = 12; // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr std::uint32_t InfoHeader = 40;
constexpr std::uint32_t Os2Header = 64; // OS/2 2.x: the info fields, then fields we do not need

std::uint32_t le16(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t le32(const std::uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}

} // namespace

Result<Layout> readHeaders(
    Input& in, PixelFormat& format, std::uint64_t maxPixels, ColourSpace* space)
{
    std::array<std::uint8_t, 14> fileHeader {};
    const bool fileHeaderRead = in.read(fileHeader.data(), fileHeader.size());
    if (in.position() >= 2 && (fileHeader[0] != 'B' || fileHeader[1] != 'M'))
        return Error { NotValidMessage };
    if (!fileHeaderRead)
        return Error { ReadErrorMessage };
    Layout layout;
    layout.dataOffset = le32(&fileHeader[10]);

    // Room for the longest header, or a 40-byte one followed by its three masks.
    std::array<std::uint8_t, 124> h {};
    if (!in.read(h.data(), 4))
        return Error { ReadErrorMessage };
    const std::uint32_t headerSize = le32(h.data());
    if (headerSize != CoreHeader && headerSize != InfoHeader && headerSize != 52 && headerSize != 56
        && headerSize != Os2Header && headerSize != 108 && headerSize != 124)
        return Error { NotValidMessage };
    if (!in.read(h.data() + 4, headerSize - 4))
        return Error { ReadErrorMessage };

    if (space && headerSize >= 108) {
        space->present = true;
        space->type = le32(&h[56]);
        for (std::size_t i = 0; i < 9; ++i)
            space->endpoints[i] = std::int32_t(le32(&h[60 + 4 * i]));
        for (std::size_t i = 0; i < 3; ++i)
            space->gammas[i] = le32(&h[96 + 4 * i]);
        if (headerSize == 124) {
            space->v5 = true;
            space->profileData = le32(&h[112]);
            space->profileSize = le32(&h[116]);
        }
    }

    std::int64_t width, height;
    std::uint32_t planes, colorsUsed = 0;
    if (headerSize == CoreHeader) {
        width = le16(&h[4]);
        height = le16(&h[6]);
        planes = le16(&h[8]);
        format.bitCount = int(le16(&h[10]));
    } else {
        width = std::int32_t(le32(&h[4]));
        height = std::int32_t(le32(&h[8]));
        planes = le16(&h[12]);
        format.bitCount = int(le16(&h[14]));
        layout.compression = le32(&h[16]);
        colorsUsed = le32(&h[32]);
    }
    const int bits = format.bitCount;
    const std::uint32_t compression = layout.compression;
    const bool compressionFits = compression == Uncompressed || (compression == Rle8 && bits == 8)
        || (compression == Rle4 && bits == 4)
        || (compression == BitFields && (bits == 16 || bits == 32) && headerSize != Os2Header);
    if (planes != 1
        || !(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)
        || !compressionFits)
        return Error { NotValidMessage };

    layout.topDown = height < 0;
    height = height < 0 ? -height : height;
    // A top-down height of -2^31 has no positive int.
    if (width <= 0 || height <= 0 || height > std::numeric_limits<std::int32_t>::max()
        || std::uint64_t(width) * std::uint64_t(height) > maxPixels)
        return Error { NotValidMessage };
    layout.width = int(width);
    layout.height = int(height);
    layout.rowBytes = (std::uint64_t(width) * std::uint64_t(bits) + 7) / 8;
    layout.stride = (std::uint64_t(width) * std::uint64_t(bits) + 31) / 32 * 4;

    if (compression == BitFields) {
        // Masks follow a 40-byte header; longer headers hold them.
        if (headerSize == InfoHeader && !in.read(h.data() + 40, 12))
            return Error { ReadErrorMessage };
        const std::uint32_t r = le32(&h[40]), g = le32(&h[44]), b = le32(&h[48]);
        if ((r | g | b) == 0)
            return Error { NotValidMessage };
        format.redField = Channel(r);
        format.greenField = Channel(g);
        format.blueField = Channel(b);
    } else if (bits == 16) {
        format.redField = Channel(0x7c00);
        format.greenField = Channel(0x03e0);
        format.blueField = Channel(0x001f);
    } else if (bits > 16) {
        format.redField = Channel(0xff0000);
        format.greenField = Channel(0x00ff00);
        format.blueField = Channel(0x0000ff);
    }
    if (layout.dataOffset < in.position())
        return Error { NotValidMessage };

    if (bits <= 8) {
        if (colorsUsed > 256)
            return Error { NotValidMessage };
        const std::uint32_t entrySize = headerSize == CoreHeader ? 3 : 4;
        // Entries that would overlap the pixel data are not part of the palette.
        const std::uint64_t room = (layout.dataOffset - in.position()) / entrySize;
        const std::uint32_t declared = colorsUsed ? colorsUsed : 1u << bits;
        const auto count = std::size_t(std::min<std::uint64_t>(declared, room));
        // One read for the whole palette: 1 KiB at most.
        std::array<std::uint8_t, 256 * 4> entries {};
        if (!in.read(entries.data(), count * entrySize))
            return Error { ReadErrorMessage };
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* bgr = &entries[i * entrySize];
            format.palette[i] = rgb(bgr[2], bgr[1], bgr[0]);
        }
    }
    return layout;
}

namespace {

ColourDescription describe(Input& in, const ColourSpace& space, const std::string& source)
{
    constexpr std::uint32_t MaxProfile = 64 << 20;
    constexpr std::uint32_t MaxName = 32 * 1024;
    if (!space.present)
        return ColourDescription::none();
    const std::uint64_t at = 14 + std::uint64_t(space.profileData);
    const auto bytesAt = [&](std::uint32_t most) {
        const std::uint64_t room = in.size() - std::min(in.size(), at);
        std::vector<std::uint8_t> bytes(
            std::size_t(std::min<std::uint64_t>({ space.profileSize, most, room })));
        bytes.resize(in.readSomeAt(at, bytes.data(), bytes.size()));
        return bytes;
    };
    switch (space.type) {
    case ColourSpace::Srgb:
    case ColourSpace::Windows:
        return ColourDescription::srgb(source);
    case ColourSpace::Embedded:
        if (space.profileSize > MaxProfile)
            return ColourDescription::none();
        return ColourDescription::embedded(bytesAt(MaxProfile), source);
    case ColourSpace::Linked: {
        const std::vector<std::uint8_t> name = bytesAt(MaxName);
        const auto end = std::find(name.begin(), name.end(), 0);
        return ColourDescription::linked(std::string(name.begin(), end), source);
    }
    case ColourSpace::Calibrated:
        // Writers that know nothing of the colours leave the type 0 and the endpoints empty.
        if (std::all_of(space.endpoints.begin(), space.endpoints.end(),
                [](std::int32_t v) { return v == 0; }))
            return ColourDescription::none();
        return ColourDescription::bmpCalibrated(space.endpoints, space.gammas);
    default:
        return ColourDescription::none();
    }
}

} // namespace

ColourDescription readColourSpace(Input& in, const ColourSpace& space)
{
    const std::string source = space.v5 ? "BMP V5" : "BMP V4";
    ColourDescription d = describe(in, space, source);
    if (d.kind == ColourDescription::Kind::Calibrated)
        d.source = source; // V4 headers have the endpoints too
    return d;
}

bool holdsPixelData(const Input& in, const Layout& layout)
{
    // Below 2^43 for pictures of up to 2^40 pixels: no overflow.
    const std::uint64_t needed = isRle(layout)
        ? std::uint64_t(layout.dataOffset) + 1
        : layout.dataOffset + layout.stride * std::uint64_t(layout.height - 1) + layout.rowBytes;
    return needed <= in.size();
}

} // namespace probnik::bmp
