// main.cpp: the program entry. Reads the command line (the GlWindow itself
// always gets an empty one), then plays the show in a window, or runs one of
// the tools: capture, decode, check-data. Depends on every subsystem.
#include "capture/capture.h"
#include "demo/demo.h"
#include "framework/glwindow.h"
#include "app/options.h"
#include "imageloader/tools.h"
#include "platform/platform.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parse_options(argc, argv, &options, &error)) {
        fprintf(stderr, "oargala: %s\n%s", error.c_str(), usage_text);
        return 2;
    }
    switch (options.mode) {
    case RUN_HELP: fputs(usage_text, stdout); return 0;
    case RUN_VERSION: fputs(version_text, stdout); return 0;
    case RUN_DECODE: return decode_command(options.decode_input.c_str(), options.decode_output.c_str());
    case RUN_CHECK_DATA: return check_data_command();
    case RUN_CAPTURE: return capture_run(options.capture);
    case RUN_SHOW: break;
    }

    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_SDL, &why)) {
        fprintf(stderr, "oargala: %s\n", why);
        return 1;
    }

    WindowSettings window;
    window.fullscreen = options.windowed ? 0 : 1;
    window.desktop = options.desktop;
    window.width = options.show_width;
    window.height = options.show_height;
    window.vsync = options.vsync;
    window.switch_refused_note = "--desktop fills the screen without changing its mode";
    window.show_milliseconds = demo_show_milliseconds;
    return run_demo_window(window, demo_init, demo_frame);
}
