// capture.cpp: runs the show in a GlWindow on the headless backend with the
// frame clock, reads each presented frame back and hands it to ffmpeg (video)
// or to a PNG file (pictures). The show ends the process at its end through
// platform_exit; the exit hook here finishes the capture first. A capture
// that fails or is interrupted (SIGINT, SIGTERM, SIGHUP) removes what it
// wrote: the temporary video, or the pictures of this run, so nothing that
// looks finished is left behind.
// One capture per process, so its state is one static struct.
// Depends on platform/, framework/, demo/, sound/, video.cpp, imageloader/png_writer.cpp.
#include "capture.h"

#include "capture/video.h"
#include "imageloader/png_writer.h"
#include "demo/demo.h"
#include "platform/platform.h"
#include "sound/sound.h"

#include <GL/gl.h>
#include <GL/glext.h>   // GL 1.2 names (GL_BGRA); Windows' gl.h stops at 1.1

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/posix.h"

static const uint64_t show_end_ms = 159000;

uint64_t capture_frame_ms(uint64_t n, uint32_t fps_num, uint32_t fps_den)
{
    return n * 1000 * fps_den / fps_num;
}

uint64_t capture_frame_count(uint32_t fps_num, uint32_t fps_den)
{
    // floor(n * 1000 * den / num) <= end  <=>  n * 1000 * den < (end + 1) * num
    return ((show_end_ms + 1) * fps_num - 1) / (1000ull * fps_den);
}

uint64_t capture_frame_at(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den)
{
    uint64_t scale = 1000000ull * fps_den;
    uint64_t n = (microseconds * fps_num + scale - 1) / scale;
    return n ? n : 1;
}

enum CapturePhase { PHASE_IDLE, PHASE_RUNNING, PHASE_DONE, PHASE_FAILED };

static struct {
    CapturePhase phase = PHASE_IDLE;
    CaptureKind kind = CAPTURE_VIDEO;
    std::string output;           // as given on the command line
    std::string partial;          // video: the temporary file ffmpeg writes
    std::string dir;              // pictures: the folder, ending in '/'
    bool made_dir = false;
    unsigned width = 0, height = 0;
    uint32_t fps_num = 60, fps_den = 1;
    uint64_t show_frames = 0;     // frames the show draws before it ends
    uint64_t planned = 0;         // frames this capture runs through
    std::vector<uint64_t> wanted; // --at frames, ascending; empty: every frame
    size_t next_wanted = 0;
    uint64_t frames = 0;          // frames presented so far
    uint64_t pictures = 0;        // frames written or sent to ffmpeg
    std::vector<std::string> written;  // PNG files of this run
    std::string writing;          // the PNG file being written, if any
    std::vector<uint8_t> pixels;  // the frame read back, BGRA, bottom row first
    bool video_started = false;

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

static std::string fps_text()
{
    if (cap.fps_den == 1) return std::to_string(cap.fps_num);
    char text[32];
    snprintf(text, sizeof text, "%.3f", (double)cap.fps_num / cap.fps_den);
    return std::to_string(cap.fps_num) + "/" + std::to_string(cap.fps_den) + " (" + text + ")";
}

static std::string picture_path(uint64_t n)
{
    char name[40];
    snprintf(name, sizeof name, "frame-%05llu.png", (unsigned long long)n);
    return cap.dir + name;
}

// ---- ending -----------------------------------------------------------------

// Removes whatever this capture wrote. Safe to call more than once.
static void remove_output()
{
    video_abort();
    if (!cap.partial.empty()) unlink(cap.partial.c_str());
    if (!cap.writing.empty()) unlink(cap.writing.c_str());
    for (const std::string& path : cap.written) unlink(path.c_str());
    cap.written.clear();
    if (cap.made_dir) rmdir(cap.dir.c_str());   // only while it is empty
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
    fprintf(stderr, "oargala: capture failed: %s; nothing was kept\n", reason.c_str());
    fflush(stderr);
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
        fprintf(stderr, "oargala: capture interrupted by %s; removed what it had written\n", strsignal(sig));
        fflush(stderr);
    }
    signal(sig, SIG_DFL);
    raise(sig);
    _exit(128 + sig);
}

