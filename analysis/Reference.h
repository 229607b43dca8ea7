// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/Colorimetry.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace probnik::lab {

// A reference typed as L*, a*, b*. Each is a number as a person types it (a point or a comma,
// no exponent); L* lies from 0 to 100, as lightness does, and a* and b* from -200 to 200,
// beyond every colour a picture can hold, so that a slip of the keyboard (an extra digit)
// is caught rather than measured against.
struct TypedReference {
    std::optional<Lab> lab; // the three values, when all three are taken
    std::array<bool, 3> wrong {}; // which of L*, a*, b* are not
    std::string note; // why not, in a sentence; empty when taken
};
TypedReference readTypedReference(std::string_view l, std::string_view a, std::string_view b);

} // namespace probnik::lab
