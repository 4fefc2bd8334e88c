// reader.cpp: what the readers share (reader.h) and the log lines of the
// loader and readers: the log line writer and the held logs of decoding
// threads, failure reasons, the size limits, the picture buffer and progress
// reports. Uses only ImageLoader's fields, none of its functions, so the
// arrows run one way: the loader calls the readers, both call these.
// Depends on image_loader.h (the fields and limits) and the C library.
#include "reader.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

FILE* loader_log = stdout;

// Held lines are stored one after the other, each as a stream byte ('o' for
// loader_log, 'e' for stderr), the text, and a NUL.
static thread_local std::string* held_log;

void hold_log(std::string* held) { held_log = held; }

static thread_local void (*allocation_hook)(uint64_t bytes);

void hold_allocations(void (*hook)(uint64_t bytes)) { allocation_hook = hook; }

void print_held_log(const std::string& held)
{
    for (size_t at = 0; at < held.size();) {
        size_t end = held.find('\0', at);
        if (end == std::string::npos) end = held.size();
        FILE* stream = held[at] == 'e' ? stderr : loader_log;
        if (stream) fwrite(held.data() + at + 1, 1, end - at - 1, stream), fflush(stream);
        at = end + 1;
    }
}

static void write_line(char stream, FILE* direct, const char* format, va_list args)
{
    if (!held_log) {
        // Each line reaches a file or a pipe as it is printed, as on a
        // terminal, so a signal that ends the show loses none. Windows' C
        // runtime has no line buffering (_IOLBF buffers fully), hence the flush.
        if (direct) vfprintf(direct, format, args), fflush(direct);
        return;
    }
    char text[512];
    int length = vsnprintf(text, sizeof text, format, args);
    if (length < 0) return;
    held_log->push_back(stream);
    held_log->append(text, (size_t)length < sizeof text ? (size_t)length : sizeof text - 1);
    held_log->push_back('\0');
}

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
        (uint64_t)width * (uint64_t)height * buffer_bytes(loader, bytes_per_pixel) > IMAGE_MAX_BYTES) {
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
    if (allocation_hook) allocation_hook(size);
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
