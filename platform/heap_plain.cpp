// heap_plain.cpp: the heap's set-up for the start-up pictures where the C
// runtime offers no tuning of its own (Windows): nothing to do.
#include "platform.h"

void platform_prepare_heap_for_pictures() {}
