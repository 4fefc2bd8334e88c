// show_bench.cpp: whole-process figures of the show on the headless backend
// (Mesa through EGL), with the recording sound backend and a 60 fps virtual
// frame clock, as a capture runs it but without any output:
//   bench_show frames [WxH]   the whole show on a WxH surface (default
//                             640x480): wall time of every frame (glFinish
//                             before each reading), time to the first frame,
//                             peak resident memory at the end.
//   bench_show startup [RUNS] starts itself RUNS times (default 5, after one
//                             unmeasured run) and reports, for each, the wall
//                             time from starting the process to the first
//                             finished frame, split into decoding, texture
//                             upload and the rest.
// Each prints one line "@bench {json}" on stdout. Run from the source root:
// the show finds data/ relative to the working directory.
//
// How the start-up is split without touching the program: the loader's log
// stream (loader_log) is replaced by a line-buffered stream whose writes are
// timestamped, so the line "(tolm) loading file: ..." marks the start of each
// picture; glTexImage2D is defined here, so the program's upload calls land
// in this file, which times them and hands them on to the GL library's own
// function. Decoding of a picture runs from its log line to its upload (or
// to the next picture's log line when it was not uploaded).
// Depends on every subsystem of the program, libdl (dlsym) and POSIX spawn.
#include "demo/demo.h"
#include "framework/glwindow.h"
#include "imageloader/image_loader.h"
#include "platform/headless.h"
#include "platform/platform.h"
#ifdef BENCH_HAVE_SOUND
#include "sound/sound.h"
#endif

#include <GL/gl.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

static const char* const show_title = "pelmatox - Oar Gala (BUY V1@GRA)";
static const uint32_t frame_rate = 60;
// The show ends itself after 159 s; a show that does not (an unfinished
// timeline) is stopped here after 170 s of show time.
static const uint64_t frame_limit = 170 * frame_rate;

static double now_ms()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

// User and system time of every thread of the process so far.
static double cpu_seconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

static double peak_rss_mb()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return (double)usage.ru_maxrss / 1024.0;   // kilobytes on Linux
}

// ---- what happened during start-up -----------------------------------------
enum EventKind { EVENT_LOAD_START, EVENT_LOG, EVENT_UPLOAD_BEGIN, EVENT_UPLOAD_END };
struct Event {
    EventKind kind;
    double t;
};
static std::vector<Event> events;
static bool record_events = false;

extern "C" void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const void* pixels)
{
    typedef void (*TexImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
    static TexImage2D real = (TexImage2D)dlsym(RTLD_NEXT, "glTexImage2D");
    if (record_events) events.push_back({EVENT_UPLOAD_BEGIN, now_ms()});
    real(target, level, internal_format, width, height, border, format, type, pixels);
    if (record_events) events.push_back({EVENT_UPLOAD_END, now_ms()});
}

static ssize_t log_write(void*, const char* buffer, size_t size)
{
    static const char marker[] = "(tolm) loading file";
    bool start = size >= sizeof marker - 1 && memcmp(buffer, marker, sizeof marker - 1) == 0;
    if (record_events) events.push_back({start ? EVENT_LOAD_START : EVENT_LOG, now_ms()});
    return (ssize_t)size;
}

static FILE* timestamping_log()
{
    cookie_io_functions_t functions = {nullptr, log_write, nullptr, nullptr};
    FILE* stream = fopencookie(nullptr, "w", functions);
    if (stream) setvbuf(stream, nullptr, _IOLBF, 4096);   // one write per line
    return stream;
}

struct StartupSplit {
    int pictures = 0, uploads = 0;
    double decode_ms = 0, upload_ms = 0;
};

static StartupSplit split_events()
{
    StartupSplit split;
    for (size_t i = 0; i < events.size(); i++) {
        const Event& e = events[i];
        if (e.kind == EVENT_UPLOAD_BEGIN && i + 1 < events.size() && events[i + 1].kind == EVENT_UPLOAD_END) {
            split.upload_ms += events[i + 1].t - e.t;
            split.uploads++;
        }
        if (e.kind != EVENT_LOAD_START) continue;
        split.pictures++;
        double end = e.t;
        for (size_t j = i + 1; j < events.size(); j++) {
            if (events[j].kind == EVENT_UPLOAD_BEGIN || events[j].kind == EVENT_LOAD_START) {
                end = events[j].t;
                break;
            }
            end = events[j].t;   // a reader's log line: decoding went on at least until here
        }
        split.decode_ms += end - e.t;
    }
    return split;
}

// ---- the show ---------------------------------------------------------------
enum Mode { MODE_FRAMES, MODE_FIRST_FRAME };
static Mode mode;
static int result_fd = 1;
static unsigned surface_w = 640, surface_h = 480;
static double t_main, t_init_start, t_init_end, t_previous, t_first_frame;
static double first_frame_cpu;   // seconds of CPU time up to the first frame
static std::vector<double> frame_ms;   // frame n at index n - 1
static std::vector<double> frame_cpu_ms;   // CPU time of all threads during frame n
static double cpu_previous;
static bool stopped_by_limit = false;
static std::string renderer, gl_version;

static void bench_init(const char* title)
{
    t_init_start = now_ms();
    renderer = (const char*)glGetString(GL_RENDERER);
    gl_version = (const char*)glGetString(GL_VERSION);
    record_events = mode == MODE_FIRST_FRAME;
    demo_init(title);
    record_events = false;
    glFinish();
    t_init_end = now_ms();
    t_previous = t_init_end;
    cpu_previous = cpu_seconds();
}

static void print_result(const std::string& json)
{
    std::string line = "@bench " + json + "\n";
    if (write(result_fd, line.data(), line.size()) != (ssize_t)line.size()) perror("bench_show");
}

static std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if ((unsigned char)c >= 0x20) out += c;
    }
    return out + "\"";
}

