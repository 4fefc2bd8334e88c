// video.cpp: the ffmpeg process of a video capture: the encoders it has, its
// command line, the AVI stream on the frame pipe with the thread that writes
// to it, and waiting for ffmpeg. One
// capture per process, so the process id, the pipe and the thread are statics.
// A capture is done only when the file is really finished: ffmpeg's exit
// code alone is not enough (a full disk while it writes the trailer still
// ends with 0), so its error lines count too, and the finished file is read
// back with ffprobe for its streams and length.
// Depends on POSIX: fork, execvp, posix_spawnp, pipe2, waitpid, kill; Linux's
// prctl (ffmpeg dies with oargala); std::thread.
#include "video.h"

#include "platform/say.h"

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
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

static const unsigned audio_rate = 44100;

static pid_t ffmpeg_pid = 0;
static int pipe_fd = -1;
static int ffmpeg_log_fd = -1;   // ffmpeg's standard error: an unlinked file
static std::string output_path;  // the file ffmpeg writes
static double expected_seconds;   // the length the finished video must have

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

// The AVI stream's frame header: a stream-0 picture chunk of size bytes. A
// chunk of size 0 repeats the picture before it.
static void chunk_header(uint8_t out[8], uint32_t size)
{
    memcpy(out, "00db", 4);
    for (int i = 0; i < 4; i++) out[4 + i] = (uint8_t)(size >> (8 * i));
}

// The stream's header: one uncompressed 32-bit BGR video stream, bottom row
// first (as OpenGL reads it and as AVI keeps pictures). The sizes of the
// whole and of the frame list are 0, "unknown": ffmpeg reads on to the end.
static std::vector<uint8_t> avi_header(const VideoJob& job)
{
    std::vector<uint8_t> h;
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; i++) h.push_back((uint8_t)(v >> (8 * i))); };
    auto u16 = [&](uint16_t v) { h.push_back((uint8_t)v); h.push_back((uint8_t)(v >> 8)); };
    auto tag = [&](const char* t) { h.insert(h.end(), t, t + 4); };
    uint32_t frame_size = job.width * job.height * 4;
    uint32_t us_per_frame = (uint32_t)((uint64_t)job.fps_den * 1000000 / job.fps_num);
    tag("RIFF"), u32(0), tag("AVI ");
    tag("LIST"), u32(4 + 8 + 56 + 12 + 8 + 56 + 8 + 40), tag("hdrl");
    tag("avih"), u32(56), u32(us_per_frame), u32(0), u32(0), u32(0x10), u32(0), u32(0), u32(1), u32(frame_size),
        u32(job.width), u32(job.height), u32(0), u32(0), u32(0), u32(0);
    tag("LIST"), u32(4 + 8 + 56 + 8 + 40), tag("strl");
    tag("strh"), u32(56), tag("vids"), u32(0), u32(0), u16(0), u16(0), u32(0), u32(job.fps_den), u32(job.fps_num),
        u32(0), u32(0), u32(frame_size), u32(0xffffffff), u32(0), u16(0), u16(0), u16((uint16_t)job.width),
        u16((uint16_t)job.height);
    tag("strf"), u32(40), u32(40), u32(job.width), u32(job.height), u16(1), u16(32), u32(0), u32(frame_size), u32(0),
        u32(0), u32(0), u32(0);
    tag("LIST"), u32(0), tag("movi");
    return h;
}

// Sample s of the whole capture's audio is heard at video time s / rate;
// frame k (k = 1, 2, ...) of the whole capture ends at k / fps.
static uint64_t sample_at_frame_end(const VideoJob& job, uint64_t k)
{
    uint64_t num = job.fps_num ? job.fps_num : 1;
    return (k * job.fps_den * audio_rate * 2 + num) / (2 * num);
}

