// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/Calibration.h"

#include "common/NumberText.h"
#include "common/WholeFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>

namespace probnik::calibration {

namespace {

colour::Lab toColour(Lab v)
{
    return { v.L, v.a, v.b };
}

Lab fromColour(colour::Lab v)
{
    return { v.L, v.a, v.b };
}

Lab labD50(const Xyz& xyz)
{
    return fromColour(colour::labOfD50(xyz, colour::ReferenceWhite::D50));
}

Xyz xyzD50(Lab lab)
{
    return colour::d50OfLab(toColour(lab), colour::ReferenceWhite::D50);
}

std::string patchName(const Patch& patch)
{
    return patch.name.empty() || patch.name == patch.id ? patch.id
                                                        : patch.id + " (" + patch.name + ")";
}

// Reads a whole small text file; none when it cannot be read or is larger than `limit`.
std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t limit)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char piece[65536];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        text.append(piece, std::size_t(in.gcount()));
        if (text.size() > limit)
            return std::nullopt;
    }
    if (in.bad())
        return std::nullopt;
    return text;
}

std::string fileName(const std::filesystem::path& file)
{
    const std::u8string name = file.filename().u8string();
    return { name.begin(), name.end() };
}

std::optional<double> number(std::string_view text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc {} || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The shortest text that reads back as the value, whatever the locale.
std::string exact(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return { text, end };
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The chart

const Chart& classicChart()
{
    // The maker's published L*a*b* (D50, 2° observer) of the ColorChecker Classic charts made
    // from November 2014 on, when the chart's pigments were reformulated (X-Rite, "New color
    // specifications for ColorChecker SG and Classic charts"); row by row from dark skin.
    struct Entry {
        const char* polish;
        const char* english;
        double L, a, b;
    };
    static constexpr Entry Entries[24] = {
        { "Ciemna skóra", "Dark skin", 37.54, 14.37, 14.92 },
        { "Jasna skóra", "Light skin", 64.66, 19.27, 17.50 },
        { "Błękit nieba", "Blue sky", 49.32, -3.82, -22.54 },
        { "Listowie", "Foliage", 43.46, -12.74, 22.72 },
        { "Niebieski kwiat", "Blue flower", 54.94, 9.61, -24.79 },
        { "Niebieskawa zieleń", "Bluish green", 70.48, -32.26, -0.37 },
        { "Pomarańczowy", "Orange", 62.73, 35.83, 56.50 },
        { "Purpurowoniebieski", "Purplish blue", 39.43, 10.75, -45.17 },
        { "Umiarkowana czerwień", "Moderate red", 50.57, 48.64, 16.67 },
        { "Purpurowy", "Purple", 30.10, 22.54, -20.87 },
        { "Żółtozielony", "Yellow green", 71.77, -24.13, 58.19 },
        { "Pomarańczowożółty", "Orange yellow", 71.51, 18.24, 67.37 },
        { "Niebieski", "Blue", 28.37, 15.42, -49.80 },
        { "Zielony", "Green", 54.38, -39.72, 32.27 },
        { "Czerwony", "Red", 42.43, 51.05, 28.62 },
        { "Żółty", "Yellow", 81.80, 2.67, 80.41 },
        { "Magenta", "Magenta", 50.63, 51.28, -14.12 },
        { "Cyjan", "Cyan", 49.57, -29.71, -28.32 },
        { "Biały 9,5", "White 9.5", 95.19, -1.03, 2.93 },
        { "Neutralny 8", "Neutral 8", 81.29, -0.57, 0.44 },
        { "Neutralny 6,5", "Neutral 6.5", 66.89, -0.75, -0.06 },
        { "Neutralny 5", "Neutral 5", 50.76, -0.13, 0.14 },
        { "Neutralny 3,5", "Neutral 3.5", 35.63, -0.46, -0.48 },
        { "Czarny 2", "Black 2", 20.64, 0.07, -0.46 },
    };
    static const Chart chart = [] {
        Chart c;
        c.name = "ColorChecker Classic, 24 pola (od listopada 2014)";
        c.rows = 4;
        c.columns = 6;
        for (int i = 0; i < 24; ++i) {
            Patch p;
            p.id = std::string(1, char('A' + i / 6)) + std::to_string(i % 6 + 1);
            p.name = Entries[i].polish;
            p.englishName = Entries[i].english;
            p.reference = { Entries[i].L, Entries[i].a, Entries[i].b };
            c.patches.push_back(std::move(p));
        }
        return c;
    }();
    return chart;
}

// ---------------------------------------------------------------------------------------------
// CGATS

namespace {

constexpr int MaxPatches = 10000;

std::optional<Error> badGrid(int rows, int columns)
{
    if (rows < 2 || columns < 2)
        return Error { "Wzorzec musi mieć co najmniej 2 rzędy i 2 kolumny pól" };
    if (rows > MaxPatches / columns)
        return Error { "Wzorzec może mieć najwyżej " + std::to_string(MaxPatches) + " pól" };
    return std::nullopt;
}

struct Token {
    std::string text;
    int line = 0;
};

// Blank-separated words and "quoted strings" (a doubled quote stands for one), # to the end
// of the line a comment outside quotes; CR LF or LF.
Result<std::vector<Token>> tokens(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<Token> out;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (c == '"') {
            Token t;
            t.line = line;
            ++i;
            for (;;) {
                if (i >= text.size() || text[i] == '\n')
                    return Error { "wiersz " + std::to_string(line)
                        + ": napis w cudzysłowie nie jest zamknięty" };
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        t.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += text[i++];
            }
            out.push_back(std::move(t));
        } else {
            Token t;
            t.line = line;
            while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r'
                && text[i] != '\n' && text[i] != '#' && text[i] != '"')
                t.text += text[i++];
            out.push_back(std::move(t));
        }
    }
    return out;
}

std::string missingList(std::span<const char* const> names, const std::vector<std::string>& fields)
{
    std::string list;
    for (const char* name : names)
        if (std::find(fields.begin(), fields.end(), name) == fields.end())
            list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

} // namespace

Result<Chart> readCgats(std::string_view text, int rows, int columns, std::string name)
{
    if (auto bad = badGrid(rows, columns))
        return *bad;
    const auto failed = [&](const std::string& why) {
        return Error { "Nie można odczytać wzorca" + (name.empty() ? "" : " „" + name + "”") + ": "
            + why };
    };
    auto read = tokens(text);
    if (!read)
        return failed(read.error().message);
    const std::vector<Token>& t = read.value();

    std::optional<long> declaredFields, declaredSets;
    std::vector<std::string> fields;
    bool formatSeen = false;
    std::size_t i = 0;
    // Keywords and the data format, up to BEGIN_DATA.
    for (; i < t.size() && t[i].text != "BEGIN_DATA"; ++i) {
        const std::string& word = t[i].text;
        if (word == "NUMBER_OF_FIELDS" || word == "NUMBER_OF_SETS") {
            long value = -1;
            const std::string& v = i + 1 < t.size() ? t[i + 1].text : std::string();
            const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
            if (ec != std::errc {} || ptr != v.data() + v.size() || value < 0)
                return failed(
                    "wiersz " + std::to_string(t[i].line) + ": " + word + " nie podaje liczby");
            (word == "NUMBER_OF_FIELDS" ? declaredFields : declaredSets) = value;
            ++i;
        } else if (word == "BEGIN_DATA_FORMAT") {
            if (formatSeen)
                return failed("dwa razy BEGIN_DATA_FORMAT");
            formatSeen = true;
            for (++i; i < t.size() && t[i].text != "END_DATA_FORMAT"; ++i) {
                if (t[i].text == "BEGIN_DATA")
                    return failed("brak END_DATA_FORMAT");
                fields.push_back(t[i].text);
            }
            if (i >= t.size())
                return failed("brak END_DATA_FORMAT");
        }
    }
    if (!formatSeen)
        return failed("brak BEGIN_DATA_FORMAT");
    if (declaredFields && *declaredFields != long(fields.size()))
        return failed("NUMBER_OF_FIELDS podaje " + std::to_string(*declaredFields)
            + " pól, a BEGIN_DATA_FORMAT wymienia " + std::to_string(fields.size()));
    if (i >= t.size())
        return failed("brak BEGIN_DATA");

    const auto column = [&](const char* field) -> std::optional<std::size_t> {
        const auto at = std::find(fields.begin(), fields.end(), field);
        if (at == fields.end())
            return std::nullopt;
        return std::size_t(at - fields.begin());
    };
    static constexpr const char* LabFields[] = { "LAB_L", "LAB_A", "LAB_B" };
    static constexpr const char* XyzFields[] = { "XYZ_X", "XYZ_Y", "XYZ_Z" };
    const auto id = column("SAMPLE_ID");
    if (!id)
        return failed("brak pola: SAMPLE_ID");
    const std::string missingLab = missingList(LabFields, fields);
    const std::string missingXyz = missingList(XyzFields, fields);
    const bool lab = missingLab.empty();
    if (!lab && !missingXyz.empty()) {
        // Name what is missing of the set the file began to give; of both when it gives none.
        const bool someLab = missingLab != "LAB_L, LAB_A, LAB_B";
        const bool someXyz = missingXyz != "XYZ_X, XYZ_Y, XYZ_Z";
        if (someXyz && !someLab)
            return failed("brak pól: " + missingXyz);
        if (someLab)
            return failed("brak pól: " + missingLab);
        return failed("brak pól: LAB_L, LAB_A, LAB_B (ani XYZ_X, XYZ_Y, XYZ_Z)");
    }
    std::size_t values[3];
    for (int k = 0; k < 3; ++k)
        values[k] = *column(lab ? LabFields[k] : XyzFields[k]);
    const auto sampleName = column("SAMPLE_NAME");

    // The data, one set of fields a patch, whatever the lines.
    std::vector<const Token*> data;
    for (++i; i < t.size() && t[i].text != "END_DATA"; ++i)
        data.push_back(&t[i]);
    if (i >= t.size())
        return failed("brak END_DATA");
    if (fields.empty())
        return failed("BEGIN_DATA_FORMAT nie wymienia pól");
    if (data.size() % fields.size() != 0)
        return failed("ostatni zestaw danych (wiersz " + std::to_string(data.back()->line)
            + ") ma mniej wartości niż pól");
    const std::size_t sets = data.size() / fields.size();
    if (declaredSets && std::size_t(*declaredSets) != sets)
        return failed("NUMBER_OF_SETS podaje " + std::to_string(*declaredSets)
            + " zestawów, a między BEGIN_DATA i END_DATA jest " + std::to_string(sets));
    const std::size_t needed = std::size_t(rows) * std::size_t(columns);
    if (sets < needed)
        return failed("jest " + std::to_string(sets) + " pól, a " + std::to_string(rows) + " × "
            + std::to_string(columns) + " wymaga " + std::to_string(needed));

    Chart chart;
    chart.name = name;
    chart.rows = rows;
    chart.columns = columns;
    for (std::size_t s = 0; s < needed; ++s) {
        const Token* const* set = data.data() + s * fields.size();
        double v[3];
        for (int k = 0; k < 3; ++k) {
            const Token& token = *set[values[k]];
            const auto parsed = number(token.text);
            if (!parsed)
                return failed("wiersz " + std::to_string(token.line) + ", pole " + fields[values[k]]
                    + ": „" + token.text + "” nie jest liczbą");
            v[k] = *parsed;
        }
        Patch p;
        p.id = set[*id]->text;
        p.name = sampleName ? set[*sampleName]->text : p.id;
        p.reference
            = lab ? Lab { v[0], v[1], v[2] } : labD50({ v[0] / 100, v[1] / 100, v[2] / 100 });
        chart.patches.push_back(std::move(p));
    }
    return chart;
}

Result<Chart> readCgatsFile(const std::filesystem::path& file, int rows, int columns)
{
    const std::string name = fileName(file);
    const auto text = readSmallFile(file, std::size_t(16) << 20);
    if (!text)
        return Error { "Nie można odczytać pliku wzorca „" + name + "”" };
    auto chart = readCgats(*text, rows, columns, name);
    if (chart) {
        const std::u8string path = file.u8string();
        chart.value().file.assign(path.begin(), path.end());
    }
    return chart;
}

// ---------------------------------------------------------------------------------------------
// Placing

namespace {

// The projective mapping of the unit square's corners (0, 0), (1, 0), (1, 1), (0, 1) onto
// four points, as x = (a u + b v + c) / (g u + h v + 1), y = (d u + e v + f) / (same).
struct Projective {
    double a, b, c, d, e, f, g, h;

    PointF at(double u, double v) const
    {
        const double w = g * u + h * v + 1.0;
        return { (a * u + b * v + c) / w, (d * u + e * v + f) / w };
    }
};

Projective squareOnto(const Corners& p)
{
    const double sx = p[0].x - p[1].x + p[2].x - p[3].x;
    const double sy = p[0].y - p[1].y + p[2].y - p[3].y;
    const double dx1 = p[1].x - p[2].x, dx2 = p[3].x - p[2].x;
    const double dy1 = p[1].y - p[2].y, dy2 = p[3].y - p[2].y;
    const double den = dx1 * dy2 - dx2 * dy1;
    const double g = (sx * dy2 - dx2 * sy) / den;
    const double h = (dx1 * sy - sx * dy1) / den;
    return { p[1].x - p[0].x + g * p[1].x, p[3].x - p[0].x + h * p[3].x, p[0].x,
        p[1].y - p[0].y + g * p[1].y, p[3].y - p[0].y + h * p[3].y, p[0].y, g, h };
}

double distance(PointF p, PointF q)
{
    return std::hypot(p.x - q.x, p.y - q.y);
}

// Whether the corners, in their order, turn the same way at each and not by almost nothing:
// a convex quadrilateral whose edges do not cross.
bool convex(const Corners& p)
{
    int sign = 0;
    for (int k = 0; k < 4; ++k) {
        const PointF a = p[k], b = p[(k + 1) % 4], c = p[(k + 2) % 4];
        const double ux = b.x - a.x, uy = b.y - a.y, vx = c.x - b.x, vy = c.y - b.y;
        const double cross = ux * vy - uy * vx;
        const double lengths = std::hypot(ux, uy) * std::hypot(vx, vy);
        if (!std::isfinite(cross) || lengths < 1.0 || std::abs(cross) <= 1e-3 * lengths)
            return false;
        const int s = cross > 0 ? 1 : -1;
        if (sign != 0 && s != sign)
            return false;
        sign = s;
    }
    return true;
}

} // namespace

Result<Placement> placePatches(const Corners& corners, const Chart& chart, Size picture)
{
    if (auto bad = badGrid(chart.rows, chart.columns))
        return *bad;
    if (!convex(corners))
        return Error { "Narożniki nie tworzą czworokąta wypukłego: wskaż środki pól narożnych w "
                       "kolejności: pierwsze pole, ostatnie pierwszego rzędu, ostatnie pole, "
                       "pierwsze ostatniego rzędu" };
    const Projective map = squareOnto(corners);
    const double du = 1.0 / (chart.columns - 1), dv = 1.0 / (chart.rows - 1);
    Placement placement;
    for (int r = 0; r < chart.rows; ++r)
        for (int c = 0; c < chart.columns; ++c) {
            const double u = c * du, v = r * dv;
            const PointF centre = map.at(u, v);
            // The spacing here: the smaller of the steps along the row and down the column,
            // so that the square stays inside a patch seen at an angle.
            const double along = distance(map.at(u - du / 2, v), map.at(u + du / 2, v));
            const double down = distance(map.at(u, v - dv / 2), map.at(u, v + dv / 2));
            const double side = std::max(1.0, std::floor(0.4 * std::min(along, down) + 0.5));
            const double left = std::floor(centre.x - (side - 1) / 2 + 0.5);
            const double top = std::floor(centre.y - (side - 1) / 2 + 0.5);
            const std::size_t index = std::size_t(r) * std::size_t(chart.columns) + std::size_t(c);
            if (!(left >= 0 && top >= 0 && left + side <= picture.width
                    && top + side <= picture.height)) {
                const std::string patch = index < chart.patches.size()
                    ? patchName(chart.patches[index])
                    : std::to_string(index + 1);
                return Error { "Kwadrat pomiaru pola " + patch + " wychodzi poza obraz" };
            }
            Rect square;
            square.Left = int(left);
            square.Top = int(top);
            square.Right = int(left + side);
            square.Bottom = int(top + side);
            placement.centres.push_back(centre);
            placement.squares.push_back(square);
        }
    return placement;
}

// ---------------------------------------------------------------------------------------------
// Measuring

SquareSink::SquareSink(std::size_t squares)
    : m_sums(squares)
{
}

void SquareSink::begin(const FilePixelsInfo& info)
{
    m_depth = info.depth == 16 ? 16 : 8;
    m_top = m_depth == 16 ? 65535 : 255;
}

void SquareSink::run(const PixelRun& run)
{
    if (run.region >= m_sums.size() || run.count <= 0 || !run.values)
        return;
    Sum& sum = m_sums[run.region];
    std::uint64_t s[3] = { 0, 0, 0 };
    bool clipped = false;
    const std::uint16_t* v = run.values;
    for (int i = 0; i < run.count; ++i, v += 3)
        for (int k = 0; k < 3; ++k) {
            s[k] += v[k];
            clipped |= v[k] == 0 || v[k] >= m_top;
        }
    for (int k = 0; k < 3; ++k)
        sum.values[k] += s[k];
    sum.count += run.count;
    sum.clipped = sum.clipped || clipped;
}

std::vector<SquareMean> SquareSink::means() const
{
    std::vector<SquareMean> out;
    for (const Sum& sum : m_sums) {
        SquareMean m;
        m.count = sum.count;
        m.clipped = sum.clipped;
        if (sum.count > 0)
            for (int k = 0; k < 3; ++k)
                m.mean[k] = double(sum.values[k]) / double(sum.count);
        out.push_back(m);
    }
    return out;
}

std::vector<Xyz> xyzOfMeans(
    std::span<const SquareMean> means, const colour::LabConverter& converter)
{
    std::vector<Xyz> out;
    out.reserve(means.size());
    for (const SquareMean& m : means)
        out.push_back(converter.xyzOfMean(m.mean));
    return out;
}

// ---------------------------------------------------------------------------------------------
// The fit

namespace {

using Vector9 = std::array<double, 9>;

Matrix3 matrixOf(const Vector9& p)
{
    Matrix3 m;
    for (int i = 0; i < 9; ++i)
        m.m[i / 3][i % 3] = p[i];
    return m;
}

// Solves a x = b for a symmetric positive definite n x n `a` (row by row) by Cholesky; false
// when it is not.
template <std::size_t N> bool solve(std::array<double, N * N> a, std::array<double, N>& x)
{
    for (std::size_t j = 0; j < N; ++j) {
        double d = a[j * N + j];
        for (std::size_t k = 0; k < j; ++k)
            d -= a[j * N + k] * a[j * N + k];
        if (!(d > 0))
            return false;
        d = std::sqrt(d);
        a[j * N + j] = d;
        for (std::size_t i = j + 1; i < N; ++i) {
            double s = a[i * N + j];
            for (std::size_t k = 0; k < j; ++k)
                s -= a[i * N + k] * a[j * N + k];
            a[i * N + j] = s / d;
        }
    }
    for (std::size_t i = 0; i < N; ++i) {
        double s = x[i];
        for (std::size_t k = 0; k < i; ++k)
            s -= a[i * N + k] * x[k];
        x[i] = s / a[i * N + i];
    }
    for (std::size_t i = N; i-- > 0;) {
        double s = x[i];
        for (std::size_t k = i + 1; k < N; ++k)
            s -= a[k * N + i] * x[k];
        x[i] = s / a[i * N + i];
    }
    return true;
}

struct Problem {
    std::vector<Xyz> measured;
    std::vector<Lab> reference;

    void errors(const Vector9& p, std::vector<double>& out) const
    {
        const Matrix3 m = matrixOf(p);
        out.resize(measured.size());
        for (std::size_t i = 0; i < measured.size(); ++i)
            out[i] = lab::deltaE00(labD50(m.apply(measured[i])), reference[i]);
    }
    double total(const Vector9& p, std::vector<double>& scratch) const
    {
        errors(p, scratch);
        double sum = 0;
        for (const double e : scratch)
            sum += e;
        return std::isfinite(sum) ? sum : HUGE_VAL;
    }
};

// From the least-squares matrix to the smallest sum of dE00, by reweighted least squares:
// each patch's L*a*b* difference, scaled so that its length is the patch's dE00, weighted by
// one over that dE00, so that the sum of squares is the sum of dE00 at the point; then
// Levenberg-Marquardt steps on it, a step kept only when the sum of dE00 itself falls.
Vector9 refine(const Problem& problem, Vector9 p)
{
    const std::size_t n = problem.measured.size();
    std::vector<double> scratch;
    std::vector<Lab> labs(n), shifted(n);
    const auto labsAt = [&](const Vector9& q, std::vector<Lab>& out) {
        const Matrix3 m = matrixOf(q);
        for (std::size_t i = 0; i < n; ++i)
            out[i] = labD50(m.apply(problem.measured[i]));
    };
    double total = problem.total(p, scratch);
    double lambda = 1e-3;
    std::vector<double> scale(n);
    std::vector<std::array<double, 3>> residual(n);
    std::vector<std::array<std::array<double, 9>, 3>> jacobian(n);
    for (int iteration = 0; iteration < 200 && total > 0; ++iteration) {
        labsAt(p, labs);
        for (std::size_t i = 0; i < n; ++i) {
            const Lab& ref = problem.reference[i];
            const double e00 = lab::deltaE00(labs[i], ref);
            const double e76 = lab::deltaE76(labs[i], ref);
            const double ratio = e76 > 1e-9 ? e00 / e76 : 1.0;
            scale[i] = ratio / std::sqrt(std::max(e00, 1e-4));
            residual[i] = { scale[i] * (labs[i].L - ref.L), scale[i] * (labs[i].a - ref.a),
                scale[i] * (labs[i].b - ref.b) };
        }
        for (int k = 0; k < 9; ++k) {
            Vector9 q = p;
            const double step = 1e-7 * std::max(1.0, std::abs(p[k]));
            q[k] += step;
            labsAt(q, shifted);
            for (std::size_t i = 0; i < n; ++i) {
                jacobian[i][0][k] = scale[i] * (shifted[i].L - labs[i].L) / step;
                jacobian[i][1][k] = scale[i] * (shifted[i].a - labs[i].a) / step;
                jacobian[i][2][k] = scale[i] * (shifted[i].b - labs[i].b) / step;
            }
        }
        std::array<double, 81> normal {};
        std::array<double, 9> gradient {};
        for (std::size_t i = 0; i < n; ++i)
            for (int d = 0; d < 3; ++d) {
                const auto& j = jacobian[i][d];
                for (int r = 0; r < 9; ++r) {
                    gradient[r] -= j[r] * residual[i][d];
                    for (int c = 0; c < 9; ++c)
                        normal[r * 9 + c] += j[r] * j[c];
                }
            }
        bool improved = false;
        double next = total;
        for (int attempt = 0; attempt < 16 && !improved; ++attempt) {
            std::array<double, 81> damped = normal;
            for (int r = 0; r < 9; ++r)
                damped[r * 9 + r] += lambda * std::max(normal[r * 9 + r], 1e-12);
            std::array<double, 9> step = gradient;
            if (solve<9>(damped, step)) {
                Vector9 q = p;
                for (int k = 0; k < 9; ++k)
                    q[k] += step[k];
                next = problem.total(q, scratch);
                if (next < total) {
                    p = q;
                    improved = true;
                    lambda = std::max(lambda / 4, 1e-9);
                    break;
                }
            }
            lambda *= 4;
        }
        if (!improved)
            break;
        const double gain = total - next;
        total = next;
        if (gain <= 1e-10 * std::max(total, 1e-9))
            break;
    }
    return p;
}

// The matrix of the smallest weighted sum of squares in XYZ: row by row,
// (sum w m m^T) M_row = sum w m r_row. None when the measured colours do not span XYZ: the
// determinant against the cube of the mean eigenvalue near 0, for colours on one line or one
// plane through black.
std::optional<Vector9> leastSquares(
    std::span<const Xyz> measured, std::span<const Xyz> reference, const std::vector<double>& w)
{
    std::array<double, 9> gram {};
    std::array<std::array<double, 3>, 3> cross {};
    for (std::size_t i = 0; i < measured.size(); ++i) {
        const Xyz& m = measured[i];
        const Xyz& r = reference[i];
        const double mv[3] = { m.X, m.Y, m.Z }, rv[3] = { r.X, r.Y, r.Z };
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b)
                gram[a * 3 + b] += w[i] * mv[a] * mv[b];
            for (int b = 0; b < 3; ++b)
                cross[b][a] += w[i] * mv[a] * rv[b];
        }
    }
    const double trace = gram[0] + gram[4] + gram[8];
    const double det = gram[0] * (gram[4] * gram[8] - gram[5] * gram[7])
        - gram[1] * (gram[3] * gram[8] - gram[5] * gram[6])
        + gram[2] * (gram[3] * gram[7] - gram[4] * gram[6]);
    if (!std::isfinite(det) || !(trace > 0) || !(det > 1e-12 * std::pow(trace / 3, 3)))
        return std::nullopt;
    Vector9 matrix {};
    for (int row = 0; row < 3; ++row) {
        std::array<double, 3> x = cross[row];
        if (!solve<3>(gram, x))
            return std::nullopt;
        for (int k = 0; k < 3; ++k)
            matrix[row * 3 + k] = x[k];
    }
    return matrix;
}

