// reader.h: what the four readers share, inside imageloader/ only: the log
// line writer, the size limits, the picture buffer, progress reports, failure
// reasons and byte-order helpers.
#pragma once

#include "image_loader.h"

#include <cstddef>
#include <cstdint>

// One log line to loader_log (nothing when it is null), or into the calling
// thread's held log (hold_log).
void loader_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// One line of libpng's or libjpeg's own to stderr, or into the held log.
void library_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sets loader->failure to a formatted reason held in loader->failure_text.
void set_failure(ImageLoader* loader, const char* format, ...) __attribute__((format(printf, 2, 3)));

// True when a picture of width x height at the file's bytes_per_pixel is
// within the limits, as the loader's buffer holds it (buffer_bytes).
// Otherwise logs one line in the reader's tag, sets the failure and returns
// false. Sizes arrive as read from the file, possibly negative.
bool check_picture_size(ImageLoader* loader, const char* tag, int64_t width, int64_t height,
                        unsigned bytes_per_pixel);

// Bytes a pixel takes in the loader's buffer for a picture of picture_bytes.
inline unsigned buffer_bytes(const ImageLoader* loader, unsigned picture_bytes)
{
    return loader->texture_layout ? 4u : picture_bytes;
}

// A buffer of width x height x bytes_per_pixel (checked before), or null with
// a log line when memory runs out. It is not cleared: the reader writes every
// byte, or clears what it could not read with clear_unwritten.
uint8_t* allocate_picture(ImageLoader* loader, const char* tag, uint32_t width, uint32_t height,
                          unsigned bytes_per_pixel);

// Zeroes every pixel from the written-th on, counted in file order: the
// file's first row is the buffer's last row when top_first, else its first.
void clear_unwritten(uint8_t* picture, uint32_t width, uint32_t height, unsigned bytes_per_pixel,
                     bool top_first, uint64_t written);

// Calls the progress hook, if set, with floor(done x 100 / total).
void report_progress(const ImageLoader* loader, uint64_t done, uint64_t total, int index);

// The one line every reader prints when the file ends inside the pixel data.
void report_truncated(ImageLoader* loader, const char* tag);

inline uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline uint32_t be32(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}
