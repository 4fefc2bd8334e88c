// scenes_test.cpp: the seven scenes as a viewer sees them. Each test runs in
// a fresh process (the scenes' state is static and never reset), renders with
// Mesa through the headless backend, gives every texture slot its own solid
// colour and calls the scene functions directly with chosen frame deltas.
// Overlay space is 640x480 with the origin bottom-left, so frame pixel (x, y)
// is overlay unit (x, y).
#include "show_support.h"
#include "tests/sound/child_process.h"

#include "demo/draw.h"
#include "demo/show_internals.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

static const Rgb black{0, 0, 0};

static void expect_colour(const Frame& f, unsigned x, unsigned y, Rgb want, const std::string& what)
{
    Rgb got = f.at(x, y);
    EXPECT_TRUE(near(got, want)) << what << " at (" << x << ", " << y << "): got " << got.r << "," << got.g << ","
                                 << got.b << " want " << want.r << "," << want.g << "," << want.b;
}

// An edge between two colours at x = edge (vertical) or y = edge: checked on
// the pixels each side of a whole-pixel edge, else one pixel clear of it.
static void expect_edge(const Frame& f, bool vertical, float edge, unsigned across, Rgb before, Rgb after,
                        const std::string& what)
{
    unsigned a = (unsigned)floorf(edge) - 1, b = (unsigned)floorf(edge) + (edge == floorf(edge) ? 0 : 1);
    expect_colour(f, vertical ? a : across, vertical ? across : a, before, what);
    expect_colour(f, vertical ? b : across, vertical ? across : b, after, what);
}

static Frame frame_after(void (*scene)(float), float delta)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    scene(delta);
    return read_frame();
}

