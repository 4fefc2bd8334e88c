// headless.cpp: the offscreen backend. An OpenGL compatibility context on an
// EGL pbuffer through Mesa's surfaceless platform: no X server, no GPU.
// Message boxes become one line on stderr and never block. The clocks are the
// monotonic clock, or virtual: set by hand, or stepping one frame per loop
// iteration so that a capture is frame-exact whatever the machine's speed.
// Depends on: EGL (libEGL with Mesa), POSIX clock_gettime.
#include "backend.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>

#ifndef EGL_PLATFORM_SURFACELESS_MESA
#define EGL_PLATFORM_SURFACELESS_MESA 0x31DD
#endif

enum ClockMode { CLOCK_REAL, CLOCK_MANUAL, CLOCK_FRAMES };

static struct {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
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

static EGLDisplay open_display()
{
    auto get_platform_display =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    EGLDisplay display = EGL_NO_DISPLAY;
    if (get_platform_display)
        display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY)
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    return display;
}

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
    if (!hl.window) return false;
    hl.display = open_display();
    if (hl.display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(hl.display, &major, &minor)) return false;
    if (!eglBindAPI(EGL_OPENGL_API)) return false;

    // Ask for 8 bits of alpha: without it Mesa may offer a 10-bit config first.
    const EGLint config_attribs[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 16,
        EGL_NONE,
    };
    EGLint count = 0;
    if (!eglChooseConfig(hl.display, config_attribs, &hl.config, 1, &count) || count < 1) return false;

    const EGLint surface_attribs[] = {
        EGL_WIDTH, (EGLint)hl.surface_w, EGL_HEIGHT, (EGLint)hl.surface_h, EGL_NONE,
    };
    hl.surface = eglCreatePbufferSurface(hl.display, hl.config, surface_attribs);
    if (hl.surface == EGL_NO_SURFACE) return false;

    // No version asked: a compatibility context, so GL 1.1 and GLU work.
    hl.context = eglCreateContext(hl.display, hl.config, EGL_NO_CONTEXT, nullptr);
    return hl.context != EGL_NO_CONTEXT;
}

static bool headless_make_current(bool current)
{
    if (hl.display == EGL_NO_DISPLAY) return false;
    if (!current)
        return eglMakeCurrent(hl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return eglMakeCurrent(hl.display, hl.surface, hl.surface, hl.context);
}

static void headless_show_window() {}

static void headless_set_window_title(const char* title)
{
    snprintf(hl.title, sizeof hl.title, "%s", title ? title : "");
}

static void headless_swap_buffers()
{
    if (hl.present_hook) hl.present_hook();
    if (hl.display == EGL_NO_DISPLAY) return;
    // A pbuffer has nothing to present, and Mesa's swap then flushes nothing:
    // without this, llvmpipe queues frame after frame that nobody reads back
    // (hundreds of MB over a capture with --at).
    glFlush();
    eglSwapBuffers(hl.display, hl.surface);
}

static void headless_destroy_context()
{
    if (hl.display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(hl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (hl.context != EGL_NO_CONTEXT) eglDestroyContext(hl.display, hl.context);
    if (hl.surface != EGL_NO_SURFACE) eglDestroySurface(hl.display, hl.surface);
    hl.context = EGL_NO_CONTEXT;
    hl.surface = EGL_NO_SURFACE;
    eglTerminate(hl.display);
    hl.display = EGL_NO_DISPLAY;
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

static int64_t monotonic_ns()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static uint32_t headless_milliseconds()
{
    switch (hl.clock_mode) {
    case CLOCK_MANUAL: return hl.manual_ms;
    case CLOCK_FRAMES: return (uint32_t)(hl.frame * 1000u * hl.fps_den / hl.fps_num);
    default: return (uint32_t)(monotonic_ns() / 1000000);
    }
}

static int64_t headless_counter()
{
    switch (hl.clock_mode) {
    case CLOCK_MANUAL: return hl.manual_counter;
    case CLOCK_FRAMES: return (int64_t)(hl.frame * hl.fps_den);
    default: return monotonic_ns();
    }
}

static int64_t headless_counter_frequency()
{
    switch (hl.clock_mode) {
    case CLOCK_MANUAL: return hl.manual_frequency;
    case CLOCK_FRAMES: return hl.fps_num;
    default: return 1000000000;
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
