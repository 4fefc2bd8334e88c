// headless.cpp: the offscreen backend. An OpenGL compatibility context that
// draws into an offscreen surface (headless_context.h): no visible window.
// Message boxes become one line on stderr and never block. The clocks are the
// monotonic clock, or virtual: set by hand, or stepping one frame per loop
// iteration so that a capture is frame-exact whatever the machine's speed.
// Depends on: headless_context.h, system_clock.h, frame_clock.h.
#include "backend.h"

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
} hl;

static bool headless_select(const char**) { return true; }

static bool headless_change_display_mode(unsigned, unsigned, unsigned) { return false; }
static void headless_restore_display_mode() {}
static void headless_show_cursor(bool) {}

static bool headless_create_window(const PlatformWindowDesc* desc)
{
    if (!hl.surface_w || !hl.surface_h) {
        hl.surface_w = desc->width;
        hl.surface_h = desc->height;
    }
    snprintf(hl.title, sizeof hl.title, "%s", desc->title ? desc->title : "");
    hl.window = true;
    return true;
}

static bool headless_create_context()
{
    if (!hl.window || hl.context) return false;
    hl.context = headless_context_create(hl.surface_w, hl.surface_h);
    return hl.context;
}

static bool headless_make_current(bool current)
{
    return hl.context && headless_context_make_current(current);
}

static void headless_show_window() {}

static void headless_set_window_title(const char* title)
{
    snprintf(hl.title, sizeof hl.title, "%s", title ? title : "");
}

static void headless_swap_buffers()
{
    if (hl.present_hook) hl.present_hook();
    if (hl.context) headless_context_present();
}

static void headless_destroy_context()
{
    if (hl.context) headless_context_destroy();
    hl.context = false;
}

static void headless_destroy_window() { hl.window = false; }

static void headless_viewport(unsigned width, unsigned height, int* x, int* y, int* w, int* h)
{
    platform_fit_viewport(width, height, hl.surface_w ? hl.surface_w : width,
                          hl.surface_h ? hl.surface_h : height, x, y, w, h);
}

// An offscreen surface is never shown, so nothing could wait for a refresh.
static bool headless_set_vsync(bool wait) { return !wait; }

static void headless_drawable_size(int* w, int* h)
{
    *w = (int)hl.surface_w;
    *h = (int)hl.surface_h;
}

static bool headless_poll_event(PlatformEvent* event)
{
    if (!hl.events.empty()) {
        *event = hl.events.front();
        hl.events.pop_front();
        return true;
    }
    if (hl.clock_mode == CLOCK_FRAMES) hl.frame++;
    return false;
}

static void headless_message_box(const char* caption, const char* text, PlatformMessageIcon)
{
    fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    fflush(stderr);
}

// The real clocks: the system's counter, read as milliseconds too.
static int64_t real_ms()
{
    int64_t frequency = system_counter_frequency();
    return frequency > 0 ? system_counter() / (frequency / 1000) : 0;
}

static uint32_t headless_milliseconds()
{
    switch (hl.clock_mode) {
    case CLOCK_MANUAL: return hl.manual_ms;
    case CLOCK_FRAMES: return (uint32_t)frame_clock_ms(hl.frame, hl.fps_num, hl.fps_den);
    default: return (uint32_t)real_ms();
    }
}

static int64_t headless_counter()
{
    switch (hl.clock_mode) {
    case CLOCK_MANUAL: return hl.manual_counter;
    case CLOCK_FRAMES: return (int64_t)(hl.frame * hl.fps_den);
    default: return system_counter();
    }
}

static int64_t headless_counter_frequency()
{
    switch (hl.clock_mode) {
    case CLOCK_MANUAL: return hl.manual_frequency;
    case CLOCK_FRAMES: return hl.fps_num;
    default: return system_counter_frequency();
    }
}

const PlatformBackendFunctions platform_headless_functions = {
    headless_select,
    headless_change_display_mode,
    headless_restore_display_mode,
    headless_show_cursor,
    headless_create_window,
    headless_create_context,
    headless_make_current,
    headless_show_window,
    headless_set_window_title,
    headless_swap_buffers,
    headless_destroy_context,
    headless_destroy_window,
    headless_viewport,
    headless_poll_event,
    headless_message_box,
    headless_milliseconds,
    headless_counter,
    headless_counter_frequency,
    headless_set_vsync,
    headless_drawable_size,
    nullptr,   // the plain loop
    nullptr,   // exit()
};

void platform_headless_set_surface_size(unsigned width, unsigned height)
{
    hl.surface_w = width;
    hl.surface_h = height;
}

void platform_headless_use_frame_clock(uint32_t fps_num, uint32_t fps_den)
{
    hl.clock_mode = CLOCK_FRAMES;
    hl.fps_num = fps_num ? fps_num : 1;
    hl.fps_den = fps_den ? fps_den : 1;
    hl.frame = 0;
}

void platform_headless_set_clocks(uint32_t milliseconds, int64_t counter, int64_t frequency)
{
    hl.clock_mode = CLOCK_MANUAL;
    hl.manual_ms = milliseconds;
    hl.manual_counter = counter;
    hl.manual_frequency = frequency;
}

uint64_t platform_headless_frame_number() { return hl.frame; }

void platform_headless_push_event(PlatformEvent event) { hl.events.push_back(event); }

void platform_headless_on_present(void (*hook)()) { hl.present_hook = hook; }

const char* platform_headless_window_title() { return hl.title; }
