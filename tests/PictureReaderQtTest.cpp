// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// PNG, TIFF and JPEG pictures made by ImageMagick in every layout that reads differently,
// read display-sized and compared pixel for pixel with what QImageReader makes of the whole
// picture under the same nearest-pixel mapping; damaged and short files give the messages.
#include "picture/JpegReader.h"
#include "picture/Picture.h"
#include "picture/ShownPixels.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

using namespace probnik;

namespace {

struct Variant {
    const char* name; // also the file name, with its extension
    const char* options; // ImageMagick's, between the source picture and the output
    // The variant whose reading by Qt is compared, where Qt cannot read this one right:
    // the same pixels in another layout.
    const char* qtTwin = nullptr;
};

const Variant Variants[] = {
    { "grey1.png", "-colorspace Gray -depth 1 -define png:bit-depth=1 -define png:color-type=0" },
    { "grey2.png", "-colorspace Gray -depth 2 -define png:bit-depth=2 -define png:color-type=0" },
    { "grey4.png", "-colorspace Gray -depth 4 -define png:bit-depth=4 -define png:color-type=0" },
    { "grey8.png", "-colorspace Gray -depth 8 -define png:color-type=0" },
    { "grey16.png", "-colorspace Gray -depth 16 -define png:color-type=0" },
    { "greyalpha16.png", "-colorspace Gray -alpha set -channel A -evaluate set 60% +channel" },
    { "palette4.png", "-colors 12 -define png:bit-depth=4 -define png:color-type=3" },
    { "palette8.png", "-colors 50 -define png:color-type=3" },
    { "rgb8.png", "-depth 8" },
    { "rgb16.png", "-depth 16" },
    { "rgba8.png", "-alpha set -channel A -evaluate set 60% +channel -depth 8" },
    { "rgba16.png", "-alpha set -channel A -evaluate set 30% +channel -depth 16" },
    { "interlaced_rgb8.png", "-interlace PNG -depth 8" },
    { "interlaced_grey16.png", "-interlace PNG -colorspace Gray -depth 16" },
    { "interlaced_palette4.png",
        "-interlace PNG -colors 12 -define png:bit-depth=4 -define png:color-type=3" },
    { "strips_none_rgb8.tif", "-compress None -depth 8" },
    { "strips_lzw_rgb16.tif", "-compress LZW -depth 16 -define tiff:rows-per-strip=5" },
    { "strips_deflate_rgb8.tif", "-compress Zip -depth 8 -define tiff:rows-per-strip=7" },
    { "strips_packbits_grey8.tif", "-compress RLE -colorspace Gray -depth 8" },
    { "strips_planar_rgb8.tif", "-compress LZW -interlace Plane -depth 8" },
    // Qt reads the planes of 16-bit samples wrongly.
    { "strips_planar_rgb16.tif", "-compress None -interlace Plane -depth 16",
        "strips_lzw_rgb16.tif" },
    { "strips_grey16.tif", "-compress None -colorspace Gray -depth 16" },
    { "strips_grey1.tif", "-compress None -colorspace Gray -monochrome" },
    { "strips_miniswhite4.tif",
        "-compress None -colorspace Gray -depth 4 -define tiff:photometric=min-is-white" },
    // Palette entries of 8 bits (stored as v * 257), where Qt truncates other 16-bit entries.
    { "strips_palette8.tif", "-compress LZW -colors 40 -depth 8 -type Palette" },
    { "strips_palette4.tif", "-compress None -colors 9 -depth 8 -type Palette -depth 4" },
    // Qt cannot read these tiles.
    { "tiles_none_rgb8.tif", "-compress None -define tiff:tile-geometry=16x16 -depth 8",
        "strips_none_rgb8.tif" },
    { "tiles_deflate_rgb16.tif", "-compress Zip -define tiff:tile-geometry=32x16 -depth 16" },
    { "tiles_planar_rgb8.tif",
        "-compress LZW -interlace Plane -define tiff:tile-geometry=16x32 -depth 8" },
    { "tiles_grey8.tif", "-compress RLE -define tiff:tile-geometry=16x16 -colorspace Gray" },
    { "tiles_palette8.tif",
        "-compress None -define tiff:tile-geometry=16x16 -colors 40 -depth 8 -type Palette",
        "strips_palette8.tif" },
    { "baseline420.jpg", "-sampling-factor 2x2 -quality 85" },
    { "baseline444.jpg", "-sampling-factor 1x1 -quality 92" },
    { "baseline422.jpg", "-sampling-factor 2x1 -quality 75" },
    { "progressive420.jpg", "-interlace JPEG -sampling-factor 2x2" },
    { "progressive444.jpg", "-interlace JPEG -sampling-factor 1x1" },
    { "grey.jpg", "-colorspace Gray" },
    { "progressive_grey.jpg", "-colorspace Gray -interlace JPEG" },
};

// Every variant is made once, from the same picture, into a folder of the test run.
class Pictures : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        ASSERT_EQ(
            convert({ "-size", "61x43", "-seed", "7", "plasma:fractal", path("base.png") }), 0)
            << "ImageMagick's convert is needed";
        for (const Variant& v : Variants) {
            QStringList arguments { path("base.png") };
            arguments += QString::fromLatin1(v.options).split(QLatin1Char(' '));
            arguments += path(v.name);
            ASSERT_EQ(convert(arguments), 0) << v.name;
        }
    }
    static void TearDownTestSuite() { folder.reset(); }

    static int convert(const QStringList& arguments)
    {
        return QProcess::execute(QStringLiteral("convert"), arguments);
    }
    static QString path(const char* name) { return folder->filePath(QString::fromLatin1(name)); }
    static QByteArray bytes(const char* name)
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QString write(const char* name, const QByteArray& content)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return path(name);
    }

    static std::unique_ptr<QTemporaryDir> folder;
};
std::unique_ptr<QTemporaryDir> Pictures::folder;

