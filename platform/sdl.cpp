// sdl.cpp: the interactive backend on SDL2. One window with an OpenGL
// compatibility context, or OpenGL ES 2 for the GLES 2 renderer (GLX or EGL,
// as SDL chooses), raw key and close
// events, modal message boxes; the system clocks of system_clock.h.
//
// Full screen: on X11 a real display-mode change through XRandR
// (x11_display_mode.cpp), on Windows through ChangeDisplaySettings
// (win32_display_mode.cpp), then a borderless, always-on-top window at (0, 0)
// of the show's size. When the server refuses the mode (a server with one
// mode, such as Xvfb) or SDL runs on Wayland, the same window simply lies over
// the desktop's mode. SDL's own full-screen window is not used for that: where
// the mode is refused it would stretch to the desktop while the picture stays
// at the window's size.
//
// Full screen at the desktop's mode (the picture scaled to fit): on X11 the
// same borderless, always-on-top window, as large as the screen that shows
// (0, 0), which needs no window manager; on Wayland, where a client cannot
// place or size such a window, SDL's SDL_WINDOW_FULLSCREEN_DESKTOP.
//
// Message boxes are SDL's own (on X11 they need the server's core fonts, as
// in Debian's xfonts-base); where no box can be shown, the message goes to
// stderr as "CAPTION: TEXT" instead of getting lost.
//
// Refuses to run where nobody could see the window: no DISPLAY and no
// WAYLAND_DISPLAY, or SDL picking its offscreen or dummy driver.
// SDL leaves SIGINT and SIGTERM alone (they end the process as usual, after
// the display mode is put back).
// Depends on: SDL2, x11_display_mode.cpp.
#include "backend.h"
#include "sdl_keys.h"
#include "system_clock.h"
#ifdef _WIN32
#include "win32_display_mode.h"
#else
#include "x11_display_mode.h"
#endif
#include "say.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static struct {
    bool video = false;
    bool x11 = false;
    bool cursor_hidden = false;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    char why[256] = "";
} sdl;

static bool set(const char* name) { return name && *name; }

static bool sdl_select(const char** why)
{
#ifdef _WIN32
    // Windows always has its desktop to show the window on.
    const char* x_display = "the desktop";
    const char* wayland_display = nullptr;
#else
    const char* x_display = getenv("DISPLAY");
    const char* wayland_display = getenv("WAYLAND_DISPLAY");
#endif
    if (!set(x_display) && !set(wayland_display)) {
        *why = "no display to show the window on (DISPLAY and WAYLAND_DISPLAY are unset); try --capture show.mp4";
        return false;
    }
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
#ifndef _WIN32
    if (!set(getenv("SDL_VIDEODRIVER"))) {
        // Only the window systems that are there: SDL would otherwise try the
        // others in turn, let them complain on stderr and end up on its
        // invisible offscreen driver.
        SDL_SetHint(SDL_HINT_VIDEODRIVER,
                    set(x_display) && set(wayland_display) ? "x11,wayland" : set(x_display) ? "x11" : "wayland");
    }
#endif
    if (!sdl.video) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            snprintf(sdl.why, sizeof sdl.why,
                     "no display to show the window on (cannot open display \"%s\": %s); try --capture show.mp4",
                     set(x_display) ? x_display : wayland_display, SDL_GetError());
            *why = sdl.why;
            return false;
        }
        sdl.video = true;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || !strcmp(driver, "offscreen") || !strcmp(driver, "dummy")) {
        snprintf(sdl.why, sizeof sdl.why,
                 "no display to show the window on (SDL chose its \"%s\" video driver); try --capture show.mp4",
                 driver ? driver : "no");
        *why = sdl.why;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        sdl.video = false;
        return false;
    }
    sdl.x11 = !strcmp(driver, "x11");
    return true;
}

static bool sdl_change_display_mode(unsigned width, unsigned height, unsigned bits)
{
#ifdef _WIN32
    return win32_display_mode_change(width, height, bits);
#else
    // Wayland lets no client change the mode: the window then lies over it.
    return sdl.x11 && x11_display_mode_change(width, height, bits);
#endif
}

#ifdef _WIN32
static void sdl_restore_display_mode() { win32_display_mode_restore(); }
#else
static void sdl_restore_display_mode() { x11_display_mode_restore(); }
#endif

static void sdl_show_cursor(bool show)
{
    sdl.cursor_hidden = !show;
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

// The size of the display that shows the screen's top-left corner, where the
// full-screen window goes; unchanged when SDL knows of none.
static void origin_display_size(int* width, int* height)
{
    for (int i = 0; i < SDL_GetNumVideoDisplays(); i++) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.x == 0 && bounds.y == 0 && bounds.w > 0 && bounds.h > 0) {
            *width = bounds.w;
            *height = bounds.h;
            return;
        }
    }
}

