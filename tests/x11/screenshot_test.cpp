// screenshot_test.cpp: what a viewer sees, read through the show's own screenshot key (F12) on the
// 16:9 dummy Xorg desktop of with_server.sh: a 1024x768 window titled with the frame rate, and the
// whole screen (--desktop), the 4:3 picture between black bars, with the bare title. The show runs
// on a data/ folder of solid slot colours, so every pixel tells which picture it shows; the first
// frames are the loading scene: slot 2 fills the picture, the boat (slots 4 to 7) left of middle.
#include "tests/capture/process.h"
#include "tests/demo/show_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>

namespace {

// Polls until condition holds, within a limit generous for a busy machine.
bool wait_for(const std::function<bool()>& condition)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!condition() && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return condition();
}

const std::string decorated = "(pelmatox - Oar Gala (BUY V1@GRA)) -- [640x480^32^16]";

// One run of the show in a folder of its own with known pictures. Every wait
// gives up as soon as the program has ended.
struct Show {
    std::string dir = make_temp_dir(false), window;
    pid_t pid = -1;
    int status = -1;   // once it has ended

    explicit Show(const std::vector<std::string>& args)
    {
        write_show_data(dir, true);   // a missing soundtrack would stop start-up at a box
        pid = start_oargala(RunSetup(args, dir, {"SDL_AUDIODRIVER=dummy"}), dir + "/.out", dir + "/.err");
        wait_for([&] {
            window = run_tool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid), "--name", "pelmatox"});
            window = window.substr(0, window.find('\n'));
            return !window.empty() || !running();
        });
    }
    ~Show()
    {
        if (running()) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        remove_tree(dir);
    }
    bool running()
    {
        int st = 0;
        if (status < 0 && waitpid(pid, &st, WNOHANG) == pid) status = st;
        return status < 0;
    }
    void press(const char* key) { run_tool({"xdotool", "windowfocus", window, "key", key}); }
    std::string title() { return run_tool({"xdotool", "getwindowname", window}); }
    std::vector<std::string> pictures()
    {
        std::vector<std::string> names;
        for (const std::string& name : list_dir(dir))
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) names.push_back(name);
        return names;
    }
    // Presses F12 and waits for one more picture; returns its name.
    std::string screenshot()
    {
        size_t before = pictures().size();
        press("F12");
        wait_for([&] { return pictures().size() > before || !running(); });
        return pictures().size() > before ? pictures().back() : "";
    }
    int end_with_escape()
    {
        press("Escape");
        wait_for([&] { return !running(); });
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// The text with every digit written as 9, to compare with a pattern.
std::string shape(std::string text)
{
    for (char& c : text)
        if (c >= '0' && c <= '9') c = '9';
    return text;
}

struct Picture {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;   // top row first, y from the top
    explicit Picture(const std::string& path) { EXPECT_TRUE(read_png_rgb(path, &width, &height, &rgb)) << path; }
    Rgb at(unsigned x, unsigned y) const { const uint8_t* p = &rgb[((size_t)y * width + x) * 3]; return {p[0], p[1], p[2]}; }
    // The slot at (x, y) of the 640x480 picture (y up) shown w x h at (left, 0).
    int slot(unsigned left, unsigned w, unsigned h, float x, float y) const
    {
        return slot_at(at(left + (unsigned)(x * w / 640), h - 1 - (unsigned)(y * h / 480)));
    }
    // The loading scene: slot 2 in the corners and its first and last
    // columns, a boat frame left of the middle from its foot at y 140 up
    // (upside down, y 144 would be background).
    void expect_loading_scene(unsigned left, unsigned w, unsigned h) const
    {
        for (float x : {0.0f, 2.0f, 637.0f, 639.5f})
            for (float y : {2.0f, 240.0f, 477.0f}) EXPECT_EQ(slot(left, w, h, x, y), 2) << x << "," << y;
        for (float y : {144.0f, 236.0f}) {
            int boat = slot(left, w, h, 150, y);
            EXPECT_TRUE(boat >= 4 && boat <= 7) << "slot " << boat << " at y " << y;
        }
    }
};

}  // namespace

TEST(Screenshot, WindowShowsTheScaledPictureAndTheFrameRateAndSwallowsOtherKeys)
{
    Show show({"--windowed", "--size", "1024x768"});
    ASSERT_NE(show.window, "") << read_text(show.dir + "/.err");
    std::string first = show.screenshot();
    ASSERT_NE(first, "") << read_text(show.dir + "/.err");
    EXPECT_EQ(shape(first), "oargala-999.999.png");   // the show time, seconds and milliseconds
    Picture p(show.dir + "/" + first);
    ASSERT_EQ(std::to_string(p.width) + "x" + std::to_string(p.height), "1024x768");   // the window's size
    p.expect_loading_scene(0, 1024, 768);
    EXPECT_NE(read_text(show.dir + "/.out").find("oargala: screenshot " + first + " (1024x768)\n"), std::string::npos);

    // Other keys are swallowed and frames go on: a later screenshot is named
    // after a later show time, and the frames since have set the title.
    show.press("a");
    show.press("space");
    std::string second = show.screenshot();
    EXPECT_GT(second, first);
    std::string title = show.title();
    EXPECT_EQ(title.substr(0, decorated.size() + 7), decorated + " [fps: ");
    // The rate as "%6.2f": spaces, digits or a minus sign, a point, two digits.
    std::string rate = shape(title.substr(decorated.size() + 7));
    EXPECT_TRUE(rate.size() >= 7 && rate.find_first_not_of(" 9-") == rate.size() - 5 &&
                rate.compare(rate.size() - 5, 5, ".99]\n") == 0) << title;
    EXPECT_EQ(show.end_with_escape(), 0);
}

TEST(Screenshot, DesktopShowsThePictureBetweenBlackBarsAndTheBareTitle)
{
    Show show({"--desktop"});
    ASSERT_NE(show.window, "") << read_text(show.dir + "/.err");
    std::string name = show.screenshot();
    ASSERT_NE(name, "") << read_text(show.dir + "/.err");
    Picture p(show.dir + "/" + name);
    ASSERT_EQ(std::to_string(p.width) + "x" + std::to_string(p.height), "1280x720");
    // 960x720 in the middle: bars of 160 columns on either side.
    int lit = 0;
    for (unsigned y = 0; y < 720; y++)
        for (unsigned x : {0u, 80u, 159u, 1120u, 1200u, 1279u}) lit += p.at(x, y).r || p.at(x, y).g || p.at(x, y).b;
    EXPECT_EQ(lit, 0);
    p.expect_loading_scene(160, 960, 720);
    EXPECT_EQ(show.title(), decorated + "\n");
    EXPECT_EQ(show.end_with_escape(), 0);
}
