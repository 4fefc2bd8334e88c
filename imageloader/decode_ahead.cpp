// decode_ahead.cpp: decoding a list of pictures on worker threads while the
// program does other things (creating its window, uploading the pictures
// already decoded), so that load_texture finds them ready. Workers take the
// pictures in list order; each decodes with a loader of its own and holds
// its log lines back, so what is printed, and when, is what reading the
// files one by one at load time prints. Message boxes and GL stay on the
// calling thread. The buffers held at once are bounded: a worker waits for
// the show to take pictures over. Built with OARGALA_NO_THREADS (the browser
// page, which has one thread) no worker starts: the calling thread decodes
// each picture when it takes it, with the same lines. Depends on
// image_loader.h, platform/ (the heap's set-up for many large pictures) and
// the C++ thread library.
#include "image_loader.h"

#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Decoded {
    std::string path;
    bool done = false;
    bool taken = false;
    bool opened = false;
    bool recognised = false;
    ImageLoader picture;     // pixels and what read_image left in the fields
    std::string held_log;
    uint64_t reserved = 0;   // bytes of its buffer, counted in DecodeAhead::held
};

// Made once by the first decode_ahead and never destroyed: a worker may
// still be running when the process exits.
struct DecodeAhead {
    std::vector<Decoded> pictures;
    std::atomic<uint32_t> next{0};
    std::mutex lock;
    std::condition_variable changed;   // a picture decoded, taken over or wanted
    uint64_t held = 0, budget = 0;     // bytes of the buffers not yet taken over
    uint32_t wanted = 0;               // the picture load_texture asks for, or last asked for
};
DecodeAhead* ahead;

// The picture this thread is decoding, and whether the thread is a worker:
// the calling thread decodes along only while it waits for a picture, and
// never waits for memory, or it could not take over what frees it.
thread_local Decoded* decoding;
thread_local uint32_t decoding_index;
thread_local bool worker;

void reserve(uint64_t bytes)
{
    std::unique_lock<std::mutex> guard(ahead->lock);
    if (worker)
        ahead->changed.wait(guard, [&] {
            return ahead->held + bytes <= ahead->budget || decoding_index <= ahead->wanted;
        });
    ahead->held += bytes;
    decoding->reserved += bytes;
}

// Under the lock: the picture's buffer no longer counts.
void release(Decoded& decoded)
{
    ahead->held -= decoded.reserved;
    decoded.reserved = 0;
    ahead->changed.notify_all();
}

// Stand-ins no reader writes (sides are at most 65535 in the formats that
// set them before failing), to tell which fields a reader set.
const uint32_t unset_side = UINT32_MAX;
const uint16_t unset_depth = UINT16_MAX;

void decode_one(Decoded& decoded, int index)
{
    decoded.picture.texture_layout = true;
    decoded.picture.width = decoded.picture.height = unset_side;
    decoded.picture.bits_per_pixel = unset_depth;
    // Opened here, not by read_image: a file that cannot be opened gets its
    // line and its message box from the calling thread, at its turn.
    FILE* file = fopen(decoded.path.c_str(), "rb");
    if (!file) return;
    decoded.opened = true;
    decoding = &decoded;
    decoding_index = (uint32_t)index;
    hold_log(&decoded.held_log);
    hold_allocations(reserve);
    decoded.recognised = decoded.picture.read_opened(file, index);
    hold_allocations(nullptr);
    hold_log(nullptr);
}

// Decodes the next picture nobody has taken yet; false when none is left.
bool decode_next()
{
    uint32_t index = ahead->next.fetch_add(1);
    if (index >= ahead->pictures.size()) return false;
    Decoded& decoded = ahead->pictures[index];
    decode_one(decoded, (int)index);
    std::lock_guard<std::mutex> guard(ahead->lock);
    decoded.done = true;
    if (!decoded.picture.pixels) release(decoded);   // a reader that gave up freed it
    ahead->changed.notify_all();
    return true;
}

}  // namespace

void decode_ahead(const char* const* paths, uint32_t count, unsigned threads, uint64_t budget)
{
    if (ahead) return;
    platform_prepare_heap_for_pictures();
    ahead = new DecodeAhead;
    ahead->budget = budget;
    ahead->pictures = std::vector<Decoded>(count);
    for (uint32_t i = 0; i < count; i++) ahead->pictures[i].path = paths[i];
    // One core is left to the calling thread: it makes the window and the GL
    // context meanwhile, which every frame waits for, and decodes along once
    // it has to wait for a picture (take_decoded).
    if (threads == 0) threads = std::max(2u, std::thread::hardware_concurrency()) - 1;
    threads = std::min(threads, std::max(1u, count));
#ifdef OARGALA_NO_THREADS
    threads = 0;
#endif
    for (unsigned i = 0; i < threads; i++)
        std::thread([] {
            worker = true;
            while (decode_next()) {
            }
        }).detach();
}

bool take_decoded(ImageLoader* loader, int index, const char* path, bool* recognised)
{
    if (!ahead || index < 0 || (size_t)index >= ahead->pictures.size()) return false;
    Decoded& decoded = ahead->pictures[(size_t)index];
    if (decoded.taken || decoded.path != path) return false;
    // Rather than wait idle, decode the pictures after this one.
    std::unique_lock<std::mutex> guard(ahead->lock);
    ahead->wanted = std::max(ahead->wanted, (uint32_t)index);
    ahead->changed.notify_all();
    while (!decoded.done) {
        guard.unlock();
        bool helped = decode_next();
        guard.lock();
        if (!helped) ahead->changed.wait(guard, [&] { return decoded.done; });
    }
    decoded.taken = true;
    release(decoded);
    guard.unlock();
    if (!decoded.opened) return false;

    print_held_log(decoded.held_log);
    decoded.held_log = std::string();
    ImageLoader& from = decoded.picture;
    delete[] loader->pixels;
    loader->pixels = from.pixels;
    from.pixels = nullptr;
    // What the reader did not set keeps the previous picture's value, as
    // reading the file here would have left it.
    if (from.width != unset_side) loader->width = from.width;
    if (from.height != unset_side) loader->height = from.height;
    if (from.bits_per_pixel != unset_depth) loader->bits_per_pixel = from.bits_per_pixel;
    loader->format = from.format;
    loader->decoded = from.decoded;
    loader->truncated = from.truncated;
    snprintf(loader->failure_text, sizeof loader->failure_text, "%s", from.failure_text);
    loader->failure = from.failure == from.failure_text ? loader->failure_text : from.failure;
    *recognised = decoded.recognised;
    return true;
}
