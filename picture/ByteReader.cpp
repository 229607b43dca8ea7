// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/ByteReader.h"

#include <cstring>
#include <utility>

namespace probnik {

ByteReader::ByteReader(Source source)
    : m_source(std::move(source))
    , m_buffer(Size)
{
}

std::size_t ByteReader::available(std::size_t count)
{
    if (m_end - m_position >= count || m_atEnd)
        return m_end - m_position;
    std::memmove(m_buffer.data(), m_buffer.data() + m_position, m_end - m_position);
    m_end -= m_position;
    m_position = 0;
    while (m_end < count && !m_atEnd) {
        const std::size_t got = m_source(m_buffer.data() + m_end, Size - m_end);
        m_atEnd = got == 0;
        m_end += got;
    }
    return m_end;
}

} // namespace probnik
