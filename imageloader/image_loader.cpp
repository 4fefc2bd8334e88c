// image_loader.cpp: the ImageLoader object, opening a picture file, telling
// its format from its first bytes (or a TGA 2.0 footer at its end), and the
// upload of the decoded picture into an OpenGL texture. The readers are
// bmp.cpp, tga.cpp, jpeg.cpp and png.cpp; what they share is in reader.cpp.
// Depends on platform/gl.h, libpng (signature test) and platform/ (the
// message box when a file cannot be opened).
#include "image_loader.h"
#include "reader.h"

#include "platform/platform.h"

#include "platform/gl.h"
#include <png.h>

#include <cstdarg>
#include <cstring>

ImageLoader::ImageLoader()
    : pixels(nullptr), height(0), width(0), bits_per_pixel(0), progress(nullptr), format(nullptr),
      decoded(false), failure(nullptr), truncated(false), texture_layout(false), failure_text()
{
}

ImageLoader::~ImageLoader() { delete[] pixels; }

void ImageLoader::load_textures(const uint32_t* names, uint32_t count, ...)
{
    va_list paths;
    va_start(paths, count);
    for (uint32_t i = 0; i < count; i++) load_texture(names[i], va_arg(paths, const char*), (int)i);
    va_end(paths);
}

void ImageLoader::load_texture(uint32_t name, const char* path, int index)
{
    loader_printf("(tolm) loading file: %s into texture %d\n", path, (int)name);
    bool layout = texture_layout;
    texture_layout = true;
    // A picture decoded ahead has no progress reports to give.
    bool recognised = false;
    if (progress || !take_decoded(this, index, path, &recognised)) recognised = read_image(path, index);
    if (recognised) upload(name);
    texture_layout = layout;
}

// GL_UNSIGNED_INT_8_8_8_8_REV reads blue from the lowest byte of each pixel.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "texture layout assumes little-endian pixels");

void ImageLoader::upload(uint32_t name)
{
    glBindTexture(GL_TEXTURE_2D, name);
    // A file that was recognised but gave no picture leaves the texture
    // without an image rather than uploading a previous picture's size.
    if (decoded) {
        // llvmpipe keeps RGBA textures as blue-green-red-alpha words: this
        // upload is a copy, where RGB bytes cost a conversion pass. A
        // 24-bit picture's alpha is 255 throughout, so it still draws opaque.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, (GLsizei)width, (GLsizei)height, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    }
    delete[] pixels;
    pixels = nullptr;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

bool ImageLoader::read_image(const char* path, int index)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        delete[] pixels;
        pixels = nullptr;
        format = nullptr;
        decoded = false;
        truncated = false;
        failure = "cannot open";
        loader_printf("(tolm) sorry, couldnt open %s!\n", path);
        // The box shows at most 200 characters of the path.
        char message[256];
        snprintf(message, sizeof message, "Could not open file: %.200s", path);
        platform_message_box("(tolm) Load", message, PLATFORM_ICON_NONE);
        return false;
    }
    return read_opened(file, index);
}

bool ImageLoader::read_opened(FILE* file, int index)
{
    // The readers ask for a few KiB at a time; stdio's own 4 KiB buffer
    // would turn each of those into a system call.
    char buffer[1 << 16];
    setvbuf(file, buffer, _IOFBF, sizeof buffer);
    bool recognised = read_file(file, index);
    fclose(file);
    return recognised;
}

enum PictureFormat { FORMAT_NONE, FORMAT_BMP, FORMAT_JPEG, FORMAT_PNG, FORMAT_TGA };

// Looks at the first 10 bytes, then at the last 18; leaves the stream at its
// start. Bytes that are not in the file match nothing.
static PictureFormat detect_format(FILE* file)
{
    static const char tga_signature[18] = "TRUEVISION-XFILE.";   // and its NUL
    uint8_t head[10] = {};
    rewind(file);
    size_t got = fread(head, 1, sizeof head, file);
    rewind(file);
    if (got >= 2 && head[0] == 'B' && head[1] == 'M') return FORMAT_BMP;
    if (got >= 10 && memcmp(head + 6, "JFIF", 4) == 0) return FORMAT_JPEG;
    if (got >= 8 && png_sig_cmp(head, 0, 8) == 0) return FORMAT_PNG;

    uint8_t tail[18];
    bool tga = fseek(file, -18, SEEK_END) == 0 && fread(tail, 1, sizeof tail, file) == sizeof tail &&
               memcmp(tail, tga_signature, sizeof tail) == 0;
    rewind(file);
    return tga ? FORMAT_TGA : FORMAT_NONE;
}

bool ImageLoader::read_file(FILE* file, int index)
{
    delete[] pixels;
    pixels = nullptr;
    format = nullptr;
    decoded = false;
    truncated = false;
    failure = nullptr;

    switch (detect_format(file)) {
    case FORMAT_NONE: failure = "unknown format"; return false;
    case FORMAT_BMP: format = "bmp"; read_bmp(file, index); break;
    case FORMAT_JPEG: format = "jpeg"; read_jpeg(file, index); break;
    case FORMAT_PNG: format = "png"; read_png(file, index); break;
    case FORMAT_TGA: format = "tga"; read_tga(file, index); break;
    }
    // A reader sets pixels only for a whole 24- or 32-bit picture.
    decoded = pixels != nullptr;
    if (!decoded && !failure) failure = "no picture";
    if (decoded) failure = nullptr;
    return true;
}
