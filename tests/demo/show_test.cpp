// show_test.cpp: the whole show, end to end, in the headless backend with the
// frame clock (10 frames a second of show time, whatever the machine's
// speed), real pictures and a real MP3 in a data/ folder, and the recording
// sound backend. It watches one pixel that only full-screen pictures cover
// and checks the order in which the slots appear; the process must end by
// itself with exit code 0 after 159 s of show time.
#include "show_support.h"

#include "tests/sound/child_process.h"

#include "demo/demo.h"
#include "demo/show.h"
#include "framework/glwindow.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// Left of every boat, star and box: only full-screen pictures reach it.
static const unsigned probe_x = 20, probe_y = 420;

static std::vector<int> seen;   // slot_at() of the probe, one per frame

static void on_present()
{
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(probe_x, probe_y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    seen.push_back(slot_at(Rgb{rgb[0], rgb[1], rgb[2]}, 6));
}

// Prints, at the end of the show, the slots in the order they first held the
// probe for at least two frames running (so that a fade passing through
// another slot's colour does not count), and how the show ended.
static void on_exit_report(int code)
{
    std::string order;
    std::vector<bool> listed(TEXTURE_COUNT + 1, false);
    for (size_t i = 1; i < seen.size(); i++) {
        int slot = seen[i];
        if (slot == -2 || slot != seen[i - 1]) continue;
        size_t index = slot == -1 ? (size_t)TEXTURE_COUNT : (size_t)slot;
        if (listed[index]) continue;
        listed[index] = true;
        order += (order.empty() ? "" : " ") + (slot == -1 ? std::string("empty") : std::to_string(slot));
    }
    int flips = 0;
    for (size_t i = 1; i < seen.size(); i++)
        if ((seen[i] == 12 && seen[i - 1] == 32) || (seen[i] == 19 && seen[i - 1] == 18)) flips++;
    uint32_t music_at = 0;
    const char* music = nullptr;
    bool played = sound_recorded_play(&music_at, &music);
    printf("order: %s\n", order.c_str());
    printf("flips back: %d\n", flips);
    printf("exit code %d at frame %llu (%u ms), %zu frames shown\n", code,
           (unsigned long long)platform_headless_frame_number(), platform_milliseconds(), seen.size());
    printf("music: %s at %u ms\n", played ? music : "none", music_at);
}

// The show as `oargala` plays it, but headless and on the frame clock.
static ChildResult run_show(const std::string& dir)
{
    return run_in_child([&] {
        if (chdir(dir.c_str()) != 0) _exit(98);
        const char* why = nullptr;
        if (!platform_select(PLATFORM_BACKEND_HEADLESS, &why)) _exit(97);
        platform_headless_use_frame_clock(10, 1);
        platform_headless_on_present(on_present);
        platform_on_exit(on_exit_report);
        sound_select(SOUND_BACKEND_RECORDING);
        GlWindow* window = new GlWindow(640, 480, 32, 16, 1, "pelmatox - Oar Gala (BUY V1@GRA)", "");
        demo_window = window;
        window->init_callback = demo_init;
        window->frame_callback = demo_frame;
        window->run();
        printf("the main loop ended before the show did\n");
        fflush(stdout);
        _exit(96);
    });
}

static const std::string full_order =
    "order: 2 3 0 8 9 10 12 32 13 16 14 15 17 18 19 23 20 22 24 25 26 27 28 29 30 31\n";

static void expect_complete_show(const ChildResult& result, const std::string& order)
{
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_NE(result.out.find(order), std::string::npos) << result.out;
    // Two flickers of 5 s at 4 Hz: some 10 returns to the first picture each.
    size_t at = result.out.find("flips back: ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_GE(atoi(result.out.c_str() + at + 12), 16);
    // Frame 1591 is the first at more than 159 s (159100 ms); it is never shown.
    EXPECT_NE(result.out.find("exit code 0 at frame 1591 (159100 ms), 1590 frames shown\n"), std::string::npos)
        << result.out;
}

TEST(WholeShow, EveryScenePlaysInOrderAndTheProcessEnds)
{
    TempDir dir;
    write_show_data(dir.path, true);
    ChildResult result = run_show(dir.path);
    expect_complete_show(result, full_order);
    EXPECT_EQ(result.err, "");
    // The music starts at the end of start-up, before the first frame.
    EXPECT_NE(result.out.find("music: data/lall.mp3 at 0 ms\n"), std::string::npos) << result.out;
}

TEST(WholeShow, MissingSoundtrackShowsOneMessageAndPlaysSilently)
{
    TempDir dir;
    write_show_data(dir.path, false);
    ChildResult result = run_show(dir.path);
    expect_complete_show(result, full_order);
    EXPECT_EQ(result.err, "ZUZORE RO DODAZED: File not found\n");
    EXPECT_NE(result.out.find("music: none"), std::string::npos) << result.out;
}

TEST(WholeShow, MissingPictureShowsTheLoadersMessage)
{
    TempDir dir;
    write_show_data(dir.path, true, 13);
    ChildResult result = run_show(dir.path);
    // The crisis card's slot stays empty and shows white.
    std::string order = full_order;
    order.replace(order.find(" 13 "), 4, " empty ");
    expect_complete_show(result, order);
    EXPECT_EQ(result.err, "(tolm) Load: Could not open file: data/crisis.png\n");
}
