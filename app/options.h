// options.h: the command line of oargala. Only the entry reads it and hands
// each part the settings it needs; the GlWindow itself always gets an empty
// command-line string. Depends on capture/formats.h for the capture's
// settings (not on the capture itself) and platform/ for the renderers.
#pragma once

#include "capture/formats.h"
#include "platform/platform.h"

#include <string>

enum RunMode {
    RUN_SHOW,        // the show in a window (full screen unless --windowed)
    RUN_HELP,
    RUN_VERSION,
    RUN_DECODE,      // --decode PICTURE OUT.pam
    RUN_CHECK_DATA,  // --check-data
    RUN_CAPTURE,     // --capture OUT
};

struct Options {
    RunMode mode = RUN_SHOW;
    bool windowed = false;
    bool desktop = false;            // full screen at the desktop's own mode
    bool vsync = false;
    unsigned show_width = 0, show_height = 0;   // --size for the show; 0: 640x480
    std::string data_folder;   // --data: searched before the built-in places
    bool renderer_given = false;   // --renderer: else the build's default
    PlatformRenderer renderer = PLATFORM_RENDERER_GL11;
    std::string decode_input, decode_output;
    CaptureSettings capture;
};

extern const char* const usage_text;
extern const char* const version_text;

// Fills *options from argv. Returns false with a one-line message (no
// trailing newline) in *error when the command line is not understood.
bool parse_options(int argc, char** argv, Options* options, std::string* error);
