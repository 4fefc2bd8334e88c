// show_support.cpp: slot colours, texture tables and data folders for the
// show's tests. Depends on libpng and libjpeg (to write real files), OpenGL.
#include "show_support.h"

#include "demo/show_internals.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

Rgb slot_colour(int slot)
{
    static const std::vector<Rgb> palette = [] {
        std::vector<Rgb> colours;
        const int levels[4] = {0, 85, 170, 255};
        for (int s = 0, next = 0; s < TEXTURE_COUNT; s++) {
            Rgb c = s == 0 ? Rgb{255, 0, 0} : s == 1 ? Rgb{255, 255, 0} : s == 8 ? Rgb{0, 255, 0} : Rgb{0, 0, 255};
            if (s != 0 && s != 1 && s != 8 && s != 9)
                do c = {levels[next / 16 % 4], levels[next / 4 % 4], levels[next % 4]}, next++;
                while (c.r % 255 == 0 && c.g % 255 == 0 && c.b % 255 == 0);
            colours.push_back(c);
        }
        return colours;
    }();
    return palette[slot];
}

Rgb scaled(Rgb c, float grey) { return {(int)(c.r * grey + 0.5f), (int)(c.g * grey + 0.5f), (int)(c.b * grey + 0.5f)}; }

void fill_texture_table()
{
    for (int slot = 0; slot < TEXTURE_COUNT; slot++)
        texture_table[slot] = solid_texture(slot_colour(slot).r, slot_colour(slot).g, slot_colour(slot).b);
}

static void write_picture(const std::string& path, Rgb c, unsigned size)
{
    std::vector<uint8_t> rgb((size_t)size * size * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = (uint8_t)c.r, rgb[i + 1] = (uint8_t)c.g, rgb[i + 2] = (uint8_t)c.b;
    if (path.compare(path.size() - 4, 4, ".jpg") != 0) {
        png_image image{nullptr, PNG_IMAGE_VERSION, size, size, PNG_FORMAT_RGB, 0, 0, 0, {0}};
        if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) abort();
        return;
    }
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = cinfo.image_height = size;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < size) {
        JSAMPROW row = rgb.data() + (size_t)cinfo.next_scanline * size * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    fclose(file);
}

void write_show_data(const std::string& dir, bool soundtrack, int skip_slot, unsigned size)
{
    std::filesystem::create_directories(dir + "/data");
    for (int slot = 0; slot < TEXTURE_COUNT; slot++)
        if (slot != skip_slot) write_picture(dir + "/" + texture_paths[slot], slot_colour(slot), size);
    if (soundtrack)
        std::filesystem::copy_file(OARGALA_TEST_DATA "/sound/tone.mp3", dir + "/" + soundtrack_path,
                                   std::filesystem::copy_options::overwrite_existing);
}

int slot_at(Rgb pixel, int tolerance)
{
    if (near(pixel, Rgb{255, 255, 255}, tolerance)) return -1;
    for (int slot = 0; slot < TEXTURE_COUNT; slot++)
        if (near(pixel, slot_colour(slot), tolerance)) return slot;
    return -2;
}
