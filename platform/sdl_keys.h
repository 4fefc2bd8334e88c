// sdl_keys.h: SDL's events as the window framework sees them: a close request,
// raw key-down / key-up with a Windows virtual-key number, or anything else.
// Private to platform/ (and its tests). Depends on SDL2's event types.
#pragma once

#include "platform.h"

#include <SDL_events.h>

// The virtual-key number of an SDL key: Escape 27, letters 'A'..'Z', digits
// '0'..'9', the usual editing, arrow and function keys; 0 for keys with no
// number of their own (never 27).
unsigned sdl_key_code(SDL_Keycode key);

PlatformEvent sdl_translate_event(const SDL_Event& event);
