// options.cpp: parses oargala's command line into Options. One table holds
// every option: its word, how its value is read, the modes it goes with and
// its lines in --help (and so in the manual page, made from --help). The
// parsing loop, the "goes with" checks and --help all run from it; then one
// function judges the whole line, a rule a line. Every refusal is one line
// that names the offending word; nothing is guessed.
// Depends on capture/formats.h (formats, presets, frame arithmetic) and
// platform/ (path separators, renderers).
#include "options.h"

#include "platform/platform.h"

#include <cstdint>
#include <cstring>
#include <sys/stat.h>

#include "oargala_version.h"   // made by packaging/version.cmake in the build folder

const char* const version_text = "oargala " OARGALA_VERSION "\n";

static const unsigned max_capture_side = 8192;

// ---- values -----------------------------------------------------------------

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

// What the loop gathers: Options, and what the checks after it need to know.
struct Parse {
    Options* options;
    bool mode_given = false;
    bool given[32] = {};   // by row
    int crf = -1;
    const char* preset = nullptr;
    bool lossless = false;
    unsigned size_width = 0, size_height = 0;
};

using Taker = bool (*)(Parse& p, const char* word, char** values, std::string* error);

static bool take_mode(Parse& p, RunMode mode, const char* word, std::string* error)
{
    if (p.mode_given && p.options->mode != mode) {
        *error = std::string(word) + " cannot be combined with another mode";
        return false;
    }
    p.options->mode = mode;
    p.mode_given = true;
    return true;
}

static bool take_help(Parse& p, const char* w, char**, std::string* e) { return take_mode(p, RUN_HELP, w, e); }
static bool take_version(Parse& p, const char* w, char**, std::string* e) { return take_mode(p, RUN_VERSION, w, e); }
static bool take_check_data(Parse& p, const char* w, char**, std::string* e) { return take_mode(p, RUN_CHECK_DATA, w, e); }

static bool take_decode(Parse& p, const char* w, char** v, std::string* e)
{
    p.options->decode_input = v[0];
    p.options->decode_output = v[1];
    return take_mode(p, RUN_DECODE, w, e);
}

static bool take_capture(Parse& p, const char* w, char** v, std::string* e)
{
    p.options->capture.output = v[0];
    return take_mode(p, RUN_CAPTURE, w, e);
}

static bool take_windowed(Parse& p, const char*, char**, std::string*) { return p.options->windowed = true; }
static bool take_desktop(Parse& p, const char*, char**, std::string*) { return p.options->desktop = true; }
static bool take_vsync(Parse& p, const char*, char**, std::string*) { return p.options->vsync = true; }
static bool take_lossless(Parse& p, const char*, char**, std::string*) { return p.lossless = true; }

static bool take_data(Parse& p, const char*, char** v, std::string* error)
{
    if (!*v[0]) {
        *error = "--data needs a folder";
        return false;
    }
    p.options->data_folder = v[0];
    return true;
}

static bool take_renderer(Parse& p, const char*, char** v, std::string* error)
{
    if (!strcmp(v[0], "gl11")) p.options->renderer = PLATFORM_RENDERER_GL11;
    else if (!strcmp(v[0], "gles2")) p.options->renderer = PLATFORM_RENDERER_GLES2;
    else {
        *error = std::string("--renderer: '") + v[0] + "' is not a renderer (gl11 or gles2)";
        return false;
    }
    p.options->renderer_given = true;
    return true;
}

static bool take_fps(Parse& p, const char*, char** v, std::string* error)
{
    const char* text = v[0];
    const char* slash = strchr(text, '/');
    const char* end = text + strlen(text);
    uint64_t num = 0, den = 1;
    // Between 1 and 1000 frames per second.
    if (!parse_unsigned(text, slash ? slash : end, &num) || (slash && !parse_unsigned(slash + 1, end, &den)) ||
        num == 0 || den == 0 || num < den || num > 1000 * den) {
        *error = std::string("--fps: '") + text + "' is not a frame rate from 1 to 1000 (N or N/D)";
        return false;
    }
    p.options->capture.fps_num = (uint32_t)num;
    p.options->capture.fps_den = (uint32_t)den;
    return true;
}

static bool take_size(Parse& p, const char*, char** v, std::string* error)
{
    const char* x = strchr(v[0], 'x');
    uint64_t w = 0, h = 0;
    if (!x || !parse_unsigned(v[0], x, &w) || !parse_unsigned(x + 1, v[0] + strlen(v[0]), &h) || w < 16 || h < 16 ||
        w > max_capture_side || h > max_capture_side) {
        *error = std::string("--size: '") + v[0] + "' is not a size WxH from 16x16 to 8192x8192";
        return false;
    }
    p.size_width = (unsigned)w;
    p.size_height = (unsigned)h;
    return true;
}