Figures figuresOf(std::vector<double> values)
{
    Figures f;
    if (values.empty())
        return f;
    std::sort(values.begin(), values.end());
    double sum = 0;
    for (const double v : values)
        sum += v;
    const std::size_t n = values.size();
    f.mean = sum / double(n);
    f.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    f.largest = values.back();
    return f;
}

} // namespace

Result<Fit> fitChart(
    const Chart& chart, std::span<const Xyz> measured, std::span<const bool> clipped)
{
    const std::size_t n = chart.patches.size();
    if (measured.size() != n || clipped.size() != n)
        return Error { "Liczba zmierzonych pól nie zgadza się z wzorcem" };
    Problem problem;
    for (std::size_t i = 0; i < n; ++i) {
        const Xyz& x = measured[i];
        if (clipped[i] || !std::isfinite(x.X) || !std::isfinite(x.Y) || !std::isfinite(x.Z))
            continue;
        problem.measured.push_back(x);
        problem.reference.push_back(chart.patches[i].reference);
    }
    const int used = int(problem.measured.size());
    if (used < MinimumPatches)
        return Error { "Za mało pól do dopasowania: nieprzyciętych jest " + std::to_string(used)
            + " z " + std::to_string(n) + ", potrzeba co najmniej " + std::to_string(MinimumPatches)
            + " o różnych barwach" };

    std::vector<Xyz> reference;
    for (const Lab& r : problem.reference)
        reference.push_back(xyzD50(r));
    const Error alike { "Barwy pól są zbyt podobne, by wyznaczyć z nich macierz: potrzeba co "
                        "najmniej "
        + std::to_string(MinimumPatches) + " pól o wyraźnie różnych barwach" };
    const auto ls = leastSquares(problem.measured, reference, std::vector<double>(used, 1.0));
    if (!ls)
        return alike;
    // A patch far off (a stain, a reflection) pulls the squares a long way, and the dE00
    // refinement then stays in the wrong valley. So patches are left out of the squares one
    // at a time, each time the one whose leaving out gives the smallest sum of dE00 over all
    // patches, while that sum falls (up to a third of them); the refinement starts from the
    // best matrix found and weighs every patch again.
    std::vector<double> scratch;
    Vector9 start = *ls;
    double startTotal = problem.total(start, scratch);
    std::vector<double> weights(std::size_t(used), 1.0);
    for (int left = 0; left < used / 3 && used - left > MinimumPatches; ++left) {
        std::optional<std::size_t> out;
        Vector9 outMatrix {};
        double outTotal = startTotal;
        for (std::size_t j = 0; j < weights.size(); ++j) {
            if (weights[j] == 0)
                continue;
            weights[j] = 0;
            const auto candidate = leastSquares(problem.measured, reference, weights);
            weights[j] = 1;
            if (!candidate)
                continue;
            const double total = problem.total(*candidate, scratch);
            if (total < outTotal) {
                out = j;
                outMatrix = *candidate;
                outTotal = total;
            }
        }
        if (!out)
            break;
        weights[*out] = 0;
        start = outMatrix;
        startTotal = outTotal;
    }
    const Vector9 best = refine(problem, start);

    Fit fit;
    fit.matrix = matrixOf(best);
    fit.used = used;
    std::vector<double> before, after;
    for (std::size_t i = 0; i < n; ++i) {
        PatchReport r;
        r.id = chart.patches[i].id;
        r.name = chart.patches[i].name;
        r.reference = chart.patches[i].reference;
        r.measured = labD50(measured[i]);
        r.corrected = labD50(fit.matrix.apply(measured[i]));
        r.deltaE00 = lab::deltaE00(r.measured, r.reference);
        r.deltaE00Corrected = lab::deltaE00(r.corrected, r.reference);
        r.clipped = clipped[i];
        if (!r.clipped && std::isfinite(r.deltaE00) && std::isfinite(r.deltaE00Corrected)) {
            before.push_back(r.deltaE00);
            after.push_back(r.deltaE00Corrected);
        }
        fit.patches.push_back(std::move(r));
    }
    fit.before = figuresOf(before);
    fit.after = figuresOf(after);
    return fit;
}

