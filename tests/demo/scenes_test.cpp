// scenes_test.cpp: the seven scenes as a viewer sees them. Each test runs in
// a fresh process (the scenes' state is static and never reset), renders with
// Mesa through the headless backend, gives every texture slot its own solid
// colour and calls the scene functions directly with chosen frame deltas.
// Overlay space is 640x480 with the origin bottom-left, so frame pixel (x, y)
// is overlay unit (x, y).
#include "show_support.h"

#include "tests/sound/child_process.h"

#include "demo/draw.h"
#include "demo/show.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

static const Rgb black{0, 0, 0};

static void expect_colour(const Frame& f, unsigned x, unsigned y, Rgb want, const char* what)
{
    Rgb got = f.at(x, y);
    EXPECT_TRUE(near(got, want)) << what << " at (" << x << ", " << y << "): got " << got.r << "," << got.g << ","
                                 << got.b << " want " << want.r << "," << want.g << "," << want.b;
}

// An edge at x = edge (or y = edge) between two colours: checked one pixel to
// each side, clear of the rasteriser's rounding.
static void expect_vertical_edge(const Frame& f, float edge, unsigned y, Rgb left, Rgb right, const char* what)
{
    expect_colour(f, (unsigned)floorf(edge) - 1, y, left, what);
    expect_colour(f, (unsigned)floorf(edge) + 1, y, right, what);
}
static void expect_horizontal_edge(const Frame& f, unsigned x, float edge, Rgb below, Rgb above, const char* what)
{
    expect_colour(f, x, (unsigned)floorf(edge) - 1, below, what);
    expect_colour(f, x, (unsigned)floorf(edge) + 1, above, what);
}

static void clear_frame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
}

static bool frame_is_black(const Frame& f)
{
    for (size_t i = 0; i < f.rgb.size(); i++)
        if (f.rgb[i] > 2) return false;
    return true;
}

// Runs body in a fresh process inside a headless window with the slot colours.
static void in_fresh_show(void (*body)())
{
    EXPECT_IN_CHILD([body] {
        run_in_window([body] {
            fill_texture_table();
            body();
        });
    });
}

// ---- loading scene ----------------------------------------------------------

static float boat_left(double v) { return (float)(fabs(v) * 350.0 + 50.0); }

TEST(LoadingScene, BoatCreepsShakesAndFades)
{
    in_fresh_show([] {
        const Rgb first = slot_colour(2), second = slot_colour(3);
        auto boat = [](int frame) { return slot_colour(4 + frame); };

        // Clock 0: the first picture, boat frame 0 at x 50, y 140 to 332, white.
        scene_loading(0.0f);
        Frame f = read_frame();
        expect_colour(f, 600, 420, first, "background");
        expect_vertical_edge(f, 50.0f, 200, first, boat(0), "boat left edge at 0 s");
        expect_vertical_edge(f, 242.0f, 200, boat(0), first, "boat right edge at 0 s");
        expect_horizontal_edge(f, 100, 140.0f, first, boat(0), "boat bottom");
        expect_horizontal_edge(f, 100, 332.0f, boat(0), first, "boat top");

        // 0.25 s: frame 1; the boat has crept a thirtieth of 350 per second.
        scene_loading(0.25f);
        f = read_frame();
        expect_vertical_edge(f, boat_left(0.25 / 30.0), 200, first, boat(1), "boat at 0.25 s");

        // Just below 14.5 s: still the first picture, the boat near 219.2.
        const float just_below = 14.5f - 1.0f / 1024.0f;
        scene_loading(just_below - 0.25f);
        f = read_frame();
        expect_colour(f, 600, 420, first, "background just below 14.5 s");
        expect_vertical_edge(f, boat_left(just_below / 30.0), 200, first, boat(57 % 4), "boat just below 14.5 s");

        // Exactly 14.5 s: the second picture and the shaking boat, sin(145).
        scene_loading(1.0f / 1024.0f);
        f = read_frame();
        expect_colour(f, 600, 420, second, "background at 14.5 s");
        expect_vertical_edge(f, boat_left(sin(145.0)), 200, second, boat(58 % 4), "boat at 14.5 s");
        EXPECT_NEAR(boat_left(sin(145.0)), 213.7, 0.1);

        // Exactly 22 s: no fade yet.
        scene_loading(7.5f);
        f = read_frame();
        expect_colour(f, 600, 420, second, "background at 22 s");
        expect_vertical_edge(f, boat_left(sin(220.0)), 200, second, boat(0), "boat at 22 s");

        // 22.5 s: the fade has lost 0.5 s x 0.5; boat and picture both darker.
        scene_loading(0.5f);
        f = read_frame();
        expect_colour(f, 600, 420, scaled(second, 0.75f), "background at 22.5 s");
        expect_vertical_edge(f, boat_left(sin(225.0)), 200, scaled(second, 0.75f), scaled(boat(2), 0.75f),
                             "boat at 22.5 s");

        // A delta of 0 changes nothing.
        scene_loading(0.0f);
        f = read_frame();
        expect_colour(f, 600, 420, scaled(second, 0.75f), "background after a zero delta");

        scene_loading(1.0f);
        f = read_frame();
        expect_colour(f, 600, 420, scaled(second, 0.25f), "background at 23.5 s");

        // Past 24 s the grey is below 0, which shows as black.
        scene_loading(1.0f);
        f = read_frame();
        EXPECT_TRUE(frame_is_black(f)) << "the loading scene has faded to black at 24.5 s";
    });
}

