// headless_wgl.cpp: the headless backend's context on Windows. WGL needs a
// window, so there is one that is never shown; the frames go into a
// framebuffer object of the capture's size (the window's own pixels are not
// guaranteed while it is hidden), which stays bound as the default target.
// Depends on user32, gdi32, opengl32 and GL 3.0 or ARB/EXT_framebuffer_object.
#include "headless_context.h"

#include <windows.h>
#include <GL/gl.h>

// The framebuffer-object entry points are not in opengl32's GL 1.1.
#define FB_FRAMEBUFFER 0x8D40
#define FB_RENDERBUFFER 0x8D41
#define FB_COLOR_ATTACHMENT0 0x8CE0
#define FB_DEPTH_ATTACHMENT 0x8D00
#define FB_COMPLETE 0x8CD5
#define FB_RGBA8 0x8058
#define FB_DEPTH_COMPONENT16 0x81A5

typedef void(APIENTRY* GenFn)(GLsizei, GLuint*);
typedef void(APIENTRY* BindFn)(GLenum, GLuint);
typedef void(APIENTRY* StorageFn)(GLenum, GLenum, GLsizei, GLsizei);
typedef void(APIENTRY* AttachFn)(GLenum, GLenum, GLenum, GLuint);
typedef GLenum(APIENTRY* StatusFn)(GLenum);
typedef void(APIENTRY* DeleteFn)(GLsizei, const GLuint*);

static struct {
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
    GLuint framebuffer = 0, renderbuffers[2] = {0, 0};
    GenFn gen_framebuffers, gen_renderbuffers;
    BindFn bind_framebuffer, bind_renderbuffer;
    StorageFn renderbuffer_storage;
    AttachFn framebuffer_renderbuffer;
    StatusFn check_framebuffer_status;
    DeleteFn delete_framebuffers, delete_renderbuffers;
} wgl;

static const char window_class[] = "oargala offscreen";

// The core name, else the EXT one (same signatures and enum values). As a
// void (*)(void), which converts to any function pointer without a warning.
typedef void (*AnyFn)(void);
static AnyFn load(const char* core, const char* ext)
{
    PROC proc = wglGetProcAddress(core);
    return (AnyFn)(proc ? proc : wglGetProcAddress(ext));
}

static bool load_framebuffer_functions()
{
    wgl.gen_framebuffers = (GenFn)load("glGenFramebuffers", "glGenFramebuffersEXT");
    wgl.gen_renderbuffers = (GenFn)load("glGenRenderbuffers", "glGenRenderbuffersEXT");
    wgl.bind_framebuffer = (BindFn)load("glBindFramebuffer", "glBindFramebufferEXT");
    wgl.bind_renderbuffer = (BindFn)load("glBindRenderbuffer", "glBindRenderbufferEXT");
    wgl.renderbuffer_storage = (StorageFn)load("glRenderbufferStorage", "glRenderbufferStorageEXT");
    wgl.framebuffer_renderbuffer = (AttachFn)load("glFramebufferRenderbuffer", "glFramebufferRenderbufferEXT");
    wgl.check_framebuffer_status = (StatusFn)load("glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
    wgl.delete_framebuffers = (DeleteFn)load("glDeleteFramebuffers", "glDeleteFramebuffersEXT");
    wgl.delete_renderbuffers = (DeleteFn)load("glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
    return wgl.gen_framebuffers && wgl.gen_renderbuffers && wgl.bind_framebuffer && wgl.bind_renderbuffer &&
           wgl.renderbuffer_storage && wgl.framebuffer_renderbuffer && wgl.check_framebuffer_status &&
           wgl.delete_framebuffers && wgl.delete_renderbuffers;
}

static bool create(unsigned width, unsigned height)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA cls;
    ZeroMemory(&cls, sizeof cls);
    cls.style = CS_OWNDC;
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = instance;
    cls.lpszClassName = window_class;
    RegisterClassA(&cls);   // fails harmlessly when already registered
    wgl.window = CreateWindowExA(0, window_class, "", WS_POPUP, 0, 0, (int)width, (int)height, nullptr, nullptr,
                                 instance, nullptr);
    if (!wgl.window) return false;
    wgl.dc = GetDC(wgl.window);
    if (!wgl.dc) return false;

    PIXELFORMATDESCRIPTOR want;
    ZeroMemory(&want, sizeof want);
    want.nSize = sizeof want;
    want.nVersion = 1;
    want.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    want.iPixelType = PFD_TYPE_RGBA;
    want.cColorBits = 32;
    want.cAlphaBits = 8;
    want.cDepthBits = 16;
    int format = ChoosePixelFormat(wgl.dc, &want);
    if (!format || !SetPixelFormat(wgl.dc, format, &want)) return false;
    wgl.context = wglCreateContext(wgl.dc);
    if (!wgl.context || !wglMakeCurrent(wgl.dc, wgl.context)) return false;
    if (!load_framebuffer_functions()) return false;

    wgl.gen_framebuffers(1, &wgl.framebuffer);
    wgl.bind_framebuffer(FB_FRAMEBUFFER, wgl.framebuffer);
    wgl.gen_renderbuffers(2, wgl.renderbuffers);
    wgl.bind_renderbuffer(FB_RENDERBUFFER, wgl.renderbuffers[0]);
    wgl.renderbuffer_storage(FB_RENDERBUFFER, FB_RGBA8, (GLsizei)width, (GLsizei)height);
    wgl.framebuffer_renderbuffer(FB_FRAMEBUFFER, FB_COLOR_ATTACHMENT0, FB_RENDERBUFFER, wgl.renderbuffers[0]);
    wgl.bind_renderbuffer(FB_RENDERBUFFER, wgl.renderbuffers[1]);
    wgl.renderbuffer_storage(FB_RENDERBUFFER, FB_DEPTH_COMPONENT16, (GLsizei)width, (GLsizei)height);
    wgl.framebuffer_renderbuffer(FB_FRAMEBUFFER, FB_DEPTH_ATTACHMENT, FB_RENDERBUFFER, wgl.renderbuffers[1]);
    bool complete = wgl.check_framebuffer_status(FB_FRAMEBUFFER) == FB_COMPLETE;
    wglMakeCurrent(nullptr, nullptr);
    return complete;
}

bool headless_context_create(unsigned width, unsigned height)
{
    if (create(width, height)) return true;
    headless_context_destroy();
    return false;
}

bool headless_context_make_current(bool current)
{
    if (!wgl.context) return false;
    if (!current) return wglMakeCurrent(nullptr, nullptr) != FALSE;
    if (!wglMakeCurrent(wgl.dc, wgl.context)) return false;
    wgl.bind_framebuffer(FB_FRAMEBUFFER, wgl.framebuffer);
    return true;
}

void headless_context_present()
{
    // Nothing is shown; the flush keeps the renderer from queueing frames.
    if (wgl.context) glFlush();
}

void headless_context_destroy()
{
    if (wgl.context && wgl.framebuffer && wglMakeCurrent(wgl.dc, wgl.context)) {
        wgl.delete_framebuffers(1, &wgl.framebuffer);
        wgl.delete_renderbuffers(2, wgl.renderbuffers);
    }
    wgl.framebuffer = 0;
    if (wgl.context) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(wgl.context);
    }
    wgl.context = nullptr;
    if (wgl.dc) ReleaseDC(wgl.window, wgl.dc);
    wgl.dc = nullptr;
    if (wgl.window) DestroyWindow(wgl.window);
    wgl.window = nullptr;
}
