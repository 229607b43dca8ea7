// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"
#include "picture/ByteSource.h"
#include "picture/Canvas.h"
#include "picture/DisplayPicture.h"

#include <string>
#include <string_view>

namespace probnik {

// The whole picture of a bitmap, every pixel decoded: the reference the display reader is
// checked against. Same formats and messages as readBmpForDisplay; pictures above 2^28
// pixels are refused as not valid.
Result<Canvas> readBmpFile(const std::string& path);
Result<Canvas> readBmp(ByteSource& in);
Result<Canvas> readBmpBytes(std::string_view bytes);

// The display-sized picture of a bitmap file or of bytes in memory, read as the program reads
// a bitmap, with no progress watched.
Result<DisplayPicture> readBmpFileForDisplay(const std::string& path, int boxSide);
Result<DisplayPicture> readBmpBytesForDisplay(std::string_view bytes, int boxSide);

} // namespace probnik
