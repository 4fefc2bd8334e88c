// capture.cpp: runs the show in a GlWindow on the headless backend with the
// frame clock, reads each presented frame back and hands it to ffmpeg (video)
// or to a PNG file (pictures). With motion blur the clock runs N times as
// fast and N frames in a row are averaged into one. A frame equal to the one
// before it is not sent again: ffmpeg repeats its picture, a PNG is copied. The show ends the process at its end through
// platform_exit; the exit hook here finishes the capture first. A capture
// that fails or is interrupted (SIGINT, SIGTERM, SIGHUP) removes what it
// wrote, so nothing that looks finished is left behind, and leaves every
// file that was there before as it was: a video is written under a unique
// temporary name beside it, pictures into a folder of their own inside the
// pictures' folder; either is moved into place only once it is complete.
// Memory that runs out ends the capture the same way.
// One capture per process, so its state is one static struct.
// Depends on platform/, framework/, demo/, sound/, video.cpp, imageloader/png_writer.cpp.
#include "capture.h"

#include "capture/video.h"
#include "imageloader/png_writer.h"
#include "demo/demo.h"
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
#include <strings.h>
#include <tuple>
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
    CaptureKind kind = CAPTURE_VIDEO;
    std::string output;           // as given on the command line
    std::string partial;          // video: the temporary file ffmpeg writes
    std::string dir;              // pictures: the folder, ending in '/'
    std::string staging;          // pictures: this run's own folder in dir, ending in '/'
    bool made_dir = false;
    unsigned width = 0, height = 0;
    uint32_t fps_num = 60, fps_den = 1;
    const VideoFormat* format = nullptr;
    int crf = -1;
    std::string preset;
    uint64_t show_frames = 0;     // frames the show draws before it ends
    uint64_t first = 1;           // the first frame kept (--from)
    uint64_t planned = 0;         // frames this capture runs through
    std::vector<uint64_t> wanted; // --at frames, ascending; empty: first to planned
    size_t next_wanted = 0;
    uint64_t frames = 0;          // frames presented so far
    uint64_t pictures = 0;        // frames written or sent to ffmpeg
    uint64_t repeats = 0;         // of those, repeats of the one before
    unsigned blur = 1;            // sub-frames a frame
    std::vector<uint16_t> sums;   // the sub-frames so far, added up
    bool detect_repeats = true;
    std::vector<uint8_t> previous;   // the last frame kept, if any
    uint64_t previous_frame = 0;     // its number
    WindowCallback init_callback = nullptr, frame_callback = nullptr;
    bool started = false;            // the show's init ran: it has a context
    int (*still_card)() = nullptr;
    int last_card = -1;              // the still card the frame before showed
    bool skipped_draw = false;       // this frame is that card again, undrawn
    std::vector<std::string> written;  // PNG files of this run, in staging
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

static std::string picture_name(uint64_t n)
{
    char name[40];
    snprintf(name, sizeof name, "frame-%05llu.png", (unsigned long long)n);
    return name;
}

