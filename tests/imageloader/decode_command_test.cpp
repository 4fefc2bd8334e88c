// decode_command_test.cpp: `oargala --decode PICTURE OUT.pam` run as a
// process: its output lines, exit code and the PAM file it writes, which for
// the pictures made with Pillow must hold Pillow's own decoding.
#include "pictures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>

struct Process {
    int exit_code = -1;
    std::string out, err;
};

static Process run_decode(const std::string& picture, const std::string& pam)
{
    std::string base = scratch_dir() + "/run";
    std::string command = std::string(OARGALA_BINARY) + " --decode '" + picture + "' " + pam + " >" + base +
                          ".out 2>" + base + ".err";
    Process p;
    int status = system(command.c_str());
    p.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes out = read_whole_file(base + ".out"), err = read_whole_file(base + ".err");
    p.out.assign(out.begin(), out.end());
    p.err.assign(err.begin(), err.end());
    return p;
}

TEST(DecodeCommand, WritesWhatPillowDecodes)
{
    std::string dir = std::string(OARGALA_TEST_DATA) + "/pictures/";
    for (const char* name : {"photo.jpg", "photo-progressive.jpg", "photo-444.jpg", "photo-grey.jpg", "photo.tga",
                             "photo-rle-top.tga", "alpha-rle.tga", "alpha-top.tga", "photo.bmp"}) {
        SCOPED_TRACE(name);
        std::string pam = scratch_dir() + "/" + name + ".pam";
        Process p = run_decode(dir + name, pam);
        EXPECT_EQ(p.exit_code, 0);
        EXPECT_EQ(p.err, "");
        EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '\n'), 1) << p.out;
        EXPECT_EQ(read_whole_file(pam), read_whole_file(dir + name + ".pam"));
    }
}

TEST(DecodeCommand, NoPictureMeansNoFileAndExitOne)
{
    std::string unopenable = scratch_dir() + "/";
    while (unopenable.size() < 250) unopenable += 'p';
    Bytes jpeg = data_file("pictures/photo.jpg");
    jpeg.resize(40);
    std::string eight = scratch_file("eight.bmp", bmp_file(pattern_picture(4, 4), {false, 40, 0, 8, 0}));
    std::string unknown = scratch_file("unknown.bin", Bytes(64, 'z')), short_jpeg = scratch_file("short.jpg", jpeg);
    struct Case {
        std::string picture, out, err;   // err: its start
    } cases[] = {
        {eight, "(bmp) filesize: 102, width: 4, height: 4, bpp: 8\n(bmp) format not supported, bpp: 8, compression: 0\n",
         "oargala: " + eight + ": no picture decoded (unsupported BMP depth 8)\n"},
        {unknown, "", "oargala: " + unknown + ": no picture decoded (unknown format)\n"},
        // A fatal libjpeg error: its message, then the process ends normally.
        {short_jpeg, "", "Premature end of JPEG file\n"},
        // The headless message box is a line on stderr: caption, text cut to 200 characters.
        {unopenable, "(tolm) sorry, couldnt open " + unopenable + "!\n",
         "(tolm) Load: Could not open file: " + unopenable.substr(0, 200) + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        std::string pam = scratch_dir() + "/none.pam";
        Process p = run_decode(c.picture, pam);
        EXPECT_EQ(p.exit_code, 1);
        EXPECT_EQ(p.out, c.out);
        EXPECT_EQ(p.err.compare(0, c.err.size(), c.err), 0) << p.err;
        EXPECT_TRUE(read_whole_file(pam).empty() && !fopen(pam.c_str(), "rb"));
    }
}
