// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Profiles made here with Little CMS, checked against L*a*b* worked out below from each
// space's published primaries, white and transfer function.
#include "colour/ColourProfile.h"
#include "analysis/Colorimetry.h"
#include "colour/LabConversion.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace probnik;
using namespace probnik::colour;

using Bytes = std::vector<std::uint8_t>;
using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;

// ---- The reference: plain formulas, nothing of the code under test. ----

Vec xyzOf(double x, double y)
{
    return { x / y, 1.0, (1 - x - y) / y };
}

Mat inverse(const Mat& m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
        - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat r;
    r[0] = { m[1][1] * m[2][2] - m[1][2] * m[2][1], m[0][2] * m[2][1] - m[0][1] * m[2][2],
        m[0][1] * m[1][2] - m[0][2] * m[1][1] };
    r[1] = { m[1][2] * m[2][0] - m[1][0] * m[2][2], m[0][0] * m[2][2] - m[0][2] * m[2][0],
        m[0][2] * m[1][0] - m[0][0] * m[1][2] };
    r[2] = { m[1][0] * m[2][1] - m[1][1] * m[2][0], m[0][1] * m[2][0] - m[0][0] * m[2][1],
        m[0][0] * m[1][1] - m[0][1] * m[1][0] };
    for (auto& row : r)
        for (double& v : row)
            v /= det;
    return r;
}

Mat product(const Mat& a, const Mat& b)
{
    Mat r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

Vec mul(const Mat& m, Vec v)
{
    return { m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
        m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
        m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2] };
}

// Bradford (Lam 1985) from one white to another, whites with Y = 1.
Mat bradford(Vec from, Vec to)
{
    const Mat b = { Vec { 0.8951, 0.2664, -0.1614 }, Vec { -0.7502, 1.7135, 0.0367 },
        Vec { 0.0389, -0.0685, 1.0296 } };
    const Vec s = mul(b, from), d = mul(b, to);
    Mat scale {};
    for (int i = 0; i < 3; ++i)
        scale[i][i] = d[i] / s[i];
    return product(inverse(b), product(scale, b));
}

const Vec IccD50 = { 0.9642, 1.0, 0.8249 };
const Vec RefWhite[2] = { { 0.95047, 1.0, 1.08883 }, { 0.9642, 1.0, 0.8249 } };

double srgbCurve(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// An RGB space as published: primaries and white as xy, and its decoding function.
struct Space {
    double white[2];
    double primaries[3][2];
    std::function<double(double)> decode;

    // Linear RGB to XYZ (Y of white = 1) in the space's own white.
    Mat matrix() const
    {
        Mat p;
        for (int c = 0; c < 3; ++c) {
            const Vec v = xyzOf(primaries[c][0], primaries[c][1]);
            for (int row = 0; row < 3; ++row)
                p[row][c] = v[row];
        }
        const Vec s = mul(inverse(p), xyzOf(white[0], white[1]));
        for (auto& row : p)
            for (int c = 0; c < 3; ++c)
                row[c] *= s[c];
        return p;
    }
    // Linear RGB to XYZ relative to the ICC's D50.
    Mat matrixD50() const { return product(bradford(xyzOf(white[0], white[1]), IccD50), matrix()); }

    lab::Lab lab(Vec value, ReferenceWhite w) const
    {
        const Vec linear = { decode(value[0]), decode(value[1]), decode(value[2]) };
        const Vec ref = RefWhite[w == ReferenceWhite::D50];
        const Vec xyz = mul(bradford(xyzOf(white[0], white[1]), ref), mul(matrix(), linear));
        const auto f = [](double t) {
            return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
        };
        const double fx = f(xyz[0] / ref[0]), fy = f(xyz[1]), fz = f(xyz[2] / ref[2]);
        return { 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz) };
    }
};

const Space AdobeRgb = { { 0.3127, 0.3290 }, { { 0.64, 0.33 }, { 0.21, 0.71 }, { 0.15, 0.06 } },
    [](double v) { return std::pow(v, 563.0 / 256); } };
