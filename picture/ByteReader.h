#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace probnik {

// Sequential bytes of an input through a buffer, so that they are parsed from memory while
// the input is read in large pieces. With read-ahead, a thread of its own reads the next
// piece while the one before is parsed, so that a file from the page cache opens in about
// the time its bytes take to copy, not that plus the parsing.
class ByteReader {
public:
    // Reads up to `count` bytes to `to` and returns how many; fewer only at the input's end.
    using Source = std::function<std::size_t(std::uint8_t* to, std::size_t count)>;

    // Bytes read from the input at a time.
    static constexpr std::size_t Piece = 128 * 1024;
    // The most bytes available() may be asked for.
    static constexpr std::size_t MostWanted = 4 * 1024;

    // The source is called from the read-ahead thread only, until this object is gone.
    ByteReader(Source source, bool readAhead);
    ~ByteReader();
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    // Makes `count` bytes (at most MostWanted) available from the current one when the input
    // still has them, and returns how many are available, which is fewer only at its end,
    // and may be more than asked for.
    std::size_t available(std::size_t count);
    const std::uint8_t* data() const { return m_buffers[m_current].data() + m_position; }
    void advance(std::size_t count)
    {
        m_position += count;
        m_offset += count;
    }
    // Where the current byte is in the input.
    std::uint64_t offset() const { return m_offset; }

private:
    Source m_source;
    // A ring of pieces, each after room for the bytes left of the piece before. The reader
    // fills them in turn while they are not in use; the one in use is m_current.
    static constexpr std::size_t Pieces = 8;
    std::array<std::vector<std::uint8_t>, Pieces> m_buffers;
    std::size_t m_current = 0;
    std::size_t m_position = MostWanted;
    std::size_t m_end = MostWanted;
    std::uint64_t m_offset = 0;
    bool m_atEnd = false;

    // Shared with the read-ahead thread, under m_mutex: the m_full pieces after m_current
    // are read, m_sizes[i] bytes in buffer i, and the others the reader's to fill. A piece of
    // 0 bytes is the end.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_full = 0;
    std::array<std::size_t, Pieces> m_sizes {};
    bool m_stop = false;
    // Who waits: each side wakes the other only then, as waking costs a system call.
    bool m_readerWaits = false;
    bool m_userWaits = false;
    std::thread m_reader;

    std::size_t readPiece(std::uint8_t* to);
    std::size_t nextPiece();
    void readAhead();
};

} // namespace probnik
