// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/WholeFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

// A replaced file keeps its permissions and a link keeps pointing at it; a failure leaves
// what was there and no temporary beside it.
TEST(WholeFile, ReplacesInPlaceOrLeavesEverythingAsItWas)
{
    std::string pattern = (fs::temp_directory_path() / "probnik-whole-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;

    const auto file = dir / "real.csv";
    std::ofstream(file, std::ios::binary) << "old";
    ::chmod(file.c_str(), 0640);
    fs::create_symlink(file, dir / "link.csv");
    ASSERT_TRUE(probnik::writeWholeFile(dir / "link.csv", "new\r\n"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(contents(file), "new\r\n");
    struct stat st { };
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    fs::create_directories(dir / "taken.csv" / "inside");
    EXPECT_FALSE(probnik::writeWholeFile(dir / "taken.csv", "x"));
    EXPECT_FALSE(probnik::writeWholeFile(file / "below-a-file.csv", "x"));
    EXPECT_TRUE(fs::is_directory(dir / "taken.csv" / "inside"));
    EXPECT_EQ(contents(file), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3)
        << "no temporary left";
    fs::remove_all(dir);
}

// A save killed midway (here by the file size limit's signal) leaves its temporary; the next
// save to the same file removes it, and leaves the temporaries of other files alone.
TEST(WholeFile, ASaveRemovesWhatAKilledSaveOfTheSameFileLeft)
{
    std::string pattern = (fs::temp_directory_path() / "probnik-whole-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const auto killedSave = [](const fs::path& file) {
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit noCore { 0, 0 };
            ::setrlimit(RLIMIT_CORE, &noCore);
            const rlimit small { 16, 16 };
            ::setrlimit(RLIMIT_FSIZE, &small);
            std::signal(SIGXFSZ, SIG_DFL);
            probnik::writeWholeFile(file, std::string(4096, 'x'));
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFSIGNALED(status);
    };
    const auto entries
        = [&dir] { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); };
    ASSERT_TRUE(killedSave(dir / "a.csv"));
    ASSERT_TRUE(killedSave(dir / "b.csv"));
    ASSERT_EQ(entries(), 2) << "each killed save left its temporary";
    ASSERT_TRUE(killedSave(dir / "b.csv"));
    ASSERT_EQ(entries(), 2) << "the second killed save of b.csv removed the first one's";

    ASSERT_TRUE(probnik::writeWholeFile(dir / "b.csv", "b"));
    EXPECT_EQ(entries(), 2) << "b.csv and a.csv's temporary";
    ASSERT_TRUE(probnik::writeWholeFile(dir / "a.csv", "a"));
    EXPECT_EQ(entries(), 2) << "only a.csv and b.csv";
    EXPECT_EQ(contents(dir / "a.csv"), "a");
    fs::remove_all(dir);
}

} // namespace