static void print_summary()
{
    double wall = (double)(now_ns() - cap.start_ns) / 1e9;
    double show = (double)capture_frame_ms(cap.frames, cap.fps_num, cap.fps_den) / 1000.0;
    double speed = wall > 0.0 ? show / wall : 0.0;
    if (cap.kind == CAPTURE_VIDEO)
        fprintf(stderr, "oargala: captured %llu frames (%.2f s of show) into %s in %.1f s, %.2fx real time\n",
                (unsigned long long)cap.frames, show, cap.output.c_str(), wall, speed);
    else
        fprintf(stderr, "oargala: captured %llu frames (%.2f s of show), %llu pictures in %s, in %.1f s, %.2fx real time\n",
                (unsigned long long)cap.frames, show, (unsigned long long)cap.pictures, cap.dir.c_str(), wall, speed);
    fflush(stderr);
}

// The show has ended (or the last wanted frame is written): finish the file.
// False after a failure, which has removed the output.
static bool finish()
{
    if (cap.phase != PHASE_RUNNING) return cap.phase == PHASE_DONE;
    stop_if_requested();
    end_bar();
    if (cap.kind == CAPTURE_VIDEO) {
        if (!cap.video_started) {
            fail("the show ended before its first frame");
            return false;
        }
        std::string error;
        if (!video_finish(stop_requested, &error)) {
            stop_if_requested();
            fail(error);
            return false;
        }
        stop_if_requested();
        if (rename(cap.partial.c_str(), cap.output.c_str()) != 0) {
            fail("cannot rename " + cap.partial + " to " + cap.output + ": " + strerror(errno));
            return false;
        }
        cap.partial.clear();
        if (cap.frames != cap.planned)
            fprintf(stderr, "oargala: the show ended after %llu frames where %llu were expected; the soundtrack runs on past the last frame\n",
                    (unsigned long long)cap.frames, (unsigned long long)cap.planned);
    } else if (cap.next_wanted < cap.wanted.size()) {
        fprintf(stderr, "oargala: the show ended before frame %llu; %zu of the --at pictures were not drawn\n",
                (unsigned long long)cap.wanted[cap.next_wanted], cap.wanted.size() - cap.next_wanted);
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
    if (cap.frames >= cap.planned) {
        if (!finish()) {
            fflush(nullptr);
            _exit(1);
        }
        return;
    }
    fail("the show ended the program before its end");
}

static void on_signal(int sig) { stop_signal = sig; }

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
    double left = rate > 0.0 ? (double)(cap.planned - n) / rate : 0.0;
    double show = (double)capture_frame_ms(n, cap.fps_num, cap.fps_den) / 1000.0;
    unsigned long long total = (unsigned long long)cap.planned;

    if (cap.tty) {
        if (n != cap.planned && now - cap.last_bar_ns < 100000000) return;
        cap.last_bar_ns = now;
        const int width = 24;
        int filled = (int)(n * width / (cap.planned ? cap.planned : 1));
        char bar[width + 1];
        for (int i = 0; i < width; i++) bar[i] = i < filled ? '#' : '.';
        bar[width] = '\0';
        fprintf(stderr, "\r\033[Kframe %llu/%llu  show %6.2f s  [%s]  %5.1f fps  %d:%02d left",
                (unsigned long long)n, total, show, bar, rate, (int)left / 60, (int)left % 60);
        fflush(stderr);
        return;
    }
    int tenth = (int)(n * 10 / (cap.planned ? cap.planned : 1));
    if (tenth <= cap.last_tenth) return;
    cap.last_tenth = tenth;
    fprintf(stderr, "oargala: %3d%%  frame %llu/%llu, show %.2f s, %.1f fps, %.0f s left\n", tenth * 10,
            (unsigned long long)n, total, show, rate, left);
    fflush(stderr);
}

// ---- frames -----------------------------------------------------------------

