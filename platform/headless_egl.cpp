// headless_egl.cpp: the headless backend's context on Linux: an EGL pbuffer
// through Mesa's surfaceless platform, so no X server and no GPU are needed.
// An OpenGL compatibility context, or OpenGL ES 2 for the GLES 2 renderer.
// Depends on EGL (libEGL with Mesa).
#include "headless_context.h"
#include "platform.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#ifndef EGL_PLATFORM_SURFACELESS_MESA
#define EGL_PLATFORM_SURFACELESS_MESA 0x31DD
#endif

static struct {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
} egl;

static EGLDisplay open_display()
{
    auto get_platform_display =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    EGLDisplay display = EGL_NO_DISPLAY;
    if (get_platform_display)
        display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY)
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    return display;
}

static bool create(unsigned width, unsigned height)
{
    egl.display = open_display();
    if (egl.display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(egl.display, &major, &minor)) return false;
    bool es2 = platform_renderer() == PLATFORM_RENDERER_GLES2;
    if (!eglBindAPI(es2 ? EGL_OPENGL_ES_API : EGL_OPENGL_API)) return false;

    // Ask for 8 bits of alpha: without it Mesa may offer a 10-bit config first.
    const EGLint config_attribs[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE, es2 ? EGL_OPENGL_ES2_BIT : EGL_OPENGL_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 16,
        EGL_NONE,
    };
    EGLint count = 0;
    if (!eglChooseConfig(egl.display, config_attribs, &egl.config, 1, &count) || count < 1) return false;

    const EGLint surface_attribs[] = {
        EGL_WIDTH, (EGLint)width, EGL_HEIGHT, (EGLint)height, EGL_NONE,
    };
    egl.surface = eglCreatePbufferSurface(egl.display, egl.config, surface_attribs);
    if (egl.surface == EGL_NO_SURFACE) return false;

    // No version asked for desktop GL: a compatibility context, so GL 1.1 and
    // GLU work.
    const EGLint es2_attribs[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    egl.context = eglCreateContext(egl.display, egl.config, EGL_NO_CONTEXT, es2 ? es2_attribs : nullptr);
    return egl.context != EGL_NO_CONTEXT;
}

bool headless_context_create(unsigned width, unsigned height)
{
    if (create(width, height)) return true;
    headless_context_destroy();
    return false;
}

bool headless_context_make_current(bool current)
{
    if (egl.display == EGL_NO_DISPLAY) return false;
    if (!current)
        return eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return eglMakeCurrent(egl.display, egl.surface, egl.surface, egl.context);
}

void headless_context_present()
{
    if (egl.display == EGL_NO_DISPLAY) return;
    // A pbuffer has nothing to present, and Mesa's swap then flushes nothing:
    // without this, llvmpipe queues frame after frame that nobody reads back
    // (hundreds of MB over a capture with --at).
    glFlush();
    eglSwapBuffers(egl.display, egl.surface);
}

void headless_context_destroy()
{
    if (egl.display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (egl.context != EGL_NO_CONTEXT) eglDestroyContext(egl.display, egl.context);
    if (egl.surface != EGL_NO_SURFACE) eglDestroySurface(egl.display, egl.surface);
    egl.context = EGL_NO_CONTEXT;
    egl.surface = EGL_NO_SURFACE;
    eglTerminate(egl.display);
    egl.display = EGL_NO_DISPLAY;
}
