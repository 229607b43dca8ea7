// SPDX-FileCopyrightText: 2026 The Probnik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "picture/JpegReader.h"

#include "picture/ByteSource.h"
#include "picture/ShownPixels.h"

// jpeglib.h needs the types of stdio.h declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <vector>

namespace probnik {

namespace {

// The most memory libjpeg may take; a progressive picture's coefficients count in it.
constexpr long MaxMemory = 1L << 30;
constexpr std::size_t BufferSize = 64 * 1024;

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
};

void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

boolean fillBuffer(j_decompress_ptr info)
{
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    std::size_t got = manager->source->readSome(manager->buffer, BufferSize);
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

void skipInput(j_decompress_ptr info, long count)
{
    auto* manager = reinterpret_cast<SourceManager*>(info->src);
    while (count > long(manager->base.bytes_in_buffer)) {
        count -= long(manager->base.bytes_in_buffer);
        fillBuffer(info);
    }
    manager->base.next_input_byte += count;
    manager->base.bytes_in_buffer -= std::size_t(count);
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
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    if (info.num_components == 1)
        info.out_color_space = JCS_GRAYSCALE;
    else if (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB)
        info.out_color_space = JCS_RGB;
    else
        return false; // CMYK and YCCK
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && header.orientation == 1)
            header.orientation = exifOrientation(std::string_view(
                reinterpret_cast<const char*>(m->data), std::size_t(m->data_length)));
    jpeg_start_decompress(&info);
    header.width = int(info.output_width);
    header.height = int(info.output_height);
    return info.output_components == 1 || info.output_components == 3;
}

bool readRows(jpeg_decompress_struct& info, ErrorManager& errors, const ShownPixels& shown,
    JSAMPLE* row, Canvas& samples)
{
    if (setjmp(errors.jump))
        return false;
    const std::vector<int>& rows = shown.rows();
    const std::vector<int>& columns = shown.columns();
    const bool grey = info.output_components == 1;
    for (std::size_t r = 0; r < rows.size(); ++r) {
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

} // namespace

int exifOrientation(std::string_view segment)
{
    // "Exif\0\0", then a TIFF header: byte order, 42, the first directory's offset.
    if (segment.size() < 14 || segment.substr(0, 6) != std::string_view("Exif\0\0", 6))
        return 1;
    const std::string_view tiff = segment.substr(6);
    const bool little = tiff.substr(0, 2) == "II";
    if (!little && tiff.substr(0, 2) != "MM")
        return 1;
    const auto byte = [&](std::size_t i) { return unsigned(std::uint8_t(tiff[i])); };
    const auto u16 = [&](std::size_t i) {
        return little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
    };
    const auto u32 = [&](std::size_t i) {
        return little ? u16(i) | std::uint32_t(u16(i + 2)) << 16
                      : std::uint32_t(u16(i)) << 16 | u16(i + 2);
    };
    if (u16(2) != 42)
        return 1;
    const std::uint64_t directory = u32(4);
    if (directory + 2 > tiff.size())
        return 1;
    const unsigned entries = u16(std::size_t(directory));
    for (unsigned k = 0; k < entries; ++k) {
        const std::uint64_t at = directory + 2 + 12 * std::uint64_t(k);
        if (at + 12 > tiff.size())
            return 1;
        // Tag 0x0112, one SHORT held in the entry itself.
        if (u16(std::size_t(at)) == 0x0112 && u16(std::size_t(at) + 2) == 3
            && u32(std::size_t(at) + 4) == 1) {
            const unsigned value = u16(std::size_t(at) + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

Result<DisplayPicture> readJpegForDisplay(ByteSource& source, int boxSide, Progress& /*progress*/)
{
    jpeg_decompress_struct info {};
    ErrorManager errors {};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    errors.base.emit_message = onEmit;
    if (setjmp(errors.jump))
        return Error { NotValidMessage }; // nothing allocated yet
    jpeg_create_decompress(&info);
    struct Destroy {
        jpeg_decompress_struct& info;
        ~Destroy() { jpeg_destroy_decompress(&info); }
    } destroy { info };
    info.mem->max_memory_to_use = MaxMemory;

    std::vector<JOCTET> buffer(BufferSize);
    SourceManager manager {};
    manager.source = &source;
    manager.buffer = buffer.data();
    manager.base.init_source = initSource;
    manager.base.fill_input_buffer = fillBuffer;
    manager.base.skip_input_data = skipInput;
    manager.base.resync_to_restart = jpeg_resync_to_restart;
    manager.base.term_source = termSource;
    info.src = &manager.base;

    Header header;
    if (!readHeader(info, errors, header))
        return failure(source);
    const ShownPixels shown(header.width, header.height, header.orientation, boxSide);
    Canvas samples = shown.samples();
    if (shown.empty())
        return shown.place(samples);
    std::vector<JSAMPLE> row(std::size_t(header.width) * std::size_t(info.output_components));
    if (!readRows(info, errors, shown, row.data(), samples) || source.shortRead())
        return failure(source);
    return shown.place(samples);
}

} // namespace probnik
