// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Settings.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <tuple>

using probnik::Settings;
namespace fs = std::filesystem;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "probnik-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        file = dir / "Probnik.ini";
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void put(const fs::path& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string contents(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return { std::istreambuf_iterator<char>(in), {} };
    }
    std::size_t entries() const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    fs::path dir;
    fs::path file;
};

} // namespace

TEST(Settings, FilePathFollowsTheEnvironment)
{
    struct Case {
        const char* xdg;
        const char* home;
        fs::path expected;
    };
    const Case cases[] = {
        { "/x/cfg", "/home/u", "/x/cfg/Probnik.ini" },
        { "/x/cfg", nullptr, "/x/cfg/Probnik.ini" },
        { "", "/home/u", "/home/u/.config/Probnik.ini" },
        { nullptr, "/home/u", "/home/u/.config/Probnik.ini" },
        { "relative/cfg", "/home/u", "/home/u/.config/Probnik.ini" },
        { nullptr, "", "./Probnik.ini" },
        { nullptr, nullptr, "./Probnik.ini" },
        { "relative", nullptr, "./Probnik.ini" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)"));
        EXPECT_EQ(Settings::filePath(c.xdg, c.home), c.expected);
    }
}

TEST_F(SettingsFile, ReadTakesDefaultsOnlyForWhatIsMissing)
{
    struct Case {
        const char* what;
        std::optional<std::string> text; // nothing: no file at all
        std::string initialDir;
        std::string separator;
    };
    const Case cases[] = {
        { "no file", std::nullopt, "", ";" },
        { "empty file", "", "", ";" },
        { "other section only", "[OTHER]\nSeparator=,\nInitialDir=/a\n", "", ";" },
        { "unclosed header", "[DEFAULTS\nSeparator=,\n", "", ";" },
        { "present but empty", "[DEFAULTS]\nInitialDir=\nSeparator=\n", "", "" },
        { "one key missing", "[DEFAULTS]\nInitialDir=/home/u/zdjęcia\n", "/home/u/zdjęcia", ";" },
        { "names ignore case", "[defaults]\r\ninitialdir=/a\r\nSEPARATOR=,\r\n", "/a", "," },
        { "garbage", "\x01\xff\n;x\n[DEFAULTS]\n???\nSeparator=;;\n", "", ";;" },
        // The separator passes the check the edit makes when it is typed.
        { "separator of Windows-1250", "[DEFAULTS]\nSeparator=ą€\t|\n", "", "ą€\t|" },
        { "separator beyond Windows-1250", "[DEFAULTS]\nSeparator=,漢\n", "", ";" },
        { "separator not UTF-8", "[DEFAULTS]\nSeparator=\xb9\n", "", ";" },
        { "separator with a control character", "[DEFAULTS]\nSeparator=,\x01\n", "", ";" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        if (c.text)
            put(file, *c.text);
        const auto settings = Settings::read(file);
        EXPECT_EQ(settings.InitialDir, c.initialDir);
        EXPECT_EQ(settings.Separator, c.separator);
    }
}

TEST_F(SettingsFile, WriteCreatesTheFolderAndBothKeys)
{
    const auto nested = dir / "home" / ".config" / "Probnik.ini";
    ASSERT_EQ(Settings {}.write(nested), std::nullopt);
    EXPECT_EQ(contents(nested), "[DEFAULTS]\nInitialDir=\nSeparator=;\n");
}

TEST_F(SettingsFile, WriteKeepsTheRestOfTheFile)
{
    put(file, "; mine\n[OTHER]\nx=1\n[Defaults]\nseparator=,\nextra\n");
    ASSERT_EQ((Settings { "/a", ";;" }.write(file)), std::nullopt);
    EXPECT_EQ(
        contents(file), "; mine\n[OTHER]\nx=1\n[Defaults]\nseparator=;;\nInitialDir=/a\nextra\n");
}

// What is read and written back unchanged leaves the file as it was, byte for byte.
TEST_F(SettingsFile, ReadThenWrittenLeavesTheFileAsItWas)
{
    const std::string files[] = {
        "[DEFAULTS]\r\nInitialDir=/obrazy/\xB3\xB9ka\r\nSeparator=,\r\n",
        "\xEF\xBB\xBF; mine\n[defaults]\n initialdir = \"/a b\" \r\nseparator=;\n[x]\ny=\xFF",
        "[DEFAULTS]\nInitialDir=/" + std::string(3000, 'd') + "\nSeparator=;",
        "[DEFAULTS]\nInitialDir=\nSeparator=;\n[Kolorymetria]\nBiel= d50\n",
    };
    for (const auto& text : files) {
        SCOPED_TRACE(text.substr(0, 60));
        put(file, text);
        ASSERT_EQ(Settings::read(file).write(file), std::nullopt);
        EXPECT_EQ(contents(file), text);
    }
}

TEST_F(SettingsFile, WrittenSettingsReadBack)
{
    const Settings cases[] = {
        { "", ";" },
        { "/home/u/zażółć gęślą", "," },
        { " /lead and trail ", " " },
        { "'/quoted'", "\t" },
        { "\"/q\"", "\"\"" },
        { "/semi;colon=eq", ";;" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.InitialDir + "|" + c.Separator);
        ASSERT_EQ(c.write(file), std::nullopt);
        const auto back = Settings::read(file);
        EXPECT_EQ(back.InitialDir, c.InitialDir);
        EXPECT_EQ(back.Separator, c.Separator);
    }
}

TEST_F(SettingsFile, TheColorimetryWhiteIsReadAndWritten)
{
    using probnik::colour::ReferenceWhite;
    const std::pair<const char*, ReferenceWhite> cases[] = {
        { "[Kolorymetria]\nBiel=D50\n", ReferenceWhite::D50 },
        { "[kolorymetria]\nbiel = D50\n", ReferenceWhite::D50 },
        { "[Kolorymetria]\nBiel=D65\n", ReferenceWhite::D65 },
        { "[Kolorymetria]\nBiel=D55\n", ReferenceWhite::D65 },
        { "[DEFAULTS]\nBiel=D50\n", ReferenceWhite::D65 },
    };
    for (const auto& [text, white] : cases) {
        SCOPED_TRACE(text);
        put(file, text);
        EXPECT_EQ(Settings::read(file).referenceWhite(), white);
    }
    fs::remove(file);
    ASSERT_EQ((Settings { "/a", ";", "D50" }.write(file)), std::nullopt);
    EXPECT_EQ(contents(file), "[DEFAULTS]\nInitialDir=/a\nSeparator=;\n[Kolorymetria]\nBiel=D50\n");
}

// A tolerance read passes the checks a typed one does; what was read is written back as read.
TEST_F(SettingsFile, TheColorimetryToleranceIsReadAndKept)
{
    const std::tuple<const char*, double, const char*> cases[] = {
        { "[Kolorymetria]\nTolerancja=1,5\n", 1.5, "1,5" },
        { "[Kolorymetria]\nTolerancja= 0.75 \n", 0.75, "0.75" },
        { "[Kolorymetria]\nTolerancja=0\n", 2.0, "0" },
        { "[Kolorymetria]\nTolerancja=dwa\n", 2.0, "dwa" },
        { "[Kolorymetria]\nTolerancja=\n", 2.0, "" },
        { "[DEFAULTS]\nTolerancja=3\n", 2.0, "2.0" },
    };
    for (const auto& [text, tolerance, kept] : cases) {
        SCOPED_TRACE(text);
        put(file, text);
        const Settings read = Settings::read(file);
        EXPECT_EQ(read.tolerance(), tolerance);
        EXPECT_EQ(read.Tolerance, kept);
        ASSERT_EQ(read.write(file), std::nullopt);
        EXPECT_EQ(Settings::read(file).Tolerance, kept);
    }
    fs::remove(file);
    ASSERT_EQ(Settings {}.write(file), std::nullopt);
    EXPECT_EQ(contents(file), "[DEFAULTS]\nInitialDir=\nSeparator=;\n");
}

TEST_F(SettingsFile, FailedWriteReportsAndLeavesTheOldFile)
{
    put(dir / "plain", "x");
    fs::create_directories(dir / "folder" / "Probnik.ini" / "inside");
    const fs::path unwritable[] = {
        dir / "plain" / "Probnik.ini", // the folder cannot be made: a file stands there
        dir / "plain" / "deeper" / "Probnik.ini",
        dir / "folder" / "Probnik.ini", // a folder stands where the file should be
    };
    for (const auto& path : unwritable) {
        SCOPED_TRACE(path.string());
        const auto error = Settings { "/a", "," }.write(path);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->message, "Unable to write to Probnik.ini");
    }
    EXPECT_EQ(contents(dir / "plain"), "x");
    EXPECT_TRUE(fs::is_directory(dir / "folder" / "Probnik.ini" / "inside"));
    EXPECT_EQ(entries(), 2u);
}

TEST_F(SettingsFile, WriteCutShortLeavesTheOldFileWhole)
{
    // A file size limit makes the write fail halfway, even for root.
    const std::string old = "[DEFAULTS]\nInitialDir=/old\nSeparator=,\n";
    put(file, old);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = Settings { "/" + std::string(500, 'n'), ";" }.write(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message, "Unable to write to Probnik.ini");
    EXPECT_EQ(contents(file), old);
    EXPECT_EQ(entries(), 1u) << "the temporary file is removed";
}
