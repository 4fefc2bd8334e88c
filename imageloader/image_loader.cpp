// image_loader.cpp: the ImageLoader object, opening a picture file, telling
// its format from its first bytes (or a TGA 2.0 footer at its end), and the
// upload of the decoded picture into an OpenGL texture. Also the helpers the
// readers share (reader.h). The readers are bmp.cpp, tga.cpp, jpeg.cpp and
// png.cpp. Depends on platform/gl.h, libpng (signature test) and platform/
// (the message box when a file cannot be opened).
#include "image_loader.h"
#include "reader.h"

#include "platform/platform.h"

#include "platform/gl.h"
#include <png.h>

#include <cstdarg>
#include <cstring>
#include <new>

FILE* loader_log = stdout;

// Held lines are stored one after the other, each as a stream byte ('o' for
// loader_log, 'e' for stderr), the text, and a NUL.
static thread_local std::string* held_log;

void hold_log(std::string* held) { held_log = held; }

void print_held_log(const std::string& held)
{
    for (size_t at = 0; at < held.size();) {
        size_t end = held.find('\0', at);
        if (end == std::string::npos) end = held.size();
        FILE* stream = held[at] == 'e' ? stderr : loader_log;
        if (stream) fwrite(held.data() + at + 1, 1, end - at - 1, stream);
        at = end + 1;
    }
}

static void write_line(char stream, FILE* direct, const char* format, va_list args)
{
    if (!held_log) {
        if (direct) vfprintf(direct, format, args);
        return;
    }
    char text[512];
    int length = vsnprintf(text, sizeof text, format, args);
    if (length < 0) return;
    held_log->push_back(stream);
    held_log->append(text, (size_t)length < sizeof text ? (size_t)length : sizeof text - 1);
    held_log->push_back('\0');
}

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
    if (decoded && texture_layout) {
        // llvmpipe keeps RGBA textures as blue-green-red-alpha words: this
        // upload is a copy, where RGB bytes cost a conversion pass. A
        // 24-bit picture's alpha is 255 throughout, so it still draws opaque.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, (GLsizei)width, (GLsizei)height, 0, GL_BGRA,
                     GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
    } else if (decoded) {
        // Rows are tightly packed: a 24-bit row of any width is not a
        // multiple of 4 bytes, GL's default unpack alignment.
        GLint alignment = 4;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        GLenum layout = bits_per_pixel == 32 ? GL_RGBA : GL_RGB;
        glTexImage2D(GL_TEXTURE_2D, 0, (GLint)layout, (GLsizei)width, (GLsizei)height, 0, layout,
                     GL_UNSIGNED_BYTE, pixels);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
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

// ---- helpers shared by the readers (reader.h) ------------------------------

void loader_printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    write_line('o', loader_log, format, args);
    va_end(args);
}

void library_message(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    write_line('e', stderr, format, args);
    va_end(args);
}

void set_failure(ImageLoader* loader, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(loader->failure_text, sizeof loader->failure_text, format, args);
    va_end(args);
    loader->failure = loader->failure_text;
}

bool check_picture_size(ImageLoader* loader, const char* tag, int64_t width, int64_t height,
                        unsigned bytes_per_pixel)
{
    if (width <= 0 || height <= 0) {
        loader_printf("(%s) refused: invalid picture size %lld x %lld\n", tag, (long long)width,
                      (long long)height);
        set_failure(loader, "invalid size %lld x %lld", (long long)width, (long long)height);
        return false;
    }
    // The product is formed only once both sides are known to be small.
    if (width > IMAGE_MAX_SIDE || height > IMAGE_MAX_SIDE ||
        (uint64_t)width * (uint64_t)height * bytes_per_pixel > IMAGE_MAX_BYTES) {
        loader_printf("(%s) refused: %lld x %lld is too large (at most %d pixels a side, %llu MiB)\n", tag,
                      (long long)width, (long long)height, (int)IMAGE_MAX_SIDE,
                      (unsigned long long)(IMAGE_MAX_BYTES >> 20));
        set_failure(loader, "too large (%lld x %lld)", (long long)width, (long long)height);
        return false;
    }
    return true;
}

uint8_t* allocate_picture(ImageLoader* loader, const char* tag, uint32_t width, uint32_t height,
                          unsigned bytes_per_pixel)
{
    size_t size = (size_t)width * height * bytes_per_pixel;
    uint8_t* picture = new (std::nothrow) uint8_t[size];
    if (!picture) {
        loader_printf("(%s) out of memory for %u x %u\n", tag, width, height);
        set_failure(loader, "out of memory");
    }
    return picture;
}

void clear_unwritten(uint8_t* picture, uint32_t width, uint32_t height, unsigned bytes_per_pixel,
                     bool top_first, uint64_t written)
{
    size_t row_bytes = (size_t)width * bytes_per_pixel;
    for (uint64_t row = written / width; row < height; row++) {
        size_t from = row == written / width ? (size_t)(written % width) * bytes_per_pixel : 0;
        uint8_t* start = picture + (size_t)(top_first ? height - 1 - row : row) * row_bytes;
        memset(start + from, 0, row_bytes - from);
    }
}

void report_progress(const ImageLoader* loader, uint64_t done, uint64_t total, int index)
{
    if (loader->progress) loader->progress((float)(done * 100 / total), index);
}

void report_truncated(ImageLoader* loader, const char* tag)
{
    loader_printf("(%s) file ends early, the picture is incomplete\n", tag);
    loader->truncated = true;
}
