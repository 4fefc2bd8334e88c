// video.cpp: the ffmpeg process of a video capture: its command line, the
// frame pipe with the thread that writes to it, and waiting for ffmpeg. One
// capture per process, so the process id, the pipe and the thread are statics.
// Depends on POSIX: posix_spawnp, pipe2, waitpid, kill; std::thread.
#include "video.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

static const unsigned audio_rate = 44100;

static pid_t ffmpeg_pid = 0;
static int pipe_fd = -1;

const char* video_unsupported() { return nullptr; }

bool video_ffmpeg_found()
{
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/ffmpeg";
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Samples of the audio track: as long as the frames, to the nearest sample.
static uint64_t audio_samples(const VideoJob& job)
{
    uint64_t num = job.fps_num ? job.fps_num : 1;
    return (job.frames * job.fps_den * audio_rate * 2 + num) / (2 * num);
}

static std::string audio_filter(const VideoJob& job)
{
    std::string total = std::to_string(audio_samples(job));
    std::string tail = "apad=whole_len=" + total + ",atrim=end_sample=" + total + "[a]";
    if (job.soundtrack.empty()) return "[1:a]" + tail;

    // Video time 0 shows the show at 1/fps; the soundtrack began at its start
    // time, so it is heard from video time start - 1/fps: delayed when that is
    // positive, its beginning cut when negative.
    double lead = (double)job.soundtrack_start_ms / 1000.0 - (double)job.fps_den / (double)job.fps_num;
    long long lead_samples = llround(lead * audio_rate);
    std::string chain = "[1:a]aresample=" + std::to_string(audio_rate) +
                        ",aformat=sample_fmts=fltp:channel_layouts=stereo,asetpts=N/SR/TB,";
    if (lead_samples < 0)
        chain += "atrim=start_sample=" + std::to_string(-lead_samples) + ",asetpts=N/SR/TB,";
    else if (lead_samples > 0)
        chain += "adelay=delays=" + std::to_string(lead_samples) + "S:all=1,";
    return chain + tail;
}

std::vector<std::string> video_command(const VideoJob& job)
{
    std::vector<std::string> a = {
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostats",
        "-f", "rawvideo", "-pix_fmt", "bgra",
        "-video_size", std::to_string(job.width) + "x" + std::to_string(job.height),
        "-framerate", std::to_string(job.fps_num) + "/" + std::to_string(job.fps_den),
        "-i", "pipe:0",
    };
    if (job.soundtrack.empty()) {
        a.insert(a.end(), {"-f", "lavfi", "-i", "anullsrc=channel_layout=stereo:sample_rate=" + std::to_string(audio_rate)});
    } else {
        a.insert(a.end(), {"-i", "file:" + job.soundtrack});
    }
    // Frames come bottom row first, as OpenGL reads them. BT.709 in the
    // conversion and in the stream's tags, so that players that assume it
    // for larger sizes show the colours that were rendered.
    a.insert(a.end(), {
        "-filter_complex",
        "[0:v]vflip,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p[v];" + audio_filter(job),
        "-map", "[v]", "-map", "[a]",
        "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv",
        "-c:a", "aac", "-b:a", "192k",
    });
    if (job.matroska) {
        a.insert(a.end(), {"-f", "matroska"});
    } else {
        // The index at the front: the file plays while it is still downloading.
        a.insert(a.end(), {"-movflags", "+faststart", "-f", "mp4"});
    }
    a.insert(a.end(), {"-y", "file:" + job.path});
    return a;
}

static std::string describe_status(int status)
{
    if (WIFEXITED(status)) return "ffmpeg failed (exit code " + std::to_string(WEXITSTATUS(status)) + ")";
    if (WIFSIGNALED(status)) return std::string("ffmpeg was ended by signal ") + strsignal(WTERMSIG(status));
    return "ffmpeg failed";
}

// Waits for ffmpeg, looking at stop_requested every few milliseconds (a
// signal may have gone to another thread and interrupt nothing here). False
// when a stop was requested first.
static bool wait_ffmpeg(int* status, bool (*stop_requested)())
{
    for (;;) {
        pid_t r = waitpid(ffmpeg_pid, status, WNOHANG);
        if (r == ffmpeg_pid || (r < 0 && errno != EINTR)) break;
        if (stop_requested && stop_requested()) return false;
        usleep(5000);
    }
    ffmpeg_pid = 0;
    return true;
}

// ---- the writer thread --------------------------------------------------------
// ffmpeg reads a frame only once it has encoded the previous one, and a frame
// is larger than the pipe, so a plain write would hold the renderer until
// then. One frame is handed to this thread instead, which writes it while the
// next frame renders: rendering and encoding overlap.

static std::thread writer;
static std::mutex writer_mutex;
static std::condition_variable writer_wake;     // a frame is pending, or quit
static std::condition_variable writer_done;     // the pending frame is written
static std::vector<uint8_t> pending;
static bool has_pending, writer_quit, writer_failed;
static int writer_errno;

static void writer_main()
{
    std::unique_lock<std::mutex> lock(writer_mutex);
    for (;;) {
        writer_wake.wait(lock, [] { return has_pending || writer_quit; });
        if (!has_pending) return;
        lock.unlock();
        const uint8_t* data = pending.data();
        size_t size = pending.size(), done = 0;
        int error = 0;
        while (done < size) {
            ssize_t n = write(pipe_fd, data + done, size - done);
            if (n > 0) {
                done += (size_t)n;
            } else if (n < 0 && errno != EINTR) {
                error = errno;
                break;
            }
        }
        lock.lock();
        has_pending = false;
        if (error) {
            writer_failed = true;
            writer_errno = error;
        }
        writer_done.notify_all();
        if (error) return;
    }
}

// Waits until the writer has no frame in hand. False when a stop was
// requested first.
static bool wait_writer_idle(bool (*stop_requested)())
{
    std::unique_lock<std::mutex> lock(writer_mutex);
    while (has_pending) {
        if (stop_requested && stop_requested()) return false;
        writer_done.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

static void join_writer()
{
    {
        std::lock_guard<std::mutex> lock(writer_mutex);
        writer_quit = true;
    }
    writer_wake.notify_all();
    if (writer.joinable()) writer.join();
}

// After the writer failed: why, with ffmpeg's own exit status when it is gone.
static std::string writer_failure(bool (*stop_requested)(), bool* interrupted)
{
    join_writer();
    close(pipe_fd);
    pipe_fd = -1;
    if (writer_errno != EPIPE) return std::string("cannot write frames to ffmpeg: ") + strerror(writer_errno);
    int status = 0;
    if (!wait_ffmpeg(&status, stop_requested)) {
        *interrupted = true;
        return "interrupted";
    }
    return describe_status(status) + " and stopped reading frames";
}

bool video_start(const VideoJob& job, std::string* error)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe for ffmpeg: ") + strerror(errno);
        return false;
    }
    // A larger pipe: fewer switches between the two processes per frame.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);

    std::vector<std::string> args = video_command(job);
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(&s[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "ffmpeg", &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        *error = rc == ENOENT ? "ffmpeg not found on PATH (Debian package ffmpeg)"
                              : std::string("cannot start ffmpeg: ") + strerror(rc);
        return false;
    }
    ffmpeg_pid = pid;
    pipe_fd = fds[1];
    writer_failed = false;
    writer_quit = false;
    has_pending = false;
    // The writer takes no signals: they are for the main thread, which
    // decides what to do, and a write is never cut short by one.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&blocked, sig);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    writer = std::thread(writer_main);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return true;
}

bool video_write_frame(std::vector<uint8_t>* frame, bool (*stop_requested)(), std::string* error)
{
    if (!wait_writer_idle(stop_requested)) {
        *error = "interrupted";
        return false;
    }
    std::unique_lock<std::mutex> lock(writer_mutex);
    if (writer_failed) {
        lock.unlock();
        bool interrupted = false;
        *error = writer_failure(stop_requested, &interrupted);
        return false;
    }
    pending.swap(*frame);
    has_pending = true;
    lock.unlock();
    writer_wake.notify_all();
    return true;
}

bool video_finish(bool (*stop_requested)(), std::string* error)
{
    if (ffmpeg_pid <= 0) {
        *error = "ffmpeg is not running";
        return false;
    }
    if (!wait_writer_idle(stop_requested)) {
        *error = "interrupted";
        return false;
    }
    if (writer_failed) {
        bool interrupted = false;
        *error = writer_failure(stop_requested, &interrupted);
        return false;
    }
    join_writer();
    close(pipe_fd);
    pipe_fd = -1;
    int status = 0;
    if (!wait_ffmpeg(&status, stop_requested)) {
        *error = "interrupted";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    *error = describe_status(status);
    return false;
}

void video_abort()
{
    // ffmpeg goes first: a write the writer is blocked in then fails at once.
    if (ffmpeg_pid > 0) kill(ffmpeg_pid, SIGKILL);
    join_writer();
    if (pipe_fd >= 0) close(pipe_fd);
    pipe_fd = -1;
    if (ffmpeg_pid <= 0) return;
    int status = 0;
    while (waitpid(ffmpeg_pid, &status, 0) < 0 && errno == EINTR) {
    }
    ffmpeg_pid = 0;
}
