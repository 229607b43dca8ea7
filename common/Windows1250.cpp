// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/Windows1250.h"

#include <algorithm>
#include <iconv.h>
#include <memory>
#include <type_traits>

namespace probnik {

namespace {

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

Result<std::string> convert(const char* to, const char* from, std::string_view text)
{
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Error { std::string("Brak przekształcenia z ") + from + " na " + to };
    const Converter guard(cd);
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == std::size_t(-1))
        return Error { "Tekstu nie da się zapisać w stronie kodowej Windows-1250" };
    out.resize(out.size() - outLeft);
    return out;
}

// The bytes of the code page a separator may hold: tab and the printable characters.
bool isSeparatorByte(unsigned char byte)
{
    return byte == '\t' || (byte >= 0x20 && byte != 0x7F);
}

} // namespace

Result<std::string> toWindows1250(std::string_view utf8)
{
    return convert("CP1250", "UTF-8", utf8);
}

bool isStorableSeparator(std::string_view utf8)
{
    const Result<std::string> bytes = toWindows1250(utf8);
    return bytes && std::all_of(bytes.value().begin(), bytes.value().end(), [](char c) {
        return isSeparatorByte(static_cast<unsigned char>(c));
    });
}

std::vector<std::string> windows1250Characters()
{
    std::vector<std::string> characters;
    for (int byte = 0; byte <= 0xFF; ++byte) {
        if (!isSeparatorByte(static_cast<unsigned char>(byte)))
            continue;
        const char c = char(byte);
        Result<std::string> utf8 = convert("UTF-8", "CP1250", std::string_view(&c, 1));
        // Bytes the code page leaves undefined have no character.
        if (utf8 && !utf8.value().empty())
            characters.push_back(std::move(utf8).value());
    }
    return characters;
}

} // namespace probnik
