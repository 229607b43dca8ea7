// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"
#include "picture/DisplayPicture.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace probnik {

// The bytes of a picture, from a file or from memory, as the format libraries ask for them.
// It remembers whether a read found fewer bytes than were asked, so that a library's failure
// can be told as a short file ("Stream read error") or as bad content.
class ByteSource {
public:
    // Only a regular file is read: anything else (a folder, a named pipe, a device) gives
    // "Cannot open file <path>" at once, without waiting for a writer or a device.
    static Result<std::unique_ptr<ByteSource>> open(const std::string& path);
    ByteSource(const std::uint8_t* data, std::size_t size);
    explicit ByteSource(std::string_view bytes)
        : ByteSource(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())
    {
    }

    // Reads `count` bytes; fewer at the end of the data, which counts as a short read.
    std::size_t read(void* to, std::size_t count);
    // Reads up to `count` bytes; fewer at the end are no short read (for reading ahead).
    std::size_t readSome(void* to, std::size_t count);
    // The reader needed bytes beyond the end.
    void endedEarly() { m_short = true; }
    bool seek(std::uint64_t position);
    std::uint64_t position() const { return m_position; }
    std::uint64_t size() const { return m_size; }
    bool shortRead() const { return m_short; }
    // All the bytes read so far, wherever they lay: what a reader cost in reading.
    std::uint64_t bytesRead() const { return m_bytesRead; }

private:
    ByteSource() = default;

    struct Close {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Close> m_file;
    const std::uint8_t* m_data = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_bytesRead = 0;
    bool m_short = false;
};

// The error for a format library's failure on `source`.
inline Error failure(const ByteSource& source)
{
    return Error { source.shortRead() ? ReadErrorMessage : NotValidMessage };
}

} // namespace probnik