static bool sdl_create_window(const PlatformWindowDesc* desc)
{
    SDL_GL_ResetAttributes();
    if (platform_renderer() == PLATFORM_RENDERER_GLES2) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    } else {
        // GL 1.1 calls and GLU need the compatibility profile.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    int channel = desc->colour_bits >= 24 ? 8 : 5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    // No destination alpha: nothing draws with it, and an alpha visual may be
    // shown translucent by a compositing window manager.
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (int)desc->depth_bits);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    int width = (int)desc->width, height = (int)desc->height;
    if (desc->fullscreen && desc->desktop && !sdl.x11) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    else if (desc->fullscreen) flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
    if (desc->fullscreen && desc->desktop && sdl.x11) origin_display_size(&width, &height);
    sdl.window = SDL_CreateWindow(desc->title ? desc->title : "", 0, 0, width, height, flags);
    if (!sdl.window) {
        // The window framework reports nothing here; say at least why.
        say("cannot create the window: %s", SDL_GetError());
        return false;
    }
    return true;
}

static bool sdl_create_context()
{
    if (!sdl.window) return false;
    sdl.context = SDL_GL_CreateContext(sdl.window);
    if (!sdl.context) say("%s", SDL_GetError());
    return sdl.context != nullptr;
}

static bool sdl_make_current(bool current)
{
    if (!sdl.window) return false;
    return SDL_GL_MakeCurrent(sdl.window, current ? sdl.context : nullptr) == 0;
}

static void sdl_show_window()
{
    if (!sdl.window) return;
    SDL_ShowWindow(sdl.window);
    SDL_RaiseWindow(sdl.window);
    SDL_SetWindowInputFocus(sdl.window);
    // Hidden before the window existed: hide it on the window too.
    if (sdl.cursor_hidden) SDL_ShowCursor(SDL_DISABLE);
}

static void sdl_set_window_title(const char* title)
{
    if (sdl.window) SDL_SetWindowTitle(sdl.window, title ? title : "");
}

static void sdl_swap_buffers()
{
    if (sdl.window) SDL_GL_SwapWindow(sdl.window);
}

static void sdl_destroy_context()
{
    if (sdl.context) SDL_GL_DeleteContext(sdl.context);
    sdl.context = nullptr;
}

static void sdl_destroy_window()
{
    if (sdl.window) SDL_DestroyWindow(sdl.window);
    sdl.window = nullptr;
}

static bool sdl_set_vsync(bool wait)
{
    if (!wait) return SDL_GL_SetSwapInterval(0) == 0;
    // Adaptive first: a late frame is shown at once instead of a refresh later.
    return SDL_GL_SetSwapInterval(-1) == 0 || SDL_GL_SetSwapInterval(1) == 0;
}

static void sdl_drawable_size(int* w, int* h)
{
    *w = 0;
    *h = 0;
    if (sdl.window) SDL_GL_GetDrawableSize(sdl.window, w, h);
}

static bool sdl_poll_event(PlatformEvent* event)
{
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    *event = sdl_translate_event(e);
    return true;
}

static void sdl_message_box(const char* caption, const char* text, PlatformMessageIcon icon)
{
    Uint32 flags = icon == PLATFORM_ICON_EXCLAMATION   ? SDL_MESSAGEBOX_WARNING
                   : icon == PLATFORM_ICON_INFORMATION ? SDL_MESSAGEBOX_INFORMATION
                                                       : 0;
    // A window manager keeps the full-screen window above every ordinary
    // window, the box included: the show would seem to hang behind a box
    // nobody sees. So it steps down while the box is up.
    bool on_top = sdl.window && (SDL_GetWindowFlags(sdl.window) & SDL_WINDOW_ALWAYS_ON_TOP);
    if (on_top) SDL_SetWindowAlwaysOnTop(sdl.window, SDL_FALSE);
    // No owner window; returns once the box is dismissed.
    int shown = SDL_ShowSimpleMessageBox(flags, caption ? caption : "", text ? text : "", nullptr);
    if (on_top) SDL_SetWindowAlwaysOnTop(sdl.window, SDL_TRUE);
    if (shown != 0) {
        // No box could be shown: the message must still reach someone.
        say_box(caption, text);
    }
}

const PlatformBackendFunctions platform_sdl_functions = {
    .select = sdl_select,
    .change_display_mode = sdl_change_display_mode,
    .restore_display_mode = sdl_restore_display_mode,
    .show_cursor = sdl_show_cursor,
    .create_window = sdl_create_window,
    .create_context = sdl_create_context,
    .make_current = sdl_make_current,
    .show_window = sdl_show_window,
    .set_window_title = sdl_set_window_title,
    .swap_buffers = sdl_swap_buffers,
    .destroy_context = sdl_destroy_context,
    .destroy_window = sdl_destroy_window,
    .poll_event = sdl_poll_event,
    .message_box = sdl_message_box,
    .milliseconds = system_milliseconds,
    .counter = system_counter,
    .counter_frequency = system_counter_frequency,
    .set_vsync = sdl_set_vsync,
    .drawable_size = sdl_drawable_size,
};
