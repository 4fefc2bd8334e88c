// sink_video.cpp: the capture's video sink: frames to ffmpeg (video.cpp),
// which writes a temporary file beside the output, renamed into place once
// ffmpeg has finished it and it reads back whole. ffmpeg starts with the
// first kept frame, when the show has started its soundtrack.
// Depends on sink.h, video.h, sound/ (the recorded soundtrack), platform/say.h.
#include "sink.h"

#include "capture/video.h"
#include "platform/say.h"
#include "sound/sound.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/posix.h"

static std::string partial;   // the temporary file ffmpeg writes
static bool started = false;

static VideoJob video_job(const SinkJob& job)
{
    const CaptureSettings& s = *job.settings;
    VideoJob v;
    v.path = partial;
    v.format = s.format ? s.format : capture_video_format(s.output, false);
    if (!v.format) v.format = &capture_formats[0];
    v.crf = s.crf;
    v.preset = s.preset;
    v.width = s.width;
    v.height = s.height;
    v.fps_num = s.fps_num;
    v.fps_den = s.fps_den;
    v.first_frame = job.first;
    v.frames = job.planned - job.first + 1;
    return v;
}

static int video_prepare(const SinkJob& job)
{
    const std::string& output = job.settings->output;
    if (video_unsupported()) {
        say("%s", video_unsupported());
        return 2;
    }
    if (!video_ffmpeg_found()) {
        say("ffmpeg not found on PATH; a video capture needs it (Debian package ffmpeg), pictures do not (--capture DIR/)");
        return 1;
    }
    const VideoFormat& format = *video_job(job).format;
    std::string missing = video_missing_encoders(format);
    if (!missing.empty()) {
        say("this ffmpeg has no %s encoder%s, which %s needs", missing.c_str(),
            missing.find(' ') != std::string::npos ? "s" : "", format.suffix);
        return 1;
    }
    if (!capture_make_unique(output + ".", ".partial", false, &partial)) {
        say("cannot write %s: %s", output.c_str(), strerror(errno));
        return 1;
    }
    return 0;
}

static std::string video_first_line(const SinkJob& job, const std::string& size_rate, const std::string& frames,
                                    const std::string& blur)
{
    return "the show into " + job.settings->output + ": " + size_rate + ", " + frames + blur + ", " +
           video_settings_text(video_job(job));
}

static bool video_keep(const SinkJob& job, uint64_t, std::vector<uint8_t>* pixels, bool repeat, std::string* error)
{
    if (!started) {
        VideoJob v = video_job(job);
        uint32_t start_ms = 0;
        const char* path = nullptr;
        if (sound_recorded_play(&start_ms, &path) && path && *path) {
            v.soundtrack = path;
            v.soundtrack_start_ms = start_ms;
        } else {
            say("the show played no soundtrack; the video gets a silent audio track");
        }
        if (!video_start(v, job.stop_requested, error)) return false;
        started = true;
    }
    return repeat ? video_repeat_frame(job.stop_requested, error)
                  : video_write_frame(pixels, job.stop_requested, error);
}

static bool video_finish_file(const SinkJob& job, uint64_t frames, std::string* error)
{
    const std::string& output = job.settings->output;
    if (!started) {
        *error = "the show ended before its first frame";
        return false;
    }
    if (!video_finish(job.stop_requested, error)) return false;
    if (rename(partial.c_str(), output.c_str()) != 0) {
        *error = "cannot rename " + partial + " to " + output + ": " + strerror(errno);
        return false;
    }
    partial.clear();
    if (frames != job.planned)
        say("the show ended after %llu frames where %llu were expected; the soundtrack runs on past the last frame",
            (unsigned long long)frames, (unsigned long long)job.planned);
    return true;
}

static void video_remove()
{
    video_abort();
    if (!partial.empty()) unlink(partial.c_str());
    partial.clear();
}

static std::string video_summary(const SinkJob& job, uint64_t frames, uint64_t kept)
{
    const CaptureSettings& s = *job.settings;
    char text[96];
    if (job.first > 1)
        snprintf(text, sizeof text, " (%.3f to %.3f s of the video)", (double)(job.first - 1) * s.fps_den / s.fps_num,
                 (double)frames * s.fps_den / s.fps_num);
    else
        snprintf(text, sizeof text, " (%.2f s of show)", capture_frame_seconds(frames, s.fps_num, s.fps_den));
    return count_text(job.first > 1 ? kept : frames, "frame") + text + " into " + s.output;
}

const CaptureSink capture_video_sink = {
    .prepare = video_prepare,
    .first_line = video_first_line,
    .keep = video_keep,
    .held = video_last_frame,
    .finish = video_finish_file,
    .remove = video_remove,
    .summary = video_summary,
};
