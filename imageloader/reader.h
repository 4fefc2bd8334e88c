// reader.h: what the four readers share, inside imageloader/ only: the log
// line writer, the size limits, the picture buffer, progress reports, failure
// reasons and byte-order helpers.
#pragma once

#include "image_loader.h"

#include <cstddef>
#include <cstdint>

// One log line to loader_log (nothing when it is null).
void loader_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sets loader->failure to a formatted reason held in loader->failure_text.
void set_failure(ImageLoader* loader, const char* format, ...) __attribute__((format(printf, 2, 3)));

// True when a picture of width x height at bytes_per_pixel is within the
// limits. Otherwise logs one line in the reader's tag, sets the failure and
// returns false. Sizes arrive as read from the file, possibly negative.
bool check_picture_size(ImageLoader* loader, const char* tag, int64_t width, int64_t height,
                        unsigned bytes_per_pixel);

// A zeroed buffer of width x height x bytes_per_pixel (checked before), or
// null with a log line when memory runs out.
uint8_t* allocate_picture(ImageLoader* loader, const char* tag, uint32_t width, uint32_t height,
                          unsigned bytes_per_pixel);

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
