// headless_context.h: the offscreen OpenGL context behind the headless
// backend, one file per system: headless_egl.cpp (EGL pbuffer on Mesa's
// surfaceless platform) and headless_wgl.cpp (a never-shown window's WGL
// context drawing into a framebuffer object). Private to platform/.
#pragma once

// A compatibility context (GL 1.1 and GLU work), or OpenGL ES 2 with the
// GLES 2 renderer (EGL only), whose default drawing target is a width x height
// RGBA8 surface with a 16-bit depth buffer.
bool headless_context_create(unsigned width, unsigned height);
bool headless_context_make_current(bool current);
// The frame is finished: hand it to the renderer (no picture is shown).
void headless_context_present();
void headless_context_destroy();
