// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/FileSampling.h"
#include "colour/LabConversion.h"
#include "common/Result.h"

#include <filesystem>
#include <optional>
#include <string>

namespace probnik {

// The settings the program keeps between runs, in "Probnik.ini": two in section "DEFAULTS",
// and the colorimetry's in section "Kolorymetria".
struct Settings {
    std::string InitialDir; // the folder of the last opened picture or written CSV file
    std::string Separator = ";"; // the CSV field separator
    // The colorimetry's reference white ("Biel") as read: "D65" or "D50", any other text
    // meaning D65. Kept as read, so that an unchanged setting is written back byte for byte.
    std::string White = "D65";
    colour::ReferenceWhite referenceWhite() const { return colour::whiteFromName(White); }
    // What a colorimetry sample measures ("Probka": "0", "blok" or N) and where the area
    // statistics come from ("Obszar": "ekran" or "plik"), kept as read like the white.
    std::string Sample = "0";
    std::string Area = "ekran";
    SampleMode sampleMode() const { return sampleModeFromText(Sample); }
    AreaSource areaSource() const { return areaSourceFromText(Area); }
    // The calibration file in use ("Kalibracja"), empty for none.
    std::string Calibration {};
    // The colorimetry's dE00 tolerance ("Tolerancja") as read, kept the same way; a text that
    // is not a tolerance one could type means the default.
    std::string Tolerance = "2.0";
    double tolerance() const;

    // Where the settings file lives: $XDG_CONFIG_HOME, else $HOME/.config, else the current
    // folder. The arguments are the two variables' values (null when unset).
    static std::filesystem::path filePath(const char* xdgConfigHome, const char* home);

    // Missing file, section or key: the defaults above; a present empty value stays empty. A
    // separator with a character the CSV file cannot store (or not UTF-8) is the default.
    static Settings read(const std::filesystem::path& file);
    // Writes every key, changed or not; "Biel", "Probka", "Obszar" and "Tolerancja" only when not
    // the default or already in the file, "Kalibracja" only when one is in use or the key is
    // already there. Failure: "Unable to write to Probnik.ini".
    std::optional<Error> write(const std::filesystem::path& file) const;
};

} // namespace probnik
