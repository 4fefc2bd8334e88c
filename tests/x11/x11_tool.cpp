// x11_tool.cpp: asks a window to close the way a window manager does, which
// the stock X utilities cannot: a WM_PROTOCOLS client message carrying
// WM_DELETE_WINDOW. Exit 1 when the window does not take that protocol (it
// would never see the request). Depends on: Xlib.
// Usage: x11_tool close WINDOW_ID
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    Display* display = argc == 3 && !strcmp(argv[1], "close") ? XOpenDisplay(nullptr) : nullptr;
    if (!display) {
        fprintf(stderr, "usage: x11_tool close WINDOW_ID, on an X display\n");
        return 2;
    }
    Window window = (Window)strtoul(argv[2], nullptr, 0);
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* taken = nullptr;
    int count = 0, takes_delete = 0;
    if (XGetWMProtocols(display, window, &taken, &count)) {
        for (int i = 0; i < count; i++) takes_delete |= taken[i] == delete_window;
        XFree(taken);
    }
    if (takes_delete) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = (long)delete_window;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XSync(display, False);
    } else {
        fprintf(stderr, "x11_tool: window %s does not take WM_DELETE_WINDOW\n", argv[2]);
    }
    XCloseDisplay(display);
    return takes_delete ? 0 : 1;
}
