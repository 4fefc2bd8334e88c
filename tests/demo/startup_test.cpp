// startup_test.cpp: demo_init with real pictures and a real MP3 in a data/
// folder, the sound messages, and the sound error texts.
#include "show_support.h"

#include "tests/sound/child_process.h"

#include "demo/demo.h"
#include "demo/draw.h"
#include "demo/show.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "imageloader/image_loader.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <set>

TEST(SoundErrorText, EveryCode)
{
    const char* const texts[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory ",
        "The version number of this file format is not supported",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Failed to allocate a new channel",
        "Recording not supported on this device",
        "Required Mediaplayer codec is not installed",
    };
    for (int code = 0; code <= 18; code++) EXPECT_STREQ(sound_error_text(code), texts[code]) << code;
    for (int code : {19, 20, 1000, INT_MAX, -1, -18, INT_MIN}) EXPECT_STREQ(sound_error_text(code), "Unknown error") << code;
}

// The sound message lines of a run's stderr.
static std::string sound_messages(const std::string& err)
{
    std::string lines;
    size_t start = 0;
    while (start < err.size()) {
        size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        if (err.compare(start, 19, "ZUZORE RO DODAZED: ") == 0) lines += err.substr(start, end - start);
        start = end;
    }
    return lines;
}

// demo_init in dir, with the headless backend, the recording sound backend
// and the millisecond clock held at start_ms.
static void init_show_in(const std::string& dir, uint32_t start_ms)
{
    ASSERT_EQ(chdir(dir.c_str()), 0);
    sound_select(SOUND_BACKEND_RECORDING);
    run_in_window([start_ms] {
        platform_headless_set_clocks(start_ms, 0, 0);
        demo_init("");
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        printf("start %u\n", demo_start_time);
        std::set<uint32_t> names(texture_table, texture_table + TEXTURE_COUNT);
        EXPECT_EQ(names.size(), (size_t)TEXTURE_COUNT) << "33 distinct texture names";
        // Every slot shows its own picture.
        for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
            glColor3f(1, 1, 1);
            glDisable(GL_BLEND);
            draw_quad(0, 0, 640, 480, texture_table[slot], 1, 0);
            printf("slot %d shows %d\n", slot, slot_at(read_frame().at(320, 240)));
        }
        for (const StarParticle& star : star_field) {
            EXPECT_FALSE(star.visible);
            EXPECT_EQ(star.brightness, 0.0f);
            EXPECT_TRUE(star.x >= 0.0f && star.x <= 5.0f && star.y >= 0.0f && star.y <= 5.0f);
            EXPECT_TRUE(star.age >= 0.0f && star.age <= 4.0f);
        }
        uint32_t played_at = 0;
        const char* path = nullptr;
        if (sound_recorded_play(&played_at, &path)) printf("music started at %u from %s\n", played_at, path);
    });
}

TEST(Startup, LoadsEverySlotAndStartsTheMusic)
{
    TempDir dir;
    write_show_data(dir.path, true);
    ChildResult result = run_in_child([&] { init_show_in(dir.path, 4242); });
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_EQ(result.err, "") << "no message box";
    EXPECT_NE(result.out.find("start 4242\n"), std::string::npos);
    for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
        std::string line = "slot " + std::to_string(slot) + " shows " + std::to_string(slot) + "\n";
        EXPECT_NE(result.out.find(line), std::string::npos) << line << result.out;
    }
    EXPECT_NE(result.out.find("music started at 4242 from data/lall.mp3\n"), std::string::npos) << result.out;
    // The loader logs each file in slot order.
    EXPECT_LT(result.out.find("(tolm) loading file: data/dedozuvo512.png"),
              result.out.find("(tolm) loading file: data/angrep2.png"));
}

TEST(Startup, MissingSoundtrackGivesOneMessage)
{
    TempDir dir;
    write_show_data(dir.path, false);
    ChildResult result = run_in_child([&] { init_show_in(dir.path, 100); });
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_EQ(result.err, "ZUZORE RO DODAZED: File not found\n");
    EXPECT_EQ(result.out.find("music started"), std::string::npos);
}

