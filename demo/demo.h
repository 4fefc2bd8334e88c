// demo.h: the show's two callbacks for the GlWindow, and --check-data.
#pragma once
// Starts decoding the show's pictures on worker threads (one per core), to
// be uploaded by demo_init; call it as early as possible. demo_init starts
// it itself when nobody did.
void demo_decode_ahead();
void demo_init(const char* title);
void demo_frame(const char* title);
int check_data_command();
