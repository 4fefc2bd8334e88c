// sink.h: where a capture's frames go, one row per kind of output, filled
// by name in the manner of the platform's backends: the session
// (capture.cpp) takes the row for CaptureSettings::kind and never looks at
// the kind itself. The ffmpeg video sink (sink_video.cpp; in the Windows
// release its prepare refuses, as video_win32.cpp has no ffmpeg) and the
// pictures sink (sink_pictures.cpp). Each writes under a name of its own and
// moves its output into place only in finish. Private to capture/. Depends
// on formats.h.
#pragma once

#include "capture/formats.h"

#include <cstdint>
#include <string>
#include <vector>

// What the session has planned, for the sink.
struct SinkJob {
    const CaptureSettings* settings;
    uint64_t first = 1, planned = 0;        // frames kept: first to planned...
    const std::vector<uint64_t>* wanted;    // ...or these (--at), when not empty
    bool (*stop_requested)();
};

struct CaptureSink {
    // Before the show: what the sink needs is there, and its output can be
    // written. 0, or the exit code after one line saying why.
    int (*prepare)(const SinkJob& job);
    // The first line after "capturing ": where to, and how, from the size
    // and rate ("64x48 at 10 fps"), the frames ("20 frames (1051 to 1070 of
    // 1590)") and the motion blur (", each the mean of 4 sub-frames" or "").
    std::string (*first_line)(const SinkJob& job, const std::string& size_rate, const std::string& frames,
                              const std::string& blur);
    // Frame n in *pixels (BGRA, bottom row first; the sink may hand back
    // another buffer of the same size), or with repeat a frame that is the
    // same picture as the one kept before it. False with the reason.
    bool (*keep)(const SinkJob& job, uint64_t n, std::vector<uint8_t>* pixels, bool repeat, std::string* error);
    // The picture of the last frame kept (empty before the first), when the
    // sink holds it anyway: the session compares the next frame with it
    // instead of keeping a copy of its own. Null: the sink keeps none.
    const std::vector<uint8_t>* (*held)() = nullptr;
    // After the last frame (frames presented in all): completes the output
    // and moves it into place. False with the reason.
    bool (*finish)(const SinkJob& job, uint64_t frames, std::string* error);
    // Removes what this run wrote; safe at any time, and more than once.
    void (*remove)();
    // The summary after "captured ": what went where, e.g. "20 frames
    // (105.000 to 107.000 s of the video) into clip.mp4".
    std::string (*summary)(const SinkJob& job, uint64_t frames, uint64_t kept);
};

extern const CaptureSink capture_video_sink;
extern const CaptureSink capture_pictures_sink;

// Makes a file (or a folder) that did not exist before, named prefix +
// something unique + suffix, never through a symbolic link; two captures
// started together each get their own. False with errno set.
bool capture_make_unique(const std::string& prefix, const char* suffix, bool folder, std::string* made);
