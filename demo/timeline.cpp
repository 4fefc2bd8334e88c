// timeline.cpp: demo_frame, the show's sequencer. Every frame it clears the
// screen and picks, from the millisecond clock alone, the one thing to draw: a
// full-screen still card or a scene, which gets the frame delta. After 159 s
// it ends the process. There is no scene state here: a window is entered and
// left by time alone.
// Depends on framework/ (FrameDelta), platform/ (clock, exit), draw.h, OpenGL.
#include "demo.h"
#include "draw.h"
#include "show_internals.h"

#include "framework/glwindow.h"
#include "platform/platform.h"

#include "platform/gl.h"

// Elapsed time is the unsigned difference of two clock readings: it stays
// right when the 32-bit clock wraps during the show.
static uint32_t elapsed_ms() { return platform_milliseconds() - demo_start_time; }

uint32_t demo_show_milliseconds() { return elapsed_ms(); }

bool elapsed_past(uint32_t threshold) { return elapsed_ms() > threshold + 1000u; }

// The later steps pass one second after their threshold (elapsed_past); the
// first three do not.
TimelineStep timeline[TIMELINE_STEPS] = {
    {demo_show_end_ms, false, TIMELINE_EXIT, 0, nullptr},
    {151000, false, TIMELINE_CARD, SLOT_QUOB, nullptr},
    {146000, false, TIMELINE_CARD, SLOT_FISK, nullptr},
    {140000, true, TIMELINE_CARD, SLOT_TORVEK, nullptr},
    {135000, true, TIMELINE_CARD, SLOT_OPTIMIZE, nullptr},
    {130000, true, TIMELINE_CARD, SLOT_FUGLEMAT, nullptr},
    {125000, true, TIMELINE_CARD, SLOT_FENDRASK, nullptr},
    {120000, true, TIMELINE_CARD, SLOT_SAVED, nullptr},
    {115000, true, TIMELINE_CARD, SLOT_SAVES, nullptr},
    {105000, true, TIMELINE_SCENE, 0, scene_cube},
    {103000, true, TIMELINE_CARD, SLOT_LOGO_L, nullptr},
    {99000, true, TIMELINE_CARD, SLOT_MACGYVER_DEAD, nullptr},
    {94000, true, TIMELINE_SCENE, 0, scene_knife_flicker},
    {77000, true, TIMELINE_SCENE, 0, scene_slideshow},
    {70000, true, TIMELINE_CARD, SLOT_CRISIS, nullptr},
    {65000, true, TIMELINE_SCENE, 0, scene_attack_flicker},
    {55000, true, TIMELINE_WORLD, 0, scene_world},
    {26000, true, TIMELINE_SCENE, 0, scene_title_cards},
};

static void still_card(int slot)
{
    glColor3f(1.0f, 1.0f, 1.0f);
    draw_full_screen(texture_table[slot]);
}

// Each step reads the clock afresh.
static bool step_passed(const TimelineStep& step)
{
    return step.extra_second ? elapsed_past(step.threshold) : elapsed_ms() > step.threshold;
}

int demo_still_card()
{
    for (const TimelineStep& step : timeline)
        if (step_passed(step)) return step.action == TIMELINE_CARD ? step.slot : -1;
    return -1;
}

void demo_frame(const char*)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();

    float delta = (float)demo_window->FrameDelta;
    for (const TimelineStep& step : timeline) {
        if (!step_passed(step)) continue;
        switch (step.action) {
        case TIMELINE_EXIT:
            // The end of the show: the display mode is put back and anything
            // registered to finish (a capture) finishes; this frame is never shown.
            platform_exit(0);
        case TIMELINE_CARD:
            still_card(step.slot);
            return;
        case TIMELINE_WORLD:
            glDisable(GL_BLEND);
            step.scene(delta);
            return;
        case TIMELINE_SCENE:
            step.scene(delta);
            return;
        }
    }
    scene_loading(delta);
}
