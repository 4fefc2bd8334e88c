// sound_test.cpp: the sound layer's error codes and what it plays, with real
// SDL2_mixer (SDL's dummy and disk audio drivers stand in for a sound card).
// Each case runs in a fresh process: the layer is initialised once per process.
#include "child_process.h"

#include "platform/platform.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>

static const std::string tone = OARGALA_TEST_DATA "/sound/tone.mp3";

// The codes a backend gives before init, for a second init, for files that
// are not there or not music and for bad arguments. Returns the tone's stream.
static SoundStream* expect_codes(const TempDir& dir)
{
    EXPECT_EQ(sound_stream_open_file(tone.c_str(), 0x51, 0), nullptr);
    EXPECT_EQ(sound_get_error(), 2);
    EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, nullptr), -1);
    EXPECT_EQ(sound_get_error(), 2);
    EXPECT_FALSE(sound_init(0, 32, 2));
    EXPECT_EQ(sound_get_error(), 14);
    EXPECT_TRUE(sound_init(44100, 32, 2));
    EXPECT_EQ(sound_get_error(), 0);
    EXPECT_FALSE(sound_init(44100, 32, 2));
    EXPECT_EQ(sound_get_error(), 1);

    std::ofstream(dir / "text.mp3") << "this is a text file, not an MPEG audio stream\n";
    std::ofstream(dir / "empty.mp3").flush();
    const struct {
        std::string path;
        int code;
    } files[] = {{dir / "missing.mp3", 9}, {dir / "text.mp3/x.mp3", 9}, {dir / "text.mp3", 10},
                 {dir / "empty.mp3", 10}, {dir.path, 11}, {"", 14}, {tone, 0}};
    SoundStream* stream = nullptr;
    for (const auto& file : files) {
        stream = sound_stream_open_file(file.path.c_str(), 0x51, 0);
        EXPECT_EQ(stream != nullptr, file.code == 0) << file.path;
        EXPECT_EQ(sound_get_error(), file.code) << file.path;
    }
    // Playing no stream (what the show does after a failed open), or on no channel.
    EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, nullptr), -1);
    EXPECT_EQ(sound_get_error(), 14);
    EXPECT_EQ(sound_stream_play(-2, stream), -1);
    EXPECT_EQ(sound_get_error(), 14);
    return stream;
}

TEST(SoundLayer, RecordingBackendCodesAndThePlayItNotes)
{
    EXPECT_IN_CHILD([] {
        TempDir dir;
        const char* why = nullptr;
        ASSERT_TRUE(platform_select(PLATFORM_BACKEND_HEADLESS, &why));
        platform_headless_set_clocks(12345, 0, 0);
        sound_select(SOUND_BACKEND_RECORDING);
        SoundStream* stream = expect_codes(dir);
        uint32_t at = 0;
        const char* path = nullptr;
        EXPECT_FALSE(sound_recorded_play(&at, &path));
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, stream), 0);
        EXPECT_EQ(sound_get_error(), 0);
        platform_headless_set_clocks(99999, 0, 0);
        ASSERT_TRUE(sound_recorded_play(&at, &path));
        EXPECT_EQ(at, 12345u);
        EXPECT_EQ(path, tone);
    });
}

TEST(SoundLayer, NoOutputDevice)
{
    // SDL does not fall back from a driver that cannot open a device.
    EXPECT_IN_CHILD([] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
        EXPECT_FALSE(sound_init(44100, 32, 2));
        EXPECT_EQ(sound_get_error(), 3);
        // Told once: the stream still opens and plays, into nothing.
        SoundStream* stream = sound_stream_open_file(tone.c_str(), 0x51, 0);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(sound_get_error(), 0);
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, stream), 0);
        sound_stream_close(stream);
        EXPECT_EQ(sound_stream_open_file("no-such-file.mp3", 0x51, 0), nullptr);
        EXPECT_EQ(sound_get_error(), 9);
    });
}

TEST(SoundLayer, MixerCodesAndTheToneHeardOnce)
{
    // SDL's disk driver writes what would reach the sound card to a file; a
    // short delay per buffer lets it run faster than real time.
    TempDir dir;
    std::string audio = dir / "audio.raw";
    const size_t wanted = 12 * 44100 * 4;   // three times the tone's length, 16-bit stereo
    EXPECT_IN_CHILD([&] {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, expect_codes(dir)), 0);
        if (::testing::Test::HasFailure()) return;
        // Nothing more is called: the music goes on by itself.
        std::error_code ignored;
        for (int i = 0; i < 60000 && std::filesystem::file_size(audio, ignored) < wanted; i++) {
            timespec pause = {0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    });
    std::string bytes = read_text_file(audio);
    ASSERT_GE(bytes.size(), wanted);
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    // The tone is where the output is not silent: once, about 4 s long.
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); i++)
        if (abs(samples[i]) > 64) {
            first = std::min(first, i);
            last = i;
        }
    ASSERT_LT(first, samples.size()) << "the written audio is silent";
    EXPECT_NEAR((double)(last - first) / 2 / 44100, 4.0, 0.2);   // at the right speed
}
