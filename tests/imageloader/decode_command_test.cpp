// decode_command_test.cpp: `oargala --decode PICTURE OUT.pam` run as a
// process: its output lines, exit code and the PAM file it writes, which for
// the pictures made with Pillow must hold Pillow's own decoding.
#include "pictures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

// Exit code, stdout and stderr of one run, after the shell commands before.
static Decoding run_decode(const std::string& picture, const std::string& pam, int* exit_code,
                           const std::string& before = "")
{
    std::string out = scratch_dir() + "/out", err = scratch_dir() + "/err";
    std::string command = before + std::string(OARGALA_BINARY) + " --decode '" + picture + "' " + pam + " >" + out +
                          " 2>" + err;
    int status = system(command.c_str());
    *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes log = read_whole_file(out), errors = read_whole_file(err);
    return {false, std::string(log.begin(), log.end()), std::string(errors.begin(), errors.end())};
}

TEST(DecodeCommand, WritesWhatPillowDecodes)
{
    std::string dir = std::string(OARGALA_TEST_DATA) + "/pictures/";
    for (const char* name : {"photo.jpg", "photo-progressive.jpg", "photo-444.jpg", "photo-grey.jpg", "photo.tga",
                             "photo-rle-top.tga", "alpha-rle.tga", "alpha-top.tga", "photo.bmp"}) {
        SCOPED_TRACE(name);
        std::string pam = scratch_dir() + "/" + name + ".pam";
        int exit_code = -1;
        Decoding run = run_decode(dir + name, pam, &exit_code);
        EXPECT_EQ(exit_code, 0);
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(std::count(run.log.begin(), run.log.end(), '\n'), 1) << run.log;
        EXPECT_EQ(read_whole_file(pam), read_whole_file(dir + name + ".pam"));
    }
}

TEST(DecodeCommand, NoPictureMeansNoFileAndExitOne)
{
    std::string eight = scratch_file("eight.bmp", bmp_file(pattern_picture(4, 4), {false, 40, 0, 8, 0}));
    std::string unopenable = scratch_dir() + "/";
    unopenable.resize(250, 'p');
    Bytes jpeg = data_file("pictures/photo.jpg"), exif = jpeg;
    jpeg.resize(40);
    memcpy(&exif[6], "Exif", 4);   // a JPEG without "JFIF" at bytes 6 to 9 is not told apart
    std::string exif_path = scratch_file("exif.jpg", exif), short_jpeg = scratch_file("short.jpg", jpeg);
    auto no_picture = [](const std::string& path, const char* why) {
        return "oargala: " + path + ": no picture decoded (" + why + ")\n";
    };
    const std::string photo = std::string(OARGALA_TEST_DATA) + "/pictures/photo.jpg", full = "/dev/full";
    const std::string photo_line = "(jpeg) width: 61, height: 47\n", pam = scratch_dir() + "/none.pam";
    struct Case {
        std::string picture, out, err, pam = "", before = "";
    } cases[] = {
        {eight, "(bmp) filesize: 102, width: 4, height: 4, bpp: 8\n"
                "(bmp) format not supported, bpp: 8, compression: 0\n", no_picture(eight, "unsupported BMP depth 8")},
        {exif_path, "", no_picture(exif_path, "unknown format")},
        // A fatal libjpeg error: its messages, then the process goes on.
        {short_jpeg, "", "Premature end of JPEG file\nJPEG datastream contains no image\n" +
                             no_picture(short_jpeg, "corrupt data")},
        // The headless message box is a line on stderr: caption, text cut to 200 characters.
        {unopenable, "(tolm) sorry, couldnt open " + unopenable + "!\n",
         "(tolm) Load: Could not open file: " + unopenable.substr(0, 200) + "\n" +
             no_picture(unopenable, "cannot open")},
        // A picture that cannot be written: the system's reason, no part of it left behind.
        {photo, photo_line, "oargala: cannot write " + full + ": No space left on device\n", full},
        {photo, photo_line, "oargala: cannot write /no/such/x.pam: No such file or directory\n", "/no/such/x.pam"},
        {photo, photo_line, "oargala: cannot write " + pam + ": File too large\n", pam, "trap '' XFSZ; ulimit -f 1; "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        int exit_code = -1;
        Decoding run = run_decode(c.picture, c.pam.empty() ? pam : c.pam, &exit_code, c.before);
        EXPECT_EQ(exit_code, 1);
        EXPECT_EQ(run.log, c.out);
        EXPECT_EQ(run.errors, c.err);
        EXPECT_NE(access(pam.c_str(), F_OK), 0) << "a file was written";
        EXPECT_EQ(access(full.c_str(), W_OK), 0) << "the device was removed";
    }
}
