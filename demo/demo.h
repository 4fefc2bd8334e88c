// demo.h: the show's two callbacks for the GlWindow, and --check-data.
#pragma once
void demo_init(const char* title);
void demo_frame(const char* title);
int check_data_command();
