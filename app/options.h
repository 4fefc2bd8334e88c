// options.h: the command line of oargala. Only the entry reads it; the
// GlWindow itself always gets an empty command-line string.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum RunMode {
    RUN_SHOW,        // the show in a window (full screen unless --windowed)
    RUN_HELP,
    RUN_VERSION,
    RUN_DECODE,      // --decode PICTURE OUT.pam
    RUN_CHECK_DATA,  // --check-data
    RUN_CAPTURE,     // --capture OUT
};

enum CaptureKind { CAPTURE_VIDEO, CAPTURE_FRAMES };

struct Options {
    RunMode mode = RUN_SHOW;
    bool windowed = false;
    std::string decode_input, decode_output;
    std::string capture_output;
    CaptureKind capture_kind = CAPTURE_VIDEO;
    uint32_t fps_num = 60, fps_den = 1;
    unsigned width = 640, height = 480;
    std::vector<uint64_t> at_microseconds;   // --at show times, in microseconds
};

extern const char* const usage_text;
extern const char* const version_text;

// Fills *options from argv. Returns false with a one-line message (no
// trailing newline) in *error when the command line is not understood.
bool parse_options(int argc, char** argv, Options* options, std::string* error);
