// pictures.cpp: writers for the test pictures and the decode helper.
#include "pictures.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

Picture pattern_picture(uint32_t width, uint32_t height, unsigned channels)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.top_down.resize((size_t)width * height * channels);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            uint8_t* px = &p.top_down[((size_t)y * width + x) * channels];
            px[0] = (uint8_t)(x * 37 + y * 11 + 5);
            px[1] = (uint8_t)(y * 53 + x * 3 + 90);
            px[2] = (uint8_t)((x ^ y) * 29 + 200);
            if (channels == 4) px[3] = (uint8_t)(x * 17 + y * 71 + 1);
        }
    return p;
}

Picture smooth_picture(uint32_t width, uint32_t height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.top_down.resize((size_t)width * height * 3);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            uint8_t* px = &p.top_down[((size_t)y * width + x) * 3];
            px[0] = (uint8_t)(40 + 160 * x / (width > 1 ? width - 1 : 1));
            px[1] = (uint8_t)(200 - 150 * y / (height > 1 ? height - 1 : 1));
            px[2] = (uint8_t)(90 + 60 * (x + y) / (width + height));
        }
    return p;
}

Bytes bottom_up(const Picture& picture)
{
    size_t row = (size_t)picture.width * picture.channels;
    Bytes out(picture.top_down.size());
    for (uint32_t y = 0; y < picture.height; y++)
        memcpy(&out[(picture.height - 1 - y) * row], &picture.top_down[y * row], row);
    return out;
}

static void put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}

static void put32(Bytes& b, size_t at, uint32_t v)
{
    put16(b, at, v & 0xffff);
    put16(b, at + 2, v >> 16);
}

Bytes bmp_file(const Picture& picture, const BmpOptions& options)
{
    size_t stride = ((size_t)picture.width * 3 + 3) & ~(size_t)3;
    size_t offset = 14 + options.info_size + options.gap;
    Bytes b(offset + stride * picture.height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, (uint32_t)b.size());
    put32(b, 10, (uint32_t)offset);
    put32(b, 14, options.info_size);
    put32(b, 18, picture.width);
    put32(b, 22, options.top_down ? (uint32_t)-(int32_t)picture.height : picture.height);
    put16(b, 26, 1);
    put16(b, 28, options.bpp);
    put32(b, 30, options.compression);
    put32(b, 34, (uint32_t)(stride * picture.height));
    for (uint32_t r = 0; r < picture.height; r++) {
        uint32_t y = options.top_down ? r : picture.height - 1 - r;
        uint8_t* out = &b[offset + r * stride];
        for (uint32_t x = 0; x < picture.width; x++) {
            const uint8_t* px = picture.pixel(x, y);
            out[x * 3] = px[2];
            out[x * 3 + 1] = px[1];
            out[x * 3 + 2] = px[0];
        }
    }
    return b;
}

Bytes tga_footer()
{
    // No extension area, no developer directory, the signature and its NUL.
    Bytes footer(26, 0);
    memcpy(&footer[8], "TRUEVISION-XFILE.", 18);
    return footer;
}

Bytes tga_file(const Picture& picture, const TgaOptions& options)
{
    unsigned bytes = picture.channels;
    Bytes b(18, 0);
    b[0] = options.id_length;
    b[1] = options.map_length ? 1 : 0;
    b[2] = options.rle ? 10 : 2;
    put16(b, 5, options.map_length);
    b[7] = options.map_length ? options.map_entry_bits : 0;
    put16(b, 12, picture.width);
    put16(b, 14, picture.height);
    b[16] = (uint8_t)(bytes * 8);
    b[17] = (uint8_t)((bytes == 4 ? 8 : 0) | (options.top_origin ? 0x20 : 0));
    // Identifier and colour map: bytes that must never show up as pixels.
    b.insert(b.end(), options.id_length + (size_t)options.map_length * ((options.map_entry_bits + 7) / 8), 0xEE);

    std::vector<Bytes> stored;   // pixels in file order, blue-green-red(-alpha)
    for (uint32_t r = 0; r < picture.height; r++) {
        uint32_t y = options.top_origin ? r : picture.height - 1 - r;
        for (uint32_t x = 0; x < picture.width; x++) {
            const uint8_t* px = picture.pixel(x, y);
            Bytes s = {px[2], px[1], px[0]};
            if (bytes == 4) s.push_back(px[3]);
            stored.push_back(s);
        }
    }
    if (!options.rle) {
        for (const Bytes& s : stored) b.insert(b.end(), s.begin(), s.end());
    } else {
        // Runs of equal pixels as repeat packets, the rest as literal
        // packets; packets run across row ends.
        size_t i = 0;
        while (i < stored.size()) {
            size_t run = 1;
            while (i + run < stored.size() && run < 128 && stored[i + run] == stored[i]) run++;
            if (run >= 2) {
                b.push_back((uint8_t)(0x80 | (run - 1)));
                b.insert(b.end(), stored[i].begin(), stored[i].end());
                i += run;
                continue;
            }
            size_t count = 1;
            while (i + count < stored.size() && count < 128 &&
                   !(i + count + 1 < stored.size() && stored[i + count] == stored[i + count + 1]))
                count++;
            b.push_back((uint8_t)(count - 1));
            for (size_t k = 0; k < count; k++) b.insert(b.end(), stored[i + k].begin(), stored[i + k].end());
            i += count;
        }
    }
    if (options.footer) {
        Bytes footer = tga_footer();
        b.insert(b.end(), footer.begin(), footer.end());
    }
    return b;
}

