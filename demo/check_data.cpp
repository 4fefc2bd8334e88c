// check_data.cpp: `oargala --check-data`, for people who make or replace the
// show's pictures and music. From the chosen data folder it tries every
// picture of the texture table as the show would decode it and the
// soundtrack, prints one line each, and exits 1 when a slot would stay empty.
// Needs no window: the headless backend turns the loader's message boxes into
// lines on standard error.
// Depends on imageloader/, sound/ (recording backend), platform/.
#include "demo.h"
#include "show_internals.h"

#include "imageloader/image_loader.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int check_data_command()
{
    const char* why = nullptr;
    platform_select(PLATFORM_BACKEND_OFFSCREEN, &why);
    loader_log = nullptr;

    ImageLoader loader;
    // Read as the show reads them, 4 bytes a pixel for the upload: a picture
    // too large for that is refused here as it is in the show.
    loader.texture_layout = true;
    int empty = 0;
    // The path column fits the longest path: a data folder may lie deep.
    int width = 36;
    for (const char* path : texture_paths) width = std::max(width, (int)strlen(path));
    width = std::max(width, (int)strlen(soundtrack_path));
    printf("%4s  %-*s %-6s %-10s %-6s  %s\n", "slot", width, "path", "format", "size", "depth", "result");
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        const char* path = texture_paths[slot];
        bool ok = loader.read_image(path, slot) && loader.decoded && loader.pixels &&
                  (loader.bits_per_pixel == 24 || loader.bits_per_pixel == 32);
        const char* format = loader.format ? loader.format : "-";
        if (ok) {
            char size[32];
            snprintf(size, sizeof size, "%ux%u", loader.width, loader.height);
            char depth[16];
            snprintf(depth, sizeof depth, "%u bpp", (unsigned)loader.bits_per_pixel);
            printf("%4d  %-*s %-6s %-10s %-6s  %s\n", slot, width, path, format, size, depth,
                   loader.truncated ? "ok, but the file ends early (the rest is black)" : "ok");
        } else {
            const char* reason = loader.failure ? loader.failure : "no picture";
            printf("%4d  %-*s %-6s %-10s %-6s  %s\n", slot, width, path, format, "-", "-", reason);
            empty++;
        }
        // The loader keeps a decoded picture until it uploads it; nothing is
        // uploaded here.
        delete[] loader.pixels;
        loader.pixels = nullptr;
    }

    // The soundtrack, opened (and so decoded) as the show would open it.
    sound_select(SOUND_BACKEND_RECORDING);
    SoundStream* stream = sound_init(44100, 32, 2) ? sound_stream_open_file(soundtrack_path, 0x51, 0) : nullptr;
    bool sound_ok = stream != nullptr;
    const char* sound_state = sound_ok ? "ok" : sound_error_text(sound_get_error());
    sound_stream_close(stream);
    printf("%4s  %-*s %-6s %-10s %-6s  %s\n", "--", width, soundtrack_path, sound_ok ? "mp3" : "-", "-", "-", sound_state);

    if (empty)
        printf("%d of %d pictures would leave their slot empty\n", empty, (int)TEXTURE_COUNT);
    else
        printf("all %d pictures load\n", (int)TEXTURE_COUNT);
    fflush(stdout);
    return empty ? 1 : 0;
}
