// timeline_test.cpp: which picture or scene the timeline shows on both sides
// of each threshold, on a fake millisecond clock, in show order in one process
// (so each scene starts as in the show), read across the 32-bit clock's wrap.
#include "show_support.h"
#include "tests/sound/child_process.h"

#include "demo/demo.h"
#include "demo/show_internals.h"
#include "framework/glwindow.h"
#include "platform/headless.h"
#include "platform/platform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

static const uint32_t start = 0xFFFFFFFFu - 60000u;

enum Shown { LOADING, TITLE, WORLD, ATTACK, SLIDESHOW, KNIFE, CUBE, CARD };

// Draws the frame at `elapsed` ms with a frame delta of 1 s and checks it.
static void check_frame(uint32_t elapsed, Shown shown, int slot)
{
    SCOPED_TRACE("elapsed " + std::to_string(elapsed) + " ms");
    // A star at (0, 0) that reaches full brightness on this frame: the sign
    // that the title scene ran.
    for (StarParticle& star : star_field) star = {0.0f, 0.0f, 0.0f, 1e9f, 0.0f, false};
    star_field[0] = {0.0f, 0.0f, 0.0f, 4.0f, 0.0f, true};
    platform_headless_set_clocks(start + elapsed, 0, 0);
    glColor3f(1, 1, 1);
    demo_frame("");
    Frame f = read_frame();
    Rgb corner = f.at(600, 420), left = f.at(152, 240);
    const Rgb world = slot_colour(10), box = scaled(slot_colour(21), 0.7f);
    bool right = shown == LOADING  ? near(corner, slot_colour(2)) && near(f.at(150, 200), slot_colour(4))   // and boat
               : shown == TITLE    ? near(f.at(345, 265), slot_colour(1)) && near(corner, Rgb{0, 0, 0})   // no card yet
               : shown == WORLD    ? near(corner, scaled(world, 0.5f)) || near(corner, world)   // fading in over 2 s
               : shown == ATTACK   ? near(corner, slot_colour(12))
               : shown == SLIDESHOW ? near(corner, slot_colour(16))
               : shown == KNIFE    ? near(corner, slot_colour(18))
               : shown == CUBE     ? near(corner, slot_colour(22)) && near(left, box)   // logo and box
                                   : near(corner, slot_colour(slot)) && near(left, slot_colour(slot));
    const char* const names[] = {"loading", "title", "world", "attack", "slideshow", "knife", "cube", "card"};
    EXPECT_TRUE(right) << "not the " << names[shown] << " " << slot;
}

// Stands in for the scenes to see whether blending is on when each is called.
static bool blend_when_called;
static void probe_scene(float) { blend_when_called = glIsEnabled(GL_BLEND); }

TEST(Timeline, EachSideOfEveryThreshold)
{
    EXPECT_IN_CHILD([] {
        run_in_window([] {
            fill_texture_table();
            platform_on_exit([](int) { _exit(3); });   // the show ends early: exit code 0 would hide it
            demo_start_time = start;
            demo_window->FrameDelta = 1.0;
            const struct {
                uint32_t elapsed;
                Shown shown;
                int slot;   // for CARD
            } cases[] = {
                {0, LOADING, 0},      {27000, LOADING, 0},  {27001, TITLE, 0},     {56000, TITLE, 0},
                {56001, WORLD, 0},    {66000, WORLD, 0},    {66001, ATTACK, 0},    {71000, ATTACK, 0},
                {71001, CARD, 13},    {78000, CARD, 13},    {78001, SLIDESHOW, 0}, {95000, SLIDESHOW, 0},
                {95001, KNIFE, 0},    {100000, KNIFE, 0},   {100001, CARD, 23},    {104000, CARD, 23},
                {104001, CARD, 20},   {106000, CARD, 20},   {106001, CUBE, 0},     {116000, CUBE, 0},
                {116001, CARD, 24},   {121000, CARD, 24},   {121001, CARD, 25},    {126000, CARD, 25},
                {126001, CARD, 26},   {131000, CARD, 26},   {131001, CARD, 27},    {136000, CARD, 27},
                {136001, CARD, 28},   {141000, CARD, 28},   {141001, CARD, 29},    {146000, CARD, 29},
                {146001, CARD, 30},   {151000, CARD, 30},   {151001, CARD, 31},    {159000, CARD, 31},
            };
            // First, in a fresh window: the frame's clear takes the depth buffer too.
            check_frame(71001, CARD, 13);
            for (const auto& c : cases) check_frame(c.elapsed, c.shown, c.slot);

            // Blending is switched off just before the world scene on every
            // frame of its window, and left alone for the other scenes.
            for (TimelineStep& step : timeline)
                if (step.scene) step.scene = probe_scene;
            for (uint32_t elapsed : {56001u, 60000u, 66000u, 66001u, 27001u}) {
                glEnable(GL_BLEND);
                blend_when_called = true;
                platform_headless_set_clocks(start + elapsed, 0, 0);
                demo_frame("");
                EXPECT_EQ(blend_when_called, elapsed < 56001 || elapsed > 66000) << elapsed << " ms";
            }
        });
    });
}
