// backend.h: what each backend file provides to platform.cpp, which chooses
// one at run time and forwards every call of platform.h to it. Private to
// platform/.
#pragma once

#include "platform.h"

struct PlatformBackendFunctions {
    bool (*select)(const char** why);
    bool (*change_display_mode)(unsigned width, unsigned height, unsigned bits);
    void (*restore_display_mode)();
    void (*show_cursor)(bool show);
    bool (*create_window)(const PlatformWindowDesc* desc);
    bool (*create_context)();
    bool (*make_current)(bool current);
    void (*show_window)();
    void (*set_window_title)(const char* title);
    void (*swap_buffers)();
    void (*destroy_context)();
    void (*destroy_window)();
    void (*viewport)(unsigned width, unsigned height, int* x, int* y, int* w, int* h);
    bool (*poll_event)(PlatformEvent* event);
    void (*message_box)(const char* caption, const char* text, PlatformMessageIcon icon);
    uint32_t (*milliseconds)();
    int64_t (*counter)();
    int64_t (*counter_frequency)();
    bool (*set_vsync)(bool wait);
    void (*drawable_size)(int* w, int* h);
    // Null: the plain loop of platform.cpp.
    void (*run_loop)(bool (*step)(), void (*done)());
    // Ends the process after platform_exit's hooks; null: exit().
    void (*leave)(int code);
};

extern const PlatformBackendFunctions platform_sdl_functions;
extern const PlatformBackendFunctions platform_headless_functions;
// In a browser (web.cpp) the only backend: the page's canvas is the window.
extern const PlatformBackendFunctions platform_web_functions;

// Scales a width x height picture to fit a surface_w x surface_h drawable and
// centres it.
void platform_fit_viewport(unsigned width, unsigned height, unsigned surface_w, unsigned surface_h,
                           int* x, int* y, int* w, int* h);
