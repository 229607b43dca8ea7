// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace probnik {

// What a picture file says its values mean, as its reader found it and in the units the
// format stores. Nothing here is interpreted: colour/ColourProfile.h makes a profile of it.
// Plain data, so that the readers below the colour library can hand it over.
struct ColourDescription {
    enum class Kind {
        None, // the file describes nothing
        Srgb, // PNG sRGB, EXIF ColorSpace 1, BMP "sRGB" or "Win "
        Embedded, // ICC profile bytes: PNG iCCP, JPEG APP2, TIFF tag 34675, BMP "MBED"
        Chromaticities, // PNG cHRM and gAMA
        Calibrated, // BMP V5 calibrated RGB: endpoints and gammas
        AdobeRgb, // EXIF interoperability index "R03"
        Linked, // BMP V5 "LINK": the name of a profile file, not followed
    };

    Kind kind = Kind::None;
    // Where the file says it, as the window names it ("PNG iCCP", "EXIF R03", "BMP V5").
    std::string source;

    // Embedded: the profile's bytes.
    std::vector<std::uint8_t> icc;
    // Chromaticities: cHRM's white, red, green and blue x and y, each times 100000, in the
    // chunk's order; without it the sRGB primaries and white.
    std::optional<std::array<std::uint32_t, 8>> chromaticities;
    // Chromaticities: gAMA, the encoding exponent times 100000 (45455 for 1 / 2.2); without it
    // the sRGB curve.
    std::optional<std::uint32_t> gamma;
    // Calibrated: the X, Y, Z of the red, green and blue endpoints in 2.30 fixed point, and the
    // red, green and blue gammas (decoding exponents) in 16.16 fixed point, as stored.
    std::array<std::int32_t, 9> endpoints {};
    std::array<std::uint32_t, 3> gammas {};
    // Linked: the file name the picture names.
    std::string linkedName;

    static ColourDescription none() { return {}; }
    static ColourDescription srgb(std::string source)
    {
        ColourDescription d;
        d.kind = Kind::Srgb;
        d.source = std::move(source);
        return d;
    }
    static ColourDescription embedded(std::vector<std::uint8_t> bytes, std::string source)
    {
        ColourDescription d;
        d.kind = Kind::Embedded;
        d.source = std::move(source);
        d.icc = std::move(bytes);
        return d;
    }
    static ColourDescription pngChromaticities(
        std::optional<std::array<std::uint32_t, 8>> chrm, std::optional<std::uint32_t> gama)
    {
        ColourDescription d;
        d.kind = Kind::Chromaticities;
        d.source = gama && chrm ? "PNG cHRM i gAMA" : chrm ? "PNG cHRM" : "PNG gAMA";
        d.chromaticities = chrm;
        d.gamma = gama;
        return d;
    }
    static ColourDescription bmpCalibrated(
        std::array<std::int32_t, 9> endpoints, std::array<std::uint32_t, 3> gammas)
    {
        ColourDescription d;
        d.kind = Kind::Calibrated;
        d.source = "BMP V5";
        d.endpoints = endpoints;
        d.gammas = gammas;
        return d;
    }
    static ColourDescription adobeRgb(std::string source)
    {
        ColourDescription d;
        d.kind = Kind::AdobeRgb;
        d.source = std::move(source);
        return d;
    }
    static ColourDescription linked(std::string fileName, std::string source)
    {
        ColourDescription d;
        d.kind = Kind::Linked;
        d.source = std::move(source);
        d.linkedName = std::move(fileName);
        return d;
    }
};

} // namespace probnik
