// check_data_test.cpp: `oargala --check-data` run as a program in a working
// directory with a data/ folder.
#include "show_support.h"

#include "tests/sound/child_process.h"

#include <gtest/gtest.h>

#include <sstream>

static std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CheckData, EverythingPresent)
{
    TempDir dir;
    write_show_data(dir.path, true, -1, 24);
    ChildResult result = run_program({OARGALA_BINARY, "--check-data"}, dir.path);
    EXPECT_CHILD_STATUS(result, 0);
    EXPECT_EQ(result.err, "");
    std::vector<std::string> lines = lines_of(result.out);
    // A heading, 33 slots, the soundtrack, a summary.
    ASSERT_EQ(lines.size(), 36u) << result.out;
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
    write_show_data(dir.path, false);
    std::filesystem::remove(dir / "data/world.png");
    FILE* file = fopen((dir / "data/hopper.png").c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("not a picture at all\n", file);
    fclose(file);
    ChildResult result = run_program({OARGALA_BINARY, "--check-data"}, dir.path);
    EXPECT_CHILD_STATUS(result, 1);
    // The loader's own message for the missing file, as a line on stderr.
    EXPECT_EQ(result.err, "(tolm) Load: Could not open file: data/world.png\n");
    std::vector<std::string> lines = lines_of(result.out);
    ASSERT_EQ(lines.size(), 36u) << result.out;
    EXPECT_TRUE(contains(lines[11], "data/world.png") && contains(lines[11], "cannot open")) << lines[11];
    EXPECT_TRUE(contains(lines[12], "data/hopper.png") && contains(lines[12], "unknown format")) << lines[12];
    EXPECT_TRUE(contains(lines[13], "data/angrep.png") && contains(lines[13], " ok")) << lines[13];
    EXPECT_TRUE(contains(lines[34], "data/lall.mp3") && contains(lines[34], "File not found")) << lines[34];
    EXPECT_TRUE(contains(lines[35], "2 of 33")) << lines[35];
}
