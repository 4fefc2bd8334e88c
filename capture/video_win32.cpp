// video_win32.cpp: video capture in the Windows release. It would spawn
// ffmpeg.exe, which the release does not ship, so a video capture is refused
// with one line (pictures work: --capture DIR/). Depends on nothing.
#include "video.h"

const char* video_unsupported()
{
    return "video capture needs ffmpeg and is not in this release; pictures are (--capture DIR/)";
}

bool video_ffmpeg_found() { return false; }
std::string video_missing_encoders(const VideoFormat&) { return ""; }
std::string video_settings_text(const VideoJob&) { return ""; }
std::vector<std::string> video_command(const VideoJob&) { return {}; }

bool video_start(const VideoJob&, bool (*)(), std::string* error)
{
    *error = video_unsupported();
    return false;
}

bool video_write_frame(std::vector<uint8_t>*, bool (*)(), std::string* error)
{
    *error = video_unsupported();
    return false;
}

const std::vector<uint8_t>* video_last_frame()
{
    static const std::vector<uint8_t> none;
    return &none;
}

bool video_repeat_frame(bool (*)(), std::string* error)
{
    *error = video_unsupported();
    return false;
}

bool video_finish(bool (*)(), std::string* error)
{
    *error = video_unsupported();
    return false;
}

void video_abort() {}
