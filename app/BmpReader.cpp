#include "BmpReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

namespace probnik {

namespace {

const char* const NotValid = "Bitmap image is not valid";
const char* const ReadError = "Stream read error";

// Larger pictures are refused before anything is allocated: 2^28 pixels is a 1 GiB raster.
constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 28;

// What pixels that compressed data never sets look like.
constexpr Color Undefined = Black;

constexpr std::uint64_t UnknownSize = std::numeric_limits<std::uint64_t>::max();

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

    bool read(std::uint8_t* to, std::size_t count)
    {
        if (count == 0)
            return true;
        if (!m_buffer)
            return false;
        const auto got = m_buffer->sgetn(reinterpret_cast<char*>(to), std::streamsize(count));
        m_position += std::uint64_t(std::max<std::streamsize>(got, 0));
        return got == std::streamsize(count);
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

    // Turns one stored row into `width` pixels.
    void decodeRow(const std::uint8_t* row, Color* out, int width) const
    {
        if (bitCount <= 8) {
            const unsigned mask = (1u << bitCount) - 1;
            for (int x = 0; x < width; ++x) {
                const std::size_t bit = std::size_t(x) * std::size_t(bitCount);
                out[x] = palette[row[bit / 8] >> (8 - bitCount - bit % 8) & mask];
            }
            return;
        }
        const int bytes = bitCount / 8;
        for (int x = 0; x < width; ++x, row += bytes) {
            std::uint32_t pixel = 0;
            for (int i = 0; i < bytes; ++i)
                pixel |= std::uint32_t(row[i]) << (8 * i);
            out[x] = rgb(int(redField(pixel)), int(greenField(pixel)), int(blueField(pixel)));
        }
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
// input right after them. Nothing is allocated here that the file could make large.
Result<Layout> readHeaders(Input& in, PixelFormat& format)
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
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > MaxPixels)
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
        for (std::size_t i = 0; i < count; ++i) {
            std::array<std::uint8_t, 4> bgr {};
            if (!in.read(bgr.data(), entrySize))
                return Error { ReadError };
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

} // namespace

Result<Canvas> readBmp(std::istream& in)
{
    Input input(in);
    PixelFormat format;
    auto header = readHeaders(input, format);
    if (!header)
        return header.error();
    const Layout& layout = header.value();

    // The file must hold the data the header promises before the picture is allocated.
    const std::uint64_t needed = isRle(layout)
        ? std::uint64_t(layout.dataOffset) + 1
        : layout.dataOffset + layout.stride * std::uint64_t(layout.height - 1) + layout.rowBytes;
    if (needed > input.size() || !input.skip(layout.dataOffset - input.position()))
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
    // The path is UTF-8 text; a directory opens as a stream on some systems but is no file.
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code error;
    std::ifstream stream;
    if (!std::filesystem::is_directory(file, error))
        stream.open(file, std::ios::binary);
    if (!stream.is_open())
        return Error { "Cannot open file " + path };
    return readBmp(stream);
}

} // namespace probnik
