// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "colour/SrgbPreview.h"

#include "colour/Lcms.h"

#include <cstdint>

namespace probnik::colour {

std::vector<Color> srgbFromLabD50(std::span<const Lab> colours)
{
    std::vector<Color> shown(colours.size(), Black);
    if (colours.empty())
        return shown;
    // A context of its own, so that Little CMS prints nothing and keeps no shared state.
    const ContextHandle context(cmsCreateContext(nullptr, nullptr));
    if (!context)
        return shown;
    const ProfileHandle lab(cmsCreateLab4ProfileTHR(context.get(), cmsD50_xyY()));
    const ProfileHandle srgb(cmsCreate_sRGBProfileTHR(context.get()));
    if (!lab || !srgb)
        return shown;
    const TransformHandle transform(cmsCreateTransformTHR(context.get(), lab.get(), TYPE_Lab_DBL,
        srgb.get(), TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
    if (!transform)
        return shown;
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const cmsCIELab in { colours[i].L, colours[i].a, colours[i].b };
        std::uint8_t out[3] = {};
        cmsDoTransform(transform.get(), &in, out, 1);
        shown[i] = rgb(out[0], out[1], out[2]);
    }
    return shown;
}

} // namespace probnik::colour
