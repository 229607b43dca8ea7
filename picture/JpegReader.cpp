// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/JpegReader.h"

#include "picture/ByteSource.h"
#include "picture/RegionRows.h"
#include "picture/ShownPixels.h"

// jpeglib.h needs the types of stdio.h declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <optional>
#include <string>
#include <vector>

namespace probnik {

namespace {

// The most memory libjpeg may take; a progressive picture's coefficients (two bytes a
// sample) count in it, so at most about 100 million samples of them fit.
constexpr long MaxMemory = 200L << 20;
constexpr std::size_t BufferSize = 64 * 1024;
// Each scan of a progressive file passes over the whole picture: more than this many scans
// is no picture a camera or a program writes.
constexpr int MaxScans = 100;
// The largest ICC profile taken, and the most bytes of APP segments kept: the first EXIF
// segment and the ICC profile's.
constexpr std::size_t MaxProfile = 64 << 20;
constexpr std::size_t MaxKept = MaxProfile + (1 << 20);
// Reading reports progress after about this many bytes.
constexpr std::size_t ReportEvery = 1 << 20;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

// libjpeg's fatal errors come back here and jump to the setjmp of the function that called
// it; its warnings and messages are dropped (data that ends early is seen by the source).
[[noreturn]] void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void onMessage(j_common_ptr) { }
void onEmit(j_common_ptr, int) { }

struct SourceManager {
    jpeg_source_mgr base;
    ByteSource* source;
    JOCTET* buffer;
    Progress* progress;
    double share; // the share of the work done, as last reported
    std::size_t fillSize; // bytes the next fill reads: few after a seek, as it may be another
    std::uint64_t nextReport;
    // The APP segments kept: the first EXIF one, and those of an ICC profile.
    std::string exif;
    std::vector<std::string> profile;
    std::size_t kept;
    std::string segment; // the one being read
    bool takingScansIn; // jpeg_start_decompress is taking a file of several scans in
};

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

// Tells the progress how far the work has come; when it says stop, libjpeg's work ends as an
// error does, and the caller tells the two apart by the progress.
void report(j_decompress_ptr info, double share)
{
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    manager->share = share;
    if (!manager->progress->advance(share))
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
}

boolean fillBuffer(j_decompress_ptr info)
{
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    ByteSource& source = *manager->source;
    if (source.bytesRead() >= manager->nextReport) {
        manager->nextReport = source.bytesRead() + ReportEvery;
        report(info, manager->share);
    }
    std::size_t got = source.readSome(manager->buffer, manager->fillSize);
    manager->fillSize = std::min(2 * manager->fillSize, BufferSize);
    if (got == 0) {
        // The data ended early: an end marker lets libjpeg finish what it was doing.
        manager->source->endedEarly();
        manager->buffer[0] = 0xFF;
        manager->buffer[1] = JPEG_EOI;
        got = 2;
    }
    manager->base.next_input_byte = manager->buffer;
    manager->base.bytes_in_buffer = got;
    return TRUE;
}

// Bytes beyond the buffer are passed over by seeking, not read.
void skipInput(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    const auto buffered = std::size_t(manager->base.bytes_in_buffer);
    if (std::size_t(count) > buffered) {
        ByteSource& source = *manager->source;
        source.seek(source.position() + (std::uint64_t(count) - buffered));
        manager->base.bytes_in_buffer = 0;
        manager->fillSize = 512;
        fillBuffer(info);
        return;
    }
    manager->base.next_input_byte += count;
    manager->base.bytes_in_buffer -= std::size_t(count);
}

JOCTET nextByte(j_decompress_ptr info)
{
    if (info->src->bytes_in_buffer == 0)
        fillBuffer(info);
    --info->src->bytes_in_buffer;
    return *info->src->next_input_byte++;
}

// Reads an APP1 or APP2 segment: the first EXIF one and those of an ICC profile are kept, as
// long as they fit in MaxKept together; any other is passed over unread. (What it reads into
// lives outside its frame, which an error or a stop jumps over.)
boolean readAppSegment(j_decompress_ptr info)
{
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    const unsigned high = nextByte(info);
    std::size_t length = (high << 8 | nextByte(info));
    length = length < 2 ? 0 : length - 2;
    // Enough for "Exif\0\0" or "ICC_PROFILE\0".
    std::string& segment = manager->segment;
    segment.clear();
    while (segment.size() < std::min<std::size_t>(length, 12))
        segment += char(nextByte(info));
    const bool exif = info->unread_marker == JPEG_APP0 + 1 && manager->exif.empty()
        && segment.compare(0, 6, std::string_view("Exif\0\0", 6)) == 0;
    const bool profile
        = info->unread_marker == JPEG_APP0 + 2 && segment == std::string_view("ICC_PROFILE\0", 12);
    if ((!exif && !profile) || manager->kept + length > MaxKept) {
        skipInput(info, long(length - segment.size()));
        return TRUE;
    }
    manager->kept += length;
    while (segment.size() < length) {
        if (info->src->bytes_in_buffer == 0)
            fillBuffer(info);
        const std::size_t take
            = std::min(length - segment.size(), std::size_t(info->src->bytes_in_buffer));
        segment.append(reinterpret_cast<const char*>(info->src->next_input_byte), take);
        info->src->next_input_byte += take;
        info->src->bytes_in_buffer -= take;
    }
    if (exif)
        manager->exif.swap(segment);
    else
        manager->profile.push_back(segment);
    return TRUE;
}

// Called by libjpeg as it goes: while a file of several scans is taken in, stops one with too
// many scans, and lets the progress stop the work.
void onProgress(j_common_ptr common)
{
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > MaxScans)
        info->err->error_exit(common);
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    if (manager->takingScansIn) {
        // Taking in the scans, before any row: half the work, by the place in the file.
        const double size = double(std::max<std::uint64_t>(manager->source->size(), 1));
        report(info, 0.5 * double(manager->source->position()) / size);
    }
}

struct Header {
    int width = 0;
    int height = 0;
    int orientation = 1;
};

// The libjpeg calls stay in these small functions, whose frames hold nothing with a
// destructor, so that the jump back from an error skips no C++ clean-up.
bool readHeader(jpeg_decompress_struct& info, ErrorManager& errors, Header& header)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_set_marker_processor(&info, JPEG_APP0 + 1, readAppSegment);
    jpeg_set_marker_processor(&info, JPEG_APP0 + 2, readAppSegment);
    jpeg_read_header(&info, TRUE);
    if (info.num_components == 1)
        info.out_color_space = JCS_GRAYSCALE;
    else if (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB)
        info.out_color_space = JCS_RGB;
    else
        return false; // CMYK and YCCK
    header.orientation = exifOrientation(reinterpret_cast<SourceManager*>(info.src)->exif);
    reinterpret_cast<SourceManager*>(info.src)->takingScansIn = true;
    jpeg_start_decompress(&info);
    reinterpret_cast<SourceManager*>(info.src)->takingScansIn = false;
    header.width = int(info.output_width);
    header.height = int(info.output_height);
    return info.output_components == 1 || info.output_components == 3;
}

