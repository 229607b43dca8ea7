#include "picture/RunLengthCodes.h"
#include "picture/ByteReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

using probnik::ByteReader;
using probnik::RunLengthCodes;

// Random codes of every kind; garbage bytes in literals make the guessing walks go astray.
std::vector<std::uint8_t> randomCodes(std::mt19937& random, std::size_t size, bool nibbles)
{
    std::vector<std::uint8_t> d;
    while (d.size() < size) {
        const unsigned kind = random() % 100;
        if (kind < 45) { // run
            d.push_back(std::uint8_t(1 + random() % 255));
            d.push_back(std::uint8_t(random()));
        } else if (kind < 90) { // literal
            const unsigned n = 3 + random() % 253;
            std::size_t bytes = nibbles ? (n + 1) / 2 : n;
            d.push_back(0);
            d.push_back(std::uint8_t(n));
            for (bytes += bytes % 2; bytes > 0; --bytes)
                d.push_back(std::uint8_t(random() % 4 ? random() : 0));
        } else if (kind < 97) {
            d.insert(d.end(), { 0, 0 }); // end of row
        } else if (kind < 99) {
            d.insert(d.end(), { 0, 2, std::uint8_t(random()), std::uint8_t(random() % 3) });
        } else {
            d.insert(d.end(), { 0, 1 });
        }
    }
    d.resize(d.size() + RunLengthCodes::LongestCode, 0);
    return d;
}

TEST(RunLengthCodes, FourWalksFindWhatOneWalkInOrderFinds)
{
    std::mt19937 random(7);
    RunLengthCodes codes;
    for (const bool nibbles : { false, true }) {
        for (const std::size_t size : { 1, 100, 300, 1000, 5000, 70000, 300000 }) {
            SCOPED_TRACE(testing::Message() << "size " << size << " nibbles " << nibbles);
            const auto data = randomCodes(random, size, nibbles);
            const std::size_t last = data.size() - RunLengthCodes::LongestCode;
            std::vector<RunLengthCodes::ControlCode> inOrder, fast;
            const auto a = RunLengthCodes::walkInOrder(data.data(), last, nibbles, inOrder);
            const auto b = codes.walk(data.data(), last, nibbles, fast);
            EXPECT_EQ(a.position, b.position);
            EXPECT_EQ(a.pixels, b.pixels);
            EXPECT_TRUE(inOrder == fast);
            EXPECT_GT(a.position, last);
        }
    }
}

// Every part a literal guessing walks cannot meet in: walked in order instead.
TEST(RunLengthCodes, LongLiteralsOfZeroBytes)
{
    std::vector<std::uint8_t> d;
    for (int i = 0; i < 200; ++i) {
        d.insert(d.end(), { 0, 254 });
        d.insert(d.end(), 254, 0); // reads as end-of-row codes from a wrong start
    }
    d.insert(d.end(), { 0, 0 });
    const std::size_t last = d.size() - 1;
    d.resize(d.size() + RunLengthCodes::LongestCode, 0);
    std::vector<RunLengthCodes::ControlCode> found;
    RunLengthCodes codes;
    const auto walked = codes.walk(d.data(), last, false, found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].position, 200u * 256);
    EXPECT_EQ(found[0].pixelsBefore, 200u * 254);
    EXPECT_EQ(walked.position, 200u * 256 + 2);
}

// The bytes come out in order whatever is asked for, read ahead or not.
TEST(ByteReader, DeliversTheInputInOrder)
{
    std::vector<std::uint8_t> input(5 * ByteReader::Piece + 12345);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = std::uint8_t(i * 7 + i / 251);
    for (const bool readAhead : { false, true }) {
        for (const std::size_t chunk : { std::size_t(1), std::size_t(3), std::size_t(29) }) {
            std::size_t at = 0;
            ByteReader bytes(
                [&](std::uint8_t* to, std::size_t count) {
                    count = std::min({ count, input.size() - at, chunk * 1000 });
                    std::memcpy(to, input.data() + at, count);
                    at += count;
                    return count;
                },
                readAhead);
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
            EXPECT_TRUE(same) << "read ahead " << readAhead << " chunk " << chunk;
            EXPECT_EQ(bytes.available(1), 0u);
        }
    }
}

// Stopping early leaves no reading thread behind.
TEST(ByteReader, StopsReadingAheadWhenDropped)
{
    std::size_t reads = 0;
    {
        ByteReader bytes([&](std::uint8_t*, std::size_t count) { return ++reads, count; }, true);
        ASSERT_GE(bytes.available(2), 2u);
    }
    EXPECT_GT(reads, 0u);
}

} // namespace
