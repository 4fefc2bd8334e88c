// web_audio.cpp: the sound backend of the browser page, in place of
// SDL2_mixer (mixer.cpp): the browser's own MP3 decoder and Web Audio play the
// soundtrack. sound.cpp's checks and error codes stay the same. The page
// makes the AudioContext and decodes the soundtrack while its title shows
// (decoding needs no user's gesture), and hands both over as
// Module.audioContext and Module.music: when the show opens the same bytes,
// the music starts at once with the show, from its first note. Other bytes
// are decoded here; a play asked for before that has finished starts when it
// has, that much later into the music.
// While the music plays, Module.musicClock tells the page's platform layer
// (platform/web.cpp) which reading of the show's clock the music has reached
// (the audio output's own clock: getOutputTimestamp), so picture and sound
// keep one clock. The music stops when the show ends (platform_exit).
// Depends on Emscripten and platform/.
#include "backend.h"

#include "platform/platform.h"

#include <emscripten.h>

#include <cstdio>
#include <cstring>
#include <vector>

struct _Mix_Music {
    int id;   // the page's handle (Module.sounds[id])
};

EM_JS(int, web_audio_available, (), { return Module['audioContext'] ? 1 : 0; });

// Starts decoding bytes (or takes the page's decoded soundtrack when they
// are its bytes); returns the handle.
EM_JS(int, web_audio_load, (const unsigned char* bytes, int size), {
    var sounds = Module['sounds'] = Module['sounds'] || [];
    var sound = { buffer: null, playAt: -1, playClock: 0, source: null, offset: 0, startedAt: 0 };
    var id = sounds.length;
    sounds.push(sound);
    var context = Module['audioContext'];
    if (!context) return id;
    // Where the output is now, on the context's clock: what is heard, not
    // what is being mixed ahead of it.
    function heard() {
        var stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
        if (stamp && stamp.performanceTime > 0)
            return stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000;
        return context.currentTime;
    }
    function start() {
        if (!sound.buffer || sound.playAt < 0 || sound.source) return;
        var late = Math.max(0, (performance.now() - sound.playAt) / 1000);
        if (late >= sound.buffer.duration) return;
        sound.source = context.createBufferSource();
        sound.source.buffer = sound.buffer;
        sound.source.connect(context.destination);
        sound.source.start(0, late);
        sound.offset = late;
        sound.startedAt = context.currentTime;
        sound.startedAtPage = performance.now();
        Module['musicClock'] = function() {
            if (!sound.source || context.state !== 'running') return null;
            var position = sound.offset + heard() - sound.startedAt;
            if (position >= sound.buffer.duration) return null;
            return sound.playClock + position * 1000;
        };
    }
    sound.start = start;
    var given = Module['music'];
    if (given && given.buffer && given.bytes.length == size) {
        var same = true;
        for (var i = 0; i < size && same; i++) same = given.bytes[i] == HEAPU8[bytes + i];
        if (same) {
            sound.buffer = given.buffer;
            return id;
        }
    }
    var copy = HEAPU8.slice(bytes, bytes + size).buffer;
    context.decodeAudioData(copy).then(function(buffer) {
        sound.buffer = buffer;
        start();
    }, function(error) {
        console.error('(sound) the browser cannot decode the soundtrack: ' + error);
    });
    return id;
});

// clock: the show's clock (platform_milliseconds) when the play was asked.
EM_JS(void, web_audio_play, (int id, double clock), {
    var sound = Module['sounds'][id];
    if (sound.playAt >= 0) return;
    sound.playAt = performance.now();
    sound.playClock = clock;
    if (sound.start) sound.start();
});

EM_JS(void, web_audio_stop, (int id), {
    var sound = Module['sounds'] && Module['sounds'][id];
    if (!sound) return;
    if (sound.source) sound.source.stop();
    sound.source = null;
    sound.buffer = null;
    sound.start = null;
    Module['musicClock'] = null;
});

static std::vector<_Mix_Music*> playing;

static void stop_all(int)
{
    for (_Mix_Music* music : playing) web_audio_stop(music->id);
    playing.clear();
}

bool mixer_open_device(const char* driver, int)
{
    // The dummy device (the stand-in after a failed init) is always there.
    if (driver && strcmp(driver, "dummy") == 0) return true;
    return web_audio_available();
}

void mixer_close_device() {}

// An MP3 stream begins with an ID3 tag or an MPEG audio frame's sync bits;
// anything else the browser's decoder would refuse later, out of step.
static bool looks_like_mp3(const std::vector<unsigned char>& bytes)
{
    if (bytes.size() >= 3 && memcmp(bytes.data(), "ID3", 3) == 0) return true;
    return bytes.size() >= 2 && bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
}

_Mix_Music* mixer_load(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file) return nullptr;
    std::vector<unsigned char> bytes;
    unsigned char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + n);
    fclose(file);
    if (!looks_like_mp3(bytes)) return nullptr;
    _Mix_Music* music = new _Mix_Music;
    music->id = web_audio_load(bytes.data(), (int)bytes.size());
    return music;
}

bool mixer_play(_Mix_Music* music)
{
    static bool hooked;
    if (!hooked) platform_on_exit(stop_all);
    hooked = true;
    web_audio_play(music->id, (double)platform_milliseconds());
    playing.push_back(music);
    return true;
}

void mixer_free(_Mix_Music* music)
{
    if (!music) return;
    web_audio_stop(music->id);
    for (size_t i = 0; i < playing.size(); i++)
        if (playing[i] == music) playing.erase(playing.begin() + (long)i);
    delete music;
}