Result<Fit> calibrate(const Chart& chart, const Corners& corners, const std::string& path,
    Size picture, const colour::ColourProfile& profile, Progress& progress)
{
    auto placement = placePatches(corners, chart, picture);
    if (!placement)
        return placement.error();
    const std::vector<Rect>& squares = placement.value().squares;
    SquareSink sink(squares.size());
    auto read = readFileRegions(path, squares, sink, progress);
    if (!read)
        return read.error();
    const std::vector<SquareMean> means = sink.means();
    for (std::size_t i = 0; i < means.size(); ++i)
        if (means[i].count != std::int64_t(squares[i].width()) * squares[i].height())
            return Error { "Kwadrat pomiaru pola " + patchName(chart.patches[i])
                + " wychodzi poza obraz" };
    const colour::LabConverter converter(profile, colour::ReferenceWhite::D50, sink.depth());
    const std::vector<Xyz> xyz = xyzOfMeans(means, converter);
    const auto clipped = std::make_unique<bool[]>(means.size());
    for (std::size_t i = 0; i < means.size(); ++i)
        clipped[i] = means[i].clipped;
    return fitChart(chart, xyz, std::span<const bool>(clipped.get(), means.size()));
}

// ---------------------------------------------------------------------------------------------
// Using it

Lab correct(const Matrix3& matrix, Lab value, colour::ReferenceWhite white)
{
    const Xyz d50 = colour::d50OfLab(toColour(value), white);
    return fromColour(colour::labOfD50(matrix.apply(d50), white));
}

