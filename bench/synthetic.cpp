// synthetic.cpp: writes the decoding benchmark's large pictures. The content
// is smooth gradients, soft discs and a little noise, so that PNG and JPEG
// compress it about as well as a photo rather than as a flat colour.
// Depends on libpng and libjpeg (6b API).
#include "synthetic.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cmath>

#include <jpeglib.h>

namespace {

// Top row first, RGBA.
struct Rgba {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> bytes;
};

Rgba make_content(unsigned width, unsigned height)
{
    Rgba image;
    image.width = width;
    image.height = height;
    image.bytes.resize((size_t)width * height * 4);
    uint32_t seed = 12345;
    for (unsigned y = 0; y < height; y++) {
        for (unsigned x = 0; x < width; x++) {
            seed = seed * 1664525u + 1013904223u;
            int noise = (int)(seed >> 29) - 4;   // -4 .. 3
            float u = (float)x / (float)width, v = (float)y / (float)height;
            float disc1 = std::hypot(u - 0.3f, v - 0.4f), disc2 = std::hypot(u - 0.7f, v - 0.65f);
            float r = 200.0f * u + 40.0f * std::sin(9.0f * v) + (disc1 < 0.2f ? 50.0f : 0.0f);
            float g = 160.0f * v + 60.0f * std::cos(7.0f * u * v) + (disc2 < 0.15f ? -70.0f : 0.0f);
            float b = 120.0f + 100.0f * std::sin(5.0f * (u + v)) * std::cos(3.0f * u);
            float a = 255.0f * std::fmin(1.0f, 2.0f * std::hypot(u - 0.5f, v - 0.5f) + 0.2f);
            float values[4] = {r + noise, g + noise, b + noise, a};
            uint8_t* out = &image.bytes[((size_t)y * width + x) * 4];
            for (int c = 0; c < 4; c++) out[c] = (uint8_t)std::fmin(255.0f, std::fmax(0.0f, values[c]));
        }
    }
    return image;
}

bool write_png(const Rgba& image, const std::string& path, bool alpha)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);   // rows stay RGBA in memory
    for (unsigned y = 0; y < image.height; y++)
        png_write_row(png, &image.bytes[(size_t)y * image.width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

bool write_jpeg(const Rgba& image, const std::string& path)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);   // errors here are exits; only our own input goes in
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = image.width;
    cinfo.image_height = image.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);   // writes the JFIF header the loader recognises
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(image.width * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* in = &image.bytes[(size_t)cinfo.next_scanline * image.width * 4];
        for (unsigned x = 0; x < image.width; x++)
            for (int c = 0; c < 3; c++) row[x * 3 + c] = in[x * 4 + c];
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return fclose(file) == 0;
}

void put16(std::vector<uint8_t>* out, unsigned value)
{
    out->push_back((uint8_t)value);
    out->push_back((uint8_t)(value >> 8));
}

void put32(std::vector<uint8_t>* out, uint32_t value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

bool write_bytes(const std::vector<uint8_t>& bytes, const std::string& path)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

// 24 bits, uncompressed, bottom row first, no row fill (width x 3 is a
// multiple of 4 for the sizes used here).
bool write_bmp(const Rgba& image, const std::string& path)
{
    uint32_t data_size = image.width * image.height * 3;
    std::vector<uint8_t> out;
    out.reserve(54 + data_size);
    out.push_back('B');
    out.push_back('M');
    put32(&out, 54 + data_size);
    put32(&out, 0);
    put32(&out, 54);
    put32(&out, 40);
    put32(&out, image.width);
    put32(&out, image.height);
    put16(&out, 1);
    put16(&out, 24);
    put32(&out, 0);
    put32(&out, data_size);
    put32(&out, 2835);
    put32(&out, 2835);
    put32(&out, 0);
    put32(&out, 0);
    for (unsigned y = image.height; y-- > 0;) {
        const uint8_t* in = &image.bytes[(size_t)y * image.width * 4];
        for (unsigned x = 0; x < image.width; x++) {
            out.push_back(in[x * 4 + 2]);
            out.push_back(in[x * 4 + 1]);
            out.push_back(in[x * 4 + 0]);
        }
    }
    return write_bytes(out, path);
}

// Uncompressed true colour with alpha, bottom-left origin, 2.0 footer.
bool write_tga(const Rgba& image, const std::string& path)
{
    std::vector<uint8_t> out;
    out.reserve(18 + (size_t)image.width * image.height * 4 + 26);
    out.push_back(0);   // no identifier
    out.push_back(0);   // no colour map
    out.push_back(2);   // uncompressed true colour
    for (int i = 0; i < 5; i++) out.push_back(0);
    put16(&out, 0);
    put16(&out, 0);
    put16(&out, image.width);
    put16(&out, image.height);
    out.push_back(32);
    out.push_back(8);   // 8 alpha bits, bottom-left origin
    for (unsigned y = image.height; y-- > 0;) {
        const uint8_t* in = &image.bytes[(size_t)y * image.width * 4];
        for (unsigned x = 0; x < image.width; x++) {
            out.push_back(in[x * 4 + 2]);
            out.push_back(in[x * 4 + 1]);
            out.push_back(in[x * 4 + 0]);
            out.push_back(in[x * 4 + 3]);
        }
    }
    put32(&out, 0);
    put32(&out, 0);
    const char signature[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), signature, signature + sizeof signature);   // with its NUL
    return write_bytes(out, path);
}

}  // namespace

std::vector<SyntheticPicture> write_synthetic_pictures(const std::string& dir, unsigned width,
                                                       unsigned height)
{
    Rgba image = make_content(width, height);
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<SyntheticPicture> pictures = {
        {"synthetic-" + size + "-rgb.png", ""},  {"synthetic-" + size + "-rgba.png", ""},
        {"synthetic-" + size + ".jpg", ""},      {"synthetic-" + size + ".bmp", ""},
        {"synthetic-" + size + "-rgba.tga", ""},
    };
    for (SyntheticPicture& picture : pictures) picture.path = dir + "/" + picture.name;
    bool ok = write_png(image, pictures[0].path, false) && write_png(image, pictures[1].path, true) &&
              write_jpeg(image, pictures[2].path) && write_bmp(image, pictures[3].path) &&
              write_tga(image, pictures[4].path);
    if (!ok) pictures.clear();
    return pictures;
}
