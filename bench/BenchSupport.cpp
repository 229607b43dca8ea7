// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "bench/BenchSupport.h"

#include "app/Display.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace probnik::bench {

std::filesystem::path benchFolder()
{
    const char* dir = std::getenv("PROBNIK_BENCH_DIR");
    return dir && *dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
}

std::uint64_t procValue(const char* file, const std::string& key)
{
    std::ifstream in(file);
    std::string k;
    std::string rest;
    while (in >> k) {
        std::getline(in, rest);
        if (k == key)
            return std::strtoull(rest.c_str(), nullptr, 10);
    }
    return 0;
}

bool openOurs(DisplayReader read, const std::string& path, Canvas& surface)
{
    auto r = read(path, 400);
    if (!r)
        return false;
    const Rect box = display::displayBox(r.value().width, r.value().height);
    surface.stretchDraw(box, r.value().shown);
    benchmark::DoNotOptimize(surface.pixel(box.Left + 1, box.Top + 1));
    return true;
}

bool openQt(const std::string& path, bool tellErrors)
{
    QImageReader reader(QString::fromStdString(path));
    const QImage image = reader.read();
    if (image.isNull()) {
        if (tellErrors)
            std::fprintf(stderr, "Qt: %s\n", qPrintable(reader.errorString()));
        return false;
    }
    const Rect box = display::displayBox(image.width(), image.height());
    const QImage shown
        = image.scaled(box.width(), box.height(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    benchmark::DoNotOptimize(shown.pixel(1, 1));
    return true;
}

std::uint64_t bytesReadByOurs(DisplayReader read, const std::string& path)
{
    Canvas surface(display::ScreenCopyWidth, display::ScreenCopyHeight);
    const std::uint64_t before = procValue("/proc/self/io", "rchar:");
    openOurs(read, path, surface);
    return procValue("/proc/self/io", "rchar:") - before;
}

int peakHelper(
    DisplayReader read, bool tellQtErrors, const std::string& which, const std::string& path)
{
    const std::uint64_t before = procValue("/proc/self/status", "VmRSS:");
    Canvas surface(display::ScreenCopyWidth, display::ScreenCopyHeight);
    const bool opened = which == "qt" ? openQt(path, tellQtErrors) : openOurs(read, path, surface);
    const std::uint64_t peak = procValue("/proc/self/status", "VmHWM:");
    std::printf("%" PRIu64 " %" PRIu64 " %d\n", before, peak, opened ? 1 : 0);
    return 0;
}

std::optional<Peak> measurePeak(
    const char* program, const std::string& which, const std::string& path)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl("/proc/self/exe", program, PeakRssOption, which.c_str(), path.c_str(),
            static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(got));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    unsigned long long before = 0, peak = 0;
    int opened = 0;
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(text.c_str(), "%llu %llu %d", &before, &peak, &opened) != 3 || !opened)
        return std::nullopt;
    return Peak { double(peak) / 1024, double(peak - before) / 1024 };
}

std::string number(double value, const char* format)
{
    char text[32] = "-";
    if (value >= 0)
        std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string peakText(const std::optional<Peak>& peak)
{
    return peak ? number(peak->processMiB, "%.1f") + " (" + number(peak->openingMiB, "%.1f") + ")"
                : std::string("-");
}

void Recorder::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (!run.error_occurred && (run.run_type == Run::RT_Iteration || median))
            m_seconds[run.run_name.function_name]
                = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
}

double Recorder::milliseconds(const std::string& name) const
{
    const auto at = m_seconds.find(name);
    return at == m_seconds.end() ? -1.0 : at->second * 1e3;
}

void photoRow(int y, int width, int height, std::vector<std::uint8_t>& row)
{
    std::uint64_t state = 0x9E3779B97F4A7C15u ^ std::uint64_t(y) * 0x100000001B3u;
    for (int x = 0; x < width; ++x) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const auto noise = std::uint32_t(state >> 16);
        std::uint8_t* p = &row[std::size_t(x) * 3];
        p[0] = std::uint8_t((std::int64_t(x) * 255 / width) ^ (noise & 7));
        p[1] = std::uint8_t((std::int64_t(y) * 255 / height) ^ (noise >> 3 & 7));
        p[2] = std::uint8_t(((x + y) >> 4) ^ (noise >> 6 & 7));
    }
}

std::string idatStream(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(8);
    std::string stream;
    for (;;) {
        unsigned char head[8];
        if (!in.read(reinterpret_cast<char*>(head), 8))
            break;
        const std::uint32_t length
            = std::uint32_t(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
        if (std::memcmp(head + 4, "IDAT", 4) == 0) {
            const std::size_t at = stream.size();
            stream.resize(at + length);
            in.read(stream.data() + at, length);
            in.seekg(4, std::ios::cur);
        } else {
            in.seekg(std::streamoff(length) + 4, std::ios::cur);
        }
    }
    return stream;
}

} // namespace probnik::bench
