// play.cpp: the entries' shared set-up (see play.h). Depends on framework/,
// demo/ and platform/.
#include "play.h"

#include "demo/demo.h"
#include "platform/platform.h"
#include "platform/say.h"

bool select_window_platform()
{
    const char* why = "";
    if (platform_select(PLATFORM_BACKEND_INTERACTIVE, &why)) return true;
    say("%s", why);
    return false;
}

void choose_data_folder(const std::string& option_folder)
{
    // Without one they go on as with an empty data/: empty slots, no music.
    std::string data_folder, searched;
    if (!find_data_folder(option_folder, &data_folder, &searched))
        say("no folder holds the show's files; searched %s", searched.c_str());
    else if (!option_folder.empty() && !searched.empty())
        // The folder the user named was passed over: say so rather than
        // silently play another copy.
        say("%s does not hold the show's files; using %s", option_folder.c_str(), data_folder.c_str());
    use_data_folder(data_folder);
}

int play_show(WindowSettings window)
{
    window.switch_refused_note = "--desktop fills the screen without changing its mode";
    window.show_milliseconds = demo_show_milliseconds;
    // The pictures decode while the window and its GL context are made.
    demo_decode_ahead();
    return run_demo_window(window, demo_init, demo_frame);
}
