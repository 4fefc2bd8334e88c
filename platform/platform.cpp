// platform.cpp: picks the backend and forwards every platform.h call to it;
// also owns what both backends share: the renderer choice, the exit hooks and
// platform_exit, the viewport fitted to the drawable, and what a backend does
// when its table leaves an entry empty (no display-mode change, no cursor,
// message boxes as lines on stderr).
// Depends on: backend.h, gl_dispatch.h, say.h.
#include "backend.h"
#include "gl_dispatch.h"
#include "say.h"

#include <cstdio>
#include <cstdlib>

#ifdef __EMSCRIPTEN__
// A page has one way to show the show, whichever backend is asked for.
#define INTERACTIVE_FUNCTIONS platform_web_functions
#define OFFSCREEN_FUNCTIONS platform_web_functions
#else
#define INTERACTIVE_FUNCTIONS platform_sdl_functions
#define OFFSCREEN_FUNCTIONS platform_headless_functions
#endif

static const PlatformBackendFunctions* backend = &OFFSCREEN_FUNCTIONS;
static PlatformBackend backend_kind = PLATFORM_BACKEND_OFFSCREEN;

#ifdef OARGALA_HAVE_GL11
const GlFunctions* gl_functions = &gl11_functions;
static PlatformRenderer renderer_kind = PLATFORM_RENDERER_GL11;
#else
const GlFunctions* gl_functions = &gles2_functions;
static PlatformRenderer renderer_kind = PLATFORM_RENDERER_GLES2;
#endif

static void (*exit_hooks[8])(int code);
static int exit_hook_count;

bool platform_select(PlatformBackend kind, const char** why)
{
    const PlatformBackendFunctions* chosen =
        kind == PLATFORM_BACKEND_INTERACTIVE ? &INTERACTIVE_FUNCTIONS : &OFFSCREEN_FUNCTIONS;
    const char* reason = nullptr;
    if (chosen->select && !chosen->select(&reason)) {
        if (why) *why = reason;
        return false;
    }
    backend = chosen;
    backend_kind = kind;
    return true;
}

PlatformBackend platform_backend() { return backend_kind; }

bool platform_use_renderer(PlatformRenderer kind, const char** why)
{
    const GlFunctions* chosen = nullptr;
#ifdef OARGALA_HAVE_GL11
    if (kind == PLATFORM_RENDERER_GL11) chosen = &gl11_functions;
#endif
#ifdef OARGALA_HAVE_GLES2
    if (kind == PLATFORM_RENDERER_GLES2) chosen = &gles2_functions;
#endif
    if (!chosen) {
        if (why) *why = kind == PLATFORM_RENDERER_GLES2 ? "the GLES 2 renderer is not in this build"
                                                        : "the OpenGL 1.1 renderer is not in this build";
        return false;
    }
    gl_functions = chosen;
    renderer_kind = kind;
    return true;
}

PlatformRenderer platform_renderer() { return renderer_kind; }

bool platform_change_display_mode(unsigned w, unsigned h, unsigned bits)
{
    return backend->change_display_mode && backend->change_display_mode(w, h, bits);
}
void platform_restore_display_mode()
{
    if (backend->restore_display_mode) backend->restore_display_mode();
}
void platform_show_cursor(bool show)
{
    if (backend->show_cursor) backend->show_cursor(show);
}
bool platform_create_window(const PlatformWindowDesc* desc) { return backend->create_window(desc); }
bool platform_create_context() { return backend->create_context(); }
bool platform_make_current(bool current)
{
    if (!backend->make_current(current)) return false;
#ifdef OARGALA_HAVE_GLES2
    if (current && renderer_kind == PLATFORM_RENDERER_GLES2) return gles2_renderer_start();
#endif
    return true;
}
void platform_show_window()
{
    if (backend->show_window) backend->show_window();
}
void platform_set_window_title(const char* title) { backend->set_window_title(title); }
void platform_swap_buffers() { backend->swap_buffers(); }
void platform_destroy_context()
{
#ifdef OARGALA_HAVE_GLES2
    gles2_renderer_forget();
#endif
    backend->destroy_context();
}
void platform_destroy_window() { backend->destroy_window(); }
bool platform_set_vsync(bool wait) { return backend->set_vsync(wait); }
void platform_drawable_size(int* w, int* h) { backend->drawable_size(w, h); }
bool platform_poll_event(PlatformEvent* event) { return backend->poll_event(event); }
uint32_t platform_milliseconds() { return backend->milliseconds(); }
int64_t platform_counter() { return backend->counter(); }
int64_t platform_counter_frequency() { return backend->counter_frequency(); }

void platform_message_box(const char* caption, const char* text, PlatformMessageIcon icon)
{
    if (backend->message_box) backend->message_box(caption, text, icon);
    else say_box(caption, text);
}

// Scales a width x height picture to fit a surface_w x surface_h drawable and
// centres it.
static void fit_viewport(unsigned width, unsigned height, unsigned surface_w, unsigned surface_h, int* x, int* y,
                         int* w, int* h)
{
    // Integer math: the picture is as large as fits, then centred.
    unsigned long long fit_w = surface_w, fit_h = surface_h;
    if ((unsigned long long)surface_w * height > (unsigned long long)surface_h * width)
        fit_w = (unsigned long long)surface_h * width / height;   // bars left and right
    else
        fit_h = (unsigned long long)surface_w * height / width;   // bars top and bottom
    *w = (int)fit_w;
    *h = (int)fit_h;
    *x = (int)((surface_w - fit_w) / 2);
    *y = (int)((surface_h - fit_h) / 2);
}

// Every backend's drawable is fitted the same way; no drawable yet: the
// picture's own size.
void platform_viewport(unsigned width, unsigned height, int* x, int* y, int* w, int* h)
{
    int drawable_w = 0, drawable_h = 0;
    backend->drawable_size(&drawable_w, &drawable_h);
    if (drawable_w <= 0 || drawable_h <= 0) {
        drawable_w = (int)width;
        drawable_h = (int)height;
    }
    fit_viewport(width, height, (unsigned)drawable_w, (unsigned)drawable_h, x, y, w, h);
}

void platform_run_loop(bool (*step)(), void (*done)())
{
    if (backend->run_loop) {
        backend->run_loop(step, done);
        return;
    }
    while (step()) {
    }
    done();
}

void platform_on_exit(void (*hook)(int code))
{
    if (exit_hook_count < (int)(sizeof exit_hooks / sizeof exit_hooks[0]))
        exit_hooks[exit_hook_count++] = hook;
}

void platform_exit(int code)
{
    platform_restore_display_mode();
    for (int i = 0; i < exit_hook_count; i++) {
        void (*hook)(int) = exit_hooks[i];
        exit_hooks[i] = nullptr;   // a hook that ends up here again does not run twice
        if (hook) hook(code);
    }
    fflush(nullptr);
    if (backend->leave) backend->leave(code);
    exit(code);
}
