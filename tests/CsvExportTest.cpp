// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/CsvExport.h"
#include "common/NumberText.h"
#include "common/Windows1250.h"
#include "sampling/SampleStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <locale>
#include <sstream>

using namespace probnik;
using namespace probnik::csv;

namespace {

std::string bytes(const std::vector<std::string>& lines)
{
    std::ostringstream out;
    EXPECT_FALSE(write(out, lines).has_value());
    return out.str();
}

std::string row(int n, int r, int g, int b)
{
    return SampleStore::row(n, { r, g, b });
}

} // namespace

TEST(CsvExport, FieldsAreCutAtTheColonAndTheLettersWithTheirBlanks)
{
    struct Case {
        std::string row;
        Fields fields;
    };
    const Case cases[] = {
        { row(1, 5, 120, 7), { "5   ", "120 ", "7" } },
        { row(12, 255, 0, 34), { "255 ", "0   ", "34" } },
        { row(1000, 10, 99, 100), { "10  ", "99  ", "100" } },
        { "no markers", { "no markers", "", "" } },
        { "", { "", "", "" } },
    };
    for (const Case& c : cases) {
        const Fields f = extractFields(c.row);
        EXPECT_EQ(f.r, c.fields.r) << c.row;
        EXPECT_EQ(f.g, c.fields.g) << c.row;
        EXPECT_EQ(f.b, c.fields.b) << c.row;
    }
}

TEST(CsvExport, NumbersHaveFifteenDigitsOfTheStoredFloatAndAPointWhateverTheLocale)
{
    // A locale with a decimal comma must not change the text: one for C++ streams always, and
    // the system's Polish one for the C library where it is installed.
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale savedGlobal
        = std::locale::global(std::locale(std::locale::classic(), new Comma));
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool comma
        = std::setlocale(LC_ALL, "pl_PL.UTF-8") || std::setlocale(LC_ALL, "de_DE.UTF-8");
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        { float(std::sqrt(double(14.0f / 3.0f))), "2.16024684906006" },
        { 1.08012342453003f, "1.08012342453003" },
        { 10.012131690979f, "10.012131690979" },
        { 10.0f, "10" },
        { 50.0f, "50" },
        { 0.0f, "0" },
        { 180.31361389160156f, "180.313613891602" },
        { 0.5f, "0.5" },
        { 1e-7f, "0.00000010000000116861" },
        { 123456.5f, "123456.5" },
        { -2.25f, "-2.25" },
        { 3e20f, "300000006012263000000" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(floatToDotStr(c.value), c.text) << c.value;
    std::setlocale(LC_ALL, saved.c_str());
    std::locale::global(savedGlobal);
    if (!comma)
        GTEST_LOG_(INFO) << "no locale with a decimal comma installed; checked under " << saved;
}

TEST(CsvExport, TheFileHasAHeaderRowsAndStatisticsBesideTheFirstThree)
{
    ColourStatistics stats;
    stats.R = { 200, float(std::sqrt(double(14.0f / 3.0f))), 1.5f };
    stats.G = { 10, 7.5f, 75.0f };

    struct Case {
        std::vector<std::string> rows;
        std::string separator;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        { {}, ";", { "R;G;B;;;;R;G;B" } },
        { { row(1, 5, 120, 7) }, ";", { "R;G;B;;;;R;G;B", "5   ;120 ;7;;;Średnia;200;10;0" } },
        { { row(1, 5, 120, 7), row(2, 1, 2, 3) }, ";",
            { "R;G;B;;;;R;G;B", "5   ;120 ;7;;;Średnia;200;10;0",
                "1   ;2   ;3;;;Odchylenie standardowe;2.16024684906006;7.5;0" } },
        { { row(1, 1, 1, 1), row(2, 2, 2, 2), row(3, 3, 3, 3), row(4, 44, 55, 66),
              row(5, 255, 0, 9) },
            ", ",
            { "R, G, B, , , , R, G, B", "1   , 1   , 1, , , Średnia, 200, 10, 0",
                "2   , 2   , 2, , , Odchylenie standardowe, 2.16024684906006, 7.5, 0",
                "3   , 3   , 3, , , Współczynnik zmienności, 1.5, 75, 0", "44  , 55  , 66",
                "255 , 0   , 9" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(buildLines(c.rows, c.separator, stats), c.lines) << c.rows.size();
}

TEST(CsvExport, TheBytesAreWindows1250WithCrLfAfterEveryLine)
{
    EXPECT_EQ(bytes({ "R;G", "Średnia", "Odchylenie standardowe", "Współczynnik zmienności" }),
        "R;G\r\n\x8C"
        "rednia\r\nOdchylenie standardowe\r\nWsp\xF3\xB3"
        "czynnik zmienno\x9C"
        "ci\r\n");
    EXPECT_EQ(bytes({}), "");
    EXPECT_EQ(bytes({ "" }), "\r\n");
    // The euro sign and the Polish letters exist in the code page; CJK does not.
    EXPECT_EQ(bytes({ "€ąĄżŻ" }), "\x80\xB9\xA5\xBF\xAF\r\n");
    std::ostringstream out;
    EXPECT_TRUE(write(out, { "ok", "漢" }).has_value());
}

TEST(CsvExport, SeparatorCharactersAreExactlyThoseTheCodePageStores)
{
    const std::vector<std::string> characters = windows1250Characters();
    // Tab, the 95 printable ASCII characters and the 123 defined upper characters.
    EXPECT_EQ(characters.size(), 1u + 95u + 123u);
    for (const std::string& c : characters) {
        Result<std::string> back = toWindows1250(c);
        ASSERT_TRUE(back.ok()) << c;
        EXPECT_EQ(back.value().size(), 1u) << c;
    }
    const auto has = [&](const std::string& c) {
        return std::find(characters.begin(), characters.end(), c) != characters.end();
    };
    EXPECT_TRUE(has(";"));
    EXPECT_TRUE(has("ś"));
    EXPECT_TRUE(has("€"));
    EXPECT_FALSE(has("\n"));
    EXPECT_FALSE(has("漢"));
}
