#include "tools.h"
#include <cstdio>
int decode_command(const char*, const char*) { fprintf(stderr, "oargala: --decode is not built yet\n"); return 1; }
