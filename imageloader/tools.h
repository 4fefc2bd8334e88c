// tools.h: the loader's two command-line tools (placeholder).
#pragma once
int decode_command(const char* picture, const char* pam_output);
