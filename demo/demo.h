// demo.h: the show as the rest of the program sees it: its two callbacks for
// the GlWindow, --check-data, and the choice of the folder the show reads its
// files from. What the show's own parts share is in show_internals.h.
#pragma once

#include <cstdint>
#include <string>

// The show's length: its last frame is drawn at or before this, and the
// timeline ends the program after it. The capture plans its frames by it.
static const uint32_t demo_show_end_ms = 159000;

// Starts decoding the show's pictures on worker threads (one per core), to
// be uploaded by demo_init; call it as early as possible (after
// use_data_folder). demo_init starts it itself when nobody did.
void demo_decode_ahead();
void demo_init(const char* title);
void demo_frame(const char* title);
// The slot of the still card demo_frame draws at this moment, -1 for
// anything else: a card is the same picture every time it is drawn.
int demo_still_card();
// Milliseconds since the show's start: what the timeline goes by.
uint32_t demo_show_milliseconds();
int check_data_command();

// The first of option_folder (--data; empty: not given), data/ below the
// working directory, data/ beside the executable and the installed data next
// to the executable that holds the soundtrack or the first picture. False
// when none does: *folder is then data/ below the working directory, and
// *searched lists the places tried, comma-separated.
bool find_data_folder(const std::string& option_folder, std::string* folder, std::string* searched);
// Every picture and the soundtrack are read from folder from now on.
void use_data_folder(const std::string& folder);
