// suites_test.cpp: the public test suites in tests/data. PngSuite: every
// valid file decodes to its reference pixels, every broken ("x") file is
// refused. BMP Suite: the uncompressed 24-bit files decode to the suite's
// reference rendering, every other file is refused cleanly. Pictures made
// with Pillow: our decoding equals Pillow's.
#include "pictures.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

static const std::string data_dir = OARGALA_TEST_DATA;

static std::vector<std::string> files_in(const std::string& dir, const std::string& suffix)
{
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

// The references hold only numbers, commas and brackets.
static std::vector<int> read_numbers(const std::string& path)
{
    std::vector<int> numbers;
    Bytes text = read_whole_file(path);
    int value = -1;
    for (uint8_t c : text) {
        if (c >= '0' && c <= '9') {
            value = (value < 0 ? 0 : value * 10) + (c - '0');
        } else if (value >= 0) {
            numbers.push_back(value);
            value = -1;
        }
    }
    return numbers;
}

TEST(PngSuite, EveryValidFileDecodesToItsReference)
{
    std::string dir = data_dir + "/pngsuite/";
    std::vector<std::string> names = files_in(dir + "png", ".png");
    ASSERT_EQ(names.size(), 175u);
    int checked = 0;
    ImageLoader loader;
    for (const std::string& name : names) {
        if (name[0] == 'x') continue;
        SCOPED_TRACE(name);
        std::string base = name.substr(0, name.size() - 4);
        bool sixteen = base.compare(base.size() - 2, 2, "16") == 0;
        std::vector<int> reference = read_numbers(dir + "json/" + base + "_to8.json");
        bool reference_16 = false;
        if (reference.empty()) {
            reference = read_numbers(dir + "json/" + base + ".json");
            reference_16 = sixteen;   // a few 16-bit files have only 16-bit references
        }
        ASSERT_FALSE(reference.empty());

        Decoding run = decode(loader, read_whole_file(dir + "png/" + name));
        ASSERT_TRUE(run.recognised);
        ASSERT_TRUE(loader.decoded) << run.errors;
        ASSERT_EQ(reference.size(), (size_t)loader.width * loader.height * 4);
        unsigned channels = loader.bits_per_pixel / 8u;
        // 16-bit samples are cut to their high byte; the 8-bit references
        // of those may round instead.
        int tolerance = sixteen ? 1 : 0;
        int worst = 0;
        for (uint32_t y = 0; y < loader.height; y++)
            for (uint32_t x = 0; x < loader.width; x++) {
                const uint8_t* px = loader.pixels + ((size_t)(loader.height - 1 - y) * loader.width + x) * channels;
                const int* ref = &reference[((size_t)y * loader.width + x) * 4];
                for (unsigned c = 0; c < 4; c++) {
                    int expected = reference_16 ? ref[c] >> 8 : ref[c];
                    int got = c < channels ? px[c] : 255;
                    worst = std::max(worst, abs(got - expected));
                }
            }
        EXPECT_LE(worst, tolerance);
        checked++;
    }
    EXPECT_EQ(checked, 161);
}

TEST(PngSuite, EveryBrokenFileIsRefused)
{
    std::string dir = data_dir + "/pngsuite/png/";
    int checked = 0;
    ImageLoader loader;
    for (const std::string& name : files_in(dir, ".png")) {
        if (name[0] != 'x') continue;
        SCOPED_TRACE(name);
        Decoding run = decode(loader, read_whole_file(dir + name));
        EXPECT_FALSE(loader.decoded);
        EXPECT_EQ(loader.pixels, nullptr);
        ASSERT_NE(loader.failure, nullptr);
        // Either not a PNG at all (a broken signature), or libpng said why.
        if (run.recognised)
            EXPECT_NE(run.errors.find("libpng error: "), std::string::npos);
        else
            EXPECT_STREQ(loader.failure, "unknown format");
        // The loader goes on with the next file.
        decode(loader, read_whole_file(dir + "basn2c08.png"));
        EXPECT_TRUE(loader.decoded);
        checked++;
    }
    EXPECT_EQ(checked, 14);
}

TEST(BmpSuite, TwentyFourBitFilesMatchTheReferenceAndTheRestIsRefused)
{
    std::string dir = data_dir + "/bmpsuite/";
    ImageLoader loader;
    decode(loader, read_whole_file(dir + "reference/rgb24.png"));
    ASSERT_TRUE(loader.decoded);
    ASSERT_EQ(loader.bits_per_pixel, 24);
    const Bytes reference(loader.pixels, loader.pixels + (size_t)loader.width * loader.height * 3);
    const uint32_t reference_width = loader.width;

    const std::vector<std::string> readable = {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp",
                                               "q/rgb24lprof.bmp", "q/rgb24prof.bmp"};
    int decoded = 0, refused = 0;
    for (const char* folder : {"g", "q", "b"}) {
        for (const std::string& name : files_in(dir + folder, ".bmp")) {
            std::string file = std::string(folder) + "/" + name;
            SCOPED_TRACE(file);
            Decoding run = decode(loader, read_whole_file(dir + file));
            EXPECT_TRUE(run.recognised);
            EXPECT_STREQ(loader.format, "bmp");
            if (file == "q/rgb24prof2.bmp") {
                // Its pixels are stored with red and green exchanged and an
                // ICC profile that exchanges them back; colour profiles are
                // not applied, so it shows the stored values.
                ASSERT_TRUE(loader.decoded);
                Bytes exchanged = reference;
                for (size_t i = 0; i < exchanged.size(); i += 3) std::swap(exchanged[i], exchanged[i + 1]);
                EXPECT_EQ(max_difference(loader, exchanged), 0);
                decoded++;
            } else if (std::find(readable.begin(), readable.end(), file) != readable.end()) {
                ASSERT_TRUE(loader.decoded) << run.log;
                EXPECT_EQ(loader.width, reference_width);
                EXPECT_EQ(max_difference(loader, reference), 0);
                EXPECT_FALSE(loader.truncated);
                decoded++;
            } else {
                EXPECT_FALSE(loader.decoded) << run.log;
                EXPECT_EQ(loader.pixels, nullptr);
                EXPECT_NE(loader.failure, nullptr);
                // The header line and the reason (or, for a file too short
                // for the headers, the reason alone).
                EXPECT_GE(std::count(run.log.begin(), run.log.end(), '\n'), 1);
                refused++;
            }
        }
    }
    EXPECT_EQ(decoded, 6);
    EXPECT_EQ(refused, 20 + 27 + 43 - 6);
}

TEST(BmpSuite, ReallyBigIsRefusedByItsSize)
{
    ImageLoader loader;
    Decoding run = decode(loader, read_whole_file(data_dir + "/bmpsuite/b/reallybig.bmp"));
    EXPECT_EQ(run.log, "(bmp) filesize: 2111692253, width: 3000000, height: 2000000, bpp: 24\n"
                       "(bmp) refused: 3000000 x 2000000 is too large (at most 16384 pixels a side, 256 MiB)\n");
    EXPECT_FALSE(loader.decoded);
    EXPECT_STREQ(loader.failure, "too large (3000000 x 2000000)");
}

// A PAM file as make_pictures.py writes it: the header, then the pixels.
static bool read_pam(const std::string& path, uint32_t* width, uint32_t* height, unsigned* depth, Bytes* pixels)
{
    Bytes file = read_whole_file(path);
    std::string text(file.begin(), file.end());
    size_t end = text.find("ENDHDR\n");
    if (end == std::string::npos ||
        sscanf(text.c_str(), "P7\nWIDTH %u\nHEIGHT %u\nDEPTH %u\n", width, height, depth) != 3)
        return false;
    pixels->assign(file.begin() + (long)(end + 7), file.end());
    return pixels->size() == (size_t)*width * *height * *depth;
}

TEST(Pictures, OurDecodingIsPillows)
{
    std::string dir = data_dir + "/pictures/";
    int checked = 0;
    for (const char* suffix : {".jpg", ".tga", ".bmp"}) {
        for (const std::string& name : files_in(dir, suffix)) {
            SCOPED_TRACE(name);
            Picture reference;
            ASSERT_TRUE(read_pam(dir + name + ".pam", &reference.width, &reference.height, &reference.channels,
                                 &reference.top_down));
            ImageLoader loader;
            Decoding run = decode(loader, read_whole_file(dir + name));
            ASSERT_TRUE(loader.decoded) << run.log << run.errors;
            EXPECT_EQ(run.errors, "");
            EXPECT_EQ(loader.width, reference.width);
            EXPECT_EQ(loader.bits_per_pixel, reference.channels * 8);
            EXPECT_EQ(max_difference(loader, bottom_up(reference)), 0);
            checked++;
        }
    }
    EXPECT_EQ(checked, 9);
}
