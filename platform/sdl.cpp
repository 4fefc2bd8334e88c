// sdl.cpp: the interactive backend on SDL2 (placeholder until it is written).
#include "backend.h"

static bool sdl_select(const char** why) { *why = "the interactive window is not built yet"; return false; }
static bool sdl_false3(unsigned, unsigned, unsigned) { return false; }
static void sdl_void() {}
static void sdl_bool(bool) {}
static bool sdl_create_window(const PlatformWindowDesc*) { return false; }
static bool sdl_false() { return false; }
static bool sdl_make_current(bool) { return false; }
static void sdl_title(const char*) {}
static void sdl_viewport(unsigned width, unsigned height, int* x, int* y, int* w, int* h) { *x = 0; *y = 0; *w = (int)width; *h = (int)height; }
static bool sdl_poll(PlatformEvent*) { return false; }
static void sdl_box(const char*, const char*, PlatformMessageIcon) {}
static uint32_t sdl_ms() { return 0; }
static int64_t sdl_counter() { return 0; }

const PlatformBackendFunctions platform_sdl_functions = {
    sdl_select, sdl_false3, sdl_void, sdl_bool, sdl_create_window, sdl_false, sdl_make_current,
    sdl_void, sdl_title, sdl_void, sdl_void, sdl_void, sdl_viewport, sdl_poll, sdl_box, sdl_ms,
    sdl_counter, sdl_counter,
};