// ---- title cards and stars --------------------------------------------------

// Stars that never show and never restart, so only the cards are seen.
static void park_stars()
{
    for (StarParticle& star : star_field) star = {0.0f, 0.0f, 1.0f, 1e9f, 2.5e8f, false};
}

TEST(TitleCards, CardsFadeUnderTheStarBlending)
{
    in_fresh_show([] {
        park_stars();
        // The star blending squares each channel: a card at grey v over black
        // shows 255 v^2 in a channel of 255.
        auto card = [](int slot, float v) { return scaled(slot_colour(slot), v * v); };
        struct Step {
            float delta, clock;
            int slot;   // -1: no card, or a black one
            float grey;
        };
        const Step steps[] = {
            {7.0f, 7.0f, -1, 0},   {1.5f, 8.5f, 0, 0.5f}, {1.5f, 10.0f, 0, 1},   {3.0f, 13.0f, 0, 1},
            {1.0f, 14.0f, 0, 0.5f}, {1.0f, 15.0f, -1, 0}, {1.0f, 16.0f, 8, 0.5f}, {4.0f, 20.0f, 8, 1},
            {1.0f, 21.0f, 8, 0.5f}, {1.0f, 22.0f, -1, 0}, {1.0f, 23.0f, 9, 0.5f}, {3.0f, 26.0f, 9, 1},
            {1.0f, 27.0f, 9, 0.5f}, {1.0f, 28.0f, -1, 0},
        };
        for (const Step& step : steps) {
            clear_frame();
            scene_title_cards(step.delta);
            Frame f = read_frame();
            std::string what = "card at " + std::to_string(step.clock) + " s";
            if (step.slot < 0) {
                EXPECT_TRUE(frame_is_black(f)) << what << " should leave the frame black";
            } else {
                expect_colour(f, 320, 240, card(step.slot, step.grey), what.c_str());
                expect_colour(f, 5, 5, card(step.slot, step.grey), what.c_str());
            }
        }
        // After 28 s the last card is drawn black, never negative: whatever is
        // on the screen stays as it is.
        glColor3f(1, 1, 1);
        draw_quad(0, 0, 640, 480, texture_table[2], 1, 0);
        Frame before = read_frame();
        scene_title_cards(2.0f);
        Frame after = read_frame();
        expect_colour(after, 320, 240, before.at(320, 240), "screen under the black card at 30 s");
        expect_colour(after, 600, 50, before.at(600, 50), "screen under the black card at 30 s");
    });
}

