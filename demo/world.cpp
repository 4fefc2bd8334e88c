// world.cpp: scene_world, a backdrop that fades in from black over 2 s and,
// from 5 s on, a figure that jumps up from the bottom of the screen, falls
// back and lands on a ground line at height 150 until its next jump.
// Depends on draw.h, the texture table, OpenGL.
#include "draw.h"
#include "show_internals.h"

#include "platform/gl.h"

#include <cmath>

// Scene state (static, never reset).
static float world_clock;
static float previous_height = -1000.0f;

static const float ground_line = 150.0f;
// Above any height the sine gives after a landing, so the figure stays down
// until the curve climbs over the ground line again.
static const float grounded_marker = 160.0f;

void scene_world(float delta)
{
    float clock = world_clock + delta;
    world_clock = clock;

    float fade = clock < 2.0f ? clock * 0.5f : 1.0f;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Alpha stays 1: the fade darkens, the textures' alpha cuts out.
    glColor3f(fade, fade, fade);
    draw_full_screen(texture_table[SLOT_WORLD]);

    if (clock <= 5.0f) return;

    float b = (float)(sin((double)(clock - 5.0f)) * 300.0);
    float height;
    if (b <= ground_line && b < previous_height) {
        // Falling at or below the ground line: landed.
        height = ground_line;
        previous_height = grounded_marker;
    } else {
        height = b;
        previous_height = b;
    }
    draw_quad(200.0f, height, 256.0f, 256.0f, texture_table[SLOT_HOPPER], 1, 0.0f);
}
