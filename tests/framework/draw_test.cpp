// draw_test.cpp: the drawing primitives as a viewer sees them, on Mesa: where
// a quad lands, which way up its picture is, and what it leaves in the
// model-view matrix.
#include "demo/draw.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

static const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255}, black{0, 0, 0};

static void expect_pixel(const Frame& f, unsigned x, unsigned y, Rgb want)
{
    Rgb got = f.at(x, y);
    EXPECT_TRUE(near(got, want)) << "at (" << x << ", " << y << "): got " << got.r << "," << got.g << ","
                                 << got.b << " want " << want.r << "," << want.g << "," << want.b;
}

TEST(DrawQuad, FullScreenCardCoversTheFrameUpright)
{
    run_in_window([] {
        uint32_t tex = quadrant_texture(red, green, blue, white);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(0, 0, 640, 480, tex, 1, 0);
        Frame f = read_frame();
        expect_pixel(f, 0, 0, red);        // bottom-left
        expect_pixel(f, 639, 0, green);    // bottom-right
        expect_pixel(f, 0, 479, blue);     // top-left
        expect_pixel(f, 639, 479, white);  // top-right
        expect_pixel(f, 100, 100, red);
        expect_pixel(f, 500, 400, white);
        // Each quadrant ends exactly at the middle of the frame.
        expect_pixel(f, 319, 239, red);
        expect_pixel(f, 320, 239, green);
        expect_pixel(f, 319, 240, blue);
        expect_pixel(f, 320, 240, white);
    });
}

TEST(DrawQuad, AngleTurnsCounterClockwiseAboutTheCentre)
{
    run_in_window([] {
        uint32_t tex = quadrant_texture(red, green, blue, white);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // 200 wide, 100 high, centred on (200, 150); turned a quarter it is
        // 100 wide and 200 high about the same centre: x 150..250, y 50..250.
        draw_quad(100, 100, 200, 100, tex, 1, 90);
        Frame f = read_frame();
        expect_pixel(f, 240, 60, red);     // bottom-left corner went to bottom-right
        expect_pixel(f, 240, 240, green);  // bottom-right went to top-right
        expect_pixel(f, 160, 240, white);  // top-right went to top-left
        expect_pixel(f, 160, 60, blue);    // top-left went to bottom-left
        expect_pixel(f, 120, 150, black);  // where the unturned quad's ends were
        expect_pixel(f, 280, 150, black);
        expect_pixel(f, 200, 40, black);
        expect_pixel(f, 200, 260, black);
    });
}

TEST(DrawQuad, NegativeWidthOrHeightMirrorsAboutTheCentre)
{
    run_in_window([] {
        uint32_t tex = quadrant_texture(red, green, blue, white);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Both centred on (200, 150) resp. (450, 150), 200 x 100.
        draw_quad(300, 100, -200, 100, tex, 1, 0);
        draw_quad(350, 200, 200, -100, tex, 1, 0);
        Frame f = read_frame();
        // Left and right swapped, still upright.
        expect_pixel(f, 150, 120, green);
        expect_pixel(f, 250, 120, red);
        expect_pixel(f, 150, 180, white);
        expect_pixel(f, 250, 180, blue);
        expect_pixel(f, 90, 150, black);
        expect_pixel(f, 310, 150, black);
        // Top and bottom swapped, not turned.
        expect_pixel(f, 400, 120, blue);
        expect_pixel(f, 500, 120, white);
        expect_pixel(f, 400, 180, red);
        expect_pixel(f, 500, 180, green);
    });
}

static void read_matrix(GLenum which, float m[16]) { glGetFloatv(which, m); }

TEST(DrawQuad, OverlayLeavesTheCallersMatricesAlone)
{
    run_in_window([] {
        uint32_t tex = solid_texture(0, 255, 0);
        glLoadIdentity();
        glTranslatef(1.0f, 2.0f, -3.0f);
        glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
        float model_before[16], proj_before[16], model_after[16], proj_after[16];
        read_matrix(GL_MODELVIEW_MATRIX, model_before);
        read_matrix(GL_PROJECTION_MATRIX, proj_before);
        draw_quad(10, 20, 30, 40, tex, 1, 45);
        read_matrix(GL_MODELVIEW_MATRIX, model_after);
        read_matrix(GL_PROJECTION_MATRIX, proj_after);
        for (int i = 0; i < 16; i++) {
            EXPECT_EQ(model_before[i], model_after[i]) << i;
            EXPECT_EQ(proj_before[i], proj_after[i]) << i;
        }
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
    });
}

TEST(DrawQuad, PerspectiveQuadKeepsItsTranslationAndRotation)
{
    run_in_window([] {
        uint32_t tex = solid_texture(0, 0, 255);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -5.0f);
        // A 2 x 2 quad centred on the view axis, 5 units in front.
        draw_quad(-1, -1, 2, 2, tex, 0, 30);
        Frame f = read_frame();
        expect_pixel(f, 320, 240, blue);
        expect_pixel(f, 5, 5, black);
        expect_pixel(f, 634, 474, black);

        // What stays multiplied in: translate(x + w/2, y + h/2, 0), then a
        // 30 degree turn about z.
        glLoadIdentity();
        draw_quad(1, 2, 2, 4, tex, 0, 30);
        float m[16];
        read_matrix(GL_MODELVIEW_MATRIX, m);
        const float c = std::cos(30.0f * 3.14159265f / 180.0f), s = std::sin(30.0f * 3.14159265f / 180.0f);
        const float want[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 2, 4, 0, 1};
        for (int i = 0; i < 16; i++) EXPECT_NEAR(m[i], want[i], 1e-5f) << i;
    });
}

TEST(DrawQuad, LaterOverlayQuadCoversTheEarlierOne)
{
    run_in_window([] {
        uint32_t red_tex = solid_texture(255, 0, 0), green_tex = solid_texture(0, 255, 0);
        // With the window's depth test on (equal depths pass) ...
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(0, 0, 640, 480, red_tex, 1, 0);
        draw_quad(100, 100, 200, 200, green_tex, 1, 0);
        Frame f = read_frame();
        expect_pixel(f, 200, 200, green);
        expect_pixel(f, 50, 50, red);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(100, 100, 200, 200, green_tex, 1, 0);
        draw_quad(0, 0, 640, 480, red_tex, 1, 0);
        f = read_frame();
        expect_pixel(f, 200, 200, red);
        // ... and with it off.
        glDisable(GL_DEPTH_TEST);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_quad(0, 0, 640, 480, red_tex, 1, 0);
        draw_quad(100, 100, 200, 200, green_tex, 1, 0);
        f = read_frame();
        expect_pixel(f, 200, 200, green);
        glEnable(GL_DEPTH_TEST);
    });
}
