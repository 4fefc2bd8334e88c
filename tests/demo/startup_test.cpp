// startup_test.cpp: demo_init with real pictures and MP3 in a data/ folder:
// every slot's picture, with broken files and whatever the number of decoding
// threads, the start time, the stars, the soundtrack and its messages.
#include "show_support.h"
#include "tests/sound/child_process.h"

#include "demo/demo.h"
#include "demo/draw.h"
#include "demo/show_internals.h"
#include "imageloader/image_loader.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <climits>

// demo_init in dir with the clock at 4242 ms, `threads` decoding ahead (0: as
// demo_init starts them) within budget bytes, on the recording sound backend unless an SDL audio
// driver is given. Prints the start time, each slot's texture (size, the slot
// whose colour it shows, a hash of it drawn full-screen) and the music's start.
static ChildResult start_up(const std::string& dir, unsigned threads, const char* sdl_audio_driver = nullptr,
                            uint64_t budget = 512ull << 20)
{
    return run_in_child([&] {
        ASSERT_EQ(chdir(dir.c_str()), 0);
        if (sdl_audio_driver)
            setenv("SDL_AUDIODRIVER", sdl_audio_driver, 1);
        else
            sound_select(SOUND_BACKEND_RECORDING);
        if (threads) decode_ahead(texture_paths, TEXTURE_COUNT, threads, budget);
        run_in_window([] {
            platform_headless_set_clocks(4242, 0, 0);
            demo_init("");
            printf("start %u\n", demo_start_time);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glDisable(GL_BLEND);
            for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
                draw_quad(0, 0, 640, 480, texture_table[slot], 1, 0);
                GLint w = 0, h = 0;
                glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
                glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
                Frame f = read_frame();
                uint32_t hash = 2166136261u;
                for (uint8_t v : f.rgb) hash = (hash ^ v) * 16777619u;
                printf("slot %d: %dx%d shows %d, %08x\n", slot, w, h, slot_at(f.at(320, 240)), hash);
            }
            for (const StarParticle& star : star_field) {
                EXPECT_TRUE(!star.visible && star.brightness == 0.0f && star.period == 4.0f);
                EXPECT_TRUE(star.x >= 0.0f && star.x <= 5.0f && star.y >= 0.0f && star.y <= 5.0f && star.x != star.y)
                    << "within 5 units and off the diagonal: " << star.x << ", " << star.y;
                EXPECT_TRUE(star.age >= 0.0f && star.age <= 4.0f);
            }
            uint32_t played_at = 0;
            const char* path = nullptr;
            if (sound_recorded_play(&played_at, &path)) printf("music started at %u from %s\n", played_at, path);
        });
    });
}

// The same lines and textures whether one thread or several decode ahead.
TEST(Startup, SameLogAndTexturesWithOneOrSeveralDecodingThreads)
{
    TempDir dir;
    write_show_data(dir.path, true, 13, 64);   // slot 13 missing
    auto cut = [&](int slot, uintmax_t bytes) {
        std::filesystem::resize_file(dir / texture_paths[slot], std::filesystem::file_size(dir / texture_paths[slot]) - bytes);
    };
    cut(5, 20);    // PNG that ends early: libpng's error, no picture
    cut(16, 10);   // JPEG that ends early: a warning, the rest black
    std::ofstream(dir / texture_paths[20]) << "not a picture\n";   // no format at all
    std::ofstream(dir / texture_paths[27]) << "\x89PNG\r\n\x1a\n broken";   // PNG that breaks in its header

    ChildResult one = start_up(dir.path, 1);
    EXPECT_CHILD_STATUS(one, 0);
    EXPECT_NE(one.out.find("start 4242\n"), std::string::npos);
    EXPECT_NE(one.out.find("music started at 4242 from data/lall.mp3\n"), std::string::npos) << one.out;
    // The loader logs each file in slot order.
    EXPECT_LT(one.out.find("(tolm) loading file: data/dedozuvo512.png"),
              one.out.find("(tolm) loading file: data/angrep2.png"));
    EXPECT_NE(one.out.find("(tolm) sorry, couldnt open data/crisis.png!\n"), std::string::npos) << one.out;
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        std::string n = std::to_string(slot), line = "slot " + n + ": 64x64 shows " + n + ",";
        // The slots whose files failed stay empty and show white.
        if (slot == 5 || slot == 13 || slot == 20 || slot == 27) line = "slot " + n + ": 0x0 shows -1,";
        if (slot == 16) line = "slot 16: 64x64 ";
        EXPECT_NE(one.out.find(line), std::string::npos) << line << one.out;
    }
    for (const char* line : {"(tolm) Load: Could not open file: data/crisis.png\n", "libpng error: ",
                             "Premature end of JPEG file\n"})
        EXPECT_NE(one.err.find(line), std::string::npos) << line << one.err;
    // With room for one picture only, a worker waits for its picture's turn.
    for (uint64_t budget : {512ull << 20, 1ull}) {
        ChildResult several = start_up(dir.path, 4, nullptr, budget);
        EXPECT_CHILD_STATUS(several, 0);
        EXPECT_EQ(several.out, one.out);
        EXPECT_EQ(several.err, one.err);
    }
}

// Each trouble with the soundtrack, at its opening or the device's, is shown
// once, and the show goes on silently.
TEST(Startup, SoundtrackTroubleGivesOneMessage)
{
    for (const char* driver : {(const char*)nullptr, "no-such-driver"}) {
        SCOPED_TRACE(driver ? "no sound device" : "no soundtrack");
        TempDir dir;
        write_show_data(dir.path, driver != nullptr);
        ChildResult result = start_up(dir.path, 0, driver);
        EXPECT_CHILD_STATUS(result, 0);
        EXPECT_EQ(result.err, std::string("ZUZORE RO DODAZED: ") +
                                  (driver ? "Error initializing output device.\n" : "File not found\n"));
        EXPECT_EQ(result.out.find("music started"), std::string::npos);
    }
    // The texts at the ends of the table, and past them.
    EXPECT_STREQ(sound_error_text(18), "Required Mediaplayer codec is not installed");
    for (int code : {19, INT_MAX, -1, INT_MIN}) EXPECT_STREQ(sound_error_text(code), "Unknown error") << code;
}
