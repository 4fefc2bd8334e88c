// sdl_keys.cpp: SDL events and key codes turned into PlatformEvent. The
// numbers are Windows' virtual-key codes, so that Escape is 27 whatever the
// keyboard layout sends as a character. Depends on SDL2's event types.
#include "sdl_keys.h"

unsigned sdl_key_code(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (unsigned)(key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (unsigned)(key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (unsigned)(key - SDLK_F1);
    switch (key) {
    case SDLK_ESCAPE: return PLATFORM_KEY_ESCAPE;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 0x0D;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return 0x12;
    case SDLK_PAUSE: return 0x13;
    case SDLK_CAPSLOCK: return 0x14;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    default: return 0;
    }
}

PlatformEvent sdl_translate_event(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        return {PLATFORM_EVENT_CLOSE, 0};
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) return {PLATFORM_EVENT_CLOSE, 0};
        return {PLATFORM_EVENT_OTHER, 0};
    case SDL_KEYDOWN:
        return {PLATFORM_EVENT_KEY_DOWN, sdl_key_code(event.key.keysym.sym)};
    case SDL_KEYUP:
        return {PLATFORM_EVENT_KEY_UP, sdl_key_code(event.key.keysym.sym)};
    default:
        return {PLATFORM_EVENT_OTHER, 0};
    }
}
