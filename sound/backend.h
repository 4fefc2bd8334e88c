// backend.h: what sound.cpp shares with the two backend files. Private to
// sound/. Both backends decode through SDL2_mixer; they differ in the audio
// device they open and in what "play" does. In a browser web_audio.cpp
// provides the mixer_ functions instead, over Web Audio.
#pragma once

#include "sound.h"

struct _Mix_Music;

struct SoundStream {
    _Mix_Music* music;
    char path[1024];
};

// Opens SDL's audio with the driver SDL would pick (nullptr: SDL_AUDIODRIVER
// or its own default) or the one named, and the mixer on it. False when there
// is no usable output device.
bool mixer_open_device(const char* driver, int output_rate);
void mixer_close_device();
// Decodes enough of the file to know SDL_mixer can play it. Null when not.
_Mix_Music* mixer_load(const char* path);
// Starts the music once, in the background. False when SDL_mixer refuses.
bool mixer_play(_Mix_Music* music);
// Stops the music if it plays and releases it.
void mixer_free(_Mix_Music* music);

// Recording backend: notes the play.
void recording_note_play(const SoundStream* stream);
