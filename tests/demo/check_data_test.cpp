// check_data_test.cpp: `oargala --check-data` run as a program in a working
// directory with a data/ folder.
#include "show_support.h"
#include "tests/sound/child_process.h"

#include <gtest/gtest.h>

// Runs it in dir, checks the exit code and stderr, and returns the 36 lines:
// a heading, 33 slots, the soundtrack, a summary.
static std::vector<std::string> check_data(const std::string& dir, int status, const std::string& err)
{
    ChildResult result = run_program({OARGALA_BINARY, "--check-data"}, dir);
    EXPECT_CHILD_STATUS(result, status);
    EXPECT_EQ(result.err, err);
    std::vector<std::string> lines;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines.size(), 36u) << result.out;
    lines.resize(36);
    return lines;
}

static void expect_line(const std::vector<std::string>& lines, size_t line, std::initializer_list<const char*> parts)
{
    for (const char* part : parts) EXPECT_NE(lines[line].find(part), std::string::npos) << part << " in " << lines[line];
}

TEST(CheckData, EverythingPresent)
{
    TempDir dir;
    write_show_data(dir.path, true, -1, 24);
    std::vector<std::string> lines = check_data(dir.path, 0, "");
    expect_line(lines, 0, {"slot", "path"});
    for (int slot = 0; slot < 33; slot++) {
        EXPECT_EQ(atoi(lines[1 + slot].c_str()), slot) << lines[1 + slot];
        expect_line(lines, 1 + slot, {"24x24", "24 bpp", " ok"});
    }
    expect_line(lines, 1, {"data/dedozuvo512.png", "png"});
    expect_line(lines, 15, {"data/maggyver_tv_used.jpg", "jpeg"});
    expect_line(lines, 34, {"data/lall.mp3", " ok"});
}

TEST(CheckData, MissingAndBrokenFiles)
{
    TempDir dir;
    write_show_data(dir.path, false, 10);   // no soundtrack, no world.png
    std::ofstream(dir / "data/hopper.png") << "not a picture at all\n";
    // A 24-bit BMP of 16384x5461 fits the loader's limit as RGB, but not as
    // the 4 bytes a pixel the show uploads: the show refuses it, so must this.
    uint8_t bmp[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) { for (int i = 0; i < 4; i++) bmp[at + i] = (uint8_t)(v >> (8 * i)); };
    put32(10, 54), put32(14, 40), put32(18, 16384), put32(22, 5461), bmp[26] = 1, bmp[28] = 24;
    std::ofstream(dir / "data/crisis.png", std::ios::binary).write((const char*)bmp, sizeof bmp);
    // The loader's own message for the missing file, as a line on stderr.
    std::vector<std::string> lines = check_data(dir.path, 1, "(tolm) Load: Could not open file: data/world.png\n");
    expect_line(lines, 11, {"data/world.png", "cannot open"});
    expect_line(lines, 12, {"data/hopper.png", "unknown format"});
    expect_line(lines, 13, {"data/angrep.png", " ok"});
    expect_line(lines, 14, {"data/crisis.png", "too large (16384 x 5461)"});
    expect_line(lines, 34, {"data/lall.mp3", "File not found"});
    expect_line(lines, 35, {"3 of 33"});
}