// ---------------------------------------------------------------------------------------------
// The calibration file

namespace {

constexpr std::string_view Header = "Probnik kalibracja 1";
constexpr std::string_view HeaderStart = "Probnik kalibracja ";

// A name as one value: no line ends, and no bar, which separates a patch's parts.
std::string oneLine(std::string_view text)
{
    std::string out;
    for (const char c : text)
        out += c == '\r' || c == '\n' || c == '|' || c == '\t' ? ' ' : c;
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

std::string nowText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

struct FigureKey {
    const char* key;
    double Figures::*field;
};
constexpr FigureKey FigureKeys[] = {
    { "srednia", &Figures::mean },
    { "mediana", &Figures::median },
    { "najwieksza", &Figures::largest },
};

} // namespace

Calibration calibrationOf(const Fit& fit, const Chart& chart, const colour::ColourProfile& profile,
    colour::ReferenceWhite white)
{
    Calibration c;
    c.matrix = fit.matrix;
    c.white = white;
    c.chartName = chart.name;
    c.chartFile = chart.file;
    c.rows = chart.rows;
    c.columns = chart.columns;
    c.reference = chart.patches;
    c.profileName = profile.name();
    c.profileId = profile.identifier();
    c.before = fit.before;
    c.after = fit.after;
    c.used = fit.used;
    c.date = nowText();
    return c;
}

std::string calibrationText(const Calibration& c)
{
    std::string text(Header);
    text += "\n";
    text += "# Kalibracja według wzorca barw: macierz 3 x 3 z XYZ (D50) zmierzonych do XYZ (D50)\n"
            "# wzorca, wiersz po wierszu; pole = identyfikator | nazwa | L* a* b* (D50).\n";
    const auto line = [&](std::string_view key, const std::string& value) {
        text += key;
        text += " = ";
        text += value;
        text += "\n";
    };
    std::string matrix;
    for (const auto& row : c.matrix.m)
        for (const double v : row)
            matrix += (matrix.empty() ? "" : " ") + exact(v);
    line("macierz", matrix);
    line("biel", std::string(colour::whiteName(c.white)));
    line("wzorzec", oneLine(c.chartName));
    line("plik_wzorca", oneLine(c.chartFile));
    line("rzedy", std::to_string(c.rows));
    line("kolumny", std::to_string(c.columns));
    for (const Patch& p : c.reference)
        line("pole",
            oneLine(p.id) + " | " + oneLine(p.name) + " | " + exact(p.reference.L) + " "
                + exact(p.reference.a) + " " + exact(p.reference.b));
    line("profil", oneLine(c.profileName));
    line("profil_md5", oneLine(c.profileId));
    line("pola_uzyte", std::to_string(c.used));
    for (const FigureKey& f : FigureKeys) {
        line(std::string("dE00_przed_") + f.key, fourDecimals(c.before.*f.field));
        line(std::string("dE00_po_") + f.key, fourDecimals(c.after.*f.field));
    }
    line("data", oneLine(c.date));
    return text;
}

Result<Calibration> parseCalibration(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<int> lineOf;
    int lineNumber = 0;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        const std::string line = trimmed(raw);
        if (first) {
            first = false;
            if (line == Header)
                continue;
            if (line.starts_with(HeaderStart))
                return Error { "Plik kalibracji jest w wersji „" + line.substr(HeaderStart.size())
                    + "”, a program zna wersję 1" };
            return Error { "To nie jest plik kalibracji Probnika: pierwszy wiersz nie brzmi „"
                + std::string(Header) + "”" };
        }
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            return Error { "Plik kalibracji, wiersz " + std::to_string(lineNumber)
                + ": brak znaku „=”" };
        entries.emplace_back(
            trimmed(std::string_view(line).substr(0, equals)), trimmed(line.substr(equals + 1)));
        lineOf.push_back(lineNumber);
    }
    if (first)
        return Error { "Plik kalibracji jest pusty" };

