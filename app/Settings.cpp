// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Settings.h"

#include "analysis/AbChart.h"
#include "app/ProfileIni.h"
#include "common/Windows1250.h"

namespace probnik {

namespace {
constexpr const char* FileName = "Probnik.ini";
constexpr const char* Section = "DEFAULTS";
constexpr const char* ColorimetrySection = "Kolorymetria";
} // namespace

std::filesystem::path Settings::filePath(const char* xdgConfigHome, const char* home)
{
    if (xdgConfigHome && *xdgConfigHome) {
        const std::filesystem::path dir(xdgConfigHome);
        if (dir.is_absolute())
            return dir / FileName;
    }
    if (home && *home)
        return std::filesystem::path(home) / ".config" / FileName;
    return std::filesystem::path(".") / FileName;
}

Settings Settings::read(const std::filesystem::path& file)
{
    const auto ini = ProfileIni::load(file);
    Settings settings;
    if (auto dir = ini.value(Section, "InitialDir"))
        settings.InitialDir = std::move(*dir);
    // A separator the file cannot store would make every export fail: the edit refuses it
    // when typed, and the default takes its place when read.
    if (auto separator = ini.value(Section, "Separator");
        separator && isStorableSeparator(*separator))
        settings.Separator = std::move(*separator);
    if (auto white = ini.value(ColorimetrySection, "Biel"))
        settings.White = std::move(*white);
    if (auto sample = ini.value(ColorimetrySection, "Probka"))
        settings.Sample = std::move(*sample);
    if (auto area = ini.value(ColorimetrySection, "Obszar"))
        settings.Area = std::move(*area);
    if (auto calibration = ini.value(ColorimetrySection, "Kalibracja"))
        settings.Calibration = std::move(*calibration);
    if (auto tolerance = ini.value(ColorimetrySection, "Tolerancja"))
        settings.Tolerance = std::move(*tolerance);
    return settings;
}

double Settings::tolerance() const
{
    return lab::readTolerance(Tolerance).value_or(lab::DefaultTolerance);
}

std::optional<Error> Settings::write(const std::filesystem::path& file) const
{
    const Error failed { std::string("Unable to write to ") + FileName };
    // On a fresh account even ~/.config may be missing.
    if (file.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        if (ec)
            return failed;
    }
    // Anything else in the file, another section or a comment, stays as it was.
    auto ini = ProfileIni::load(file);
    ini.setValue(Section, "InitialDir", InitialDir);
    ini.setValue(Section, "Separator", Separator);
    // A file that never had a white chosen stays as it was while the default is in use.
    if (White != "D65" || ini.value(ColorimetrySection, "Biel"))
        ini.setValue(ColorimetrySection, "Biel", White);
    if (Sample != "0" || ini.value(ColorimetrySection, "Probka"))
        ini.setValue(ColorimetrySection, "Probka", Sample);
    if (Area != "ekran" || ini.value(ColorimetrySection, "Obszar"))
        ini.setValue(ColorimetrySection, "Obszar", Area);
    if (!Calibration.empty() || ini.value(ColorimetrySection, "Kalibracja"))
        ini.setValue(ColorimetrySection, "Kalibracja", Calibration);
    if (Tolerance != "2.0" || ini.value(ColorimetrySection, "Tolerancja"))
        ini.setValue(ColorimetrySection, "Tolerancja", Tolerance);
    if (ini.save(file))
        return failed;
    return std::nullopt;
}

} // namespace probnik
