// options.cpp: parses oargala's command line into Options. Every refusal is
// one line that names the offending word; nothing is guessed.
#include "options.h"

#include "platform/platform.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

const char* const version_text = "oargala 1.0.0\n";

const char* const usage_text =
    "Usage: oargala [--windowed] [--size WxH] [--vsync] [--data DIR]\n"
    "  or:  oargala --desktop [--vsync] [--data DIR]\n"
    "  or:  oargala --capture OUT.mp4|.mkv|.webm|.mov [--crf N] [--preset NAME]\n"
    "                [--lossless] [--from T] [--to T] [--fps N|N/D] [--size WxH]\n"
    "                [--blur N]\n"
    "  or:  oargala --capture DIR/ [--fps N|N/D] [--size WxH] [--blur N]\n"
    "                [--at T1,T2,... | --from T --to T]\n"
    "  or:  oargala --decode PICTURE OUT.pam\n"
    "  or:  oargala --check-data [--data DIR]\n"
    "  or:  oargala --help | --version\n"
    "\n"
    "Plays the Oar Gala demo: about 159 seconds of pictures and music, full screen\n"
    "at 640x480. Escape or closing the window ends it; F12 saves the frame on screen\n"
    "as oargala-SSS.mmm.png (the show time) in the working directory. Pictures and\n"
    "music are read from the first folder of these that holds them: the --data\n"
    "folder, data/ below the working directory, data/ beside the program, and the\n"
    "installed ../share/oargala/data next to the program's folder.\n"
    "\n"
    "  --windowed        play in a 640x480 window, with the frame rate in its title\n"
    "  --desktop         play full screen at the desktop's own resolution, without\n"
    "                    changing the display mode\n"
    "  --size WxH        the show: full screen in a WxH display mode (e.g. 800x600,\n"
    "                    1024x768, 1280x1024), or a WxH window with --windowed;\n"
    "                    a capture: its size, default 640x480. The 4:3 picture is\n"
    "                    scaled to fit and centred\n"
    "  --vsync           wait for the display's refresh between frames\n"
    "  --capture OUT     render the whole show offscreen, frame-exact: to a video\n"
    "                    with the soundtrack (needs ffmpeg), by OUT's suffix:\n"
    "                    .mp4 or .mkv H.264 and AAC, .webm VP9 and Opus, .mov\n"
    "                    ProRes 422 HQ 10-bit and PCM; or to DIR/frame-NNNNN.png\n"
    "                    pictures (OUT ends in /)\n"
    "  --lossless        with OUT.mkv: FFV1 keeping the rendered RGB exactly, FLAC\n"
    "  --crf N           quality, lower is better: H.264 0-51 (default 18), VP9\n"
    "                    0-63 (default 24). H.264 at 0 is High 4:4:4 Predictive,\n"
    "                    which most browsers cannot play (lossless: --lossless)\n"
    "  --preset NAME     H.264 speed: ultrafast, superfast, veryfast (default),\n"
    "                    faster, fast, medium, slow, slower, veryslow\n"
    "  --from T, --to T  only the stretch of the video from T to T seconds, with\n"
    "                    its sound; every frame before is still simulated\n"
    "  --fps N|N/D       capture frame rate, default 60 (e.g. 30, 60000/1001)\n"
    "  --blur N          motion blur: each frame the mean of N sub-frames (1-64,\n"
    "                    1 is none) spread over its interval\n"
    "  --at T1,T2,...    with DIR/: write only the frames at these show times\n"
    "                    (seconds), still simulating every frame between\n"
    "  --decode PICTURE OUT.pam\n"
    "                    decode one picture as the show would and write it as PAM\n"
    "  --check-data      check the 33 pictures and the soundtrack of the data folder\n"
    "  --data DIR        look for the pictures and the soundtrack in DIR first\n"
    "                    (with the show, --capture and --check-data)\n"
    "  --renderer NAME   draw with gl11 (OpenGL 1.1, the default) or gles2 (our own\n"
    "                    renderer over OpenGL ES 2, the browser build's), with the\n"
    "                    show or --capture\n"
    "  --help            show this text\n"
    "  --version         show the version\n";

static const unsigned max_capture_side = 8192;
static const uint64_t show_length_us = 159000000;

static bool parse_unsigned(const char* text, const char* end, uint64_t* out)
{
    if (text == end) return false;
    uint64_t value = 0;
    for (const char* p = text; p < end; p++) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (uint64_t)(*p - '0');
        if (value > 1000000000ull) return false;
    }
    *out = value;
    return true;
}

