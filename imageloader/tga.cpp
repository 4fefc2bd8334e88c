// tga.cpp: the Truevision TGA reader. Reads true-colour pictures at 24 and 32
// bits per pixel, uncompressed (image type 2) or run-length encoded (type 10),
// with the origin at the bottom-left (stored bottom row first) or, when bit 5
// of the image descriptor is set, at the top-left (reordered here). Pixels
// are blue, green, red (and alpha, kept in fourth place). Below 24 bits a
// warning and no picture; other image types are refused. The pixel data are
// read only up to the extension area, developer directory or footer, so a
// short file never has its footer taken for pixels. Depends on reader.h.
#include "image_loader.h"
#include "reader.h"

#include <cstring>

namespace {

// A buffered reader that stops at a given file offset.
struct TgaSource {
    FILE* file;
    uint64_t left;   // bytes of pixel data still allowed
    uint8_t buffer[1 << 16];
    size_t position, length;

    bool refill()
    {
        size_t want = left < sizeof buffer ? (size_t)left : sizeof buffer;
        length = want ? fread(buffer, 1, want, file) : 0;
        position = 0;
        left -= length;
        return length > 0;
    }
    // Copies up to n bytes; returns how many the data still held.
    size_t read(uint8_t* out, size_t n)
    {
        size_t copied = 0;
        while (copied < n) {
            if (position == length && !refill()) break;
            size_t take = length - position < n - copied ? length - position : n - copied;
            memcpy(out + copied, buffer + position, take);
            position += take;
            copied += take;
        }
        return copied;
    }
    int get()
    {
        if (position == length && !refill()) return -1;
        return buffer[position++];
    }
};

// Where the pixel data must end: the footer's start, or the extension area
// or developer directory when they begin earlier (and after data_start).
long data_end(FILE* file, long data_start)
{
    if (fseek(file, 0, SEEK_END) != 0) return data_start;
    long size = ftell(file);
    long end = size - 26;
    uint8_t offsets[8];
    if (end < data_start || fseek(file, end, SEEK_SET) != 0 || fread(offsets, 1, 8, file) != 8)
        return data_start;
    long extension = (long)le32(offsets), developer = (long)le32(offsets + 4);
    if (extension >= data_start && extension < end) end = extension;
    if (developer >= data_start && developer < end) end = developer;
    return end;
}

// Stores one stored pixel (blue, green, red[, alpha]) as red, green, blue[,
// alpha], or in texture layout as blue, green, red, alpha (255 when the file
// has none).
inline void put_pixel(uint8_t* out, const uint8_t* in, unsigned bytes, bool texture_layout)
{
    if (texture_layout) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out[3] = bytes == 4 ? in[3] : 255;
        return;
    }
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    if (bytes == 4) out[3] = in[3];
}

}  // namespace

void ImageLoader::read_tga(FILE* file, int index)
{
    uint8_t header[18];
    if (fread(header, 1, sizeof header, file) != sizeof header) {
        loader_printf("(tga) file ends inside the header\n");
        set_failure(this, "truncated header");
        return;
    }
    unsigned id_length = header[0];
    unsigned image_type = header[2];
    unsigned map_length = le16(header + 5);
    unsigned map_entry_bits = header[7];
    bool top_origin = (header[17] & 0x20) != 0;
    width = le16(header + 12);
    height = le16(header + 14);
    bits_per_pixel = header[16];
    loader_printf("(tga) width: %d, height: %d, bpp: %d\n", (int)width, (int)height, (int)bits_per_pixel);

    if (bits_per_pixel < 24) {
        loader_printf("(tga) WARNING: tga-loading for BPP < 24 not implemented!\n");
        set_failure(this, "unsupported TGA depth %u", bits_per_pixel);
        return;
    }
    if ((image_type != 2 && image_type != 10) || (bits_per_pixel != 24 && bits_per_pixel != 32)) {
        loader_printf("(tga) image type %u at %u bits per pixel not supported\n", image_type, bits_per_pixel);
        set_failure(this, "unsupported TGA type %u at %u bits", image_type, bits_per_pixel);
        return;
    }
    unsigned bytes = bits_per_pixel / 8u;
    if (!check_picture_size(this, "tga", width, height, bytes)) return;
    unsigned out_bytes = buffer_bytes(this, bytes);
    uint8_t* picture = allocate_picture(this, "tga", width, height, out_bytes);
    if (!picture) return;
    report_progress(this, 0, 1, index);

    // A colour map (allowed beside true colour, never used by it) is
    // skipped; 15-bit entries take 2 bytes like 16-bit ones.
    long data_start = 18 + (long)id_length + (long)map_length * ((map_entry_bits + 7) / 8);
    long end = data_end(file, data_start);
    TgaSource* source = new TgaSource;
    source->file = file;
    source->left = (uint64_t)(end - data_start);
    source->position = source->length = 0;
    if (fseek(file, data_start, SEEK_SET) != 0) source->left = 0;

    size_t row_bytes = (size_t)width * bytes;
    uint64_t total = (uint64_t)width * height, done = 0;
    auto row_start = [&](uint64_t row) { return picture + (top_origin ? height - 1 - row : row) * width * out_bytes; };
    if (image_type == 2) {
        uint8_t* row = new uint8_t[row_bytes];
        for (uint32_t r = 0; r < height; r++) {
            size_t got = source->read(row, row_bytes);
            uint8_t* out = row_start(r);
            for (size_t i = 0, o = 0; i + bytes <= got; i += bytes, o += out_bytes)
                put_pixel(out + o, row + i, bytes, texture_layout);
            done += got / bytes;
            if (got < row_bytes) break;
        }
        delete[] row;
    } else {
        // Packets: a count byte, then one pixel repeated (high bit set) or
        // that many literal pixels. Packets may run across row ends.
        uint8_t stored[4];
        bool more = true;
        while (more && done < total) {
            int packet = source->get();
            if (packet < 0) break;
            unsigned count = (unsigned)(packet & 0x7f) + 1;
            bool repeat = (packet & 0x80) != 0;
            if (repeat) more = source->read(stored, bytes) == bytes;
            for (unsigned k = 0; more && k < count && done < total; k++) {
                if (!repeat && !(more = source->read(stored, bytes) == bytes)) break;
                put_pixel(row_start(done / width) + (size_t)(done % width) * out_bytes, stored, bytes, texture_layout);
                done++;
            }
        }
    }
    delete source;
    if (done < total) {
        clear_unwritten(picture, width, height, out_bytes, top_origin, done);
        report_truncated(this, "tga");
    }
    report_progress(this, 1, 1, index);
    pixels = picture;
}
