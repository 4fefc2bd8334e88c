// formats.h: what a capture can be asked for, without anything that runs
// it: the video formats (one row each: suffix, encoders and ffmpeg's words
// for them, quality range), H.264's presets, CaptureSettings, the frame
// arithmetic on the show's length, and how rates, times and counts are
// written in messages. The command line and its fuzz target link only this.
// Time: frame n (n = 1, 2, ...) is drawn at the frame clock's
// floor(n * 1000 * den / num) ms (platform/frame_clock.h); in the video it
// starts at (n - 1) * den / num s, so video time 0 shows the show at 1/fps.
// Depends on platform/frame_clock.h and demo/demo.h (the show's length).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum CaptureKind { CAPTURE_VIDEO, CAPTURE_FRAMES };

// A video format, chosen by the output's suffix (and --lossless). ffmpeg's
// words are space-separated, with {crf} and {preset} put in; the frames
// reach ffmpeg as BGRA and convert turns them into what the encoder takes,
// with the colour tags players go by.
struct VideoFormat {
    const char* suffix;            // ".mp4", lower case
    bool lossless;                 // chosen with --lossless
    const char* description;       // "H.264": messages
    const char* sound;             // "AAC": messages
    const char* video_encoder;     // ffmpeg's names, asked for before starting
    const char* audio_encoder;
    const char* convert;           // the video filter before the frame rate's
    const char* video_args;
    const char* large_args;        // added for frames of more than large_pixels
    const char* audio_rate;        // the audio filter's last step, "" for none
    const char* audio_args;
    const char* output_args;       // the muxer and its options
    const char* settings;          // the encoding in words, for the first line
    int crf_min, crf_max, crf_default;   // crf_max < 0: no --crf
    bool presets;                  // takes --preset
};

// Frames larger than this (pixels) get a format's large_args.
static const uint64_t large_pixels = 2560ull * 1440;

extern const VideoFormat capture_formats[];
extern const size_t capture_format_count;

// The format for an output file name; nullptr when its suffix has none.
const VideoFormat* capture_video_format(const std::string& output, bool lossless);
// ".mp4, .mkv, .webm or .mov" (joined by sep and last), the suffixes of the
// formats chosen without --lossless.
std::string capture_suffixes(const char* sep, const char* last);
// "H.264 (.mp4, .mkv) and VP9 (.webm)": the formats that take --crf (or
// --preset), by description.
std::string capture_formats_with(bool presets);
// The presets x264 takes, slowest last, nullptr-terminated; the default.
extern const char* const capture_h264_presets[];
extern const char* const capture_default_preset;

// What to capture, as the command line asked for it.
struct CaptureSettings {
    std::string output;                      // OUT.mp4 / .mkv / .webm / .mov, or a folder
    CaptureKind kind = CAPTURE_VIDEO;
    uint32_t fps_num = 60, fps_den = 1;
    unsigned width = 640, height = 480;
    std::vector<uint64_t> at_microseconds;   // --at show times (pictures only)
    const VideoFormat* format = nullptr;     // video: from the suffix
    int crf = -1;                            // -1: the format's default
    std::string preset;                      // H.264; empty: the default
    // --from/--to in video time (microseconds); to 0: the show's end.
    uint64_t from_us = 0, to_us = 0;
    unsigned blur = 1;                       // sub-frames averaged per frame
};

// The show's length in microseconds: nothing is drawn after it.
extern const uint64_t capture_show_us;
// The show time in seconds at which frame n is drawn (the frame clock's).
double capture_frame_seconds(uint64_t n, uint32_t fps_num, uint32_t fps_den);
// The number of frames the show draws: the last one at or before its end.
uint64_t capture_frame_count(uint32_t fps_num, uint32_t fps_den);
// The first frame drawn at or after show time t (microseconds):
// ceil(t * fps), and frame 1 for t = 0.
uint64_t capture_frame_at(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den);
// The frame a whole video shows at video time t: floor(t * fps) + 1.
uint64_t capture_frame_shown(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den);
// Whether the times of settings (--at, --from, --to) fall within the frames
// the show draws at its rate; false with the one-line reason.
bool capture_check_times(const CaptureSettings& settings, std::string* error);

// "10.5", "159": a time given in microseconds, as the command line writes it.
std::string seconds_text(uint64_t microseconds);
// "60", "60000/1001 (59.940)".
std::string fps_text(uint32_t fps_num, uint32_t fps_den);
// "1 frame", "2 frames".
std::string count_text(uint64_t n, const char* thing);
