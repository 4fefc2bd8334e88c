// screenshot_test.cpp: what a viewer sees, read through the show's own
// screenshot key (F12) on real X servers started by with_server.sh: on Xvfb
// a 1024x768 window (--windowed --size 1024x768), on the 16:9 dummy Xorg
// desktop the whole screen (--desktop) with the 4:3 picture between black
// bars. The show runs on a data/ folder of solid slot colours, so every
// pixel tells which picture it shows; the first frames are the loading
// scene: slot 2 fills the picture, the boat (slots 4 to 7) sits left of the
// middle. Each test skips on the other server.
#include "tests/capture/process.h"
#include "tests/demo/show_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <thread>

namespace {

bool on_server(const char* kind)
{
    const char* server = getenv("OARGALA_TEST_X_SERVER");
    return server && std::string(server) == kind;
}

// Polls until condition holds, within a generous limit (the machine may be
// slow and busy); false when it never did.
bool wait_for(const std::function<bool()>& condition)
{
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

// One run of the show in a folder of its own with known pictures.
struct Show {
    std::string dir;
    pid_t pid = -1;
    int status = -1;   // once it has ended
    std::string window;

    explicit Show(const std::vector<std::string>& args) : dir(make_temp_dir(false))
    {
        write_show_data(dir, true);   // a missing soundtrack would stop start-up at a box
        pid = start_oargala(RunSetup(args, dir, {"SDL_AUDIODRIVER=dummy"}), dir + "/.out", dir + "/.err");
    }
    ~Show()
    {
        if (running()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        remove_tree(dir);
    }
    bool running()
    {
        int st = 0;
        if (status < 0 && waitpid(pid, &st, WNOHANG) == pid) status = st;
        return status < 0;
    }
    bool find_window()
    {
        wait_for([&] {
            window = first_line(run_tool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid), "--name",
                                          "pelmatox"}));
            return !window.empty() || !running();
        });
        return !window.empty();
    }
    void press(const char* key) { run_tool({"xdotool", "windowfocus", window, "key", key}); }
    std::vector<std::string> pictures()
    {
        std::vector<std::string> names;
        for (const std::string& name : list_dir(dir))
            if (name.rfind("oargala-", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(name);
        return names;
    }
    // Presses F12 and waits for one more picture; returns its name.
    std::string screenshot()
    {
        size_t before = pictures().size();
        press("F12");
        wait_for([&] { return pictures().size() > before || !running(); });
        std::vector<std::string> now = pictures();
        return now.size() > before ? now.back() : "";
    }
    std::string out() { return read_text(dir + "/.out"); }
    // Escape, then its exit code (-1: still running after the limit).
    int end_with_escape()
    {
        press("Escape");
        wait_for([&] { return !running(); });
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

struct Picture {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;   // top row first
    Rgb at(unsigned x, unsigned y_from_top) const
    {
        const uint8_t* p = &rgb[((size_t)y_from_top * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
    // The slot shown at (x, y) of the 640x480 picture (y up), which fills
    // the rectangle at (left, top) of size w x h.
    int slot_in_picture(unsigned left, unsigned top, unsigned w, unsigned h, float x, float y) const
    {
        return slot_at(at(left + (unsigned)(x * w / 640), top + h - 1 - (unsigned)(y * h / 480)));
    }
};

Picture read_picture(const std::string& path)
{
    Picture p;
    EXPECT_TRUE(read_png_rgb(path, &p.width, &p.height, &p.rgb)) << path;
    return p;
}

// The loading scene's picture at (left, top), w x h: slot 2 in its corners,
// a boat frame left of the middle.
void expect_loading_scene(const Picture& p, unsigned left, unsigned top, unsigned w, unsigned h)
{
    EXPECT_EQ(p.slot_in_picture(left, top, w, h, 2, 2), 2);
    EXPECT_EQ(p.slot_in_picture(left, top, w, h, 637, 477), 2);
    int boat = p.slot_in_picture(left, top, w, h, 150, 236);
    EXPECT_TRUE(boat >= 4 && boat <= 7) << "slot " << boat;
}

}  // namespace

TEST(Screenshot, WindowOfAnySizeShowsTheScaledPictureAndTheShowGoesOn)
{
    if (!on_server("xvfb")) GTEST_SKIP() << "runs on the Xvfb server of with_server.sh";
    Show show({"--windowed", "--size", "1024x768"});
    ASSERT_TRUE(show.find_window()) << read_text(show.dir + "/.err");
    EXPECT_NE(run_tool({"xdotool", "getwindowgeometry", "--shell", show.window}).find("WIDTH=1024\nHEIGHT=768\n"),
              std::string::npos);

    std::string first = show.screenshot();
    ASSERT_NE(first, "") << read_text(show.dir + "/.err");
    Picture p = read_picture(show.dir + "/" + first);
    ASSERT_EQ(p.width, 1024u);
    ASSERT_EQ(p.height, 768u);
    expect_loading_scene(p, 0, 0, 1024, 768);
    EXPECT_NE(show.out().find("oargala: screenshot " + first + " (1024x768)\n"), std::string::npos) << show.out();

    // Frames go on: a later screenshot is named after a later show time.
    std::string second = show.screenshot();
    EXPECT_GT(second, first);
    EXPECT_EQ(show.end_with_escape(), 0);
}

TEST(Screenshot, DesktopShowsThePictureBetweenBlackBars)
{
    if (!on_server("xorg-wide")) GTEST_SKIP() << "runs on the 16:9 Xorg server of with_server.sh";
    Show show({"--desktop"});
    ASSERT_TRUE(show.find_window()) << read_text(show.dir + "/.err");
    std::string name = show.screenshot();
    ASSERT_NE(name, "") << read_text(show.dir + "/.err");
    Picture p = read_picture(show.dir + "/" + name);
    ASSERT_EQ(p.width, 1280u);
    ASSERT_EQ(p.height, 720u);
    // 960x720 in the middle: bars of 160 columns on either side.
    int bar_pixels = 0, black = 0;
    for (unsigned y = 0; y < 720; y++)
        for (unsigned x : {0u, 80u, 159u, 1120u, 1200u, 1279u}) {
            Rgb c = p.at(x, y);
            bar_pixels++;
            black += c.r == 0 && c.g == 0 && c.b == 0;
        }
    EXPECT_EQ(black, bar_pixels);
    expect_loading_scene(p, 160, 0, 960, 720);
    EXPECT_EQ(p.slot_in_picture(160, 0, 960, 720, 0, 240), 2);     // the picture's first column
    EXPECT_EQ(p.slot_in_picture(160, 0, 960, 720, 639.5f, 240), 2);  // and its last
    EXPECT_EQ(show.end_with_escape(), 0);
}
