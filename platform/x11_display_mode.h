// x11_display_mode.h: the temporary full-screen display mode on an X server,
// through XRandR, and putting the desktop's mode back. Private to platform/;
// the SDL backend uses it when SDL runs on X11.
//
// Unlike a temporary mode change on Windows, an XRandR change outlives the
// process that made it. So once a mode was changed, the desktop's mode is put
// back on every way out that a process can catch: an explicit restore, exit()
// and returning from main (atexit), SIGINT, SIGTERM, SIGHUP, SIGQUIT and the
// fatal signals (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL). A signal is then
// passed on to the action that was in place before (normally: the process
// dies by it as usual).
#pragma once

// Switches the output that shows the screen's top-left corner to a width x
// height mode, and shrinks the screen to that size when no other output needs
// more. bits must match the screen's bits per pixel (X cannot change depth).
// Returns whether the output now runs width x height; false changes nothing
// (no X server, no XRandR 1.2, no such mode, or the server refused it).
bool x11_display_mode_change(unsigned width, unsigned height, unsigned bits);

// Puts back what x11_display_mode_change changed. Does nothing when nothing
// was changed or it was already put back; safe to call from a signal handler.
void x11_display_mode_restore();