// A test whose body runs in a fresh process, in a headless window with the slot colours.
#define SCENE_TEST(suite, name)                                                                         \
    static void suite##_##name();                                                                       \
    TEST(suite, name) { EXPECT_IN_CHILD([] { run_in_window([] { fill_texture_table(); suite##_##name(); }); }); } \
    static void suite##_##name()

SCENE_TEST(LoadingScene, BoatCreepsShakesAndFades)
{
    auto boat_left = [](double v) { return (float)(fabs(v) * 350.0 + 50.0); };
    const float tick = 1.0f / 1024.0f, just_below = 14.5f - tick;
    // Background slot and grey, the boat's left edge and frame.
    struct Step { float delta; int background; float grey, boat_left; int boat_frame; } steps[] = {
        {0.0f, 2, 1, 50, 0},
        {0.25f, 2, 1, boat_left(0.25 / 30.0), 1},   // creeping a thirtieth of 350 a second
        {just_below - 0.25f, 2, 1, boat_left(just_below / 30.0), 57 % 4},
        {tick, 3, 1, boat_left(sin(145.0)), 58 % 4},   // 14.5 s: the second picture, shaking
        {7.5f, 3, 1, boat_left(sin(220.0)), 0},        // 22 s: no fade yet
        {0.5f, 3, 0.75f, boat_left(sin(225.0)), 2},    // fading at 0.5 a second
        {0.0f, 3, 0.75f, boat_left(sin(225.0)), 2},
        {1.0f, 3, 0.25f, boat_left(sin(235.0)), 2},
    };
    float clock = 0;
    for (const Step& s : steps) {
        clock += s.delta;
        std::string what = "at " + std::to_string(clock) + " s";
        Frame f = frame_after(scene_loading, s.delta);
        Rgb background = scaled(slot_colour(s.background), s.grey), boat = scaled(slot_colour(4 + s.boat_frame), s.grey);
        expect_colour(f, 600, 420, background, what);
        expect_edge(f, true, s.boat_left, 200, background, boat, "boat " + what);
        expect_edge(f, true, s.boat_left + 192, 200, boat, background, "boat's right " + what);
        expect_edge(f, false, 140, (unsigned)s.boat_left + 50, background, boat, "boat's bottom " + what);
        expect_edge(f, false, 332, (unsigned)s.boat_left + 50, boat, background, "boat's top " + what);
    }
    // Past 24 s the grey is below 0, which shows as black.
    Frame f = frame_after(scene_loading, 1.0f);
    for (unsigned x : {150u, 600u}) expect_colour(f, x, 200, black, "at 24.5 s");
}

SCENE_TEST(TitleCards, CardsFadeUnderTheStarBlending)
{
    // Stars that never show and never restart, so only the cards are seen.
    for (StarParticle& star : star_field) star = {0.0f, 0.0f, 1.0f, 1e9f, 2.5e8f, false};
    struct Step { float delta; int slot; float grey; } steps[] = {   // slot -1: no card, or a black one
        {7, -1, 0}, {1.5f, 0, 0.5f}, {1.5f, 0, 1}, {3, 0, 1}, {1, 0, 0.5f}, {1, -1, 0}, {1, 8, 0.5f},   // 7 to 16 s
        {4, 8, 1},  {1, 8, 0.5f},    {1, -1, 0},   {1, 9, 0.5f}, {3, 9, 1},  {1, 9, 0.5f}, {1, -1, 0},   // to 28 s
    };
    float clock = 0;
    for (const Step& step : steps) {
        Frame f = frame_after(scene_title_cards, step.delta);
        std::string what = "card at " + std::to_string(clock += step.delta) + " s";
        // The star blending squares each channel: grey v shows as v^2.
        Rgb want = step.slot < 0 ? black : scaled(slot_colour(step.slot), step.grey * step.grey);
        for (unsigned xy : {5u, 240u}) expect_colour(f, xy, xy, want, what);
    }
    // After 28 s the last card is drawn black, never negative: the screen stays.
    glColor3f(1, 1, 1);
    draw_quad(0, 0, 640, 480, texture_table[2], 1, 0);
    Rgb before = read_frame().at(600, 50);
    scene_title_cards(2.0f);
    expect_colour(read_frame(), 600, 50, before, "screen under the black card at 30 s");
}

SCENE_TEST(TitleCards, StarsRestartAtTheEndOfATwinkleWithinFiveUnits)
{
    // Ages whose brightness, as the scene computes it, is the restart threshold
    // (single-precision 1e-6) and the value just below.
    auto brightness_at = [](float age) { return (float)sin(age / 4.0f * 6.2831852); };
    const float limit = 0.000001f, below = nextafterf(limit, 0.0f);
    float at_limit = -1, at_below = -1;
    for (float age = 6.0e-7f; age < 7.0e-7f; age = nextafterf(age, 1.0f)) {
        if (brightness_at(age) == limit) at_limit = age;
        if (brightness_at(age) == below) at_below = age;
    }
    ASSERT_TRUE(at_limit > 0 && at_below > 0);
    // Past its period a star's brightness is 0; at age 1 it is brightest.
    const float ages[STAR_COUNT] = {at_limit, at_below, 4.5f, 1.0f, 3.0f};
    for (int i = 0; i < STAR_COUNT; i++) star_field[i] = {1.0f, 1.0f, 0.0f, 4.0f, ages[i], false};
    scene_title_cards(0.0f);
    EXPECT_EQ(star_field[0].brightness, limit);
    for (int i = 0; i < STAR_COUNT; i++) {
        bool restarts = i == 1 || i == 2 || i == 4;
        SCOPED_TRACE("star " + std::to_string(i));
        EXPECT_EQ(star_field[i].age, restarts ? 0.0f : ages[i]);
        EXPECT_EQ(star_field[i].visible, restarts);
        EXPECT_TRUE(!restarts || (star_field[i].brightness == 0.0f && star_field[i].period == 4.0f));
    }
    // Restarted stars land anywhere within 5 units of the centre.
    srand(777);
    seed_star_field();
    float low = 0, high = 0;
    for (int frame = 0; frame < 100; frame++) {
        scene_title_cards(0.5f);
        for (const StarParticle& star : star_field) {
            if (!star.visible) continue;
            ASSERT_TRUE(star.x >= -5.0f && star.x <= 5.0f && star.y >= -5.0f && star.y <= 5.0f);
            low = std::min({low, star.x, star.y});
            high = std::max({high, star.x, star.y});
        }
    }
    EXPECT_TRUE(low < -4.0f && high > 4.0f) << low << " to " << high;
}

SCENE_TEST(WorldScene, BackdropFadesAndFigureJumpsAndLands)
{
    const Rgb backdrop = slot_colour(10), figure = slot_colour(11);
    expect_colour(frame_after(scene_world, 1.0f), 600, 420, scaled(backdrop, 0.5f), "backdrop at 1 s");
    expect_colour(frame_after(scene_world, 1.0f), 600, 420, backdrop, "backdrop at 2 s");
    expect_colour(frame_after(scene_world, 3.0f), 300, 100, backdrop, "no figure at exactly 5 s");
    // Clock and the figure's bottom: rising (at the sine, though below the ground
    // line), unchanged (still flying), falling, landed on the ground line once
    // the sine falls below it, held there while negative, the next jump.
    const float steps[][2] = {{5.5f, (float)(sin(0.5) * 300)}, {5.5f, (float)(sin(0.5) * 300)},
                              {6.5f, (float)(sin(1.5) * 300)}, {7.5f, (float)(sin(2.5) * 300)},
                              {8.0f, 150},                     {10.0f, 150},
                              {12.0f, (float)(sin(7.0) * 300)}};
    float clock = 5;
    for (const auto& [at, bottom] : steps) {
        std::string what = "figure at " + std::to_string(at) + " s";
        Frame f = frame_after(scene_world, at - clock);
        clock = at;
        expect_edge(f, false, bottom, 300, backdrop, figure, what);
        if (bottom + 256 < 470) expect_edge(f, false, bottom + 256, 300, figure, backdrop, what + ", top");
        expect_edge(f, true, 200, (unsigned)bottom + 50, backdrop, figure, what + ", left");
        expect_edge(f, true, 456, (unsigned)bottom + 50, figure, backdrop, what + ", right");
    }
}

SCENE_TEST(FlipBooks, FlickersAndSlideshowByTheirClocks)
{
    const auto knife = scene_knife_flicker, attack = scene_attack_flicker, slides = scene_slideshow;
    const float below = 0.25f - 1.0f / 1048576.0f;   // just below a quarter second
    // The slot shown (-1: nothing drawn) in which grey; grey_before: the colour
    // set to half grey before the call.
    struct Step { void (*scene)(float); float delta; int slot; float grey; bool grey_before = false; } steps[] = {
        // The knife in the colour it finds; the attack always in white.
        {knife, 0, 18, 0.5f, true}, {knife, 0.25f, 19, 0.5f}, {knife, 0.25f, 18, 0.5f}, {attack, 0, 12, 1},
        {attack, below, 12, 1}, {attack, 0.25f - below, 32, 1}, {attack, 0.25f, 12, 1}, {attack, 0.25f, 32, 1},
        {attack, 3, 32, 1},
        // The slideshow at 0, 2.5, 3, 6.5, 7, 13.5, 14, 16.5 and 17 s.
        {slides, 0, 16, 1, true}, {slides, 2.5f, 16, 1}, {slides, 0.5f, 14, 1}, {slides, 3.5f, 14, 1},
        {slides, 0.5f, 15, 1},    {slides, 6.5f, 15, 1}, {slides, 0.5f, 17, 1}, {slides, 2.5f, 17, 1},
        {slides, 0.5f, -1, 0},
        // It leaves the colour white, even when it drew nothing.
        {knife, 0.25f, 19, 1},
    };
    for (const Step& s : steps) {
        if (s.grey_before) glColor3f(0.5f, 0.5f, 0.5f);
        Rgb want = s.slot < 0 ? black : scaled(slot_colour(s.slot), s.grey);
        expect_colour(frame_after(s.scene, s.delta), 320, 240, want, "slot " + std::to_string(s.slot));
    }
}

SCENE_TEST(CubeScene, BoxInGreyOverTheLogoTurning)
{
    auto grey = [](Rgb c) { return scaled(c, 0.7f); };
    const Rgb logo = slot_colour(22), box = grey(slot_colour(21));
    const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
    // At angle 0 the box shows its +z face, whose texture runs from s = 1 on
    // the left to s = 0 on the right: the picture appears mirrored.
    GLuint solid = texture_table[21];
    texture_table[21] = quadrant_texture(red, green, blue, white, 64);
    glColor3f(0.2f, 0.2f, 0.2f);   // the logo is drawn in white whatever the colour before
    Frame f = frame_after(scene_cube, 0.0f);
    expect_colour(f, 600, 420, logo, "logo");
    const struct { unsigned x, y; Rgb colour; } front[] = {{100, 320, white}, {220, 320, blue}, {100, 160, green}, {220, 160, red}};
    for (const auto& p : front) expect_colour(f, p.x, p.y, grey(p.colour), "front face, mirrored");

    // Turning at 45 degrees a second: at 90 the narrow side faces the viewer;
    // at 180 the wide side again, about 58 to 240 pixels across, 130 to 350 high.
    texture_table[21] = solid;
    f = frame_after(scene_cube, 2.0f);
    for (unsigned x : {20u, 60u, 150u, 230u}) expect_colour(f, x, 240, x == 150 ? box : logo, "at 90 degrees");
    f = frame_after(scene_cube, 2.0f);
    for (unsigned x : {20u, 60u, 150u, 230u, 260u}) expect_colour(f, x, 240, x % 240 == 20 ? logo : box, "at 180");
    for (unsigned y : {120u, 360u}) expect_colour(f, 150, y, logo, "above and below the box at 180 degrees");
}

SCENE_TEST(CubeScene, TurnsItsLeftSideTowardsTheViewer)
{
    // Seen from above the box turns anticlockwise: at 45 degrees its left end
    // is the near one, larger in the perspective, and the box reaches further
    // out on both sides (about 47 to 241 pixels across) than at 135 degrees,
    // when the right end is near (about 91 to 225).
    const Rgb logo = slot_colour(22), box = scaled(slot_colour(21), 0.7f);
    Frame f = frame_after(scene_cube, 1.0f);
    for (unsigned x : {60u, 233u}) expect_colour(f, x, 240, box, "at 45 degrees");
    f = frame_after(scene_cube, 2.0f);
    for (unsigned x : {60u, 233u}) expect_colour(f, x, 240, logo, "at 135 degrees");
}