const Space DisplayP3
    = { { 0.3127, 0.3290 }, { { 0.680, 0.320 }, { 0.265, 0.690 }, { 0.150, 0.060 } }, srgbCurve };
const Space ProPhoto
    = { { 0.3457, 0.3585 }, { { 0.7347, 0.2653 }, { 0.1596, 0.8404 }, { 0.0366, 0.0001 } },
          [](double v) { return v < 1.0 / 32 ? v / 16 : std::pow(v, 1.8); } };

// ---- Profiles made with Little CMS, as a file would hold them. ----

Bytes bytesOf(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

void describe(cmsHPROFILE profile, const char* text)
{
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

cmsHPROFILE rgbProfile(const Space& s, cmsToneCurve* curve)
{
    const cmsCIExyY white = { s.white[0], s.white[1], 1 };
    const cmsCIExyYTRIPLE primaries = { { s.primaries[0][0], s.primaries[0][1], 1 },
        { s.primaries[1][0], s.primaries[1][1], 1 }, { s.primaries[2][0], s.primaries[2][1], 1 } };
    cmsToneCurve* curves[3] = { curve, curve, curve };
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return p;
}

cmsToneCurve* parametric(std::initializer_list<double> params)
{
    return cmsBuildParametricToneCurve(nullptr, 4, std::data(params));
}

Bytes adobeBytes()
{
    cmsHPROFILE p = rgbProfile(AdobeRgb, cmsBuildGamma(nullptr, 563.0 / 256));
    describe(p, "Probnik test Adobe RGB");
    return bytesOf(p);
}

Bytes greyBytes()
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return bytesOf(p);
}

// Adobe RGB through a grid: its curves, then a 17-point cube of the D50 matrix. The matrix
// and curve tags say sRGB, which the grid must win over.
Bytes lookUpBytes()
{
    cmsHPROFILE p
        = rgbProfile(DisplayP3, parametric({ 2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045 }));
    Mat m = AdobeRgb.matrixD50();
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 3, 3);
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
    cmsToneCurve* curves[3] = { gamma, gamma, gamma };
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        grid,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* matrix) -> cmsInt32Number {
            const Vec xyz = mul(*static_cast<const Mat*>(matrix),
                { in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0 });
            for (int i = 0; i < 3; ++i)
                out[i] = cmsUInt16Number(std::lround(std::clamp(xyz[i] * 32768, 0.0, 65535.0)));
            return 1;
        },
        &m, 0);
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    cmsToneCurve* identity = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* identities[3] = { identity, identity, identity };
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, identities));
    cmsWriteTag(p, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    cmsFreeToneCurve(gamma);
    cmsFreeToneCurve(identity);
    return bytesOf(p);
}

Bytes placeholder(cmsProfileClassSignature cls, cmsColorSpaceSignature space)
{
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetDeviceClass(p, cls);
    cmsSetColorSpace(p, space);
    cmsSetPCS(p, cmsSigLabData);
    return bytesOf(p);
}

const std::vector<std::array<int, 3>> Colours
    = { { 0, 0, 0 }, { 255, 255, 255 }, { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 },
          { 224, 172, 145 }, { 30, 60, 90 }, { 128, 128, 128 }, { 6, 3, 1 } };
const std::vector<std::array<int, 3>> Colours16
    = { { 65535, 0, 40000 }, { 12345, 54321, 33333 }, { 300, 200, 100 }, { 65535, 65535, 65535 } };

Vec parts(Lab v)
{
    return { v.L, v.a, v.b };
}

