// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Reference.h"

#include "common/NumberText.h"

namespace probnik::lab {

TypedReference readTypedReference(std::string_view l, std::string_view a, std::string_view b)
{
    const struct {
        std::string_view text;
        const char* name;
        double min;
        double max;
    } fields[] = { { l, "L*", 0, 100 }, { a, "a*", -200, 200 }, { b, "b*", -200, 200 } };
    TypedReference typed;
    double values[3] = {};
    std::string names;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto value = parseDecimal(fields[i].text);
        typed.wrong[i] = !(value && *value >= fields[i].min && *value <= fields[i].max);
        if (!typed.wrong[i])
            values[i] = *value;
        else
            names += (names.empty() ? "" : ", ") + std::string(fields[i].name);
    }
    if (names.empty())
        typed.lab = Lab { values[0], values[1], values[2] };
    else
        typed.note = "Niepoprawne " + names
            + " – odniesienie bez zmian. L* od 0 do 100, a* i b* od -200 do 200, np. 52,5 lub "
              "-12.25.";
    return typed;
}

} // namespace probnik::lab
