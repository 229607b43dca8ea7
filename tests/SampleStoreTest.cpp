// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "sampling/SampleStore.h"

#include <gtest/gtest.h>

using namespace probnik;

TEST(SampleStore, RowsPadTheNumberAndTheRedAndGreenValues)
{
    struct Case {
        int n;
        SampleColor color;
        const char* row;
    };
    const Case cases[] = {
        { 7, { 5, 120, 7 }, "7.  R:5   G:120 B:7" },
        { 12, { 255, 0, 34 }, "12. R:255 G:0   B:34" },
        { 1, { 0, 0, 0 }, "1.  R:0   G:0   B:0" },
        { 9, { 9, 9, 9 }, "9.  R:9   G:9   B:9" },
        { 10, { 10, 10, 10 }, "10. R:10  G:10  B:10" },
        { 99, { 99, 99, 99 }, "99. R:99  G:99  B:99" },
        { 100, { 100, 100, 100 }, "100. R:100 G:100 B:100" },
        { 1000, { 255, 255, 255 }, "1000. R:255 G:255 B:255" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(SampleStore::row(c.n, c.color), c.row) << c.n;

    // Rows 1 to 99 line up; from row 100 the colour part moves right by one column.
    const SampleColor same { 50, 60, 70 };
    EXPECT_EQ(SampleStore::row(9, same).size(), SampleStore::row(10, same).size());
    EXPECT_EQ(SampleStore::row(100, same).size(), SampleStore::row(10, same).size() + 1);
    EXPECT_EQ(SampleStore::row(7, { 5, 120, 7 }).size(), 19u);
}

TEST(SampleStore, RowsCanBeReadBackAtTheirColonsAndLetters)
{
    // The export finds R after the first colon, G between "G:" and "B", B after "B:".
    const std::string row = SampleStore::row(321, { 3, 45, 200 });
    EXPECT_EQ(row.find(':'), row.find("R:") + 1);
    EXPECT_EQ(row.find('G'), row.rfind('G'));
    EXPECT_EQ(row.find('B'), row.rfind('B'));
    EXPECT_EQ(row.substr(row.find(':') + 1, row.find('G') - row.find(':') - 1), "3   ");
    EXPECT_EQ(row.substr(row.find("G:") + 2, row.find('B') - row.find("G:") - 2), "45  ");
    EXPECT_EQ(row.substr(row.find("B:") + 2), "200");
}

TEST(SampleStore, RefusesFullListNoPointAndRepeatedPoints)
{
    SampleStore store;
    EXPECT_FALSE(store.accepts({ 0, 0 }));
    EXPECT_TRUE(store.accepts({ 0, 5 }));
    EXPECT_EQ(store.add({ 20, 60 }, rgb(5, 120, 7)), "1.  R:5   G:120 B:7");
    EXPECT_EQ(store.SampleColors[0], (SampleColor { 5, 120, 7 }));
    EXPECT_FALSE(store.accepts({ 20, 60 }));

    // Removing a sample frees its point again; its entries are stale, not cleared.
    store.removeLast();
    EXPECT_EQ(store.SampleCount, 0);
    EXPECT_TRUE(store.accepts({ 20, 60 }));
    store.removeLast();
    EXPECT_EQ(store.SampleCount, 0);

    for (int i = 0; i < SampleStore::MaxSamples; ++i) {
        ASSERT_TRUE(store.accepts({ 20 + i % 400, 60 + i / 400 })) << i;
        store.add({ 20 + i % 400, 60 + i / 400 }, rgb(i % 256, 0, 0));
    }
    EXPECT_EQ(store.SampleCount, 1000);
    EXPECT_FALSE(store.accepts({ 5, 5 }));
    store.removeLast();
    EXPECT_TRUE(store.accepts({ 5, 5 }));
    EXPECT_EQ(store.add({ 5, 5 }, rgb(1, 2, 3)).substr(0, 6), "1000. ");

    store.clear();
    EXPECT_EQ(store.SampleCount, 0);
    EXPECT_TRUE(store.accepts({ 20, 60 }));
}

TEST(SampleStore, CounterText)
{
    EXPECT_EQ(SampleStore::counterText(0), "   0");
    EXPECT_EQ(SampleStore::counterText(1000), "   1000");
}
