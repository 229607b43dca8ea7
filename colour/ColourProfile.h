// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/ColourDescription.h"
#include "common/Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// The profile that says what a picture's values mean. It comes from the file's colour
// description; whatever the file holds, a profile is always made: a description that cannot
// be used gives sRGB and the reason, in Polish, for the window.
namespace probnik::colour {

// The pixels the profile has to describe: three channels, or one.
enum class PixelKind { Rgb, Grey };

// Where the profile in use came from.
enum class ProfileOrigin {
    Embedded, // the file's own ICC profile
    Described, // made from what the file says instead (sRGB, cHRM and gAMA, BMP endpoints, R03)
    Assumed, // sRGB, because the file describes nothing
    Unusable, // sRGB, because the file's profile is damaged or does not fit its pixels
    Linked, // sRGB, because the file names a profile file, which is not followed
    Chosen, // a profile file the user opened
};

// Larger embedded or chosen profiles are refused unread.
inline constexpr std::size_t MaxProfileBytes = std::size_t(64) << 20;

class ColourProfile {
public:
    // The file's own, or sRGB with the reason.
    static ColourProfile fromDescription(const ColourDescription& description, PixelKind pixels);
    // sRGB (a grey sRGB curve for grey pixels), assumed for a file that describes nothing.
    static ColourProfile assumedSrgb(PixelKind pixels);
    // A profile file the user chose, by its name and bytes. Fails with the reason when it
    // cannot describe these pixels; the caller keeps the profile it had.
    static Result<ColourProfile> chosen(
        std::span<const std::uint8_t> bytes, const std::string& fileName, PixelKind pixels);

    ProfileOrigin origin() const { return m_origin; }
    PixelKind pixelKind() const;
    // The profile's own description ("Adobe RGB (1998)"), or what it was made from.
    const std::string& name() const { return m_name; }
    // Where the file says it ("PNG iCCP"), or the chosen file's name.
    const std::string& source() const { return m_source; }
    // Why the file's own description is not used (Unusable and Linked), else empty.
    const std::string& reason() const { return m_reason; }
    // One line for the window: which profile and where it came from.
    std::string text() const;
    // The profile's MD5 identifier, 32 lowercase hexadecimal digits: the ICC header's
    // profile ID where it is set, else the MD5 of the profile's bytes worked out as the ICC
    // does (flags, rendering intent and ID zeroed). Profiles made from what a file says are
    // identified by the bytes of the ICC profile made, its creation date zeroed as well.
    const std::string& identifier() const;

    struct Engine;
    const Engine& engine() const { return *m_engine; }

private:
    ColourProfile(std::shared_ptr<const Engine> engine, ProfileOrigin origin, std::string name,
        std::string source, std::string reason);
    static ColourProfile unusable(
        const ColourDescription& description, PixelKind pixels, std::string reason);

    std::shared_ptr<const Engine> m_engine;
    ProfileOrigin m_origin;
    std::string m_name;
    std::string m_source;
    std::string m_reason;
};

} // namespace probnik::colour
