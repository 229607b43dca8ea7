// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "colour/Lcms.h"

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

} // namespace probnik::colour
