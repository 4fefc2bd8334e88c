// sink_pictures.cpp: the capture's pictures sink: each kept frame a PNG file,
// DIR/frame-NNNNN.png. They are written into a folder of the run's own
// inside DIR and moved into DIR only when the run completes, so a run that
// fails or is stopped leaves DIR's earlier pictures exactly as they were. A
// frame that repeats the one before is a copy of its file.
// Depends on sink.h, imageloader/png_writer.h, platform/ (separators, say).
#include "sink.h"

#include "imageloader/png_writer.h"
#include "platform/platform.h"
#include "platform/say.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix.h"

static struct {
    std::string dir;                   // the folder, ending in '/'
    std::string staging;               // this run's own folder in it, ending in '/'
    bool made_dir = false;
    std::vector<std::string> written;  // this run's pictures, in staging
} pics;

static std::string picture_name(uint64_t n)
{
    char name[40];
    snprintf(name, sizeof name, "frame-%05llu.png", (unsigned long long)n);
    return name;
}

static int pictures_prepare(const SinkJob& job)
{
    pics.dir = job.settings->output;
    if (!platform_is_separator(pics.dir.back())) pics.dir += '/';
    // Made first, not looked at first: Windows' stat refuses a folder's name
    // that ends in a separator, as this one does.
    if (mkdir(pics.dir.c_str(), 0777) == 0) {
        pics.made_dir = true;
    } else if (errno != EEXIST) {
        say("cannot make the folder %s: %s", pics.dir.c_str(), strerror(errno));
        return 1;
    }
    if (!capture_make_unique(pics.dir + ".oargala-", ".partial", true, &pics.staging)) {
        say("cannot write into %s: %s", pics.dir.c_str(), strerror(errno));
        if (pics.made_dir) rmdir(pics.dir.c_str());
        return 1;
    }
    pics.staging += '/';
    return 0;
}

static std::string pictures_first_line(const SinkJob& job, const std::string& size_rate, const std::string& frames,
                                       const std::string& blur)
{
    if (job.wanted->empty()) return "the show into " + pics.dir + "frame-NNNNN.png: " + size_rate + ", " + frames + blur;
    return count_text(job.wanted->size(), "picture") + " into " + pics.dir + ": " + size_rate + ", frames 1 to " +
           std::to_string(job.planned) + blur;
}

static bool copy_file(const std::string& from, const std::string& to, std::string* error)
{
    FILE* in = fopen(from.c_str(), "rb");
    FILE* out = in ? fopen(to.c_str(), "wb") : nullptr;
    bool ok = in && out;
    char buffer[65536];
    size_t n;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0) ok = fwrite(buffer, 1, n, out) == n;
    ok = ok && !ferror(in);
    if (out && fclose(out) != 0) ok = false;
    if (!ok) *error = "cannot copy " + from + " to " + to + ": " + strerror(errno);
    if (in) fclose(in);
    return ok;
}

static bool pictures_keep(const SinkJob& job, uint64_t n, std::vector<uint8_t>* pixels, bool repeat, std::string* error)
{
    // Noted before it is written, so that a stop removes it too.
    pics.written.push_back(pics.staging + picture_name(n));
    const std::string& path = pics.written.back();
    if (repeat && pics.written.size() > 1) return copy_file(pics.written[pics.written.size() - 2], path, error);
    return picture_write_png(path.c_str(), pixels->data(), job.settings->width, job.settings->height, error);
}

// Every picture of the run is written: they go from the run's own folder
// into the pictures' folder, in place of any of the same name.
static bool pictures_finish(const SinkJob& job, uint64_t frames, std::string* error)
{
    for (const std::string& path : pics.written) {
        std::string to = pics.dir + path.substr(pics.staging.size());
        if (rename(path.c_str(), to.c_str()) != 0) {
            *error = "cannot rename " + path + " to " + to + ": " + strerror(errno);
            return false;
        }
    }
    pics.written.clear();
    rmdir(pics.staging.c_str());
    pics.staging.clear();
    size_t drawn = 0;
    while (drawn < job.wanted->size() && (*job.wanted)[drawn] <= frames) drawn++;
    if (drawn < job.wanted->size())
        say("the show ended before frame %llu; %llu of the --at pictures were not drawn",
            (unsigned long long)(*job.wanted)[drawn], (unsigned long long)(job.wanted->size() - drawn));
    return true;
}

static void pictures_remove()
{
    for (const std::string& path : pics.written) unlink(path.c_str());
    pics.written.clear();
    if (!pics.staging.empty()) rmdir(pics.staging.c_str());
    pics.staging.clear();
    if (pics.made_dir) rmdir(pics.dir.c_str());   // only while it is empty
}

static std::string pictures_summary(const SinkJob& job, uint64_t frames, uint64_t kept)
{
    const CaptureSettings& s = *job.settings;
    char text[48];
    snprintf(text, sizeof text, " (%.2f s of show), ", capture_frame_seconds(frames, s.fps_num, s.fps_den));
    return count_text(frames, "frame") + text + count_text(kept, "picture") + " in " + pics.dir + ",";
}

// It holds no picture of its own (held): the session keeps the last one.
const CaptureSink capture_pictures_sink = {
    .prepare = pictures_prepare,
    .first_line = pictures_first_line,
    .keep = pictures_keep,
    .finish = pictures_finish,
    .remove = pictures_remove,
    .summary = pictures_summary,
};
