// timeline_test.cpp: which picture or scene the timeline shows on both sides
// of each threshold, driven by a fake millisecond clock. Each case runs in a
// fresh process so every scene meets it on its first frame, as in the show.
// The start time sits just before the 32-bit clock wraps, so most cases are
// read across the wrap.
#include "show_support.h"

#include "tests/sound/child_process.h"

#include "demo/demo.h"
#include "demo/draw.h"
#include "demo/show.h"
#include "framework/glwindow.h"
#include "platform/platform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

static const Rgb black{0, 0, 0};

enum Shown { LOADING, TITLE, WORLD, ATTACK, SLIDESHOW, KNIFE, CUBE, CARD };

struct Case {
    uint32_t elapsed;
    Shown shown;
    int slot;   // for CARD
};

// Draws one frame of the timeline at `elapsed` ms since a start time of
// `start`, with a frame delta of 1 s, and checks what it shows.
static void check_frame(uint32_t start, const Case& c)
{
    fill_texture_table();
    // A star at (0, 0) that reaches full brightness on this frame: the sign
    // that the title scene ran.
    for (StarParticle& star : star_field) star = {0.0f, 0.0f, 0.0f, 1e9f, 0.0f, false};
    star_field[0] = {0.0f, 0.0f, 0.0f, 4.0f, 0.0f, true};
    demo_start_time = start;
    platform_headless_set_clocks(start + c.elapsed, 0, 0);
    demo_window->FrameDelta = 1.0;
    glColor3f(1, 1, 1);
    demo_frame("");
    Frame f = read_frame();
    Rgb corner = f.at(600, 420), centre = f.at(345, 265), left = f.at(152, 240);
    std::string what = "at " + std::to_string(c.elapsed) + " ms";
    switch (c.shown) {
    case LOADING:
        EXPECT_TRUE(near(corner, slot_colour(2))) << what << ": the loading picture";
        EXPECT_TRUE(near(f.at(150, 200), slot_colour(4 + 0))) << what << ": the boat";
        break;
    case TITLE:
        EXPECT_TRUE(near(centre, slot_colour(1))) << what << ": a star of the title scene";
        EXPECT_TRUE(near(corner, black)) << what << ": no card yet";
        break;
    case WORLD:
        EXPECT_TRUE(near(corner, scaled(slot_colour(10), 0.5f))) << what << ": the world backdrop fading in";
        break;
    case ATTACK:
        EXPECT_TRUE(near(corner, slot_colour(12))) << what << ": the attack flicker";
        break;
    case SLIDESHOW:
        EXPECT_TRUE(near(corner, slot_colour(16))) << what << ": the slideshow";
        break;
    case KNIFE:
        EXPECT_TRUE(near(corner, slot_colour(18))) << what << ": the knife flicker";
        break;
    case CUBE:
        EXPECT_TRUE(near(corner, slot_colour(22))) << what << ": the cube's logo";
        EXPECT_TRUE(near(left, scaled(slot_colour(21), 0.7f))) << what << ": the box";
        break;
    case CARD:
        EXPECT_TRUE(near(corner, slot_colour(c.slot))) << what << ": still card " << c.slot;
        EXPECT_TRUE(near(left, slot_colour(c.slot))) << what << ": still card " << c.slot;
        break;
    }
}

static const uint32_t near_wrap = 0xFFFFFFFFu - 60000u;

TEST(Timeline, EachSideOfEveryThreshold)
{
    const Case cases[] = {
        {0, LOADING, 0},         {27000, LOADING, 0},     {27001, TITLE, 0},       {56000, TITLE, 0},
        {56001, WORLD, 0},       {66000, WORLD, 0},       {66001, ATTACK, 0},      {71000, ATTACK, 0},
        {71001, CARD, 13},       {78000, CARD, 13},       {78001, SLIDESHOW, 0},   {95000, SLIDESHOW, 0},
        {95001, KNIFE, 0},       {100000, KNIFE, 0},      {100001, CARD, 23},      {104000, CARD, 23},
        {104001, CARD, 20},      {106000, CARD, 20},      {106001, CUBE, 0},       {116000, CUBE, 0},
        {116001, CARD, 24},      {121000, CARD, 24},      {121001, CARD, 25},      {126000, CARD, 25},
        {126001, CARD, 26},      {131000, CARD, 26},      {131001, CARD, 27},      {136000, CARD, 27},
        {136001, CARD, 28},      {141000, CARD, 28},      {141001, CARD, 29},      {146000, CARD, 29},
        {146001, CARD, 30},      {151000, CARD, 30},      {151001, CARD, 31},      {159000, CARD, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("elapsed " + std::to_string(c.elapsed) + " ms");
        EXPECT_IN_CHILD([&c] { run_in_window([&c] { check_frame(near_wrap, c); }); });
    }
    // The same answers far from the wrap.
    for (const Case& c : {cases[1], cases[2], cases[32], cases[33]}) {
        SCOPED_TRACE("elapsed " + std::to_string(c.elapsed) + " ms, start 5000");
        EXPECT_IN_CHILD([&c] { run_in_window([&c] { check_frame(5000, c); }); });
    }
}

// Blending is switched off just before the world scene on every frame of its
// window, and left alone for the other scenes. A probe stands in for the
// scene to see the state it is called in.
static bool blend_when_called;
static int probe_calls;
static void probe_scene(float)
{
    blend_when_called = glIsEnabled(GL_BLEND);
    probe_calls++;
}

TEST(Timeline, BlendingOffBeforeTheWorldScene)
{
    EXPECT_IN_CHILD([] {
        run_in_window([] {
            fill_texture_table();
            for (TimelineStep& step : timeline)
                if (step.scene) step.scene = probe_scene;
            demo_start_time = 1000;
            for (uint32_t elapsed : {56001u, 60000u, 66000u, 66001u, 27001u}) {
                glEnable(GL_BLEND);
                platform_headless_set_clocks(1000 + elapsed, 0, 0);
                demo_frame("");
                bool world = elapsed >= 56001 && elapsed <= 66000;
                EXPECT_EQ(blend_when_called, !world) << elapsed << " ms";
            }
            EXPECT_EQ(probe_calls, 5);
        });
    });
}

// The end: after 159000 ms the frame is cleared and the process ends with
// exit code 0 through platform_exit; the frame gets no card.
static void on_exit_check_frame(int code)
{
    Frame f = read_frame();
    bool black_frame = true;
    for (uint8_t v : f.rgb) black_frame = black_frame && v == 0;
    printf("exit hook: code %d, frame %s\n", code, black_frame ? "black" : "not black");
    if (::testing::Test::HasFailure()) _exit(1);
}

TEST(Timeline, EndsTheProcessAfter159Seconds)
{
    ChildResult result = run_in_child([] {
        run_in_window([] {
            fill_texture_table();
            platform_on_exit(on_exit_check_frame);
            demo_start_time = near_wrap;
            glColor3f(1, 1, 1);
            draw_quad(0, 0, 640, 480, texture_table[5], 1, 0);   // something to clear
            platform_headless_set_clocks(near_wrap + 159001, 0, 0);
            demo_frame("");
            ADD_FAILURE() << "demo_frame returned after the end of the show";
        });
    });
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_NE(result.out.find("exit hook: code 0, frame black"), std::string::npos) << result.out;
}
