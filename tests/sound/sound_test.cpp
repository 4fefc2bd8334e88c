// sound_test.cpp: the sound layer's error codes and what it plays, with real
// SDL2_mixer (SDL's dummy and disk audio drivers stand in for a sound card).
// Each case runs in a fresh process: the layer is initialised once per process.
#include "child_process.h"

#include "platform/platform.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

static const std::string tone_path = OARGALA_TEST_DATA "/sound/tone.mp3";

static void write_file(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// The codes that opening gives for files that are not there or not music,
// the same with either backend.
static void expect_open_codes(const TempDir& dir)
{
    EXPECT_EQ(sound_stream_open_file((dir / "missing.mp3").c_str(), 0x51, 0), nullptr);
    EXPECT_EQ(sound_get_error(), 9);
    EXPECT_EQ(sound_stream_open_file((dir / "no-such-dir/lall.mp3").c_str(), 0x51, 0), nullptr);
    EXPECT_EQ(sound_get_error(), 9);

    write_file(dir / "text.mp3", "this is a text file, not an MPEG audio stream\n");
    EXPECT_EQ(sound_stream_open_file((dir / "text.mp3").c_str(), 0x51, 0), nullptr);
    EXPECT_EQ(sound_get_error(), 10);
    write_file(dir / "empty.mp3", "");
    EXPECT_EQ(sound_stream_open_file((dir / "empty.mp3").c_str(), 0x51, 0), nullptr);
    EXPECT_EQ(sound_get_error(), 10);

    EXPECT_EQ(sound_stream_open_file(dir.path.c_str(), 0x51, 0), nullptr);   // a directory
    EXPECT_EQ(sound_get_error(), 11);
    EXPECT_EQ(sound_stream_open_file("", 0x51, 0), nullptr);
    EXPECT_EQ(sound_get_error(), 14);

    SoundStream* stream = sound_stream_open_file(tone_path.c_str(), 0x51, 0);
    EXPECT_NE(stream, nullptr);
    EXPECT_EQ(sound_get_error(), 0);
}

TEST(SoundLayer, RecordingBackendCodes)
{
    EXPECT_IN_CHILD([] {
        TempDir dir;
        sound_select(SOUND_BACKEND_RECORDING);
        // Before init: nothing opens or plays.
        EXPECT_EQ(sound_stream_open_file(tone_path.c_str(), 0x51, 0), nullptr);
        EXPECT_EQ(sound_get_error(), 2);
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, nullptr), -1);
        EXPECT_EQ(sound_get_error(), 2);

        EXPECT_TRUE(sound_init(44100, 32, 2));
        EXPECT_EQ(sound_get_error(), 0);
        EXPECT_FALSE(sound_init(44100, 32, 2));
        EXPECT_EQ(sound_get_error(), 1);
        expect_open_codes(dir);

        // Playing no stream (what the show does after a failed open).
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, nullptr), -1);
        EXPECT_EQ(sound_get_error(), 14);
        EXPECT_FALSE(sound_recorded_play(nullptr, nullptr));
    });
}

TEST(SoundLayer, MixerBackendCodes)
{
    EXPECT_IN_CHILD([] {
        TempDir dir;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        EXPECT_TRUE(sound_init(44100, 32, 2));
        EXPECT_FALSE(sound_init(44100, 32, 2));
        EXPECT_EQ(sound_get_error(), 1);
        expect_open_codes(dir);
    });
}

TEST(SoundLayer, NoOutputDevice)
{
    // SDL does not fall back from a driver that cannot open a device.
    EXPECT_IN_CHILD([] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        EXPECT_FALSE(sound_init(44100, 32, 2));
        EXPECT_EQ(sound_get_error(), 3);
        // The show goes on silently: the stream still opens and plays into
        // nothing, so the failure is reported once, not again by every call.
        SoundStream* stream = sound_stream_open_file(tone_path.c_str(), 0x51, 0);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(sound_get_error(), 0);
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, stream), 0);
        sound_stream_close(stream);
        // The missing file is still told apart from the missing device.
        EXPECT_EQ(sound_stream_open_file("no-such-file.mp3", 0x51, 0), nullptr);
        EXPECT_EQ(sound_get_error(), 9);
    });
}

TEST(SoundLayer, RecordingBackendNotesThePlay)
{
    EXPECT_IN_CHILD([] {
        const char* why = nullptr;
        ASSERT_TRUE(platform_select(PLATFORM_BACKEND_HEADLESS, &why));
        platform_headless_set_clocks(12345, 0, 0);
        sound_select(SOUND_BACKEND_RECORDING);
        ASSERT_TRUE(sound_init(44100, 32, 2));
        SoundStream* stream = sound_stream_open_file(tone_path.c_str(), 0x51, 0);
        ASSERT_NE(stream, nullptr);
        uint32_t at = 0;
        const char* path = nullptr;
        EXPECT_FALSE(sound_recorded_play(&at, &path));
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, stream), 0);
        EXPECT_EQ(sound_get_error(), 0);
        platform_headless_set_clocks(99999, 0, 0);
        ASSERT_TRUE(sound_recorded_play(&at, &path));
        EXPECT_EQ(at, 12345u);
        EXPECT_STREQ(path, tone_path.c_str());
    });
}

// 16-bit stereo frames of SDL's disk driver output.
static std::vector<int16_t> read_samples(const std::string& path)
{
    std::string bytes = read_text_file(path);
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

TEST(SoundLayer, MixerPlaysTheStreamOnce)
{
    // SDL's disk driver writes what would reach the sound card to a file; a
    // short delay per buffer lets it run faster than real time.
    TempDir dir;
    std::string audio = dir / "audio.raw";
    const size_t seconds_wanted = 12, bytes_per_second = 44100 * 4;
    EXPECT_IN_CHILD([&] {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);
        ASSERT_TRUE(sound_init(44100, 32, 2));
        SoundStream* stream = sound_stream_open_file(tone_path.c_str(), 0x51, 0);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, stream), 0);
        // Nothing more is called: the music goes on by itself. Wait (boundedly)
        // until the output holds three times the tone's length.
        for (int i = 0; i < 60000; i++) {
            std::error_code ignored;
            if (std::filesystem::file_size(audio, ignored) >= seconds_wanted * bytes_per_second) break;
            timespec pause = {0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    });

    std::vector<int16_t> samples = read_samples(audio);
    ASSERT_GE(samples.size() * 2, seconds_wanted * bytes_per_second);
    // The tone is where the output is not silent: once, about 4 s long.
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); i++)
        if (abs(samples[i]) > 64) {
            if (first == samples.size()) first = i;
            last = i;
        }
    ASSERT_LT(first, samples.size()) << "the written audio is silent";
    double heard = (double)(last - first) / 2 / 44100;
    EXPECT_NEAR(heard, 4.0, 0.2);
    // And it is the 440 Hz tone: count upward zero crossings of the left channel.
    int crossings = 0;
    for (size_t i = first + 2; i <= last; i += 2)
        if (samples[i - 2] < 0 && samples[i] >= 0) crossings++;
    EXPECT_NEAR(crossings / heard, 440.0, 10.0);
}
