#include "picture/ByteReader.h"

#include <cstring>

namespace probnik {

ByteReader::ByteReader(Source source, bool readAhead)
    : m_source(std::move(source))
{
    for (auto& buffer : m_buffers)
        buffer.resize(MostWanted + Piece);
    if (readAhead)
        m_reader = std::thread([this] { this->readAhead(); });
}

ByteReader::~ByteReader()
{
    if (!m_reader.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_reader.join();
}

std::size_t ByteReader::available(std::size_t count)
{
    while (m_end - m_position < count && !m_atEnd) {
        const std::size_t left = m_end - m_position; // below MostWanted
        const std::size_t next = (m_current + 1) % Pieces;
        const std::size_t got = nextPiece();
        if (got == 0) {
            m_atEnd = true;
            break;
        }
        // The bytes left go just before the new piece, in the buffer that holds it.
        std::memcpy(m_buffers[next].data() + MostWanted - left,
            m_buffers[m_current].data() + m_position, left);
        if (m_reader.joinable()) {
            std::lock_guard lock(m_mutex);
            m_current = next;
            --m_full;
            // The reader waits until half the pieces are free, so it is woken seldom.
            if (m_readerWaits && m_full <= Pieces / 2)
                m_changed.notify_all();
        } else {
            m_current = next;
        }
        m_position = MostWanted - left;
        m_end = MostWanted + got;
    }
    return m_end - m_position;
}

// A whole piece, unless the input ends first.
std::size_t ByteReader::readPiece(std::uint8_t* to)
{
    std::size_t got = 0;
    for (std::size_t more = 1; got < Piece && more > 0; got += more)
        more = m_source(to + got, Piece - got);
    return got;
}

// The size of the piece after the current one, once it is read; 0 at the end.
std::size_t ByteReader::nextPiece()
{
    const std::size_t next = (m_current + 1) % Pieces;
    if (!m_reader.joinable())
        return readPiece(m_buffers[next].data() + MostWanted);
    std::unique_lock lock(m_mutex);
    if (m_full == 0) {
        m_userWaits = true;
        m_changed.wait(lock, [this] { return m_full > 0; });
        m_userWaits = false;
    }
    return m_sizes[next];
}

void ByteReader::readAhead()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Every piece but the one in use may be filled.
        if (m_full == Pieces - 1) {
            m_readerWaits = true;
            m_changed.wait(lock, [this] { return m_full <= Pieces / 2 || m_stop; });
            m_readerWaits = false;
        }
        if (m_stop)
            return;
        const std::size_t slot = (m_current + 1 + m_full) % Pieces;
        lock.unlock();
        std::size_t got = 0;
        try {
            got = readPiece(m_buffers[slot].data() + MostWanted);
        } catch (...) {
            got = 0; // a failing input ends there, as a short file does
        }
        lock.lock();
        m_sizes[slot] = got;
        ++m_full;
        if (m_userWaits)
            m_changed.notify_all();
        if (got == 0)
            return;
    }
}

} // namespace probnik
