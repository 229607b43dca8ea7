// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/Picture.h"

#include "picture/FileRegions.h"

#include "picture/BmpReader.h"
#include "picture/ByteSource.h"
#include "picture/JpegReader.h"
#include "picture/PngReader.h"
#include "picture/TiffReader.h"

#include <algorithm>
#include <cstring>

namespace probnik {

namespace {

enum class Format { Bmp, Png, Jpeg, Tiff };

// The format the first bytes announce; BMP when none does, so that a file of any other
// content is told not valid by the BMP reader. The source is left at its start.
Format formatOf(ByteSource& source)
{
    unsigned char start[8] = {};
    const std::size_t got = source.readSome(start, sizeof start);
    source.seek(0);
    if (got >= 8 && std::memcmp(start, "\x89PNG\r\n\x1a\n", 8) == 0)
        return Format::Png;
    if (got >= 3 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF)
        return Format::Jpeg;
    if (got >= 4
        && (std::memcmp(start, "II*\0", 4) == 0 || std::memcmp(start, "MM\0*", 4) == 0
            || std::memcmp(start, "II+\0", 4) == 0 || std::memcmp(start, "MM\0+", 4) == 0))
        return Format::Tiff;
    return Format::Bmp;
}

} // namespace

Result<DisplayPicture> readPictureForDisplay(const std::string& path, int boxSide)
{
    Progress unwatched;
    return readPictureForDisplay(path, boxSide, unwatched);
}

Result<DisplayPicture> readPictureForDisplay(
    const std::string& path, int boxSide, Progress& progress)
{
    // Opened once: the format is told from the first bytes, and its reader goes on from there.
    auto opened = ByteSource::open(path);
    if (!opened)
        return opened.error();
    ByteSource& source = *opened.value();
    switch (formatOf(source)) {
    case Format::Png:
        return readPngForDisplay(source, boxSide, progress);
    case Format::Jpeg:
        return readJpegForDisplay(source, boxSide, progress);
    case Format::Tiff:
        return readTiffForDisplay(source, boxSide, progress);
    case Format::Bmp:
        break;
    }
    return readBmpForDisplay(source, boxSide, progress);
}

Result<FilePixelsInfo> readFileRegions(
    const std::string& path, std::span<const Rect> regions, PixelSink& sink, Progress& progress)
{
    auto opened = ByteSource::open(path);
    if (!opened)
        return opened.error();
    ByteSource& source = *opened.value();
    switch (formatOf(source)) {
    case Format::Png:
        return readPngRegions(source, regions, sink, progress);
    case Format::Jpeg:
        return readJpegRegions(source, regions, sink, progress);
    case Format::Tiff:
        return readTiffRegions(source, regions, sink, progress);
    case Format::Bmp:
        break;
    }
    return readBmpRegions(source, regions, sink, progress);
}

bool isPicturePath(const std::string& path)
{
    std::string lower = path;
    // ASCII letters only, whatever the locale.
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    // ".tif" also finds ".tiff", ".jpg" does not find ".jpeg".
    for (const char* extension : { ".bmp", ".png", ".tif", ".jpg", ".jpeg" })
        if (lower.find(extension) != std::string::npos)
            return true;
    return false;
}

} // namespace probnik