static bool take_crf(Parse& p, const char*, char** v, std::string* error)
{
    uint64_t n = 0;
    if (!parse_unsigned(v[0], v[0] + strlen(v[0]), &n) || n > 63) {
        *error = std::string("--crf: '") + v[0] + "' is not a quality from 0 to 63";
        return false;
    }
    p.crf = (int)n;
    return true;
}

static bool take_preset(Parse& p, const char*, char** v, std::string* error)
{
    std::string known;
    for (const char* const* preset = capture_h264_presets; *preset; preset++) {
        if (!strcmp(*preset, v[0])) p.preset = *preset;
        known += (known.empty() ? "" : ", ") + std::string(*preset);
    }
    if (!p.preset) *error = std::string("--preset: '") + v[0] + "' is not one of " + known;
    return p.preset != nullptr;
}

static bool take_blur(Parse& p, const char*, char** v, std::string* error)
{
    uint64_t n = 0;
    if (!parse_unsigned(v[0], v[0] + strlen(v[0]), &n) || n < 1 || n > 64) {
        *error = std::string("--blur: '") + v[0] + "' is not a number of sub-frames from 1 (none) to 64";
        return false;
    }
    p.options->capture.blur = (unsigned)n;
    return true;
}

// One time of the show, from text to end; what names it in a refusal ("a
// time", "a show time").
static bool take_time(const char* word, const char* text, const char* end, const char* what, uint64_t* us,
                      std::string* error)
{
    std::string value(text, end);
    if (!parse_time(text, end, us)) {
        *error = std::string(word) + ": '" + value + "' is not " + what + " in seconds";
        return false;
    }
    if (capture_show_us < *us) {
        *error = std::string(word) + ": " + value + " is past the end of the show (" + seconds_text(capture_show_us) + " s)";
        return false;
    }
    return true;
}

static bool take_from(Parse& p, const char* w, char** v, std::string* e)
{
    return take_time(w, v[0], v[0] + strlen(v[0]), "a time", &p.options->capture.from_us, e);
}

static bool take_to(Parse& p, const char* w, char** v, std::string* error)
{
    if (!take_time(w, v[0], v[0] + strlen(v[0]), "a time", &p.options->capture.to_us, error)) return false;
    if (p.options->capture.to_us == 0) *error = "--to: 0 leaves nothing to capture";
    return p.options->capture.to_us != 0;
}

static bool take_at(Parse& p, const char*, char** v, std::string* error)
{
    for (const char* at = v[0];;) {
        const char* comma = strchr(at, ',');
        const char* end = comma ? comma : at + strlen(at);
        uint64_t us = 0;
        if (!take_time("--at", at, end, "a show time", &us, error)) return false;
        p.options->capture.at_microseconds.push_back(us);
        if (!comma) return true;
        at = comma + 1;
    }
}

// ---- the table ----------------------------------------------------------------

static const unsigned SHOW = 1u << RUN_SHOW, CAPTURE = 1u << RUN_CAPTURE, CHECK_DATA = 1u << RUN_CHECK_DATA;
static const unsigned ANY = ~0u;

struct OptionRow {
    const char* word;
    const char* alias;      // another spelling, or nullptr
    int values;             // words after it
    Taker take;
    unsigned modes;         // the modes it goes with
    const char* refusal;    // when given with another mode
    const char* help;       // its lines in --help, "" for none
};

