// headless.h: what only the offscreen backend (headless.cpp) offers beyond
// platform.h: the surface's size, virtual clocks, a hook on each finished
// frame, and events and the title for tests. For the capture, the benchmarks
// and the tests; the show itself needs none of it. With the interactive
// backend these do nothing. Depends on: platform.h.
#pragma once

#include "platform.h"

#include <cstdint>

// Size of the offscreen surface; default: the window's size. Call before
// platform_create_window.
void platform_headless_set_surface_size(unsigned width, unsigned height);
// Virtual clocks: they read 0 until the first frame; frame n (n = 1, 2, ...) is
// drawn with the millisecond clock at floor(n * 1000 * den / num) and the
// counter at n * den ticks of a num-per-second counter, so every frame interval
// is exactly den/num seconds.
void platform_headless_use_frame_clock(uint32_t fps_num, uint32_t fps_den);
// Virtual clocks set by hand (tests): the values hold until set again.
void platform_headless_set_clocks(uint32_t milliseconds, int64_t counter, int64_t frequency);
// The frame counter of the frame clock: frames started so far.
uint64_t platform_headless_frame_number();
// Queues an event for platform_poll_event (tests).
void platform_headless_push_event(PlatformEvent event);
// Called by platform_swap_buffers with the context current, before the swap:
// the moment a finished frame can be read back.
void platform_headless_on_present(void (*hook)(void));
// The title last set on the window (tests).
const char* platform_headless_window_title();
