// glwindow.cpp: GlWindow's start-up, main loop and teardown. The loop never
// waits (unless asked to wait for the display's refresh): each step takes
// the waiting events one by one, and when none is left it times, draws and
// presents one frame. The platform repeats the steps (platform_run_loop: a
// loop, or a browser's animation frames). F12 saves the frame being presented as a PNG (screenshot.cpp).
// Depends on platform/ (and its GL 1.1 calls, platform/gl.h) and screenshot.cpp.
#include "glwindow.h"
#include "screenshot.h"

#include "platform/gl.h"
#include "platform/say.h"

#include <cstdio>
#include <cstring>

uint32_t screen_width;
uint32_t screen_height;
uint32_t colour_bits;
uint32_t depth_bits;
int32_t fullscreen;
float field_of_view;
float near_plane;
float far_plane;

char window_title[64];
char command_line[256];
int32_t running = 1;

GlWindow* demo_window;

const char* const help_text =
    "Demo parameters (*NOT* IMPLEMENTED)\n\n"
    "[-windowed] run windowed                 \n"
    "[-fullscreen] run fullscreen             \n"
    "[-z16] 16bits zbuffer                    \n"
    "[-z32] 32bits zbuffer                    \n"
    "[-16] 16bits graphics mode               \n"
    "[-32] 32bits graphics mode               \n"
    "[-640x480] graphics mode 640x480         \n"
    "[-800x600] graphics mode 800x600         \n"
    "[-1024x768] graphics mode 1024x768       \n"
    "[-1280x1024] graphics mode 1280x1024     \n";

static const char* const error_caption = "ERROR!";

enum { KEY_F12 = 0x7B };

// How the window shows the picture; the defaults are the picture's own size.
static WindowSettings window_settings;
static bool screenshot_wanted;
static int drawable_width, drawable_height;   // what the viewport was fitted to
static uint32_t init_ms;                      // when the init callback started

static unsigned window_width() { return window_settings.width ? window_settings.width : screen_width; }
static unsigned window_height() { return window_settings.height ? window_settings.height : screen_height; }

GlWindow::GlWindow(uint32_t width, uint32_t height, uint32_t colour, uint32_t depth, int32_t full,
                   const char* title, const char* cmd_line)
    : FrameDelta(0.0), text_buffer(nullptr), init_callback(nullptr), frame_callback(nullptr),
      last_message(), has_window(false), has_context(false), counter_frequency(0.0), fps(0.0),
      counter_now(0), counter_prev(0), ticks_per_second(0)
{
    screen_width = width;
    screen_height = height;
    colour_bits = colour;
    depth_bits = depth;
    fullscreen = full;
    field_of_view = 50.0f;
    near_plane = 0.5f;
    far_plane = 1000.0f;
    text_buffer = new char[1200];
    text_buffer[0] = '\0';
    // Bounded copies: a longer title or command line is cut, never overruns.
    snprintf(command_line, sizeof command_line, "%s", cmd_line ? cmd_line : "");
    snprintf(window_title, sizeof window_title, "%s", title ? title : "");
}

void GlWindow::setup_pixel_format()
{
    // The pixel format is chosen with the window (colour and depth bits in the
    // window description); nothing is left to do once it exists.
}

void GlWindow::enter_fullscreen()
{
    if (!platform_change_display_mode(window_width(), window_height(), colour_bits) &&
        window_settings.switch_refused_note) {
        say("the display cannot switch to %ux%u; %s", window_width(), window_height(),
            window_settings.switch_refused_note);
    }
}

void GlWindow::fit_viewport()
{
    int dw = 0, dh = 0;
    platform_drawable_size(&dw, &dh);
    if (dw == drawable_width && dh == drawable_height) return;
    drawable_width = dw;
    drawable_height = dh;
    int x, y, w, h;
    platform_viewport(screen_width, screen_height, &x, &y, &w, &h);
    glViewport(x, y, w, h);
}