// BGRA is the renderer's own layout: read back as it is, it is a plain copy,
// several times faster than RGB. Rows come bottom first; ffmpeg flips them
// (for free, by walking the rows backwards) and the PNG writer takes them
// in either order.
static void read_back()
{
    size_t size = (size_t)cap.width * cap.height * 4;
    if (cap.pixels.size() != size) cap.pixels.resize(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, (GLsizei)cap.width, (GLsizei)cap.height, GL_BGRA, GL_UNSIGNED_BYTE, cap.pixels.data());
}

static bool start_video(std::string* error)
{
    VideoJob job;
    job.path = cap.partial;
    size_t n = cap.output.size();
    job.matroska = n >= 4 && strcasecmp(cap.output.c_str() + n - 4, ".mkv") == 0;
    job.width = cap.width;
    job.height = cap.height;
    job.fps_num = cap.fps_num;
    job.fps_den = cap.fps_den;
    job.frames = cap.planned;
    uint32_t start_ms = 0;
    const char* path = nullptr;
    if (sound_recorded_play(&start_ms, &path) && path && *path) {
        job.soundtrack = path;
        job.soundtrack_start_ms = start_ms;
    } else {
        fprintf(stderr, "oargala: the show played no soundtrack; the video gets a silent audio track\n");
    }
    return video_start(job, error);
}

static void on_present()
{
    if (cap.phase != PHASE_RUNNING) return;
    stop_if_requested();
    uint64_t n = platform_headless_frame_number();
    cap.frames = n;

    bool wanted = cap.wanted.empty();
    while (cap.next_wanted < cap.wanted.size() && cap.wanted[cap.next_wanted] <= n) {
        if (cap.wanted[cap.next_wanted] == n) wanted = true;
        cap.next_wanted++;
    }

    std::string error;
    if (wanted && cap.kind == CAPTURE_VIDEO) {
        if (!cap.video_started) {
            if (!start_video(&error)) {
                fail(error);
                platform_exit(1);
            }
            cap.video_started = true;
        }
        read_back();
        if (!video_write_frame(&cap.pixels, stop_requested, &error)) {
            stop_if_requested();
            fail(error);
            platform_exit(1);
        }
        cap.pictures++;
    } else if (wanted) {
        read_back();
        std::string path = picture_path(n);
        cap.writing = path + ".partial";
        bool ok = picture_write_png(cap.writing.c_str(), cap.pixels.data(), cap.width, cap.height, &error);
        if (ok && rename(cap.writing.c_str(), path.c_str()) != 0) {
            ok = false;
            error = "cannot rename " + cap.writing + " to " + path + ": " + strerror(errno);
        }
        if (ok) {
            // Noted before any stop, so that a stop removes this file too.
            cap.writing.clear();
            cap.written.push_back(path);
            cap.pictures++;
        }
        stop_if_requested();
        if (!ok) {
            fail(error);
            platform_exit(1);
        }
    }
    report_progress(n);
    // The show's last frame (it would end the process on the next one), or
    // the last --at frame: nothing later is needed.
    if (n >= cap.planned) platform_exit(0);
}

// ---- start ------------------------------------------------------------------

