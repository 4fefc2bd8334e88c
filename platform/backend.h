// backend.h: what each backend file provides to platform.cpp, which chooses
// one at run time and forwards every call of platform.h to it. Private to
// platform/.
#pragma once

#include "platform.h"

// Filled by name. An entry left out (null) is what the backend does not do,
// and platform.cpp does the usual thing instead; the others every backend has
// (GCC warns when one is missing).
struct PlatformBackendFunctions {
    // Null: the backend runs anywhere.
    bool (*select)(const char** why) = nullptr;
    // Null: the display mode never changes (false), nothing to put back.
    bool (*change_display_mode)(unsigned width, unsigned height, unsigned bits) = nullptr;
    void (*restore_display_mode)() = nullptr;
    // Null: no cursor to hide.
    void (*show_cursor)(bool show) = nullptr;
    bool (*create_window)(const PlatformWindowDesc* desc);
    bool (*create_context)();
    bool (*make_current)(bool current);
    // Null: nothing to show, raise or focus.
    void (*show_window)() = nullptr;
    void (*set_window_title)(const char* title);
    void (*swap_buffers)();
    void (*destroy_context)();
    void (*destroy_window)();
    bool (*poll_event)(PlatformEvent* event);
    // Null: the line "CAPTION: TEXT" on stderr (say_box).
    void (*message_box)(const char* caption, const char* text, PlatformMessageIcon icon) = nullptr;
    uint32_t (*milliseconds)();
    int64_t (*counter)();
    int64_t (*counter_frequency)();
    bool (*set_vsync)(bool wait);
    void (*drawable_size)(int* w, int* h);
    // Null: the plain loop of platform.cpp.
    void (*run_loop)(bool (*step)(), void (*done)()) = nullptr;
    // Ends the process after platform_exit's hooks; null: exit().
    void (*leave)(int code) = nullptr;
};

extern const PlatformBackendFunctions platform_sdl_functions;
extern const PlatformBackendFunctions platform_headless_functions;
// In a browser (web.cpp) the only backend: the page's canvas is the window.
extern const PlatformBackendFunctions platform_web_functions;

