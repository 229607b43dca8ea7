// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/BmpReader.h"
#include "testing/BmpWholeReader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using namespace probnik;

namespace {

const std::string Suite = std::string(PROBNIK_TEST_DATA) + "/bmpsuite/";

// Pixels whose red, green or blue differ between our decode and Qt's; the first few are
// described in `report`.
int differences(const Canvas& ours, const QImage& qt, std::string& report)
{
    int count = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            const Color c = ours.pixel(x, y);
            const QRgb q = qt.pixel(x, y);
            if (red(c) == qRed(q) && green(c) == qGreen(q) && blue(c) == qBlue(q))
                continue;
            if (++count <= 5) {
                std::ostringstream line;
                line << " (" << x << "," << y << ") ours " << std::hex << c << " Qt "
                     << (q & 0xFFFFFF);
                report += line.str();
            }
        }
    return count;
}

// Compares our decode with what `reader` makes of the same bytes, pixel by pixel.
void compareWithQt(const Result<Canvas>& ours, QImageReader& reader)
{
    const QImage decoded = reader.read();
    if (decoded.isNull())
        GTEST_SKIP() << "Qt cannot read it: " << reader.errorString().toStdString();
    const QImage qt = decoded.convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(ours) << ours.error().message;
    ASSERT_EQ(ours.value().width(), qt.width());
    ASSERT_EQ(ours.value().height(), qt.height());
    std::string report;
    EXPECT_EQ(differences(ours.value(), qt, report), 0) << report;
}

// "g/rgb16-565" becomes "rgb16_565".
std::string testName(const testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param.substr(2);
    for (char& c : name)
        c = c == '-' ? '_' : c;
    return name;
}

class SuiteFile : public testing::TestWithParam<std::string> { };

TEST_P(SuiteFile, DecodesLikeQt)
{
    const std::string path = Suite + GetParam() + ".bmp";
    QImageReader reader(QString::fromStdString(path), "bmp");
    compareWithQt(readBmpFile(path), reader);
}

INSTANTIATE_TEST_SUITE_P(Good, SuiteFile,
    testing::Values("g/pal1", "g/pal1bg", "g/pal1wb", "g/pal4", "g/pal4gs", "g/pal4rle", "g/pal8-0",
        "g/pal8", "g/pal8gs", "g/pal8nonsquare", "g/pal8os2", "g/pal8rle", "g/pal8topdown",
        "g/pal8v4", "g/pal8v5", "g/pal8w124", "g/pal8w125", "g/pal8w126", "g/rgb16-565",
        "g/rgb16-565pal", "g/rgb16", "g/rgb16bfdef", "g/rgb24", "g/rgb24pal", "g/rgb32",
        "g/rgb32bf", "g/rgb32bfdef"),
    testName);

// Damaged files that both readers decode completely. The others differ on purpose: Qt leaves
// pixels that run-length data never sets uninitialised and decodes the rows present in a short
// file, where we show black and report a read error.
INSTANTIATE_TEST_SUITE_P(Bad, SuiteFile,
    testing::Values("b/badbitssize", "b/baddens1", "b/baddens2", "b/badfilesize", "b/pal8badindex",
        "b/rgb16-880", "b/rletopdown"),
    testName);

void put32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += char(v >> (8 * i) & 255);
}

// A 32-bit bit-field file of one row with the given masks and pixels.
std::string bitFieldFile(
    std::uint32_t r, std::uint32_t g, std::uint32_t b, const std::vector<std::uint32_t>& pixels)
{
    std::string file = "BM";
    put32(file, std::uint32_t(14 + 40 + 12 + 4 * pixels.size()));
    put32(file, 0);
    put32(file, 14 + 40 + 12);
    for (std::uint32_t v : { 40u, std::uint32_t(pixels.size()), 1u, 1u | 32u << 16, 3u,
             std::uint32_t(4 * pixels.size()), 0u, 0u, 0u, 0u, r, g, b })
        put32(file, v);
    for (std::uint32_t p : pixels)
        put32(file, p);
    return file;
}

// Mask widths up to 8 bits, contiguous or not, must scale exactly as Qt scales them.
// (Qt turns fields wider than 8 bits into 0; we keep their top 8 bits instead.)
TEST(BmpReaderQt, BitFieldMasksScaleLikeQt)
{
    const std::vector<std::uint32_t> pixels = { 0xFFFFFFFF, 0x12345678, 0x80000000, 0x00000001,
        0xAAAAAAAA, 0x55555555, 0x7FFFFFFF, 0x00000000, 0x0F0F0F0F, 0xF0F0F0F0, 0xDEADBEEF };
    const struct {
        std::uint32_t r, g, b;
    } cases[] = {
        { 0x7C00, 0x03E0, 0x001F },
        { 0xF800, 0x07E0, 0x001F },
        { 0x0F00, 0x00F0, 0x000F },
        { 0x1, 0x2, 0x4 },
        { 0x7, 0x38, 0x1C0 },
        { 0x5, 0x50, 0x500 },
        { 0xFF000000, 0xFF0, 0xFF0000 },
        { 0xC0000000, 0x3F000000, 0xFF },
        { 0, 0xFF00, 0x7 },
        { 0x81, 0x4200, 0x240000 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.r << " " << c.g << " " << c.b);
        const std::string file = bitFieldFile(c.r, c.g, c.b, pixels);
        QByteArray bytes(file.data(), qsizetype(file.size()));
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, "bmp");
        compareWithQt(readBmpBytes(file), reader);
    }
}

} // namespace
