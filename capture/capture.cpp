// capture.cpp: the capture's session: runs the show in a GlWindow on the
// headless backend with the frame clock, reads each presented frame back and
// hands it to the sink of the output's kind (sink.h: the ffmpeg video, or
// PNG pictures). With motion blur the clock runs N times as fast and N frames
// in a row are averaged into one. A frame equal to the one before it is
// handed on as a repeat (ffmpeg repeats its picture, a PNG is copied), and a
// still card the frame before showed is not even drawn. The show ends the
// process at its end through platform_exit; the exit hook here finishes the
// capture first. A capture that fails or is interrupted (SIGINT, SIGTERM,
// SIGHUP), or runs out of memory, has its sink remove what it wrote, so
// nothing that looks finished is left behind, and every file that was there
// before stays as it was. One capture per process: its state is one static
// struct. Depends on sink.h, platform/, framework/, demo/, sound/.
#include "capture.h"

#include "capture/sink.h"
#include "demo/demo.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "platform/say.h"
#include "sound/sound.h"

#include "platform/gl.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <new>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/posix.h"

#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0   // Windows has no symbolic links to follow
#endif

enum CapturePhase { PHASE_IDLE, PHASE_RUNNING, PHASE_DONE, PHASE_FAILED };

static struct {
    CapturePhase phase = PHASE_IDLE;
    CaptureSettings settings;     // as asked for; blur at least 1
    const CaptureSink* sink = nullptr;
    SinkJob job;                  // the frames kept: job.first to job.planned, or wanted
    uint64_t show_frames = 0;     // frames the show draws before it ends
    std::vector<uint64_t> wanted; // --at frames, ascending; empty: first to planned
    uint64_t frames = 0;          // frames presented so far
    uint64_t pictures = 0;        // frames handed to the sink
    std::vector<uint16_t> sums;   // the sub-frames so far, added up
    bool detect_repeats = true;
    std::vector<uint8_t> previous;   // the last frame kept, unless the sink holds it
    uint64_t previous_frame = 0;     // the number of the last frame kept
    bool kept_any = false;           // a frame was kept
    WindowCallback init_callback = nullptr, frame_callback = nullptr;
    bool started = false;            // the show's init ran: it has a context
    int (*still_card)() = nullptr;
    int last_card = -1;              // the still card the frame before showed
    bool skipped_draw = false;       // this frame is that card again, undrawn
    std::vector<uint8_t> pixels;  // the frame read back, BGRA, bottom row first

    bool tty = false;
    int64_t start_ns = 0, first_frame_ns = 0, last_bar_ns = 0;
    int last_tenth = 0;
} cap;

static volatile sig_atomic_t stop_signal = 0;

static bool stop_requested() { return stop_signal != 0; }

static int64_t now_ns()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

// The sinks, by CaptureKind.
static const CaptureSink* const sinks[] = {&capture_video_sink, &capture_pictures_sink};

