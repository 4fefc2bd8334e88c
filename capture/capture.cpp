#include "capture.h"
#include <cstdio>
int capture_run(const Options&) { fprintf(stderr, "oargala: --capture is not built yet\n"); return 1; }
