// decode_command.h: the loader's command-line tool and the PAM writer it uses.
// `oargala --decode PICTURE OUT.pam` runs format detection and the readers
// on one picture (no window, no GL), prints the log lines the show would, and
// writes the decoded picture as PAM. Depends on image_loader.h, platform/.
#pragma once

#include <cstdint>

// Returns the process exit code: 0 when a picture was decoded and written,
// 1 otherwise (no file is written then).
int decode_command(const char* picture, const char* pam_output);

// Writes a PAM file (P7, TUPLTYPE RGB or RGB_ALPHA, MAXVAL 255, top row
// first) from a bottom-up buffer of 3 or 4 bytes per pixel. False when the
// file cannot be written, with the reason in errno.
bool write_pam(const char* path, const uint8_t* bottom_up_pixels, uint32_t width, uint32_t height,
               unsigned channels);