static std::string number(double value)
{
    char text[64];
    snprintf(text, sizeof text, "%.3f", value);
    return text;
}

// Decoding alone, outside the start-up: every picture in data/ once, with a
// loader of its own. A cross-check for the split above.
static double decode_data_folder(int* count)
{
    std::vector<std::string> paths;
    if (DIR* d = opendir("data")) {
        while (dirent* entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mp3") != 0 && name[0] != '.')
                paths.push_back("data/" + name);
        }
        closedir(d);
    }
    FILE* saved_log = loader_log;
    loader_log = nullptr;
    ImageLoader loader;
    double start = now_ms();
    *count = 0;
    for (const std::string& path : paths) {
        if (loader.read_image(path.c_str(), 0) && loader.pixels) ++*count;
        delete[] loader.pixels;
        loader.pixels = nullptr;
    }
    double elapsed = now_ms() - start;
    loader_log = saved_log;
    return elapsed;
}

static void report_first_frame()
{
    StartupSplit split = split_events();
    int decoded = 0;
    double decode_alone = decode_data_folder(&decoded);
    std::string json = "{\"mode\":\"first-frame\"";
    json += ",\"t_main\":" + number(t_main);
    json += ",\"t_init_start\":" + number(t_init_start);
    json += ",\"t_init_end\":" + number(t_init_end);
    json += ",\"t_first_frame\":" + number(t_first_frame);
    json += ",\"pictures\":" + std::to_string(split.pictures);
    json += ",\"uploads\":" + std::to_string(split.uploads);
    json += ",\"decode_ms\":" + number(split.decode_ms);
    json += ",\"upload_ms\":" + number(split.upload_ms);
    json += ",\"decode_alone_ms\":" + number(decode_alone);
    json += ",\"decode_alone_pictures\":" + std::to_string(decoded);
    json += ",\"peak_rss_mb\":" + number(peak_rss_mb());
    json += ",\"cpu_ms\":" + number(first_frame_cpu * 1e3);
    json += ",\"renderer\":" + quoted(renderer) + ",\"gl_version\":" + quoted(gl_version) + "}";
    print_result(json);
}

static double percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty()) return 0;
    size_t rank = (size_t)((double)sorted.size() * p + 0.999999);   // nearest rank
    return sorted[std::min(sorted.size(), std::max<size_t>(rank, 1)) - 1];
}

// The exit hook: the show ended (or was stopped), print the frame statistics.
static void report_frames(int code)
{
    std::vector<double> sorted = frame_ms;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double t : frame_ms) total += t;
    std::string json = "{\"mode\":\"frames\",\"width\":" + std::to_string(surface_w) +
                       ",\"height\":" + std::to_string(surface_h);
    json += ",\"exit_code\":" + std::to_string(code);
    json += std::string(",\"stopped_by_limit\":") + (stopped_by_limit ? "true" : "false");
    json += ",\"frames\":" + std::to_string(frame_ms.size());
    json += ",\"median_ms\":" + number(percentile(sorted, 0.5));
    json += ",\"p99_ms\":" + number(percentile(sorted, 0.99));
    json += ",\"max_ms\":" + number(sorted.empty() ? 0 : sorted.back());
    json += ",\"mean_ms\":" + number(frame_ms.empty() ? 0 : total / (double)frame_ms.size());
    std::vector<double> cpu_sorted = frame_cpu_ms;
    std::sort(cpu_sorted.begin(), cpu_sorted.end());
    json += ",\"cpu_median_ms\":" + number(percentile(cpu_sorted, 0.5));
    json += ",\"cpu_p99_ms\":" + number(percentile(cpu_sorted, 0.99));
    json += ",\"wall_s\":" + number((now_ms() - t_main) / 1e3);
    json += ",\"cpu_s\":" + number(cpu_seconds());
    json += ",\"init_ms\":" + number(t_init_end - t_init_start);
    json += ",\"first_frame_ms\":" + number(t_first_frame - t_main);
    json += ",\"peak_rss_mb\":" + number(peak_rss_mb());
    // Where the slow frames are: for each 10 s of show time, the median and
    // maximum wall time and the median CPU time of a frame.
    json += ",\"per_10s\":[";
    size_t span = 10 * frame_rate;
    for (size_t begin = 0; begin < frame_ms.size(); begin += span) {
        size_t end = std::min(frame_ms.size(), begin + span);
        std::vector<double> part(frame_ms.begin() + begin, frame_ms.begin() + end);
        std::vector<double> cpu(frame_cpu_ms.begin() + begin, frame_cpu_ms.begin() + end);
        std::sort(part.begin(), part.end());
        std::sort(cpu.begin(), cpu.end());
        json += std::string(begin ? "," : "") + "[" + number(percentile(part, 0.5)) + "," + number(part.back()) +
                "," + number(percentile(cpu, 0.5)) + "]";
    }
    json += "],\"renderer\":" + quoted(renderer) + ",\"gl_version\":" + quoted(gl_version) + "}";
    print_result(json);
}

