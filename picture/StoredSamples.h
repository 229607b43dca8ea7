// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Color.h"
#include "picture/ShownPixels.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace probnik {

// How a row of stored samples becomes colours, the same for every format: samples of 1, 2, 4,
// 8 or 16 bits, packed from the top bit of each byte; 16-bit samples in either byte order.
// Values below 8 bits are scaled to 0..255 exactly (v * 255 / (2^bits - 1)), 16-bit ones by
// eightBits. Grey gives R = G = B; palette indices are looked up (entries the file does not
// give are black); samples after the colour ones (alpha and others) are ignored.
struct StoredSamples {
    enum Kind { Grey, GreyInverted, Rgb, Palette };
    Kind kind = Grey;
    int bits = 8;
    int channels = 1; // samples a pixel has in the row
    bool bigEndian = false; // of 16-bit samples
    std::array<Color, 256> palette {};
    // The palette at 16 bits, R, G, B, for formats whose entries have them.
    std::array<std::array<std::uint16_t, 3>, 256> palette16 {};

    // Sample `index` of the row, as stored.
    unsigned raw(const std::uint8_t* row, std::uint64_t index) const
    {
        if (bits == 8)
            return row[index];
        if (bits == 16) {
            const std::uint8_t* p = row + 2 * index;
            return bigEndian ? unsigned(p[0]) << 8 | p[1] : unsigned(p[1]) << 8 | p[0];
        }
        const std::uint64_t bit = index * unsigned(bits);
        return unsigned(row[bit / 8] >> (8 - bits - int(bit % 8))) & ((1u << bits) - 1);
    }

    // Sample `index` of the row in 0..255.
    int value(const std::uint8_t* row, std::uint64_t index) const
    {
        const unsigned v = raw(row, index);
        if (bits == 8)
            return int(v);
        if (bits == 16)
            return eightBits(v);
        return int(v * 255 / ((1u << bits) - 1));
    }

    // The colour of pixel x of a row holding every sample of each pixel.
    Color pixel(const std::uint8_t* row, std::uint64_t x) const
    {
        const std::uint64_t first = x * unsigned(channels);
        switch (kind) {
        case Rgb:
            return rgb(value(row, first), value(row, first + 1), value(row, first + 2));
        case Palette:
            return palette[raw(row, first) & 255];
        case GreyInverted: {
            const int v = 255 - value(row, first);
            return rgb(v, v, v);
        }
        case Grey:
            break;
        }
        const int v = value(row, first);
        return rgb(v, v, v);
    }

    // The same pixel at 16 bits, R, G, B, for 16-bit samples or a 16-bit palette.
    void pixel16(const std::uint8_t* row, std::uint64_t x, std::uint16_t* out) const
    {
        const std::uint64_t first = x * unsigned(channels);
        switch (kind) {
        case Rgb:
            for (unsigned i = 0; i < 3; ++i)
                out[i] = std::uint16_t(raw(row, first + i));
            return;
        case Palette: {
            const auto& entry = palette16[raw(row, first) & 255];
            std::copy(entry.begin(), entry.end(), out);
            return;
        }
        case GreyInverted:
        case Grey:
            break;
        }
        const unsigned v = raw(row, first);
        out[0] = out[1] = out[2] = std::uint16_t(kind == GreyInverted ? 65535 - v : v);
    }
};

} // namespace probnik
