// sound_test.cpp: the sound layer's error codes and what it plays, with real SDL2_mixer (SDL's dummy and
// disk audio drivers stand in for a sound card), each case in a fresh process: the layer initialises once.
#include "child_process.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

static const std::string tone = OARGALA_TEST_DATA "/sound/tone.mp3";

static void expect_code(bool as_wanted, int code, const std::string& what)
{
    EXPECT_TRUE(as_wanted) << what;
    EXPECT_EQ(sound_get_error(), code) << what;
}

// The codes a backend gives before init, for a second init, for files that
// are not there or not music and for bad arguments. Returns the tone's stream.
static SoundStream* expect_codes(const TempDir& dir)
{
    expect_code(!sound_stream_open_file(tone.c_str(), 0x51, 0), 2, "open before init");
    expect_code(sound_stream_play(SOUND_FREE_CHANNEL, nullptr) == -1, 2, "play before init");
    expect_code(!sound_init(0, 32, 2), 14, "init at 0 Hz");
    expect_code(sound_init(44100, 32, 2), 0, "init");
    expect_code(!sound_init(44100, 32, 2), 1, "init again");
    std::ofstream(dir / "text.mp3") << "this is a text file, not an MPEG audio stream\n";
    std::ofstream(dir / "empty.mp3").flush();
    const struct { std::string path; int code; } files[] = {{dir / "missing.mp3", 9}, {dir / "text.mp3/x.mp3", 9},
        {dir / "text.mp3", 10}, {dir / "empty.mp3", 10}, {dir.path, 11}, {"", 14}, {tone, 0}};
    SoundStream* stream = nullptr;
    for (const auto& file : files) {
        stream = sound_stream_open_file(file.path.c_str(), 0x51, 0);
        expect_code((stream != nullptr) == (file.code == 0), file.code, "open " + file.path);
    }
    // Playing no stream (what the show does after a failed open), or on no channel.
    expect_code(sound_stream_play(SOUND_FREE_CHANNEL, nullptr) == -1, 14, "play no stream");
    expect_code(sound_stream_play(-2, stream) == -1, 14, "play on channel -2");
    return stream;
}

TEST(SoundLayer, RecordingBackendCodesAndThePlayItNotes)
{
    EXPECT_IN_CHILD([] {
        TempDir dir;
        const char* why = nullptr;
        ASSERT_TRUE(platform_select(PLATFORM_BACKEND_OFFSCREEN, &why));
        platform_headless_set_clocks(12345, 0, 0);
        sound_select(SOUND_BACKEND_RECORDING);
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);   // the recording backend's dummy device overrides it
        SoundStream* stream = expect_codes(dir);
        uint32_t at = 0;
        const char* path = nullptr;
        EXPECT_FALSE(sound_recorded_play(&at, &path));
        expect_code(sound_stream_play(SOUND_FREE_CHANNEL, stream) == 0, 0, "play");
        platform_headless_set_clocks(99999, 0, 0);
        ASSERT_TRUE(sound_recorded_play(&at, &path));
        EXPECT_EQ(at, 12345u);
        EXPECT_EQ(path, tone);
    });
}

TEST(SoundLayer, NoOutputDeviceIsToldOnceThenTheStreamPlaysIntoNothing)
{
    EXPECT_IN_CHILD([] {
        setenv("SDL_AUDIODRIVER", "no-such-driver", 1);   // SDL does not fall back from it
        expect_code(!sound_init(44100, 32, 2), 3, "init");
        expect_code(!sound_init(44100, 32, 2), 3, "init again: the same driver, not the stand-in's");
        SoundStream* stream = sound_stream_open_file(tone.c_str(), 0x51, 0);
        expect_code(stream != nullptr, 0, "open");
        expect_code(sound_stream_play(SOUND_FREE_CHANNEL, stream) == 0, 0, "play");
    });
}

TEST(SoundLayer, MixerCodesAndTheToneHeardOnce)
{
    // SDL's disk driver writes what would reach the sound card to a file, faster than real time.
    TempDir dir;
    std::string audio = dir / "audio.raw";
    const size_t wanted = 12 * 44100 * 4;   // three times the tone's length, 16-bit stereo
    EXPECT_IN_CHILD([&] {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);
        EXPECT_EQ(sound_stream_play(SOUND_FREE_CHANNEL, expect_codes(dir)), 0);
        // Nothing more is called: the music goes on by itself. Given up when
        // the output stops growing for 10 s.
        for (uintmax_t size = 0, last = 0, idle = 0; size < wanted && idle < 1000 && !HasFailure(); last = size) {
            usleep(10000);
            size = std::filesystem::exists(audio) ? std::filesystem::file_size(audio) : 0;
            idle = size > last ? 0 : idle + 1;
        }
    });
    std::string bytes = read_text_file(audio);
    ASSERT_GE(bytes.size(), wanted);
    std::vector<int16_t> samples(bytes.size() / 2);
    memcpy(samples.data(), bytes.data(), samples.size() * 2);
    // The tone is where the output is not silent: once, about 4 s long (so at the right speed).
    auto loud = [](int16_t sample) { return abs(sample) > 64; };
    auto first = std::find_if(samples.begin(), samples.end(), loud);
    ASSERT_NE(first, samples.end()) << "the written audio is silent";
    auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    EXPECT_NEAR((last - first) / 2.0 / 44100, 4.0, 0.2);
}
