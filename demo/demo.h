// demo.h: the show's two callbacks for the GlWindow, and --check-data.
#pragma once

#include <cstdint>
void demo_init(const char* title);
void demo_frame(const char* title);
// Milliseconds since the show's start: what the timeline goes by.
uint32_t demo_show_milliseconds();
int check_data_command();
