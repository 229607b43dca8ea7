// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// JPEG files that a few bytes make costly: progressive pictures too large to keep, scans by
// the hundred, thousands of APP segments; rectangles of a file's pixels as the whole picture
// shows them.
#include "picture/JpegReader.h"
#include "testing/RegionCheck.h"

#include <gtest/gtest.h>

// jpeglib.h needs the types of stdio.h declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace probnik;

namespace {

// A marker libjpeg writes after its own headers: its code and its data.
struct Marker {
    int code;
    std::string data;
};

// A grey picture of noise (or of one grey when `flat`), compressed with these scans (one
// baseline scan when none), with these markers.
std::string jpeg(int width, int height, const std::vector<jpeg_scan_info>& scans, bool flat,
    const std::vector<Marker>& markers = {})
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    if (!scans.empty()) {
        info.scan_info = scans.data();
        info.num_scans = int(scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    for (const Marker& m : markers)
        jpeg_write_marker(
            &info, m.code, reinterpret_cast<const JOCTET*>(m.data.data()), unsigned(m.data.size()));
    std::mt19937 random(5);
    std::vector<JSAMPLE> row(std::size_t(width), 128);
    while (info.next_scanline < info.image_height) {
        for (JSAMPLE& s : row)
            s = flat ? 128 : JSAMPLE(random());
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

// Progressive scans of one component: each coefficient alone, and when `refinements` is above
// 0 first without its low bits and then refined bit by bit, 1 + refinements scans each.
std::vector<jpeg_scan_info> coefficientScans(int refinements)
{
    std::vector<jpeg_scan_info> scans;
    for (int k = 0; k < 64; ++k) {
        scans.push_back({ 1, { 0 }, k, k, 0, refinements });
        for (int bit = refinements; bit > 0; --bit)
            scans.push_back({ 1, { 0 }, k, k, bit, bit - 1 });
    }
    return scans;
}

// The frame header says this size instead; the data then ends early, decoded as flat.
std::string withSize(std::string bytes, int width, int height)
{
    for (std::size_t i = 0; i + 9 < bytes.size(); ++i)
        if (std::uint8_t(bytes[i]) == 0xFF && (bytes[i + 1] == '\xC0' || bytes[i + 1] == '\xC2')) {
            bytes[i + 5] = char(height >> 8);
            bytes[i + 6] = char(height & 255);
            bytes[i + 7] = char(width >> 8);
            bytes[i + 8] = char(width & 255);
            break;
        }
    return bytes;
}

Result<DisplayPicture> read(ByteSource& source)
{
    Progress unwatched;
    return readJpegForDisplay(source, 400, unwatched);
}

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The coefficients of a progressive picture fit in 200 MiB up to about 10000 x 10000 grey;
// a larger one is refused before they are made. A file of more than 100 scans is refused.
TEST(JpegReader, ProgressiveLimits)
{
    const std::vector<jpeg_scan_info> progressive = coefficientScans(0);
    const std::string small = jpeg(16, 16, progressive, true);
    const struct {
        const char* what;
        std::string bytes;
        bool valid;
    } cases[] = {
        { "10000 x 10000", withSize(small, 10000, 10000), true },
        { "22000 x 22000", withSize(small, 22000, 22000), false },
        { "64 scans", jpeg(64, 64, progressive, false), true },
        { "128 scans", jpeg(64, 64, coefficientScans(1), false), false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ByteSource source(c.bytes);
        const long before = peakKilobytes();
        const auto r = read(source);
        EXPECT_EQ(r.ok(), c.valid) << (r ? "" : r.error().message);
        if (!c.valid) {
            EXPECT_EQ(r.error().message, "Bitmap image is not valid");
        }
        EXPECT_LT(peakKilobytes() - before, 256 * 1024);
    }
}

// Scans taken in before the first row: a stop is obeyed there.
TEST(JpegReader, StopsWhenToldWhileTakingScansIn)
{
    const std::string bytes = jpeg(1024, 1024, coefficientScans(0), false);
    ByteSource source(bytes);
    int calls = 0;
    Progress stopAtFive([&](double) { return ++calls < 5; });
    const auto r = readJpegForDisplay(source, 400, stopAtFive);
    ASSERT_FALSE(r);
    EXPECT_TRUE(r.error().cancelled);
    EXPECT_EQ(calls, 5);
    EXPECT_LT(source.bytesRead(), bytes.size() / 4);
}

// Counts the runs of a region read.
struct RunCounter : PixelSink {
    int runs = 0;
    void run(const PixelRun&) override { ++runs; }
};

// A region read obeys a stop while the scans are taken in and among the rows, and hands
// nothing over after it.
TEST(JpegReader, RegionsStopWhenTold)
{
    const struct {
        const char* what;
        std::string bytes;
        int stopAt;
        bool rowsHanded;
    } cases[] = {
        { "progressive", jpeg(1024, 1024, coefficientScans(0), false), 5, false },
        { "baseline", jpeg(1024, 1024, {}, false), 100, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ByteSource source(c.bytes);
        RunCounter counter;
        int calls = 0, runsAtStop = -1;
        Progress stop([&](double) {
            if (++calls < c.stopAt)
                return true;
            runsAtStop = counter.runs;
            return false;
        });
        const Rect all[] = { { 0, 0, 1024, 1024 } };
        const auto r = readJpegRegions(source, all, counter, stop);
        ASSERT_FALSE(r);
        EXPECT_TRUE(r.error().cancelled);
        EXPECT_EQ(calls, c.stopAt);
        EXPECT_EQ(counter.runs, runsAtStop);
        EXPECT_EQ(counter.runs > 0, c.rowsHanded);
    }
}

// 8000 APP1 segments of 64 KB before the frame, half a gigabyte in a sparse file, then the
// EXIF segment: none of the others is kept, and the EXIF orientation is still found.
TEST(JpegReader, ManyAppSegmentsAreNotKept)
{
    std::string exif = std::string("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01", 16);
    exif += std::string("\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 16); // orientation 6
    const std::string picture = jpeg(40, 30, {}, false);
    char path[] = "/tmp/probnik-jpeg-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    off_t at = 0;
    const auto write = [&](const std::string& bytes) {
        ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), at), ssize_t(bytes.size()));
        at += off_t(bytes.size());
    };
    write("\xFF\xD8");
    for (int i = 0; i < 8000; ++i) {
        write("\xFF\xE1\xFF\xFF");
        at += 0xFFFF - 2; // zeros: no EXIF
    }
    write(std::string("\xFF\xE1\0", 3) + char(exif.size() + 2) + exif);
    write(picture.substr(2));
    close(fd);
    auto source = ByteSource::open(path);
    unlink(path);
    ASSERT_TRUE(source);
    const long before = peakKilobytes();
    const auto r = read(*source.value());
    EXPECT_LT(peakKilobytes() - before, 64 * 1024);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r.value().width, 30);
    EXPECT_EQ(r.value().height, 40);
    EXPECT_LT(source.value()->bytesRead(), 8000u * 64 * 1024 / 10);
}

// Big-endian EXIF data whose EXIF directory holds ColorSpace and a pointer to an
// interoperability directory at `interop` (56 where it is put; at 60 its entries run
// past the end) holding this index.
std::string exif(unsigned colorSpace, const char* index, std::uint32_t interop = 56)
{
    std::string e = std::string("Exif\0\0MM\0\x2a\0\0\0\x08", 14);
    const auto add = [&e](std::initializer_list<unsigned> bytes) {
        for (const unsigned b : bytes)
            e += char(b);
    };
    add({ 0, 1, 0x87, 0x69, 0, 4, 0, 0, 0, 1, 0, 0, 0, 26, 0, 0, 0, 0 }); // to the EXIF directory
    add({ 0, 2, 0xA0, 0x01, 0, 3, 0, 0, 0, 1, colorSpace >> 8, colorSpace & 255, 0, 0 });
    add({ 0xA0, 0x05, 0, 4, 0, 0, 0, 1, interop >> 24, interop >> 16 & 255, interop >> 8 & 255,
        interop & 255, 0, 0, 0, 0 });
    add({ 0, 1, 0, 1, 0, 2, 0, 0, 0, 4 });
    e += std::string(index, 3) + '\0';
    add({ 0, 0, 0, 0 });
    return e;
}

// APP2 piece `number` of `count` of a profile.
Marker piece(int number, int count, const std::string& bytes)
{
    return { JPEG_APP0 + 2, std::string("ICC_PROFILE\0", 12) + char(number) + char(count) + bytes };
}

// The profile of APP2 segments, put together in their numbers' order whatever the order in
// the file, else what EXIF says; an incomplete profile is none.
TEST(JpegReader, ColourDescriptionOfProfileOrExif)
{
    using Kind = ColourDescription::Kind;
    std::string profile(150000, '\0');
    std::mt19937 random(3);
    for (char& b : profile)
        b = char(random());
    const std::string a = profile.substr(0, 60000), b = profile.substr(60000, 60000),
                      c = profile.substr(120000);
    const Marker srgb { JPEG_APP0 + 1, exif(1, "R98") };
    const Marker r03 { JPEG_APP0 + 1, exif(0xFFFF, "R03") };
    const struct {
        const char* what;
        std::vector<Marker> markers;
        Kind kind;
        const char* source;
    } cases[] = {
        { "three pieces in order", { piece(1, 3, a), piece(2, 3, b), piece(3, 3, c) },
            Kind::Embedded, "JPEG APP2" },
        { "three pieces in another order, and EXIF",
            { srgb, piece(2, 3, b), piece(3, 3, c), piece(1, 3, a) }, Kind::Embedded, "JPEG APP2" },
        { "a piece missing", { r03, piece(1, 3, a), piece(3, 3, c) }, Kind::AdobeRgb, "EXIF R03" },
        { "a piece twice", { srgb, piece(1, 3, a), piece(1, 3, a), piece(3, 3, c) }, Kind::Srgb,
            "EXIF ColorSpace 1" },
        { "counts disagreeing", { piece(1, 2, a), piece(2, 3, b) }, Kind::None, "" },
        { "ColorSpace 1", { srgb }, Kind::Srgb, "EXIF ColorSpace 1" },
        { "R03", { r03 }, Kind::AdobeRgb, "EXIF R03" },
        { "R98", { { JPEG_APP0 + 1, exif(0xFFFF, "R98") } }, Kind::None, "" },
        { "R03 beyond the segment", { { JPEG_APP0 + 1, exif(0xFFFF, "R03", 60) } }, Kind::None,
            "" },
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.what);
        const std::string bytes = jpeg(16, 16, {}, true, t.markers);
        ByteSource source(bytes);
        const auto r = read(source);
        ASSERT_TRUE(r) << r.error().message;
        const ColourDescription& colour = r.value().colour;
        EXPECT_EQ(colour.kind, t.kind);
        EXPECT_EQ(colour.source, t.source);
        EXPECT_EQ(std::string(colour.icc.begin(), colour.icc.end()),
            t.kind == Kind::Embedded ? profile : "");
        EXPECT_TRUE(r.value().grey);
        EXPECT_EQ(r.value().bits, 8);
    }
}

// An EXIF segment giving only the orientation.
Marker orientationMarker(int orientation)
{
    std::string exif
        = std::string("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25);
    return { JPEG_APP0 + 1, exif + char(orientation) + std::string(6, '\0') };
}

// A colour picture of noise with these sampling factors of the luma (the chroma's being 1 x 1),
// progressive or baseline, behind an EXIF segment giving this orientation.
std::string colourJpeg(
    int width, int height, int hSampling, int vSampling, bool progressive, int orientation)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.comp_info[0].h_samp_factor = hSampling;
    info.comp_info[0].v_samp_factor = vSampling;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const Marker exif = orientationMarker(orientation);
    jpeg_write_marker(&info, exif.code, reinterpret_cast<const JOCTET*>(exif.data.data()),
        unsigned(exif.data.size()));
    std::mt19937 random(11);
    std::vector<JSAMPLE> row(3 * std::size_t(width));
    while (info.next_scanline < info.image_height) {
        for (JSAMPLE& s : row)
            s = JSAMPLE(random());
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

// Rectangles at the edges and corners, in every orientation and sampling, read together and
// each on its own (so that rows are cropped and skipped), are the whole picture's pixels; the
// smooth upsampling of subsampled chroma included.
TEST(JpegReader, RegionsAreTheWholePicturesPixels)
{
    const struct {
        const char* what;
        int hSampling, vSampling;
        bool progressive, grey;
        int orientation;
    } cases[] = {
        { "4:2:0", 2, 2, false, false, 1 },
        { "4:2:0, orientation 2", 2, 2, false, false, 2 },
        { "4:2:0, orientation 3", 2, 2, false, false, 3 },
        { "4:2:0, orientation 4", 2, 2, false, false, 4 },
        { "4:2:0, orientation 5", 2, 2, false, false, 5 },
        { "4:2:0, orientation 6", 2, 2, false, false, 6 },
        { "4:2:0, orientation 7", 2, 2, false, false, 7 },
        { "4:2:0, orientation 8", 2, 2, false, false, 8 },
        { "4:2:2", 2, 1, false, false, 1 },
        { "4:4:0, orientation 6", 1, 2, false, false, 6 },
        { "4:4:4", 1, 1, false, false, 1 },
        { "progressive 4:2:0, orientation 8", 2, 2, true, false, 8 },
        { "grey, orientation 5", 1, 1, false, true, 5 },
    };
    const int width = 83, height = 58;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string bytes = c.grey
            ? jpeg(width, height, {}, false, { orientationMarker(c.orientation) })
            : colourJpeg(width, height, c.hSampling, c.vSampling, c.progressive, c.orientation);
        ByteSource wholeSource(bytes);
        Progress unwatched;
        const auto whole = readJpegForDisplay(wholeSource, std::max(width, height), unwatched);
        ASSERT_TRUE(whole) << whole.error().message;
        const bool turned = c.orientation >= 5;
        ASSERT_EQ(whole.value().width, turned ? height : width);
        const std::vector<Rect> regions
            = check::edgeRegions(whole.value().width, whole.value().height);
        std::vector<std::vector<Rect>> requests { regions };
        for (const Rect& r : regions)
            requests.push_back({ r });
        for (const std::vector<Rect>& request : requests) {
            SCOPED_TRACE(std::to_string(request.size()) + " rectangles from "
                + std::to_string(request[0].Left) + "," + std::to_string(request[0].Top));
            ByteSource source(bytes);
            check::RegionPixels sink(request);
            const auto read = readJpegRegions(source, request, sink, unwatched);
            ASSERT_TRUE(read) << read.error().message;
            EXPECT_EQ(sink.disagreement(read, whole), "");
        }
    }
}

} // namespace