// In the order of --help; the checks of modes run in this order too.
static const OptionRow rows[] = {
    {"--windowed", nullptr, 0, take_windowed, SHOW, "--windowed goes only with the show itself",
     "  --windowed        play in a 640x480 window, with the frame rate in its title\n"},
    {"--desktop", nullptr, 0, take_desktop, SHOW, "--desktop goes only with the show itself",
     "  --desktop         play full screen at the desktop's own resolution, without\n"
     "                    changing the display mode\n"},
    {"--size", nullptr, 1, take_size, SHOW | CAPTURE, "--size goes with the show or with --capture",
     "  --size WxH        the show: full screen in a WxH display mode (e.g. 800x600,\n"
     "                    1024x768, 1280x1024), or a WxH window with --windowed;\n"
     "                    a capture: its size, default 640x480. The 4:3 picture is\n"
     "                    scaled to fit and centred\n"},
    {"--vsync", nullptr, 0, take_vsync, SHOW, "--vsync goes only with the show itself",
     "  --vsync           wait for the display's refresh between frames\n"},
    {"--capture", nullptr, 1, take_capture, ANY, "",
     "  --capture OUT     render the whole show offscreen, frame-exact: to a video\n"
     "                    with the soundtrack (needs ffmpeg), by OUT's suffix:\n"
     "                    .mp4 or .mkv H.264 and AAC, .webm VP9 and Opus, .mov\n"
     "                    ProRes 422 HQ 10-bit and PCM; or to DIR/frame-NNNNN.png\n"
     "                    pictures (OUT ends in /)\n"},
    {"--lossless", nullptr, 0, take_lossless, CAPTURE, "--lossless goes with --capture",
     "  --lossless        with OUT.mkv: FFV1 keeping the rendered RGB exactly, FLAC\n"},
    {"--crf", nullptr, 1, take_crf, CAPTURE, "--crf goes with --capture",
     "  --crf N           quality, lower is better: H.264 0-51 (default 18), VP9\n"
     "                    0-63 (default 24). H.264 at 0 is High 4:4:4 Predictive,\n"
     "                    which most browsers cannot play (lossless: --lossless)\n"},
    {"--preset", nullptr, 1, take_preset, CAPTURE, "--preset goes with --capture",
     "  --preset NAME     H.264 speed: ultrafast, superfast, veryfast (default),\n"
     "                    faster, fast, medium, slow, slower, veryslow\n"},
    {"--from", nullptr, 1, take_from, CAPTURE, "--from and --to go with --capture",
     "  --from T, --to T  only the stretch of the video from T to T seconds, with\n"
     "                    its sound; every frame before is still simulated\n"},
    {"--to", nullptr, 1, take_to, CAPTURE, "--from and --to go with --capture", ""},
    {"--fps", nullptr, 1, take_fps, CAPTURE, "--fps goes with --capture",
     "  --fps N|N/D       capture frame rate, default 60 (e.g. 30, 60000/1001)\n"},
    {"--blur", nullptr, 1, take_blur, CAPTURE, "--blur goes with --capture",
     "  --blur N          motion blur: each frame the mean of N sub-frames (1-64,\n"
     "                    1 is none) spread over its interval\n"},
    {"--at", nullptr, 1, take_at, CAPTURE, "--at goes with --capture",
     "  --at T1,T2,...    with DIR/: write only the frames at these show times\n"
     "                    (seconds), still simulating every frame between\n"},
    {"--decode", nullptr, 2, take_decode, ANY, "",
     "  --decode PICTURE OUT.pam\n"
     "                    decode one picture as the show would and write it as PAM\n"},
    {"--check-data", nullptr, 0, take_check_data, ANY, "",
     "  --check-data      check the 33 pictures and the soundtrack of the data folder\n"},
    {"--data", nullptr, 1, take_data, SHOW | CAPTURE | CHECK_DATA, "--data goes with the show, --capture or --check-data",
     "  --data DIR        look for the pictures and the soundtrack in DIR first\n"
     "                    (with the show, --capture and --check-data)\n"},
    {"--renderer", nullptr, 1, take_renderer, SHOW | CAPTURE, "--renderer goes with the show or with --capture",
     "  --renderer NAME   draw with gl11 (OpenGL 1.1, the default) or gles2 (our own\n"
     "                    renderer over OpenGL ES 2, the browser build's), with the\n"
     "                    show or --capture\n"},
    {"--help", "-h", 0, take_help, ANY, "", "  --help            show this text\n"},
    {"--version", nullptr, 0, take_version, ANY, "", "  --version         show the version\n"},
};
static const size_t row_count = sizeof rows / sizeof rows[0];
static_assert(sizeof rows / sizeof rows[0] <= sizeof Parse::given / sizeof(bool), "Parse::given holds every row");

// The row of a word or its alias; row_count when none has it.
static size_t row_of(const char* word)
{
    for (size_t i = 0; i < row_count; i++)
        if (!strcmp(rows[i].word, word) || (rows[i].alias && !strcmp(rows[i].alias, word))) return i;
    return row_count;
}

static std::string make_usage()
{
    std::string suffixes = capture_suffixes("|", "|");
    std::string text =
        "Usage: oargala [--windowed] [--size WxH] [--vsync] [--data DIR]\n"
        "                [--renderer NAME]\n"
        "  or:  oargala --desktop [--vsync] [--data DIR] [--renderer NAME]\n"
        "  or:  oargala --capture OUT" + suffixes + " [--crf N] [--preset NAME]\n"
        "                [--lossless] [--from T] [--to T] [--fps N|N/D] [--size WxH]\n"
        "                [--blur N] [--data DIR] [--renderer NAME]\n"
        "  or:  oargala --capture DIR/ [--fps N|N/D] [--size WxH] [--blur N]\n"
        "                [--at T1,T2,... | --from T --to T] [--data DIR]\n"
        "                [--renderer NAME]\n"
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
        "\n";
    for (const OptionRow& row : rows) text += row.help;
    return text;
}

