#include "picture/BmpReader.h"
#include "picture/ByteReader.h"
#include "picture/RunLengthCodes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

namespace probnik {

namespace {

const char* const NotValid = "Bitmap image is not valid";
const char* const ReadError = "Stream read error";

// Larger pictures are refused before anything is allocated: 2^28 pixels is a 1 GiB raster.
constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 28;
// Display-sized decoding keeps only the box in memory, so it takes far larger pictures. The
// limit keeps every byte count of the pixel data below 2^43, far from overflowing.
constexpr std::uint64_t MaxDisplayPixels = std::uint64_t(1) << 40;
// The most bytes of a row read in one go; wider rows are read in several pieces.
constexpr std::uint64_t MaxChunk = 64 * 1024;

// What pixels that compressed data never sets look like.
constexpr Color Undefined = Black;

constexpr std::uint64_t UnknownSize = std::numeric_limits<std::uint64_t>::max();
// Beyond every picture column.
constexpr std::uint64_t NoColumn = std::numeric_limits<std::uint64_t>::max();

enum Compression : std::uint32_t { Uncompressed = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

constexpr std::uint32_t CoreHeader = 12; // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr std::uint32_t InfoHeader = 40;
constexpr std::uint32_t Os2Header = 64; // OS/2 2.x: the info fields, then fields we do not need

std::uint32_t le16(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t le32(const std::uint8_t* p)
{
    return le16(p) | le16(p + 2) << 16;
}

// The file as a sequence of bytes, counted from where the picture starts, so the data offset
// of the file header can be reached by skipping forward.
class Input {
public:
    explicit Input(std::istream& in)
        : m_buffer(in.rdbuf())
    {
        const std::streampos failed(-1);
        const auto start = m_buffer ? m_buffer->pubseekoff(0, std::ios::cur, std::ios::in) : failed;
        if (start == failed)
            return; // not seekable: the size stays unknown
        const auto end = m_buffer->pubseekoff(0, std::ios::end, std::ios::in);
        if (end != failed && end >= start)
            m_size = std::uint64_t(end - start);
        if (m_buffer->pubseekpos(start, std::ios::in) != start) {
            m_buffer = nullptr; // lost the start: nothing can be read
            m_size = 0;
        }
    }

    std::uint64_t position() const { return m_position; }
    // Bytes from the start of the picture to the end of the stream, UnknownSize if unknown.
    std::uint64_t size() const { return m_size; }

    bool read(std::uint8_t* to, std::size_t count) { return readSome(to, count) == count; }

    // Reads up to `count` bytes; fewer only at the end of the stream.
    std::size_t readSome(std::uint8_t* to, std::size_t count)
    {
        if (count == 0 || !m_buffer)
            return 0;
        const auto got = m_buffer->sgetn(reinterpret_cast<char*>(to), std::streamsize(count));
        const auto bytes = std::size_t(std::max<std::streamsize>(got, 0));
        m_position += bytes;
        return bytes;
    }

    // The next byte, or -1 at the end.
    int get()
    {
        if (!m_buffer)
            return -1;
        const auto c = m_buffer->sbumpc(); // 0..255, or eof
        if (c == std::char_traits<char>::eof())
            return -1;
        ++m_position;
        return int(c);
    }

    bool skip(std::uint64_t count)
    {
        if (count == 0)
            return true;
        if (m_size == UnknownSize) {
            std::array<std::uint8_t, 4096> scratch;
            for (; count > 0; count -= std::min<std::uint64_t>(count, scratch.size())) {
                if (!read(scratch.data(), std::min<std::uint64_t>(count, scratch.size())))
                    return false;
            }
            return true;
        }
        if (count > m_size - std::min(m_size, m_position))
            return false;
        if (m_buffer->pubseekoff(std::streamoff(count), std::ios::cur, std::ios::in)
            == std::streampos(-1))
            return false;
        m_position += count;
        return true;
    }

    // Moves forward to `position`, counted like position().
    bool skipTo(std::uint64_t position)
    {
        return position >= m_position && skip(position - m_position);
    }

private:
    std::streambuf* m_buffer;
    std::uint64_t m_position = 0;
    std::uint64_t m_size = UnknownSize;
};

// One colour channel of a direct-colour pixel, brought to 0..255. A field of up to 8 bits is
// multiplied by 256 / (maximum + 1) without filling the low bits, as Qt does, so 5 bits give
// 0..248; a wider field keeps its top 8 bits. A channel with an empty mask is 0.
class Channel {
public:
    Channel() = default;
    explicit Channel(std::uint32_t mask)
        : m_mask(mask)
        , m_shift(mask ? std::countr_zero(mask) : 0)
    {
        const std::uint32_t maximum = mask >> m_shift;
        if (maximum < 256)
            m_factor = 256 / (maximum + 1);
        else
            m_drop = int(std::bit_width(maximum)) - 8;
    }

    std::uint32_t operator()(std::uint32_t pixel) const
    {
        return ((pixel & m_mask) >> m_shift) * m_factor >> m_drop;
    }

private:
    std::uint32_t m_mask = 0;
    int m_shift = 0;
    std::uint32_t m_factor = 1;
    int m_drop = 0;
};

// Everything a stored row needs to become pixels: the same for every row of the picture.
struct PixelFormat {
    int bitCount = 0;
    // Padded with black to 256 entries, so that no index can reach outside it.
    std::array<Color, 256> palette {};
    Channel redField, greenField, blueField;

    // The pixel whose first bit is bit `bit` of `bytes`, counting from the top bit of the
    // first byte, as the rows are stored.
    Color pixelAt(const std::uint8_t* bytes, std::uint64_t bit) const
    {
        const std::uint8_t* p = bytes + bit / 8;
        if (bitCount <= 8) {
            const unsigned mask = (1u << bitCount) - 1;
            return palette[*p >> (8 - bitCount - int(bit % 8)) & mask];
        }
        std::uint32_t pixel = 0;
        for (int i = 0; i < bitCount / 8; ++i)
            pixel |= std::uint32_t(p[i]) << (8 * i);
        return rgb(int(redField(pixel)), int(greenField(pixel)), int(blueField(pixel)));
    }

    // Turns one stored row into `width` pixels.
    void decodeRow(const std::uint8_t* row, Color* out, int width) const
    {
        for (int x = 0; x < width; ++x)
            out[x] = pixelAt(row, std::uint64_t(x) * std::uint64_t(bitCount));
    }
};

// The header fields that decide how the pixels are stored, already checked for sense.
struct Layout {
    std::uint32_t dataOffset = 0;
    int width = 0;
    int height = 0;
    bool topDown = false;
    std::uint32_t compression = Uncompressed;
    std::uint64_t stride = 0; // bytes of a stored row, with its padding to 4 bytes
    std::uint64_t rowBytes = 0; // bytes of a stored row that hold pixels
};

bool isRle(const Layout& layout)
{
    return layout.compression == Rle8 || layout.compression == Rle4;
}

// The row of the picture that the stored row `fileRow` becomes.
int pictureRow(const Layout& layout, int fileRow)
{
    return layout.topDown ? fileRow : layout.height - 1 - fileRow;
}

// Reads the file header, the bitmap header, the bit-field masks and the palette, leaving the
// input right after them. Pictures of more than `maxPixels` pixels are not valid. Nothing is
// allocated here that the file could make large.
Result<Layout> readHeaders(Input& in, PixelFormat& format, std::uint64_t maxPixels)
{
    std::array<std::uint8_t, 14> fileHeader {};
    const bool fileHeaderRead = in.read(fileHeader.data(), fileHeader.size());
    if (in.position() >= 2 && (fileHeader[0] != 'B' || fileHeader[1] != 'M'))
        return Error { NotValid };
    if (!fileHeaderRead)
        return Error { ReadError };
    Layout layout;
    layout.dataOffset = le32(&fileHeader[10]);

    // Room for the longest header, or a 40-byte one followed by its three masks.
    std::array<std::uint8_t, 124> h {};
    if (!in.read(h.data(), 4))
        return Error { ReadError };
    const std::uint32_t headerSize = le32(h.data());
    if (headerSize != CoreHeader && headerSize != InfoHeader && headerSize != 52 && headerSize != 56
        && headerSize != Os2Header && headerSize != 108 && headerSize != 124)
        return Error { NotValid };
    if (!in.read(h.data() + 4, headerSize - 4))
        return Error { ReadError };

    std::int64_t width, height;
    std::uint32_t planes, colorsUsed = 0;
    if (headerSize == CoreHeader) {
        width = le16(&h[4]);
        height = le16(&h[6]);
        planes = le16(&h[8]);
        format.bitCount = int(le16(&h[10]));
    } else {
        width = std::int32_t(le32(&h[4]));
        height = std::int32_t(le32(&h[8]));
        planes = le16(&h[12]);
        format.bitCount = int(le16(&h[14]));
        layout.compression = le32(&h[16]);
        colorsUsed = le32(&h[32]);
    }
    const int bits = format.bitCount;
    const std::uint32_t compression = layout.compression;
    const bool compressionFits = compression == Uncompressed || (compression == Rle8 && bits == 8)
        || (compression == Rle4 && bits == 4)
        || (compression == BitFields && (bits == 16 || bits == 32) && headerSize != Os2Header);
    if (planes != 1
        || !(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)
        || !compressionFits)
        return Error { NotValid };

    layout.topDown = height < 0;
    height = height < 0 ? -height : height;
    // A top-down height of -2^31 has no positive int.
    if (width <= 0 || height <= 0 || height > std::numeric_limits<std::int32_t>::max()
        || std::uint64_t(width) * std::uint64_t(height) > maxPixels)
        return Error { NotValid };
    layout.width = int(width);
    layout.height = int(height);
    layout.rowBytes = (std::uint64_t(width) * std::uint64_t(bits) + 7) / 8;
    layout.stride = (std::uint64_t(width) * std::uint64_t(bits) + 31) / 32 * 4;

    if (compression == BitFields) {
        // Masks follow a 40-byte header; longer headers hold them.
        if (headerSize == InfoHeader && !in.read(h.data() + 40, 12))
            return Error { ReadError };
        const std::uint32_t r = le32(&h[40]), g = le32(&h[44]), b = le32(&h[48]);
        if ((r | g | b) == 0)
            return Error { NotValid };
        format.redField = Channel(r);
        format.greenField = Channel(g);
        format.blueField = Channel(b);
    } else if (bits == 16) {
        format.redField = Channel(0x7c00);
        format.greenField = Channel(0x03e0);
        format.blueField = Channel(0x001f);
    } else if (bits > 16) {
        format.redField = Channel(0xff0000);
        format.greenField = Channel(0x00ff00);
        format.blueField = Channel(0x0000ff);
    }
    if (layout.dataOffset < in.position())
        return Error { NotValid };

    if (bits <= 8) {
        if (colorsUsed > 256)
            return Error { NotValid };
        const std::uint32_t entrySize = headerSize == CoreHeader ? 3 : 4;
        // Entries that would overlap the pixel data are not part of the palette.
        const std::uint64_t room = (layout.dataOffset - in.position()) / entrySize;
        const std::uint32_t declared = colorsUsed ? colorsUsed : 1u << bits;
        const auto count = std::size_t(std::min<std::uint64_t>(declared, room));
        // One read for the whole palette: 1 KiB at most.
        std::array<std::uint8_t, 256 * 4> entries {};
        if (!in.read(entries.data(), count * entrySize))
            return Error { ReadError };
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* bgr = &entries[i * entrySize];
            format.palette[i] = rgb(bgr[2], bgr[1], bgr[0]);
        }
    }
    return layout;
}

// Uncompressed rows, stored one after another from the data offset on.
Result<Canvas> readRows(Input& in, const Layout& layout, const PixelFormat& format)
{
    Canvas picture(layout.width, layout.height);
    std::vector<std::uint8_t> row(std::size_t(layout.rowBytes));
    for (int fileRow = 0; fileRow < layout.height; ++fileRow) {
        if (fileRow > 0 && !in.skip(layout.stride - layout.rowBytes))
            return Error { ReadError };
        if (!in.read(row.data(), row.size()))
            return Error { ReadError };
        format.decodeRow(row.data(), picture.row(pictureRow(layout, fileRow)), layout.width);
    }
    return picture;
}

// Run-length encoded rows (RLE8, or RLE4 with two pixels a byte). Rows are finished in file
// order and handed to `finishRow(fileRow, pixels)`. Runs that pass the end of the row are cut
// there; data that ends early, or an end-of-bitmap code, leaves the remaining pixels Undefined.
// Every code reads at least two bytes, so the work is bounded by the file and picture size.
template <class RowSink>
void decodeRle(Input& in, const Layout& layout, const PixelFormat& format, RowSink finishRow)
{
    const bool nibbles = layout.compression == Rle4;
    const int width = layout.width;
    std::vector<Color> row(std::size_t(width), Undefined);
    int x = 0, y = 0;
    const auto put = [&](unsigned index) {
        if (x < width)
            row[std::size_t(x++)] = format.palette[index];
    };
    const auto nextRow = [&] {
        finishRow(y++, row.data());
        std::fill(row.begin(), row.end(), Undefined);
    };

    while (y < layout.height) {
        const int count = in.get();
        const int value = in.get();
        if (count < 0 || value < 0)
            break;
        if (count > 0) { // a run of one index, or of two alternating nibbles
            for (int i = 0; i < count && x < width; ++i)
                put(nibbles ? unsigned(i % 2 ? value & 15 : value >> 4) : unsigned(value));
        } else if (value == 0) { // end of row
            nextRow();
            x = 0;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and down
            const int right = in.get();
            const int down = in.get();
            if (right < 0 || down < 0)
                break;
            const int column = std::min(x + right, width);
            for (int i = 0; i < down && y < layout.height; ++i)
                nextRow();
            x = column;
        } else { // `value` indices stored literally, padded to an even number of bytes
            const int bytes = nibbles ? (value + 1) / 2 : value;
            bool complete = true;
            for (int i = 0; i < bytes && complete; ++i) {
                const int c = in.get();
                complete = c >= 0;
                if (complete && nibbles) {
                    put(unsigned(c >> 4));
                    if (2 * i + 1 < value)
                        put(unsigned(c & 15));
                } else if (complete) {
                    put(unsigned(c));
                }
            }
            if (!complete || (bytes % 2 && in.get() < 0))
                break;
        }
    }
    while (y < layout.height)
        nextRow();
}

// The file must hold the pixel data the header promises: checked before any of it is read
// or anything is allocated for it.
bool holdsPixelData(const Input& in, const Layout& layout)
{
    // Below 2^43 for pictures of up to 2^40 pixels: no overflow.
    const std::uint64_t needed = isRle(layout)
        ? std::uint64_t(layout.dataOffset) + 1
        : layout.dataOffset + layout.stride * std::uint64_t(layout.height - 1) + layout.rowBytes;
    return needed <= in.size();
}

// Nearest-pixel sampling of `size` picture positions by `count` shown ones: shown position i
// takes picture position i * size / count, as stretching does.
struct Sampling {
    std::uint64_t size = 1;
    std::uint64_t count = 0;