static void png_append(png_structp png, png_bytep data, png_size_t length)
{
    Bytes* out = (Bytes*)png_get_io_ptr(png);
    out->insert(out->end(), data, data + length);
}

Bytes png_file(const Picture& picture, bool interlaced)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) abort();
    png_set_write_fn(png, &out, png_append, nullptr);
    png_set_IHDR(png, info, picture.width, picture.height, 8,
                 picture.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows(picture.height);
    for (uint32_t y = 0; y < picture.height; y++)
        rows[y] = (png_bytep)&picture.top_down[(size_t)y * picture.width * picture.channels];
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes jpeg_file(const Picture& picture, const JpegOptions& options)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &data, &size);
    cinfo.image_width = picture.width;
    cinfo.image_height = picture.height;
    cinfo.input_components = options.greyscale ? 1 : options.cmyk ? 4 : 3;
    cinfo.in_color_space = options.greyscale ? JCS_GRAYSCALE : options.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.full_chroma && !options.greyscale)
        for (int c = 0; c < cinfo.num_components; c++) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    if (options.progressive) jpeg_simple_progression(&cinfo);
    // libjpeg writes JFIF only for YCbCr and greyscale; a CMYK test picture
    // that the loader is to recognise needs it anyway.
    cinfo.write_JFIF_header = options.jfif && !options.exif ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    if (options.exif) {
        static const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0};
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
    }
    Bytes row(picture.width * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint32_t x = 0; x < picture.width; x++) {
            const uint8_t* px = picture.pixel(x, cinfo.next_scanline);
            for (int c = 0; c < cinfo.input_components; c++) row[x * cinfo.input_components + c] = px[c % 3];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(data, data + size);
    free(data);
    return out;
}

Decoding decode(ImageLoader& loader, const Bytes& bytes)
{
    Decoding run;
    FILE* file = tmpfile();
    if (!file) abort();
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
    rewind(file);

    char* log = nullptr;
    size_t log_size = 0;
    FILE* saved = loader_log;
    loader_log = open_memstream(&log, &log_size);
    testing::internal::CaptureStderr();
    run.recognised = loader.read_file(file, 7);
    fflush(stderr);
    run.errors = testing::internal::GetCapturedStderr();
    fclose(loader_log);
    loader_log = saved;
    run.log.assign(log, log_size);
    free(log);
    fclose(file);
    return run;
}

std::string scratch_dir()
{
    static std::string dir;
    if (dir.empty()) {
        char name[] = "/tmp/oargala-loader-test-XXXXXX";
        if (!mkdtemp(name)) abort();
        dir = name;
        // Removed at exit, with whatever the tests left in it.
        atexit([] { std::string command = "rm -rf '" + dir + "'"; (void)!system(command.c_str()); });
    }
    return dir;
}

std::string scratch_file(const std::string& name, const Bytes& bytes)
{
    std::string path = scratch_dir() + "/" + name;
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
    return path;
}

Bytes read_whole_file(const std::string& path)
{
    Bytes bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    return bytes;
}

int max_difference(const ImageLoader& loader, const Bytes& expected)
{
    if (!loader.pixels) return -1;
    size_t size = (size_t)loader.width * loader.height * (loader.bits_per_pixel / 8u);
    if (size != expected.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < size; i++) worst = std::max(worst, abs((int)loader.pixels[i] - (int)expected[i]));
    return worst;
}