TEST(TitleCards, StarsStartInvisibleAndTwinkleIntoView)
{
    in_fresh_show([] {
        srand(12345);
        seed_star_field();
        for (const StarParticle& star : star_field) {
            EXPECT_FALSE(star.visible);
            EXPECT_EQ(star.brightness, 0.0f);
            EXPECT_EQ(star.period, 4.0f);
            EXPECT_GE(star.x, 0.0f);
            EXPECT_LE(star.x, 5.0f);
            EXPECT_GE(star.y, 0.0f);
            EXPECT_LE(star.y, 5.0f);
            EXPECT_GE(star.age, 0.0f);
            EXPECT_LE(star.age, 4.0f);
        }
        // Star 0 is past the middle of its cycle, star 1 at its brightest.
        star_field[0].age = 2.5f;
        for (int i = 1; i < STAR_COUNT; i++) star_field[i].age = 1.0f;
        clear_frame();
        scene_title_cards(0.0f);
        EXPECT_TRUE(frame_is_black(read_frame())) << "invisible stars are not drawn";
        EXPECT_TRUE(star_field[0].visible);
        EXPECT_EQ(star_field[0].age, 0.0f);
        EXPECT_FALSE(star_field[1].visible);

        // A visible star at (0, 0) 10 units in front of the eye, at full
        // brightness: a quad of about 51 pixels from the centre up and right.
        star_field[1] = {0.0f, 0.0f, 0.0f, 4.0f, 0.0f, true};
        clear_frame();
        scene_title_cards(1.0f);   // age 1: brightness sin(pi/2) = 1
        Frame f = read_frame();
        expect_colour(f, 345, 265, slot_colour(1), "a star at full brightness");
        expect_colour(f, 300, 200, black, "beside the star");
    });
}

// The brightness the scene computes for an age (period 4).
static float brightness_at(float age) { return (float)sin(age / 4.0f * 6.2831852); }

TEST(TitleCards, RestartThreshold)
{
    in_fresh_show([] {
        // Find ages whose brightness is exactly the single-precision 1e-6 and
        // the value just below it.
        const float limit = 0.000001f, below = nextafterf(limit, 0.0f);
        float at_limit = -1, at_below = -1;
        for (float age = 6.0e-7f; age < 7.0e-7f && (at_limit < 0 || at_below < 0); age = nextafterf(age, 1.0f)) {
            if (brightness_at(age) == limit) at_limit = age;
            if (brightness_at(age) == below) at_below = age;
        }
        ASSERT_GT(at_limit, 0.0f);
        ASSERT_GT(at_below, 0.0f);

        star_field[0] = {1.0f, 1.0f, 0.0f, 4.0f, at_limit, true};
        star_field[1] = {1.0f, 1.0f, 0.0f, 4.0f, at_below, true};
        star_field[2] = {1.0f, 1.0f, 0.0f, 4.0f, 4.5f, true};    // past its period: brightness 0
        star_field[3] = {1.0f, 1.0f, 0.0f, 4.0f, 1.0f, true};    // at its brightest
        star_field[4] = {1.0f, 1.0f, 0.0f, 4.0f, 3.0f, false};   // invisible, negative sine
        scene_title_cards(0.0f);

        EXPECT_EQ(star_field[0].brightness, limit);
        EXPECT_EQ(star_field[0].age, at_limit) << "a brightness of exactly 1e-6 does not restart";
        EXPECT_EQ(star_field[1].age, 0.0f) << "just below 1e-6 restarts";
        EXPECT_EQ(star_field[2].age, 0.0f) << "past its period the star restarts";
        EXPECT_EQ(star_field[3].age, 1.0f);
        EXPECT_EQ(star_field[4].age, 0.0f);
        EXPECT_TRUE(star_field[4].visible) << "a restarted star is visible";
        for (int i : {1, 2, 4}) {
            EXPECT_EQ(star_field[i].brightness, 0.0f);
            EXPECT_EQ(star_field[i].period, 4.0f);
        }
    });
}

TEST(TitleCards, RestartedStarsStayWithinFiveUnits)
{
    in_fresh_show([] {
        srand(777);
        seed_star_field();
        float min_x = 0, max_x = 0, min_y = 0, max_y = 0;
        int restarts = 0;
        for (int frame = 0; frame < 400; frame++) {
            float ages[STAR_COUNT];
            for (int i = 0; i < STAR_COUNT; i++) ages[i] = star_field[i].age;
            scene_title_cards(0.5f);
            for (int i = 0; i < STAR_COUNT; i++) {
                const StarParticle& star = star_field[i];
                if (star.age < ages[i]) restarts++;
                if (!star.visible) continue;
                ASSERT_GE(star.x, -5.0f);
                ASSERT_LE(star.x, 5.0f);
                ASSERT_GE(star.y, -5.0f);
                ASSERT_LE(star.y, 5.0f);
                min_x = std::min(min_x, star.x);
                max_x = std::max(max_x, star.x);
                min_y = std::min(min_y, star.y);
                max_y = std::max(max_y, star.y);
            }
        }
        // Each star lives about 2 s: some 500 restarts in 200 s, spread over
        // the whole square.
        EXPECT_GT(restarts, 450);
        EXPECT_LT(min_x, -4.0f);
        EXPECT_GT(max_x, 4.0f);
        EXPECT_LT(min_y, -4.0f);
        EXPECT_GT(max_y, 4.0f);
    });
}

