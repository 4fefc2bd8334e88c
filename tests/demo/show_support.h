// show_support.h: what the show's tests share: one distinct solid colour per
// texture slot, a texture table filled with them, a data/ folder of real
// picture files in those colours (PNG and JPEG as the names say), and telling
// which slot a pixel shows.
#pragma once

#include "tests/support/gl_test.h"

#include <string>

// Slots 0, 8, 9 (title cards) and 1 (star) use only 0 and 255 per channel, so
// the title scene's colour-squaring blend leaves them as they are; the others
// mix in 85 and 170. None is black or white (white: an empty texture).
Rgb slot_colour(int slot);
Rgb scaled(Rgb colour, float grey);
// Fills texture_table with solid slot colours (needs a current GL context).
void fill_texture_table();
// Writes dir/data/ with the 33 pictures (size x size) but skip_slot's and,
// when soundtrack is true, tests/data/sound/tone.mp3 as data/lall.mp3.
void write_show_data(const std::string& dir, bool soundtrack, int skip_slot = -1, unsigned size = 16);
// The slot whose colour the pixel shows (within tolerance), -1 for white (an
// empty texture), -2 for anything else.
int slot_at(Rgb pixel, int tolerance = 8);