    std::uint64_t source(std::uint64_t i) const { return i * size / count; }
    // The first shown position whose picture position is `s` or more; count if none.
    // (floor(i * size / count) >= s exactly when i * size >= s * count.)
    std::uint64_t firstFrom(std::uint64_t s) const { return (s * count + size - 1) / size; }
};

// The display box's rows of an uncompressed picture: each picture row shown is read once,
// in file order, with forward seeks over the rows in between, and only its shown columns are
// converted. A row wider than MaxChunk bytes is read in pieces around the shown columns.
Result<Canvas> readShownRows(Input& in, const Layout& layout, const PixelFormat& format,
    const Sampling& columns, const Sampling& rows)
{
    const int shownWidth = int(columns.count);
    const int shownHeight = int(rows.count);
    const auto bits = std::uint64_t(format.bitCount);
    Canvas shown(shownWidth, shownHeight);
    // The first bit of each shown column within a row.
    std::vector<std::uint64_t> bitOf(columns.count);
    for (std::size_t i = 0; i < bitOf.size(); ++i)
        bitOf[i] = columns.source(i) * bits;
    // The first byte of shown column i, and the byte just past it.
    const auto startOf = [&](int i) { return bitOf[std::size_t(i)] / 8; };
    const auto endOf = [&](int i) { return (bitOf[std::size_t(i)] + bits + 7) / 8; };
    std::vector<std::uint8_t> chunk;
    std::uint64_t previousRow = UnknownSize;
    int previousJ = 0;
    for (int n = 0; n < shownHeight; ++n) {
        // Bottom-up files store the last picture row first.
        const int j = layout.topDown ? n : shownHeight - 1 - n;
        const std::uint64_t row = rows.source(std::uint64_t(j));
        Color* out = shown.row(j);
        if (row == previousRow) { // an enlarged picture shows a row several times
            std::copy_n(shown.row(previousJ), shownWidth, out);
            continue;
        }
        const std::uint64_t fileRow = layout.topDown ? row : std::uint64_t(layout.height) - 1 - row;
        const std::uint64_t rowStart = layout.dataOffset + fileRow * layout.stride;
        for (int i = 0; i < shownWidth;) {
            const std::uint64_t from = startOf(i);
            // Columns join the piece while it stays small, and always when they share a byte
            // with it, so that the pieces never overlap and reads only move forward.
            int last = i;
            while (last + 1 < shownWidth
                && (endOf(last + 1) - from <= MaxChunk || startOf(last + 1) < endOf(last)))
                ++last;
            chunk.resize(std::size_t(endOf(last) - from));
            if (!in.skipTo(rowStart + from) || !in.read(chunk.data(), chunk.size()))
                return Error { ReadError };
            for (; i <= last; ++i) {
                const std::uint64_t bit = bitOf[std::size_t(i)];
                // An enlarged picture shows a column several times: convert it once.
                out[i] = i > 0 && bit == bitOf[std::size_t(i) - 1]
                    ? out[i - 1]
                    : format.pixelAt(chunk.data(), bit - from * 8);
            }
        }
        previousRow = row;
        previousJ = j;
    }
    return shown;
}

// Passes the runs and literals of rows that are not shown, which move x and change nothing
// else. The control codes are found a buffer at a time; their places do not depend on what
// the decoding does with them, so after a shown row the next hidden one goes on from them.
class HiddenRows {
public:
    // From a code of a hidden row up to the next control code, which is left to the caller;
    // or up to near the end of the data, where codes may be cut short.
    void pass(ByteReader& bytes, bool nibbles, std::uint64_t width, std::uint64_t& x)
    {
        constexpr std::size_t LongestCode = RunLengthCodes::LongestCode;
        for (;;) {
            const std::uint64_t here = bytes.offset();
            if (!find(here)) {
                const std::size_t present = bytes.available(2 * LongestCode);
                if (present < LongestCode)
                    return;
                m_codes.clear();
                m_walked = m_walker.walk(bytes.data(), present - LongestCode, nibbles, m_codes);
                m_start = here;
                m_next = 0;
            }
            const std::uint64_t pixelsHere = m_next > 0 ? m_codes[m_next - 1].pixelsBefore : 0;
            const bool control = m_next < m_codes.size();
            const std::uint64_t to = control ? m_codes[m_next].position : m_walked.position;
            const std::uint64_t pixels
                = (control ? m_codes[m_next].pixelsBefore : m_walked.pixels) - pixelsHere;
            // Runs and literals are cut at the row's end; cutting the sum cuts each.
            x += std::min(pixels, width - x);
            bytes.advance(std::size_t(m_start + to - here));
            if (control) {
                ++m_next;
                return;
            }
        }
    }

private:
    RunLengthCodes m_walker;
    std::vector<RunLengthCodes::ControlCode> m_codes; // placed from m_start
    RunLengthCodes::Walked m_walked { 0, 0 };
    std::uint64_t m_start = 0;
    // The first of m_codes after the place the last pass left.
    std::size_t m_next = 0;

