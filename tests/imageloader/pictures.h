// pictures.h: test pictures for the loader tests. A Picture is held top row
// first, as a viewer shows it; the writers store it as BMP, TGA or JPEG (via
// libjpeg) bytes, and decode() runs the loader on such bytes, collecting its
// log lines and stderr. PNG files come from tests/data.
#pragma once

#include "imageloader/image_loader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
Bytes operator+(Bytes a, const Bytes& b);

struct Picture {
    uint32_t width = 0, height = 0;
    unsigned channels = 3;   // 3: RGB, 4: RGBA
    Bytes top_down;          // rows top first, tightly packed
    const uint8_t* pixel(uint32_t x, uint32_t y) const { return &top_down[((size_t)y * width + x) * channels]; }
};
// A colourful picture with no two neighbouring pixels alike.
Picture pattern_picture(uint32_t width, uint32_t height, unsigned channels = 3);
// The loader's buffer layout: the same rows, bottom row first.
Bytes bottom_up(const Picture& picture);

struct BmpOptions {
    bool top_down = false;     // negative height, top row stored first
    uint32_t info_size = 40;   // 40, 108 or 124 (others to test refusal)
    uint32_t gap = 0;          // bytes between the headers and the pixel data
    uint16_t bpp = 24;         // written into the header only
    uint32_t compression = 0;
};
Bytes bmp_file(const Picture& picture, const BmpOptions& options = {});

struct TgaOptions {
    bool top_origin = false;   // image descriptor bit 5
    uint8_t id_length = 0;     // identifier and colour map: 0xEE bytes the reader skips
    uint16_t map_length = 0;
    uint8_t map_entry_bits = 24;
};
Bytes tga_file(const Picture& picture, const TgaOptions& options = {});   // uncompressed, with the footer
// The TGA 2.0 footer the loader recognises. With at, 32 bytes of 0xEE come
// first, named by the footer as the extension area (or developer directory)
// at file offset at: the pixel data end there.
Bytes tga_tail(uint32_t at = 0, bool developer = false);
// Quality 100, no chroma subsampling, a JFIF marker even for CMYK.
Bytes jpeg_file(const Picture& picture, bool cmyk = false);

// What a read_file call (decode) or any body (capture) returned, with the
// loader's log lines and stderr (libjpeg's and libpng's messages).
struct Decoding {
    bool recognised = false;
    std::string log, errors;
};
Decoding decode(ImageLoader& loader, const Bytes& bytes);
Decoding capture(const std::function<bool()>& body);

// A per-process scratch folder, removed at exit, and a new file in it.
std::string scratch_dir();
std::string scratch_file(const std::string& name, const Bytes& bytes);
Bytes read_whole_file(const std::string& path);
Bytes data_file(const std::string& name);   // below tests/data

// Largest channel difference between the loader's buffer and expected
// (bottom row first, same size), or -1 when the sizes differ.
int max_difference(const ImageLoader& loader, const Bytes& expected);
