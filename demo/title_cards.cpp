// title_cards.cpp: scene_title_cards, three full-screen title cards, each
// faded in from black and out again, under five small stars that twinkle,
// spin and jump to new random places. The first card comes after 7 s.
// Depends on draw.h, the texture table, star field and show_rand(), OpenGL.
#include "draw.h"
#include "show_internals.h"

#include "platform/gl.h"

#include <cmath>

// Scene state (static, never reset).
static float title_clock;

static const double two_pi_approx = 6.2831852;   // a little below 2 pi
static const float restart_brightness = 0.000001f;
static const double rand_scale = 1.0 / 32767.0;

static void grey(float v) { glColor3f(v, v, v); }

static void draw_card(float clock)
{
    glLoadIdentity();
    grey(clock < 10.0f ? (clock - 7.0f) * 0.33333334f : 1.0f);
    uint32_t card;
    if (clock < 15.0f) {
        card = texture_table[SLOT_DEDOZUVO512];
        if (clock > 13.0f) grey(1.0f - (clock - 13.0f) * 0.5f);
    } else if (clock < 22.0f) {
        card = texture_table[SLOT_IN_THE_YEAR];
        if (clock < 17.0f) grey((clock - 15.0f) * 0.5f);
        if (clock > 20.0f) grey(1.0f - (clock - 20.0f) * 0.5f);
    } else {
        card = texture_table[SLOT_DEDOZUVO_ATTACK];
        if (clock < 24.0f) grey((clock - 22.0f) * 0.5f);
        if (clock > 26.0f) {
            // The last card stays drawn after its fade, in black.
            float v = 1.0f - (clock - 26.0f) * 0.5f;
            grey(v < 0.0f ? 0.0f : v);
        }
    }
    draw_full_screen(card);
}

static void restart_star(StarParticle& star)
{
    int r1 = show_rand();
    int r2 = show_rand();
    star.x = (float)(r1 * rand_scale * 10.0 - 5.0);
    star.y = (float)(r2 * rand_scale * 10.0 - 5.0);
    star.period = 4.0f;
    star.age = 0.0f;
    star.brightness = 0.0f;
    star.visible = true;
}

void scene_title_cards(float delta)
{
    float clock = title_clock + delta;
    title_clock = clock;

    // The card is drawn under the star blending that this scene set on its
    // previous frame: a black card leaves the screen as it is.
    if (clock > 7.0f) draw_card(clock);

    // Each channel becomes src * src + dst * (1 - src).
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    glDisable(GL_DEPTH_TEST);

    for (StarParticle& star : star_field) {
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -10.0f);
        star.age = star.age + delta;
        if (star.age > star.period)
            star.brightness = 0.0f;
        else
            star.brightness = (float)sin(star.age / star.period * two_pi_approx);
        if (star.visible) {
            grey(star.brightness);
            // All stars spin together, 60 degrees a second, each about its centre.
            draw_quad(star.x, star.y, 1.0f, 1.0f, texture_table[SLOT_STAR], 0, clock * 60.0f);
        }
        // The end of a twinkle (the sine crossing 0): a new star elsewhere.
        if (star.brightness < restart_brightness) restart_star(star);
    }
}
