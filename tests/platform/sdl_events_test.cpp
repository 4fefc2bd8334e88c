// sdl_events_test.cpp: what the window framework makes of SDL's events: a
// close request and Escape (going down or coming up) end the show, every
// other key comes through with its Windows key number (0 when it has none,
// never Escape's) and is swallowed, other events do nothing. No display needed.
#include "framework/glwindow.h"
#include "platform/sdl_keys.h"

#include <gtest/gtest.h>

static SDL_Event event_of(Uint32 type, Uint8 window_event = 0, SDL_Keycode key = 0)
{
    SDL_Event e = {};
    e.type = type;
    e.window.event = window_event;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        e.key.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = key;
    }
    return e;
}

TEST(SdlEvents, CloseRequestsEndTheShowOtherEventsDoNothing)
{
    const struct {
        SDL_Event event;
        PlatformEventKind kind;
    } rows[] = {{event_of(SDL_QUIT), PLATFORM_EVENT_CLOSE},
                {event_of(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE), PLATFORM_EVENT_CLOSE},
                {event_of(SDL_WINDOWEVENT, SDL_WINDOWEVENT_EXPOSED), PLATFORM_EVENT_OTHER},
                {event_of(SDL_MOUSEMOTION), PLATFORM_EVENT_OTHER}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.event.type);
        PlatformEvent p = sdl_translate_event(row.event);
        EXPECT_EQ(p.kind, row.kind);
        EXPECT_EQ(GlWindow::window_proc(p), row.kind == PLATFORM_EVENT_CLOSE);
    }
}

TEST(SdlEvents, KeysCarryWindowsKeyNumbersAndOnlyEscapeEnds)
{
    const struct {
        SDL_Keycode sdl;
        unsigned vk;
    } keys[] = {
        {SDLK_ESCAPE, 27}, {SDLK_a, 'A'}, {SDLK_z, 'Z'}, {SDLK_0, '0'}, {SDLK_9, '9'}, {SDLK_RETURN, 0x0D},
        {SDLK_SPACE, 0x20}, {SDLK_LEFT, 0x25}, {SDLK_DOWN, 0x28}, {SDLK_F1, 0x70}, {SDLK_F12, 0x7B},
        {SDLK_LSHIFT, 0x10}, {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09}, {SDLK_DELETE, 0x2E},
        {SDLK_KP_5, 0}, {SDLK_AUDIONEXT, 0}, {SDLK_LEFTBRACKET, 0}, {SDLK_ESCAPE + 1, 0},
    };
    for (const auto& k : keys)
        for (Uint32 type : {(Uint32)SDL_KEYDOWN, (Uint32)SDL_KEYUP}) {
            SCOPED_TRACE(std::string(SDL_GetKeyName(k.sdl)) + (type == SDL_KEYDOWN ? " down" : " up"));
            PlatformEvent p = sdl_translate_event(event_of(type, 0, k.sdl));
            EXPECT_EQ(p.key, k.vk);
            EXPECT_EQ(p.kind, type == SDL_KEYDOWN ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP);
            EXPECT_EQ(GlWindow::window_proc(p), k.sdl == SDLK_ESCAPE);
        }
}