// Makes a file (or a folder) that did not exist before, named prefix +
// something unique + suffix, never through a symbolic link; two captures
// started together each get their own. False with errno set.
static bool make_unique(const std::string& prefix, const char* suffix, bool folder, std::string* made)
{
    static unsigned counter;
    for (int attempt = 0; attempt < 100; attempt++) {
        unsigned long long mix = (unsigned long long)now_ns() ^ ((unsigned long long)getpid() << 20) ^ (++counter * 7919u);
        char unique[16];
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
    video_abort();
    if (!cap.partial.empty()) unlink(cap.partial.c_str());
    cap.partial.clear();
    for (const std::string& path : cap.written) unlink(path.c_str());
    cap.written.clear();
    if (!cap.staging.empty()) rmdir(cap.staging.c_str());
    cap.staging.clear();
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
    double show = (double)capture_frame_ms(cap.frames, cap.fps_num, cap.fps_den) / 1000.0;
    double speed = wall > 0.0 ? show / wall : 0.0;
    // The default renderer goes unsaid.
    const char* drawn = platform_renderer() == PLATFORM_RENDERER_GLES2 ? ", drawn by the GLES 2 renderer" : "";
    if (cap.kind == CAPTURE_VIDEO && cap.first > 1)
        say("captured %s (%.3f to %.3f s of the video) into %s in %.1f s, %.2fx real time%s",
                count_text(cap.pictures, "frame").c_str(),
                (double)(cap.first - 1) * cap.fps_den / cap.fps_num, (double)cap.frames * cap.fps_den / cap.fps_num,
                cap.output.c_str(), wall, speed, drawn);
    else if (cap.kind == CAPTURE_VIDEO)
        say("captured %s (%.2f s of show) into %s in %.1f s, %.2fx real time%s",
                count_text(cap.frames, "frame").c_str(), show, cap.output.c_str(), wall, speed, drawn);
    else
        say("captured %s (%.2f s of show), %s in %s, in %.1f s, %.2fx real time%s",
                count_text(cap.frames, "frame").c_str(), show, count_text(cap.pictures, "picture").c_str(), cap.dir.c_str(), wall, speed,
                drawn);
}

// Every picture of the run is written: they go from the run's own folder
// into the pictures' folder, in place of any of the same name. A stop now
// waits until they are all there.
static bool move_pictures()
{
    for (const std::string& path : cap.written) {
        std::string to = cap.dir + path.substr(cap.staging.size());
        if (rename(path.c_str(), to.c_str()) != 0) {
            fail("cannot rename " + path + " to " + to + ": " + strerror(errno));
            return false;
        }
    }
    cap.written.clear();
    rmdir(cap.staging.c_str());
    cap.staging.clear();
    return true;
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
            say("the show ended after %llu frames where %llu were expected; the soundtrack runs on past the last frame",
                    (unsigned long long)cap.frames, (unsigned long long)cap.planned);
    } else {
        if (!move_pictures()) return false;
        if (cap.next_wanted < cap.wanted.size())
            say("the show ended before frame %llu; %zu of the --at pictures were not drawn",
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
    size_t size = (size_t)cap.width * cap.height * 4;
    if (cap.pixels.size() != size) cap.pixels.resize(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, (GLsizei)cap.width, (GLsizei)cap.height, GL_BGRA, GL_UNSIGNED_BYTE, cap.pixels.data());
}

static VideoJob video_job()
{
    VideoJob job;
    job.path = cap.partial;
    job.format = cap.format;
    job.crf = cap.crf;
    job.preset = cap.preset;
    job.width = cap.width;
    job.height = cap.height;
    job.fps_num = cap.fps_num;
    job.fps_den = cap.fps_den;
    job.first_frame = cap.first;
    job.frames = cap.planned - cap.first + 1;
    return job;
}

static bool start_video(std::string* error)
{
    VideoJob job = video_job();
    uint32_t start_ms = 0;
    const char* path = nullptr;
    if (sound_recorded_play(&start_ms, &path) && path && *path) {
        job.soundtrack = path;
        job.soundtrack_start_ms = start_ms;
    } else {
        say("the show played no soundtrack; the video gets a silent audio track");
    }
    return video_start(job, stop_requested, error);
}

// Whether frame n is one to keep.
static bool is_wanted(uint64_t n)
{
    if (!cap.wanted.empty()) return std::binary_search(cap.wanted.begin(), cap.wanted.end(), n);
    return n >= cap.first && n <= cap.planned;
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
    unsigned half = cap.blur / 2;
    uint8_t* out = cap.pixels.data();
    for (size_t i = 0, n = cap.pixels.size(); i < n; i++) {
        out[i] = (uint8_t)((sum[i] + half) / cap.blur);
        sum[i] = 0;
    }
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

// Hands the frame in cap.pixels on: to ffmpeg, or as a PNG file.
static void keep_frame(uint64_t n)
{
    // Compared in full: a cheap copy and compare next to the draw, and a
    // repeat found saves the pipe, the colour conversion and most of the
    // encoder's work on it. ffmpeg needs the last frame itself to end on.
    bool repeat = cap.skipped_draw ||
                  (cap.detect_repeats && !cap.previous.empty() && n != cap.planned && cap.previous == cap.pixels);
    if (!repeat && cap.detect_repeats) cap.previous = cap.pixels;
    cap.previous_frame = n;
    std::string error;
    if (cap.kind == CAPTURE_VIDEO) {
        if (!cap.video_started) {
            if (!start_video(&error)) {
                stop_if_requested();
                fail(error);
                platform_exit(1);
            }
            cap.video_started = true;
        }
        bool ok = repeat ? video_repeat_frame(stop_requested, &error)
                         : video_write_frame(&cap.pixels, stop_requested, &error);
        if (!ok) {
            stop_if_requested();
            fail(error);
            platform_exit(1);
        }
        cap.pictures++;
        cap.repeats += repeat;
        return;
    }
    // Noted before it is written, so that a stop removes it too.
    cap.written.push_back(cap.staging + picture_name(n));
    const std::string& path = cap.written.back();
    bool ok = repeat && cap.written.size() > 1
                  ? copy_file(cap.written[cap.written.size() - 2], path, &error)
                  : picture_write_png(path.c_str(), cap.pixels.data(), cap.width, cap.height, &error);
    if (ok) {
        cap.pictures++;
        cap.repeats += repeat;
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
    uint64_t n = (sub + cap.blur - 1) / cap.blur;
    bool last_sub = sub % cap.blur == 0;
    if (is_wanted(n) && !cap.skipped_draw) {
        read_back();
        if (cap.blur > 1) add_sub_frame(last_sub);
        if (last_sub) keep_frame(n);
    } else if (is_wanted(n)) {
        keep_frame(n);
    }
    cap.skipped_draw = false;
    if (!last_sub) return;
    cap.frames = n;
    while (cap.next_wanted < cap.wanted.size() && cap.wanted[cap.next_wanted] <= n) cap.next_wanted++;
    report_progress(n);
    // The show's last frame (it would end the process on the next one), or
    // the last frame asked for: nothing later is needed.
    if (n >= cap.planned) platform_exit(0);
}

// The show's frame, skipped where it would draw the still card the frame
// before showed: the same picture, so the frame is a repeat without being
// drawn or read back. Not with blur (sub-frames are summed from their
// pixels), not for the last frame (ffmpeg ends on a picture), and for a kept
// frame only when the one before was kept too (its pixels are the repeat's).
static void capture_frame(const char* title)
{
    uint64_t n = platform_headless_frame_number();
    int card = cap.still_card && cap.detect_repeats && cap.blur == 1 ? cap.still_card() : -1;
    bool same = card >= 0 && card == cap.last_card;
    cap.last_card = card;
    if (same && n != cap.planned && (!is_wanted(n) || (cap.previous_frame == n - 1 && !cap.previous.empty()))) {
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

// The output can be written: a video's temporary file is made now, beside
// it (ffmpeg writes over it); a pictures folder is made when missing, with
// the run's own folder inside. Returns false after printing why.
static bool prepare_output()
{
    if (cap.kind == CAPTURE_VIDEO) {
        if (!make_unique(cap.output + ".", ".partial", false, &cap.partial)) {
            say("cannot write %s: %s", cap.output.c_str(), strerror(errno));
            return false;
        }
        return true;
    }
    cap.dir = cap.output;
    if (!platform_is_separator(cap.dir.back())) cap.dir += '/';
    // Made first, not looked at first: Windows' stat refuses a folder's name
    // that ends in a separator, as this one does.
    if (mkdir(cap.dir.c_str(), 0777) == 0) {
        cap.made_dir = true;
    } else if (errno != EEXIST) {
        say("cannot make the folder %s: %s", cap.dir.c_str(), strerror(errno));
        return false;
    }
    if (!make_unique(cap.dir + ".oargala-", ".partial", true, &cap.staging)) {
        say("cannot write into %s: %s", cap.dir.c_str(), strerror(errno));
        if (cap.made_dir) rmdir(cap.dir.c_str());
        return false;
    }
    cap.staging += '/';
    return true;
}

int capture_run(const CaptureSettings& settings)
{
    return capture_run_with(settings, demo_init, demo_frame, demo_still_card);
}

int capture_run_with(const CaptureSettings& settings, WindowCallback init_callback, WindowCallback frame_callback,
                     int (*still_card)())
{
    cap.init_callback = init_callback;
    cap.frame_callback = frame_callback;
    cap.still_card = still_card;
    cap.start_ns = now_ns();
    cap.kind = settings.kind;
    cap.output = settings.output;
    cap.width = settings.width;
    cap.height = settings.height;
    cap.fps_num = settings.fps_num;
    cap.fps_den = settings.fps_den;
    cap.format = settings.format ? settings.format : capture_video_format(cap.output, false);
    if (!cap.format) cap.format = &capture_formats[0];
    cap.crf = settings.crf;
    cap.preset = settings.preset;
    cap.blur = settings.blur ? settings.blur : 1;
    const char* repeats = getenv("OARGALA_CAPTURE_REPEATS");   // "off": send every frame (tests)
    cap.detect_repeats = !(repeats && !strcmp(repeats, "off"));
    cap.show_frames = capture_frame_count(cap.fps_num, cap.fps_den);
    cap.planned = cap.show_frames;

    std::string error;
    if (!capture_check_times(settings, &error)) {   // the parser checks first
        say("%s", error.c_str());
        return 2;
    }
    if (cap.kind == CAPTURE_FRAMES && !settings.at_microseconds.empty()) {
        for (uint64_t us : settings.at_microseconds) cap.wanted.push_back(capture_frame_at(us, cap.fps_num, cap.fps_den));
        std::sort(cap.wanted.begin(), cap.wanted.end());
        cap.wanted.erase(std::unique(cap.wanted.begin(), cap.wanted.end()), cap.wanted.end());
        cap.planned = cap.wanted.back();
    }
    // The stretch from video time from to to: the frames a whole capture
    // shows from the one on screen at from up to the last that starts before to.
    cap.first = capture_frame_shown(settings.from_us, cap.fps_num, cap.fps_den);
    if (settings.to_us) cap.planned = capture_frame_at(settings.to_us, cap.fps_num, cap.fps_den);

    if (cap.kind == CAPTURE_VIDEO && video_unsupported()) {
        say("%s", video_unsupported());
        return 2;
    }
    if (cap.kind == CAPTURE_VIDEO && !video_ffmpeg_found()) {
        say("ffmpeg not found on PATH; a video capture needs it (Debian package ffmpeg), "
                        "pictures do not (--capture DIR/)");
        return 1;
    }
    if (cap.kind == CAPTURE_VIDEO) {
        std::string missing = video_missing_encoders(*cap.format);
        if (!missing.empty()) {
            say("this ffmpeg has no %s encoder%s, which %s needs", missing.c_str(),
                    missing.find(' ') != std::string::npos ? "s" : "", cap.format->suffix);
            return 1;
        }
    }
    std::set_new_handler(on_out_of_memory);
    std::set_terminate(on_terminate);
    if (!prepare_output()) return 1;

    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_HEADLESS, &why)) {
        say("%s", why);
        remove_output();
        return 1;
    }
    platform_headless_set_surface_size(cap.width, cap.height);
    platform_headless_use_frame_clock(cap.fps_num * cap.blur, cap.fps_den);
    platform_headless_on_present(on_present);
    platform_on_exit(on_platform_exit);
    atexit(on_process_exit);
    sound_select(SOUND_BACKEND_RECORDING);
    catch_signals();
    cap.tty = isatty(2) != 0;
    cap.phase = PHASE_RUNNING;

    std::string what = count_text(cap.planned - cap.first + 1, "frame");
    if (cap.first > 1 || (cap.planned < cap.show_frames && cap.wanted.empty()))
        what += " (" + std::to_string(cap.first) + " to " + std::to_string(cap.planned) + " of " +
                std::to_string(cap.show_frames) + ")";
    if (cap.blur > 1) what += ", each the mean of " + std::to_string(cap.blur) + " sub-frames";
    if (cap.kind == CAPTURE_VIDEO)
        say("capturing the show into %s: %ux%u at %s fps, %s, %s", cap.output.c_str(),
                cap.width, cap.height, fps_text(cap.fps_num, cap.fps_den).c_str(), what.c_str(), video_settings_text(video_job()).c_str());
    else if (cap.wanted.empty())
        say("capturing the show into %sframe-NNNNN.png: %ux%u at %s fps, %s",
                cap.dir.c_str(), cap.width, cap.height, fps_text(cap.fps_num, cap.fps_den).c_str(), what.c_str());
    else
        say("capturing %s into %s: %ux%u at %s fps, frames 1 to %llu%s",
                count_text(cap.wanted.size(), "picture").c_str(), cap.dir.c_str(), cap.width, cap.height, fps_text(cap.fps_num, cap.fps_den).c_str(),
                (unsigned long long)cap.planned, cap.blur > 1 ? what.substr(what.find(',')).c_str() : "");

    // Full screen as the show itself runs: the headless backend changes no
    // display mode and the title stays put.
    run_demo_window(WindowSettings(), capture_init, capture_frame);
    // The show never returns from run by itself: it ends the process. Here
    // start-up failed (the window's message said how) or it stopped early.
    stop_if_requested();
    fail(cap.started ? "the show stopped before its end" : "no OpenGL context could be made for the offscreen show");
    return 1;
}
