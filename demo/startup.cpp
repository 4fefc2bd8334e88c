// startup.cpp: demo_init, the show's start-up: the texture table and its
// files, the one picture loader, the random seed, the start time, the star
// field and the soundtrack. The pictures are decoded on worker threads from
// demo_decode_ahead on and uploaded here in slot order. Also the sound
// layer's error texts.
// Depends on imageloader/, sound/, platform/ (clock, message boxes), OpenGL.
#include "demo.h"
#include "show_internals.h"

#include "imageloader/image_loader.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include "platform/gl.h"

#include <cstdlib>

uint32_t texture_table[TEXTURE_COUNT];

const char* texture_paths[TEXTURE_COUNT] = {
    "data/dedozuvo512.png",              // 0  first title card
    "data/star.png",                     // 1  star particles
    "data/loading.png",                  // 2  loading screen
    "data/loading2.png",                 // 3  loading screen, second half
    "data/baat1.png",                    // 4  boat frames 0 to 3
    "data/baat2.png",                    // 5
    "data/baat3.png",                    // 6
    "data/baat4.png",                    // 7
    "data/in_the_year.png",              // 8  second title card
    "data/dedozuvo_attack.png",          // 9  third title card
    "data/world.png",                    // 10 world backdrop
    "data/hopper.png",                   // 11 jumping figure
    "data/angrep.png",                   // 12 attack flicker
    "data/crisis.png",                   // 13 still card
    "data/maggyver_tv_used.jpg",         // 14 slideshow
    "data/maggyver_tv_used_2.jpg",       // 15 slideshow
    "data/verdensledere_used.jpg",       // 16 slideshow
    "data/verdensledere_used_2.jpg",     // 17 slideshow
    "data/macgyver_lommekniv.jpg",       // 18 knife flicker
    "data/macgyver_lommekniv_stikker.jpg",  // 19 knife flicker
    "data/logo_l.jpg",                   // 20 still card
    "data/cube.png",                     // 21 box faces
    "data/pelma.png",                    // 22 box background
    "data/macgyver_dead.jpg",            // 23 still card
    "data/saves.png",                    // 24 still cards 24 to 31
    "data/saved.png",                    // 25
    "data/fendrask.png",                 // 26
    "data/fuglemat.png",                 // 27
    "data/optimize.png",                 // 28
    "data/torvek.png",                   // 29
    "data/fisk.png",                     // 30
    "data/quob.png",                     // 31
    "data/angrep2.png",                  // 32 attack flicker
};

const char* soundtrack_path = "data/lall.mp3";

// The paths start-up loads, in slot order: the one place they are chosen,
// for the decoding threads and for demo_init alike.
static const char* const* picture_paths() { return texture_paths; }

void demo_decode_ahead() { decode_ahead(picture_paths(), TEXTURE_COUNT, 0); }

uint32_t demo_start_time;

StarParticle star_field[STAR_COUNT];

// Created once and kept until the process ends, like everything here.
ImageLoader* image_loader;
SoundStream* music_stream;

static const char* const sound_caption = "ZUZORE RO DODAZED";

const char* sound_error_text(int32_t code)
{
    static const char* const texts[] = {
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
    // Compared as unsigned: negative codes land above the table.
    uint32_t index = (uint32_t)code;
    if (index >= sizeof texts / sizeof texts[0]) return "Unknown error";
    return texts[index];
}

int show_rand()
{
    // The top 15 bits: glibc's are as good as its low ones, and with a
    // RAND_MAX of 32767 this is rand() itself.
    return rand() / (RAND_MAX / 32768 + 1);
}

// show_rand() gives 0 to 32767; scaled by 1/32767 it spans 0 to 1 inclusive.
static const double rand_scale = 1.0 / 32767.0;

void seed_star_field()
{
    for (StarParticle& star : star_field) {
        int r1 = show_rand();
        int r2 = show_rand();
        star.x = (float)(r1 * rand_scale * 5.0);
        star.y = (float)(r2 * rand_scale * 5.0);
        star.period = 4.0f;
        star.brightness = 0.0f;
        star.visible = false;
        // A random point of the cycle, so the stars do not twinkle in step.
        int r3 = show_rand();
        star.age = (float)(r3 * rand_scale * star.period);
    }
}

static void start_music()
{
    // Each failure is shown once and the show goes on without music; the play
    // call is made whatever happened and then plays nothing.
    if (!sound_init(44100, 32, 2))
        platform_message_box(sound_caption, sound_error_text(sound_get_error()), PLATFORM_ICON_NONE);
    music_stream = sound_stream_open_file(soundtrack_path, 0x51, 0);
    if (!music_stream)
        platform_message_box(sound_caption, sound_error_text(sound_get_error()), PLATFORM_ICON_NONE);
    sound_stream_play(SOUND_FREE_CHANNEL, music_stream);
}

void demo_init(const char*)
{
    // Normally started by the entry before the window exists.
    demo_decode_ahead();
    // Names first: slot N is the Nth name whether or not its file loads.
    glGenTextures(TEXTURE_COUNT, texture_table);
    image_loader = new ImageLoader();
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    srand(platform_milliseconds());
    // The show's clock starts before the pictures load: loading time and any
    // message box count against the loading scene.
    demo_start_time = platform_milliseconds();

    static_assert(TEXTURE_COUNT == 33, "one path argument per slot below");
    const char* const* p = picture_paths();
    image_loader->load_textures(texture_table, TEXTURE_COUNT,
        p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10],
        p[11], p[12], p[13], p[14], p[15], p[16], p[17], p[18], p[19], p[20],
        p[21], p[22], p[23], p[24], p[25], p[26], p[27], p[28], p[29], p[30],
        p[31], p[32]);

    seed_star_field();
    start_music();
}
