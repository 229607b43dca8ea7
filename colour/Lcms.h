// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The Little CMS objects behind a ColourProfile, for this folder's sources only.

#include "colour/ColourProfile.h"

#include <lcms2.h>

#include <memory>
#include <string>
#include <vector>

namespace probnik::colour {

struct ContextDeleter {
    void operator()(cmsContext c) const { cmsDeleteContext(c); }
};
struct ProfileDeleter {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using ContextHandle = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter>;
using ProfileHandle = std::unique_ptr<void, ProfileDeleter>;
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

// One Little CMS context per profile, whose error handler keeps the last message instead of
// printing it; the profile and its transforms to XYZ (D50, relative colorimetric) for 8-bit
// and 16-bit values. Members are destroyed in reverse order: transforms, profile, context.
struct ColourProfile::Engine {
    Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The last message Little CMS gave, cleared before each call that may fail.
    std::string lastError;
    ContextHandle context;
    PixelKind pixels = PixelKind::Rgb;
    ProfileHandle profile;
    TransformHandle to8;
    TransformHandle to16;
    // Whether the device values reach XYZ through a matrix and per-channel curves only (or
    // one curve for grey), so that per-channel tables give the transform exactly.
    bool separable = false;
    // The profile's MD5 identifier in hexadecimal digits (ColourProfile::identifier()).
    std::string identifier;

    // The 8-bit or 16-bit transform's XYZ of `count` pixels (3 or 1 values each).
    void toXyz(const void* values, double* xyz, std::size_t count, bool sixteen) const;

    // The XYZ of every value of each channel alone (the others 0), channel by channel, then
    // of black: what per-channel tables are made of. Worked out on first use and kept, so
    // that another white costs no second pass through the profile.
    const std::vector<double>& channelXyz(bool sixteen) const;

    // The XYZ of `count` pixels of fractional values from 0 to 1 (3 or 1 each), such as the
    // mean of many pixels, through a double-precision transform made on first use. False
    // when Little CMS cannot make it.
    bool toXyzFractional(const double* values, double* xyz, std::size_t count) const;

private:
    // Made by toXyzFractional(); destroyed before the profile, declared after it.
    mutable TransformHandle m_toFractional;
    mutable bool m_fractionalTried = false;
    // Filled by channelXyz(); the program runs on one thread.
    mutable std::vector<double> m_channelXyz[2];
};

} // namespace probnik::colour
