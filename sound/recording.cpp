// recording.cpp: the sound backend of the headless runs. It opens and checks a
// stream like the real one but never plays it: it notes the millisecond-clock
// reading at which the show started it, and its file, so that a capture can
// lay the soundtrack under the pictures at the right moment.
// Depends on platform/ (the millisecond clock).
#include "backend.h"

#include "platform/platform.h"

#include <cstdio>

static bool played;
static uint32_t played_at;
static char played_path[sizeof(SoundStream::path)];

void recording_note_play(const SoundStream* stream)
{
    // Like SDL_mixer, a later play replaces an earlier one.
    played = true;
    played_at = platform_milliseconds();
    snprintf(played_path, sizeof played_path, "%s", stream->path);
}

bool sound_recorded_play(uint32_t* start_milliseconds, const char** path)
{
    if (!played) return false;
    if (start_milliseconds) *start_milliseconds = played_at;
    if (path) *path = played_path;
    return true;
}
