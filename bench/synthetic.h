// synthetic.h: large test pictures for the decoding benchmark, written by the
// benchmark itself at start: PNG (RGB and RGBA, libpng), JPEG (libjpeg, JFIF
// header), BMP (24 bits, bottom row first) and TGA (32 bits, with the 2.0
// footer), all of the same photo-like content. Depends on libpng and libjpeg.
#pragma once

#include <string>
#include <vector>

struct SyntheticPicture {
    std::string name;   // e.g. "synthetic-2048.png"
    std::string path;
};

// Writes the pictures, width x height pixels each, into dir (which must
// exist). Returns them in a fixed order; an empty list if any write failed.
std::vector<SyntheticPicture> write_synthetic_pictures(const std::string& dir, unsigned width,
                                                       unsigned height);
