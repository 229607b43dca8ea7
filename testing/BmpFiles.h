// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Bitmap files made in memory for the reader's tests: single hostile fields, and large
// pictures of every encoding with random content.
#include "common/Color.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace bmptest {

using probnik::blue;
using probnik::Color;
using probnik::green;
using probnik::red;

inline void put16(std::string& s, std::uint32_t v)
{
    s += char(v & 255);
    s += char(v >> 8 & 255);
}

inline void put32(std::string& s, std::uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A bitmap file assembled field by field, so that single fields can be made hostile.
struct BmpFile {
    std::uint32_t headerSize = 40;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> masks; // after a 40-byte header, inside longer ones
    std::vector<Color> palette;
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(16, 0x40);
    std::optional<std::uint32_t> dataOffset; // default: right after the palette

    std::string bytes() const
    {
        std::string h;
        put32(h, headerSize);
        if (headerSize == 12) {
            put16(h, std::uint32_t(width));
            put16(h, std::uint32_t(height));
            put16(h, planes);
            put16(h, bitCount);
        } else {
            put32(h, std::uint32_t(width));
            put32(h, std::uint32_t(height));
            put16(h, planes);
            put16(h, bitCount);
            put32(h, compression);
            put32(h, std::uint32_t(data.size()));
            put32(h, 2835);
            put32(h, 2835);
            put32(h, colorsUsed);
            put32(h, 0);
        }
        for (std::uint32_t m : masks)
            put32(h, m);
        if (headerSize > 40 && headerSize <= 124)
            h.resize(std::max<std::size_t>(h.size(), headerSize), '\0');
        for (Color c : palette) {
            h += char(blue(c));
            h += char(green(c));
            h += char(red(c));
            if (headerSize != 12)
                h += '\0';
        }
        std::string file = "BM";
        put32(file, std::uint32_t(14 + h.size() + data.size()));
        put32(file, 0);
        put32(file, dataOffset.value_or(std::uint32_t(14 + h.size())));
        return file + h + std::string(data.begin(), data.end());
    }
};

// Random stored rows of an uncompressed picture: every byte pattern is some pixel.
inline std::vector<std::uint8_t> randomRows(std::size_t bytes, std::mt19937& random)
{
    std::vector<std::uint8_t> data(bytes);
    for (auto& b : data)
        b = std::uint8_t(random());
    return data;
}

// Random run-length data for a width x height picture (RLE8, or RLE4 when `nibbles`) that
// uses every code: runs and literals (some reaching past the row's end, literals of odd
// lengths padded), moves right and down, rows ended early, and an end-of-bitmap code.
inline std::vector<std::uint8_t> randomRunLength(
    int width, int height, bool nibbles, std::mt19937& random)
{
    std::vector<std::uint8_t> d;
    const auto pick
        = [&](int from, int to) { return int(random() % unsigned(to - from + 1)) + from; };
    int y = 0;
    while (y < height) {
        int x = 0;
        bool rowDone = false;
        while (!rowDone && x < width + 8) {
            const int op = pick(0, 99);
            if (op < 45) { // a run
                const int n = pick(1, 255);
                d.push_back(std::uint8_t(n));
                d.push_back(std::uint8_t(random()));
                x += n;
            } else if (op < 90) { // literal indices
                const int n = pick(3, 255);
                d.push_back(0);
                d.push_back(std::uint8_t(n));
                const int stored = nibbles ? (n + 1) / 2 : n;
                for (int i = 0; i < stored; ++i)
                    d.push_back(std::uint8_t(random()));
                if (stored % 2)
                    d.push_back(0);
                x += n;
            } else if (op < 95) { // a move
                const int down = pick(0, 2);
                d.insert(d.end(), { 0, 2, std::uint8_t(pick(0, 40)), std::uint8_t(down) });
                y += down;
                rowDone = y >= height;
            } else if (op < 97) { // the row ends early
                rowDone = true;
            }
        }
        d.insert(d.end(), { 0, 0 });
        ++y;
    }
    d.insert(d.end(), { 0, 1 });
    return d;
}

} // namespace bmptest