    const auto wrong = [&](std::size_t entry, const std::string& why) {
        return Error { "Plik kalibracji, wiersz " + std::to_string(lineOf[entry]) + " („"
            + entries[entry].first + "”): " + why };
    };
    const auto find = [&](std::string_view key) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i].first == key)
                return i;
        return std::nullopt;
    };
    const auto missing = [](std::string_view key) {
        return Error { "W pliku kalibracji brak „" + std::string(key) + "”" };
    };

    Calibration c;
    const auto wholeNumber
        = [&](std::string_view key, int min, int max, int& out) -> std::optional<Error> {
        const auto at = find(key);
        if (!at)
            return missing(key);
        const std::string& v = entries[*at].second;
        int value = 0;
        const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
        if (ec != std::errc {} || ptr != v.data() + v.size() || value < min || value > max)
            return wrong(*at,
                "oczekiwano liczby całkowitej od " + std::to_string(min) + " do "
                    + std::to_string(max));
        out = value;
        return std::nullopt;
    };
    const auto text_ = [&](std::string_view key, std::string& out) -> std::optional<Error> {
        const auto at = find(key);
        if (!at)
            return missing(key);
        out = entries[*at].second;
        return std::nullopt;
    };
    const auto decimal = [&](const std::string& key, double& out) -> std::optional<Error> {
        const auto at = find(key);
        if (!at)
            return missing(key);
        const auto v = number(entries[*at].second);
        if (!v || *v < 0)
            return wrong(*at, "oczekiwano liczby nieujemnej z kropką dziesiętną");
        out = *v;
        return std::nullopt;
    };

    {
        const auto at = find("macierz");
        if (!at)
            return missing("macierz");
        const auto values = words(entries[*at].second);
        if (values.size() != 9)
            return wrong(*at, "oczekiwano 9 liczb, jest " + std::to_string(values.size()));
        for (int i = 0; i < 9; ++i) {
            const auto v = number(values[i]);
            if (!v)
                return wrong(*at, "„" + values[i] + "” nie jest liczbą");
            c.matrix.m[i / 3][i % 3] = *v;
        }
        const auto& m = c.matrix.m;
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
            - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
            + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        if (!(det > 0))
            return wrong(*at, "macierz nie zachowuje barw (wyznacznik nie jest dodatni)");
    }
    {
        const auto at = find("biel");
        if (!at)
            return missing("biel");
        const std::string& v = entries[*at].second;
        if (v != "D50" && v != "D65")
            return wrong(*at, "oczekiwano D50 albo D65");
        c.white = colour::whiteFromName(v);
    }
    for (auto bad : { text_("wzorzec", c.chartName), text_("plik_wzorca", c.chartFile),
             wholeNumber("rzedy", 2, MaxPatches / 2, c.rows),
             wholeNumber("kolumny", 2, MaxPatches / 2, c.columns), text_("profil", c.profileName),
             text_("profil_md5", c.profileId), text_("data", c.date) })
        if (bad)
            return *bad;
    if (auto bad = badGrid(c.rows, c.columns))
        return Error { "Plik kalibracji: " + bad->message };
    {
        const std::string& id = c.profileId;
        if (id.size() != 32 || !std::all_of(id.begin(), id.end(), [](char ch) {
                return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f');
            }))
            return wrong(*find("profil_md5"), "oczekiwano 32 cyfr szesnastkowych");
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].first != "pole")
            continue;
        const std::string& v = entries[i].second;
        const std::size_t bar1 = v.find('|');
        const std::size_t bar2 = bar1 == std::string::npos ? bar1 : v.find('|', bar1 + 1);
        if (bar2 == std::string::npos)
            return wrong(i, "oczekiwano „identyfikator | nazwa | L* a* b*”");
        Patch p;
        p.id = trimmed(std::string_view(v).substr(0, bar1));
        p.name = trimmed(std::string_view(v).substr(bar1 + 1, bar2 - bar1 - 1));
        const auto values = words(std::string_view(v).substr(bar2 + 1));
        std::optional<double> lab[3];
        for (int k = 0; k < 3 && values.size() == 3; ++k)
            lab[k] = number(values[k]);
        if (values.size() != 3 || !lab[0] || !lab[1] || !lab[2] || p.id.empty())
            return wrong(i, "oczekiwano „identyfikator | nazwa | L* a* b*”");
        p.reference = { *lab[0], *lab[1], *lab[2] };
        c.reference.push_back(std::move(p));
    }
    const std::size_t needed = std::size_t(c.rows) * std::size_t(c.columns);
    if (c.reference.size() != needed)
        return Error { "Plik kalibracji ma " + std::to_string(c.reference.size())
            + " pól wzorca, a " + std::to_string(c.rows) + " × " + std::to_string(c.columns)
            + " wymaga " + std::to_string(needed) };
    if (auto bad = wholeNumber("pola_uzyte", 0, int(needed), c.used))
        return *bad;
    for (const FigureKey& f : FigureKeys) {
        if (auto bad = decimal(std::string("dE00_przed_") + f.key, c.before.*f.field))
            return *bad;
        if (auto bad = decimal(std::string("dE00_po_") + f.key, c.after.*f.field))
            return *bad;
    }
    return c;
}

