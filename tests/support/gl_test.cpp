// gl_test.cpp: the headless GlWindow harness for tests that look at pixels.
#include "gl_test.h"

#include "framework/glwindow.h"
#include "platform/headless.h"
#include "platform/platform.h"

#include <GL/gl.h>

static std::function<void()> pending_body;

void run_in_window(const std::function<void()>& body, unsigned surface_w, unsigned surface_h)
{
    const char* why = nullptr;
    if (!platform_select(PLATFORM_BACKEND_OFFSCREEN, &why)) abort();
    platform_headless_set_surface_size(surface_w, surface_h);
    pending_body = body;
    running = 1;
    GlWindow window(640, 480, 32, 16, 0, "test", "");
    demo_window = &window;
    window.init_callback = [](const char*) {
        pending_body();
        platform_headless_push_event({PLATFORM_EVENT_CLOSE, 0});
    };
    // Should the close request not end the loop, the first frame does, not a hang.
    window.frame_callback = [](const char*) { running = 0; };
    window.run();
    demo_window = nullptr;
    platform_headless_set_surface_size(0, 0);
}

Frame read_frame(unsigned width, unsigned height)
{
    Frame frame{width, height, std::vector<uint8_t>((size_t)width * height * 3)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, (GLsizei)width, (GLsizei)height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    return frame;
}

uint32_t quadrant_texture(Rgb bottom_left, Rgb bottom_right, Rgb top_left, Rgb top_right, unsigned size)
{
    std::vector<uint8_t> rgb;
    for (unsigned y = 0; y < size; y++)   // row 0 is the bottom row
        for (unsigned x = 0; x < size; x++) {
            bool top = y >= size / 2, right = x >= size / 2;
            Rgb c = top ? (right ? top_right : top_left) : (right ? bottom_right : bottom_left);
            rgb.insert(rgb.end(), {(uint8_t)c.r, (uint8_t)c.g, (uint8_t)c.b});
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, (GLsizei)size, (GLsizei)size, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}
