// headless.cpp: the offscreen backend. An OpenGL compatibility context that
// draws into an offscreen surface (headless_context.h): no visible window.
// Message boxes become one line on stderr and never block. The clocks are the
// monotonic clock, or virtual: set by hand, or stepping one frame per loop
// iteration so that a capture is frame-exact whatever the machine's speed.
// Depends on: headless_context.h, system_clock.h, frame_clock.h.
#include "backend.h"
#include "headless.h"

#include "frame_clock.h"
#include "headless_context.h"
#include "system_clock.h"

#include <cstdio>
#include <cstring>
#include <deque>

enum ClockMode { CLOCK_REAL, CLOCK_MANUAL, CLOCK_FRAMES };

static struct {
    bool context = false;
    unsigned surface_w = 0, surface_h = 0;   // 0: take the window's size
    bool window = false;
    char title[256] = "";
    std::deque<PlatformEvent> events;
    void (*present_hook)() = nullptr;

    ClockMode clock_mode = CLOCK_REAL;
    uint32_t manual_ms = 0;
    int64_t manual_counter = 0, manual_frequency = 0;
    uint32_t fps_num = 60, fps_den = 1;
    uint64_t frame = 0;
} headless;

static bool headless_create_window(const PlatformWindowDesc* desc)
{
    if (!headless.surface_w || !headless.surface_h) {
        headless.surface_w = desc->width;
        headless.surface_h = desc->height;
    }
    snprintf(headless.title, sizeof headless.title, "%s", desc->title ? desc->title : "");
    headless.window = true;
    return true;
}

static bool headless_create_context()
{
    if (!headless.window || headless.context) return false;
    headless.context = headless_context_create(headless.surface_w, headless.surface_h);
    return headless.context;
}

static bool headless_make_current(bool current)
{
    return headless.context && headless_context_make_current(current);
}

static void headless_set_window_title(const char* title)
{
    snprintf(headless.title, sizeof headless.title, "%s", title ? title : "");
}

static void headless_swap_buffers()
{
    if (headless.present_hook) headless.present_hook();
    if (headless.context) headless_context_present();
}

static void headless_destroy_context()
{
    if (headless.context) headless_context_destroy();
    headless.context = false;
}

static void headless_destroy_window() { headless.window = false; }

// An offscreen surface is never shown, so nothing could wait for a refresh.
static bool headless_set_vsync(bool wait) { return !wait; }

static void headless_drawable_size(int* w, int* h)
{
    *w = (int)headless.surface_w;
    *h = (int)headless.surface_h;
}

static bool headless_poll_event(PlatformEvent* event)
{
    if (!headless.events.empty()) {
        *event = headless.events.front();
        headless.events.pop_front();
        return true;
    }
    if (headless.clock_mode == CLOCK_FRAMES) headless.frame++;
    return false;
}

// The real clocks: the system's counter, read as milliseconds too.
static int64_t real_ms()
{
    int64_t frequency = system_counter_frequency();
    return frequency > 0 ? system_counter() / (frequency / 1000) : 0;
}

static uint32_t headless_milliseconds()
{
    switch (headless.clock_mode) {
    case CLOCK_MANUAL: return headless.manual_ms;
    case CLOCK_FRAMES: return (uint32_t)frame_clock_ms(headless.frame, headless.fps_num, headless.fps_den);
    default: return (uint32_t)real_ms();
    }
}

static int64_t headless_counter()
{
    switch (headless.clock_mode) {
    case CLOCK_MANUAL: return headless.manual_counter;
    case CLOCK_FRAMES: return (int64_t)(headless.frame * headless.fps_den);
    default: return system_counter();
    }
}

static int64_t headless_counter_frequency()
{
    switch (headless.clock_mode) {
    case CLOCK_MANUAL: return headless.manual_frequency;
    case CLOCK_FRAMES: return headless.fps_num;
    default: return system_counter_frequency();
    }
}

// No display mode, cursor or shown window; message boxes are lines on stderr.
const PlatformBackendFunctions platform_headless_functions = {
    .create_window = headless_create_window,
    .create_context = headless_create_context,
    .make_current = headless_make_current,
    .set_window_title = headless_set_window_title,
    .swap_buffers = headless_swap_buffers,
    .destroy_context = headless_destroy_context,
    .destroy_window = headless_destroy_window,
    .poll_event = headless_poll_event,
    .milliseconds = headless_milliseconds,
    .counter = headless_counter,
    .counter_frequency = headless_counter_frequency,
    .set_vsync = headless_set_vsync,
    .drawable_size = headless_drawable_size,
};

void platform_headless_set_surface_size(unsigned width, unsigned height)
{
    headless.surface_w = width;
    headless.surface_h = height;
}

void platform_headless_use_frame_clock(uint32_t fps_num, uint32_t fps_den)
{
    headless.clock_mode = CLOCK_FRAMES;
    headless.fps_num = fps_num ? fps_num : 1;
    headless.fps_den = fps_den ? fps_den : 1;
    headless.frame = 0;
}

void platform_headless_set_clocks(uint32_t milliseconds, int64_t counter, int64_t frequency)
{
    headless.clock_mode = CLOCK_MANUAL;
    headless.manual_ms = milliseconds;
    headless.manual_counter = counter;
    headless.manual_frequency = frequency;
}

uint64_t platform_headless_frame_number() { return headless.frame; }

void platform_headless_push_event(PlatformEvent event) { headless.events.push_back(event); }

void platform_headless_on_present(void (*hook)()) { headless.present_hook = hook; }

const char* platform_headless_window_title() { return headless.title; }
