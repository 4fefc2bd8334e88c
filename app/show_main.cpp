// show_main.cpp: the entry of a build that only plays the show, with no
// command line and no tools (the browser page, tools/build-web.sh). The show
// runs in a window, so its title carries the frame rate; the window's
// platform scales the picture to whatever it is given. Depends on play.h.
#include "play.h"

int main()
{
    if (!select_window_platform()) return 1;
    choose_data_folder(std::string());
    WindowSettings window;
    window.fullscreen = 0;
    return play_show(window);
}
