// bmp.cpp: the Windows bitmap reader. Reads uncompressed 24-bit pictures with
// an information header of 40, 108 or 124 bytes, rows bottom row first
// (positive height) or top row first (negative height, reordered here), each
// row padded to a multiple of 4 bytes, pixel data wherever the file header's
// data offset says. Every other depth, any compression and other header sizes
// are refused with a log line. Depends on reader.h only.
#include "image_loader.h"
#include "reader.h"

#include <cstdlib>

void ImageLoader::read_bmp(FILE* file, int index)
{
    // The 14-byte file header and the first 40 bytes of the information
    // header: the fields every supported header size has in common.
    uint8_t header[54];
    if (fread(header, 1, sizeof header, file) != sizeof header) {
        loader_printf("(bmp) file ends inside the header\n");
        set_failure(this, "truncated header");
        return;
    }
    uint32_t file_size = le32(header + 2);
    uint32_t data_offset = le32(header + 10);
    uint32_t info_size = le32(header + 14);
    int32_t file_width = (int32_t)le32(header + 18);
    int32_t file_height = (int32_t)le32(header + 22);
    uint16_t bpp = le16(header + 28);
    uint32_t compression = le32(header + 30);
    loader_printf("(bmp) filesize: %d, width: %d, height: %d, bpp: %d\n", (int)file_size, file_width,
                  file_height, bpp);

    if (info_size != 40 && info_size != 108 && info_size != 124) {
        loader_printf("(bmp) information header of %u bytes not supported\n", info_size);
        set_failure(this, "unsupported BMP header (%u bytes)", info_size);
        return;
    }
    if (bpp != 24 || compression != 0) {
        loader_printf("(bmp) format not supported, bpp: %d, compression: %d\n", bpp, (int)compression);
        if (compression != 0)
            set_failure(this, "compressed BMP (compression %u)", compression);
        else
            set_failure(this, "unsupported BMP depth %u", bpp);
        return;
    }
    bool top_down = file_height < 0;
    int64_t rows = top_down ? -(int64_t)file_height : file_height;
    if (!check_picture_size(this, "bmp", file_width, rows, 3)) return;
    if (data_offset < 14 + info_size) {
        loader_printf("(bmp) pixel data offset %u lies inside the headers\n", data_offset);
        set_failure(this, "bad pixel data offset %u", data_offset);
        return;
    }

    uint32_t w = (uint32_t)file_width, h = (uint32_t)rows;
    unsigned bytes = buffer_bytes(this, 3);
    uint8_t* picture = allocate_picture(this, "bmp", w, h, bytes);
    if (!picture) return;
    size_t row_bytes = (size_t)w * 3;
    size_t stride = (row_bytes + 3) & ~(size_t)3;
    uint8_t* row = new uint8_t[stride];

    // Past the end of a regular file the seek succeeds and the reads find
    // nothing; on a memory stream the seek itself fails. Both are truncation.
    bool complete = fseek(file, (long)data_offset, SEEK_SET) == 0;
    uint64_t written = 0;   // pixels, in file order
    for (uint32_t r = 0; complete && r < h; r++) {
        // The last row's padding may be missing without any pixel missing.
        size_t got = fread(row, 1, stride, file);
        size_t whole = row_bytes;
        if (got < row_bytes) {
            whole = got / 3 * 3;
            complete = false;
        }
        uint8_t* out = picture + (size_t)(top_down ? h - 1 - r : r) * w * bytes;
        if (bytes == 4) {
            // Stored blue, green, red: the texture layout less its alpha.
            for (size_t i = 0, o = 0; i < whole; i += 3, o += 4) {
                out[o] = row[i];
                out[o + 1] = row[i + 1];
                out[o + 2] = row[i + 2];
                out[o + 3] = 255;
            }
        } else {
            for (size_t i = 0; i < whole; i += 3) {
                out[i] = row[i + 2];
                out[i + 1] = row[i + 1];
                out[i + 2] = row[i];
            }
        }
        written += whole / 3;
        report_progress(this, r, h, index);
    }
    delete[] row;
    if (!complete) {
        clear_unwritten(picture, w, h, bytes, top_down, written);
        report_truncated(this, "bmp");
    }

    pixels = picture;
    width = w;
    height = h;
    bits_per_pixel = 24;
}