bool readRows(jpeg_decompress_struct& info, ErrorManager& errors, const ShownPixels& shown,
    JSAMPLE* row, Canvas& samples)
{
    // Rows are the second half of the work for a file of several scans, all of it otherwise.
    const double start = jpeg_has_multiple_scans(&info) ? 0.5 : 0;
    if (setjmp(errors.jump))
        return false;
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    const bool grey = info.output_components == 1;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        report(&info, start + (1 - start) * double(r) / double(rows.size()));
        const auto y = JDIMENSION(rows[r]);
        // Skipped rows cost the entropy decoding only.
        while (info.output_scanline < y)
            if (jpeg_skip_scanlines(&info, y - info.output_scanline) == 0)
                return false;
        JSAMPROW rowPointer = row;
        if (jpeg_read_scanlines(&info, &rowPointer, 1) != 1)
            return false;
        Color* out = samples.row(int(r));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const JSAMPLE* p = row + std::size_t(columns[c]) * (grey ? 1 : 3);
            out[c] = grey ? rgb(p[0], p[0], p[0]) : rgb(p[0], p[1], p[2]);
        }
    }
    return true;
}

// The TIFF structure inside an EXIF segment, every offset checked against its end.
class Exif {
public:
    explicit Exif(std::string_view segment)
    {
        // "Exif\0\0", then a TIFF header: byte order, 42, the first directory's offset.
        if (segment.size() < 14 || segment.substr(0, 6) != std::string_view("Exif\0\0", 6))
            return;
        m_tiff = segment.substr(6);
        m_little = m_tiff.substr(0, 2) == "II";
        if ((!m_little && m_tiff.substr(0, 2) != "MM") || u16(2) != 42)
            m_tiff = {};
    }

