// web.cpp: the browser backend (Emscripten). The page's <canvas id="canvas">
// is the window, filling the browser window; a WebGL 1 context through
// Emscripten's html5 API is the OpenGL context, drawn through the GLES 2
// renderer. The main loop's steps run once per animation frame. Message
// boxes become notes on the page that never stop the show; leaving ends the
// module and the page says that the show ended (index.html).
//
// Clocks: one clock in milliseconds (sub-millisecond precision), read as a
// microsecond counter and as the millisecond clock. It is the page's own
// clock, but while the music plays it follows the music (web_now): a starved
// page then drops frames instead of drifting away from the sound. With the page's
// test-fps=N parameter both are virtual, stepping one frame of 1/N s per
// loop iteration like the headless backend's frame clock, and the page runs
// as many steps per animation frame as it asks for (tests/web): frame n is
// then drawn at the same show time as the capture's frame n.
// Depends on Emscripten (emscripten.h, html5.h) and the page's JavaScript.
#include "backend.h"
#include "frame_clock.h"
#include "say.h"

#include <GLES2/gl2.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <deque>

static const char* const canvas = "#canvas";

static struct {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    bool window = false;
    int drawable_w = 0, drawable_h = 0;
    std::deque<PlatformEvent> events;
    bool (*step)() = nullptr;
    void (*done)() = nullptr;
    unsigned test_fps = 0;   // 0: real clocks
    uint64_t frame = 0;
} web;

// ---- the page ----------------------------------------------------------------
// The show's one clock. The sound layer (sound/web_audio.cpp) sets
// Module.musicClock while the music plays: the clock's reading the music has
// reached. The page's clock carries on from the last such reading. It never
// steps back: when the music lags, the picture waits for it.
EM_JS(double, web_now, (), {
    var clock = Module['clock'] = Module['clock'] || { offset: 0, last: 0 };
    var page = performance.now();
    var now = page + clock.offset;
    var music = Module['musicClock'] ? Module['musicClock']() : null;
    clock.music = music;   // for the tests
    if (music !== null) {
        clock.offset = music - page;
        now = music;
    }
    if (now < clock.last) now = clock.last;
    clock.last = now;
    return now;
});

// The test parameter of the page's address; 0 when absent.
EM_JS(int, web_test_fps, (), {
    var fps = Number(new URLSearchParams(location.search).get('test-fps'));
    return fps > 0 && fps <= 1000 ? fps : 0;
});

// How many frames the page lets the show run to (test-fps only): steps stop
// there until it asks for more.
EM_JS(double, web_run_to, (), { return Module['runTo'] || 0; });

// The frame just drawn, before it is presented: kept for the page when it
// is the one it waits for (tests read it back), with when it was drawn (the
// benchmark's drawing rate).
EM_JS(void, web_frame_drawn, (double frame, int w, int h, const void* pixels), {
    if (frame != Module['runTo']) return;
    Module['framePixels'] = { frame: frame, width: w, height: h, at: performance.now(),
                              rgba: HEAPU8.slice(pixels, pixels + w * h * 4) };
});

// Frames presented so far and when the first was, for the page to watch
// (the benchmark's first frame and frame rate).
EM_JS(void, web_presented, (), {
    Module['presented'] = (Module['presented'] || 0) + 1;
    if (Module['presented'] == 1) Module['firstFrameAt'] = performance.now();
});

// How far the test frames have come, for the page to watch.
EM_JS(void, web_frames_run, (double frame), { Module['frame'] = frame; });

EM_JS(void, web_set_title, (const char* title), { document.title = UTF8ToString(title); });

EM_JS(void, web_note, (const char* caption, const char* text), {
    if (Module['note']) Module['note'](UTF8ToString(caption), UTF8ToString(text));
});

EM_JS(void, web_ended, (int code), {
    if (Module['ended']) Module['ended'](code);
});

EM_JS(void, web_toggle_fullscreen, (), {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (document.documentElement.requestFullscreen) document.documentElement.requestFullscreen();
});

// ---- events --------------------------------------------------------------------
static EM_BOOL on_key(int type, const EmscriptenKeyboardEvent* key, void*)
{
    if (key->repeat) return EM_TRUE;
    bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    if (key->keyCode == PLATFORM_KEY_ESCAPE) {
        web.events.push_back({down ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE});
        return EM_TRUE;
    }
    // F toggles full screen here, in the key's own handler, where the
    // browser allows it. Every other key is the browser's (reloading,
    // zooming); the show ignores them as it ignores every other key.
    if (down && (key->keyCode == 'F') && !key->ctrlKey && !key->altKey && !key->metaKey) {
        web_toggle_fullscreen();
        return EM_TRUE;
    }
    return EM_FALSE;
}

// The page's touch controls end the show as Escape does (index.html).
extern "C" EMSCRIPTEN_KEEPALIVE void web_end_show()
{
    web.events.push_back({PLATFORM_EVENT_KEY_DOWN, PLATFORM_KEY_ESCAPE});
    web.events.push_back({PLATFORM_EVENT_KEY_UP, PLATFORM_KEY_ESCAPE});
}

static EM_BOOL on_double_click(int, const EmscriptenMouseEvent*, void*)
{
    web_toggle_fullscreen();
    return EM_TRUE;
}

// ---- window and context -----------------------------------------------------
// The canvas's backing store follows its size on the page, in device pixels.
static void fit_canvas()
{
    double css_w = 0, css_h = 0;
    emscripten_get_element_css_size(canvas, &css_w, &css_h);
    double ratio = emscripten_get_device_pixel_ratio();
    int w = (int)(css_w * ratio + 0.5), h = (int)(css_h * ratio + 0.5);
    if (w < 1) w = 1;
    if (h < 1) h = 1;
    if (w == web.drawable_w && h == web.drawable_h) return;
    emscripten_set_canvas_element_size(canvas, w, h);
    web.drawable_w = w;
    web.drawable_h = h;
}

