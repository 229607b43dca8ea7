// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/WholeFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace probnik {

namespace {

bool writeAll(int fd, std::string_view data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const auto n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The temporaries of `target` are hidden beside it and named after it: ".NAME.probnik-tmp-...".
std::string temporaryPrefix(const std::filesystem::path& target)
{
    return '.' + target.filename().string() + ".probnik-tmp-";
}

// A save killed midway leaves its temporary behind. A save still running holds a lock on its
// own, so only the temporaries nobody holds are removed.
void removeStaleTemporaries(const std::filesystem::path& target)
{
    const auto prefix = temporaryPrefix(target);
    const auto dir = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const auto name = it->path().filename().string();
        if (!name.starts_with(prefix))
            continue;
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st { };
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(it->path().c_str());
        ::close(fd);
    }
}

// A new temporary for `target`, locked for as long as it stays open; -1 on failure.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temp)
{
    static std::atomic<unsigned> counter { 0 };
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target.parent_path()
            / (temporaryPrefix(target) + std::to_string(::getpid()) + '-'
                + std::to_string(counter++));
        // 0666 lets the user's umask decide, as for any newly created file.
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return -1;
        // Another save's clean-up may have removed it between its creation and the lock. Where
        // the file system has no locks, nothing is cleaned up either.
        struct stat st { };
        if (::flock(fd, LOCK_EX) != 0 || (::fstat(fd, &st) == 0 && st.st_nlink > 0))
            return fd;
        ::close(fd);
    }
    return -1;
}

} // namespace

bool writeWholeFile(const std::filesystem::path& file, std::string_view bytes)
{
    std::error_code ec;
    // Replace what a link points at, not the link itself.
    auto target = file;
    if (std::filesystem::is_symlink(file, ec)) {
        target = std::filesystem::weakly_canonical(file, ec);
        if (ec)
            return false;
    }

    removeStaleTemporaries(target);
    std::filesystem::path temp;
    const int fd = createTemporary(target, temp);
    if (fd < 0)
        return false;

    struct stat old { };
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    // Renamed while still open, so the lock keeps other saves' clean-up off it until then.
    const bool replaced
        = writeAll(fd, bytes) && ::fsync(fd) == 0 && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!replaced)
        ::unlink(temp.c_str());
    ::close(fd);
    return replaced;
}

} // namespace probnik
