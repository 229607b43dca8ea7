// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "colour/ColourProfile.h"

#include "colour/Lcms.h"
#include "common/Md5.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace probnik::colour {

namespace {

using Engine = ColourProfile::Engine;
using Made = Result<std::shared_ptr<Engine>>;

struct CurveDeleter {
    void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using CurveHandle = std::unique_ptr<cmsToneCurve, CurveDeleter>;

constexpr std::size_t IccHeaderBytes = 128;

// The chromaticities of the sRGB primaries; the white is the program's D65 (Xn 95.047,
// Yn 100, Zn 108.883), so that sRGB values give the numbers they always gave here.
constexpr cmsCIExyY SrgbPrimaries[3] = { { 0.64, 0.33, 1 }, { 0.30, 0.60, 1 }, { 0.15, 0.06, 1 } };
constexpr cmsCIExyY ProgramD65
    = { 95.047 / (95.047 + 100 + 108.883), 100 / (95.047 + 100 + 108.883), 1 };
constexpr cmsCIExyY AdobePrimaries[3] = { { 0.64, 0.33, 1 }, { 0.21, 0.71, 1 }, { 0.15, 0.06, 1 } };
constexpr cmsCIExyY PublishedD65 = { 0.3127, 0.3290, 1 };
constexpr double AdobeGamma = 563.0 / 256.0;

// A transfer curve: the sRGB one, or a plain power.
struct Curve {
    std::optional<double> gamma; // none: sRGB
};

CurveHandle makeCurve(cmsContext context, Curve curve)
{
    if (curve.gamma)
        return CurveHandle(cmsBuildGamma(context, *curve.gamma));
    // Y = ((X + 0.055) / 1.055)^2.4 from 0.04045 up, X / 12.92 below.
    const double srgb[5] = { 2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045 };
    return CurveHandle(cmsBuildParametricToneCurve(context, 4, srgb));
}

std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16
        | std::uint32_t(bytes[at + 2]) << 8 | std::uint32_t(bytes[at + 3]);
}

std::string spaceName(cmsColorSpaceSignature space)
{
    switch (space) {
    case cmsSigRgbData:
        return "RGB";
    case cmsSigGrayData:
        return "w odcieniach szarości";
    case cmsSigCmykData:
        return "CMYK";
    case cmsSigLabData:
        return "L*a*b*";
    case cmsSigXYZData:
        return "XYZ";
    default: {
        std::string name = "„";
        for (int shift = 24; shift >= 0; shift -= 8) {
            const char c = char(std::uint32_t(space) >> shift & 0xFF);
            name += c >= ' ' && c <= '~' ? c : '?';
        }
        return name + "”";
    }
    }
}

std::string refusal(const Engine& engine, const char* what)
{
    std::string reason = what;
    if (!engine.lastError.empty())
        reason += " (" + engine.lastError + ")";
    return reason;
}

// Device values whose sum of per-channel parts, with black's taken off twice, must give the
// transform of the whole colour when the profile is a matrix with curves.
constexpr std::uint8_t Probes[][3]
    = { { 255, 255, 255 }, { 200, 30, 90 }, { 17, 240, 128 }, { 60, 60, 250 }, { 128, 1, 0 } };

bool addsUp(const Engine& engine)
{
    for (const auto& probe : Probes) {
        const std::uint8_t pixels[5][3] = { { probe[0], probe[1], probe[2] }, { probe[0], 0, 0 },
            { 0, probe[1], 0 }, { 0, 0, probe[2] }, { 0, 0, 0 } };
        double xyz[5][3];
        engine.toXyz(pixels, &xyz[0][0], 5, false);
        for (int i = 0; i < 3; ++i) {
            const double parts = xyz[1][i] + xyz[2][i] + xyz[3][i] - 2 * xyz[4][i];
            if (!(std::abs(parts - xyz[0][i]) < 1e-5))
                return false;
        }
    }
    return true;
}

// Checks the engine's open profile against the pixels and makes its transforms to XYZ; the
// reason when it cannot be used.
std::optional<std::string> finish(Engine& e)
{
    cmsHPROFILE profile = e.profile.get();
    switch (cmsGetDeviceClass(profile)) {
    case cmsSigLinkClass:
        return "to profil łączący dwa urządzenia (device link), nie opis barw pliku";
    case cmsSigAbstractClass:
        return "to profil abstrakcyjny, nie opis barw pliku";
    case cmsSigNamedColorClass:
        return "to profil barw nazwanych, nie opis barw pliku";
    default:
        break;
    }
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
    const cmsColorSpaceSignature wanted
        = e.pixels == PixelKind::Rgb ? cmsSigRgbData : cmsSigGrayData;
    if (space != wanted)
        return "profil opisuje barwy " + spaceName(space) + ", a piksele pliku są "
            + (e.pixels == PixelKind::Rgb ? "RGB" : "szare");
    const cmsColorSpaceSignature pcs = cmsGetPCS(profile);
    if (pcs != cmsSigXYZData && pcs != cmsSigLabData)
        return "profil łączy barwy przez nieznaną przestrzeń " + spaceName(pcs);

    const ProfileHandle xyz(cmsCreateXYZProfileTHR(e.context.get()));
    const bool rgb = e.pixels == PixelKind::Rgb;
    e.lastError.clear();
    if (xyz) {
        e.to8.reset(cmsCreateTransformTHR(e.context.get(), profile, rgb ? TYPE_RGB_8 : TYPE_GRAY_8,
            xyz.get(), TYPE_XYZ_DBL, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
        e.to16.reset(
            cmsCreateTransformTHR(e.context.get(), profile, rgb ? TYPE_RGB_16 : TYPE_GRAY_16,
                xyz.get(), TYPE_XYZ_DBL, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
    }
    if (!e.to8 || !e.to16)
        return refusal(e, "Little CMS nie może przeliczyć barw według tego profilu");

    // White and black must come out as numbers, and white brighter than black.
    const std::uint8_t ends[2][3] = { { 255, 255, 255 }, { 0, 0, 0 } };
    const std::uint8_t greyEnds[2] = { 255, 0 };
    double out[2][3];
    e.toXyz(rgb ? &ends[0][0] : greyEnds, &out[0][0], 2, false);
    for (const auto& v : out)
        for (const double c : v)
            if (!std::isfinite(c) || std::abs(c) > 1e3)
                return "profil daje wartości, które nie są liczbami";
    if (!(out[0][1] > out[1][1]))
        return "według profilu biel nie jest jaśniejsza od czerni";

    const bool lookUp = cmsIsTag(profile, cmsSigAToB0Tag) || cmsIsTag(profile, cmsSigAToB1Tag)
        || cmsIsTag(profile, cmsSigAToB2Tag) || cmsIsTag(profile, cmsSigDToB0Tag)
        || cmsIsTag(profile, cmsSigDToB1Tag) || cmsIsTag(profile, cmsSigDToB2Tag);
    // One channel: a table over its values is the transform itself, whatever its kind.
    e.separable = !rgb || (!lookUp && cmsIsMatrixShaper(profile) && addsUp(e));
    return std::nullopt;
}

// The ICC's profile ID: the header's where it is set, else the MD5 of the bytes with the
// flags, the rendering intent and the ID zeroed (and the creation date, for a profile made
// here, so that it is the same from one run to the next).
std::string iccIdentifier(std::span<const std::uint8_t> bytes, bool made)
{
    constexpr std::size_t Flags = 44, Intent = 64, Id = 84, Date = 24;
    const auto id = bytes.subspan(Id, 16);
    if (!made && std::any_of(id.begin(), id.end(), [](std::uint8_t b) { return b != 0; }))
        return hexDigits(id);
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    std::fill_n(copy.begin() + Flags, 4, 0);
    std::fill_n(copy.begin() + Intent, 4, 0);
    std::fill_n(copy.begin() + Id, 16, 0);
    if (made)
        std::fill_n(copy.begin() + Date, 12, 0);
    const auto digest = md5(copy);
    return hexDigits(digest);
}

Made finished(std::shared_ptr<Engine> engine)
{
    if (!engine->profile)
        return Error { refusal(*engine, "Little CMS nie przyjmuje profilu") };
    if (auto reason = finish(*engine))
        return Error { std::move(*reason) };
    if (engine->identifier.empty()) {
        cmsUInt32Number size = 0;
        std::vector<std::uint8_t> bytes;
        if (cmsSaveProfileToMem(engine->profile.get(), nullptr, &size) && size > IccHeaderBytes) {
            bytes.resize(size);
            if (cmsSaveProfileToMem(engine->profile.get(), bytes.data(), &size))
                engine->identifier = iccIdentifier(bytes, true);
        }
    }
    return engine;
}

std::shared_ptr<Engine> newEngine(PixelKind pixels)
{
    auto engine = std::make_shared<Engine>();
    engine->pixels = pixels;
    return engine;
}

Made openIcc(std::span<const std::uint8_t> bytes, PixelKind pixels)
{
    if (bytes.size() > MaxProfileBytes)
        return Error { "profil ma ponad 64 MiB (" + std::to_string(bytes.size()) + " bajtów)" };
    if (bytes.size() < IccHeaderBytes + 4)
        return Error { "dane profilu są ucięte: " + std::to_string(bytes.size())
            + " bajtów, mniej niż nagłówek i spis znaczników" };
    const std::uint32_t declared = bigEndian32(bytes, 0);
    if (declared > bytes.size())
        return Error { "dane profilu są ucięte: jest " + std::to_string(bytes.size()) + " bajtów z "
            + std::to_string(declared) + ", które podaje nagłówek" };
    if (bigEndian32(bytes, 36) != 0x61637370) // "acsp"
        return Error { "to nie jest profil ICC (brak podpisu „acsp”)" };
    auto engine = newEngine(pixels);
    if (!engine->context)
        return Error { "Little CMS nie uruchomił się" };
    engine->profile.reset(
        cmsOpenProfileFromMemTHR(engine->context.get(), bytes.data(), cmsUInt32Number(declared)));
    engine->identifier
        = iccIdentifier(bytes.first(std::max<std::size_t>(declared, IccHeaderBytes)), false);
    return finished(std::move(engine));
}

// A profile built from a white, primaries and curves; for grey pixels the curve of green
// (the middle one) alone.
Made buildRgb(
    cmsCIExyY white, const cmsCIExyY (&primaries)[3], const Curve (&curves)[3], PixelKind pixels)
{
    auto engine = newEngine(pixels);
    cmsContext context = engine->context.get();
    if (!context)
        return Error { "Little CMS nie uruchomił się" };
    if (pixels == PixelKind::Grey) {
        const CurveHandle curve = makeCurve(context, curves[1]);
        if (curve)
            engine->profile.reset(cmsCreateGrayProfileTHR(context, cmsD50_xyY(), curve.get()));
        return finished(std::move(engine));
    }
    const CurveHandle r = makeCurve(context, curves[0]);
    const CurveHandle g = makeCurve(context, curves[1]);
    const CurveHandle b = makeCurve(context, curves[2]);
    if (r && g && b) {
        cmsToneCurve* trc[3] = { r.get(), g.get(), b.get() };
        const cmsCIExyYTRIPLE rgb = { primaries[0], primaries[1], primaries[2] };
        engine->profile.reset(cmsCreateRGBProfileTHR(context, &white, &rgb, trc));
    }
    return finished(std::move(engine));
}

Made buildSrgb(PixelKind pixels)
{
    return buildRgb(ProgramD65, SrgbPrimaries, { Curve {}, Curve {}, Curve {} }, pixels);
}

bool plausible(cmsCIExyY c)
{
    return c.x >= 0 && c.y > 0 && c.x + c.y <= 1;
}

std::string fixed4(double v)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, 4);
    return std::string(text, ec == std::errc {} ? end : text);
}

std::string curveName(Curve c)
{
    return c.gamma ? "wykładnik " + fixed4(*c.gamma) : "krzywa sRGB";
}

// What a profile built from a file's numbers is, for the window: its white, primaries and
// curves, or for grey pixels the curve alone.
std::string builtName(
    cmsCIExyY white, const cmsCIExyY (&primaries)[3], const Curve (&curves)[3], PixelKind pixels)
{
    if (pixels == PixelKind::Grey)
        return "szarość, " + curveName(curves[1]);
    const auto xy = [](cmsCIExyY c) { return "x " + fixed4(c.x) + " y " + fixed4(c.y); };
    std::string name = "RGB, biel " + xy(white) + ", czerwień " + xy(primaries[0]) + ", zieleń "
        + xy(primaries[1]) + ", błękit " + xy(primaries[2]) + ", ";
    if (curves[0].gamma == curves[1].gamma && curves[1].gamma == curves[2].gamma)
        return name + curveName(curves[0]);
    return name + curveName(curves[0]) + ", " + curveName(curves[1]) + ", " + curveName(curves[2]);
}

Made fromPng(const ColourDescription& d, PixelKind pixels, std::string& name)
{
    cmsCIExyY white = ProgramD65;
    cmsCIExyY primaries[3] = { SrgbPrimaries[0], SrgbPrimaries[1], SrgbPrimaries[2] };
    if (d.chromaticities) {
        const auto& c = *d.chromaticities;
        white = { c[0] / 100000.0, c[1] / 100000.0, 1 };
        for (int i = 0; i < 3; ++i)
            primaries[i] = { c[2 + 2 * i] / 100000.0, c[3 + 2 * i] / 100000.0, 1 };
        for (const cmsCIExyY& xy : { white, primaries[0], primaries[1], primaries[2] })
            if (!plausible(xy))
                return Error { "cHRM podaje chromatyczność spoza wykresu barw" };
    }
    Curve curve;
    if (d.gamma) {
        if (*d.gamma == 0)
            return Error { "gAMA podaje wykładnik 0" };
        curve.gamma = 100000.0 / *d.gamma;
    }
    const Curve curves[3] = { curve, curve, curve };
    name = builtName(white, primaries, curves, pixels);
    auto made = buildRgb(white, primaries, curves, pixels);
    if (!made && d.chromaticities)
        return Error { "barwy podstawowe z cHRM nie dają profilu (" + made.error().message + ")" };
    return made;
}

Made fromBmp(const ColourDescription& d, PixelKind pixels, std::string& name)
{
    cmsCIEXYZ white = { 0, 0, 0 };
    cmsCIExyY primaries[3];
    for (int i = 0; i < 3; ++i) {
        const double x = d.endpoints[3 * i] / double(1 << 30);
        const double y = d.endpoints[3 * i + 1] / double(1 << 30);
        const double z = d.endpoints[3 * i + 2] / double(1 << 30);
        const double sum = x + y + z;
        if (x < 0 || y <= 0 || z < 0)
            return Error { "nagłówek BMP V5 nie podaje poprawnych punktów końcowych barw" };
        primaries[i] = { x / sum, y / sum, 1 };
        white = { white.X + x, white.Y + y, white.Z + z };
    }
    Curve curves[3];
    for (int i = 0; i < 3; ++i) {
        if (d.gammas[i] == 0)
            return Error { "nagłówek BMP V5 podaje wykładnik 0" };
        curves[i].gamma = d.gammas[i] / 65536.0;
    }
    cmsCIExyY whiteXy;
    cmsXYZ2xyY(&whiteXy, &white);
    whiteXy.Y = 1;
    name = builtName(whiteXy, primaries, curves, pixels);
    auto made = buildRgb(whiteXy, primaries, curves, pixels);
    if (!made)
        return Error { "punkty końcowe barw z nagłówka BMP V5 nie dają profilu ("
            + made.error().message + ")" };
    return made;
}

std::string profileDescription(const Engine& engine)
{
    char text[256] = {};
    cmsGetProfileInfoASCII(engine.profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    std::string name;
    for (const char* c = text; *c; ++c)
        name += *c >= ' ' && *c <= '~' ? *c : ' ';
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos)
        return "bez nazwy";
    return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

} // namespace

ColourProfile::ColourProfile(std::shared_ptr<const Engine> engine, ProfileOrigin origin,
    std::string name, std::string source, std::string reason)
    : m_engine(std::move(engine))
    , m_origin(origin)
    , m_name(std::move(name))
    , m_source(std::move(source))
    , m_reason(std::move(reason))
{
}

const std::string& ColourProfile::identifier() const
{
    return m_engine->identifier;
}

PixelKind ColourProfile::pixelKind() const
{
    return m_engine->pixels;
}

ColourProfile ColourProfile::assumedSrgb(PixelKind pixels)
{
    ColourProfile p = unusable({}, pixels, {});
    p.m_origin = ProfileOrigin::Assumed;
    return p;
}

ColourProfile ColourProfile::unusable(
    const ColourDescription& description, PixelKind pixels, std::string reason)
{
    auto made = buildSrgb(pixels);
    // The built-in sRGB is made of constants that Little CMS always accepts.
    return ColourProfile(std::move(made.value()), ProfileOrigin::Unusable, "sRGB (IEC 61966-2-1)",
        description.source, std::move(reason));
}

ColourProfile ColourProfile::fromDescription(const ColourDescription& description, PixelKind pixels)
{
    using Kind = ColourDescription::Kind;
    Made made = Error {};
    std::string name;
    switch (description.kind) {
    case Kind::None:
        return assumedSrgb(pixels);
    case Kind::Linked: {
        ColourProfile p = unusable(description, pixels,
            "plik wskazuje profil w osobnym pliku „" + description.linkedName
                + "”, którego program nie otwiera");
        p.m_origin = ProfileOrigin::Linked;
        return p;
    }
    case Kind::Srgb:
        made = buildSrgb(pixels);
        name = "sRGB (IEC 61966-2-1)";
        break;
    case Kind::AdobeRgb: {
        const Curve adobe { AdobeGamma };
        made = buildRgb(PublishedD65, AdobePrimaries, { adobe, adobe, adobe }, pixels);
        name = "Adobe RGB (1998)";
        break;
    }
    case Kind::Chromaticities:
        made = fromPng(description, pixels, name);
        break;
    case Kind::Calibrated:
        made = fromBmp(description, pixels, name);
        break;
    case Kind::Embedded:
        made = openIcc(description.icc, pixels);
        if (made)
            name = profileDescription(*made.value());
        break;
    }
    if (!made)
        return unusable(description, pixels, made.error().message);
    const ProfileOrigin origin
        = description.kind == Kind::Embedded ? ProfileOrigin::Embedded : ProfileOrigin::Described;
    return ColourProfile(std::move(made.value()), origin, std::move(name), description.source, {});
}

Result<ColourProfile> ColourProfile::chosen(
    std::span<const std::uint8_t> bytes, const std::string& fileName, PixelKind pixels)
{
    Made made = openIcc(bytes, pixels);
    if (!made)
        return Error { "Nie można użyć profilu „" + fileName + "”: " + made.error().message };
    std::string name = profileDescription(*made.value());
    return ColourProfile(
        std::move(made.value()), ProfileOrigin::Chosen, std::move(name), fileName, {});
}

std::string ColourProfile::text() const
{
    switch (m_origin) {
    case ProfileOrigin::Embedded:
        return "Profil osadzony w pliku (" + m_source + "): „" + m_name + "”";
    case ProfileOrigin::Described:
        return "Profil według opisu w pliku (" + m_source + "): " + m_name;
    case ProfileOrigin::Assumed:
        return "Przyjęto sRGB: plik nie opisuje swoich barw";
    case ProfileOrigin::Unusable:
        return "Profil pliku (" + m_source
            + ") jest uszkodzony lub nie nadaje się do użycia: " + m_reason + ". Przyjęto sRGB";
    case ProfileOrigin::Linked:
        return "Profil pliku (" + m_source + "): " + m_reason + ". Przyjęto sRGB";
    case ProfileOrigin::Chosen:
        return "Profil wybrany przez użytkownika: plik „" + m_source + "”, „" + m_name + "”";
    }
    return {};
}

} // namespace probnik::colour
