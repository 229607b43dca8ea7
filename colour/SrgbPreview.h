// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "colour/LabConversion.h"
#include "common/Color.h"

#include <span>
#include <vector>

namespace probnik::colour {

// L*a*b* at the ICC's D50 as a screen shows it: 8-bit sRGB through Little CMS (relative
// colorimetric, so the sRGB white is D50's white), colours outside sRGB clipped channel by
// channel. For pictures of colours, not for measuring.
std::vector<Color> srgbFromLabD50(std::span<const Lab> colours);

} // namespace probnik::colour
