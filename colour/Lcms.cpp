// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "colour/Lcms.h"

#include <cstdint>

namespace probnik::colour {

namespace {

void keepMessage(cmsContext context, cmsUInt32Number /*code*/, const char* text)
{
    if (auto* engine = static_cast<ColourProfile::Engine*>(cmsGetContextUserData(context)))
        engine->lastError = text ? text : "";
}

} // namespace

ColourProfile::Engine::Engine()
    : context(cmsCreateContext(nullptr, this))
{
    if (context)
        cmsSetLogErrorHandlerTHR(context.get(), keepMessage);
}

void ColourProfile::Engine::toXyz(
    const void* values, double* xyz, std::size_t count, bool sixteen) const
{
    // Rows of pixels are far below 2^32; the callers convert in pieces.
    cmsDoTransform(sixteen ? to16.get() : to8.get(), values, xyz, cmsUInt32Number(count));
}

const std::vector<double>& ColourProfile::Engine::channelXyz(bool sixteen) const
{
    std::vector<double>& xyz = m_channelXyz[sixteen];
    if (!xyz.empty())
        return xyz;
    const std::size_t channels = pixels == PixelKind::Rgb ? 3 : 1;
    const std::size_t levels = sixteen ? 65536 : 256;
    const std::size_t count = channels * levels + 1;
    std::vector<std::uint16_t> wide;
    std::vector<std::uint8_t> narrow;
    if (sixteen)
        wide.assign(count * channels, 0);
    else
        narrow.assign(count * channels, 0);
    for (std::size_t channel = 0; channel < channels; ++channel)
        for (std::size_t v = 0; v < levels; ++v) {
            const std::size_t at = (channel * levels + v) * channels + channel;
            if (sixteen)
                wide[at] = std::uint16_t(v);
            else
                narrow[at] = std::uint8_t(v);
        }
    xyz.resize(count * 3);
    toXyz(sixteen ? static_cast<const void*>(wide.data()) : narrow.data(), xyz.data(), count,
        sixteen);
    return xyz;
}

bool ColourProfile::Engine::toXyzFractional(
    const double* values, double* xyz, std::size_t count) const
{
    if (!m_fractionalTried) {
        m_fractionalTried = true;
        const ProfileHandle target(cmsCreateXYZProfileTHR(context.get()));
        if (target)
            m_toFractional.reset(cmsCreateTransformTHR(context.get(), profile.get(),
                pixels == PixelKind::Rgb ? TYPE_RGB_DBL : TYPE_GRAY_DBL, target.get(), TYPE_XYZ_DBL,
                INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
    }
    if (!m_toFractional)
        return false;
    cmsDoTransform(m_toFractional.get(), values, xyz, cmsUInt32Number(count));
    return true;
}

} // namespace probnik::colour
