// platform.h: everything the program needs from the system, behind one small
// interface. Two backends implement it, each only what it does (platform.cpp
// does the rest the usual way):
//   sdl.cpp       interactive: SDL2 window, GLX/EGL context, real display-mode
//                 change, modal message boxes, real clocks.
//   headless.cpp  offscreen: EGL on Mesa (surfaceless platform, pbuffer), no X
//                 server and no GPU; message boxes are lines on stderr; clocks
//                 may be virtual and step one frame at a time.
// In a browser (Emscripten) web.cpp stands in for both: the page's canvas.
// Nothing outside platform/ includes SDL, EGL or system GL headers: the rest
// of the program draws through platform/gl.h (GL 1.1 names) once a context is
// current, with the renderer chosen here.
// There is one window and one context per process, so the backends keep their
// state in statics. What only the offscreen backend offers is in headless.h.
// Depends on the C++ library only.
#pragma once

#include <cstdint>
#include <string>

// The two roles a backend plays; which backend plays each is this layer's
// business (in a browser the page plays both).
enum PlatformBackend {
    PLATFORM_BACKEND_INTERACTIVE,   // a window someone looks at
    PLATFORM_BACKEND_OFFSCREEN,     // no window: captures, tools, tests
};

// Chooses the backend. Call once, before anything else here. Returns false
// when the backend cannot run on this machine, with a one-line reason in *why
// (interactive: no real display to show the window on).
bool platform_select(PlatformBackend backend, const char** why);
PlatformBackend platform_backend();

// ---- renderer ---------------------------------------------------------------
enum PlatformRenderer {
    PLATFORM_RENDERER_GL11,   // the system's OpenGL 1.1 (the desktop default)
    PLATFORM_RENDERER_GLES2,  // our own renderer over OpenGL ES 2 / WebGL 1
};

// Chooses what the calls of platform/gl.h draw with and which context the
// backends make for it. Call before platform_create_window. False, with a
// one-line reason in *why, when this build has no such renderer.
bool platform_use_renderer(PlatformRenderer renderer, const char** why);
PlatformRenderer platform_renderer();

// ---- display mode -----------------------------------------------------------
// Asks for a temporary full-screen mode of width x height at bits per pixel.
// Returns whether the display really switched. Whatever was changed is put back
// by platform_restore_display_mode(), and also on every way out of the process
// that can be caught (platform_exit, atexit, SIGINT, SIGTERM, SIGHUP and the
// fatal signals).
bool platform_change_display_mode(unsigned width, unsigned height, unsigned bits);
void platform_restore_display_mode();
void platform_show_cursor(bool show);

// ---- window and OpenGL context ---------------------------------------------
struct PlatformWindowDesc {
    const char* title;
    unsigned width, height;   // client area in pixels
    unsigned colour_bits, depth_bits;
    bool fullscreen;          // borderless, topmost, at (0, 0)
    // With fullscreen: the window covers the whole screen at the desktop's own
    // mode (width and height are then ignored); nothing switches.
    bool desktop = false;
};

// Creates the one window, hidden until platform_show_window(). False: nothing
// was created (the caller reports nothing, like a failed CreateWindow).
bool platform_create_window(const PlatformWindowDesc* desc);
// Creates the OpenGL context for it: a compatibility context (GL 1.1 calls
// and GLU work), or an OpenGL ES 2 context for the GLES 2 renderer.
bool platform_create_context();
// Makes the context current on this thread (or releases it); the first time,
// the GLES 2 renderer makes its shader and buffer there.
bool platform_make_current(bool current);
void platform_show_window();  // shown, raised and focused
void platform_set_window_title(const char* title);
void platform_swap_buffers();
// Whether a swap waits for the display's refresh (adaptive where the driver
// offers it) or never waits. Call with the context current. False: the driver
// cannot do what was asked.
bool platform_set_vsync(bool wait);
void platform_destroy_context();
void platform_destroy_window();

// The rectangle of the drawable that shows the program's width x height
// picture: scaled to fit the window (headless: the surface) and centred, with
// black bars where the aspect differs; a window of the picture's own size is
// filled exactly.
void platform_viewport(unsigned width, unsigned height, int* x, int* y, int* w, int* h);
// The drawable's size in pixels (a scaled desktop may make it differ from the
// window's size).
void platform_drawable_size(int* w, int* h);

// ---- events -----------------------------------------------------------------
enum PlatformEventKind {
    PLATFORM_EVENT_CLOSE,     // the window's close request
    PLATFORM_EVENT_KEY_DOWN,
    PLATFORM_EVENT_KEY_UP,
    PLATFORM_EVENT_OTHER,     // anything else the window system reported
};

enum { PLATFORM_KEY_ESCAPE = 27 };  // key codes follow the Windows virtual-key numbers

struct PlatformEvent {
    PlatformEventKind kind;
    unsigned key;             // for KEY_DOWN / KEY_UP
};

// Takes at most one waiting event, never waits. False: none was waiting.
// Headless with virtual frame time: a poll that finds nothing waiting starts
// the next frame and moves the clocks to that frame's time.
bool platform_poll_event(PlatformEvent* event);

// ---- main loop --------------------------------------------------------------
// Calls step until it returns false, then done. A loop here, returning after
// done; in a browser one step per animation frame, and this never returns.
void platform_run_loop(bool (*step)(), void (*done)());

// ---- message boxes ----------------------------------------------------------
enum PlatformMessageIcon {
    PLATFORM_ICON_NONE,
    PLATFORM_ICON_INFORMATION,
    PLATFORM_ICON_EXCLAMATION,
};

// A modal box with no owner and one OK button; returns once it is dismissed.
// Headless: one line "CAPTION: TEXT" on standard error, returns at once.
void platform_message_box(const char* caption, const char* text, PlatformMessageIcon icon);

// ---- clocks -----------------------------------------------------------------
uint32_t platform_milliseconds();       // 32-bit millisecond clock, wraps
int64_t platform_counter();             // high-resolution counter
int64_t platform_counter_frequency();   // its ticks per second (0: no counter)

// ---- files ------------------------------------------------------------------
// File names are narrow strings: the system's bytes on Linux, UTF-8 on
// Windows, where the executable's manifest makes UTF-8 the process's code
// page, so the command line, fopen and the other narrow calls take any name.

// Whether c ends a folder name: a slash, and on Windows a backslash as well.
inline bool platform_is_separator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// The folder that holds the running executable, absolute and with links
// resolved, without a trailing separator; empty when the system cannot say.
std::string platform_executable_dir();

// ---- memory -----------------------------------------------------------------
// Readies the heap for the start-up's pictures: large blocks allocated on
// worker threads and freed on the GL thread right after the driver copied
// them. Call once, before they are decoded. Only a speed-up: where the system
// offers nothing of the kind it does nothing.
void platform_prepare_heap_for_pictures();

// ---- leaving ----------------------------------------------------------------
// Runs before the process ends through platform_exit (in the order registered),
// e.g. to finish a capture. At most 8.
void platform_on_exit(void (*hook)(int code));
// Puts the display back, runs the exit hooks, flushes stdio and ends the
// process with code.
[[noreturn]] void platform_exit(int code);
