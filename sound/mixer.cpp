// mixer.cpp: the real sound, through SDL2_mixer (MP3 through mpg123). The
// music plays once in SDL's audio thread, with no further call from the
// program. SDL does not fall back to another driver when the chosen one has
// no device (ALSA without a sound card fails), so that failure is reported.
// Depends on SDL2 and SDL2_mixer.
#include "backend.h"

#include <SDL.h>
#include <SDL_mixer.h>

// 2048 sample frames: about 46 ms at 44.1 kHz, short enough that the music
// starts with the show.
static const int chunk_frames = 2048;

bool mixer_open_device(const char* driver, int output_rate)
{
    if (driver) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    bool audio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    // The driver is chosen now; a later open picks its own again (after the
    // dummy stand-in of a failed one, the user's SDL_AUDIODRIVER, say).
    if (driver) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!audio) return false;
    // Loads mpg123 where SDL_mixer keeps it as a plug-in; what is missing
    // shows later as a file it cannot decode.
    Mix_Init(MIX_INIT_MP3);
    if (Mix_OpenAudio(output_rate, AUDIO_S16SYS, 2, chunk_frames) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

void mixer_close_device()
{
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

_Mix_Music* mixer_load(const char* path) { return Mix_LoadMUS(path); }

bool mixer_play(_Mix_Music* music)
{
    // One pass: SDL_mixer plays a music loops times, and 1 means once.
    return Mix_PlayMusic(music, 1) == 0;
}

void mixer_free(_Mix_Music* music) { Mix_FreeMusic(music); }