static void on_present()
{
    glFinish();
    double t = now_ms();
    frame_ms.push_back(t - t_previous);
    t_previous = t;
    double cpu = cpu_seconds();
    frame_cpu_ms.push_back((cpu - cpu_previous) * 1e3);
    cpu_previous = cpu;
    if (frame_ms.size() == 1) {
        t_first_frame = t;
        first_frame_cpu = cpu_seconds();
        if (mode == MODE_FIRST_FRAME) {
            report_first_frame();
            _exit(0);   // only the first frame was wanted
        }
    }
    if (platform_headless_frame_number() >= frame_limit) {
        stopped_by_limit = true;
        platform_exit(0);
    }
}

static int run_show()
{
    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_OFFSCREEN, &why)) {
        fprintf(stderr, "bench_show: %s\n", why);
        return 1;
    }
#ifdef BENCH_HAVE_SOUND
    sound_select(SOUND_BACKEND_RECORDING);
#endif
    platform_headless_use_frame_clock(frame_rate, 1);
    platform_headless_set_surface_size(surface_w, surface_h);
    platform_headless_on_present(on_present);
    if (mode == MODE_FIRST_FRAME)
        loader_log = timestamping_log();
    else
        loader_log = nullptr;
    platform_on_exit(report_frames);

    demo_decode_ahead();   // as the entry does
    GlWindow* window = new GlWindow(640, 480, 32, 16, 1, show_title, "");
    demo_window = window;
    window->init_callback = bench_init;
    window->frame_callback = demo_frame;
    window->run();
    // The show ends the process itself; getting here means the loop ended
    // some other way.
    report_frames(-1);
    return 1;
}

// Starts this program once in first-frame mode and passes its result line on
// with the moment just before the start, on the same monotonic clock.
static bool run_first_frame_child(const char* self, bool print)
{
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::string fd_text = std::to_string(fds[1]);
    char* child_argv[] = {(char*)self, (char*)"first-frame", (char*)fd_text.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);   // the show's own lines
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    double t_spawn = now_ms();
    pid_t pid = 0;
    int rc = posix_spawn(&pid, self, &actions, nullptr, child_argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    std::string output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) output.append(buffer, (size_t)n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    size_t brace = output.find('{');
    if (brace == std::string::npos) return false;
    if (print) {
        std::string json = output.substr(brace);
        while (!json.empty() && json.back() != '}') json.pop_back();
        json.pop_back();
        print_result(json + ",\"t_spawn\":" + number(t_spawn) + "}");
    }
    return true;
}

int main(int argc, char** argv)
{
    t_main = now_ms();
    std::string command = argc > 1 ? argv[1] : "frames";
    if (command == "frames") {
        mode = MODE_FRAMES;
        if (argc > 2 && sscanf(argv[2], "%ux%u", &surface_w, &surface_h) != 2) {
            fprintf(stderr, "bench_show: size WxH expected, got %s\n", argv[2]);
            return 2;
        }
        return run_show();
    }
    if (command == "first-frame" && argc > 2) {
        mode = MODE_FIRST_FRAME;
        result_fd = atoi(argv[2]);
        return run_show();
    }
    if (command == "startup") {
        int runs = argc > 2 ? atoi(argv[2]) : 5;
        char self[4096];
        ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        if (length <= 0) return 1;
        self[length] = '\0';
        if (!run_first_frame_child(self, false)) {   // warms the page cache and Mesa's shader cache
            fprintf(stderr, "bench_show: the first-frame run failed\n");
            return 1;
        }
        for (int i = 0; i < runs; i++)
            if (!run_first_frame_child(self, true)) return 1;
        return 0;
    }
    fprintf(stderr, "usage: bench_show frames [WxH] | startup [RUNS]\n");
    return 2;
}
