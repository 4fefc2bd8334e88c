// check_data_test.cpp: `oargala --check-data` run as a program in a working
// directory with a data/ folder.
#include "show_support.h"

#include "tests/sound/child_process.h"

#include <gtest/gtest.h>

static std::vector<std::string> check_data(const std::string& dir, int status, const std::string& err)
{
    ChildResult result = run_program({OARGALA_BINARY, "--check-data"}, dir);
    EXPECT_CHILD_STATUS(result, status);
    EXPECT_EQ(result.err, err);
    std::vector<std::string> lines;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    // A heading, 33 slots, the soundtrack, a summary.
    EXPECT_EQ(lines.size(), 36u) << result.out;
    lines.resize(36);
    return lines;
}

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CheckData, EverythingPresent)
{
    TempDir dir;
    write_show_data(dir.path, true, -1, 24);
    std::vector<std::string> lines = check_data(dir.path, 0, "");
    EXPECT_TRUE(contains(lines[0], "slot") && contains(lines[0], "path"));
    for (int slot = 0; slot < 33; slot++) {
        const std::string& line = lines[1 + slot];
        EXPECT_EQ(atoi(line.c_str()), slot) << line;
        EXPECT_TRUE(contains(line, "24x24") && contains(line, "24 bpp") && line.size() > 2 &&
                    line.compare(line.size() - 2, 2, "ok") == 0)
            << line;
    }
    EXPECT_TRUE(contains(lines[1], "data/dedozuvo512.png") && contains(lines[1], "png")) << lines[1];
    EXPECT_TRUE(contains(lines[15], "data/maggyver_tv_used.jpg") && contains(lines[15], "jpeg")) << lines[15];
    EXPECT_TRUE(contains(lines[34], "data/lall.mp3") && contains(lines[34], " ok")) << lines[34];
}

TEST(CheckData, MissingAndBrokenFiles)
{
    TempDir dir;
    write_show_data(dir.path, false, 10);   // no soundtrack, no world.png
    std::ofstream(dir / "data/hopper.png") << "not a picture at all\n";
    // The loader's own message for the missing file, as a line on stderr.
    std::vector<std::string> lines = check_data(dir.path, 1, "(tolm) Load: Could not open file: data/world.png\n");
    const char* const expected[][2] = {{"data/world.png", "cannot open"}, {"data/hopper.png", "unknown format"},
                                       {"data/angrep.png", " ok"},        {"data/lall.mp3", "File not found"},
                                       {"2 of 33", ""}};
    for (int i = 0; i < 5; i++) {
        const std::string& line = lines[i < 3 ? 11 + i : 31 + i];
        EXPECT_TRUE(contains(line, expected[i][0]) && contains(line, expected[i][1])) << line;
    }
}