    // Whether `here` is where the last walk started or one of its control codes ends, so
    // that the codes after it are known; sets m_next to the first of them.
    bool find(std::uint64_t here)
    {
        if (m_walked.position == 0)
            return false; // nothing walked yet: every walk moves
        if (here == m_start) {
            m_next = 0;
            return true;
        }
        if (here < m_start || here >= m_start + m_walked.position)
            return false;
        const std::size_t place = std::size_t(here - m_start);
        if (m_next > 0 && m_codes[m_next - 1].end() == place)
            return true;
        const auto after = std::upper_bound(m_codes.begin(), m_codes.end(), place,
            [](std::size_t p, const RunLengthCodes::ControlCode& c) { return p <= c.position; });
        if (after == m_codes.begin() || std::prev(after)->end() != place)
            return false;
        m_next = std::size_t(after - m_codes.begin());
        return true;
    }
};

// The display box's rows of a run-length picture, in one pass over the data. The codes mean
// what they mean to decodeRle, and the result is what stretching its picture gives; but only
// the shown columns of the shown rows are ever stored, so a small file that declares a huge
// picture costs no more memory than the box, and time in proportion to the file.
Canvas decodeShownRle(Input& in, const Layout& layout, const PixelFormat& format,
    const Sampling& columns, const Sampling& rows)
{
    Canvas shown(int(columns.count), int(rows.count), Undefined);
    if (shown.isEmpty())
        return shown;
    const bool nibbles = layout.compression == Rle4;
    const auto width = std::uint64_t(layout.width);
    const auto height = std::uint64_t(layout.height);
    std::vector<Color> row(std::size_t(columns.count), Undefined);
    // Large files are read ahead, while the codes already read are walked.
    constexpr std::uint64_t Large = 1 << 20;
    const bool large = in.size() != UnknownSize && in.size() - in.position() > Large;
    ByteReader bytes(
        [&in](std::uint8_t* to, std::size_t count) { return in.readSome(to, count); }, large);
    HiddenRows hidden;

    // The picture column of each shown column, then one past any picture column, so that
    // a loop over the shown columns of some pixels needs no other end.
    std::vector<std::uint64_t> sourceColumn(columns.count + 1, NoColumn);
    for (std::size_t i = 0; i < columns.count; ++i)
        sourceColumn[i] = columns.source(i);
    // The file rows shown, in file order, each with the shown rows [jFrom, jTo) it fills.
    struct ShownRow {
        std::uint64_t fileRow, jFrom, jTo;
    };
    std::vector<ShownRow> shownRows;
    for (std::uint64_t n = 0; n < rows.count; ++n) {
        const std::uint64_t j = layout.topDown ? n : rows.count - 1 - n;
        const std::uint64_t picture = rows.source(j);
        const std::uint64_t fileRow = layout.topDown ? picture : height - 1 - picture;
        if (!shownRows.empty() && shownRows.back().fileRow == fileRow)
            shownRows.back() = { fileRow, std::min(shownRows.back().jFrom, j),
                std::max(shownRows.back().jTo, j + 1) };
        else
            shownRows.push_back({ fileRow, j, j + 1 });
    }
    std::size_t nextShown = 0; // the first of shownRows at or after y

    std::uint64_t x = 0;
    std::uint64_t y = 0; // the row in file order
    // Shown rows [jFrom, jTo) show file row y; none when they are equal.
    std::uint64_t jFrom = 0, jTo = 0;
    // The first shown column whose picture column is x or more; none in a row not shown.
    std::size_t column = 0;
    const auto enterRow = [&](std::uint64_t fileRow, std::uint64_t newX) {
        y = fileRow;
        x = newX;
        while (nextShown < shownRows.size() && shownRows[nextShown].fileRow < y)
            ++nextShown;
        const bool isShown = nextShown < shownRows.size() && shownRows[nextShown].fileRow == y;
        jFrom = isShown ? shownRows[nextShown].jFrom : 0;
        jTo = isShown ? shownRows[nextShown].jTo : 0;
        column = isShown ? std::size_t(columns.firstFrom(x)) : std::size_t(columns.count);
    };
    const auto finishRow = [&] {
        if (jFrom == jTo)
            return;
        for (std::uint64_t j = jFrom; j < jTo; ++j)
            std::copy(row.begin(), row.end(), shown.row(int(j)));
        std::fill(row.begin(), row.end(), Undefined);
    };
    Color* const out = row.data();
    const std::uint64_t* const source = sourceColumn.data();
    // Where the next `count` pixels end, cut at the row's end.
    const auto endOf = [&](std::uint64_t count) { return x + std::min(count, width - x); };

    enterRow(0, 0);
    while (y < height) {
        if (jFrom == jTo)
            hidden.pass(bytes, nibbles, width, x);
        if (bytes.available(2) < 2)
            break;
        const unsigned count = bytes.data()[0];
        const unsigned value = bytes.data()[1];
        bytes.advance(2);
        if (count > 0) { // a run of one index, or of two alternating nibbles
            const Color even = format.palette[nibbles ? value >> 4 : value];
            const Color odd = format.palette[nibbles ? value & 15 : value];
            const std::uint64_t end = endOf(count);
            if (nibbles)
                for (; source[column] < end; ++column)
                    out[column] = (source[column] - x) % 2 ? odd : even;
            else
                for (; source[column] < end; ++column)
                    out[column] = even;
            x = end;
        } else if (value == 0) { // end of row
            finishRow();
            enterRow(y + 1, 0);
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and down
            if (bytes.available(2) < 2)
                break;
            const unsigned right = bytes.data()[0];
            const unsigned down = bytes.data()[1];
            bytes.advance(2);
            if (down > 0)
                finishRow();
            enterRow(y + down, std::min(x + right, width));
        } else { // `value` indices stored literally, padded to an even number of bytes
            const std::size_t stored = nibbles ? (value + 1) / 2 : value;
            const std::size_t padded = stored + stored % 2;
            const std::size_t present = std::min(bytes.available(padded), stored);
            const std::uint8_t* d = bytes.data();
            const std::uint64_t pixels
                = nibbles ? std::min<std::uint64_t>(value, 2 * present) : present;
            const std::uint64_t end = endOf(pixels);
            for (; source[column] < end; ++column) {
                const std::uint64_t k = source[column] - x;
                out[column]
                    = format.palette[nibbles ? (k % 2 ? d[k / 2] & 15 : d[k / 2] >> 4) : d[k]];
            }
            x = end;
            if (bytes.available(padded) < padded)
                break;
            bytes.advance(padded);
        }
    }
    if (y < height)
        finishRow();
    return shown;
}

// Opens `path` for reading bytes, or says why it cannot.
std::optional<Error> openFile(const std::string& path, std::ifstream& stream)
{
    // The path is UTF-8 text; a directory opens as a stream on some systems but is no file.
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code error;
    if (!std::filesystem::is_directory(file, error))
        stream.open(file, std::ios::binary);
    if (!stream.is_open())
        return Error { "Cannot open file " + path };
    return std::nullopt;
}

} // namespace

Result<Canvas> readBmp(std::istream& in)
{
    Input input(in);
    PixelFormat format;
    auto header = readHeaders(input, format, MaxPixels);
    if (!header)
        return header.error();
    const Layout& layout = header.value();

    // The file must hold the data the header promises before the picture is allocated.
    if (!holdsPixelData(input, layout) || !input.skipTo(layout.dataOffset))
        return Error { ReadError };

    if (!isRle(layout))
        return readRows(input, layout, format);
    Canvas picture(layout.width, layout.height, Undefined);
    decodeRle(input, layout, format, [&](int fileRow, const Color* pixels) {
        std::copy_n(pixels, layout.width, picture.row(pictureRow(layout, fileRow)));
    });
    return picture;
}

Result<Canvas> readBmpFile(const std::string& path)
{
    std::ifstream stream;
    if (auto error = openFile(path, stream))
        return *error;
    return readBmp(stream);
}

Result<DisplayPicture> readBmpForDisplay(std::istream& in, int boxSide)
{
    Input input(in);
    PixelFormat format;
    auto header = readHeaders(input, format, MaxDisplayPixels);
    if (!header)
        return header.error();
    const Layout& layout = header.value();
    if (!holdsPixelData(input, layout))
        return Error { ReadError };

    const Size box = fitInBox(layout.width, layout.height, boxSide);
    const Sampling columns { std::uint64_t(layout.width), std::uint64_t(box.width) };
    const Sampling rows { std::uint64_t(layout.height), std::uint64_t(box.height) };
    DisplayPicture picture { layout.width, layout.height, Canvas() };
    if (box.width <= 0 || box.height <= 0)
        return picture;
    if (isRle(layout)) {
        if (!input.skipTo(layout.dataOffset))
            return Error { ReadError };
        picture.shown = decodeShownRle(input, layout, format, columns, rows);
        return picture;
    }
    auto shown = readShownRows(input, layout, format, columns, rows);
    if (!shown)
        return shown.error();
    picture.shown = std::move(shown).value();
    return picture;
}

Result<DisplayPicture> readBmpForDisplay(const std::string& path, int boxSide)
{
    std::ifstream stream;
    // Unbuffered: every read goes straight to the file, so only the bytes asked for are read
    // (a buffer would read ahead by its size at each seek to a shown row).
    stream.rdbuf()->pubsetbuf(nullptr, 0);
    if (auto error = openFile(path, stream))
        return *error;
    return readBmpForDisplay(stream, boxSide);
}

} // namespace probnik