    // The offset of the first directory, or 0 when there is none.
    std::uint64_t first() const { return m_tiff.empty() ? 0 : u32(4); }

    // The value field (offset of its 4 bytes) of the entry of `tag` with `type` and `count`
    // in the directory at `directory`; 0 when there is none.
    std::uint64_t find(
        std::uint64_t directory, unsigned tag, unsigned type, std::uint32_t count) const
    {
        if (directory == 0 || directory + 2 > m_tiff.size())
            return 0;
        const unsigned entries = u16(std::size_t(directory));
        for (unsigned k = 0; k < entries; ++k) {
            const std::uint64_t at = directory + 2 + 12 * std::uint64_t(k);
            if (at + 12 > m_tiff.size())
                return 0;
            if (u16(std::size_t(at)) == tag && u16(std::size_t(at) + 2) == type
                && u32(std::size_t(at) + 4) == count)
                return at + 8;
        }
        return 0;
    }

    unsigned byte(std::size_t i) const { return unsigned(std::uint8_t(m_tiff[i])); }
    unsigned u16(std::size_t i) const
    {
        return m_little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
    }
    std::uint32_t u32(std::size_t i) const
    {
        return m_little ? u16(i) | std::uint32_t(u16(i + 2)) << 16
                        : std::uint32_t(u16(i)) << 16 | u16(i + 2);
    }

private:
    std::string_view m_tiff;
    bool m_little = false;
};

constexpr unsigned Short = 3, Long = 4, Ascii = 2;

// What EXIF says of the colours: ColorSpace 1 in the EXIF directory is sRGB; the
// interoperability index "R03" (the option file of the camera file rules) is Adobe RGB (1998).
ColourDescription exifColour(std::string_view segment)
{
    const Exif exif(segment);
    const std::uint64_t pointer = exif.find(exif.first(), 0x8769, Long, 1);
    if (pointer == 0)
        return ColourDescription::none();
    const std::uint64_t directory = exif.u32(std::size_t(pointer));
    const std::uint64_t space = exif.find(directory, 0xA001, Short, 1);
    if (space != 0 && exif.u16(std::size_t(space)) == 1)
        return ColourDescription::srgb("EXIF ColorSpace 1");
    const std::uint64_t interop = exif.find(directory, 0xA005, Long, 1);
    const std::uint64_t index
        = interop == 0 ? 0 : exif.find(exif.u32(std::size_t(interop)), 0x0001, Ascii, 4);
    if (index != 0 && exif.byte(std::size_t(index)) == 'R'
        && exif.byte(std::size_t(index) + 1) == '0' && exif.byte(std::size_t(index) + 2) == '3')
        return ColourDescription::adobeRgb("EXIF R03");
    return ColourDescription::none();
}

// The ICC profile of APP2 segments: "ICC_PROFILE\0", the piece's number from 1, the count of
// pieces, its bytes. Every piece must be there once, all agreeing on the count.
std::optional<std::vector<std::uint8_t>> jpegProfile(const std::vector<std::string>& segments)
{
    constexpr std::size_t Head = 14;
    if (segments.empty() || segments[0].size() < Head)
        return std::nullopt;
    const auto count = std::size_t(std::uint8_t(segments[0][13]));
    if (count == 0 || segments.size() != count)
        return std::nullopt;
    std::vector<const std::string*> pieces(count, nullptr);
    std::size_t total = 0;
    for (const std::string& s : segments) {
        if (s.size() < Head || std::size_t(std::uint8_t(s[13])) != count)
            return std::nullopt;
        const auto number = std::size_t(std::uint8_t(s[12]));
        if (number == 0 || number > count || pieces[number - 1])
            return std::nullopt;
        pieces[number - 1] = &s;
        total += s.size() - Head;
    }
    if (total == 0 || total > MaxProfile)
        return std::nullopt;
    std::vector<std::uint8_t> profile;
    profile.reserve(total);
    for (const std::string* s : pieces)
        profile.insert(profile.end(), s->begin() + Head, s->end());
    return profile;
}