// ---- world scene ------------------------------------------------------------

TEST(WorldScene, BackdropFadesAndFigureJumpsAndLands)
{
    in_fresh_show([] {
        const Rgb backdrop = slot_colour(10), figure = slot_colour(11);
        auto frame_after = [](float delta) {
            clear_frame();
            glDisable(GL_BLEND);   // as the timeline does before each call
            scene_world(delta);
            return read_frame();
        };
        Frame f = frame_after(1.0f);
        expect_colour(f, 600, 420, scaled(backdrop, 0.5f), "backdrop at 1 s");
        f = frame_after(1.0f);
        expect_colour(f, 600, 420, backdrop, "backdrop at 2 s");
        f = frame_after(3.0f);
        expect_colour(f, 300, 100, backdrop, "no figure at exactly 5 s");

        // 5.5 s: the first rise, drawn at the sine although it is below 150.
        float b = (float)(sin(0.5) * 300.0);
        f = frame_after(0.5f);
        expect_horizontal_edge(f, 300, b, backdrop, figure, "figure rising at 5.5 s");
        expect_vertical_edge(f, 200.0f, 200, backdrop, figure, "figure left edge");
        expect_vertical_edge(f, 456.0f, 200, figure, backdrop, "figure right edge");
        // The same height again is not below the previous one: still flying.
        f = frame_after(0.0f);
        expect_horizontal_edge(f, 300, b, backdrop, figure, "figure at an unchanged height");

        f = frame_after(1.0f);
        expect_horizontal_edge(f, 300, (float)(sin(1.5) * 300.0), backdrop, figure, "figure near the top at 6.5 s");
        f = frame_after(1.0f);
        expect_horizontal_edge(f, 300, (float)(sin(2.5) * 300.0), backdrop, figure, "figure falling at 7.5 s");

        // 8 s: the sine is at 42, below 150 and falling: held on the ground line.
        f = frame_after(0.5f);
        expect_horizontal_edge(f, 300, 150.0f, backdrop, figure, "figure landed at 8 s");
        expect_horizontal_edge(f, 300, 406.0f, figure, backdrop, "top of the landed figure");
        // 10 s: the sine is negative; the figure stays on the line.
        f = frame_after(2.0f);
        expect_horizontal_edge(f, 300, 150.0f, backdrop, figure, "figure grounded at 10 s");
        // 12 s: the sine is above 150 again: the next jump.
        f = frame_after(2.0f);
        expect_horizontal_edge(f, 300, (float)(sin(7.0) * 300.0), backdrop, figure, "next jump at 12 s");
    });
}

// ---- flip-books -------------------------------------------------------------

static Rgb full_screen_after(void (*scene)(float), float delta)
{
    clear_frame();
    scene(delta);
    return read_frame().at(320, 240);
}

TEST(FlipBooks, AttackFlickerSwapsEveryQuarterSecond)
{
    in_fresh_show([] {
        glColor3f(0.5f, 0.5f, 0.5f);   // the scene sets white itself
        const float just_below = 0.25f - 1.0f / 1048576.0f;
        EXPECT_TRUE(near(full_screen_after(scene_attack_flicker, 0.0f), slot_colour(12)));
        EXPECT_TRUE(near(full_screen_after(scene_attack_flicker, just_below), slot_colour(12)));
        EXPECT_TRUE(near(full_screen_after(scene_attack_flicker, 0.25f - just_below), slot_colour(32)));   // 0.25
        EXPECT_TRUE(near(full_screen_after(scene_attack_flicker, 0.25f), slot_colour(12)));                // 0.5
        EXPECT_TRUE(near(full_screen_after(scene_attack_flicker, 0.25f), slot_colour(32)));                // 0.75
        EXPECT_TRUE(near(full_screen_after(scene_attack_flicker, 3.0f), slot_colour(32)));                 // 3.75
    });
}

