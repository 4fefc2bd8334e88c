// main.cpp: the program entry. Reads the command line (the GlWindow itself
// always gets an empty one), then plays the show in a window, or runs one of
// the tools: capture, decode, check-data. Chooses the data folder for the
// show, the capture and check-data alike (play.h). Depends on every subsystem.
#include "capture/capture.h"
#include "demo/demo.h"
#include "framework/glwindow.h"
#include "app/options.h"
#include "app/play.h"
#include "imageloader/decode_command.h"
#include "platform/platform.h"
#include "platform/say.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parse_options(argc, argv, &options, &error)) {
        say("%s", error.c_str());
        fputs(usage_text, stderr);
        return 2;
    }
    switch (options.mode) {
    case RUN_HELP: fputs(usage_text, stdout); return 0;
    case RUN_VERSION: fputs(version_text, stdout); return 0;
    case RUN_DECODE: return decode_command(options.decode_input.c_str(), options.decode_output.c_str());
    case RUN_CHECK_DATA: case RUN_CAPTURE: case RUN_SHOW: break;
    }

    const char* why = "";
    if (options.renderer_given && !platform_use_renderer(options.renderer, &why)) {
        say("%s", why);
        return 2;
    }
    if (options.mode == RUN_SHOW && !select_window_platform()) return 1;
    // The show, the capture and --check-data read the same folder.
    choose_data_folder(options.data_folder);
    if (options.mode == RUN_CHECK_DATA) return check_data_command();
    if (options.mode == RUN_CAPTURE) return capture_run(options.capture);
    WindowSettings window;
    window.fullscreen = options.windowed ? 0 : 1;
    window.desktop = options.desktop;
    window.width = options.show_width;
    window.height = options.show_height;
    window.vsync = options.vsync;
    return play_show(window);
}
