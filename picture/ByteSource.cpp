// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/ByteSource.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace probnik {

Result<std::unique_ptr<ByteSource>> ByteSource::open(const std::string& path)
{
    const Error cannot = cannotOpen(path);
    // Not blocking: opening a named pipe would wait for a writer, and a device may wait too.
    // Only once the file is known to be a regular one does reading block again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return cannot;
    struct stat status { };
    const int flags
        = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? ::fcntl(fd, F_GETFL) : -1;
    std::FILE* file = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0
        ? nullptr
        : ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return cannot;
    }
    std::unique_ptr<ByteSource> source(new ByteSource);
    source->m_file.reset(file);
    // Unbuffered: every read goes straight to the file, so only the bytes asked for are read
    // (a buffer would read ahead at each seek to a shown row). The libraries read in pieces
    // of kilobytes, except for headers.
    std::setvbuf(file, nullptr, _IONBF, 0);
    source->m_size = std::uint64_t(status.st_size);
    return source;
}

ByteSource::ByteSource(const std::uint8_t* data, std::size_t size)
    : m_data(data)
    , m_size(size)
{
}

std::size_t ByteSource::read(void* to, std::size_t count)
{
    const std::size_t got = readSome(to, count);
    if (got < count)
        m_short = true;
    return got;
}

std::size_t ByteSource::readSome(void* to, std::size_t count)
{
    std::size_t got = 0;
    if (m_file) {
        got = std::fread(to, 1, count, m_file.get());
    } else {
        got = std::size_t(std::min<std::uint64_t>(count, m_size - std::min(m_size, m_position)));
        if (got > 0)
            std::memcpy(to, m_data + m_position, got);
    }
    m_position += got;
    m_bytesRead += got;
    return got;
}

bool ByteSource::seek(std::uint64_t position)
{
    // Seeking past the end is allowed, as for files; the next read then comes up short.
    if (m_file && ::fseeko(m_file.get(), off_t(position), SEEK_SET) != 0)
        return false;
    m_position = position;
    return true;
}

} // namespace probnik