TEST(Startup, UndecodableSoundtrack)
{
    TempDir dir;
    write_show_data(dir.path, false);
    FILE* file = fopen((dir / "data/lall.mp3").c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("not music\n", file);
    fclose(file);
    ChildResult result = run_in_child([&] { init_show_in(dir.path, 100); });
    EXPECT_CHILD_STATUS(result, 0);
    // mpg123 may add notes of its own about the bytes it could not read.
    EXPECT_EQ(sound_messages(result.err), "ZUZORE RO DODAZED: Unknown file format\n");
}

TEST(Startup, NoSoundDevice)
{
    // The real backend with a driver that has no device: the failed start is
    // reported once, and the show goes on silently.
    TempDir dir;
    write_show_data(dir.path, true);
    ChildResult result = run_in_child([&] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        ASSERT_EQ(chdir(dir.path.c_str()), 0);
        run_in_window([] {
            demo_init("");
            printf("init returned\n");
        });
    });
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_EQ(result.err,
              "ZUZORE RO DODAZED: Error initializing output device.\n");
    EXPECT_NE(result.out.find("init returned"), std::string::npos);
}

TEST(Startup, MissingPictureLeavesItsSlotEmpty)
{
    TempDir dir;
    write_show_data(dir.path, true, 13);
    ChildResult result = run_in_child([&] { init_show_in(dir.path, 100); });
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_EQ(result.err, "(tolm) Load: Could not open file: data/crisis.png\n");
    // An empty texture draws as the plain colour, white.
    EXPECT_NE(result.out.find("slot 13 shows -1\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("slot 14 shows 14\n"), std::string::npos) << result.out;
}

// A whole start-up with broken files among the 33 prints the same lines and
// fills the same textures whether one thread or several decode ahead.
TEST(Startup, SameLogAndTexturesWithOneOrSeveralDecodingThreads)
{
    TempDir dir;
    write_show_data(dir.path, true, 13, 64);   // slot 13 missing
    auto cut = [&](int slot, uintmax_t bytes) {
        std::string path = dir / texture_paths[slot];
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - bytes);
    };
    cut(5, 20);    // PNG that ends early: libpng's error, no picture
    cut(16, 10);   // JPEG that ends early: a warning, the rest black
    std::ofstream(dir / texture_paths[20]) << "not a picture\n";   // no format at all
    std::ofstream(dir / texture_paths[27]) << "\x89PNG\r\n\x1a\n broken";   // PNG that breaks in its header

    auto start_up = [&](unsigned threads) {
        return run_in_child([&] {
            ASSERT_EQ(chdir(dir.path.c_str()), 0);
            sound_select(SOUND_BACKEND_RECORDING);
            decode_ahead(texture_paths, TEXTURE_COUNT, threads);
            run_in_window([] {
                demo_init("");
                for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
                    GLint w = 0, h = 0;
                    glBindTexture(GL_TEXTURE_2D, texture_table[slot]);
                    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
                    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
                    std::vector<uint8_t> texels((size_t)w * h * 4);
                    if (w && h) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
                    uint32_t hash = 2166136261u;
                    for (uint8_t v : texels) hash = (hash ^ v) * 16777619u;
                    printf("slot %d: %dx%d %08x\n", slot, w, h, hash);
                }
            });
        });
    };
    ChildResult one = start_up(1);
    EXPECT_CHILD_STATUS(one, 0);
    for (const char* line : {"(tolm) sorry, couldnt open data/crisis.png!\n", "slot 5: 0x0 ", "slot 13: 0x0 ",
                             "slot 16: 64x64 ", "slot 20: 0x0 ", "slot 27: 0x0 ", "slot 32: 64x64 "})
        EXPECT_NE(one.out.find(line), std::string::npos) << line << one.out;
    EXPECT_NE(one.err.find("(tolm) Load: Could not open file: data/crisis.png\n"), std::string::npos) << one.err;
    EXPECT_NE(one.err.find("libpng error: "), std::string::npos) << one.err;
    EXPECT_NE(one.err.find("Premature end of JPEG file\n"), std::string::npos) << one.err;
    ChildResult several = start_up(4);
    EXPECT_CHILD_STATUS(several, 0);
    EXPECT_EQ(several.out, one.out);
    EXPECT_EQ(several.err, one.err);
}
