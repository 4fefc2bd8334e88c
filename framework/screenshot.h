// screenshot.h: the screenshot key's pictures. The frame about to be shown is
// read back on the render thread (one glReadPixels); compressing and writing
// the PNG happen on a writer thread of their own, so the show loses at most
// that one frame. Depends on OpenGL 1.1 and imageloader/png_writer.h.
#pragma once

#include <cstdint>

// Reads the whole drawable (width x height pixels, the back buffer with the
// finished frame) and queues it to be written into the working directory as
// oargala-SSS.mmm.png, named after the show time show_ms; the name is printed
// on standard output once the file is complete. Needs the context current.
void screenshot_take(uint32_t show_ms, int width, int height);
// Waits until every queued picture is written. Also runs on platform_exit, so
// that the end of the show does not cut a picture short.
void screenshot_finish();