static const std::string usage = make_usage();
const char* const usage_text = usage.c_str();

// ---- the whole line ---------------------------------------------------------

static bool refuse(std::string* error, const std::string& text)
{
    *error = text;
    return false;
}

// The rules that look at more than one option, one a line, in the order
// the refusals are told; then the settings that follow from them.
static bool validate(Parse& p, std::string* error)
{
    Options& o = *p.options;
    CaptureSettings& c = o.capture;
    bool range = p.given[row_of("--from")] || p.given[row_of("--to")], at = p.given[row_of("--at")];
    bool size = p.given[row_of("--size")], capture = o.mode == RUN_CAPTURE;
    for (size_t i = 0; i < row_count; i++)
        if (p.given[i] && !(rows[i].modes & (1u << o.mode))) return refuse(error, rows[i].refusal);
    if (c.to_us && c.from_us >= c.to_us) return refuse(error, "--from " + seconds_text(c.from_us) + " is not before --to " + seconds_text(c.to_us));
    if (range && at) return refuse(error, "--at cannot be combined with --from or --to");
    // The sub-frame clock counts in 32 bits.
    if ((uint64_t)c.fps_num * c.blur > UINT32_MAX) return refuse(error, "--blur: " + std::to_string(c.blur) + " sub-frames are too many at --fps " + std::to_string(c.fps_num) + "/" + std::to_string(c.fps_den));
    if (o.desktop && o.windowed) return refuse(error, "--desktop cannot be combined with --windowed");
    if (o.desktop && size) return refuse(error, "--size cannot be combined with --desktop, which keeps the desktop's own size");
    if (size && capture) c.width = p.size_width, c.height = p.size_height;
    if (size && !capture) o.show_width = p.size_width, o.show_height = p.size_height;
    if (!capture) return true;

    // Only a trailing / makes a folder of pictures: a folder that happens to
    // be named show.mp4 is no video file, and no silent change of kind.
    const std::string& out = c.output;
    struct stat st;
    bool folder = !out.empty() && platform_is_separator(out.back());
    const char* video_only = p.crf >= 0 ? "--crf" : p.preset ? "--preset" : p.lossless ? "--lossless" : nullptr;
    const VideoFormat* f = capture_video_format(out, p.lossless);
    c.kind = folder ? CAPTURE_FRAMES : CAPTURE_VIDEO;
    if (!folder && stat(out.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return refuse(error, "--capture: '" + out + "' is a folder: write pictures into it as '" + out + "/', or name a file");
    if (folder && video_only) return refuse(error, std::string(video_only) + " goes with a video file, not with a folder of pictures");
    if (!folder && !f && p.lossless) return refuse(error, "--lossless goes with a .mkv file (FFV1 and FLAC), not with '" + out + "'");
    if (!folder && !f) return refuse(error, "--capture: '" + out + "' is neither a " + capture_suffixes(", ", " or ") + " file nor a folder ending in /");
    if (f && p.crf >= 0 && f->crf_max < 0) return refuse(error, "--crf goes with " + capture_formats_with(false) + ", not with " + f->description);
    if (f && p.crf >= 0 && (p.crf < f->crf_min || p.crf > f->crf_max)) return refuse(error, "--crf: " + std::to_string(p.crf) + " is not from " + std::to_string(f->crf_min) + " to " + std::to_string(f->crf_max) + " for " + f->description);
    if (f && p.preset && !f->presets) return refuse(error, "--preset goes with " + capture_formats_with(true) + ", not with " + f->description);
    if (f && at) return refuse(error, "--at goes with a folder of pictures (DIR/), not with a video file");
    if (f && (c.width % 2 || c.height % 2)) return refuse(error, "--size: a video needs an even width and height");
    if (!capture_check_times(c, error)) return false;
    c.format = f;
    c.crf = p.crf;
    if (p.preset) c.preset = p.preset;
    return true;
}

bool parse_options(int argc, char** argv, Options* options, std::string* error)
{
    Parse p;
    p.options = options;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        size_t r = row_of(arg);
        if (r == row_count) return refuse(error, std::string("unknown option '") + arg + "'");
        const OptionRow& row = rows[r];
        if (i + row.values >= argc) {
            *error = row.values == 2 ? std::string(row.word) + " needs a picture and an output file"
                                     : std::string(row.word) + " needs a value";
            return false;
        }
        if (!row.take(p, arg, argv + i + 1, error)) return false;
        p.given[r] = true;
        i += row.values;
    }
    return validate(p, error);
}
