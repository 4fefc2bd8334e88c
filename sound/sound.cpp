// sound.cpp: the sound layer's front: backend choice, the current error code,
// argument checks and the checks that both backends share (a second init, a
// missing file). The error codes follow the numbering of the show's sound
// error texts, so a failure reads the same whichever backend ran.
// Depends on the two backend files (mixer.cpp, recording.cpp) and POSIX stat.
#include "backend.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

enum {
    SOUND_OK = 0,
    SOUND_ERR_ALREADY_INITIALISED = 1,
    SOUND_ERR_NOT_INITIALISED = 2,
    SOUND_ERR_INIT = 3,
    SOUND_ERR_PLAY = 5,
    SOUND_ERR_FILE_NOT_FOUND = 9,
    SOUND_ERR_FILE_FORMAT = 10,
    SOUND_ERR_FILE_LOAD = 11,
    SOUND_ERR_INVALID_PARAM = 14,
};

static SoundBackend selected = SOUND_BACKEND_MIXER;
static bool initialised;   // sound_init succeeded
static bool device_open;   // some device is open: the real one, or the silent stand-in
static int error_code;

void sound_select(SoundBackend backend)
{
    // The backend cannot change under an opened device.
    if (!initialised) selected = backend;
}

// Every call leaves the code of its own outcome: 0 when it succeeded.
static bool fail(int code)
{
    error_code = code;
    return false;
}

bool sound_init(int output_rate, int max_channels, unsigned)
{
    if (initialised) return fail(SOUND_ERR_ALREADY_INITIALISED);
    if (output_rate <= 0 || max_channels <= 0) return fail(SOUND_ERR_INVALID_PARAM);
    // The recording backend never plays, but decoding with SDL_mixer needs an
    // opened device: it takes SDL's dummy driver, which exists everywhere.
    const char* driver = selected == SOUND_BACKEND_RECORDING ? "dummy" : nullptr;
    if (device_open) mixer_close_device();   // the silent stand-in of a failed init
    device_open = mixer_open_device(driver, output_rate);
    if (!device_open) {
        // No usable output device. The failure is reported, and the show is
        // told once: the soundtrack still opens and plays, into SDL's dummy
        // driver, instead of every later call failing for want of a device.
        device_open = mixer_open_device("dummy", output_rate);
        return fail(SOUND_ERR_INIT);
    }
    initialised = true;
    error_code = SOUND_OK;
    return true;
}

int sound_get_error() { return error_code; }

SoundStream* sound_stream_open_file(const char* path, unsigned, int length)
{
    if (!device_open) {
        fail(SOUND_ERR_NOT_INITIALISED);
        return nullptr;
    }
    if (!path || !path[0] || length < 0 || strlen(path) >= sizeof(SoundStream::path)) {
        fail(SOUND_ERR_INVALID_PARAM);
        return nullptr;
    }
    struct stat info;
    if (stat(path, &info) != 0) {
        fail(errno == ENOENT || errno == ENOTDIR ? SOUND_ERR_FILE_NOT_FOUND : SOUND_ERR_FILE_LOAD);
        return nullptr;
    }
    FILE* file = S_ISREG(info.st_mode) ? fopen(path, "rb") : nullptr;
    if (!file) {
        fail(SOUND_ERR_FILE_LOAD);
        return nullptr;
    }
    fclose(file);
    _Mix_Music* music = mixer_load(path);
    if (!music) {
        fail(SOUND_ERR_FILE_FORMAT);
        return nullptr;
    }
    SoundStream* stream = new SoundStream;
    stream->music = music;
    snprintf(stream->path, sizeof stream->path, "%s", path);
    error_code = SOUND_OK;
    return stream;
}

int sound_stream_play(int channel, SoundStream* stream)
{
    int code = SOUND_OK;
    if (!device_open)
        code = SOUND_ERR_NOT_INITIALISED;
    else if (!stream || channel < SOUND_FREE_CHANNEL)
        code = SOUND_ERR_INVALID_PARAM;
    else if (selected == SOUND_BACKEND_RECORDING)
        recording_note_play(stream);
    else if (!mixer_play(stream->music))
        code = SOUND_ERR_PLAY;
    error_code = code;
    if (code != SOUND_OK) return -1;
    // The music has one channel of its own.
    return channel == SOUND_FREE_CHANNEL ? 0 : channel;
}

void sound_stream_close(SoundStream* stream)
{
    if (!stream) return;
    mixer_free(stream->music);
    delete stream;
}
