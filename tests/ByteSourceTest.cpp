// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Only regular files are read: the others are refused at once, none waits.
#include "picture/ByteSource.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

using namespace probnik;

namespace {

TEST(ByteSource, OnlyRegularFilesOpen)
{
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ("probnik-source-" + std::to_string(getpid()));
    std::filesystem::create_directory(folder);
    const std::string pipe = (folder / "pipe.bmp").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string file = (folder / "file.bmp").string();
    std::FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("BM", f);
    std::fclose(f);
    // A pipe with no writer would block an ordinary open for ever.
    for (const std::string& path : { pipe, std::string("/dev/null"), folder.string() }) {
        const auto opened = ByteSource::open(path);
        ASSERT_FALSE(opened) << path;
        EXPECT_EQ(opened.error().message, "Cannot open file " + path);
    }
    const auto opened = ByteSource::open(file);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened.value()->size(), 2u);
    char bytes[3] = {};
    EXPECT_EQ(opened.value()->read(bytes, 3), 2u);
    EXPECT_STREQ(bytes, "BM");
    std::filesystem::remove_all(folder);
}

} // namespace
