// capture.h: the show rendered offscreen, frame-exact, to video or pictures.
#pragma once
#include "framework/options.h"
int capture_run(const Options& options);
