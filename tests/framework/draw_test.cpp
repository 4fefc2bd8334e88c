// draw_test.cpp: draw_quad as a viewer sees it, on Mesa: where a quad lands, which way up its
// picture is, which of two overlapping quads shows, and that an overlay leaves the matrices alone.
#include "demo/draw.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <array>
#include <vector>

static const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255}, black{0, 0, 0};

struct Probe { unsigned x, y; Rgb want; };

static void expect_pixels(const char* what, const std::vector<Probe>& probes)
{
    Frame f = read_frame();
    for (const Probe& p : probes) {
        Rgb got = f.at(p.x, p.y);
        EXPECT_TRUE(near(got, p.want)) << what << " at (" << p.x << ", " << p.y << "): got " << got.r << " "
                                       << got.g << " " << got.b;
    }
}

TEST(DrawQuad, OverlayQuadLandsUprightOrTurned)
{
    // The picture: red bottom-left, green bottom-right, blue top-left, white top-right.
    const struct { const char* what; float x, y, w, h, angle; std::vector<Probe> probes; } rows[] = {
        {"full screen, each quadrant ending at the middle", 0, 0, 640, 480, 0,
         {{0, 0, red}, {639, 0, green}, {0, 479, blue}, {639, 479, white},
          {319, 239, red}, {320, 239, green}, {319, 240, blue}, {320, 240, white}}},
        // 200x100 about (200, 150); turned a quarter: x 150..250, y 50..250.
        {"turned counter-clockwise about its centre", 100, 100, 200, 100, 90,
         {{240, 60, red}, {240, 240, green}, {160, 240, white}, {160, 60, blue},
          {120, 150, black}, {280, 150, black}, {200, 40, black}, {200, 260, black}}},
    };
    run_in_window([&] {
        uint32_t tex = quadrant_texture(red, green, blue, white);
        for (const auto& row : rows) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            draw_quad(row.x, row.y, row.w, row.h, tex, 1, row.angle);
            expect_pixels(row.what, row.probes);
        }
    });
}

TEST(DrawQuad, LaterOverlayCoversTheEarlierOneAndLeavesTheMatricesPerspectiveQuadInFront)
{
    run_in_window([] {
        // With the window's depth test on: equal depths must pass.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(0, 0, 640, 480, solid_texture(255, 0, 0), 1, 0);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -5.0f);
        std::array<float, 16> model, projection, after;
        glGetFloatv(GL_MODELVIEW_MATRIX, model.data());
        glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
        draw_quad(100, 100, 200, 200, solid_texture(0, 255, 0), 1, 45);
        expect_pixels("overlay on overlay", {{200, 200, green}, {50, 50, red}});
        glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
        EXPECT_EQ(after, model);
        glGetFloatv(GL_PROJECTION_MATRIX, after.data());
        EXPECT_EQ(after, projection);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        // 2 x 2, 5 units in front: 50 degrees of view put its side (turned 30 degrees) 119 pixels out.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(-1, -1, 2, 2, solid_texture(0, 0, 255), 0, 30);
        expect_pixels("perspective quad", {{320, 240, blue}, {430, 240, blue}, {446, 240, black}, {5, 5, black}});
    });
}