// The output can be written: a video's temporary file is made now (ffmpeg
// writes over it), a pictures folder is made when missing and tried with a
// file. Returns false after printing why.
static bool prepare_output()
{
    if (cap.kind == CAPTURE_VIDEO) {
        cap.partial = cap.output + ".partial";
        int fd = open(cap.partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            fprintf(stderr, "oargala: cannot write %s: %s\n", cap.output.c_str(), strerror(errno));
            cap.partial.clear();
            return false;
        }
        close(fd);
        return true;
    }
    cap.dir = cap.output;
    if (!platform_is_separator(cap.dir.back())) cap.dir += '/';
    // Made first, not looked at first: Windows' stat refuses a folder's name
    // that ends in a separator, as this one does.
    if (mkdir(cap.dir.c_str(), 0777) == 0) {
        cap.made_dir = true;
    } else if (errno != EEXIST) {
        fprintf(stderr, "oargala: cannot make the folder %s: %s\n", cap.dir.c_str(), strerror(errno));
        return false;
    }
    std::string probe = cap.dir + ".oargala-" + std::to_string(getpid()) + ".partial";
    int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fprintf(stderr, "oargala: cannot write into %s: %s\n", cap.dir.c_str(), strerror(errno));
        if (cap.made_dir) rmdir(cap.dir.c_str());
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

int capture_run(const CaptureSettings& settings)
{
    return capture_run_with(settings, demo_init, demo_frame);
}

int capture_run_with(const CaptureSettings& settings, WindowCallback init_callback, WindowCallback frame_callback)
{
    cap.start_ns = now_ns();
    cap.kind = settings.kind;
    cap.output = settings.output;
    cap.width = settings.width;
    cap.height = settings.height;
    cap.fps_num = settings.fps_num;
    cap.fps_den = settings.fps_den;
    cap.show_frames = capture_frame_count(cap.fps_num, cap.fps_den);
    cap.planned = cap.show_frames;

    if (cap.kind == CAPTURE_FRAMES && !settings.at_microseconds.empty()) {
        for (uint64_t us : settings.at_microseconds) {
            uint64_t n = capture_frame_at(us, cap.fps_num, cap.fps_den);
            if (n > cap.show_frames) {
                uint64_t last_ms = capture_frame_ms(cap.show_frames, cap.fps_num, cap.fps_den);
                fprintf(stderr, "oargala: --at: %llu.%06llu s is after the show's last frame at %s fps (frame %llu at %llu.%03llu s)\n",
                        (unsigned long long)(us / 1000000), (unsigned long long)(us % 1000000), fps_text().c_str(),
                        (unsigned long long)cap.show_frames, (unsigned long long)(last_ms / 1000),
                        (unsigned long long)(last_ms % 1000));
                return 2;
            }
            cap.wanted.push_back(n);
        }
        std::sort(cap.wanted.begin(), cap.wanted.end());
        cap.wanted.erase(std::unique(cap.wanted.begin(), cap.wanted.end()), cap.wanted.end());
        cap.planned = cap.wanted.back();
    }

    if (cap.kind == CAPTURE_VIDEO && video_unsupported()) {
        fprintf(stderr, "oargala: %s\n", video_unsupported());
        return 2;
    }
    if (cap.kind == CAPTURE_VIDEO && !video_ffmpeg_found()) {
        fprintf(stderr, "oargala: ffmpeg not found on PATH; a video capture needs it (Debian package ffmpeg), "
                        "pictures do not (--capture DIR/)\n");
        return 1;
    }
    if (!prepare_output()) return 1;

    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_HEADLESS, &why)) {
        fprintf(stderr, "oargala: %s\n", why);
        remove_output();
        return 1;
    }
    platform_headless_set_surface_size(cap.width, cap.height);
    platform_headless_use_frame_clock(cap.fps_num, cap.fps_den);
    platform_headless_on_present(on_present);
    platform_on_exit(on_platform_exit);
    atexit(on_process_exit);
    sound_select(SOUND_BACKEND_RECORDING);
    catch_signals();
    cap.tty = isatty(2) != 0;
    cap.phase = PHASE_RUNNING;

    if (cap.kind == CAPTURE_VIDEO)
        fprintf(stderr, "oargala: capturing the show into %s: %ux%u at %s fps, %llu frames\n", cap.output.c_str(),
                cap.width, cap.height, fps_text().c_str(), (unsigned long long)cap.planned);
    else if (cap.wanted.empty())
        fprintf(stderr, "oargala: capturing the show into %sframe-NNNNN.png: %ux%u at %s fps, %llu frames\n",
                cap.dir.c_str(), cap.width, cap.height, fps_text().c_str(), (unsigned long long)cap.planned);
    else
        fprintf(stderr, "oargala: capturing %zu pictures into %s: %ux%u at %s fps, frames 1 to %llu\n",
                cap.wanted.size(), cap.dir.c_str(), cap.width, cap.height, fps_text().c_str(),
                (unsigned long long)cap.planned);
    fflush(stderr);

    // Full screen as the show itself runs: the headless backend changes no
    // display mode and the title stays put.
    run_demo_window(WindowSettings(), init_callback, frame_callback);
    // The show never returns from run by itself: it ends the process. Here
    // start-up failed (a message said why) or it stopped early.
    stop_if_requested();
    fail("the show stopped before its end");
    return 1;
}
