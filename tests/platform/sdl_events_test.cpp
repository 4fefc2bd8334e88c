// sdl_events_test.cpp: what the window framework makes of SDL's events: a
// close request and Escape (down or up) end the show, every other key comes
// through with a number that is not Escape's. No display needed.
#include "framework/glwindow.h"
#include "platform/sdl_keys.h"

#include <gtest/gtest.h>

static SDL_Event key_event(Uint32 type, SDL_Keycode key)
{
    SDL_Event e = {};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    return e;
}

TEST(SdlEvents, CloseRequestsEndTheShow)
{
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_Event close = {};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    for (const SDL_Event& e : {quit, close}) {
        PlatformEvent p = sdl_translate_event(e);
        EXPECT_EQ(p.kind, PLATFORM_EVENT_CLOSE);
        EXPECT_TRUE(GlWindow::window_proc(p));
    }
    // Other window events (shown, exposed, focus) do nothing.
    SDL_Event exposed = close;
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    EXPECT_EQ(sdl_translate_event(exposed).kind, PLATFORM_EVENT_OTHER);
    EXPECT_FALSE(GlWindow::window_proc(sdl_translate_event(exposed)));
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    EXPECT_EQ(sdl_translate_event(motion).kind, PLATFORM_EVENT_OTHER);
}

TEST(SdlEvents, EscapeGoingDownOrComingUpEnds)
{
    PlatformEvent down = sdl_translate_event(key_event(SDL_KEYDOWN, SDLK_ESCAPE));
    PlatformEvent up = sdl_translate_event(key_event(SDL_KEYUP, SDLK_ESCAPE));
    EXPECT_EQ(down.kind, PLATFORM_EVENT_KEY_DOWN);
    EXPECT_EQ(up.kind, PLATFORM_EVENT_KEY_UP);
    EXPECT_EQ(down.key, 27u);
    EXPECT_EQ(up.key, 27u);
    EXPECT_TRUE(GlWindow::window_proc(down));
    EXPECT_TRUE(GlWindow::window_proc(up));
}

TEST(SdlEvents, OtherKeysCarryVirtualKeyNumbersAndAreSwallowed)
{
    const struct {
        SDL_Keycode sdl;
        unsigned vk;
    } keys[] = {
        {SDLK_a, 'A'}, {SDLK_z, 'Z'}, {SDLK_0, '0'}, {SDLK_9, '9'}, {SDLK_RETURN, 0x0D}, {SDLK_SPACE, 0x20},
        {SDLK_LEFT, 0x25}, {SDLK_DOWN, 0x28}, {SDLK_F1, 0x70}, {SDLK_F12, 0x7B}, {SDLK_LSHIFT, 0x10},
        {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09}, {SDLK_DELETE, 0x2E},
        // Keys without a number of their own: 0, never Escape's 27.
        {SDLK_KP_5, 0}, {SDLK_AUDIONEXT, 0}, {SDLK_LEFTBRACKET, 0}, {SDLK_ESCAPE + 1, 0},
    };
    for (const auto& k : keys) {
        for (Uint32 type : {(Uint32)SDL_KEYDOWN, (Uint32)SDL_KEYUP}) {
            PlatformEvent p = sdl_translate_event(key_event(type, k.sdl));
            EXPECT_EQ(p.key, k.vk) << SDL_GetKeyName(k.sdl);
            EXPECT_EQ(p.kind, type == SDL_KEYDOWN ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP);
            EXPECT_FALSE(GlWindow::window_proc(p)) << SDL_GetKeyName(k.sdl);
        }
    }
}
