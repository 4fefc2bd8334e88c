// loading.cpp: scene_loading, the make-believe loading screen that opens the
// show (the pictures are already loaded by then). For 14.5 s a boat creeps
// across the first loading picture like a progress bar; then a second picture
// takes its place, the boat shakes, and after 22 s both fade to black.
// Depends on draw.h, the texture table, OpenGL.
#include "draw.h"
#include "show_internals.h"

#include "platform/gl.h"

#include <cmath>

// Scene state (static, never reset).
static float loading_clock;
static float loading_fade = 1.0f;

void scene_loading(float delta)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    float c = loading_clock + delta;
    loading_clock = c;

    float v;
    uint32_t background;
    if (c < 14.5f) {
        // Creeping: a thirtieth of the way per second. No colour is set, so
        // the pictures show under the initial white.
        v = c * 0.033333335f;
        background = texture_table[SLOT_LOADING];
    } else {
        v = (float)sin((double)(c * 10.0f));
        if (c > 22.0f) loading_fade = loading_fade - delta * 0.5f;
        // Not clamped: below 0 OpenGL clamps the colour to black.
        glColor3f(loading_fade, loading_fade, loading_fade);
        background = texture_table[SLOT_LOADING2];
    }
    draw_full_screen(background);

    // Four boat frames a second.
    int frame = (int)(loading_clock * 4.0f) % 4;
    draw_quad(fabsf(v) * 350.0f + 50.0f, 140.0f, 192.0f, 192.0f, texture_table[SLOT_BAAT1 + frame], 1, 0.0f);
}
