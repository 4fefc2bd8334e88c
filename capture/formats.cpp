// formats.cpp: the table of video formats and the frame arithmetic of a
// capture (see formats.h). A new format is one row here (and one line of
// the README). Depends on platform/frame_clock.h, demo/demo.h (the show's
// length, a constant) and the C++ library.
#include "formats.h"

#include "demo/demo.h"
#include "platform/frame_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

// BT.709 in the conversion and in the stream's tags, so that players that
// assume it for larger sizes show the colours that were rendered; prores_ks
// takes its tags from the frames (setparams), the others from the options.
// FFV1 keeps the RGB itself. crf ranges: x264's and libvpx's own (8-bit).
// At large sizes x264's frame threads, look-ahead and B-frames would hold
// about a gigabyte of frames: one thread, none ahead and no B-frames keep a
// 4K capture, ffmpeg included, near 600 MB (bench/capture_memory.py).
#define TO_709 "scale=out_color_matrix=bt709:out_range=tv,"
#define TAGS_709 " -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv"
#define X264 "-c:v libx264 -preset {preset} -crf {crf} -pix_fmt yuv420p" TAGS_709
#define X264_LARGE "-threads 1 -x264-params rc-lookahead=0:bframes=0:sync-lookahead=0"
#define H264_TEXT "H.264 crf {crf} preset {preset}, AAC 192 kb/s"

const VideoFormat capture_formats[] = {
    {".mp4", false, "H.264", "AAC", "libx264", "aac", TO_709 "format=yuv420p", X264, X264_LARGE, "", "-c:a aac -b:a 192k",
     "-movflags +faststart -f mp4", H264_TEXT, 0, 51, 18, true},
    {".mkv", false, "H.264", "AAC", "libx264", "aac", TO_709 "format=yuv420p", X264, X264_LARGE, "", "-c:a aac -b:a 192k",
     "-f matroska", H264_TEXT, 0, 51, 18, true},
    {".webm", false, "VP9", "Opus", "libvpx-vp9", "libopus", TO_709 "format=yuv420p",
     "-c:v libvpx-vp9 -crf {crf} -b:v 0 -deadline good -cpu-used 4 -row-mt 1 -pix_fmt yuv420p" TAGS_709, "",
     ",aresample=48000", "-c:a libopus -b:a 192k", "-f webm", "VP9 crf {crf}, Opus 192 kb/s", 0, 63, 24, false},
    {".mov", false, "ProRes", "PCM", "prores_ks", "pcm_s16le",
     TO_709 "format=yuv422p10le,setparams=range=tv:color_primaries=bt709:color_trc=bt709:colorspace=bt709",
     "-c:v prores_ks -profile:v 3 -vendor apl0 -pix_fmt yuv422p10le" TAGS_709, "", "", "-c:a pcm_s16le", "-f mov",
     "ProRes 422 HQ 10-bit, PCM 16-bit", 0, -1, 0, false},
    {".mkv", true, "FFV1", "FLAC", "ffv1", "flac", "format=bgr0",
     "-c:v ffv1 -level 3 -g 1 -slices 4 -slicecrc 1 -pix_fmt bgr0", "", "", "-c:a flac", "-f matroska",
     "FFV1 lossless RGB, FLAC", 0, -1, 0, false},
};
const size_t capture_format_count = sizeof capture_formats / sizeof capture_formats[0];

const char* const capture_h264_presets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                            "medium", "slow", "slower", "veryslow", nullptr};
const char* const capture_default_preset = "veryfast";

const VideoFormat* capture_video_format(const std::string& output, bool lossless)
{
    for (const VideoFormat& f : capture_formats) {
        size_t n = strlen(f.suffix);
        if (f.lossless == lossless && output.size() >= n && strcasecmp(output.c_str() + output.size() - n, f.suffix) == 0)
            return &f;
    }
    return nullptr;
}

// Words joined as a list is written: "a, b or c".
static std::string join(const std::vector<std::string>& words, const char* sep, const char* last)
{
    std::string text;
    for (size_t i = 0; i < words.size(); i++)
        text += (i == 0 ? "" : i + 1 == words.size() ? last : sep) + words[i];
    return text;
}

std::string capture_suffixes(const char* sep, const char* last)
{
    std::vector<std::string> suffixes;
    for (const VideoFormat& f : capture_formats)
        if (!f.lossless && std::find(suffixes.begin(), suffixes.end(), f.suffix) == suffixes.end())
            suffixes.push_back(f.suffix);
    return join(suffixes, sep, last);
}

