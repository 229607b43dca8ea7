// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer target for one of the PNG, TIFF and JPEG readers, chosen when it is built
// (PROBNIK_FUZZ_READER): every input is read display-sized from memory. Besides the
// sanitizers' findings, a picture that is not exactly box-sized, or a failure with another
// message than the two a file's content can give, is a finding.
#include "picture/JpegReader.h"
#include "picture/PngReader.h"
#include "picture/TiffReader.h"
#include "testing/BmpPathCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    probnik::ByteSource source(data, size);
    probnik::Progress unwatched;
    const auto shown = probnik::PROBNIK_FUZZ_READER(source, 400, unwatched);
    std::string problem = probnik::check::flaw(shown);
    if (!shown && shown.error().message != "Bitmap image is not valid"
        && shown.error().message != "Stream read error")
        problem = "unexpected message: " + shown.error().message;
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
