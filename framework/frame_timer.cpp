// frame_timer.cpp: measures the time between frames on the platform's
// high-resolution counter and keeps it within 0..1 s, so that a counter that
// steps backwards or a long stall never reaches the show as a negative or
// large step. Depends on platform/ for the counter.
#include "glwindow.h"

double last_fps = 0.0;

static const double negative_step_delta = 1e-8;
static const double long_stall_limit = 1.0;
static const double long_stall_delta = 1e-7;

void GlWindow::start_timer()
{
    ticks_per_second = platform_counter_frequency();
    counter_frequency = (double)ticks_per_second;
    // The first interval is measured from here: it is the time the init
    // callback took, bounded like every other interval.
    counter_now = platform_counter();
    counter_prev = counter_now;
}

double GlWindow::update_timer(double* delta_out)
{
    counter_prev = counter_now;
    counter_now = platform_counter();
    if (counter_frequency == 0.0) return last_fps;
    int64_t ticks = counter_now - counter_prev;
    if (ticks == 0) return last_fps;

    double d = (double)ticks / counter_frequency;
    *delta_out = d;
    if (d < 0.0)
        *delta_out = negative_step_delta;
    else if (d > long_stall_limit)
        *delta_out = long_stall_delta;
    last_fps = 1.0 / d;
    return last_fps;
}
