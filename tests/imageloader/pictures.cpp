// pictures.cpp: writers for the test pictures and the decode helper.
#include "pictures.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Picture pattern_picture(uint32_t width, uint32_t height, unsigned channels)
{
    Picture p{width, height, channels, Bytes((size_t)width * height * channels)};
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

Bytes bottom_up(const Picture& picture)
{
    size_t row = (size_t)picture.width * picture.channels;
    Bytes out(picture.top_down.size());
    for (uint32_t y = 0; y < picture.height; y++)
        memcpy(&out[(picture.height - 1 - y) * row], &picture.top_down[y * row], row);
    return out;
}

// Little-endian, n bytes.
static void put(Bytes& b, size_t at, uint32_t v, int n)
{
    for (int i = 0; i < n; i++) b[at + i] = (uint8_t)(v >> 8 * i);
}

Bytes bmp_file(const Picture& picture, const BmpOptions& options)
{
    size_t stride = ((size_t)picture.width * 3 + 3) & ~(size_t)3;
    size_t offset = 14 + options.info_size + options.gap;
    Bytes b(offset + stride * picture.height, 0);
    memcpy(&b[0], "BM", 2);
    put(b, 2, (uint32_t)b.size(), 4);
    put(b, 10, (uint32_t)offset, 4);
    put(b, 14, options.info_size, 4);
    put(b, 18, picture.width, 4);
    put(b, 22, options.top_down ? (uint32_t)-(int32_t)picture.height : picture.height, 4);
    put(b, 26, 1, 2);
    put(b, 28, options.bpp, 2);
    put(b, 30, options.compression, 4);
    for (uint32_t r = 0; r < picture.height; r++) {
        const uint8_t* px = picture.pixel(0, options.top_down ? r : picture.height - 1 - r);
        for (uint32_t x = 0; x < picture.width * 3; x += 3)
            std::reverse_copy(px + x, px + x + 3, &b[offset + r * stride + x]);   // blue, green, red
    }
    return b;
}

Bytes tga_tail(uint32_t at, bool developer)
{
    Bytes footer(26, 0);
    put(footer, developer ? 4 : 0, at, 4);
    memcpy(&footer[8], "TRUEVISION-XFILE.", 18);
    return Bytes(at ? 32 : 0, 0xEE) + footer;
}

Bytes tga_file(const Picture& picture, const TgaOptions& options)
{
    unsigned bytes = picture.channels;
    Bytes b(18, 0);
    b[0] = options.id_length;
    b[1] = options.map_length ? 1 : 0;
    b[2] = 2;
    put(b, 5, options.map_length, 2);
    b[7] = options.map_length ? options.map_entry_bits : 0;
    put(b, 12, picture.width, 2);
    put(b, 14, picture.height, 2);
    b[16] = (uint8_t)(bytes * 8);
    b[17] = (uint8_t)((bytes == 4 ? 8 : 0) | (options.top_origin ? 0x20 : 0));
    b.insert(b.end(), options.id_length + (size_t)options.map_length * ((options.map_entry_bits + 7) / 8), 0xEE);
    for (uint32_t r = 0; r < picture.height; r++)
        for (uint32_t x = 0; x < picture.width; x++) {
            const uint8_t* px = picture.pixel(x, options.top_origin ? r : picture.height - 1 - r);
            b.insert(b.end(), {px[2], px[1], px[0]});
            if (bytes == 4) b.push_back(px[3]);
        }
    return b + tga_tail();
}

Bytes jpeg_file(const Picture& picture, bool cmyk)
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
    cinfo.input_components = cmyk ? 4 : 3;
    cinfo.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int c = 0; c < cinfo.num_components; c++)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    // libjpeg writes JFIF only for YCbCr and greyscale; the loader looks for it.
    cinfo.write_JFIF_header = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(picture.width * cinfo.input_components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint32_t x = 0; x < picture.width; x++)
            for (int c = 0; c < cinfo.input_components; c++)
                row[x * cinfo.input_components + c] = picture.pixel(x, cinfo.next_scanline)[c % 3];
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(data, data + size);
    free(data);
    return out;
}

Decoding capture(const std::function<bool()>& body)
{
    Decoding run;
    char* log = nullptr;
    size_t log_size = 0;
    FILE* saved = loader_log;
    loader_log = open_memstream(&log, &log_size);
    testing::internal::CaptureStderr();
    run.recognised = body();
    fflush(stderr);
    run.errors = testing::internal::GetCapturedStderr();
    fclose(loader_log);
    loader_log = saved;
    run.log.assign(log, log_size);
    free(log);
    return run;
}

Decoding decode(ImageLoader& loader, const Bytes& bytes)
{
    FILE* file = tmpfile();
    if (!file) abort();
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
    rewind(file);
    Decoding run = capture([&] { return loader.read_file(file, 7); });
    fclose(file);
    return run;
}

static char scratch[] = "/tmp/oargala-loader-test-XXXXXX";

std::string scratch_dir()
{
    static bool made = mkdtemp(scratch) && !atexit([] { (void)!system((std::string("rm -rf ") + scratch).c_str()); });
    if (!made) abort();
    return scratch;
}

std::string scratch_file(const std::string& name, const Bytes& bytes)
{
    std::string path = scratch_dir() + "/" + name;
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
    return path;
}

Bytes read_whole_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes data_file(const std::string& name) { return read_whole_file(std::string(OARGALA_TEST_DATA) + "/" + name); }

int max_difference(const ImageLoader& loader, const Bytes& expected)
{
    if (!loader.pixels) return -1;
    size_t size = (size_t)loader.width * loader.height * (loader.bits_per_pixel / 8u);
    if (size != expected.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < size; i++) worst = std::max(worst, abs((int)loader.pixels[i] - (int)expected[i]));
    return worst;
}
