// sdl_events_test.cpp: what the window framework makes of SDL's events: a
// close request and Escape (going down or coming up) end the show, every
// other key comes through with its Windows key number (0 when it has none,
// never Escape's) and is swallowed, other events do nothing. No display needed.
#include "framework/glwindow.h"
#include "platform/sdl_keys.h"

#include <gtest/gtest.h>

TEST(SdlEvents, CloseRequestsAndEscapeEndTheShowOtherKeysCarryWindowsNumbers)
{
    // SDL's event type, its window event or key; the kind of event and key number the framework gets.
    const struct { Uint32 type; int detail; PlatformEventKind kind; unsigned vk; } rows[] = {
        {SDL_QUIT, 0, PLATFORM_EVENT_CLOSE, 0}, {SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE, PLATFORM_EVENT_CLOSE, 0},
        {SDL_WINDOWEVENT, SDL_WINDOWEVENT_EXPOSED, PLATFORM_EVENT_OTHER, 0}, {SDL_MOUSEMOTION, 0, PLATFORM_EVENT_OTHER, 0},
        {SDL_KEYDOWN, SDLK_ESCAPE, PLATFORM_EVENT_KEY_DOWN, 27}, {SDL_KEYUP, SDLK_ESCAPE, PLATFORM_EVENT_KEY_UP, 27},
        {SDL_KEYDOWN, SDLK_a, PLATFORM_EVENT_KEY_DOWN, 'A'}, {SDL_KEYUP, SDLK_z, PLATFORM_EVENT_KEY_UP, 'Z'},
        {SDL_KEYDOWN, SDLK_0, PLATFORM_EVENT_KEY_DOWN, '0'}, {SDL_KEYUP, SDLK_9, PLATFORM_EVENT_KEY_UP, '9'},
        {SDL_KEYDOWN, SDLK_RETURN, PLATFORM_EVENT_KEY_DOWN, 0x0D}, {SDL_KEYUP, SDLK_SPACE, PLATFORM_EVENT_KEY_UP, 0x20},
        {SDL_KEYDOWN, SDLK_LEFT, PLATFORM_EVENT_KEY_DOWN, 0x25}, {SDL_KEYUP, SDLK_DOWN, PLATFORM_EVENT_KEY_UP, 0x28},
        {SDL_KEYDOWN, SDLK_F1, PLATFORM_EVENT_KEY_DOWN, 0x70}, {SDL_KEYUP, SDLK_F12, PLATFORM_EVENT_KEY_UP, 0x7B},
        {SDL_KEYDOWN, SDLK_LSHIFT, PLATFORM_EVENT_KEY_DOWN, 0x10}, {SDL_KEYUP, SDLK_BACKSPACE, PLATFORM_EVENT_KEY_UP, 0x08},
        {SDL_KEYDOWN, SDLK_TAB, PLATFORM_EVENT_KEY_DOWN, 0x09}, {SDL_KEYUP, SDLK_DELETE, PLATFORM_EVENT_KEY_UP, 0x2E},
        // Keys without a number of their own: 0, never Escape's.
        {SDL_KEYDOWN, SDLK_KP_5, PLATFORM_EVENT_KEY_DOWN, 0}, {SDL_KEYUP, SDLK_AUDIONEXT, PLATFORM_EVENT_KEY_UP, 0},
        {SDL_KEYDOWN, SDLK_LEFTBRACKET, PLATFORM_EVENT_KEY_DOWN, 0}, {SDL_KEYUP, SDLK_ESCAPE + 1, PLATFORM_EVENT_KEY_UP, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.type) + " " + std::to_string(row.detail));
        SDL_Event e = {};
        e.type = row.type;
        if (row.type == SDL_WINDOWEVENT) e.window.event = (Uint8)row.detail;
        if (row.type == SDL_KEYDOWN || row.type == SDL_KEYUP) {
            e.key.state = row.type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.sym = row.detail;
        }
        PlatformEvent p = sdl_translate_event(e);
        EXPECT_EQ(p.kind, row.kind);
        if (row.kind == PLATFORM_EVENT_KEY_DOWN || row.kind == PLATFORM_EVENT_KEY_UP) {
            EXPECT_EQ(p.key, row.vk);
        }
        EXPECT_EQ(GlWindow::window_proc(p), row.kind == PLATFORM_EVENT_CLOSE || row.vk == 27);
    }
}
