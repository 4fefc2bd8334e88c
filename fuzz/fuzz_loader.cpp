// fuzz_loader.cpp: libFuzzer target over the picture loader: each input is
// an in-memory file given to format detection and whichever reader it
// selects (ImageLoader::read_file), with the progress hook installed. Built
// with AddressSanitizer and UndefinedBehaviorSanitizer (fuzz/CMakeLists.txt);
// run by fuzz/run.sh. Besides memory errors it stops on a broken promise of
// the loader: a decoded picture outside the limits or of another depth, or
// a buffer held without a decoded picture.
#include "imageloader/image_loader.h"

#include <cstdint>
#include <cstdio>

static void ignore_progress(float, int) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;   // fmemopen refuses an empty buffer
    loader_log = nullptr;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    ImageLoader loader;
    loader.progress = ignore_progress;
    loader.read_file(file, 0);
    fclose(file);

    if (loader.decoded != (loader.pixels != nullptr)) __builtin_trap();
    if (loader.decoded) {
        if (loader.bits_per_pixel != 24 && loader.bits_per_pixel != 32) __builtin_trap();
        if (loader.width == 0 || loader.height == 0 || loader.width > IMAGE_MAX_SIDE ||
            loader.height > IMAGE_MAX_SIDE)
            __builtin_trap();
        // Reading every byte lets AddressSanitizer check the buffer's size.
        size_t bytes = (size_t)loader.width * loader.height * (loader.bits_per_pixel / 8u);
        if (bytes > IMAGE_MAX_BYTES) __builtin_trap();
        volatile uint8_t sum = 0;
        for (size_t i = 0; i < bytes; i += 61) sum = sum + loader.pixels[i];
        sum = sum + loader.pixels[bytes - 1];
    } else if (!loader.failure) {
        __builtin_trap();
    }
    return 0;
}
