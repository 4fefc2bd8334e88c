// x11_display_mode.cpp: the temporary full-screen mode through XRandR 1.2,
// and the guard that puts the desktop's mode back however the process ends
// (see x11_display_mode.h).
//
// The change runs on a connection of its own, not SDL's, so that the restore
// can also run from a signal handler: it then only sends two requests on a
// connection that nothing else uses, with everything it needs read before.
// Should that still hang, an alarm ends the process anyway.
// Depends on: Xlib, libXrandr, POSIX signals.
#include "x11_display_mode.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

enum ModeState { MODE_UNCHANGED, MODE_CHANGED, MODE_RESTORING, MODE_RESTORED };

static std::atomic<int> mode_state{MODE_UNCHANGED};

// What the change needs to be undone, all read before the change.
static struct {
    Display* display = nullptr;
    Window root = 0;
    XRRScreenResources* resources = nullptr;
    RRCrtc crtc = 0;
    XRRCrtcInfo* desktop = nullptr;   // the desktop's mode, position, rotation, outputs
    bool screen_resized = false;
    int screen_width = 0, screen_height = 0, screen_mm_width = 0, screen_mm_height = 0;
} xrandr;

// The signals after which the process would end with the desktop mode still
// changed. SIGKILL and SIGSTOP cannot be caught.
static const int caught_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGABRT, SIGFPE, SIGBUS, SIGSEGV, SIGTERM};
enum { caught_count = sizeof caught_signals / sizeof caught_signals[0] };
static struct sigaction previous_actions[caught_count];
static bool guard_installed;

// How long a restore may take before the alarm ends a dying process anyway.
static const unsigned restore_alarm_seconds = 5;

// Xlib reports errors through one process-wide handler whose default ends the
// process; it is swapped in only around this file's own requests.
static volatile sig_atomic_t x_error_seen;
static int note_x_error(Display*, XErrorEvent*)
{
    x_error_seen = 1;
    return 0;
}

static void block_caught_signals(sigset_t* old)
{
    sigset_t set;
    sigemptyset(&set);
    for (int sig : caught_signals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, old);
}

static void on_signal(int sig)
{
    int saved_errno = errno;
    alarm(restore_alarm_seconds);
    x11_display_mode_restore();
    // Restored: a previous handler that returns lets the process go on,
    // which the alarm would end.
    alarm(0);
    // Hand the signal on to whatever was there before us (normally the
    // default action: the process dies by it, with a core where due). It is
    // blocked while this handler runs and is delivered as soon as it returns.
    for (int i = 0; i < caught_count; i++)
        if (caught_signals[i] == sig) sigaction(sig, &previous_actions[i], nullptr);
    raise(sig);
    errno = saved_errno;
}

static void restore_at_exit() { x11_display_mode_restore(); }

static void install_guard()
{
    if (guard_installed) return;
    guard_installed = true;
    atexit(restore_at_exit);

    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : caught_signals) sigaddset(&action.sa_mask, sig);
    action.sa_flags = SA_ONSTACK;   // a stack overflow still gets its restore where an alternate stack exists
    for (int i = 0; i < caught_count; i++) {
        sigaction(caught_signals[i], &action, &previous_actions[i]);
        // A signal that was ignored when we started (nohup) stays ignored.
        if (!(previous_actions[i].sa_flags & SA_SIGINFO) && previous_actions[i].sa_handler == SIG_IGN)
            sigaction(caught_signals[i], &previous_actions[i], nullptr);
    }
}

static const XRRModeInfo* mode_info(const XRRScreenResources* resources, RRMode id)
{
    for (int i = 0; i < resources->nmode; i++)
        if (resources->modes[i].id == id) return &resources->modes[i];
    return nullptr;
}

static unsigned screen_bits_per_pixel(Display* display)
{
    int depth = DefaultDepth(display, DefaultScreen(display));
    int count = 0;
    unsigned bits = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    for (int i = 0; formats && i < count; i++)
        if (formats[i].depth == depth) bits = (unsigned)formats[i].bits_per_pixel;
    if (formats) XFree(formats);
    return bits;
}