TEST(FlipBooks, SlideshowTimesAndWhite)
{
    in_fresh_show([] {
        struct Step {
            float delta;
            int slot;
        };
        // Clocks 0, 2.5, 3, 6.5, 7, 13.5, 14, 16.5, 17.
        const Step steps[] = {{0.0f, 16}, {2.5f, 16}, {0.5f, 14}, {3.5f, 14}, {0.5f, 15},
                              {6.5f, 15}, {0.5f, 17}, {2.5f, 17}, {0.5f, -1}};
        for (const Step& step : steps) {
            glColor3f(0.25f, 0.5f, 0.75f);
            Rgb got = full_screen_after(scene_slideshow, step.delta);
            EXPECT_TRUE(near(got, step.slot < 0 ? black : slot_colour(step.slot))) << "slot " << step.slot;
        }
        // At 17 s nothing was drawn, but the colour is white again: a quad of
        // a white texture shows white.
        texture_table[0] = solid_texture(255, 255, 255);
        draw_quad(0, 0, 640, 480, texture_table[0], 1, 0);
        EXPECT_TRUE(near(read_frame().at(320, 240), Rgb{255, 255, 255}));
    });
}

TEST(FlipBooks, KnifeFlickerDrawsInTheCurrentColour)
{
    in_fresh_show([] {
        glColor3f(0.5f, 0.5f, 0.5f);
        EXPECT_TRUE(near(full_screen_after(scene_knife_flicker, 0.0f), scaled(slot_colour(18), 0.5f)));
        EXPECT_TRUE(near(full_screen_after(scene_knife_flicker, 0.25f), scaled(slot_colour(19), 0.5f)));
        EXPECT_TRUE(near(full_screen_after(scene_knife_flicker, 0.25f), scaled(slot_colour(18), 0.5f)));
        // After the slideshow the colour is white.
        scene_slideshow(0.0f);
        EXPECT_TRUE(near(full_screen_after(scene_knife_flicker, 0.25f), slot_colour(19)));
    });
}

// ---- cube -------------------------------------------------------------------

TEST(CubeScene, BoxInGreyOverTheLogoTurning)
{
    in_fresh_show([] {
        const Rgb logo = slot_colour(22), box = scaled(slot_colour(21), 0.7f);
        // The first call already turns the box by delta x 45: 90 degrees, the
        // narrow side towards the viewer.
        glColor3f(0.2f, 0.2f, 0.2f);
        scene_cube(2.0f);
        Frame f = read_frame();
        expect_colour(f, 600, 420, logo, "logo in white whatever the colour before");
        expect_colour(f, 20, 240, logo, "left of the turned box");
        expect_colour(f, 60, 240, logo, "left of the turned box");
        expect_colour(f, 150, 240, box, "turned box");
        expect_colour(f, 230, 240, logo, "right of the turned box");

        // 180 degrees: the wide side again, about 58 to 240 pixels across and
        // 130 to 350 high.
        scene_cube(2.0f);
        f = read_frame();
        expect_colour(f, 20, 240, logo, "left of the box");
        expect_colour(f, 60, 240, box, "box");
        expect_colour(f, 150, 240, box, "box");
        expect_colour(f, 230, 240, box, "box");
        expect_colour(f, 260, 240, logo, "right of the box");
        expect_colour(f, 150, 120, logo, "below the box");
        expect_colour(f, 150, 360, logo, "above the box");
    });
}

TEST(CubeScene, FrontFaceOrientation)
{
    // The box at angle 0 shows its +z face, whose texture runs from s = 1 on
    // the left to s = 0 on the right: the picture appears mirrored.
    in_fresh_show([] {
        const Rgb red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};
        set_slot_quadrants(21, red, green, blue, white);
        scene_cube(0.0f);
        Frame f = read_frame();
        auto grey = [](Rgb c) { return scaled(c, 0.7f); };
        expect_colour(f, 100, 320, grey(white), "upper left of the front face: the picture's upper right");
        expect_colour(f, 220, 320, grey(blue), "upper right of the front face: the picture's upper left");
        expect_colour(f, 100, 160, grey(green), "lower left of the front face: the picture's lower right");
        expect_colour(f, 220, 160, grey(red), "lower right of the front face: the picture's lower left");
    });
}