static bool web_create_window(const PlatformWindowDesc* desc)
{
    web.test_fps = (unsigned)web_test_fps();
    web.window = true;
    fit_canvas();
    web_set_title(desc->title ? desc->title : "");
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on_key);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on_key);
    emscripten_set_dblclick_callback(canvas, nullptr, EM_TRUE, on_double_click);
    return true;
}

static bool web_create_context()
{
    if (!web.window || web.context) return false;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;   // the desktop's window has no multisampling either
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    web.context = emscripten_webgl_create_context(canvas, &attributes);
    return web.context > 0;
}

static bool web_make_current(bool current)
{
    if (!web.context) return false;
    return emscripten_webgl_make_context_current(current ? web.context : 0) == EMSCRIPTEN_RESULT_SUCCESS;
}

static void web_set_window_title(const char* title) { web_set_title(title ? title : ""); }

static void web_swap_buffers()
{
    // The browser presents when the animation frame's callback returns. A
    // test waiting for this frame gets its pixels first.
    web_presented();
    if (web.test_fps && (double)web.frame == web_run_to()) {
        static unsigned char* pixels;
        static size_t pixels_size;
        size_t size = (size_t)web.drawable_w * (size_t)web.drawable_h * 4;
        if (size > pixels_size) {
            delete[] pixels;
            pixels = new unsigned char[size];
            pixels_size = size;
        }
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, web.drawable_w, web.drawable_h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        web_frame_drawn((double)web.frame, web.drawable_w, web.drawable_h, pixels);
    }
}

static void web_destroy_context()
{
    if (web.context) emscripten_webgl_destroy_context(web.context);
    web.context = 0;
}

static void web_destroy_window() { web.window = false; }

// The browser paces animation frames to the display; nothing else to choose.
static bool web_set_vsync(bool) { return true; }

static void web_drawable_size(int* w, int* h)
{
    fit_canvas();
    *w = web.drawable_w;
    *h = web.drawable_h;
}

static bool web_poll_event(PlatformEvent* event)
{
    if (!web.events.empty()) {
        *event = web.events.front();
        web.events.pop_front();
        return true;
    }
    if (web.test_fps) web.frame++;
    return false;
}

static void web_message_box(const char* caption, const char* text, PlatformMessageIcon)
{
    // A line on the console as on a terminal, and a note on the page: a
    // modal alert() would stop the show's frames while it is open.
    say_box(caption, text);
    web_note(caption ? caption : "", text ? text : "");
}

// ---- clocks -------------------------------------------------------------------
static uint32_t web_milliseconds()
{
    if (web.test_fps) return (uint32_t)frame_clock_ms(web.frame, web.test_fps, 1);
    return (uint32_t)(uint64_t)web_now();
}

static int64_t web_counter()
{
    if (web.test_fps) return (int64_t)web.frame;
    return (int64_t)(web_now() * 1000.0);
}

static int64_t web_counter_frequency() { return web.test_fps ? (int64_t)web.test_fps : 1000000; }

// ---- main loop and leaving ----------------------------------------------------
static void animation_frame()
{
    if (!web.test_fps) {
        if (!web.step()) platform_exit(0);
        return;
    }
    // Test frames: as many as the page asks for, but the page keeps
    // answering (a few dozen milliseconds of steps per animation frame).
    // A key waiting is taken even while the page holds the frames.
    double begin = emscripten_get_now();
    while (((double)web.frame < web_run_to() || !web.events.empty()) && emscripten_get_now() - begin < 50.0)
        if (!web.step()) platform_exit(0);
    web_frames_run((double)web.frame);
}

static void web_run_loop(bool (*step)(), void (*done)())
{
    web.step = step;
    web.done = done;
    // The first frame at once, with the music the show has just started,
    // not an animation frame later.
    animation_frame();
    // Never returns: main's stack unwinds and the browser calls back.
    emscripten_set_main_loop(animation_frame, 0, 1);
}

static void web_leave(int code)
{
    emscripten_cancel_main_loop();
    // The next play is another instance: nothing of this one may answer.
    emscripten_html5_remove_all_event_listeners();
    if (web.done) {
        void (*done)() = web.done;
        web.done = nullptr;
        done();
    }
    web_frames_run((double)web.frame);
    web_ended(code);
    emscripten_force_exit(code);
}

// ---- files and memory -----------------------------------------------------------
// The page's files lie in its own file system: data/ below the working folder.
std::string platform_executable_dir() { return std::string(); }
void platform_prepare_heap_for_pictures() {}

// The page is the window: no display mode to change, no cursor to hide,
// nothing to show; the viewport fits the canvas.
const PlatformBackendFunctions platform_web_functions = {
    .create_window = web_create_window,
    .create_context = web_create_context,
    .make_current = web_make_current,
    .set_window_title = web_set_window_title,
    .swap_buffers = web_swap_buffers,
    .destroy_context = web_destroy_context,
    .destroy_window = web_destroy_window,
    .poll_event = web_poll_event,
    .message_box = web_message_box,
    .milliseconds = web_milliseconds,
    .counter = web_counter,
    .counter_frequency = web_counter_frequency,
    .set_vsync = web_set_vsync,
    .drawable_size = web_drawable_size,
    .run_loop = web_run_loop,
    .leave = web_leave,
};