// One decompression of a file: libjpeg's state, its fatal errors coming back here, its bytes
// taken from the source and its progress reported. libjpeg keeps pointers into it, so it
// stays where it is made.
class Decompression {
public:
    Decompression(ByteSource& source, Progress& progress)
    {
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = onError;
        errors.base.output_message = onMessage;
        errors.base.emit_message = onEmit;
        JOCTET* buffer = nullptr;
        m_ready = create(info, errors, m_created, buffer);
        if (!m_ready)
            return;
        info.mem->max_memory_to_use = MaxMemory;
        manager.source = &source;
        manager.buffer = buffer;
        manager.base.init_source = initSource;
        manager.base.fill_input_buffer = fillBuffer;
        manager.base.skip_input_data = skipInput;
        manager.base.resync_to_restart = jpeg_resync_to_restart;
        manager.base.term_source = termSource;
        manager.progress = &progress;
        manager.nextReport = ReportEvery;
        manager.fillSize = BufferSize;
        info.src = &manager.base;
        m_watch.progress_monitor = onProgress;
        info.progress = &m_watch;
    }
    ~Decompression()
    {
        if (m_created)
            jpeg_destroy_decompress(&info);
    }
    Decompression(const Decompression&) = delete;
    Decompression& operator=(const Decompression&) = delete;

    // libjpeg could set itself up (it fails only when it gets no memory).
    bool created() const { return m_ready; }

    // What the file says of its colours: the ICC profile of its APP2 segments, else EXIF's.
    ColourDescription colour() const
    {
        auto profile = jpegProfile(manager.profile);
        return profile ? ColourDescription::embedded(std::move(*profile), "JPEG APP2")
                       : exifColour(manager.exif);
    }

    jpeg_decompress_struct info {};
    ErrorManager errors {};
    SourceManager manager {};

private:
    // The input buffer comes from libjpeg's own memory, beside its tables: one of our own
    // elsewhere on the heap has been seen to make the decoding a third slower, depending on
    // where earlier readings left their memory.
    static bool create(
        jpeg_decompress_struct& info, ErrorManager& errors, bool& created, JOCTET*& buffer)
    {
        if (setjmp(errors.jump))
            return false;
        jpeg_create_decompress(&info);
        created = true;
        buffer = static_cast<JOCTET*>((*info.mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(&info), JPOOL_PERMANENT, BufferSize));
        return true;
    }

    jpeg_progress_mgr m_watch {};
    bool m_created = false; // to be destroyed
    bool m_ready = false;
};

// The stored columns a region read decodes: those of the rectangles and, where the picture
// goes on, one iMCU more on each side. At the edges of a cropped row libjpeg's smooth
// upsampling of subsampled chroma treats the row as if the picture ended there, which changes
// the pixels next to them; the margin keeps those out of the rectangles.
bool cropColumns(jpeg_decompress_struct& info, ErrorManager& errors, int left, int right,
    JDIMENSION& offset, JDIMENSION& width)
{
    if (setjmp(errors.jump))
        return false;
    const int margin = info.max_h_samp_factor * DCTSIZE;
    const int pictureWidth = int(info.output_width);
    offset = JDIMENSION(std::max(left - margin, 0));
    width = JDIMENSION(std::min(right + margin, pictureWidth)) - offset;
    if (offset > 0 || width < info.output_width)
        jpeg_crop_scanline(&info, &offset, &width);
    return true;
}

