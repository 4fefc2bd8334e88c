// picture.h: one captured frame written as an RGB PNG file, quickly (zlib's
// fastest level: a capture writes thousands of them). Depends on libpng.
#pragma once

#include <cstdint>
#include <string>

// rgb: width * height * 3 bytes, bottom row first as OpenGL reads them; the
// file holds the picture upright. False with the reason in *error.
bool picture_write_png(const char* path, const uint8_t* rgb, unsigned width, unsigned height, std::string* error);