static std::string audio_filter(const VideoJob& job)
{
    // The stretch of the whole capture's audio that goes with the frames, to
    // the nearest sample at both ends.
    std::string first = std::to_string(sample_at_frame_end(job, job.first_frame - 1));
    std::string end = std::to_string(sample_at_frame_end(job, job.first_frame - 1 + job.frames));
    std::string tail = "apad=whole_len=" + end + ",atrim=start_sample=" + first + ":end_sample=" + end +
                       ",asetpts=N/SR/TB";
    // The cut is made at the soundtrack's own rate, before a format's own
    // (Opus runs at 48 kHz).
    tail += job.format->audio_rate + std::string("[a]");
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

// A row's words with the job's values put in.
static std::string fill(const char* text, const VideoJob& job)
{
    std::string out = text;
    int crf = job.crf >= 0 ? job.crf : job.format->crf_default;
    for (auto [key, value] : {std::pair<const char*, std::string>{"{crf}", std::to_string(crf)},
                              {"{preset}", job.preset.empty() ? capture_default_preset : job.preset}})
        for (size_t at; (at = out.find(key)) != std::string::npos;) out.replace(at, strlen(key), value);
    return out;
}

// The row's words, split at spaces, onto the command line.
static void add_words(std::vector<std::string>* a, const char* text, const VideoJob& job)
{
    std::string words = fill(text, job);
    for (size_t start = 0, end; start < words.size(); start = end + 1) {
        end = words.find(' ', start);
        if (end == std::string::npos) end = words.size();
        if (end > start) a->push_back(words.substr(start, end - start));
    }
}

std::string video_settings_text(const VideoJob& job) { return fill(job.format->settings, job); }

std::vector<std::string> video_command(const VideoJob& job)
{
    const VideoFormat& format = *job.format;
    std::string rate = std::to_string(job.fps_num) + "/" + std::to_string(job.fps_den);
    bool large = (uint64_t)job.width * job.height > large_pixels;
    std::vector<std::string> a = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostats"};
    // A large frame is tens of megabytes: ffmpeg queues one, not eight.
    if (large) a.insert(a.end(), {"-thread_queue_size", "1"});
    a.insert(a.end(), {"-f", "avi", "-i", "pipe:0"});
    if (job.soundtrack.empty()) {
        a.insert(a.end(), {"-f", "lavfi", "-i", "anullsrc=channel_layout=stereo:sample_rate=" + std::to_string(audio_rate)});
    } else {
        a.insert(a.end(), {"-i", "file:" + job.soundtrack});
    }
    // A repeated frame comes as an empty chunk, so its picture arrives with a
    // gap in the timestamps; the fps filter fills each gap with the picture
    // before it: a constant frame rate with every frame. It goes after the
    // conversion, which then runs once per distinct picture.
    a.insert(a.end(), {"-filter_complex", "[0:v]" + std::string(format.convert) + ",fps=" + rate + "[v];" + audio_filter(job),
                       "-map", "[v]", "-map", "[a]", "-fps_mode", "passthrough"});
    add_words(&a, format.video_args, job);
    if (large) add_words(&a, format.large_args, job);
    add_words(&a, format.audio_args, job);
    add_words(&a, format.output_args, job);
    a.insert(a.end(), {"-y", "file:" + job.path});
    return a;
}

// Runs argv (argv[0] found on PATH) and returns its standard output; its
// standard error is dropped. False when it cannot start or ends other than
// with exit code 0.
static bool command_output(const std::vector<std::string>& args, std::string* out)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while (rc == 0 && ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)))
        if (n > 0) out->append(buffer, (size_t)n);
    close(fds[0]);
    if (rc != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string video_missing_encoders(const VideoFormat& format)
{
    std::string list;
    if (!command_output({"ffmpeg", "-hide_banner", "-encoders"}, &list) && list.empty()) return "";
    // Lines like " V....D libx264   libx264 H.264 / AVC ...": the name is the second word.
    std::string missing;
    for (const char* encoder : {format.video_encoder, format.audio_encoder}) {
        if (list.find(std::string(" ") + encoder + " ") != std::string::npos) continue;
        missing += (missing.empty() ? "" : " ") + std::string(encoder);
    }
    return missing;
}

// ffmpeg's lines on its standard error (at -loglevel error, only errors).
static std::vector<std::string> ffmpeg_lines()
{
    std::vector<std::string> lines;
    if (ffmpeg_log_fd < 0) return lines;
    std::string text;
    char buffer[4096];
    ssize_t n;
    off_t offset = 0;
    while ((n = pread(ffmpeg_log_fd, buffer, sizeof buffer, offset)) > 0) {
        text.append(buffer, (size_t)n);
        offset += n;
        if (text.size() > 65536) text.erase(0, text.size() - 4096);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The line of ffmpeg's that says why, "" when it wrote none. Its last lines
// are often generic ("Error initializing output stream 0:0 --", "Conversion
// failed!"): the cause is the line before them.
static std::string ffmpeg_last_line()
{
    std::vector<std::string> lines = ffmpeg_lines();
    while (lines.size() > 1 && (lines.back() == "Conversion failed!" ||
                                lines.back().rfind("Error initializing output stream", 0) == 0))
        lines.pop_back();
    return lines.empty() ? "" : lines.back();
}

static std::string describe_status(int status)
{
    std::string text;
    if (WIFEXITED(status)) text = "ffmpeg failed (exit code " + std::to_string(WEXITSTATUS(status)) + ")";
    else if (WIFSIGNALED(status)) text = std::string("ffmpeg was ended by signal ") + strsignal(WTERMSIG(status));
    else text = "ffmpeg failed";
    std::string line = ffmpeg_last_line();
    return line.empty() ? text : text + ": " + line;
}

enum WaitResult { WAIT_ENDED, WAIT_STOPPED, WAIT_FAILED };

// Waits for ffmpeg, looking at stop_requested every few milliseconds (a
// signal may have gone to another thread and interrupt nothing here).
// WAIT_FAILED, with the reason in *failure, when ffmpeg cannot be waited for:
// its exit status is then unknown, which is no success.
static WaitResult wait_ffmpeg(int* status, bool (*stop_requested)(), std::string* failure)
{
    for (;;) {
        pid_t r = waitpid(ffmpeg_pid, status, WNOHANG);
        if (r == ffmpeg_pid) break;
        if (r < 0 && errno != EINTR) {
            *failure = std::string("cannot wait for ffmpeg: ") + strerror(errno);
            ffmpeg_pid = 0;
            return WAIT_FAILED;
        }
        if (stop_requested && stop_requested()) return WAIT_STOPPED;
        usleep(5000);
    }
    ffmpeg_pid = 0;
    return WAIT_ENDED;
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
// The last picture handed over, kept after it is written: a repeat sends an
// empty chunk, and the capture compares the next frame with this one.
static std::vector<uint8_t> pending;
static bool has_pending, pending_repeat, writer_quit, writer_failed;
static int writer_errno;

// Writes all of size bytes; 0, or the errno of the failed write.
static int write_all(const uint8_t* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(pipe_fd, data + done, size - done);
        if (n > 0) done += (size_t)n;
        else if (n < 0 && errno != EINTR) return errno;
    }
    return 0;
}

static void writer_main()
{
    std::unique_lock<std::mutex> lock(writer_mutex);
    for (;;) {
        writer_wake.wait(lock, [] { return has_pending || writer_quit; });
        if (!has_pending) return;
        lock.unlock();
        uint8_t header[8];
        size_t size = pending_repeat ? 0 : pending.size();
        chunk_header(header, (uint32_t)size);
        int error = write_all(header, sizeof header);
        if (!error) error = write_all(pending.data(), size);
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
static std::string writer_failure(bool (*stop_requested)())
{
    join_writer();
    close(pipe_fd);
    pipe_fd = -1;
    if (writer_errno != EPIPE) return std::string("cannot write frames to ffmpeg: ") + strerror(writer_errno);
    int status = 0;
    std::string failure;
    switch (wait_ffmpeg(&status, stop_requested, &failure)) {
    case WAIT_STOPPED: return "interrupted";
    case WAIT_FAILED: return failure;
    case WAIT_ENDED: break;
    }
    std::string text = describe_status(status);
    size_t colon = text.find(": ");
    // "... (exit code 1) and stopped reading frames: its last line".
    if (colon == std::string::npos || WIFSIGNALED(status)) return text + " and stopped reading frames";
    return text.substr(0, colon) + " and stopped reading frames" + text.substr(colon);
}

// ffmpeg's messages go to a file of their own (in TMPDIR, unlinked at once),
// so that a failure can be told in one line with ffmpeg's own words.
static void open_ffmpeg_log()
{
    if (ffmpeg_log_fd >= 0) close(ffmpeg_log_fd);
    const char* tmp = getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/oargala-ffmpeg-XXXXXX";
    ffmpeg_log_fd = mkostemp(&name[0], O_CLOEXEC);
    if (ffmpeg_log_fd >= 0) unlink(name.c_str());
}

// Starts ffmpeg reading from in_fd, in a process group of its own (a Ctrl-C
// at the terminal reaches only oargala, which then stops it) and tied to
// oargala's life: killed when oargala dies, even by SIGKILL. posix_spawn
// cannot ask for the latter, so fork and exec; the child calls only what is
// safe after a fork in a threaded process. 0, or the errno of the failure.
static int spawn_ffmpeg(std::vector<std::string>& args, bool large, int in_fd, pid_t* pid_out)
{
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    // With large frames glibc's heap keeps hundreds of megabytes of freed
    // frames (its threshold for fresh mappings rises to 32 MB as they come
    // and go): below 1 MB they are mapped and handed back each time.
    std::vector<std::string> env_words;
    for (char** e = environ; *e; e++)
        if (strncmp(*e, "GLIBC_TUNABLES=", 15)) env_words.push_back(*e);
    const char* tunables = getenv("GLIBC_TUNABLES");
    if (large) env_words.push_back(std::string("GLIBC_TUNABLES=") + (tunables && *tunables ? tunables + std::string(":") : "") +
                                   "glibc.malloc.mmap_threshold=1048576");
    else if (tunables) env_words.push_back(std::string("GLIBC_TUNABLES=") + tunables);
    std::vector<char*> envp;
    for (std::string& s : env_words) envp.push_back(&s[0]);
    envp.push_back(nullptr);
    int report[2];   // the child's exec error, or closed by a successful exec
    if (pipe2(report, O_CLOEXEC) != 0) return errno;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        close(report[0]);
        close(report[1]);
        return e;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);   // oargala died before the line above
        setpgid(0, 0);
        for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        dup2(in_fd, 0);
        if (ffmpeg_log_fd >= 0) dup2(ffmpeg_log_fd, 2);
        execvpe(argv[0], argv.data(), envp.data());
        int e = errno;
        ssize_t ignored = write(report[1], &e, sizeof e);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int e = 0;
    ssize_t n;
    while ((n = read(report[0], &e, sizeof e)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (n == (ssize_t)sizeof e) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return e;
    }
    *pid_out = pid;
    return 0;
}

bool video_start(const VideoJob& job, bool (*stop_requested)(), std::string* error)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe for ffmpeg: ") + strerror(errno);
        return false;
    }
    // A larger pipe: fewer switches between the two processes per frame.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    std::vector<std::string> args = video_command(job);
    open_ffmpeg_log();
    pid_t pid = 0;
    int rc = spawn_ffmpeg(args, (uint64_t)job.width * job.height > large_pixels, fds[0], &pid);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        *error = rc == ENOENT ? "ffmpeg not found on PATH (Debian package ffmpeg)"
                              : std::string("cannot start ffmpeg: ") + strerror(rc);
        return false;
    }
    ffmpeg_pid = pid;
    pipe_fd = fds[1];
    output_path = job.path;
    expected_seconds = (double)job.frames * job.fps_den / job.fps_num;
    // Small: the pipe takes it at once.
    std::vector<uint8_t> header = avi_header(job);
    if (int e = write_all(header.data(), header.size())) {
        writer_errno = e;
        writer_failed = true;
        *error = writer_failure(stop_requested);
        return false;
    }
    writer_failed = false;
    writer_quit = false;
    has_pending = false;
    pending.clear();
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

static bool write_chunk(std::vector<uint8_t>* frame, bool (*stop_requested)(), std::string* error)
{
    if (!wait_writer_idle(stop_requested)) {
        *error = "interrupted";
        return false;
    }
    std::unique_lock<std::mutex> lock(writer_mutex);
    if (writer_failed) {
        lock.unlock();
        *error = writer_failure(stop_requested);
        return false;
    }
    if (frame) pending.swap(*frame);
    pending_repeat = frame == nullptr;
    has_pending = true;
    lock.unlock();
    writer_wake.notify_all();
    return true;
}

bool video_write_frame(std::vector<uint8_t>* frame, bool (*stop_requested)(), std::string* error)
{
    return write_chunk(frame, stop_requested, error);
}

const std::vector<uint8_t>* video_last_frame()
{
    // Only write_chunk changes it, on the caller's thread; the writer only
    // reads it, as the caller does here.
    return &pending;
}

bool video_repeat_frame(bool (*stop_requested)(), std::string* error)
{
    return write_chunk(nullptr, stop_requested, error);
}

// The file ffmpeg says it finished, read back: a regular file holding a
// video and an audio stream, as long as the frames sent (an audio frame
// more or less).
static bool check_finished(std::string* error)
{
    struct stat st;
    if (lstat(output_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        *error = "ffmpeg ended without writing the file";
        return false;
    }
    std::string out;
    bool read = command_output({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type:format=duration", "-of",
                                "default=noprint_wrappers=1", "file:" + output_path},
                               &out);
    bool video = out.find("codec_type=video\n") != std::string::npos;
    bool audio = out.find("codec_type=audio\n") != std::string::npos;
    size_t at = out.find("duration=");
    double seconds = at == std::string::npos ? 0.0 : atof(out.c_str() + at + 9);
    if (read && video && audio && seconds + 0.1 >= expected_seconds) return true;
    char text[160];
    snprintf(text, sizeof text, "the finished file does not read back whole (ffprobe: %s, %s, %.3f of %.3f s)",
             video ? "video" : "no video", audio ? "audio" : "no audio", seconds, expected_seconds);
    *error = read ? text : "the finished file cannot be read back (ffprobe fails on it)";
    return false;
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
        *error = writer_failure(stop_requested);
        return false;
    }
    join_writer();
    close(pipe_fd);
    pipe_fd = -1;
    int status = 0;
    switch (wait_ffmpeg(&status, stop_requested, error)) {
    case WAIT_STOPPED: *error = "interrupted"; return false;
    case WAIT_FAILED: return false;
    case WAIT_ENDED: break;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = describe_status(status);
        return false;
    }
    // ffmpeg ends with 0 even when it could not write the file's end.
    if (!ffmpeg_lines().empty()) {
        *error = "ffmpeg could not finish the file: " + ffmpeg_last_line();
        return false;
    }
    return check_finished(error);
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
