// video.h: one ffmpeg process that turns frames on a pipe into a video
// with its soundtrack: H.264 + AAC (.mp4, .mkv), VP9 + Opus (.webm), ProRes
// 422 HQ + PCM (.mov) or FFV1 RGB + FLAC (lossless .mkv). ffmpeg is
// started directly (no shell) in a process group of its own, so a Ctrl-C at
// the terminal reaches only oargala, which then stops ffmpeg itself. The
// pipe carries an AVI stream of uncompressed frames, where an empty frame
// repeats the one before; the soundtrack is a second input that ffmpeg reads
// from its file. Its messages go to a file, for the one line of a failure.
// Depends on formats.h (the formats) and POSIX (posix_spawn, pipes, waitpid).
#pragma once

#include "capture/formats.h"

#include <cstdint>
#include <string>
#include <vector>

struct VideoJob {
    std::string path;               // where ffmpeg writes: the temporary name
    const VideoFormat* format = nullptr;
    int crf = -1;                   // -1: the format's default
    std::string preset;             // H.264; empty: the default
    unsigned width = 0, height = 0;
    uint32_t fps_num = 60, fps_den = 1;
    // The video holds frames first_frame .. first_frame + frames - 1 of a
    // whole capture, and the audio of the same stretch.
    uint64_t first_frame = 1;
    uint64_t frames = 0;
    // The soundtrack and the show time (ms) at which it started; an empty
    // path gives a silent audio track.
    std::string soundtrack;
    int64_t soundtrack_start_ms = 0;
};

// Why this build cannot capture video at all, in one line; nullptr: it can.
const char* video_unsupported();

// Whether an executable named ffmpeg is on PATH.
bool video_ffmpeg_found();

// The encoders of format that ffmpeg lacks ("libvpx-vp9"), space-separated;
// empty when it has them all (or cannot be asked: starting it then says why).
std::string video_missing_encoders(const VideoFormat& format);

// The encoding in words, e.g. "H.264 crf 18 preset veryfast, AAC 192 kb/s".
std::string video_settings_text(const VideoJob& job);

// The ffmpeg command line for job (argv[0] is "ffmpeg"); the frames are read
// from standard input.
std::vector<std::string> video_command(const VideoJob& job);

// Starts ffmpeg. False with a one-line reason in *error ("interrupted" when
// stop_requested() became true while ffmpeg was being waited for).
bool video_start(const VideoJob& job, bool (*stop_requested)(), std::string* error);
// Hands one frame of width * height * 4 bytes (BGRA, bottom row first) to
// the writer thread, once it has written the previous one, and gives the
// caller that previous frame's buffer back in *frame to fill next. False when
// ffmpeg stopped reading (it failed) or stop_requested() became true while
// waiting.
bool video_write_frame(std::vector<uint8_t>* frame, bool (*stop_requested)(), std::string* error);
// The last picture handed to the writer, which keeps it after writing it
// (empty before the first): what the next frame is compared with.
const std::vector<uint8_t>* video_last_frame();
// The same for a frame that repeats the one before it: only a few bytes go
// to ffmpeg, which repeats the picture it has.
bool video_repeat_frame(bool (*stop_requested)(), std::string* error);
// Waits for the last frame to be written, closes the pipe and waits for
// ffmpeg to finish the file, then reads the file back. False, with the
// reason (ffmpeg's own line when it wrote one), when ffmpeg failed, reported
// an error, left a file without its streams or shorter than the frames sent,
// or stop_requested() became true meanwhile.
bool video_finish(bool (*stop_requested)(), std::string* error);
// Stops ffmpeg at once (SIGKILL), then the writer thread, and waits for both.
// Safe to call when they never started or have already finished.
void video_abort();
