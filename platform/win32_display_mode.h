// win32_display_mode.h: the temporary full-screen display mode on Windows
// (ChangeDisplaySettings with CDS_FULLSCREEN) and putting the desktop's mode
// back. Private to platform/; the SDL backend uses it when built for Windows.
//
// Windows itself drops a CDS_FULLSCREEN mode when its process ends, but not
// every system that runs Windows programs does (Wine keeps it). So once a mode
// was changed it is also put back on exit() and returning from main (atexit),
// on Ctrl+C, Ctrl+Break and closing the console (a console control handler),
// on a crash (the unhandled-exception filter), and by a guard process when
// the program is killed.
#pragma once

// Switches the primary display to width x height at bits per pixel. Returns
// whether it switched; false changes nothing.
bool win32_display_mode_change(unsigned width, unsigned height, unsigned bits);

// Puts back the desktop's mode after win32_display_mode_change. Does nothing
// when nothing was changed or it was already put back.
void win32_display_mode_restore();
