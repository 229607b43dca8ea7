// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/ByteReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using probnik::ByteReader;

// Whatever the request sizes and however little the input gives at a time, the bytes come
// in order and the offset counts them.
TEST(ByteReader, DeliversTheInputInOrder)
{
    std::vector<std::uint8_t> input(5 * ByteReader::Size + 12345);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = std::uint8_t(i * 7 + i / 251);
    for (const std::size_t chunk : { std::size_t(1), std::size_t(3), std::size_t(29) }) {
        std::size_t at = 0;
        ByteReader bytes([&](std::uint8_t* to, std::size_t count) {
            count = std::min({ count, input.size() - at, chunk * 1000 });
            std::memcpy(to, input.data() + at, count);
            at += count;
            return count;
        });
        std::size_t offset = 0;
        bool same = true;
        for (std::size_t want = 1; offset < input.size();
             want = want % ByteReader::MostWanted + chunk) {
            const std::size_t got = bytes.available(want);
            ASSERT_EQ(got >= want, input.size() - offset >= want);
            const std::size_t take = std::min(got, want);
            same = same && std::memcmp(bytes.data(), input.data() + offset, take) == 0;
            bytes.advance(take);
            offset += take;
            ASSERT_EQ(bytes.offset(), offset);
        }
        EXPECT_TRUE(same) << "chunk " << chunk;
        EXPECT_EQ(bytes.available(1), 0u);
    }
}

} // namespace
