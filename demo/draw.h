// draw.h: the two drawing primitives every picture of the show goes through.
// begin_overlay switches to a fixed 640x480 screen space (origin bottom-left,
// y up, whatever the window's pixel size); draw_quad draws one textured,
// optionally rotated rectangle in that space or in the caller's transform.
// Depends on platform/gl.h (OpenGL 1.1 calls).
#pragma once

#include <cstdint>

void begin_overlay();
// (x, y): lower-left corner of the unrotated rectangle; angle in degrees,
// counter-clockwise about its centre. Overlay quads lie at z = -100 and leave
// both matrices as they were; other quads stay multiplied into the model-view
// matrix.
void draw_quad(float x, float y, float w, float h, uint32_t texture, uint8_t overlay, float angle);
// The texture over the whole 640x480 overlay: a background or a still card.
void draw_full_screen(uint32_t texture);
