// frame_clock.h: the one rule of the virtual clock that a capture (and the
// browser page's test mode) runs the show by, so that every run draws the
// same frames whatever the machine's speed: at num/den frames a second,
// frame n (n = 1, 2, ...) is drawn when the millisecond clock reads
// floor(n * 1000 * den / num). In 128 bits: a sub-frame count times a
// denominator of up to 10^9 does not fit in 64. Depends on nothing.
#pragma once

#include <cstdint>

inline uint64_t frame_clock_ms(uint64_t n, uint32_t fps_num, uint32_t fps_den)
{
    return (uint64_t)((unsigned __int128)n * 1000u * fps_den / fps_num);
}
