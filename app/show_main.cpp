// show_main.cpp: the entry of a build that only plays the show, with no
// command line and no tools (the browser page, tools/build-web.sh). The show
// runs in a window, so its title carries the frame rate; the window's
// platform scales the picture to whatever it is given. Depends on demo/ and
// framework/.
#include "demo/demo.h"
#include "framework/glwindow.h"
#include "platform/platform.h"
#include "platform/say.h"

#include <cstdio>
#include <string>

int main()
{
    const char* why = "";
    if (!platform_select(PLATFORM_BACKEND_INTERACTIVE, &why)) {
        say("%s", why);
        return 1;
    }
    std::string data_folder, searched;
    if (!find_data_folder(std::string(), &data_folder, &searched))
        say("no folder holds the show's files; searched %s", searched.c_str());
    use_data_folder(data_folder);
    WindowSettings window;
    window.fullscreen = 0;
    window.show_milliseconds = demo_show_milliseconds;
    demo_decode_ahead();
    return run_demo_window(window, demo_init, demo_frame);
}
