// capture.h: the show rendered offscreen and frame-exact, to a video with the
// soundtrack (through ffmpeg: H.264, VP9, ProRes or lossless FFV1) or to PNG
// pictures, at any frame rate and size, the whole show or a stretch of it,
// with or without motion blur, faster than real time and without a display.
//
// Time: every clock of the program is virtual. Start-up takes no time; frame
// n (n = 1, 2, ...) is drawn with the millisecond clock at
// floor(n * 1000 * den / num) and a frame delta of exactly den/num seconds.
// In the video, frame n starts at (n - 1) * den / num: video time 0 shows the
// show at 1/fps, so the soundtrack, started at show time S, is heard from
// video time S - 1/fps (its first 1/fps is cut when S is 0).
// Depends on platform/ (headless backend), framework/, demo/, sound/
// (recording backend), libpng, and ffmpeg on PATH for video.
#pragma once

#include "framework/glwindow.h"

#include <cstdint>
#include <string>
#include <vector>

enum CaptureKind { CAPTURE_VIDEO, CAPTURE_FRAMES };

// The video formats, chosen by the output's suffix (and --lossless).
enum VideoCodec { CODEC_H264, CODEC_VP9, CODEC_PRORES, CODEC_FFV1 };

struct VideoFormat {
    const char* suffix;          // ".mp4", lower case
    bool lossless;               // chosen with --lossless
    VideoCodec codec;
    const char* container;       // ffmpeg's muxer
    const char* description;     // for the first progress line
    const char* video_encoder;   // ffmpeg's names
    const char* audio_encoder;
    int crf_min, crf_max, crf_default;   // crf_max < 0: no --crf
};

// The format for an output file name; nullptr when its suffix has none.
const VideoFormat* capture_video_format(const std::string& output, bool lossless);
// The presets x264 takes, slowest last, nullptr-terminated.
extern const char* const capture_h264_presets[];

// What to capture, as the command line asked for it.
struct CaptureSettings {
    std::string output;                      // OUT.mp4 / .mkv / .webm / .mov, or a folder
    CaptureKind kind = CAPTURE_VIDEO;
    uint32_t fps_num = 60, fps_den = 1;
    unsigned width = 640, height = 480;
    std::vector<uint64_t> at_microseconds;   // --at show times (pictures only)
    const VideoFormat* format = nullptr;     // video: from the suffix
    int crf = -1;                            // -1: the format's default
    std::string preset;                      // H.264; empty: veryfast
    // --from/--to in video time (microseconds); to 0: the show's end.
    uint64_t from_us = 0, to_us = 0;
    unsigned blur = 1;                       // sub-frames averaged per frame
};

// Runs the whole capture that the settings ask for. Returns only on failure
// (1, with a line on stderr) or for an argument that the parser could not
// judge alone (2); a finished capture ends the process with exit code 0.
int capture_run(const CaptureSettings& settings);

// The same with other callbacks in place of the show's (tests). The capture
// ends when frame_callback ends the process through platform_exit, or after
// the last frame of the show's 159 s, or after the last --at frame.
// still_card: which still card frame_callback would draw now (-1: none, or
// nullptr); the draw of a card that repeats the frame before is skipped.
int capture_run_with(const CaptureSettings& settings, WindowCallback init_callback, WindowCallback frame_callback,
                     int (*still_card)() = nullptr);

// The millisecond-clock reading at which frame n is drawn.
uint64_t capture_frame_ms(uint64_t n, uint32_t fps_num, uint32_t fps_den);
// The number of frames the show draws: the last one at or before 159000 ms.
uint64_t capture_frame_count(uint32_t fps_num, uint32_t fps_den);
// The first frame drawn at or after show time t (microseconds):
// ceil(t * fps), and frame 1 for t = 0.
uint64_t capture_frame_at(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den);
// The frame a whole video shows at video time t: floor(t * fps) + 1.
uint64_t capture_frame_shown(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den);