void expectNear(lab::Lab want, Lab got, double tolerance, const std::string& what)
{
    EXPECT_NEAR(got.L, want.L, tolerance) << what;
    EXPECT_NEAR(got.a, want.a, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

// Every colour at 8 and 16 bits, at both whites, against the space's own formulas.
void expectSpace(
    const ColourProfile& profile, const Space& space, double tolerance, const std::string& name)
{
    for (const ReferenceWhite white : { ReferenceWhite::D65, ReferenceWhite::D50 }) {
        const LabConverter converter(profile, white, 16);
        const std::string what = name + " " + std::string(whiteName(white));
        for (const auto& c : Colours)
            expectNear(space.lab({ c[0] / 255.0, c[1] / 255.0, c[2] / 255.0 }, white),
                converter.lab(rgb(c[0], c[1], c[2])), tolerance,
                what + " " + std::to_string(c[0]) + "," + std::to_string(c[1]) + ","
                    + std::to_string(c[2]));
        for (const auto& c : Colours16) {
            const std::uint16_t v[3]
                = { std::uint16_t(c[0]), std::uint16_t(c[1]), std::uint16_t(c[2]) };
            expectNear(space.lab({ c[0] / 65535.0, c[1] / 65535.0, c[2] / 65535.0 }, white),
                converter.lab16(v), tolerance, what + " 16-bit " + std::to_string(c[1]));
        }
    }
}

TEST(ColourProfile, EmbeddedProfilesGivePublishedValues)
{
    struct Case {
        const char* name;
        Bytes bytes;
        const Space& space;
        double tolerance;
        bool tables;
    };
    const Case cases[] = {
        { "Adobe RGB", adobeBytes(), AdobeRgb, 0.01, true },
        { "Display P3",
            bytesOf(rgbProfile(
                DisplayP3, parametric({ 2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045 }))),
            DisplayP3, 0.01, true },
        { "ProPhoto", bytesOf(rgbProfile(ProPhoto, parametric({ 1.8, 1, 0, 1.0 / 16, 1.0 / 32 }))),
            ProPhoto, 0.05, true },
        // The file's 16-bit steps of XYZ show most where Y is tiny: ProPhoto's blue primary
        // (y = 0.0001) and the grid's darkest colours.
        { "look-up Adobe RGB", lookUpBytes(), AdobeRgb, 0.05, false },
    };
    for (const Case& c : cases) {
        const auto profile = ColourProfile::fromDescription(
            ColourDescription::embedded(c.bytes, "PNG iCCP"), PixelKind::Rgb);
        ASSERT_EQ(profile.origin(), ProfileOrigin::Embedded) << c.name << ": " << profile.text();
        EXPECT_EQ(LabConverter(profile, ReferenceWhite::D65).tableBased(), c.tables) << c.name;
        expectSpace(profile, c.space, c.tolerance, c.name);
    }
}

TEST(ColourProfile, DescriptionsWithoutProfileGivePublishedValues)
{
    const Mat adobe = AdobeRgb.matrix();
    std::array<std::int32_t, 9> endpoints {};
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            endpoints[3 * c + row] = std::int32_t(std::lround(adobe[row][c] * (1 << 30)));
    const std::uint32_t gama = 45471; // 1 / (563 / 256)
    std::array<std::uint32_t, 8> chrm = { 31270, 32900 };
    for (int i = 0; i < 6; ++i)
        chrm[2 + i] = std::uint32_t(std::lround(AdobeRgb.primaries[i / 2][i % 2] * 100000));
    Space png = AdobeRgb, bmp = AdobeRgb;
    png.decode = [](double v) { return std::pow(v, 100000.0 / 45471); };
    bmp.decode = [](double v) { return std::pow(v, 144179 / 65536.0); };

    struct Case {
        ColourDescription description;
        const Space& space;
    };
    const Case cases[] = {
        { ColourDescription::adobeRgb("EXIF R03"), AdobeRgb },
        { ColourDescription::pngChromaticities(chrm, gama), png },
        { ColourDescription::bmpCalibrated(endpoints, { 144179, 144179, 144179 }), bmp },
    };
    for (const Case& c : cases) {
        const auto profile = ColourProfile::fromDescription(c.description, PixelKind::Rgb);
        ASSERT_EQ(profile.origin(), ProfileOrigin::Described) << profile.text();
        expectSpace(profile, c.space, 0.01, c.description.source);
    }
}

// The numbers the program gave before it knew profiles, wherever sRGB is used.
TEST(ColourProfile, SrgbGivesTheProgramsNumbers)
{
    const ColourProfile profiles[] = {
        ColourProfile::fromDescription(ColourDescription::none(), PixelKind::Rgb),
        ColourProfile::fromDescription(ColourDescription::srgb("PNG sRGB"), PixelKind::Rgb),
        ColourProfile::fromDescription(
            ColourDescription::linked("C:\\x.icm", "BMP V5"), PixelKind::Rgb),
    };
    for (const ColourProfile& profile : profiles) {
        const LabConverter converter(profile, ReferenceWhite::D65, 16);
        for (int i = 0; i < 4096; ++i) {
            const Color c = Color(std::uint32_t(i) * 2654435761u & 0xFFFFFF);
            const std::uint16_t wide[3] = { std::uint16_t(red(c) * 257),
                std::uint16_t(green(c) * 257), std::uint16_t(blue(c) * 257) };
            const lab::Lab want = lab::labFromColor(c);
            expectNear(want, converter.lab(c), 0.01, profile.text());
            expectNear(want, converter.lab16(wide), 0.01, profile.text());
        }
    }
    EXPECT_EQ(profiles[0].text(), "Przyjęto sRGB: plik nie opisuje swoich barw");
    EXPECT_NE(profiles[2].text().find("„C:\\x.icm”"), std::string::npos) << profiles[2].text();
}

TEST(ColourProfile, GreyGivesLightnessOnly)
{
    const ColourProfile grey = ColourProfile::fromDescription(
        ColourDescription::embedded(greyBytes(), "PNG iCCP"), PixelKind::Grey);
    ASSERT_EQ(grey.origin(), ProfileOrigin::Embedded) << grey.text();
    for (const ReferenceWhite white : { ReferenceWhite::D65, ReferenceWhite::D50 }) {
        const LabConverter converter(grey, white, 16);
        for (const int v : { 0, 1, 20, 128, 254, 255 }) {
            const double y = std::pow(v / 255.0, 2.2);
            const double f = y > 216.0 / 24389 ? std::cbrt(y) : (24389.0 / 27 * y + 16) / 116;
            const std::uint16_t wide = std::uint16_t(v * 257);
            for (const Lab got : { converter.lab(rgb(v, 0, 0)), converter.lab16({ &wide, 1 }) }) {
                EXPECT_NEAR(got.L, 116 * f - 16, 0.01) << v;
                EXPECT_EQ(got.a, 0.0);
                EXPECT_EQ(got.b, 0.0);
            }
        }
    }
}

TEST(ColourProfile, UnusableProfilesGiveSrgbAndTheReason)
{
    const Bytes adobe = adobeBytes();
    Bytes manyTags = adobe, notIcc = adobe;
    std::fill_n(manyTags.begin() + 128, 4, 0xFF);
    notIcc[36] = 'x';
    struct Case {
        Bytes bytes;
        PixelKind pixels;
        const char* reason;
    };
    const Case cases[] = {
        { Bytes(adobe.begin(), adobe.begin() + std::ptrdiff_t(adobe.size() / 2)), PixelKind::Rgb,
            "ucięte" },
        { Bytes(60, 0), PixelKind::Rgb, "ucięte" },
        { notIcc, PixelKind::Rgb, "acsp" },
        { Bytes(MaxProfileBytes + 1, 0), PixelKind::Rgb, "64 MiB" },
        { placeholder(cmsSigOutputClass, cmsSigCmykData), PixelKind::Rgb,
            "barwy CMYK, a piksele pliku są RGB" },
        { placeholder(cmsSigColorSpaceClass, cmsSigLabData), PixelKind::Rgb, "barwy L*a*b*" },
        { greyBytes(), PixelKind::Rgb, "szarości, a piksele pliku są RGB" },
        { adobe, PixelKind::Grey, "barwy RGB, a piksele pliku są szare" },
        { bytesOf(cmsCreateInkLimitingDeviceLink(cmsSigCmykData, 300)), PixelKind::Rgb,
            "device link" },
        { bytesOf(cmsCreateLab4Profile(nullptr)), PixelKind::Rgb, "abstrakcyjny" },
        { placeholder(cmsSigNamedColorClass, cmsSigRgbData), PixelKind::Rgb, "nazwanych" },
        { manyTags, PixelKind::Rgb, "Little CMS nie przyjmuje" },
        { placeholder(cmsSigInputClass, cmsSigRgbData), PixelKind::Rgb, "Little CMS nie może" },
    };
    const Color probe = rgb(224, 172, 145);
    for (const Case& c : cases) {
        const auto profile = ColourProfile::fromDescription(
            ColourDescription::embedded(c.bytes, "TIFF 34675"), c.pixels);
        EXPECT_EQ(profile.origin(), ProfileOrigin::Unusable) << c.reason;
        EXPECT_NE(profile.reason().find(c.reason), std::string::npos) << profile.reason();
        EXPECT_NE(profile.text().find("Przyjęto sRGB"), std::string::npos) << profile.text();
        const LabConverter converter(profile, ReferenceWhite::D65);
        const LabConverter srgb(ColourProfile::assumedSrgb(c.pixels), ReferenceWhite::D65);
        EXPECT_EQ(converter.lab(probe), srgb.lab(probe)) << c.reason;
        EXPECT_FALSE(ColourProfile::chosen(c.bytes, "x.icc", c.pixels)) << c.reason;
    }
    const ColourDescription broken[] = {
        ColourDescription::pngChromaticities(std::nullopt, 0),
        ColourDescription::pngChromaticities(std::array<std::uint32_t, 8> { 31270, 32900 }, 45455),
        ColourDescription::bmpCalibrated({}, { 65536, 65536, 65536 }),
    };
    for (const ColourDescription& d : broken)
        EXPECT_EQ(
            ColourProfile::fromDescription(d, PixelKind::Rgb).origin(), ProfileOrigin::Unusable)
            << d.source;
}

TEST(ColourProfile, TextsNameTheProfileAndItsSource)
{
    const Bytes adobe = adobeBytes();
    EXPECT_EQ(ColourProfile::fromDescription(
                  ColourDescription::embedded(adobe, "JPEG APP2"), PixelKind::Rgb)
                  .text(),
        "Profil osadzony w pliku (JPEG APP2): „Probnik test Adobe RGB”");
    EXPECT_EQ(ColourProfile::fromDescription(
                  ColourDescription::pngChromaticities(std::nullopt, 45455), PixelKind::Rgb)
                  .text(),
        "Profil według opisu w pliku (PNG gAMA): RGB, biel x 0.3127 y 0.3290, czerwień x 0.6400 "
        "y 0.3300, zieleń x 0.3000 y 0.6000, błękit x 0.1500 y 0.0600, wykładnik 2.2000");
    const auto chosen = ColourProfile::chosen(adobe, "/usr/share/color/icc/a.icc", PixelKind::Rgb);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen.value().text(),
        "Profil wybrany przez użytkownika: plik „/usr/share/color/icc/a.icc”, „Probnik test Adobe "
        "RGB”");
}

// Area statistics through tables and through Little CMS, fed in pieces, against the plain
// mean and sample deviation of the converted values.
TEST(ColourProfile, AccumulatorGivesMeanAndDeviation)
{
    for (const Bytes& bytes : { adobeBytes(), lookUpBytes() }) {
        const auto profile = ColourProfile::fromDescription(
            ColourDescription::embedded(bytes, "PNG iCCP"), PixelKind::Rgb);
        const LabConverter converter(profile, ReferenceWhite::D50, 16);
        std::vector<Color> pixels;
        std::vector<std::uint16_t> wide;
        for (int i = 0; i < 1000; ++i) {
            pixels.push_back(Color(std::uint32_t(i) * 2654435761u & 0xFFFFFF));
            for (const int v : { red(pixels.back()), green(pixels.back()), blue(pixels.back()) })
                wide.push_back(std::uint16_t(v * 257));
        }
        std::vector<Lab> labs(pixels.size());
        converter.convert(pixels, labs);
        double mean[3] = {}, squares[3] = {};
        for (const Lab& v : labs)
            for (int i = 0; i < 3; ++i)
                mean[i] += parts(v)[i] / double(labs.size());
        for (const Lab& v : labs)
            for (int i = 0; i < 3; ++i)
                squares[i] += std::pow(parts(v)[i] - mean[i], 2);
        LabAccumulator narrow(converter), deep(converter);
        narrow.add(std::span(pixels).first(300));
        narrow.add(std::span(pixels).subspan(300));
        deep.add16(std::span(wide).first(999));
        deep.add16(std::span(wide).subspan(999));
        for (const LabStatistics& s : { narrow.result(), deep.result() }) {
            ASSERT_EQ(s.count, 1000);
            ASSERT_TRUE(s.stdDev);
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(parts(s.mean)[i], mean[i], 1e-6);
                EXPECT_NEAR(parts(*s.stdDev)[i], std::sqrt(squares[i] / 999), 1e-6);
            }
        }
    }
}

} // namespace