// Compares the display-sized read of `file` in a box of `side` with Qt's whole picture under
// the box's nearest-pixel mapping; Qt's 16-bit values go through the same rule as ours.
void compareWithQt(const QString& file, int side, const QString& qtFile = {})
{
    SCOPED_TRACE(file.toStdString() + " in a box of " + std::to_string(side));
    QImageReader reader(qtFile.isEmpty() ? file : qtFile);
    reader.setAutoTransform(true);
    const QImage qt = reader.read();
    ASSERT_FALSE(qt.isNull()) << reader.errorString().toStdString();
    const Result<DisplayPicture> read = readPictureForDisplay(file.toStdString(), side);
    ASSERT_TRUE(read) << read.error().message;
    const DisplayPicture& ours = read.value();
    ASSERT_EQ(ours.width, qt.width());
    ASSERT_EQ(ours.height, qt.height());
    const Size box = fitInBox(ours.width, ours.height, side);
    ASSERT_EQ(ours.shown.width(), box.width);
    ASSERT_EQ(ours.shown.height(), box.height);
    int differences = 0;
    std::ostringstream report;
    for (int j = 0; j < box.height; ++j)
        for (int i = 0; i < box.width; ++i) {
            const int x = int(std::int64_t(i) * ours.width / box.width);
            const int y = int(std::int64_t(j) * ours.height / box.height);
            const QRgba64 q = qt.pixelColor(x, y).rgba64();
            const Color expected
                = rgb(eightBits(q.red()), eightBits(q.green()), eightBits(q.blue()));
            const Color c = ours.shown.pixel(i, j);
            if (c != expected && ++differences <= 5)
                report << " (" << x << "," << y << ") ours " << std::hex << c << " Qt " << expected
                       << std::dec;
        }
    EXPECT_EQ(differences, 0) << report.str();
}

TEST_F(Pictures, EveryLayoutReadsLikeQt)
{
    for (const Variant& v : Variants)
        for (const int side : { 400, 29 }) // enlarged, then every few pixels
            compareWithQt(path(v.name), side, v.qtTwin ? path(v.qtTwin) : QString());
}

