// capture.h: the show rendered offscreen and frame-exact, to a video with the
// soundtrack (through ffmpeg: H.264, VP9, ProRes or lossless FFV1) or to PNG
// pictures, at any frame rate and size, the whole show or a stretch of it,
// with or without motion blur, faster than real time and without a display.
//
// Time: every clock of the program is virtual. Start-up takes no time; frame
// n is drawn by the frame clock (formats.h) with a frame delta of exactly
// den/num seconds. The soundtrack, started at show time S, is heard from
// video time S - 1/fps (its first 1/fps is cut when S is 0).
// Depends on formats.h, platform/ (headless backend), framework/, demo/, sound/
// (recording backend), libpng, and ffmpeg on PATH for video.
#pragma once

#include "capture/formats.h"
#include "framework/glwindow.h"

#include <cstdint>
#include <string>
#include <vector>

// Runs the whole capture that the settings ask for, as the command line
// checked them. Returns only on failure (1, with a line on stderr) or when
// this build cannot make what was asked for (2: a video in the Windows
// release); a finished capture ends the process with exit code 0.
int capture_run(const CaptureSettings& settings);

// The same with other callbacks in place of the show's (tests). The capture
// ends when frame_callback ends the process through platform_exit, or after
// the last frame of the show's 159 s, or after the last --at frame.
// still_card: which still card frame_callback would draw now (-1: none, or
// nullptr); the draw of a card that repeats the frame before is skipped.
int capture_run_with(const CaptureSettings& settings, WindowCallback init_callback, WindowCallback frame_callback,
                     int (*still_card)() = nullptr);
