// sound.h: the little the show needs from a sound library: initialise the
// output, read the current error code, open a file as a stream, play it once
// in the background on any free channel. Error codes (sound_get_error):
//   0 no error, 1 init called twice, 2 not initialised, 3 no usable output
//   device, 5 playing failed, 9 file not found, 10 unknown file format,
//   11 error loading file, 14 invalid parameter, 16 no free channel.
// Two backends: SDL2_mixer plays for real; the recording backend (headless
// runs, capture) opens and checks the same way but only notes when and what
// it was asked to play. In a browser web_audio.cpp stands in for
// SDL2_mixer: the browser's own decoder and Web Audio.
#pragma once

#include <cstdint>

enum SoundBackend {
    SOUND_BACKEND_MIXER,
    SOUND_BACKEND_RECORDING,
};

// Choose before sound_init; the default is SOUND_BACKEND_MIXER.
void sound_select(SoundBackend backend);

struct SoundStream;

enum { SOUND_FREE_CHANNEL = -1 };

bool sound_init(int output_rate, int max_channels, unsigned flags);
int sound_get_error();
// mode: the flags of the stream (0x51: no loop, 16 bits, stereo); length 0
// means the whole file. Null on failure, with the error code set.
SoundStream* sound_stream_open_file(const char* path, unsigned mode, int length);
// Starts the stream once, never looping. Returns the channel, -1 on failure.
int sound_stream_play(int channel, SoundStream* stream);
// Stops the stream if it plays and releases it (the show keeps its one
// stream to the end; tools that only check a file close it).
void sound_stream_close(SoundStream* stream);

// Recording backend: whether a stream was played, the millisecond-clock
// reading (platform_milliseconds) at which it started, and its file.
bool sound_recorded_play(uint32_t* start_milliseconds, const char** path);