std::string capture_formats_with(bool presets)
{
    std::vector<std::string> names, groups;
    for (const VideoFormat& f : capture_formats) {
        if (presets ? !f.presets : f.crf_max < 0) continue;
        auto at = std::find(names.begin(), names.end(), f.description);
        if (at == names.end()) {
            names.push_back(f.description);
            groups.push_back(std::string(f.description) + " (" + f.suffix);
        } else {
            groups[(size_t)(at - names.begin())] += std::string(", ") + f.suffix;
        }
    }
    for (std::string& g : groups) g += ")";
    return join(groups, ", ", " and ");
}

const uint64_t capture_show_us = demo_show_end_ms * 1000ull;

double capture_frame_seconds(uint64_t n, uint32_t fps_num, uint32_t fps_den)
{
    return (double)frame_clock_ms(n, fps_num, fps_den) / 1000.0;
}

uint64_t capture_frame_count(uint32_t fps_num, uint32_t fps_den)
{
    // floor(n * 1000 * den / num) <= end  <=>  n * 1000 * den < (end + 1) * num
    return ((demo_show_end_ms + 1ull) * fps_num - 1) / (1000ull * fps_den);
}

uint64_t capture_frame_at(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den)
{
    uint64_t scale = 1000000ull * fps_den;
    uint64_t n = (uint64_t)(((unsigned __int128)microseconds * fps_num + scale - 1) / scale);
    return n ? n : 1;
}

uint64_t capture_frame_shown(uint64_t microseconds, uint32_t fps_num, uint32_t fps_den)
{
    return (uint64_t)((unsigned __int128)microseconds * fps_num / (1000000ull * fps_den)) + 1;
}

// The video's end at this rate: "frame 9530 at 158.992 s".
static std::string last_frame_text(uint64_t frames, uint32_t fps_num, uint32_t fps_den)
{
    uint64_t last_ms = frame_clock_ms(frames, fps_num, fps_den);
    char text[64];
    snprintf(text, sizeof text, "frame %llu at %llu.%03llu s", (unsigned long long)frames,
             (unsigned long long)(last_ms / 1000), (unsigned long long)(last_ms % 1000));
    return text;
}

bool capture_check_times(const CaptureSettings& s, std::string* error)
{
    uint64_t frames = capture_frame_count(s.fps_num, s.fps_den);
    std::string rate = fps_text(s.fps_num, s.fps_den);
    for (uint64_t us : s.at_microseconds) {
        if (capture_frame_at(us, s.fps_num, s.fps_den) > frames) {
            *error = "--at: " + seconds_text(us) + " s is after the show's last frame at " + rate + " fps (" +
                     last_frame_text(frames, s.fps_num, s.fps_den) + ")";
            return false;
        }
    }
    // --from names a video time, and the video's last frame is shown until
    // it ends: from there on nothing is left.
    if (capture_frame_shown(s.from_us, s.fps_num, s.fps_den) > frames) {
        *error = "--from: " + seconds_text(s.from_us) + " s leaves nothing: the video at " + rate + " fps ends at " +
                 seconds_text((uint64_t)((unsigned __int128)frames * 1000000 * s.fps_den / s.fps_num)) + " s (" + count_text(frames, "frame") + ")";
        return false;
    }
    if (s.to_us && capture_frame_at(s.to_us, s.fps_num, s.fps_den) > frames) {
        *error = "--to: " + seconds_text(s.to_us) + " s is after the show's last frame at " + rate + " fps (" +
                 last_frame_text(frames, s.fps_num, s.fps_den) + ")";
        return false;
    }
    return true;
}

std::string seconds_text(uint64_t microseconds)
{
    std::string text = std::to_string(microseconds / 1000000);
    if (microseconds % 1000000) {
        std::string fraction = std::to_string(1000000 + microseconds % 1000000).substr(1);
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    }
    return text;
}

std::string fps_text(uint32_t fps_num, uint32_t fps_den)
{
    if (fps_den == 1) return std::to_string(fps_num);
    char text[32];
    snprintf(text, sizeof text, "%.3f", (double)fps_num / fps_den);
    return std::to_string(fps_num) + "/" + std::to_string(fps_den) + " (" + text + ")";
}

std::string count_text(uint64_t n, const char* thing)
{
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}
