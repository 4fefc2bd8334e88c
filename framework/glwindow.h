// glwindow.h: the demo window framework. One GlWindow owns the display mode,
// the window, its OpenGL context, the default GL state and the main loop that
// calls an init callback once and a frame callback whenever no event waits.
// It knows nothing of the show. Depends on platform/ (with platform/gl.h).
#pragma once

#include "platform/platform.h"

#include <cstdint>

typedef void (*WindowCallback)(const char* title);

// Display settings, written by the constructor and read by every operation.
extern uint32_t screen_width;
extern uint32_t screen_height;
extern uint32_t colour_bits;
extern uint32_t depth_bits;
extern int32_t fullscreen;
extern float field_of_view;
extern float near_plane;
extern float far_plane;

extern char window_title[64];
extern char command_line[256];
extern int32_t running;

// The help box text shown when a command line is passed to the constructor.
extern const char* const help_text;

class GlWindow {
public:
    double FrameDelta;              // seconds since the previous frame, 0 to 1
    char* text_buffer;              // 1200 characters of scratch space
    WindowCallback init_callback;
    WindowCallback frame_callback;
    PlatformEvent last_message;
    bool has_window;                // the platform window exists
    bool has_context;               // its GL context exists
    // frame timer
    double counter_frequency;
    double fps;
    int64_t counter_now;
    int64_t counter_prev;
    int64_t ticks_per_second;

    GlWindow(uint32_t width, uint32_t height, uint32_t colour, uint32_t depth, int32_t full,
             const char* title, const char* cmd_line);

    // start, then step until the loop ends, then finish. The platform runs
    // the steps (platform_run_loop): a loop here, or a browser's animation
    // frames, which cannot be a loop that never returns.
    void run();
    // Window, context, GL state, timer, init callback. False: start-up
    // failed and said so; nothing is left to finish.
    bool start();
    // One pass of the main loop: every waiting event, then, unless one ended
    // the loop, one frame timed, drawn and presented. False once it ended.
    bool step();
    void finish();   // puts the display back, deletes the context and window
    void tear_down();  // what finish does after the screenshots, also for an early exit
    void setup_pixel_format();
    void enter_fullscreen();
    void setup_projection();
    // Keeps the viewport fitted to the window's drawable, which may change
    // size after the window was created (a compositor's full screen).
    void fit_viewport();
    void start_timer();
    double update_timer(double* delta_out);
    // What the window does with one event; returns true when it asks to quit.
    static bool window_proc(const PlatformEvent& event);
    static bool run_step();     // the one window's step and finish, for
    static void run_finish();   // platform_run_loop
};

extern GlWindow* demo_window;

// How the window shows the picture. The scenes always draw the 640x480
// picture in its own units and perspective; these settings choose only the
// window, the display mode and the viewport, which scales the picture to fit
// and centres it (black bars where the aspect differs).
struct WindowSettings {
    int32_t fullscreen = 1;
    // Full screen at the desktop's current mode: a window covering the whole
    // screen, no display-mode change.
    bool desktop = false;
    // The window's client size and, full screen, the display mode asked for;
    // 0 x 0: the picture's own size.
    unsigned width = 0, height = 0;
    // Buffer swaps wait for the display's refresh; otherwise they never wait.
    bool vsync = false;
    // Said on stderr (after "the display cannot switch to WxH; ") when the
    // full-screen display mode cannot be set; null: nothing is said.
    const char* switch_refused_note = nullptr;
    // The show time that names a screenshot (F12); null: milliseconds since
    // the init callback started.
    uint32_t (*show_milliseconds)() = nullptr;
};

// The show's one window, as the entry and the capture build it: 640x480, 32
// colour bits, 16 depth bits, the show's title, an empty command line, shown
// as settings say. Stores it in demo_window and runs it; an error text thrown
// by a callback is shown in an "ERROR!" box. Puts the display mode back
// afterwards (run returns early after a start-up failure). Returns the entry's
// exit code: 0, or 1 when an error text was caught.
int run_demo_window(const WindowSettings& settings, WindowCallback init, WindowCallback frame);

// The frame rate last measured by update_timer (see frame_timer.cpp).
extern double last_fps;
