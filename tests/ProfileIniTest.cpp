// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ProfileIni.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using probnik::ProfileIni;
namespace fs = std::filesystem;

namespace {

class ProfileIniFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "probnik-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void put(const fs::path& file, const std::string& bytes)
    {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string contents(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return { std::istreambuf_iterator<char>(in), {} };
    }
    fs::path dir;
};

std::string repeat(std::string_view piece, std::size_t times)
{
    std::string s;
    for (std::size_t i = 0; i < times; ++i)
        s += piece;
    return s;
}

} // namespace

TEST(ProfileIni, ReadsValuesAsTheProfileFunctionsDo)
{
    struct Case {
        const char* what;
        std::string text;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        { "empty file", "", "S", "k", std::nullopt },
        { "plain", "[DEFAULTS]\nSeparator=,\n", "DEFAULTS", "Separator", "," },
        { "names ignore case", "[defaults]\nSEPARATOR=x\n", "Defaults", "separator", "x" },
        { "blanks around everything", "  [ S ]  \n \t k \t= \t a b \t\n", "S", "k", "a b" },
        { "CR LF lines", "[S]\r\nk=v\r\nj=w\r\n", "S", "k", "v" },
        { "no final line end", "[S]\nk=v", "S", "k", "v" },
        { "byte order mark", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", "v" },
        { "double quotes keep blanks", "[S]\nk=\"  a \"\n", "S", "k", "  a " },
        { "single quotes", "[S]\nk='b'\n", "S", "k", "b" },
        { "only the outer quotes", "[S]\nk=\"'b'\"\n", "S", "k", "'b'" },
        { "quotes that do not match", "[S]\nk=\"a'\n", "S", "k", "\"a'" },
        { "a lone quote", "[S]\nk=\"\n", "S", "k", "\"" },
        { "empty quotes", "[S]\nk=\"\"\n", "S", "k", "" },
        { "present but empty", "[S]\nk=\n", "S", "k", "" },
        { "= inside the value", "[S]\nk=a=b\n", "S", "k", "a=b" },
        { "text after ]", "[S] junk\nk=v\n", "S", "k", "v" },
        { "first key wins", "[S]\nk=1\nK=2\n", "S", "k", "1" },
        { "first section wins", "[S]\nk=1\n[s]\nk=2\n", "S", "k", "1" },
        { "later section not searched", "[S]\na=1\n[T]\n[S]\nk=2\n", "S", "k", std::nullopt },
        { "key of another section", "[A]\nk=1\n[B]\n", "B", "k", std::nullopt },
        { "key before any section", "k=1\n[S]\n", "S", "k", std::nullopt },
        { "missing section", "[A]\nk=1\n", "S", "k", std::nullopt },
        { "comment is not a key", "[S]\n;k=1\n", "S", "k", std::nullopt },
        { "line without =", "[S]\nk\n", "S", "k", std::nullopt },
        { "unclosed header is garbage", "[S]\n[T\nk=1\n", "S", "k", "1" },
        { "garbage around", "\x01\x7f junk\n[S]\n!!!\n\xff\xfe\nk=v\n", "S", "k", "v" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ProfileIni::parse(c.text).value(c.section, c.key), c.expected);
    }
}

TEST(ProfileIni, CutsLongValuesAtWholeCharacters)
{
    const std::string a2046 = repeat("a", 2046);
    const std::string a2047 = repeat("a", 2047);
    struct Case {
        const char* what;
        std::string stored;
        std::string expected;
    };
    const Case cases[] = {
        { "exactly the limit", a2047, a2047 },
        { "one over", a2047 + "b", a2047 },
        { "far over", repeat("a", 5000), a2047 },
        { "two-byte character as the last one", a2046 + "ą", a2046 + "ą" },
        { "two-byte character after the last one", a2047 + "ą", a2047 },
        { "three-byte character then one more", a2046 + "€x", a2046 + "€" },
        { "four-byte character then one more", a2046 + "😀x", a2046 + "😀" },
        { "all multi-byte", repeat("ę", 2100), repeat("ę", 2047) },
        { "quotes do not count", '"' + a2047 + '"', a2047 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ProfileIni::parse("[S]\nk=" + c.stored + "\n").value("S", "k"), c.expected);
    }
}

TEST(ProfileIni, SetValueEditsTheFileInPlace)
{
    struct Case {
        const char* what;
        std::string before;
        const char* section;
        const char* key;
        std::string value;
        std::string after;
    };
    const Case cases[] = {
        { "empty file", "", "DEFAULTS", "Separator", ";", "[DEFAULTS]\nSeparator=;\n" },
        { "replace, comments kept", "; c\n[S]\nk=1\n;x\nj=2\n", "S", "k", "9",
            "; c\n[S]\nk=9\n;x\nj=2\n" },
        { "replace keeps the file's spelling", "[s]\n  KEY = 1\n", "S", "key", "2",
            "[s]\nKEY=2\n" },
        { "new key after the last key line", "[S]\na=1\n\n; tail\n[T]\nb=2\n", "S", "c", "3",
            "[S]\na=1\nc=3\n\n; tail\n[T]\nb=2\n" },
        { "new key in a section without keys", "[S]\n; note\n[T]\n", "S", "k", "v",
            "[S]\nk=v\n; note\n[T]\n" },
        { "new section at the end", "garbage\n[T]\nb=2", "S", "k", "v",
            "garbage\n[T]\nb=2\n[S]\nk=v\n" },
        { "CR LF kept, new lines too", "; c\r\n[S]\r\nk=1\n[T]\r\n", "S", "j", "2",
            "; c\r\n[S]\r\nk=1\nj=2\r\n[T]\r\n" },
        { "CR LF kept in a replaced line", "[S]\r\nk=1\r\n", "S", "k", "2", "[S]\r\nk=2\r\n" },
        { "CR LF file without the last LF", "[T]\r\nb=2", "S", "k", "v",
            "[T]\r\nb=2\r\n[S]\r\nk=v\r\n" },
        { "no last LF, key inserted before", "[S]\nk=1\n[T]\nb", "S", "j", "2",
            "[S]\nk=1\nj=2\n[T]\nb" },
        { "byte order mark kept", "\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "2",
            "\xEF\xBB\xBF[S]\nk=2\n" },
        { "the value it reads leaves the line", "[S]\n K = \"\xFF\xFE\" \r\n", "S", "k", "\xFF\xFE",
            "[S]\n K = \"\xFF\xFE\" \r\n" },
        { "a value cut when read stays whole", "[S]\nk=" + std::string(3000, 'x') + "\n", "S", "k",
            std::string(ProfileIni::MaxValueLength, 'x'),
            "[S]\nk=" + std::string(3000, 'x') + "\n" },
        { "only the first of two sections", "[S]\na=1\n[S]\nk=1\n", "S", "k", "2",
            "[S]\na=1\nk=2\n[S]\nk=1\n" },
        { "blanks at the ends quoted", "[S]\nk=1\n", "S", "k", " ", "[S]\nk=\" \"\n" },
        { "quoted value quoted again", "[S]\n", "S", "k", "'x'", "[S]\nk=\"'x'\"\n" },
        { "line break cut off", "[S]\n", "S", "k", "a\n[S]", "[S]\nk=a\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto ini = ProfileIni::parse(c.before);
        ini.setValue(c.section, c.key, c.value);
        EXPECT_EQ(ini.text(), c.after);
    }
}

TEST(ProfileIni, WrittenValuesReadBackUnchanged)
{
    const char* values[] = { "", ";", ";;", " ", "\t", "\"", "'", "\"\"", "'a'", "\"a\"", " a ",
        "a b", "/home/zażółć/gęś", "C:\\Dir\\", "= =", "[S]", "; not a comment" };
    auto ini = ProfileIni::parse("[S]\nother=1\n");
    for (const std::string value : values) {
        SCOPED_TRACE(value);
        ini.setValue("S", "k", value);
        EXPECT_EQ(ProfileIni::parse(ini.text()).value("S", "k"), value);
        EXPECT_EQ(ProfileIni::parse(ini.text()).value("S", "other"), "1");
    }
}

TEST_F(ProfileIniFiles, UnreadableFilesAreEmpty)
{
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    put(dir / "binary.ini", binary);
    fs::create_directory(dir / "folder.ini");
    for (const auto* name : { "missing.ini", "folder.ini" }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ProfileIni::load(dir / name).text(), "");
    }
    EXPECT_EQ(ProfileIni::load(dir / "binary.ini").value("DEFAULTS", "Separator"), std::nullopt);
}

TEST_F(ProfileIniFiles, SaveAndLoadRoundTrip)
{
    const std::string text = "; comment\n\x01 garbage\n[S]\nk=\"v\"\n";
    const auto file = dir / "a.ini";
    ASSERT_EQ(ProfileIni::parse(text).save(file), std::nullopt);
    EXPECT_EQ(contents(file), text);
    EXPECT_EQ(ProfileIni::load(file).text(), text);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary left";
}

TEST_F(ProfileIniFiles, FailedSaveNamesTheFileAndLeavesNoTemporary)
{
    put(dir / "plain", "x");
    fs::create_directories(dir / "taken.ini" / "inside");
    struct Case {
        const char* what;
        fs::path file;
    };
    const Case cases[] = {
        { "parent is a regular file", dir / "plain" / "a.ini" },
        { "a folder stands there", dir / "taken.ini" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto error = ProfileIni::parse("[S]\nk=v\n").save(c.file);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->message, "Unable to write to " + c.file.filename().string());
    }
    EXPECT_EQ(contents(dir / "plain"), "x");
    EXPECT_TRUE(fs::is_directory(dir / "taken.ini" / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}
