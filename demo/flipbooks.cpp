// flipbooks.cpp: three scenes of full-screen pictures picked by their scene
// clock, without fades: two 4 Hz flickers (attack, pocket knife) and a
// four-picture slideshow. They leave blending and depth testing as the earlier
// scenes set them.
// Depends on draw.h, the texture table, OpenGL.
#include "draw.h"
#include "show_internals.h"

#include "platform/gl.h"

// Scene state (static, never reset): one clock per scene.
static float attack_clock;
static float slideshow_clock;
static float knife_clock;

static void full_screen(int slot) { draw_full_screen(texture_table[slot]); }

// Quarter seconds since the scene began; the clock is never negative.
static int quarter_seconds(float clock) { return (int)(clock * 4.0f); }

void scene_attack_flicker(float delta)
{
    attack_clock = attack_clock + delta;
    int slot = quarter_seconds(attack_clock) % 2 ? SLOT_ANGREP2 : SLOT_ANGREP;
    glColor3f(1.0f, 1.0f, 1.0f);
    full_screen(slot);
}

void scene_slideshow(float delta)
{
    slideshow_clock = slideshow_clock + delta;
    // White also on calls that draw nothing: the knife flicker after this
    // scene draws in the colour left here.
    glColor3f(1.0f, 1.0f, 1.0f);
    float clock = slideshow_clock;
    if (clock < 3.0f)
        full_screen(SLOT_VERDENSLEDERE);
    else if (clock < 7.0f)
        full_screen(SLOT_MAGGYVER_TV);
    else if (clock < 14.0f)
        full_screen(SLOT_MAGGYVER_TV_2);
    else if (clock < 17.0f)
        full_screen(SLOT_VERDENSLEDERE_2);
}

void scene_knife_flicker(float delta)
{
    knife_clock = knife_clock + delta;
    full_screen(SLOT_LOMMEKNIV + quarter_seconds(knife_clock) % 2);
}