static bool parse_fps(const char* text, CaptureSettings* settings)
{
    const char* slash = strchr(text, '/');
    const char* end = text + strlen(text);
    uint64_t num = 0, den = 1;
    if (!parse_unsigned(text, slash ? slash : end, &num)) return false;
    if (slash && !parse_unsigned(slash + 1, end, &den)) return false;
    if (num == 0 || den == 0) return false;
    // Between 1 and 1000 frames per second.
    if (num < den || num > 1000 * den) return false;
    settings->fps_num = (uint32_t)num;
    settings->fps_den = (uint32_t)den;
    return true;
}

static bool parse_size(const char* text, unsigned* width, unsigned* height)
{
    const char* x = strchr(text, 'x');
    if (!x) return false;
    uint64_t w = 0, h = 0;
    if (!parse_unsigned(text, x, &w) || !parse_unsigned(x + 1, text + strlen(text), &h)) return false;
    if (w < 16 || h < 16 || w > max_capture_side || h > max_capture_side) return false;
    *width = (unsigned)w;
    *height = (unsigned)h;
    return true;
}

// One show time in seconds with up to six decimals, e.g. "63" or "27.5".
static bool parse_time(const char* text, const char* end, uint64_t* microseconds)
{
    const char* dot = (const char*)memchr(text, '.', (size_t)(end - text));
    uint64_t whole = 0, fraction = 0;
    if (!parse_unsigned(text, dot ? dot : end, &whole)) return false;
    if (dot) {
        size_t digits = (size_t)(end - dot - 1);
        if (digits == 0 || digits > 6 || !parse_unsigned(dot + 1, end, &fraction)) return false;
        for (size_t i = digits; i < 6; i++) fraction *= 10;
    }
    *microseconds = whole * 1000000 + fraction;
    return true;
}

static bool parse_at(const char* text, CaptureSettings* settings, std::string* error)
{
    const char* p = text;
    while (true) {
        const char* comma = strchr(p, ',');
        const char* end = comma ? comma : p + strlen(p);
        uint64_t us = 0;
        if (!parse_time(p, end, &us)) {
            *error = "--at: '" + std::string(p, end) + "' is not a show time in seconds";
            return false;
        }
        if (us > show_length_us) {
            *error = "--at: " + std::string(p, end) + " is past the end of the show (159 s)";
            return false;
        }
        settings->at_microseconds.push_back(us);
        if (!comma) return true;
        p = comma + 1;
    }
}

static std::string seconds_text(uint64_t microseconds)
{
    std::string text = std::to_string(microseconds / 1000000);
    if (microseconds % 1000000) {
        std::string fraction = std::to_string(1000000 + microseconds % 1000000).substr(1);
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    }
    return text;
}

// --crf, --preset and --lossless against the format of the output file.
static bool check_encoding(const std::string& out, int crf, const char* preset, bool lossless, CaptureSettings* settings,
                           std::string* error)
{
    const VideoFormat* format = capture_video_format(out, lossless);
    if (!format) {
        *error = lossless ? "--lossless goes with a .mkv file (FFV1 and FLAC), not with '" + out + "'"
                          : "--capture: '" + out + "' is neither a .mp4, .mkv, .webm or .mov file nor a folder ending in /";
        return false;
    }
    if (crf >= 0 && format->crf_max < 0) {
        *error = std::string("--crf goes with H.264 (.mp4, .mkv) and VP9 (.webm), not with ") + format->description;
        return false;
    }
    if (crf >= 0 && (crf < format->crf_min || crf > format->crf_max)) {
        *error = "--crf: " + std::to_string(crf) + " is not from " + std::to_string(format->crf_min) + " to " +
                 std::to_string(format->crf_max) + " for " + format->description;
        return false;
    }
    if (preset && format->codec != CODEC_H264) {
        *error = std::string("--preset goes with H.264 (.mp4, .mkv), not with ") + format->description;
        return false;
    }
    settings->format = format;
    settings->crf = crf;
    if (preset) settings->preset = preset;
    return true;
}