std::optional<Error> saveCalibration(
    const std::filesystem::path& file, const Calibration& calibration)
{
    if (!writeWholeFile(file, calibrationText(calibration)))
        return Error { "Nie udało się zapisać pliku kalibracji „" + fileName(file) + "”" };
    return std::nullopt;
}

Result<Calibration> loadCalibration(const std::filesystem::path& file)
{
    const auto text = readSmallFile(file, std::size_t(4) << 20);
    if (!text)
        return Error { "Nie można odczytać pliku kalibracji „" + fileName(file) + "”" };
    return parseCalibration(*text);
}

// ---------------------------------------------------------------------------------------------
// The report as CSV

std::optional<Error> writeReportCsv(std::ostream& out, const Fit& fit, std::string_view separator)
{
    const auto breaks = [](char c) {
        return c == '\r' || c == '\n' || c == '.' || c == '-' || (c >= '0' && c <= '9');
    };
    if (separator.empty() || std::any_of(separator.begin(), separator.end(), breaks))
        return Error { "Tego separatora nie da się użyć w pliku CSV z liczbami" };
    const std::string sep(separator);
    std::string text = "\xEF\xBB\xBF";
    bool firstName = true;
    for (const char* name : { "Pole", "L*ref", "a*ref", "b*ref", "L*", "a*", "b*", "L*kal", "a*kal",
             "b*kal", "dE00", "dE00kal" }) {
        if (!firstName)
            text += sep;
        firstName = false;
        text += name;
    }
    text += "\r\n";
    for (const PatchReport& p : fit.patches) {
        text += oneLine(p.id);
        for (const Lab& v : { p.reference, p.measured, p.corrected })
            text += sep + fourDecimals(v.L) + sep + fourDecimals(v.a) + sep + fourDecimals(v.b);
        text += sep + fourDecimals(p.deltaE00) + sep + fourDecimals(p.deltaE00Corrected) + "\r\n";
    }
    std::string blanks;
    for (int i = 0; i < 9; ++i)
        blanks += sep;
    for (const auto& [name, field] :
        { std::pair { "Średnia", &Figures::mean }, std::pair { "Mediana", &Figures::median },
            std::pair { "Największa", &Figures::largest } })
        text += std::string(name) + blanks + sep + fourDecimals(fit.before.*field) + sep
            + fourDecimals(fit.after.*field) + "\r\n";
    out.write(text.data(), std::streamsize(text.size()));
    out.flush();
    if (!out)
        return Error { "Błąd zapisu pliku" };
    return std::nullopt;
}

} // namespace probnik::calibration
