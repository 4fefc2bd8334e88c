// png.cpp: the PNG reader, through libpng. Every colour type and bit depth,
// interlaced or not, becomes 8-bit RGB or RGBA: palettes expanded, greyscale
// widened to RGB, tRNS turned into alpha, 16 bits cut to 8. No gamma or
// colour-space correction. libpng's warnings and errors are printed as its
// default handlers would ("libpng warning: ...", "libpng error: ..." on
// stderr), through library_message so that a decoding thread can hold them
// back; an error drops the picture. Depends on libpng and reader.h.
#include "image_loader.h"
#include "reader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

namespace {

void print_png_error(png_structp png, png_const_charp message)
{
    library_message("libpng error: %s\n", message ? message : "undefined");
    png_longjmp(png, 1);
}

void print_png_warning(png_structp, png_const_charp message)
{
    library_message("libpng warning: %s\n", message);
}

// Turns a row of RGB pixels at the start of row into blue, green, red and
// alpha 255, in place: from the last pixel back, so that no pixel is
// overwritten before it is read.
void widen_to_texture_layout(uint8_t* row, uint32_t width)
{
    for (uint32_t i = width; i-- > 0;) {
        const uint8_t* in = row + (size_t)i * 3;
        uint32_t bgra = (uint32_t)in[2] | (uint32_t)in[1] << 8 | (uint32_t)in[0] << 16 | 0xff000000u;
        memcpy(row + (size_t)i * 4, &bgra, 4);
    }
}

// Everything between setjmp and the end of decoding lives here, in a function
// without objects that have destructors: a libpng error leaves by longjmp.
void decode_png(ImageLoader* loader, FILE* file, int index)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, print_png_error, print_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_infop end_info = info ? png_create_info_struct(png) : nullptr;
    if (!end_info) {
        png_destroy_read_struct(&png, &info, nullptr);
        loader_printf("(png) out of memory\n");
        set_failure(loader, "out of memory");
        return;
    }
    png_set_sig_bytes(png, 0);
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_IGNORE_ADLER32)
    // Every chunk's CRC still catches damaged data; zlib's own checksum on
    // top of it measured 6 % of decoding the shipped pictures (11 % of the
    // instructions), too dear for what the CRCs leave to catch.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    uint8_t* volatile picture = nullptr;
    uint8_t** volatile rows = nullptr;

    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, &end_info);
        delete[] picture;
        delete[] rows;
        set_failure(loader, "corrupt data");
        return;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    loader->width = w;
    loader->height = h;
    loader_printf("(png) width: %d, height: %d, bpp: %d\n", (int)w, (int)h, png_get_channels(png, info) * depth);

    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    // An RGB picture is widened to the texture layout here, row by row while
    // the row is in the cache: libpng's own swap and filler are two more
    // passes over each row at a byte a time, a sixth of the decoding. Its
    // interlaced rows arrive in pieces and take libpng's way.
    bool widen = loader->texture_layout && !alpha && interlace == PNG_INTERLACE_NONE;
    if (loader->texture_layout && !widen) {
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    // The buffer is sized from the rows as they come out of the transformations.
    unsigned channels = png_get_channels(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    if (png_get_bit_depth(png, info) != 8 || (channels != 3 && channels != 4) || row_bytes != (size_t)w * channels) {
        loader_printf("(png) unexpected row layout after conversion\n");
        set_failure(loader, "unsupported PNG layout");
        png_destroy_read_struct(&png, &info, &end_info);
        return;
    }
    unsigned picture_channels = alpha ? 4 : 3;
    if (!check_picture_size(loader, "png", w, h, picture_channels)) {
        png_destroy_read_struct(&png, &info, &end_info);
        return;
    }
    size_t stride = widen ? (size_t)w * 4 : row_bytes;   // of the buffer
    picture = allocate_picture(loader, "png", w, h, widen ? 4 : channels);
    if (!picture) {
        png_destroy_read_struct(&png, &info, &end_info);
        return;
    }
    // The file's first row (the top of the picture) goes to the buffer's
    // last row. An interlaced file passes over every row once per pass; all
    // passes together write every pixel.
    // Without a progress hook, libpng takes the whole picture in one call.
    if (!loader->progress && !widen) rows = new (std::nothrow) uint8_t*[h];
    if (rows) {
        for (png_uint_32 y = 0; y < h; y++) rows[y] = picture + (size_t)(h - 1 - y) * stride;
        png_read_image(png, rows);
    } else {
        uint64_t total = (uint64_t)passes * h;
        for (int pass = 0; pass < passes; pass++)
            for (png_uint_32 y = 0; y < h; y++) {
                uint8_t* row = picture + (size_t)(h - 1 - y) * stride;
                png_read_row(png, row, nullptr);
                if (widen) widen_to_texture_layout(row, w);
                report_progress(loader, (uint64_t)pass * h + y + 1, total, index);
            }
    }
    delete[] rows;
    rows = nullptr;
    png_read_end(png, end_info);
    png_destroy_read_struct(&png, &info, &end_info);
    loader->bits_per_pixel = (uint16_t)(picture_channels * 8);
    loader->pixels = picture;
}

}  // namespace

void ImageLoader::read_png(FILE* file, int index)
{
    // The size from the image header, checked before libpng allocates
    // anything, so that an oversized picture gets this reader's line. libpng
    // checks the header itself afterwards.
    uint8_t head[24];
    if (fread(head, 1, sizeof head, file) == sizeof head && memcmp(head + 12, "IHDR", 4) == 0 &&
        !check_picture_size(this, "png", be32(head + 16), be32(head + 20), 3))
        return;
    rewind(file);
    decode_png(this, file, index);
}
