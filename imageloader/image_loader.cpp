// image_loader.cpp: placeholder until the loader is written: reads nothing.
#include "image_loader.h"
#include <cstdarg>
FILE* loader_log = stdout;
ImageLoader::ImageLoader() : pixels(nullptr), height(0), width(0), bits_per_pixel(0), progress(nullptr), format(nullptr), decoded(false), failure(nullptr) {}
ImageLoader::~ImageLoader() { delete[] pixels; }
void ImageLoader::load_textures(const uint32_t* names, uint32_t count, ...)
{
    va_list args;
    va_start(args, count);
    for (uint32_t i = 0; i < count; i++) load_texture(names[i], va_arg(args, const char*), (int)i);
    va_end(args);
}
void ImageLoader::load_texture(uint32_t, const char* path, int index) { read_image(path, index); }
bool ImageLoader::read_image(const char*, int) { return false; }
void ImageLoader::read_bmp(FILE*, int) {}
void ImageLoader::read_tga(FILE*, int) {}
void ImageLoader::read_jpeg(FILE*, int) {}
void ImageLoader::read_png(FILE*, int) {}
