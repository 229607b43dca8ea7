// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/Result.h"
#include "picture/Canvas.h"

#include <istream>
#include <string>

namespace probnik {

// The whole picture of a bitmap, every pixel decoded: the reference the display reader is
// checked against. Same formats and messages as readBmpForDisplay; pictures above 2^28
// pixels are refused as not valid.
Result<Canvas> readBmpFile(const std::string& path);
Result<Canvas> readBmp(std::istream& in);

} // namespace probnik
