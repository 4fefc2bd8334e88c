// gl_test.h: runs a test body inside a real GlWindow on the headless backend
// (Mesa through EGL, no X server), then reads back what it drew.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

struct Rgb { int r, g, b; };

struct Frame {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;   // bottom row first, as GL reads it: at(x, y) counts from the bottom-left
    Rgb at(unsigned x, unsigned y) const { auto p = rgb.begin() + (y * width + x) * 3; return {p[0], p[1], p[2]}; }
};

// Runs body as the init callback of a 640x480 windowed GlWindow (context current,
// default state set), then ends the main loop. Another surface size with surface_w/h.
void run_in_window(const std::function<void()>& body, unsigned surface_w = 0, unsigned surface_h = 0);

Frame read_frame(unsigned width = 640, unsigned height = 480);

// A texture of one colour, or of four quadrants as seen upright. Returns the GL name.
uint32_t quadrant_texture(Rgb bottom_left, Rgb bottom_right, Rgb top_left, Rgb top_right, unsigned size = 8);
inline uint32_t solid_texture(uint8_t r, uint8_t g, uint8_t b, unsigned size = 8)
{
    return quadrant_texture({r, g, b}, {r, g, b}, {r, g, b}, {r, g, b}, size);
}

inline bool near(Rgb a, Rgb b, int tolerance = 2)
{
    return abs(a.r - b.r) <= tolerance && abs(a.g - b.g) <= tolerance && abs(a.b - b.b) <= tolerance;
}