// The connected output whose picture starts at the screen's top-left corner,
// where the window goes; the primary output when it is that one.
static bool find_origin_output(Display* display, XRRScreenResources* resources, Window root,
                               XRROutputInfo** output_out, XRRCrtcInfo** crtc_out)
{
    RROutput primary = XRRGetOutputPrimary(display, root);
    for (int pass = 0; pass < 2; pass++) {
        for (int i = 0; i < resources->noutput; i++) {
            RROutput id = resources->outputs[i];
            if ((pass == 0) != (id == primary)) continue;
            XRROutputInfo* output = XRRGetOutputInfo(display, resources, id);
            if (!output) continue;
            if (output->connection == RR_Connected && output->crtc) {
                XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
                if (crtc && crtc->mode && crtc->x == 0 && crtc->y == 0) {
                    *output_out = output;
                    *crtc_out = crtc;
                    return true;
                }
                if (crtc) XRRFreeCrtcInfo(crtc);
            }
            XRRFreeOutputInfo(output);
        }
    }
    return false;
}

// Whether every other lit output still fits on a width x height screen.
static bool others_fit(Display* display, XRRScreenResources* resources, RRCrtc ours, int width, int height)
{
    bool fit = true;
    for (int i = 0; i < resources->ncrtc && fit; i++) {
        if (resources->crtcs[i] == ours) continue;
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (crtc && crtc->mode && (crtc->x + (int)crtc->width > width || crtc->y + (int)crtc->height > height))
            fit = false;
        if (crtc) XRRFreeCrtcInfo(crtc);
    }
    return fit;
}

