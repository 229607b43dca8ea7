// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace probnik {

// Sequential bytes of an input through a buffer, so that run-length codes are parsed from
// memory while the input is read in large pieces.
class ByteReader {
public:
    // Reads up to `count` bytes to `to` and returns how many; fewer only at the input's end.
    using Source = std::function<std::size_t(std::uint8_t* to, std::size_t count)>;

    // Bytes of the buffer: the input is read in pieces of up to this size.
    static constexpr std::size_t Size = 64 * 1024;
    // The most bytes available() may be asked for.
    static constexpr std::size_t MostWanted = Size / 2;

    explicit ByteReader(Source source);

    // Makes `count` bytes (at most MostWanted) available from the current one when the input
    // still has them, and returns how many are available, which is fewer only at its end,
    // and may be more than asked for.
    std::size_t available(std::size_t count);
    const std::uint8_t* data() const { return m_buffer.data() + m_position; }
    void advance(std::size_t count)
    {
        m_position += count;
        m_offset += count;
    }
    // Where the current byte is in the input.
    std::uint64_t offset() const { return m_offset; }

private:
    Source m_source;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    std::uint64_t m_offset = 0;
    bool m_atEnd = false;
};

} // namespace probnik
