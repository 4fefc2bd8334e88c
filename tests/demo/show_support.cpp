// show_support.cpp: slot colours, texture tables and data folders for the
// show's tests. Depends on libpng and libjpeg (to write real files), OpenGL.
#include "show_support.h"

#include "demo/show.h"

#include <GL/gl.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

const std::string tone_path = OARGALA_TEST_DATA "/sound/tone.mp3";

static std::vector<Rgb> make_palette()
{
    std::vector<Rgb> palette(TEXTURE_COUNT);
    palette[0] = {255, 0, 0};
    palette[1] = {255, 255, 0};
    palette[8] = {0, 255, 0};
    palette[9] = {0, 0, 255};
    static const int levels[4] = {0, 85, 170, 255};
    int next = 0;
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        if (slot == 0 || slot == 1 || slot == 8 || slot == 9) continue;
        for (;; next++) {
            Rgb c{levels[next / 16 % 4], levels[next / 4 % 4], levels[next % 4]};
            bool mixed = c.r % 255 || c.g % 255 || c.b % 255;
            if (mixed) break;
        }
        palette[slot] = {levels[next / 16 % 4], levels[next / 4 % 4], levels[next % 4]};
        next++;
    }
    return palette;
}

Rgb slot_colour(int slot)
{
    static const std::vector<Rgb> palette = make_palette();
    return palette[slot];
}

Rgb scaled(Rgb c, float grey) { return {(int)(c.r * grey + 0.5f), (int)(c.g * grey + 0.5f), (int)(c.b * grey + 0.5f)}; }

void fill_texture_table()
{
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        Rgb c = slot_colour(slot);
        texture_table[slot] = solid_texture((uint8_t)c.r, (uint8_t)c.g, (uint8_t)c.b);
    }
}

void set_slot_quadrants(int slot, Rgb bottom_left, Rgb bottom_right, Rgb top_left, Rgb top_right)
{
    texture_table[slot] = quadrant_texture(bottom_left, bottom_right, top_left, top_right, 64);
}

static void write_png(const std::string& path, Rgb c, unsigned size)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) abort();
    png_init_io(png, file);
    png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(size * 3);
    for (unsigned x = 0; x < size; x++) {
        row[x * 3] = (png_byte)c.r;
        row[x * 3 + 1] = (png_byte)c.g;
        row[x * 3 + 2] = (png_byte)c.b;
    }
    for (unsigned y = 0; y < size; y++) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

static void write_jpeg(const std::string& path, Rgb c, unsigned size)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = size;
    cinfo.image_height = size;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(size * 3);
    for (unsigned x = 0; x < size; x++) {
        row[x * 3] = (JSAMPLE)c.r;
        row[x * 3 + 1] = (JSAMPLE)c.g;
        row[x * 3 + 2] = (JSAMPLE)c.b;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(file);
}

void write_show_data(const std::string& dir, bool soundtrack, int skip_slot, unsigned size)
{
    std::filesystem::create_directories(dir + "/data");
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        if (slot == skip_slot) continue;
        std::string path = dir + "/" + texture_paths[slot];
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0)
            write_jpeg(path, slot_colour(slot), size);
        else
            write_png(path, slot_colour(slot), size);
    }
    if (soundtrack)
        std::filesystem::copy_file(tone_path, dir + "/" + soundtrack_path,
                                   std::filesystem::copy_options::overwrite_existing);
}

int slot_at(Rgb pixel, int tolerance)
{
    if (near(pixel, Rgb{255, 255, 255}, tolerance)) return -1;
    for (int slot = 0; slot < TEXTURE_COUNT; slot++)
        if (near(pixel, slot_colour(slot), tolerance)) return slot;
    return -2;
}