bool x11_display_mode_change(unsigned width, unsigned height, unsigned bits)
{
    int state = mode_state.load();
    if (state == MODE_CHANGED || state == MODE_RESTORING) return state == MODE_CHANGED;
    if (xrandr.display) {
        // A mode changed and put back before: start afresh.
        XRRFreeCrtcInfo(xrandr.desktop);
        XRRFreeScreenResources(xrandr.resources);
        XCloseDisplay(xrandr.display);
        xrandr.display = nullptr;
    }

    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) || !XRRQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 2) || screen_bits_per_pixel(display) != bits) {
        XCloseDisplay(display);
        return false;
    }

    int screen = DefaultScreen(display);
    Window root = RootWindow(display, screen);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    XRROutputInfo* output = nullptr;
    XRRCrtcInfo* desktop = nullptr;
    if (!resources || !find_origin_output(display, resources, root, &output, &desktop)) {
        if (resources) XRRFreeScreenResources(resources);
        XCloseDisplay(display);
        return false;
    }

    const XRRModeInfo* current = mode_info(resources, desktop->mode);
    bool already = current && current->width == width && current->height == height;
    RRMode wanted = 0;
    for (int i = 0; i < output->nmode && !wanted && !already; i++) {
        const XRRModeInfo* mode = mode_info(resources, output->modes[i]);
        if (mode && mode->width == width && mode->height == height &&
            !(mode->modeFlags & (RR_Interlace | RR_DoubleScan)))
            wanted = mode->id;
    }
    RRCrtc crtc = output->crtc;
    XRRFreeOutputInfo(output);
    if (already || !wanted) {
        // Already in that mode (nothing to change, nothing to put back), or
        // the output has no such mode.
        XRRFreeCrtcInfo(desktop);
        XRRFreeScreenResources(resources);
        XCloseDisplay(display);
        return already;
    }

    // A quarter-turned output shows the mode on its side.
    bool sideways = desktop->rotation & (RR_Rotate_90 | RR_Rotate_270);
    int shown_w = (int)(sideways ? height : width), shown_h = (int)(sideways ? width : height);
    int min_w = 0, min_h = 0, max_w = 0, max_h = 0;
    XRRGetScreenSizeRange(display, root, &min_w, &min_h, &max_w, &max_h);
    int screen_w = DisplayWidth(display, screen), screen_h = DisplayHeight(display, screen);
    // The whole desktop becomes the new mode, as on a single-monitor system,
    // unless another output still needs the larger screen.
    bool shrink = shown_w >= min_w && shown_h >= min_h && (shown_w < screen_w || shown_h < screen_h) &&
                  others_fit(display, resources, crtc, shown_w, shown_h);

    xrandr.display = display;
    xrandr.root = root;
    xrandr.resources = resources;
    xrandr.crtc = crtc;
    xrandr.desktop = desktop;
    xrandr.screen_width = screen_w;
    xrandr.screen_height = screen_h;
    xrandr.screen_mm_width = DisplayWidthMM(display, screen);
    xrandr.screen_mm_height = DisplayHeightMM(display, screen);
    xrandr.screen_resized = false;

    sigset_t old_mask;
    block_caught_signals(&old_mask);
    install_guard();
    // Marked changed before the requests go out, so that a signal taken by
    // another thread meanwhile still puts the desktop back.
    mode_state.store(MODE_CHANGED);
    XErrorHandler previous_handler = XSetErrorHandler(note_x_error);
    x_error_seen = 0;
    Status status = XRRSetCrtcConfig(display, resources, crtc, CurrentTime, 0, 0, wanted, desktop->rotation,
                                     desktop->outputs, desktop->noutput);
    XSync(display, False);
    bool switched = status == RRSetConfigSuccess && !x_error_seen;
    if (switched && shrink) {
        xrandr.screen_resized = true;
        x_error_seen = 0;
        // Keep the screen's dots per inch.
        int mm_w = xrandr.screen_mm_width * shown_w / (screen_w ? screen_w : 1);
        int mm_h = xrandr.screen_mm_height * shown_h / (screen_h ? screen_h : 1);
        XRRSetScreenSize(display, root, shown_w, shown_h, mm_w, mm_h);
        XSync(display, False);
        if (x_error_seen) xrandr.screen_resized = false;
    }
    if (switched) {
        // Believe the server, not the request: read back what the output shows.
        XRRScreenResources* now = XRRGetScreenResourcesCurrent(display, root);
        XRRCrtcInfo* info = now ? XRRGetCrtcInfo(display, now, crtc) : nullptr;
        switched = info && info->mode == wanted;
        if (info) XRRFreeCrtcInfo(info);
        if (now) {
            // The restore goes out with the newest configuration time.
            XRRScreenResources* before = xrandr.resources;
            xrandr.resources = now;
            XRRFreeScreenResources(before);
        }
    }
    XSetErrorHandler(previous_handler);
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    if (!switched) {
        // Nothing (or not what was asked) took effect: put back what did.
        x11_display_mode_restore();
        mode_state.store(MODE_UNCHANGED);
    }
    return switched;
}

void x11_display_mode_restore()
{
    int expected = MODE_CHANGED;
    if (!mode_state.compare_exchange_strong(expected, MODE_RESTORING)) {
        // Another thread is putting it back: let it finish before this one
        // goes on (and maybe ends the process), within the alarm's bounds.
        for (int i = 0; i < 300 && mode_state.load() == MODE_RESTORING; i++) {
            timespec pause = {0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        return;
    }
    sigset_t old_mask;
    block_caught_signals(&old_mask);
    XErrorHandler previous_handler = XSetErrorHandler(note_x_error);
    // The screen grows back first, so that the desktop's mode fits on it.
    if (xrandr.screen_resized)
        XRRSetScreenSize(xrandr.display, xrandr.root, xrandr.screen_width, xrandr.screen_height, xrandr.screen_mm_width,
                         xrandr.screen_mm_height);
    XRRSetCrtcConfig(xrandr.display, xrandr.resources, xrandr.crtc, CurrentTime, xrandr.desktop->x, xrandr.desktop->y,
                     xrandr.desktop->mode, xrandr.desktop->rotation, xrandr.desktop->outputs, xrandr.desktop->noutput);
    XSync(xrandr.display, False);
    XSetErrorHandler(previous_handler);
    xrandr.screen_resized = false;
    mode_state.store(MODE_RESTORED);
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
}