bool capture_make_unique(const std::string& prefix, const char* suffix, bool folder, std::string* made)
{
    static unsigned counter;
    for (int attempt = 0; attempt < 100; attempt++) {
        unsigned long long mix = (unsigned long long)now_ns() ^ ((unsigned long long)getpid() << 20) ^ (++counter * 7919u);
        char unique[8];
        for (int i = 0; i < 6; i++, mix /= 36) unique[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[mix % 36];
        unique[6] = '\0';
        std::string path = prefix + unique + suffix;
        int fd = -1;
        if (folder ? mkdir(path.c_str(), 0777) == 0
                   : (fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)) >= 0) {
            if (fd >= 0) close(fd);
            *made = path;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// ---- ending -----------------------------------------------------------------

// Removes whatever this capture wrote. Safe to call more than once.
static void remove_output()
{
    if (cap.sink) cap.sink->remove();
}

// Ends the progress bar's line, so the next message starts on a line of its own.
static void end_bar()
{
    if (cap.tty && cap.last_bar_ns) fputc('\n', stderr);
    cap.last_bar_ns = 0;
}

static void fail(const std::string& reason)
{
    if (cap.phase != PHASE_RUNNING) return;
    cap.phase = PHASE_FAILED;
    end_bar();
    remove_output();
    say("capture failed: %s; nothing was kept", reason.c_str());
}

// Called wherever a signal may have arrived: removes the capture and ends the
// process by that signal, as if it had not been caught.
static void stop_if_requested()
{
    int sig = stop_signal;
    if (!sig) return;
    if (cap.phase == PHASE_RUNNING) {
        cap.phase = PHASE_FAILED;
        end_bar();
        remove_output();
        say("capture interrupted by %s; removed what it had written", strsignal(sig));
    }
    signal(sig, SIG_DFL);
    raise(sig);
    _exit(128 + sig);
}

static void print_summary()
{
    double wall = (double)(now_ns() - cap.start_ns) / 1e9;
    double show = capture_frame_seconds(cap.frames, cap.settings.fps_num, cap.settings.fps_den);
    double speed = wall > 0.0 ? show / wall : 0.0;
    // The default renderer goes unsaid.
    const char* drawn = platform_renderer() == PLATFORM_RENDERER_GLES2 ? ", drawn by the GLES 2 renderer" : "";
    say("captured %s in %.1f s, %.2fx real time%s", cap.sink->summary(cap.job, cap.frames, cap.pictures).c_str(), wall,
        speed, drawn);
}

// The show has ended (or the last wanted frame is kept): finish the output.
// False after a failure, which has removed it.
static bool finish()
{
    if (cap.phase != PHASE_RUNNING) return cap.phase == PHASE_DONE;
    stop_if_requested();
    end_bar();
    std::string error;
    if (!cap.sink->finish(cap.job, cap.frames, &error)) {
        stop_if_requested();
        fail(error);
        return false;
    }
    cap.phase = PHASE_DONE;
    print_summary();
    return true;
}

// platform_exit runs this before the process ends: with code 0 at the end of
// the show, which finishes the capture; a failure then ends with code 1.
static void on_platform_exit(int code)
{
    if (cap.phase != PHASE_RUNNING) return;
    if (code != 0) {
        fail("the show ended with exit code " + std::to_string(code));
        return;
    }
    if (!finish()) platform_exit(1);
}

// Any other way out of the process (exit from deep inside the show): a show
// that has run to its end is finished, anything else is removed.
static void on_process_exit()
{
    if (cap.phase != PHASE_RUNNING) return;
    if (cap.frames >= cap.job.planned) {
        if (!finish()) {
            fflush(nullptr);
            _exit(1);
        }
        return;
    }
    fail("the show ended the program before its end");
}

static void on_signal(int sig) { stop_signal = sig; }

// Memory that runs out (a large --size), or a thread that cannot be made
// for want of it, ends the capture like any other failure, instead of an
// abort that leaves its files behind.
static void fail_and_exit(const char* reason)
{
    std::set_new_handler(nullptr);   // a second failure here aborts
    if (cap.phase == PHASE_IDLE) cap.phase = PHASE_RUNNING;
    fail(reason);
    _exit(1);
}

static void on_out_of_memory() { fail_and_exit("out of memory"); }

static void on_terminate()
{
    try {
        if (std::current_exception()) std::rethrow_exception(std::current_exception());
    } catch (const std::bad_alloc&) {
        fail_and_exit("out of memory");
    } catch (const std::exception& e) {
        fail_and_exit(e.what());
    } catch (...) {
    }
    fail_and_exit("an unexpected error");
}

static void catch_signals()
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write to a full pipe or the wait for ffmpeg returns
    // at once with EINTR, and the capture is removed without delay.
    action.sa_flags = 0;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    // A vanished ffmpeg shows as EPIPE on the next write, reported as its failure.
    signal(SIGPIPE, SIG_IGN);
}

// ---- progress ---------------------------------------------------------------

static void report_progress(uint64_t n)
{
    int64_t now = now_ns();
    if (!cap.first_frame_ns) cap.first_frame_ns = now;
    double elapsed = (double)(now - cap.first_frame_ns) / 1e9;
    double rate = elapsed > 0.0 && n > 1 ? (double)(n - 1) / elapsed : 0.0;
    double left = rate > 0.0 ? (double)(cap.job.planned - n) / rate : 0.0;
    double show = capture_frame_seconds(n, cap.settings.fps_num, cap.settings.fps_den);
    unsigned long long total = (unsigned long long)cap.job.planned;

    if (cap.tty) {
        if (n != cap.job.planned && now - cap.last_bar_ns < 100000000) return;
        cap.last_bar_ns = now;
        const int width = 24;
        int filled = (int)(n * width / (cap.job.planned ? cap.job.planned : 1));
        char bar[width + 1];
        for (int i = 0; i < width; i++) bar[i] = i < filled ? '#' : '.';
        bar[width] = '\0';
        fprintf(stderr, "\r\033[Kframe %llu/%llu  show %6.2f s  [%s]  %5.1f fps  %d:%02d left",
                (unsigned long long)n, total, show, bar, rate, (int)left / 60, (int)left % 60);
        fflush(stderr);
        return;
    }
    int tenth = (int)(n * 10 / (cap.job.planned ? cap.job.planned : 1));
    if (tenth <= cap.last_tenth) return;
    cap.last_tenth = tenth;
    say("%3d%%  frame %llu/%llu, show %.2f s, %.1f fps, %.0f s left", tenth * 10,
            (unsigned long long)n, total, show, rate, left);
}

// ---- frames -----------------------------------------------------------------

// BGRA is the renderer's own layout: read back as it is, it is a plain copy,
// several times faster than RGB. Rows come bottom first; ffmpeg flips them
// (for free, by walking the rows backwards) and the PNG writer takes them
// in either order.
static void read_back()
{
    size_t size = (size_t)cap.settings.width * cap.settings.height * 4;
    if (cap.pixels.size() != size) cap.pixels.resize(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, (GLsizei)cap.settings.width, (GLsizei)cap.settings.height, GL_BGRA, GL_UNSIGNED_BYTE, cap.pixels.data());
}

// Whether frame n is one to keep.
static bool is_wanted(uint64_t n)
{
    if (!cap.wanted.empty()) return std::binary_search(cap.wanted.begin(), cap.wanted.end(), n);
    return n >= cap.job.first && n <= cap.job.planned;
}

// Adds the sub-frame just read back; after the last one, cap.pixels holds
// their mean, rounded to the nearest level. The mean of the stored values,
// not of linear light: the show itself mixes its pictures (fades, blended
// layers) on those values, so a blurred fade is the show's own fade, and
// a picture that does not move stays exactly as it is.
static void add_sub_frame(bool last)
{
    if (cap.sums.size() != cap.pixels.size()) cap.sums.assign(cap.pixels.size(), 0);
    uint16_t* sum = cap.sums.data();
    const uint8_t* p = cap.pixels.data();
    for (size_t i = 0, n = cap.pixels.size(); i < n; i++) sum[i] = (uint16_t)(sum[i] + p[i]);
    if (!last) return;
    unsigned half = cap.settings.blur / 2;
    uint8_t* out = cap.pixels.data();
    for (size_t i = 0, n = cap.pixels.size(); i < n; i++) {
        out[i] = (uint8_t)((sum[i] + half) / cap.settings.blur);
        sum[i] = 0;
    }
}

// Hands the frame in cap.pixels on to the sink.
static void keep_frame(uint64_t n)
{
    // Compared in full: a cheap copy and compare next to the draw, and a
    // repeat found saves the pipe, the colour conversion and most of the
    // encoder's work on it. ffmpeg needs the last frame itself to end on.
    // The video sink holds the last picture anyway: no copy of a large frame.
    const std::vector<uint8_t>* held = cap.sink->held ? cap.sink->held() : nullptr;
    const std::vector<uint8_t>& before = held ? *held : cap.previous;
    bool repeat = cap.skipped_draw ||
                  (cap.detect_repeats && !before.empty() && n != cap.job.planned && before == cap.pixels);
    if (!repeat && cap.detect_repeats && !held) cap.previous = cap.pixels;
    cap.previous_frame = n;
    cap.kept_any = true;
    std::string error;
    bool ok = cap.sink->keep(cap.job, n, &cap.pixels, repeat, &error);
    if (ok) {
        cap.pictures++;
    }
    stop_if_requested();
    if (!ok) {
        fail(error);
        platform_exit(1);
    }
}

static void on_present()
{
    if (cap.phase != PHASE_RUNNING) return;
    stop_if_requested();
    // With blur, the clock's frame i is sub-frame i of frame ceil(i / blur).
    uint64_t sub = platform_headless_frame_number();
    uint64_t n = (sub + cap.settings.blur - 1) / cap.settings.blur;
    bool last_sub = sub % cap.settings.blur == 0;
    if (is_wanted(n) && !cap.skipped_draw) {
        read_back();
        if (cap.settings.blur > 1) add_sub_frame(last_sub);
        if (last_sub) keep_frame(n);
    } else if (is_wanted(n)) {
        keep_frame(n);
    }
    cap.skipped_draw = false;
    if (!last_sub) return;
    cap.frames = n;
    report_progress(n);
    // The show's last frame (it would end the process on the next one), or
    // the last frame asked for: nothing later is needed.
    if (n >= cap.job.planned) platform_exit(0);
}

// The show's frame, skipped where it would draw the still card the frame
// before showed: the same picture, so the frame is a repeat without being
// drawn or read back. Not with blur (sub-frames are summed from their
// pixels), not for the last frame (ffmpeg ends on a picture), and for a kept
// frame only when the one before was kept too (its pixels are the repeat's).
static void capture_frame(const char* title)
{
    uint64_t n = platform_headless_frame_number();
    int card = cap.still_card && cap.detect_repeats && cap.settings.blur == 1 ? cap.still_card() : -1;
    bool same = card >= 0 && card == cap.last_card;
    cap.last_card = card;
    if (same && n != cap.job.planned && (!is_wanted(n) || (cap.previous_frame == n - 1 && cap.kept_any))) {
        cap.skipped_draw = true;
        return;
    }
    cap.frame_callback(title);
}

static void capture_init(const char* title)
{
    cap.started = true;
    cap.init_callback(title);
}

// ---- start ------------------------------------------------------------------

int capture_run(const CaptureSettings& settings)
{
    return capture_run_with(settings, demo_init, demo_frame, demo_still_card);
}

int capture_run_with(const CaptureSettings& settings, WindowCallback init_callback, WindowCallback frame_callback,
                     int (*still_card)())
{
    cap.settings = settings;
    cap.settings.blur = std::max(1u, settings.blur);
    cap.sink = sinks[settings.kind];
    cap.init_callback = init_callback;
    cap.frame_callback = frame_callback;
    cap.still_card = still_card;
    cap.start_ns = now_ns();
    const char* repeats = getenv("OARGALA_CAPTURE_REPEATS");   // "off": send every frame (tests)
    cap.detect_repeats = !(repeats && !strcmp(repeats, "off"));
    cap.show_frames = capture_frame_count(settings.fps_num, settings.fps_den);
    cap.job.planned = cap.show_frames;
    for (uint64_t us : settings.at_microseconds)
        cap.wanted.push_back(capture_frame_at(us, settings.fps_num, settings.fps_den));
    std::sort(cap.wanted.begin(), cap.wanted.end());
    cap.wanted.erase(std::unique(cap.wanted.begin(), cap.wanted.end()), cap.wanted.end());
    if (!cap.wanted.empty()) cap.job.planned = cap.wanted.back();
    // The stretch from video time from to to: the frames a whole capture
    // shows from the one on screen at from up to the last that starts before to.
    cap.job.first = capture_frame_shown(settings.from_us, settings.fps_num, settings.fps_den);
    if (settings.to_us) cap.job.planned = capture_frame_at(settings.to_us, settings.fps_num, settings.fps_den);
    cap.job.settings = &cap.settings;
    cap.job.wanted = &cap.wanted;
    cap.job.stop_requested = stop_requested;

    std::set_new_handler(on_out_of_memory);
    std::set_terminate(on_terminate);
    if (int code = cap.sink->prepare(cap.job)) return code;
    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_OFFSCREEN, &why)) {
        say("%s", why);
        remove_output();
        return 1;
    }
    platform_headless_set_surface_size(cap.settings.width, cap.settings.height);
    platform_headless_use_frame_clock(settings.fps_num * cap.settings.blur, settings.fps_den);
    platform_headless_on_present(on_present);
    platform_on_exit(on_platform_exit);
    atexit(on_process_exit);
    sound_select(SOUND_BACKEND_RECORDING);
    catch_signals();
    cap.tty = isatty(2) != 0;
    cap.phase = PHASE_RUNNING;

    std::string frames = count_text(cap.job.planned - cap.job.first + 1, "frame");
    if (cap.job.first > 1 || (cap.job.planned < cap.show_frames && cap.wanted.empty()))
        frames += " (" + std::to_string(cap.job.first) + " to " + std::to_string(cap.job.planned) + " of " +
                  std::to_string(cap.show_frames) + ")";
    const CaptureSettings& s = cap.settings;
    std::string blur = s.blur > 1 ? ", each the mean of " + std::to_string(s.blur) + " sub-frames" : "";
    std::string size_rate =
        std::to_string(s.width) + "x" + std::to_string(s.height) + " at " + fps_text(s.fps_num, s.fps_den) + " fps";
    say("capturing %s", cap.sink->first_line(cap.job, size_rate, frames, blur).c_str());

    // Full screen as the show itself runs: the headless backend changes no
    // display mode and the title stays put.
    run_demo_window(WindowSettings(), capture_init, capture_frame);
    // The show never returns from run by itself: it ends the process. Here
    // start-up failed (the window's message said how) or it stopped early.
    stop_if_requested();
    fail(cap.started ? "the show stopped before its end" : "no OpenGL context could be made for the offscreen show");
    return 1;
}
