// show_internals.h: what the parts of the show share inside demo/: the
// texture slots and table, the start time, the star field, the seven scenes
// and the timeline's table. demo.h is what the rest of the program sees (the
// two callbacks, --check-data, the data folder); this is the inside's view,
// and the tests'.
// Depends on OpenGL 1.1 (through the scenes) and sound/ (the error texts).
#pragma once

#include <cstdint>

// The texture slots, named after their pictures (texture_paths in
// startup.cpp says what each shows).
enum TextureSlot {
    SLOT_DEDOZUVO512,          // first title card
    SLOT_STAR,                 // star particles
    SLOT_LOADING,              // loading screen
    SLOT_LOADING2,             // loading screen, second half
    SLOT_BAAT1,                // boat frames: SLOT_BAAT1 + 0 to 3
    SLOT_BAAT2,
    SLOT_BAAT3,
    SLOT_BAAT4,
    SLOT_IN_THE_YEAR,          // second title card
    SLOT_DEDOZUVO_ATTACK,      // third title card
    SLOT_WORLD,                // world backdrop
    SLOT_HOPPER,               // jumping figure
    SLOT_ANGREP,               // attack flicker
    SLOT_CRISIS,               // still card
    SLOT_MAGGYVER_TV,          // slideshow
    SLOT_MAGGYVER_TV_2,
    SLOT_VERDENSLEDERE,
    SLOT_VERDENSLEDERE_2,
    SLOT_LOMMEKNIV,            // knife flicker
    SLOT_LOMMEKNIV_STIKKER,
    SLOT_LOGO_L,               // still card
    SLOT_CUBE,                 // box faces
    SLOT_PELMA,                // box background
    SLOT_MACGYVER_DEAD,        // still card
    SLOT_SAVES,                // closing still cards
    SLOT_SAVED,
    SLOT_FENDRASK,
    SLOT_FUGLEMAT,
    SLOT_OPTIMIZE,
    SLOT_TORVEK,
    SLOT_FISK,
    SLOT_QUOB,
    SLOT_ANGREP2,              // attack flicker
    TEXTURE_COUNT
};
static_assert(TEXTURE_COUNT == 33, "the show has 33 pictures");

// Texture slot N holds the picture of texture_paths[N]; generated once at
// start-up, whether or not the file loads. The paths start out under data/
// below the working directory; use_data_folder (demo.h) points them elsewhere.
extern uint32_t texture_table[TEXTURE_COUNT];
extern const char* texture_paths[TEXTURE_COUNT];
extern const char* soundtrack_path;

// The millisecond-clock reading that is the zero of the show, taken before
// the pictures load.
extern uint32_t demo_start_time;

// The one picture loader and the soundtrack's stream (null when it could not
// be opened): made at start-up, kept until the process ends.
class ImageLoader;
struct SoundStream;
extern ImageLoader* image_loader;
extern SoundStream* music_stream;

// Text for a sound-layer error code; any code outside 0..18 (negative codes
// too) is "Unknown error".
const char* sound_error_text(int32_t code);

// The show's random numbers: the C library's rand(), seeded once at start-up,
// brought to 0..32767 whatever RAND_MAX is (glibc's is 2^31 - 1).
int show_rand();

// One star of the title-card scene.
struct StarParticle {
    float x, y;          // lower-left corner of its 1x1 quad in the star plane
    float brightness;    // grey level this frame; dips just below 0 at the end
    float period;        // seconds of one sine cycle of the brightness: 4
    float age;           // seconds since the star was (re)started
    bool visible;        // drawn only when true
};
enum { STAR_COUNT = 5 };
extern StarParticle star_field[STAR_COUNT];
// Start-up: five invisible stars at random points of their cycle.
void seed_star_field();

// Scenes: each takes the frame delta in seconds and keeps its own clock, which
// only moves on frames on which it is drawn.
typedef void (*SceneFunction)(float delta);
void scene_loading(float delta);
void scene_title_cards(float delta);
void scene_world(float delta);
void scene_attack_flicker(float delta);
void scene_slideshow(float delta);
void scene_knife_flicker(float delta);
void scene_cube(float delta);

// The timeline: checked in order, the first step whose time has passed
// decides the frame.
enum TimelineAction {
    TIMELINE_EXIT,    // the show is over
    TIMELINE_CARD,    // a full-screen still card of slot `slot`
    TIMELINE_SCENE,   // `scene`
    TIMELINE_WORLD,   // blending off, then `scene`
};
struct TimelineStep {
    uint32_t threshold;   // milliseconds since demo_start_time
    bool extra_second;    // the step passes one second after its threshold
    TimelineAction action;
    int slot;
    SceneFunction scene;
};
enum { TIMELINE_STEPS = 18 };
// Not const so that a test can put a probe in place of a scene; the program
// itself never writes it.
extern TimelineStep timeline[TIMELINE_STEPS];

// True when more than threshold + 1000 ms have passed since demo_start_time.
bool elapsed_past(uint32_t threshold);
