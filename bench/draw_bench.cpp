// draw_bench.cpp: what one frame's drawing costs on the headless renderer
// (Mesa llvmpipe through EGL), piece by piece, to explain the show's frame
// times: the clear, one full-screen picture through draw_quad in the state
// the scenes use (depth test, blending, RGB or RGBA texture, linear or
// nearest filtering), at 640x480 and 1920x1080. Each iteration draws and
// waits for the renderer (glFinish). Runs inside a real GlWindow, so the
// default state is the show's.
// Usage: bench_draw [Google Benchmark options]
// Depends on framework/ (GlWindow), demo/draw.h, platform/ and Google Benchmark.
#include "demo/draw.h"
#include "framework/glwindow.h"
#include "platform/headless.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

enum Flags {
    DEPTH = 1,     // depth test on (the window's default)
    BLEND = 2,     // alpha blending, as the loading and world scenes draw
    RGBA = 4,      // a 32-bit picture instead of a 24-bit one
    NEAREST = 8,   // nearest instead of linear filtering
    NO_QUAD = 16,  // the clear alone
};

GLuint texture_rgb, texture_rgba;
int bench_argc;
char** bench_argv;

GLuint make_texture(bool alpha)
{
    const unsigned size = 512, channels = alpha ? 4 : 3;
    std::vector<uint8_t> pixels((size_t)size * size * channels);
    for (size_t i = 0; i < pixels.size(); i++) pixels[i] = (uint8_t)(i * 7 + i / 1531);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, alpha ? GL_RGBA : GL_RGB, size, size, 0, alpha ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, pixels.data());
    return name;
}

void bench_frame(benchmark::State& state)
{
    int flags = (int)state.range(0);
    GLuint texture = flags & RGBA ? texture_rgba : texture_rgb;
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint filter = flags & NEAREST ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (flags & DEPTH)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    if (flags & BLEND) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    glFinish();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        if (!(flags & NO_QUAD)) draw_quad(0.0f, 0.0f, 640.0f, 480.0f, texture, 1, 0.0f);
        glFinish();
    }
    // The texture's filters as the loader leaves them.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void register_all()
{
    struct Case {
        const char* name;
        int flags;
    } cases[] = {
        {"clear", DEPTH | NO_QUAD},
        {"picture_rgb_depth", DEPTH},
        {"picture_rgb", 0},
        {"picture_rgb_depth_nearest", DEPTH | NEAREST},
        {"picture_rgba_depth", DEPTH | RGBA},
        {"picture_rgb_depth_blend", DEPTH | BLEND},
        {"picture_rgba_depth_blend", DEPTH | BLEND | RGBA},
        {"picture_rgba_blend", BLEND | RGBA},
    };
    for (const Case& c : cases)
        benchmark::RegisterBenchmark(c.name, bench_frame)->Arg(c.flags)->Unit(benchmark::kMillisecond);
}

void run_benchmarks(const char*)
{
    texture_rgb = make_texture(false);
    texture_rgba = make_texture(true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform_exit(0);
}

}  // namespace

int main(int argc, char** argv)
{
    // --size WxH picks the surface; the rest goes to Google Benchmark.
    unsigned width = 640, height = 480;
    std::vector<char*> args;
    for (int i = 0; i < argc; i++) {
        if (std::string(argv[i]) == "--size" && i + 1 < argc) {
            if (sscanf(argv[++i], "%ux%u", &width, &height) != 2) return 2;
        } else {
            args.push_back(argv[i]);
        }
    }
    bench_argc = (int)args.size();
    bench_argv = args.data();
    benchmark::Initialize(&bench_argc, bench_argv);
    if (benchmark::ReportUnrecognizedArguments(bench_argc, bench_argv)) return 2;
    benchmark::AddCustomContext("surface", std::to_string(width) + "x" + std::to_string(height));

    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_OFFSCREEN, &why)) {
        fprintf(stderr, "bench_draw: %s\n", why);
        return 1;
    }
    platform_headless_set_surface_size(width, height);
    register_all();
    GlWindow* window = new GlWindow(640, 480, 32, 16, 1, "bench_draw", "");
    demo_window = window;
    window->init_callback = run_benchmarks;
    window->run();
    return 1;   // run_benchmarks ends the process
}
