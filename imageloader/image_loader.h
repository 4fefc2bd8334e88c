// image_loader.h: turns picture files into OpenGL textures. The format is
// recognised from the file's own bytes (BMP, JPEG, PNG, then a TGA 2.0
// footer), the matching reader decodes it into a bottom-up RGB or RGBA buffer
// held here, and load_texture uploads that buffer and releases it. The show
// decodes its pictures ahead on worker threads (decode_ahead, in
// decode_ahead.cpp) and load_texture takes them over.
// Depends on libpng, libjpeg, OpenGL 1.1 and platform/ (message box).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Where the loader and its readers write their log lines: stdout unless
// changed; nullptr silences them (--check-data prints its own table).
// libjpeg's and libpng's own messages always go to stderr.
extern FILE* loader_log;

// A decoding thread holds its log lines back (each line with the stream it
// is meant for) until the picture's turn comes in slot order: hold_log(&held)
// before reading, hold_log(nullptr) after, print_held_log(held) on its turn.
void hold_log(std::string* held);
void print_held_log(const std::string& held);
// On the calling thread, hook(size) runs before each picture buffer is
// allocated (it may wait); nullptr for none. decode_ahead bounds its memory so.
void hold_allocations(void (*hook)(uint64_t bytes));

// Starts decoding paths[0] to paths[count - 1] on worker threads (threads:
// how many; 0 for one per core but one), in texture layout, each picture's
// log lines held back. A worker waits before allocating a picture that would
// take the buffers decoded and not yet taken over beyond budget bytes, unless
// its picture is the next one load_texture asks for (so a data folder of huge
// pictures holds at most budget and two pictures at once, the one the
// calling thread may be decoding along among them). load_texture(name, paths[i], i) then takes over
// picture i instead of reading the file (decoding the next pictures itself
// while picture i is not ready): it prints the held lines where its own
// reading would have printed them, so the log reads as if each file were
// read at its turn. A file that could not be opened is left to
// load_texture's own reading (its line and message box). Only the first call
// starts anything.
void decode_ahead(const char* const* paths, uint32_t count, unsigned threads,
                  uint64_t budget = 512ull * 1024 * 1024);

// Largest picture the readers accept: each side at most 16384 pixels and the
// decoded buffer at most 256 MiB.
enum { IMAGE_MAX_SIDE = 16384 };
static const uint64_t IMAGE_MAX_BYTES = 256ull * 1024 * 1024;

class ImageLoader {
public:
    // Decoded picture, bottom row first, rows tightly packed, RGB or RGBA;
    // null when none is held. Allocated with new[]: whoever takes it over
    // releases it with delete[].
    uint8_t* pixels;
    uint32_t height;
    uint32_t width;
    uint16_t bits_per_pixel;    // 24 (RGB) or 32 (RGBA) for a picture that can be uploaded
    void (*progress)(float percent, int index);

    // What the last read_image found, for tools and tests: the format's name
    // ("bmp", "tga", "jpeg", "png") or null when none matched, whether this
    // call decoded a new picture, and when it did not, a short reason.
    // decoded is true exactly when pixels holds a new 24- or 32-bit picture;
    // then width, height and bits_per_pixel describe it. Otherwise they may
    // hold an earlier picture's values, or what this file's header said.
    const char* format;
    bool decoded;
    const char* failure;
    // The file ended before the picture was complete: what arrived is in
    // pixels, the rest is zero (black, transparent). decoded stays true.
    bool truncated;
    // When set, the readers write 4 bytes a pixel in the order blue, green,
    // red, alpha (alpha 255 for a picture without one): the layout Mesa keeps
    // textures in, so that the upload is a plain copy. bits_per_pixel still
    // gives the picture's own depth. load_texture reads this way.
    bool texture_layout;

    ImageLoader();
    virtual ~ImageLoader();

    // Loads paths[i] (the variable arguments, count of them) into names[i].
    void load_textures(const uint32_t* names, uint32_t count, ...);
    void load_texture(uint32_t name, const char* path, int index);
    bool read_image(const char* path, int index);
    // Uploads the held picture (if decoded, in texture layout) into texture
    // name and releases it; the second half of load_texture.
    void upload(uint32_t name);
    // read_image on a file it has opened: reads it and closes it.
    bool read_opened(FILE* file, int index);
    // read_image on a stream that is already open (at any position): format
    // detection and the matching reader, no file opening, no GL. Same result.
    bool read_file(FILE* file, int index);

    void read_bmp(FILE* file, int index);
    void read_tga(FILE* file, int index);
    void read_jpeg(FILE* file, int index);
    void read_png(FILE* file, int index);

    char failure_text[96];      // storage for failure when it names a value
};

// When decode_ahead has (or is decoding) picture index of path, waits for it,
// prints its held log lines, hands it to loader in texture layout and sets
// *recognised as read_image would have returned. False when there is none
// (never started, another path, already taken, or the file could not be
// opened): then the caller reads the file itself.
bool take_decoded(ImageLoader* loader, int index, const char* path, bool* recognised);