// Decodes the stored rows that rectangles cross, skipping the others, and hands each
// rectangle's part of them to the sink. `row` holds a cropped row as libjpeg gives it, from
// stored column `offset`, and `values` the same pixels at three values each.
bool readRegionRows(jpeg_decompress_struct& info, ErrorManager& errors, RegionRows& regions,
    JDIMENSION offset, JSAMPLE* row, std::uint16_t* values, PixelSink& sink)
{
    const double start = jpeg_has_multiple_scans(&info) ? 0.5 : 0;
    if (setjmp(errors.jump))
        return false;
    const bool grey = info.output_components == 1;
    const int first = regions.firstRow(), last = regions.lastRow();
    const int left = regions.firstColumn(), right = regions.lastColumn();
    for (int y = first; y < last; ++y) {
        report(&info, start + (1 - start) * double(y - first) / double(last - first));
        const std::vector<std::size_t>& crossing = regions.crossing(y);
        if (crossing.empty())
            continue;
        while (info.output_scanline < JDIMENSION(y))
            if (jpeg_skip_scanlines(&info, JDIMENSION(y) - info.output_scanline) == 0)
                return false;
        JSAMPROW rowPointer = row;
        if (jpeg_read_scanlines(&info, &rowPointer, 1) != 1)
            return false;
        // Pixels libjpeg made up after the data ended are not handed over.
        if (reinterpret_cast<SourceManager*>(info.src)->source->shortRead())
            return false;
        const JSAMPLE* p = row + std::size_t(left - int(offset)) * (grey ? 1 : 3);
        const auto count = std::size_t(right - left);
        if (grey)
            for (std::size_t x = 0; x < count; ++x)
                values[3 * x] = values[3 * x + 1] = values[3 * x + 2] = p[x];
        else
            std::copy(p, p + 3 * count, values);
        for (const std::size_t i : crossing)
            sink.run(regions.run(i, y, values + 3 * std::size_t(regions.stored()[i].Left - left)));
    }
    return true;
}

} // namespace

int exifOrientation(std::string_view segment)
{
    const Exif exif(segment);
    // Tag 0x0112, one SHORT held in the entry itself.
    const std::uint64_t at = exif.find(exif.first(), 0x0112, Short, 1);
    if (at == 0)
        return 1;
    const unsigned value = exif.u16(std::size_t(at));
    return value >= 1 && value <= 8 ? int(value) : 1;
}

Result<DisplayPicture> readJpegForDisplay(ByteSource& source, int boxSide, Progress& progress)
{
    Decompression d(source, progress);
    if (!d.created())
        return Error { NotValidMessage };
    Header header;
    if (!readHeader(d.info, d.errors, header))
        return progress.stopped() ? cancelled() : failure(source);
    const ShownPixels shown(header.width, header.height, header.orientation, boxSide);
    Canvas samples = shown.samples();
    const auto picture = [&] {
        DisplayPicture p = shown.place(samples);
        p.colour = d.colour();
        p.grey = d.info.output_components == 1;
        return p;
    };
    if (shown.empty())
        return picture();
    std::vector<JSAMPLE> row(std::size_t(header.width) * std::size_t(d.info.output_components));
    if (!readRows(d.info, d.errors, shown, row.data(), samples) || source.shortRead())
        return progress.stopped() ? cancelled() : failure(source);
    return picture();
}

Result<FilePixelsInfo> readJpegRegions(
    ByteSource& source, std::span<const Rect> regions, PixelSink& sink, Progress& progress)
{
    Decompression d(source, progress);
    if (!d.created())
        return Error { NotValidMessage };
    Header header;
    if (!readHeader(d.info, d.errors, header))
        return progress.stopped() ? cancelled() : failure(source);
    RegionRows rows(regions, header.width, header.height, header.orientation);
    const bool turned = header.orientation >= 5 && header.orientation <= 8;
    FilePixelsInfo info;
    info.width = turned ? header.height : header.width;
    info.height = turned ? header.width : header.height;
    info.bits = 8;
    info.grey = d.info.output_components == 1;
    info.depth = 8;
    info.colour = d.colour();
    sink.begin(info);
    if (rows.empty())
        return info;
    JDIMENSION offset = 0, width = 0;
    if (!cropColumns(d.info, d.errors, rows.firstColumn(), rows.lastColumn(), offset, width))
        return progress.stopped() ? cancelled() : failure(source);
    std::vector<JSAMPLE> row(
        std::size_t(d.info.output_width) * std::size_t(d.info.output_components));
    std::vector<std::uint16_t> values(3 * std::size_t(rows.lastColumn() - rows.firstColumn()));
    if (!readRegionRows(d.info, d.errors, rows, offset, row.data(), values.data(), sink))
        return progress.stopped() ? cancelled() : failure(source);
    return info;
}

} // namespace probnik
