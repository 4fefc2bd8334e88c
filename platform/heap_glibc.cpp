// heap_glibc.cpp: the heap's set-up for the pictures decoded at start-up, on
// glibc. Depends on glibc's mallopt and Linux's madvise.
#include "platform.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

// Pictures are allocated on the workers and freed on the GL thread right
// after the driver has allocated the texture's own copy. With one malloc
// arena, large blocks from the heap rather than fresh mappings, and the heap
// not handed back at once, the driver's next texture reuses a freed
// picture's pages instead of faulting in new ones. The heap also grows by
// one large step whose memory is backed by huge pages where the kernel has
// them: a few faults per picture instead of hundreds. Together they took
// the upload of the shipped pictures on llvmpipe from about 45 ms to under
// 10 ms.
void platform_prepare_heap_for_pictures()
{
    const size_t huge_page = 2 << 20, reserve = 192 << 20;
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, reserve + (32 << 20));
    mallopt(M_TOP_PAD, reserve);
    uintptr_t old_end = (uintptr_t)sbrk(0);
    void* volatile grow = malloc(huge_page);   // volatile: kept, so the heap grows by the reserve
    free(grow);
    uintptr_t new_end = (uintptr_t)sbrk(0);
    mallopt(M_TOP_PAD, 128 << 10);   // glibc's default again
    uintptr_t first = (old_end + huge_page - 1) & ~(uintptr_t)(huge_page - 1);
    uintptr_t last = new_end & ~(uintptr_t)(huge_page - 1);
    if (old_end != (uintptr_t)-1 && last > first) madvise((void*)first, last - first, MADV_HUGEPAGE);
}
