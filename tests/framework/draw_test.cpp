// draw_test.cpp: the drawing primitives as a viewer sees them, on Mesa.
#include "demo/draw.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

static const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255}, black{0, 0, 0};

TEST(DrawQuad, FullScreenCardCoversTheFrameUpright)
{
    run_in_window([] {
        uint32_t tex = quadrant_texture(red, green, blue, white);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(0, 0, 640, 480, tex, 1, 0);
        Frame f = read_frame();
        EXPECT_TRUE(near(f.at(0, 0), red));        // bottom-left
        EXPECT_TRUE(near(f.at(639, 0), green));    // bottom-right
        EXPECT_TRUE(near(f.at(0, 479), blue));     // top-left
        EXPECT_TRUE(near(f.at(639, 479), white));  // top-right
        EXPECT_TRUE(near(f.at(100, 100), red));
        EXPECT_TRUE(near(f.at(500, 400), white));
    });
}
