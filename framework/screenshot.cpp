// screenshot.cpp: the screenshot key's writer thread (see screenshot.h).
// Its state is allocated once and never freed: the writer may still be
// finishing a picture while the process runs its exit handlers.
// Depends on platform/gl.h (read-back), imageloader/png_writer.h, platform.h, C++ threads.
#include "screenshot.h"

#include "imageloader/png_writer.h"
#include "platform/platform.h"

#include "platform/gl.h"
#include "platform/say.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A held-down key repeats: beyond this many pictures waiting, the key is
// ignored rather than letting the frames pile up in memory.
static const size_t max_waiting = 3;

struct ScreenshotJob {
    uint32_t show_ms;
    int width, height;
    std::vector<uint8_t> bgra;   // bottom row first, as OpenGL reads it
};

struct ScreenshotWriter {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<ScreenshotJob> jobs;
    bool busy = false;           // the writer holds a job
    std::thread thread;
};

static ScreenshotWriter* writer;

static bool exists(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file) fclose(file);
    return file != nullptr;
}

// The name for show time ms that no earlier picture took (the same show time
// in another run gets -2, -3, ...).
static std::string free_name(uint32_t ms)
{
    char base[40];
    snprintf(base, sizeof base, "oargala-%03u.%03u", ms / 1000, ms % 1000);
    std::string name = std::string(base) + ".png";
    for (int n = 2; exists(name); n++) name = std::string(base) + "-" + std::to_string(n) + ".png";
    return name;
}

static void write_job(const ScreenshotJob& job)
{
    std::string name = free_name(job.show_ms);
    std::string partial = name + ".partial";
    std::string error;
    bool ok = picture_write_png(partial.c_str(), job.bgra.data(), (unsigned)job.width, (unsigned)job.height, &error);
    if (ok && rename(partial.c_str(), name.c_str()) != 0) {
        ok = false;
        error = "cannot write " + name + ": " + strerror(errno);
    }
    if (ok) {
        say_to(stdout, "screenshot %s (%dx%d)", name.c_str(), job.width, job.height);
    } else {
        remove(partial.c_str());
        say("screenshot failed: %s", error.c_str());
    }
}

static void run_writer()
{
    std::unique_lock<std::mutex> hold(writer->lock);
    while (true) {
        writer->changed.wait(hold, [] { return !writer->jobs.empty(); });
        ScreenshotJob job = std::move(writer->jobs.front());
        writer->jobs.pop_front();
        writer->busy = true;
        hold.unlock();
        write_job(job);
        hold.lock();
        writer->busy = false;
        writer->changed.notify_all();
    }
}

static void finish_at_exit(int) { screenshot_finish(); }

void screenshot_take(uint32_t show_ms, int width, int height)
{
    if (width <= 0 || height <= 0) return;
    if (!writer) {
        writer = new ScreenshotWriter;
        writer->thread = std::thread(run_writer);
        writer->thread.detach();
        platform_on_exit(finish_at_exit);
    }
    {
        std::lock_guard<std::mutex> hold(writer->lock);
        if (writer->jobs.size() >= max_waiting) return;
    }
    ScreenshotJob job{show_ms, width, height, std::vector<uint8_t>((size_t)width * (size_t)height * 4)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, job.bgra.data());
    std::lock_guard<std::mutex> hold(writer->lock);
    writer->jobs.push_back(std::move(job));
    writer->changed.notify_all();
}

void screenshot_finish()
{
    if (!writer) return;
    std::unique_lock<std::mutex> hold(writer->lock);
    writer->changed.wait(hold, [] { return writer->jobs.empty() && !writer->busy; });
}
