// png_writer.cpp: PNG writing for captures and screenshots. libpng reports errors by
// longjmp, so the function that calls setjmp holds nothing with a destructor.
// Depends on libpng and zlib.
#include "png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

struct PngErrorText {
    char text[200];
};

static void on_png_error(png_structp png, png_const_charp message)
{
    PngErrorText* error = (PngErrorText*)png_get_error_ptr(png);
    snprintf(error->text, sizeof error->text, "%s", message ? message : "libpng error");
    png_longjmp(png, 1);
}

static void on_png_warning(png_structp, png_const_charp) {}

// rows: height pointers, top row first. Returns false with error->text set.
static bool write_rows(FILE* file, png_bytep* rows, unsigned width, unsigned height, PngErrorText* error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, on_png_error, on_png_warning);
    if (!png) {
        snprintf(error->text, sizeof error->text, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        if (!info) snprintf(error->text, sizeof error->text, "out of memory");
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);   // the fourth byte is dropped
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool picture_write_png(const char* path, const uint8_t* bgra, unsigned width, unsigned height, std::string* error)
{
    std::vector<png_bytep> rows(height);
    size_t stride = (size_t)width * 4;
    for (unsigned y = 0; y < height; y++) rows[y] = (png_bytep)(bgra + (size_t)(height - 1 - y) * stride);

    // errno is cleared first so that the reason is this file's, and kept
    // from the first call that failed (fclose may set another).
    errno = 0;
    FILE* file = fopen(path, "wb");
    if (!file) {
        *error = std::string("cannot write ") + path + ": " + strerror(errno);
        return false;
    }
    PngErrorText png_error = {""};
    bool ok = write_rows(file, rows.data(), width, height, &png_error);
    // A failed write (disk full) is told by the system's reason, not by
    // libpng's "Write Error" that follows it.
    bool write_failed = ferror(file) != 0;
    int reason = errno;
    if (fclose(file) != 0) write_failed = true;
    if (!reason) reason = errno ? errno : EIO;
    if (!ok || write_failed) {
        *error = std::string("cannot write ") + path + ": " + (write_failed ? strerror(reason) : png_error.text);
        return false;
    }
    return true;
}