bool parse_options(int argc, char** argv, Options* options, std::string* error)
{
    bool fps_given = false, size_given = false, at_given = false;
    bool lossless = false, blur_given = false, range_given = false;
    const char* preset = nullptr;
    int crf = -1;
    unsigned size_width = 0, size_height = 0;
    bool mode_given = false;
    auto set_mode = [&](RunMode mode, const char* word) {
        if (mode_given && options->mode != mode) {
            *error = std::string(word) + " cannot be combined with another mode";
            return false;
        }
        options->mode = mode;
        mode_given = true;
        return true;
    };
    auto value_of = [&](int& i, const char* word, const char** value) {
        if (i + 1 >= argc) {
            *error = std::string(word) + " needs a value";
            return false;
        }
        *value = argv[++i];
        return true;
    };

    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = nullptr;
        if (!strcmp(arg, "--help") || !strcmp(arg, "-h")) {
            if (!set_mode(RUN_HELP, arg)) return false;
        } else if (!strcmp(arg, "--version")) {
            if (!set_mode(RUN_VERSION, arg)) return false;
        } else if (!strcmp(arg, "--windowed")) {
            options->windowed = true;
        } else if (!strcmp(arg, "--desktop")) {
            options->desktop = true;
        } else if (!strcmp(arg, "--vsync")) {
            options->vsync = true;
        } else if (!strcmp(arg, "--check-data")) {
            if (!set_mode(RUN_CHECK_DATA, arg)) return false;
        } else if (!strcmp(arg, "--decode")) {
            if (!set_mode(RUN_DECODE, arg)) return false;
            if (i + 2 >= argc) {
                *error = "--decode needs a picture and an output file";
                return false;
            }
            options->decode_input = argv[++i];
            options->decode_output = argv[++i];
        } else if (!strcmp(arg, "--data")) {
            if (!value_of(i, arg, &value)) return false;
            if (!*value) {
                *error = "--data needs a folder";
                return false;
            }
            options->data_folder = value;
        } else if (!strcmp(arg, "--renderer")) {
            if (!value_of(i, arg, &value)) return false;
            if (!strcmp(value, "gl11")) options->renderer = PLATFORM_RENDERER_GL11;
            else if (!strcmp(value, "gles2")) options->renderer = PLATFORM_RENDERER_GLES2;
            else {
                *error = std::string("--renderer: '") + value + "' is not a renderer (gl11 or gles2)";
                return false;
            }
            options->renderer_given = true;
        } else if (!strcmp(arg, "--capture")) {
            if (!set_mode(RUN_CAPTURE, arg) || !value_of(i, arg, &value)) return false;
            options->capture.output = value;
        } else if (!strcmp(arg, "--fps")) {
            if (!value_of(i, arg, &value)) return false;
            if (!parse_fps(value, &options->capture)) {
                *error = std::string("--fps: '") + value + "' is not a frame rate from 1 to 1000 (N or N/D)";
                return false;
            }
            fps_given = true;
        } else if (!strcmp(arg, "--size")) {
            if (!value_of(i, arg, &value)) return false;
            if (!parse_size(value, &size_width, &size_height)) {
                *error = std::string("--size: '") + value + "' is not a size WxH from 16x16 to 8192x8192";
                return false;
            }
            size_given = true;
        } else if (!strcmp(arg, "--crf")) {
            uint64_t n = 0;
            if (!value_of(i, arg, &value)) return false;
            if (!parse_unsigned(value, value + strlen(value), &n) || n > 63) {
                *error = std::string("--crf: '") + value + "' is not a quality from 0 to 63";
                return false;
            }
            crf = (int)n;
        } else if (!strcmp(arg, "--preset")) {
            if (!value_of(i, arg, &value)) return false;
            bool known = false;
            for (const char* const* p = capture_h264_presets; *p; p++) known = known || !strcmp(*p, value);
            if (!known) {
                *error = std::string("--preset: '") + value + "' is not one of ultrafast, superfast, veryfast, "
                         "faster, fast, medium, slow, slower, veryslow";
                return false;
            }
            preset = value;
        } else if (!strcmp(arg, "--lossless")) {
            lossless = true;
        } else if (!strcmp(arg, "--blur")) {
            uint64_t n = 0;
            if (!value_of(i, arg, &value)) return false;
            if (!parse_unsigned(value, value + strlen(value), &n) || n < 1 || n > 64) {
                *error = std::string("--blur: '") + value + "' is not a number of sub-frames from 1 (none) to 64";
                return false;
            }
            options->capture.blur = (unsigned)n;
            blur_given = true;
        } else if (!strcmp(arg, "--from") || !strcmp(arg, "--to")) {
            uint64_t us = 0;
            if (!value_of(i, arg, &value)) return false;
            if (!parse_time(value, value + strlen(value), &us)) {
                *error = std::string(arg) + ": '" + value + "' is not a time in seconds";
                return false;
            }
            if (show_length_us < us) {
                *error = std::string(arg) + ": " + value + " is past the end of the show (159 s)";
                return false;
            }
            (arg[2] == 'f' ? options->capture.from_us : options->capture.to_us) = us;
            if (arg[2] == 't' && us == 0) {
                *error = "--to: 0 leaves nothing to capture";
                return false;
            }
            range_given = true;
        } else if (!strcmp(arg, "--at")) {
            if (!value_of(i, arg, &value) || !parse_at(value, &options->capture, error)) return false;
            at_given = true;
        } else {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        }
    }

    for (auto [given, word] : {std::pair<bool, const char*>{fps_given, "--fps"}, {at_given, "--at"},
                               {blur_given, "--blur"}, {range_given, "--from and --to go"},
                               {crf >= 0, "--crf"}, {preset != nullptr, "--preset"}, {lossless, "--lossless"}}) {
        if (given && options->mode != RUN_CAPTURE) {
            *error = std::string(word) + (strchr(word, ' ') ? "" : " goes") + " with --capture";
            return false;
        }
    }
    const CaptureSettings& c = options->capture;
    if (c.to_us && c.from_us >= c.to_us) {
        *error = "--from " + seconds_text(c.from_us) + " is not before --to " + seconds_text(c.to_us);
        return false;
    }
    if (range_given && at_given) {
        *error = "--at cannot be combined with --from or --to";
        return false;
    }
    // The sub-frame clock counts in 32 bits.
    if ((uint64_t)c.fps_num * c.blur > UINT32_MAX) {
        *error = "--blur: " + std::to_string(c.blur) + " sub-frames are too many at --fps " +
                 std::to_string(c.fps_num) + "/" + std::to_string(c.fps_den);
        return false;
    }
    if (size_given && options->mode != RUN_CAPTURE && options->mode != RUN_SHOW) {
        *error = "--size goes with the show or with --capture";
        return false;
    }
    if (!options->data_folder.empty() && options->mode != RUN_SHOW && options->mode != RUN_CAPTURE &&
        options->mode != RUN_CHECK_DATA) {
        *error = "--data goes with the show, --capture or --check-data";
        return false;
    }
    if (options->renderer_given && options->mode != RUN_SHOW && options->mode != RUN_CAPTURE) {
        *error = "--renderer goes with the show or with --capture";
        return false;
    }
    for (auto [given, word] : {std::pair<bool, const char*>{options->windowed, "--windowed"},
                               {options->desktop, "--desktop"},
                               {options->vsync, "--vsync"}}) {
        if (given && options->mode != RUN_SHOW) {
            *error = std::string(word) + " goes only with the show itself";
            return false;
        }
    }
    if (options->desktop && options->windowed) {
        *error = "--desktop cannot be combined with --windowed";
        return false;
    }
    if (options->desktop && size_given) {
        *error = "--size cannot be combined with --desktop, which keeps the desktop's own size";
        return false;
    }
    if (size_given && options->mode == RUN_SHOW) {
        options->show_width = size_width;
        options->show_height = size_height;
    } else if (size_given) {
        options->capture.width = size_width;
        options->capture.height = size_height;
    }
    if (options->mode == RUN_CAPTURE) {
        const std::string& out = options->capture.output;
        // Only a trailing / makes a folder of pictures: a folder that happens
        // to be named show.mp4 is no video file, and no silent change of kind.
        struct stat st;
        bool is_dir = !out.empty() && platform_is_separator(out.back());
        if (!is_dir && stat(out.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            *error = "--capture: '" + out + "' is a folder: write pictures into it as '" + out + "/', or name a file";
            return false;
        }
        if (is_dir) {
            options->capture.kind = CAPTURE_FRAMES;
            for (auto [given, word] : {std::pair<bool, const char*>{crf >= 0, "--crf"}, {preset != nullptr, "--preset"},
                                       {lossless, "--lossless"}}) {
                if (given) {
                    *error = std::string(word) + " goes with a video file, not with a folder of pictures";
                    return false;
                }
            }
        } else if (check_encoding(out, crf, preset, lossless, &options->capture, error)) {
            options->capture.kind = CAPTURE_VIDEO;
            if (at_given) {
                *error = "--at goes with a folder of pictures (DIR/), not with a video file";
                return false;
            }
            if (options->capture.width % 2 || options->capture.height % 2) {
                *error = "--size: a video needs an even width and height";
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}