void GlWindow::setup_projection()
{
    drawable_width = drawable_height = -1;
    fit_viewport();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double aspect = (double)screen_width / (double)screen_height;
    gluPerspective((double)field_of_view, aspect, (double)near_plane, (double)far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool GlWindow::window_proc(const PlatformEvent& event)
{
    switch (event.kind) {
    case PLATFORM_EVENT_CLOSE:
        return true;
    case PLATFORM_EVENT_KEY_DOWN:
    case PLATFORM_EVENT_KEY_UP:
        // F12 going down asks for a screenshot of the next frame.
        if (event.kind == PLATFORM_EVENT_KEY_DOWN && event.key == KEY_F12) screenshot_wanted = true;
        // Escape going down or coming up ends the show; other keys are swallowed.
        return event.key == PLATFORM_KEY_ESCAPE;
    default:
        return false;
    }
}

// The window whose loop runs: there is one at a time.
static GlWindow* looping;

void GlWindow::run()
{
    if (!start()) return;
    looping = this;
    platform_run_loop(run_step, run_finish);
}

bool GlWindow::run_step() { return looping->step(); }
void GlWindow::run_finish() { looping->finish(); }

bool GlWindow::start()
{
    if (command_line[0] != '\0') {
        snprintf(text_buffer, 1200, "%s", help_text);
        platform_message_box("commandline help", text_buffer, PLATFORM_ICON_INFORMATION);
        return false;
    }

    snprintf(text_buffer, 1200, "(%s) -- [%ux%u^%u^%u]", window_title, screen_width, screen_height,
             colour_bits, depth_bits);
    snprintf(window_title, sizeof window_title, "%s", text_buffer);

    bool desktop = fullscreen && window_settings.desktop;
    if (fullscreen) {
        platform_show_cursor(false);
        if (!desktop) enter_fullscreen();
    }

    PlatformWindowDesc desc = {window_title, window_width(), window_height(), colour_bits, depth_bits,
                               fullscreen != 0, desktop};
    if (!platform_create_window(&desc)) {
        tear_down();
        return false;
    }
    has_window = true;
    setup_pixel_format();
    if (!platform_create_context()) {
        platform_message_box(error_caption, "Creation of OpenGL context failed!", PLATFORM_ICON_EXCLAMATION);
        tear_down();
        return false;
    }
    has_context = true;
    if (!platform_make_current(true)) {
        platform_message_box(error_caption, "Could not make OpenGL context active!", PLATFORM_ICON_EXCLAMATION);
        tear_down();
        return false;
    }
    if (!platform_set_vsync(window_settings.vsync) && window_settings.vsync) {
        say("this display cannot wait for its refresh; the show runs without vsync");
    }
    platform_show_window();
    setup_projection();

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    start_timer();
    init_ms = platform_milliseconds();
    if (init_callback) init_callback(window_title);
    return true;
}

bool GlWindow::step()
{
    // Every waiting event first, one at a time, as the loop always took them.
    while (running && platform_poll_event(&last_message))
        if (window_proc(last_message)) running = 0;
    if (!running) return false;
    fps = update_timer(&FrameDelta);
    fit_viewport();
    if (frame_callback) frame_callback(window_title);
    if (!fullscreen) {
        snprintf(text_buffer, 1200, "%s [fps: %5.2f]", window_title, fps);
        platform_set_window_title(text_buffer);
    }
    if (screenshot_wanted) {
        screenshot_wanted = false;
        uint32_t ms = window_settings.show_milliseconds ? window_settings.show_milliseconds()
                                                        : platform_milliseconds() - init_ms;
        screenshot_take(ms, drawable_width, drawable_height);
    }
    platform_swap_buffers();
    return true;
}

void GlWindow::finish()
{
    screenshot_finish();
    tear_down();
}

// Every way out, early or after the show, puts back what was changed.
void GlWindow::tear_down()
{
    if (fullscreen) {
        platform_restore_display_mode();
        platform_show_cursor(true);
    }
    if (has_context) {
        platform_make_current(false);
        platform_destroy_context();
    }
    if (has_window) platform_destroy_window();
    has_context = false;
    has_window = false;
}

int run_demo_window(const WindowSettings& settings, WindowCallback init, WindowCallback frame)
{
    window_settings = settings;
    // Never freed: the window lives until the process ends.
    GlWindow* window = new GlWindow(640, 480, 32, 16, settings.fullscreen, "pelmatox - Oar Gala (BUY V1@GRA)", "");
    demo_window = window;
    window->init_callback = init;
    window->frame_callback = frame;
    int code = 0;
    try {
        window->run();
    } catch (const char* text) {
        platform_restore_display_mode();
        platform_message_box(error_caption, text, PLATFORM_ICON_EXCLAMATION);
        code = 1;
    }
    platform_restore_display_mode();
    return code;
}
