// png_writer.h: one frame read back from OpenGL written as an RGB PNG file,
// quickly (zlib's fastest level: a capture writes thousands of them). Used by
// the capture and by the window's screenshot key. Depends on libpng.
#pragma once

#include <cstdint>
#include <string>

// bgra: width * height * 4 bytes (blue, green, red, unused), bottom row first
// as OpenGL reads them; the file holds the picture upright, as RGB. False
// with the reason in *error.
bool picture_write_png(const char* path, const uint8_t* bgra, unsigned width, unsigned height, std::string* error);