// A mean's colour through the fine transform agrees with the pixels' own conversion at whole
// values, at both depths, through tables and through Little CMS, and lies between its
// neighbours between them.
TEST(ColourProfile, MeanColourAgreesWithPixelsAtWholeValues)
{
    struct Case {
        const char* name;
        ColourProfile profile;
        int bits;
        std::array<double, 3> value;
    };
    const auto rgbProfile = [](const Bytes& bytes) {
        return ColourProfile::fromDescription(
            ColourDescription::embedded(bytes, "PNG iCCP"), PixelKind::Rgb);
    };
    const ColourProfile srgb = ColourProfile::assumedSrgb(PixelKind::Rgb);
    const ColourProfile adobe = rgbProfile(adobeBytes());
    const ColourProfile lookUp = rgbProfile(lookUpBytes());
    const ColourProfile grey = ColourProfile::fromDescription(
        ColourDescription::embedded(greyBytes(), "PNG iCCP"), PixelKind::Grey);
    const std::vector<Case> cases = {
        { "sRGB 8", srgb, 8, { 0, 0, 0 } },
        { "sRGB 8", srgb, 8, { 255, 128, 3 } },
        { "sRGB 16", srgb, 16, { 65535, 40000, 7 } },
        { "Adobe 8", adobe, 8, { 12, 200, 90 } },
        { "Adobe 16", adobe, 16, { 1000, 65535, 30000 } },
        { "look-up 8", lookUp, 8, { 250, 20, 140 } },
        { "look-up 16", lookUp, 16, { 5000, 50000, 65535 } },
        { "grey 8", grey, 8, { 77, 77, 77 } },
        { "grey 16", grey, 16, { 33333, 33333, 33333 } },
    };
    for (const Case& c : cases)
        for (const ReferenceWhite white : { ReferenceWhite::D65, ReferenceWhite::D50 }) {
            const LabConverter converter(c.profile, white, c.bits);
            const std::string what = std::string(c.name) + " " + std::string(whiteName(white));
            std::array<std::uint16_t, 3> whole {};
            for (int i = 0; i < 3; ++i)
                whole[i] = std::uint16_t(c.value[i]);
            const Lab pixel = c.bits == 16
                ? converter.lab16(std::span(whole).first(std::size_t(converter.channels())))
                : converter.lab(rgb(whole[0], whole[1], whole[2]));
            const Lab mean = converter.labOfMean(c.value);
            EXPECT_NEAR(mean.L, pixel.L, 2e-5) << what;
            EXPECT_NEAR(mean.a, pixel.a, 2e-5) << what;
            EXPECT_NEAR(mean.b, pixel.b, 2e-5) << what;
            // Half an 8-bit level up lies between the level and the next one.
            const std::array<double, 3> half
                = { c.value[0] + 0.5, c.value[1] + 0.5, c.value[2] + 0.5 };
            const std::array<double, 3> next = { c.value[0] + 1, c.value[1] + 1, c.value[2] + 1 };
            if (c.bits == 8 && c.value[0] < 255) {
                const double l = converter.labOfMean(half).L;
                EXPECT_GT(l, converter.labOfMean(c.value).L) << what;
                EXPECT_LT(l, converter.labOfMean(next).L) << what;
            }
        }
}
