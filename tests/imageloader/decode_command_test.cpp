// decode_command_test.cpp: `oargala --decode PICTURE OUT.pam` run as a
// process: its output lines, exit code and the PAM file it writes.
#include "pictures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstring>

struct Process {
    int exit_code = -1;
    std::string out, err;
};

static std::string quoted(const std::string& text)
{
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

static Process run_decode(const std::string& picture, const std::string& pam)
{
    static int runs = 0;
    std::string base = scratch_dir() + "/run" + std::to_string(++runs);
    std::string command = std::string(OARGALA_BINARY) + " --decode " + quoted(picture) + " " + quoted(pam) + " >" +
                          base + ".out 2>" + base + ".err";
    Process p;
    int status = system(command.c_str());
    p.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes out = read_whole_file(base + ".out"), err = read_whole_file(base + ".err");
    p.out.assign(out.begin(), out.end());
    p.err.assign(err.begin(), err.end());
    return p;
}

static bool exists(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (file) fclose(file);
    return file != nullptr;
}

TEST(DecodeCommand, WritesTheDecodedPictureAsPamTopRowFirst)
{
    Picture picture = pattern_picture(13, 7);
    std::string bmp = scratch_file("pattern.bmp", bmp_file(picture));
    std::string pam = scratch_dir() + "/pattern.pam";
    Process p = run_decode(bmp, pam);
    EXPECT_EQ(p.exit_code, 0) << p.err;
    EXPECT_EQ(p.out, "(bmp) filesize: 334, width: 13, height: 7, bpp: 24\n");
    EXPECT_EQ(p.err, "");
    std::string header = "P7\nWIDTH 13\nHEIGHT 7\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
    Bytes expected(header.begin(), header.end());
    expected.insert(expected.end(), picture.top_down.begin(), picture.top_down.end());
    EXPECT_EQ(read_whole_file(pam), expected);

    Picture rgba = pattern_picture(5, 3, 4);
    std::string png = scratch_file("rgba.png", png_file(rgba));
    p = run_decode(png, pam);
    EXPECT_EQ(p.exit_code, 0);
    EXPECT_EQ(p.out, "(png) width: 5, height: 3, bpp: 32\n");
    header = "P7\nWIDTH 5\nHEIGHT 3\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    expected.assign(header.begin(), header.end());
    expected.insert(expected.end(), rgba.top_down.begin(), rgba.top_down.end());
    EXPECT_EQ(read_whole_file(pam), expected);
}

TEST(DecodeCommand, NoPictureMeansNoFileAndExitOne)
{
    std::string pam = scratch_dir() + "/none.pam";
    Bytes eight_bit = bmp_file(pattern_picture(4, 4), {false, 40, 0, 8, 0});
    Process p = run_decode(scratch_file("eight.bmp", eight_bit), pam);
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_EQ(p.out, "(bmp) filesize: 102, width: 4, height: 4, bpp: 8\n"
                     "(bmp) format not supported, bpp: 8, compression: 0\n");
    EXPECT_FALSE(exists(pam));

    p = run_decode(scratch_file("unknown.bin", Bytes(64, 'z')), pam);
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_EQ(p.out, "");
    EXPECT_FALSE(exists(pam));

    // A fatal libjpeg error: its message, then the process ends normally.
    Bytes jpeg = jpeg_file(smooth_picture(8, 8));
    jpeg.resize(40);
    p = run_decode(scratch_file("short.jpg", jpeg), pam);
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_NE(p.err.find("JPEG"), std::string::npos) << p.err;
    EXPECT_FALSE(exists(pam));
}

TEST(DecodeCommand, UnopenablePathIsLoggedWholeAndBoxedCut)
{
    std::string path = scratch_dir() + "/";
    while (path.size() < 250) path += 'p';
    Process p = run_decode(path, scratch_dir() + "/never.pam");
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_EQ(p.out, "(tolm) sorry, couldnt open " + path + "!\n");
    // The headless message box is a line on stderr: caption, text.
    std::string box = "(tolm) Load: Could not open file: " + path.substr(0, 200) + "\n";
    EXPECT_EQ(p.err.compare(0, box.size(), box), 0) << p.err;
}
