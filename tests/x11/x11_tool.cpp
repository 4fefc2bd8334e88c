// x11_tool.cpp: two things the X tests need that the stock X utilities do not
// offer. Depends on: Xlib, libXrandr.
//
//   x11_tool close WINDOW_ID
//       Asks a window to close the way a window manager does: a WM_PROTOCOLS
//       client message carrying WM_DELETE_WINDOW. Exit 1 when the window does
//       not take that protocol (it would never see the request).
//   x11_tool watch-screen
//       Prints "ready WxH" with the screen's size once it listens, then one
//       line "WxH" for every screen size change, until it is ended. Tells a
//       test that a mode was changed and put back however quickly it happened.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int close_window(Display* display, const char* id)
{
    Window window = (Window)strtoul(id, nullptr, 0);
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);

    Atom* taken = nullptr;
    int count = 0;
    bool takes_delete = false;
    if (XGetWMProtocols(display, window, &taken, &count)) {
        for (int i = 0; i < count; i++) takes_delete |= taken[i] == delete_window;
        XFree(taken);
    }
    if (!takes_delete) {
        fprintf(stderr, "x11_tool: window %s does not take WM_DELETE_WINDOW\n", id);
        return 1;
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)delete_window;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

static int watch_screen(Display* display)
{
    int event_base = 0, error_base = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base)) {
        fprintf(stderr, "x11_tool: the server has no XRandR\n");
        return 1;
    }
    Window root = DefaultRootWindow(display);
    XRRSelectInput(display, root, RRScreenChangeNotifyMask);
    XSync(display, False);
    printf("ready %dx%d\n", DisplayWidth(display, DefaultScreen(display)),
           DisplayHeight(display, DefaultScreen(display)));
    fflush(stdout);
    while (true) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == event_base + RRScreenChangeNotify) {
            auto* change = (XRRScreenChangeNotifyEvent*)&event;
            printf("%dx%d\n", change->width, change->height);
            fflush(stdout);
        }
    }
}

int main(int argc, char** argv)
{
    bool close = argc == 3 && !strcmp(argv[1], "close");
    bool watch = argc == 2 && !strcmp(argv[1], "watch-screen");
    if (!close && !watch) {
        fprintf(stderr, "usage: x11_tool close WINDOW_ID | x11_tool watch-screen\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "x11_tool: cannot open the display\n");
        return 1;
    }
    int code = close ? close_window(display, argv[2]) : watch_screen(display);
    XCloseDisplay(display);
    return code;
}