// An EXIF block that gives only the orientation, as an APP1 segment.
QByteArray exifSegment(int orientation, bool littleEndian)
{
    QByteArray tiff
        = littleEndian ? QByteArray("II*\0\x08\0\0\0", 8) : QByteArray("MM\0*\0\0\0\x08", 8);
    const auto u16 = [&](int v) {
        const char a = char(v & 255), b = char(v >> 8 & 255);
        tiff += littleEndian ? QByteArray { a, b } : QByteArray { b, a };
    };
    u16(1); // one entry: Orientation, SHORT, one value
    u16(0x0112);
    u16(3);
    littleEndian ? tiff.append("\x01\0\0\0", 4) : tiff.append("\0\0\0\x01", 4);
    u16(orientation);
    u16(0);
    tiff.append(4, '\0'); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    return QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 255) + payload;
}

TEST_F(Pictures, EveryOrientationAppearsAsQtShowsIt)
{
    for (const char* name : { "baseline420.jpg", "progressive444.jpg" }) {
        const QByteArray jpeg = bytes(name);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            QByteArray turned = jpeg;
            turned.insert(2, exifSegment(orientation, orientation % 2 == 0));
            const QString file = write("turned.jpg", turned);
            compareWithQt(file, 400);
            compareWithQt(file, 31);
        }
    }
}

// `file` with the byte at `at` (counted from the end when negative) changed.
QByteArray damaged(QByteArray file, qsizetype at)
{
    at = at < 0 ? file.size() + at : at;
    file[at] = char(file[at] ^ 0x5A);
    return file;
}

TEST_F(Pictures, DamagedAndShortFilesGiveTheMessages)
{
    const QByteArray tiffNoEntries("II*\0\x08\0\0\0\0\0\0\0\0\0", 14);
    ASSERT_EQ(convert({ path("base.png"), "-define", "quantum:format=floating-point", "-depth",
                  "32", path("float.tif") }),
        0);
    const QByteArray jpeg = bytes("baseline420.jpg");
    // The precision of the frame header: 8 bits, and nothing else, in baseline files.
    const qsizetype precision = jpeg.indexOf(QByteArray("\xFF\xC0", 2)) + 4;
    const struct {
        const char* name;
        QByteArray content;
        const char* message;
    } cases[] = {
        { "short.png", bytes("rgb8.png").left(bytes("rgb8.png").size() / 2), "Stream read error" },
        { "short_interlaced.png", bytes("interlaced_rgb8.png").left(400), "Stream read error" },
        { "short.tif", bytes("strips_none_rgb8.tif").left(3000), "Stream read error" },
        { "short_tiles.tif", bytes("tiles_deflate_rgb16.tif").left(5000), "Stream read error" },
        { "short.jpg", bytes("baseline420.jpg").left(bytes("baseline420.jpg").size() / 2),
            "Stream read error" },
        { "short_progressive.jpg", bytes("progressive420.jpg").left(900), "Stream read error" },
        { "signature.png", QByteArray("\x89PNG\r\n\x1a\n", 8), "Stream read error" },
        { "header_crc.png", damaged(bytes("rgb8.png"), 18), "Bitmap image is not valid" },
        { "precision.jpg", damaged(jpeg, precision), "Bitmap image is not valid" },
        { "empty_directory.tif", tiffNoEntries, "Bitmap image is not valid" },
        { "float.tif", bytes("float.tif"), "Bitmap image is not valid" },
        { "other.png", QByteArray("GIF89a", 6) + QByteArray(40, '\0'),
            "Bitmap image is not valid" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto read = readPictureForDisplay(write(c.name, c.content).toStdString(), 400);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().message, c.message);
    }
    const std::string missing = path("missing.png").toStdString();
    EXPECT_EQ(readPictureForDisplay(missing, 400).error().message, "Cannot open file " + missing);
}

TEST(PicturePath, ExtensionsInAnyCase)
{
    for (const char* path : { "a.bmp", "B.PNG", "c.Tif", "d.TIFF", "e.jpg", "f.JPEG", "x.bmp/y" })
        EXPECT_TRUE(isPicturePath(path)) << path;
    for (const char* path : { "a.gif", "b.jpe", "c.pn", "d", "e.webp" })
        EXPECT_FALSE(isPicturePath(path)) << path;
}

} // namespace
