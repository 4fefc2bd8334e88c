// show_test.cpp: the whole show, end to end: the headless backend on the frame
// clock (10 frames a second of show time, whatever the machine's speed) and a
// quarter-size surface (quick to draw), real pictures (but the crisis card's)
// and MP3 in a data/ folder, the recording sound backend. One pixel only
// full-screen pictures cover tells the order of the slots; the process must
// end by itself after 159 s.
#include "show_support.h"
#include "tests/sound/child_process.h"

#include "demo/demo.h"
#include "framework/glwindow.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

static std::vector<int> seen;   // slot_at() of the probe, one per frame

// Show pixel (20, 420), left of every boat, star and box, or black (-3).
static int probe()
{
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(5, 105, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return rgb[0] + rgb[1] + rgb[2] == 0 ? -3 : slot_at(Rgb{rgb[0], rgb[1], rgb[2]}, 6);
}

// Prints the slots in the order they first held the probe two frames running
// (not a fade through another's colour), the flickers' returns to their first
// picture, how the show ended and its music.
static void on_exit_report(int code)
{
    std::string order;
    int flips = 0;
    for (size_t i = 1; i < seen.size(); i++) {
        int slot = seen[i], before = seen[i - 1];
        flips += (slot == 12 && before == 32) || (slot == 19 && before == 18);
        std::string name = " " + (slot == -1 ? std::string("empty") : std::to_string(slot));
        if (slot >= -1 && slot == before && (order + " ").find(name + " ") == std::string::npos) order += name;
    }
    uint32_t music_at = 0;
    const char* music = nullptr;
    bool played = sound_recorded_play(&music_at, &music);
    // The last frame is cleared and gets no card.
    printf("order:%s; %d flips back; exit code %d at frame %llu (%u ms), %zu frames shown, probe %d; music %s at %u ms\n",
           order.c_str(), flips, code, (unsigned long long)platform_headless_frame_number(), platform_milliseconds(),
           seen.size(), probe(), played ? music : "none", music_at);
}

TEST(WholeShow, EveryScenePlaysInOrderAndTheProcessEnds)
{
    TempDir dir;
    write_show_data(dir.path, true, 13);
    ChildResult result = run_in_child([&] {
        if (chdir(dir.path.c_str()) != 0) _exit(98);
        const char* why = nullptr;
        if (!platform_select(PLATFORM_BACKEND_OFFSCREEN, &why)) _exit(97);
        platform_headless_use_frame_clock(10, 1);
        platform_headless_set_surface_size(160, 120);
        platform_headless_on_present([] { seen.push_back(probe()); });
        platform_on_exit(on_exit_report);
        sound_select(SOUND_BACKEND_RECORDING);
        demo_window = new GlWindow(640, 480, 32, 16, 1, "pelmatox - Oar Gala (BUY V1@GRA)", "");
        demo_window->init_callback = demo_init;
        demo_window->frame_callback = demo_frame;
        demo_window->run();
        printf("the main loop ended before the show did\n");
        _exit(96);
    });
    EXPECT_CHILD_STATUS(result, 0);
    // The missing crisis card: the loader's one message, and white in its place.
    EXPECT_EQ(result.err, "(tolm) Load: Could not open file: data/crisis.png\n");
    // Two flickers of 5 s at 4 Hz: some ten returns to the first picture each.
    // Frame 1591 is the first at more than 159 s (159100 ms); it is never
    // shown. The music starts at the end of start-up, before the first frame.
    EXPECT_NE(result.out.find("order: 2 3 0 8 9 10 12 32 empty 16 14 15 17 18 19 23 20 22 24 25 26 27 28 29 30 31; "
                              "19 flips back; exit code 0 at frame 1591 (159100 ms), 1590 frames shown, probe -3; "
                              "music data/lall.mp3 at 0 ms\n"),
              std::string::npos)
        << result.out;
}
